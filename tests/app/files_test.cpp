// File-command rules that need no window: dialog filters and filter
// indexes, type-change names, backups, recent-file entries, the clipboard
// DIB and the DIBs made from scanner frames.
#include "files/filenames.h"
#include "files/imageio.h"
#include "files/recentfiles.h"
#include "message.h"
#include "platform/dib.h"
#include "platform/scanner.h"
#include "platform/settings.h"

#include <pixkit/bitmap.h>
#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kvfiles_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        kv::SetMessageBoxHandler([this](const std::string& text, const std::string&, kv::MsgFlags) {
            shown_.push_back(text);
            return kv::MsgResult::No;
        });
    }
    void TearDown() override {
        kv::SetMessageBoxHandler({});
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
    std::vector<std::string> shown_;
};

std::string ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Pixels of a w x h image: every one different, top bytes clear.
pixkit::Buffer Pattern(int w, int h) {
    pixkit::Buffer b;
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = 0x00102030u + 0x010000u * x + 0x000100u * y;
    return b;
}

TEST_F(FilesTest, SaveFilterHoldsOnlySavingFormatsAndAllTheirMasks) {
    const kv::DialogFilter save = kv::BuildFilter(kv::FilterKind::Save, "All");
    const kv::DialogFilter open = kv::BuildFilter(kv::FilterKind::Open, "All");
    int saving = 0, all = 0;
    for (pixkit::GFXFile* f = pixkit::GFXFile::Formats(); f != nullptr; f = f->Next) {
        ++all;
        saving += f->CanSave ? 1 : 0;
    }
    EXPECT_EQ(save.Count, saving + 1);
    EXPECT_EQ(open.Count, all + 1);
    const std::vector<kv::FilterEntry> entries = kv::SplitFilter(save.Text);
    ASSERT_EQ(static_cast<int>(entries.size()), save.Count);
    // The last entry lists every mask of the others, and only those.
    std::multiset<std::string> masks;
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        const kv::FilterEntry& e = entries[i];
        ASSERT_FALSE(e.Masks.empty());
        // "Description (*.A,*.B)": the masks are shown with commas.
        std::string shown;
        for (const std::string& m : e.Masks) shown += (shown.empty() ? "" : ",") + m;
        EXPECT_NE(e.Description.find("(" + shown + ")"), std::string::npos) << e.Description;
        masks.insert(e.Masks.begin(), e.Masks.end());
        EXPECT_TRUE(pixkit::GFXFile::GetDefaultFormat("x" + e.Masks.front().substr(1))->CanSave);
    }
    EXPECT_EQ(entries.back().Description.rfind("All (", 0), 0u);
    EXPECT_EQ(std::multiset<std::string>(entries.back().Masks.begin(), entries.back().Masks.end()),
              masks);
    EXPECT_EQ(save.Text.find("*.ICO"), std::string::npos) << "icons are read only";
    EXPECT_NE(open.Text.find("*.ICO"), std::string::npos);
}

TEST_F(FilesTest, FilterIndexFollowsTheExtensionWithWholeMasksOnly) {
    const std::string filter = "Alpha (*.AB)|*.AB|Joint (*.JPG,*.JPEG)|*.JPG;*.JPEG|"
                               "Bee (*.B)|*.B|All (*.AB;*.JPG;*.JPEG;*.B)|*.AB;*.JPG;*.JPEG;*.B|";
    EXPECT_EQ(kv::FilterIndexFromName(filter, "/x/pic.ab"), 1);
    EXPECT_EQ(kv::FilterIndexFromName(filter, "pic.jpeg"), 2);
    EXPECT_EQ(kv::FilterIndexFromName(filter, "PIC.JPG"), 2);
    EXPECT_EQ(kv::FilterIndexFromName(filter, "pic.b"), 3);
    EXPECT_EQ(kv::FilterIndexFromName(filter, "pic.jp"), 0);
    EXPECT_EQ(kv::FilterIndexFromName(filter, "pic"), 0);
    EXPECT_EQ(kv::FilterIndexFromName(filter, "dir.jpg/pic"), 0);
    EXPECT_EQ(kv::FilterIndexFromName(filter, ""), 0);
    // With the registry's own filter, a .bmp name picks the entry holding *.BMP.
    const kv::DialogFilter save = kv::BuildFilter(kv::FilterKind::Save, "All");
    const int i = kv::FilterIndexFromName(save.Text, "pic.bmp");
    ASSERT_GT(i, 0);
    const auto masks = kv::SplitFilter(save.Text)[static_cast<std::size_t>(i - 1)].Masks;
    EXPECT_NE(std::find(masks.begin(), masks.end(), "*.BMP"), masks.end());
}

TEST_F(FilesTest, TypeChangeAndBackupNames) {
    EXPECT_EQ(kv::NameForType("/d/pic.bmp", "*.JPG;*.JPEG"), "/d/pic.jpg");
    EXPECT_EQ(kv::NameForType("/d.x/pic", "*.PCX"), "/d.x/pic.pcx");
    EXPECT_EQ(kv::NameForType("pic.bmp", "*.*"), "pic.bmp");
    EXPECT_EQ(kv::BackupName("/d/pic.bmp"), "/d/pic._bm");
    EXPECT_EQ(kv::BackupName("pic.b"), "pic._b");
    EXPECT_EQ(kv::BackupName("/d.x/pic"), "/d.x/pic._");
    EXPECT_EQ(kv::BackupName("a.tar.gif"), "a.tar._gi");
}

TEST_F(FilesTest, BackupKeepsTheOldFileBesideTheUntouchedOriginal) {
    const std::string file = Path("pic.bmp");
    std::ofstream(file) << "old";
    std::ofstream(Path("pic._bm")) << "older backup";
    ASSERT_TRUE(kv::MakeBackup(file));
    EXPECT_EQ(ReadAll(file), "old");
    EXPECT_EQ(ReadAll(Path("pic._bm")), "old");
    EXPECT_TRUE(kv::MakeBackup(Path("missing.bmp")));
    EXPECT_FALSE(fs::exists(Path("missing._bm")));

    // Saving over the file with backups on: the backup holds the old bytes.
    pixkit::Buffer image = Pattern(3, 2);
    pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
    ASSERT_TRUE(kv::SaveImageFile(image, file, extra, kv::BackupChoice::Keep));
    EXPECT_EQ(ReadAll(Path("pic._bm")), "old");
    EXPECT_EQ(ReadAll(file).substr(0, 2), "BM");
}

TEST_F(FilesTest, LoadErrorsLeaveTheTargetEmptyAndSayWhy) {
    pixkit::Buffer out;
    pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
    EXPECT_FALSE(kv::LoadImageFile(out, Path("none.bmp"), extra, kv::LoadReport::Messages));
    std::ofstream(Path("junk.bmp")) << "this is not an image at all";
    EXPECT_FALSE(kv::LoadImageFile(out, Path("junk.bmp"), extra, kv::LoadReport::Messages));
    EXPECT_TRUE(out.Empty());
    EXPECT_EQ(shown_, (std::vector<std::string>{"ErrOpenImg", "FormNotSup"}));

    // A BMP cut in the middle of its rows: asked, and No drops the part.
    pixkit::Buffer image = Pattern(40, 40);
    ASSERT_TRUE(kv::SaveImageFile(image, Path("cut.bmp"), extra, kv::BackupChoice::None));
    fs::resize_file(Path("cut.bmp"), fs::file_size(Path("cut.bmp")) / 2);
    shown_.clear();
    EXPECT_FALSE(kv::LoadImageFile(out, Path("cut.bmp"), extra, kv::LoadReport::Messages));
    EXPECT_EQ(shown_, std::vector<std::string>{"ErrLoadImg"});
    EXPECT_TRUE(out.Empty());
    // Quiet loads keep the part and show nothing.
    EXPECT_TRUE(kv::LoadImageFile(out, Path("cut.bmp"), extra, kv::LoadReport::Quiet));
    EXPECT_EQ(out.Width(), 40);
    EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(FilesTest, SaveInAFormatThatCannotSaveOrWithoutRoomKeepsTheOldFile) {
    pixkit::Buffer image = Pattern(4, 4);
    pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
    std::ofstream(Path("pic.ico")) << "old icon";
    EXPECT_FALSE(kv::SaveImageFile(image, Path("pic.ico"), extra, kv::BackupChoice::Keep));
    EXPECT_EQ(shown_, std::vector<std::string>{"ErrSaveImgForm"});
    EXPECT_EQ(ReadAll(Path("pic.ico")), "old icon");

    // A directory that is not there.
    shown_.clear();
    EXPECT_FALSE(kv::SaveImageFile(image, Path("no/pic.bmp"), extra, kv::BackupChoice::Keep));
    EXPECT_EQ(shown_, std::vector<std::string>{"ErrSaveImg"});
    // A name without an extension gets the first format's.
    EXPECT_EQ(kv::SaveFileName("/d/pic"),
              "/d/pic" + pixkit::GFXFile::Formats()->Mask.substr(
                             1, pixkit::GFXFile::Formats()->Mask.find(';') - 1));
}

TEST_F(FilesTest, RecentEntriesCarryTheImageNumberAndPersist) {
    EXPECT_EQ(kv::RecentFiles::EntryText("/a/b.gif", 3), "/a/b.gif: 3");
    EXPECT_EQ(kv::RecentFiles::EntryText("/a/b.gif", 1), "/a/b.gif");
    const auto e = kv::RecentFiles::ParseEntry("/a/b.gif: 3");
    EXPECT_EQ(e.Name, "/a/b.gif");
    EXPECT_EQ(e.ImageNo, 3);
    EXPECT_EQ(kv::RecentFiles::ParseEntry("/a/x: y.gif").Name, "/a/x: y.gif");
    EXPECT_EQ(kv::RecentFiles::ParseEntry("/a/x: 0").ImageNo, 1);

    kv::RecentFiles recent;
    recent.SetCapacity(3);
    for (const char* n : {"a", "b", "c", "d"}) recent.Add(n, 1);
    recent.Add("b", 1);
    recent.Add("b", 2);
    EXPECT_EQ(recent.Items(), (std::vector<std::string>{"b: 2", "b", "d"}));
    kv::SettingsStore store(Path("kv.conf"));
    ASSERT_TRUE(recent.Save(store));
    kv::RecentFiles again;
    again.SetCapacity(2);
    again.Load(store);
    EXPECT_EQ(again.Items(), (std::vector<std::string>{"b: 2", "b"}));
}

TEST_F(FilesTest, ClipboardDibIsAHeaderAndBottomUpRowsAndDecodesBack) {
    pixkit::Buffer image;
    image.Alloc({2, 2});
    *image.At(0, 0) = 0x00112233;
    *image.At(1, 0) = 0x00445566;
    *image.At(0, 1) = 0x01778899;
    *image.At(1, 1) = 0x00AABBCC;
    const std::vector<std::uint8_t> dib = kv::DibFromImage(image);
    ASSERT_EQ(dib.size(), 40u + 16u);
    pixkit::BITMAPINFOHEADER h;
    std::memcpy(&h, dib.data(), 40);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 2);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression | h.biSizeImage | h.biClrUsed | h.biClrImportant, 0u);
    std::uint32_t rows[4];
    std::memcpy(rows, dib.data() + 40, 16);
    EXPECT_EQ(rows[0], 0x01778899u); // bottom row first
    EXPECT_EQ(rows[1], 0x00AABBCCu);
    EXPECT_EQ(rows[2], 0x00112233u);
    EXPECT_EQ(rows[3], 0x00445566u);

    const std::vector<std::uint8_t> file = kv::BmpFileFromDib(dib);
    EXPECT_EQ(kv::DibFromBmpFile(file), dib);
    pixkit::Buffer back;
    kv::ImageFromDib(back, dib.data(), dib.size(), kv::CoreHeader::Refused);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(*back.At(x, y), *image.At(x, y));
    // The BMP file is one other programs read: our own BMP reader agrees.
    std::ofstream(Path("clip.bmp"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    pixkit::Buffer viaFile;
    pixkit::GFXFile::Load(viaFile, Path("clip.bmp"), nullptr);
    EXPECT_EQ(*viaFile.At(1, 1) & 0xFFFFFF, 0xAABBCCu);
}

TEST_F(FilesTest, PaletteDibFromAnotherProgramDecodesAndBadDibsAreRefused) {
    // An 8-bit palette BMP written by Pillow; its DIB is what another
    // program would put on the clipboard.
    const std::string bmp = Path("p.bmp");
    const std::string cmd = "/usr/bin/python3 -c \"from PIL import Image; im=Image.new('P',(5,3)); "
                            "im.putpalette([0,0,0, 255,0,0, 0,255,0, 0,0,255]); "
                            "[im.putpixel((x,y),(x+y)%4) for x in range(5) for y in range(3)]; "
                            "im.save('" +
                            bmp + "')\"";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "Pillow is not available";
    const std::string bytes = ReadAll(bmp);
    const std::vector<std::uint8_t> dib = kv::DibFromBmpFile({bytes.begin(), bytes.end()});
    pixkit::Buffer out;
    kv::ImageFromDib(out, dib.data(), dib.size(), kv::CoreHeader::Refused);
    const pixkit::Pixel colours[] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(*out.At(x, y) & 0xFFFFFF, colours[(x + y) % 4]);

    pixkit::Buffer none;
    EXPECT_THROW(kv::ImageFromDib(none, dib.data(), 20, kv::CoreHeader::Allowed),
                 pixkit::EInvalidImage);
    // A 12-byte core header, refused where only info headers are taken.
    const std::uint8_t core[12 + 6 + 4] = {12, 0, 0, 0, 1,   0,   1,   0,    1, 0, 1,
                                           0,  0, 0, 0, 255, 255, 255, 0x80, 0, 0, 0};
    EXPECT_THROW(kv::ImageFromDib(none, core, sizeof core, kv::CoreHeader::Refused),
                 pixkit::EInvalidImage);
    kv::ImageFromDib(none, core, sizeof core, kv::CoreHeader::Allowed);
    EXPECT_EQ(*none.At(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    // Rows cut short: a read error with the rows that were there.
    pixkit::Buffer part;
    EXPECT_THROW(kv::ImageFromDib(part, dib.data(), dib.size() - 9, kv::CoreHeader::Refused),
                 pixkit::EReadError);
}

TEST_F(FilesTest, ScanFramesOfEveryLayoutBecomeTheirPixels) {
    auto decode = [](const kv::ScanFrame& f) {
        const std::vector<std::uint8_t> dib = kv::DibFromScanFrame(f);
        pixkit::Buffer b;
        kv::ImageFromDib(b, dib.data(), dib.size(), kv::CoreHeader::Refused);
        return b;
    };
    // Colour, 8 bits: 2 x 2, rows padded to 8 bytes.
    kv::ScanFrame rgb{false, 8, 2, 2, 8, {255, 0, 0, 0, 255, 0, 9, 9, 0, 0, 255, 10, 20, 30, 9, 9}};
    pixkit::Buffer b = decode(rgb);
    EXPECT_EQ(*b.At(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(*b.At(1, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(*b.At(0, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(*b.At(1, 1) & 0xFFFFFF, 0x0A141Eu);
    // Grey, 16 bits in native order: the high byte counts.
    std::vector<std::uint8_t> grey16(4);
    const std::uint16_t samples[2] = {0x80FF, 0x1200};
    std::memcpy(grey16.data(), samples, 4);
    pixkit::Buffer g = decode({true, 16, 2, 1, 4, grey16});
    EXPECT_EQ(*g.At(0, 0) & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(*g.At(1, 0) & 0xFFFFFF, 0x121212u);
    // Line art: a set bit is black.
    pixkit::Buffer art = decode({true, 1, 10, 1, 2, {0xA0, 0x40}});
    const pixkit::Pixel expect[10] = {0,        0xFFFFFF, 0,        0xFFFFFF, 0xFFFFFF,
                                      0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(*art.At(x, 0) & 0xFFFFFF, expect[x]) << x;
    // Layouts and sizes that do not fit.
    EXPECT_THROW(kv::DibFromScanFrame({false, 1, 2, 1, 1, {0}}), std::runtime_error);
    EXPECT_THROW(kv::DibFromScanFrame({true, 8, 4, 2, 4, {1, 2, 3, 4}}), std::runtime_error);
    EXPECT_THROW(kv::DibFromScanFrame({true, 8, 4, 1, 3, {1, 2, 3, 4}}), std::runtime_error);
}

TEST_F(FilesTest, ScannerWithoutItsLibraryIsUnavailable) {
    kv::Scanner scanner("libkv-no-such-scanner-library.so.1");
    EXPECT_FALSE(scanner.Probe());
    EXPECT_FALSE(scanner.Available());
    EXPECT_TRUE(scanner.Devices().empty());
    EXPECT_THROW(scanner.AcquireDib(), std::runtime_error);
}

} // namespace
