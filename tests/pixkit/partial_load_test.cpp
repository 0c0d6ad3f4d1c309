// A file cut short loads in part: the rows the decoder never reached must
// be the same on every load (black), never whatever the heap held before.
#include <pixkit/gfxfile.h>

#include "image_tools.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <filesystem>
#include <vector>

using namespace pixkit;
using imgtools::TempDir;

namespace {

// Loads name with the allocator filling fresh memory with perturb; a
// decoder's error keeps what it decoded.
std::vector<Pixel> LoadPart(const std::string& name, int perturb) {
    mallopt(M_PERTURB, perturb);
    // Dirty the heap so that memory handed out next has been used before.
    for (int i = 0; i < 8; ++i) std::vector<Pixel>(64 * 48 + i, 0x12345678u);
    Buffer b;
    try {
        GFXFile::Load(b, name, nullptr);
    } catch (const std::exception&) {
    }
    mallopt(M_PERTURB, 0);
    std::vector<Pixel> pixels;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) pixels.push_back(*b.At(x, y) & 0xFFFFFF);
    return pixels;
}

} // namespace

TEST(PartialLoad, RowsNotDecodedAreTheSameOnEveryLoad) {
    TempDir t;
    Buffer image;
    image.Alloc({64, 48});
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) *image.At(x, y) = Pixel(0x404040 + x * 0x30201 + y * 0x10203);
    int partial = 0;
    for (GFXFile* f = GFXFile::Formats(); f != nullptr; f = f->Next) {
        if (!f->CanSave) continue;
        const std::string ext = f->Mask.substr(1, f->Mask.find(';') - 1);
        SCOPED_TRACE(f->Desc);
        const std::string name = t / ("cut" + ext);
        Buffer work;
        GFXFile::Save(image, name, nullptr, &work);
        std::filesystem::resize_file(name, std::filesystem::file_size(name) * 3 / 5);
        const std::vector<Pixel> a = LoadPart(name, 0x55), b = LoadPart(name, 0xAA);
        EXPECT_EQ(a, b) << "a load kept memory the decoder never wrote";
        partial += a.empty() ? 0 : 1;
    }
    EXPECT_GT(partial, 2) << "too few formats kept a partial image to tell anything";
}
