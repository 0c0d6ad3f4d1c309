// pixconv on real files: info reports what the registry sees, convert goes
// through Load and Save, errors give the exception's message and a
// non-zero status.
#include "image_tools.h"
#include "metafile_builders.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace pixkit;
using namespace imgtools;

namespace {

const std::string kPixconv = std::string(VM_BIN_DIR) + "/pixconv";

struct Result {
    int status;
    std::string out; // stdout and stderr together
};

Result Pixconv(const std::string& args) {
    Result r{-1, {}};
    FILE* p = popen((kPixconv + " " + args + " 2>&1").c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    r.status = pclose(p);
    return r;
}

} // namespace

TEST(Pixconv, InfoAndConvert) {
    TempDir t;
    WritePpm(t / "src.ppm", Pattern(37, 23));
    const std::string bmp = t / "src.bmp";
    if (!RunCmd("convert " + Quote(t / "src.ppm") + " -colors 16 BMP3:" + Quote(bmp)))
        GTEST_SKIP() << "ImageMagick convert is not installed";

    Result info = Pixconv("info " + Quote(bmp));
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("Windows Bitmap"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Width 37, Height 23, Color 1, WithPal 1, BPP 4, BPCC 8, Images 1"),
              std::string::npos)
        << info.out;

    Result conv = Pixconv("convert " + Quote(bmp) + " " + Quote(t / "out.frm") + " --progress");
    EXPECT_EQ(conv.status, 0) << conv.out;
    EXPECT_EQ(conv.out.substr(0, 6), "start\n");
    EXPECT_NE(conv.out.find("95%"), std::string::npos);
    Buffer a, b;
    GFXFile::Load(a, bmp, nullptr);
    GFXFile::Load(b, t / "out.frm", nullptr);
    EXPECT_TRUE(SamePixels(b, FromBuffer(a)));

    Result quiet = Pixconv("convert " + Quote(t / "out.frm") + " " + Quote(t / "back"));
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, ""); // no progress unless asked
    EXPECT_TRUE(std::filesystem::exists(t / "back.FRM"));
}

TEST(Pixconv, ErrorsGiveTheMessageAndAFailureStatus) {
    TempDir t;
    std::ofstream(t / "junk.bmp") << "junk";
    Result bad = Pixconv("convert " + Quote(t / "junk.bmp") + " " + Quote(t / "x.frm"));
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.out.find(EInvalidImage::kMessage), std::string::npos) << bad.out;

    Result info = Pixconv("info " + Quote(t / "junk.bmp") + " " + Quote(t / "missing.bmp"));
    EXPECT_NE(info.status, 0);
    EXPECT_NE(info.out.find(EInvalidImage::kMessage), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("missing.bmp"), std::string::npos) << info.out;

    EXPECT_NE(Pixconv("convert onlyone").status, 0);
    EXPECT_NE(Pixconv("resize a b").status, 0);
}

TEST(Pixconv, FontsListsTheDefaultRasterFonts) {
    // The build renders DejaVu Sans, Serif and Sans Mono into the program
    // directory's fonts folder.
    const Result r = Pixconv("fonts " + std::string(VM_BIN_DIR) + "/fonts");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* family :
         {"DejaVu Sans: 8 10 12 14 16 20 24 32\n", "DejaVu Sans Mono: 8 10 12 14 16 20 24 32\n",
          "DejaVu Serif: 8 10 12 14 16 20 24 32\n"})
        EXPECT_NE(r.out.find(family), std::string::npos) << r.out;
}

// Records the player cannot draw are counted by name and listed by info;
// records with nothing to draw (a stretch mode) are not, and loading any
// other file starts a new, empty list.
TEST(Pixconv, InfoListsTheSkippedRecordsOfMetafiles) {
    TempDir t;
    metatest::Wmf w;
    w.Rec(0x014C, {1, 0})    // SETLAYOUT
        .Rec(0x0107, {3})    // SETSTRETCHBLTMODE
        .Rec(0x0777, {1, 2}) // no such record
        .Rec(0x014C, {1, 0})
        .Rec(0x041B, {8, 8, 2, 2}); // RECTANGLE
    const metatest::Bytes wmf = w.Placeable(10, 10);
    const std::string path = t / "skips.wmf";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(wmf.data()), std::streamsize(wmf.size()));
    Buffer b;
    GFXFile::Load(b, path, nullptr);
    EXPECT_EQ(SkippedRecordsText(), "SETLAYOUT x2, WMF 0x0777 x1");
    ASSERT_EQ(LastSkippedRecords().size(), 2u);
    EXPECT_EQ(LastSkippedRecords()[0].Count, 2);

    const Result info = Pixconv("info " + Quote(path));
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("skipped records: SETLAYOUT x2, WMF 0x0777 x1"), std::string::npos)
        << info.out;

    GFXFile::Save(b, t / "plain.bmp", nullptr, nullptr);
    GFXFile::Load(b, t / "plain.bmp", nullptr);
    EXPECT_TRUE(LastSkippedRecords().empty());
    EXPECT_EQ(SkippedRecordsText(), "none");
}
