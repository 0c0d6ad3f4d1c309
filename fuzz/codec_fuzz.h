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

// The metafile players: Test must restore the stream position; pictures of
// modest size are loaded as above (so the fuzzer's memory limit is not the
// finding), larger ones only into a small existing buffer.
inline void FuzzMetafile(pixkit::GFXFile* format, const std::uint8_t* data, std::size_t size) {
    using namespace pixkit;
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    const int found = format->Test(&s, &d);
    if (s.Position() != 0) __builtin_trap();
    if (found == 0) return;
    if (std::int64_t(d.Width) * d.Height <= (std::int64_t(1) << 22)) {
        FuzzFormat(format, data, size);
        return;
    }
    try {
        Buffer small;
        small.Alloc({7, 5});
        format->Load(small, &s, nullptr);
    } catch (const EStreamError&) {
    }
}
