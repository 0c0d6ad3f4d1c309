// The GIF files of the shared codec corpus: every image of every file that
// Pillow's and giflib's decoders read decodes to their pixels, with their
// image count; the rest end in a clean error or a partial image.
#include "gif_test_util.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace pixkit;
using namespace giftest;

namespace {

// Files the reference decoders read but we refuse on purpose, with why.
const std::map<std::string, const char*> kRefused = {
    {"pillow_no_palette.gif", "no colour table"},
    {"pillow_no_palette_after_rgb.gif", "the second image has no colour table"},
    {"invalid-code.gif", "the first code is no literal"},
    {"overflow-codes.gif", "LZW minimum code size 12"},
    {"overflow-codes-max.gif", "LZW minimum code size 255"},
};

// Files whose image list the references read differently from each other:
// only the images we find are compared.
const std::map<std::string, const char*> kListDiffers = {
    // A second GIF header follows the first image: Pillow skips its bytes
    // until it finds an image, giflib stops with an error, we end the list.
    {"pillow_test_extents_transparency.gif", "stray bytes after the first image"},
};

std::vector<std::string> CorpusFiles(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".gif") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Loads every image the file says it has; false at the first refusal.
bool LoadAll(const std::string& path, int count, std::vector<Buffer>& images) {
    images = std::vector<Buffer>(static_cast<std::size_t>(count));
    for (int n = 1; n <= count; ++n) {
        GFXtra32 x{0, 0, 0, 0, n};
        try {
            GFXFile::Load(images[static_cast<std::size_t>(n - 1)], path, &x);
        } catch (const EStreamError&) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(GifCorpus, DecodesLikePillowAndGiflib) {
    const fs::path root = fs::path(VM_CORPUS_DIR) / "gif";
    if (!fs::is_directory(root)) GTEST_SKIP() << "corpus folder " << root << " is absent";
    const std::vector<std::string> files = CorpusFiles(root);
    ASSERT_FALSE(files.empty());
    const BatchDecode pillow("pillow", files), giflib("giflib", files);
    ASSERT_TRUE(pillow.Ran());
    ASSERT_TRUE(giflib.Ran());

    int compared = 0;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string& path = files[k];
        const std::string name = fs::path(path).filename().string();
        const int count = GFXFile::GetImgCount(path);
        std::vector<Buffer> ours;
        const bool loaded = LoadAll(path, count, ours);
        if (kRefused.count(name) != 0) {
            EXPECT_TRUE(!loaded || count == 0) << name << ": " << kRefused.at(name);
            continue;
        }
        const bool listDiffers = kListDiffers.count(name) != 0;
        for (const BatchDecode* ref : {&pillow, &giflib}) {
            const char* tool = ref == &pillow ? "pillow" : "giflib";
            std::vector<Frame> frames;
            if (!ref->Frames(k, frames)) continue;
            if (!listDiffers) {
                EXPECT_EQ(count, static_cast<int>(frames.size())) << name << " per " << tool;
            }
            EXPECT_TRUE(loaded) << name;
            if (!loaded) continue;
            for (std::size_t n = 0; n < std::min(frames.size(), ours.size()); ++n)
                EXPECT_TRUE(imgtools::SamePixels(ours[n], frames[n].Rgb))
                    << name << " image " << n + 1 << " per " << tool;
            ++compared;
        }
    }
    EXPECT_GT(compared, 250);
}
