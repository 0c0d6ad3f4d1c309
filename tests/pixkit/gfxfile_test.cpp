// The format registry: extension lookup, detection by content, the save
// rules, image counts, progress bracketing and the safe save.
#include "image_tools.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace pixkit;
using namespace imgtools;

namespace {

std::string DescOf(const std::string& name) {
    GFXFile* f = GFXFile::GetDefaultFormat(name);
    return f == nullptr ? std::string("(none)") : f->Desc;
}

GFXFile* FormatNamed(const std::string& desc) {
    for (GFXFile* f = GFXFile::Formats(); f != nullptr; f = f->Next)
        if (f->Desc == desc) return f;
    return nullptr;
}

Buffer Sample(int w, int h) {
    Buffer b;
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) *b.At(x, y) = Pixel(x * 40 + y * 7) | 0x01000000;
    return b;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Records the progress callbacks.
std::vector<std::string> events;
void OnStart() {
    events.push_back("start");
}
bool OnStep(int p) {
    events.push_back(std::to_string(p));
    return true;
}
void OnEnd() {
    events.push_back("end");
}
struct Progress {
    Progress() {
        events.clear();
        GFXFile::SetProgFunc(OnStart, OnStep, OnEnd);
    }
    ~Progress() { GFXFile::SetProgFunc(nullptr, nullptr, nullptr); }
};

} // namespace

// Every codec is registered, in detection order, with its description,
// mask and ability to save: a codec missing from the library would
// otherwise vanish from every file dialog without a word.
TEST(Registry, HoldsEveryFormatInOrder) {
    struct Entry {
        const char* desc;
        const char* mask;
        bool canSave;
    };
    const Entry expected[] = {
        {"Tavrix Frame", "*.FRM", true},
        {"Windows Bitmap", "*.BMP", true},
        {"PC PaintBrush PCX", "*.PCX", true},
        {"JPEG", "*.JPG;*.JPEG;*.JFIF", true},
        {"Amiga IFF", "*.IFF;*.LBM;*.ILB;*.ILBM", true},
        {"CompuServe's GIF", "*.GIF", true},
        {"Windows Metafile", "*.WMF", true},
        {"Enhanced Metafile", "*.EMF", true},
        {"Icon", "*.ICO", false},
        {"PNG", "*.PNG", true},
    };
    GFXFile* f = GFXFile::Formats();
    for (const Entry& e : expected) {
        ASSERT_NE(f, nullptr) << "missing: " << e.desc;
        EXPECT_EQ(f->Desc, e.desc);
        EXPECT_EQ(f->Mask, e.mask) << e.desc;
        EXPECT_EQ(f->CanSave, e.canSave) << e.desc;
        f = f->Next;
    }
    EXPECT_EQ(f, nullptr) << "unexpected format: " << f->Desc;
}

TEST(Registry, ExtensionLookup) {
    EXPECT_EQ(DescOf("photo.bmp"), "Windows Bitmap");
    EXPECT_EQ(DescOf("/a.b/PHOTO.Bmp"), "Windows Bitmap");
    EXPECT_EQ(DescOf("x.frm"), "Tavrix Frame");
    EXPECT_EQ(DescOf("C:\\DIR.X\\FILE"), "(none)");
    EXPECT_EQ(DescOf("dir.bmp/file"), "(none)");
    EXPECT_EQ(DescOf("name."), "(none)");
    EXPECT_EQ(DescOf("x.bm"), "(none)");   // a prefix of a pattern is no match
    EXPECT_EQ(DescOf("x.bmpx"), "(none)"); // nor is a longer extension
    EXPECT_EQ(DescOf("a.bmp"), "Windows Bitmap");
    if (FormatNamed("JPEG") != nullptr) {
        EXPECT_EQ(DescOf("photo.jpeg"), "JPEG");
        EXPECT_EQ(DescOf("photo.JPE"), "(none)");
    }
    if (FormatNamed("Amiga IFF") != nullptr) {
        EXPECT_EQ(DescOf("IMAGE.LBM"), "Amiga IFF");
    }
    // Every pattern of every registered mask leads to a format holding it.
    for (GFXFile* f = GFXFile::Formats(); f != nullptr; f = f->Next) {
        std::string mask = f->Mask + ";";
        for (std::size_t at = 0, end; (end = mask.find(';', at)) != std::string::npos;
             at = end + 1) {
            const std::string ext = mask.substr(at + 1, end - at - 1); // ".JPG"
            GFXFile* g = GFXFile::GetDefaultFormat("file" + ext);
            ASSERT_NE(g, nullptr) << ext;
            EXPECT_NE((g->Mask + ";").find(ext + ";"), std::string::npos) << ext;
        }
    }
}

TEST(Registry, ContentWinsOverAWrongExtension) {
    TempDir t;
    Buffer b = Sample(6, 4);
    GFXFile::Save(b, t / "frame.frm", nullptr, nullptr);
    GFXFile::Save(b, t / "bitmap.bmp", nullptr, nullptr);
    std::filesystem::rename(t / "frame.frm", t / "frame.bmp");
    std::filesystem::rename(t / "bitmap.bmp", t / "bitmap.frm");
    GFXFileDesc d;
    ASSERT_TRUE(GFXFile::Test(t / "frame.bmp", &d));
    EXPECT_EQ(d.BPP, 32);
    EXPECT_EQ(d.WithPal, 0); // described by the frame format
    ASSERT_TRUE(GFXFile::Test(t / "bitmap.frm", &d));
    EXPECT_EQ(d.BPP, 24);
    Buffer f, m;
    GFXFile::Load(f, t / "frame.bmp", nullptr);
    GFXFile::Load(m, t / "bitmap.frm", nullptr);
    EXPECT_EQ(*f.At(5, 3), *b.At(5, 3)); // frames keep the top byte
    EXPECT_EQ(*m.At(5, 3), *b.At(5, 3) & 0xFFFFFF);

    std::ofstream(t / "junk.bmp") << "not an image at all";
    EXPECT_FALSE(GFXFile::Test(t / "junk.bmp", &d));
    Buffer j;
    EXPECT_THROW(GFXFile::Load(j, t / "junk.bmp", nullptr), EInvalidImage);
}

TEST(Registry, SaveRules) {
    TempDir t;
    Buffer b = Sample(3, 2);
    GFXFile::Save(b, t / "picture", nullptr, nullptr);
    EXPECT_TRUE(std::filesystem::exists(t / "picture.FRM"));
    EXPECT_EQ(Slurp(t / "picture.FRM").substr(0, 4), std::string("FRM\x04"));
    GFXFile::Save(b, t / "odd.xyz", nullptr, nullptr);
    EXPECT_TRUE(std::filesystem::exists(t / "odd.xyz.FRM"));

    // Formats that only read refuse to save and create nothing.
    int readOnly = 0;
    for (GFXFile* f = GFXFile::Formats(); f != nullptr; f = f->Next) {
        if (f->CanSave) continue;
        ++readOnly;
        const std::string name = t / ("x" + f->Mask.substr(1, f->Mask.find(';') - 1));
        EXPECT_THROW(GFXFile::Save(b, name, nullptr, nullptr), EInvalidImage) << name;
        EXPECT_FALSE(std::filesystem::exists(name));
    }
    if (FormatNamed("Icon") != nullptr) {
        EXPECT_THROW(GFXFile::Save(b, t / "x.ico", nullptr, nullptr), EInvalidImage);
        EXPECT_GT(readOnly, 0);
    }
}

TEST(Registry, ImageCounts) {
    TempDir t;
    EXPECT_EQ(GFXFile::GetImgCount(t / "missing.bmp"), 0);
    EXPECT_EQ(GFXFile::GetImgCount(t.path.string()), 0); // a directory
    std::ofstream(t / "junk.frm") << "junk";
    EXPECT_EQ(GFXFile::GetImgCount(t / "junk.frm"), 0);
    Buffer b = Sample(2, 2);
    GFXFile::Save(b, t / "one.bmp", nullptr, nullptr);
    EXPECT_EQ(GFXFile::GetImgCount(t / "one.bmp"), 1);
}

TEST(Registry, ProgressBracketsLoadAndSaveEvenOnFailure) {
    TempDir t;
    Buffer b = Sample(4, 10);
    {
        Progress p;
        GFXFile::Save(b, t / "p.bmp", nullptr, nullptr);
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(events.front(), "start");
        EXPECT_EQ(events.back(), "end");
        EXPECT_EQ(events[1], "0");
        EXPECT_EQ(events[events.size() - 2], "90"); // (rows before the last) * 100 / rows
    }
    {
        Progress p;
        Buffer l;
        GFXFile::Load(l, t / "p.bmp", nullptr);
        EXPECT_EQ(events.size(), 12u);
        EXPECT_EQ(events.back(), "end");
    }
    // A file cut inside its rows: the read error, still one start and one end.
    const std::string whole = Slurp(t / "p.bmp");
    std::ofstream(t / "cut.bmp", std::ios::binary) << whole.substr(0, whole.size() - 30);
    {
        Progress p;
        Buffer l;
        EXPECT_THROW(GFXFile::Load(l, t / "cut.bmp", nullptr), EReadError);
        EXPECT_EQ(events.front(), "start");
        EXPECT_EQ(events.back(), "end");
        EXPECT_EQ(std::count(events.begin(), events.end(), "end"), 1);
    }
    // A quiet load (a background preview) reports nothing, not even its
    // start and end.
    {
        Progress p;
        QuietProgress quiet;
        Buffer l;
        GFXFile::Load(l, t / "p.bmp", nullptr);
        EXPECT_FALSE(l.Empty());
        EXPECT_TRUE(events.empty());
    }
    // No format found: nothing was started, so nothing is ended.
    {
        Progress p;
        std::ofstream(t / "junk.frm") << "junk";
        Buffer l;
        EXPECT_THROW(GFXFile::Load(l, t / "junk.frm", nullptr), EInvalidImage);
        EXPECT_TRUE(events.empty());
    }
}

// Formats without a reduced decode give the full image and its size; a
// file cut short still reports the stored size with the rows it gave; what
// is not a regular file is refused at once instead of being waited on.
TEST(Registry, LoadReducedDecodesFullyAndReadsOnlyRegularFiles) {
    TempDir t;
    Buffer b = Sample(37, 23);
    GFXFile::Save(b, t / "p.bmp", nullptr, nullptr);
    Buffer full, reduced;
    GFXFile::Load(full, t / "p.bmp", nullptr);
    Pair<int> size{0, 0};
    GFXFile::LoadReduced(reduced, t / "p.bmp", nullptr, {4, 3}, &size);
    EXPECT_EQ(size, (Pair<int>{37, 23}));
    ASSERT_EQ(reduced.Width(), 37);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(*reduced.At(x, y), *full.At(x, y));

    const std::string whole = Slurp(t / "p.bmp");
    std::ofstream(t / "cut.bmp", std::ios::binary) << whole.substr(0, whole.size() - 200);
    Buffer part;
    size = {0, 0};
    EXPECT_THROW(GFXFile::LoadReduced(part, t / "cut.bmp", nullptr, {4, 3}, &size), EReadError);
    EXPECT_EQ(size, (Pair<int>{37, 23}));

    ASSERT_EQ(::mkfifo((t / "pipe.bmp").c_str(), 0600), 0);
    Buffer none;
    EXPECT_THROW(GFXFile::LoadReduced(none, t / "pipe.bmp", nullptr, {4, 3}, &size), EFOpenError);
    EXPECT_THROW(GFXFile::LoadReduced(none, t / "gone.bmp", nullptr, {4, 3}, &size), EFOpenError);
    EXPECT_TRUE(none.Empty());
}

TEST(Registry, FailedSaveKeepsTheOldFile) {
    TempDir t;
    Buffer b = Sample(3, 3);
    GFXFile::Save(b, t / "keep.frm", nullptr, nullptr);
    const std::string before = Slurp(t / "keep.frm");
    Buffer wide;
    wide.Alloc({70000, 1}); // too wide for the frame format's 16-bit size
    {
        Progress p;
        EXPECT_THROW(GFXFile::Save(wide, t / "keep.frm", nullptr, nullptr), EInvalidImage);
        EXPECT_EQ(events, (std::vector<std::string>{"start", "end"}));
    }
    EXPECT_EQ(Slurp(t / "keep.frm"), before);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(t.path)) files += e.is_regular_file();
    EXPECT_EQ(files, 1); // no temporary file left behind
    EXPECT_THROW(GFXFile::Save(b, t / "no/such/dir/x.bmp", nullptr, nullptr), EFCreateError);
}

TEST(Registry, SaveReplacesThroughLinksAndKeepsPermissions) {
    TempDir t;
    Buffer b = Sample(3, 3);
    GFXFile::Save(b, t / "real.bmp", nullptr, nullptr);
    std::filesystem::permissions(t / "real.bmp", std::filesystem::perms(0640));
    std::filesystem::create_symlink(t / "real.bmp", t / "link.bmp");
    Buffer other = Sample(5, 2);
    GFXFile::Save(other, t / "link.bmp", nullptr, nullptr);
    EXPECT_TRUE(std::filesystem::is_symlink(t / "link.bmp"));
    GFXFileDesc d;
    ASSERT_TRUE(GFXFile::Test(t / "real.bmp", &d));
    EXPECT_EQ(d.Width, 5);
    EXPECT_EQ(std::filesystem::status(t / "real.bmp").permissions(), std::filesystem::perms(0640));

    const mode_t mask = ::umask(027);
    GFXFile::Save(b, t / "new.bmp", nullptr, nullptr);
    ::umask(mask);
    EXPECT_EQ(std::filesystem::status(t / "new.bmp").permissions(), std::filesystem::perms(0640));
}
