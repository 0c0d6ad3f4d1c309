// The shared body of the codec fuzz targets: Test, then Load into a new
// buffer and into a small existing one (the clipping path). Clean errors
// (stream errors, EInvalidImage) are expected; anything else is a finding.
#pragma once

#include <pixkit/gfxfile.h>

#include <cstddef>
#include <cstdint>

inline void FuzzFormat(pixkit::GFXFile* format, const std::uint8_t* data, std::size_t size) {
    using namespace pixkit;
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    if (format->Test(&s, &d) == 0) return;
    try {
        Buffer b;
        GFXtra32 x{};
        format->Load(b, &s, &x);
    } catch (const EStreamError&) {
    }
    try {
        Buffer small;
        small.Alloc({7, 5});
        s.SetPosition(0);
        format->Load(small, &s, nullptr);
    } catch (const EStreamError&) {
    }
}
