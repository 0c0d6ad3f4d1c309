// The JPEG codec on arbitrary bytes: Test, Load into a fresh buffer (when
// the declared size is modest, so the fuzzer's memory limit is not the
// finding) and into an existing small buffer, and for what loads, Save and
// a second Load of the result, which must give the same size. The fresh
// Load runs on one thread and again on two, with the data split between
// them, a progressive file's scans decoded side by side where they may be
// (the latest free one first) and the pixels made behind its last scan,
// which must give the same pixels and the same error.
#include "codecs/jpeg_multiscan.h"
#include "codecs/jpeg_scan.h"

#include <pixkit/gfxfile.h>
#include <pixkit/threads.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

using namespace pixkit;

namespace {

constexpr std::int64_t kMaxPixels = std::int64_t(1) << 22;

void LoadIntoSmallBuffer(GFXFile* jpeg, TStream& s) {
    try {
        Buffer small;
        small.Alloc({19, 11});
        s.SetPosition(0);
        jpeg->Load(small, &s, nullptr);
    } catch (const Exception&) {
    }
}

// Loads into a fresh buffer; returns the type of the error raised, if any.
const std::type_info* LoadFresh(GFXFile* jpeg, TStream& s, Buffer& b) {
    try {
        s.SetPosition(0);
        jpeg->Load(b, &s, nullptr);
    } catch (const Exception& e) {
        return &typeid(e);
    }
    return nullptr;
}

bool SamePixels(const Buffer& a, const Buffer& b) {
    if (a.Empty() || b.Empty()) return a.Empty() == b.Empty();
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.At(0, y), b.At(0, y), std::size_t(a.Width()) * sizeof(Pixel)) != 0)
            return false;
    return true;
}

void RoundTrip(GFXFile* jpeg, Buffer& b) {
    if (std::int64_t(b.Width()) * b.Height() > (1 << 16)) return;
    TMemoryStream m;
    jpeg->Save(b, &m, nullptr, nullptr);
    m.SetPosition(0);
    Buffer back;
    jpeg->Load(back, &m, nullptr);
    if (back.Width() != b.Width() || back.Height() != b.Height()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static GFXFile* const jpeg = GFXFile::GetDefaultFormat("x.jpg");
    TFixedMemoryStream s(data, size);
    GFXFileDesc d;
    const std::int8_t t = jpeg->Test(&s, &d);
    if (s.Position() != 0) std::abort(); // Test restores the position
    LoadIntoSmallBuffer(jpeg, s);
    if (t != 1 || std::int64_t(d.Width) * d.Height > kMaxPixels) return 0;
    Buffer b, split;
    SetThreadCount(1);
    const std::type_info* error = LoadFresh(jpeg, s, b);
    SetThreadCount(2);
    SetWorkPerThread(1);
    jpeg::ForceJpegSplit(1);
    jpeg::KeepPaceWithFollower(true);
    jpeg::StartLatestFreeScan(true);
    const std::type_info* splitError = LoadFresh(jpeg, s, split);
    jpeg::ForceJpegSplit(0);
    jpeg::KeepPaceWithFollower(false);
    jpeg::StartLatestFreeScan(false);
    if ((error == nullptr) != (splitError == nullptr) || (error && *error != *splitError) ||
        !SamePixels(b, split))
        std::abort();
    if (error == nullptr) RoundTrip(jpeg, b);
    return 0;
}
