// The browser's thumbnail cache file and the worker's thumbnails, without a
// window: byte layout, paging, reuse of free entries, hostile cache files,
// bad image files, and the worker dropping work that scrolled away.
#include "files/thumbcache.h"
#include "files/thumbnailer.h"

#include <pixkit/gfxfile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv;
using pixkit::Buffer;
using pixkit::Pixel;

namespace {

constexpr std::int64_t kDir = thumbcache::kDirectorySize, kRec = thumbcache::kRecordSize,
                       kPage = thumbcache::kPageSize;

struct TempFolder {
    fs::path path;
    TempFolder() {
        path = fs::temp_directory_path() /
               ("kv-thumbs-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string Dir() const { return path.string(); }
    fs::path Cache() const { return path / thumbcache::kFileName; }
};

Buffer Pattern(int w, int h, Pixel seed) {
    Buffer b;
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *b.At(x, y) = (seed + Pixel(x * 3 + y * 5) * 0x010307) & 0xFFFFFF;
    return b;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Le32(const std::string& s, std::int64_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}

void Poke(const fs::path& p, std::int64_t at, const std::string& bytes) {
    std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(at);
    f.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string Le(std::uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

bool SamePixels(const Buffer& a, const Buffer& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if ((*a.At(x, y) & 0xFFFFFF) != (*b.At(x, y) & 0xFFFFFF)) return false;
    return true;
}

void SaveImage(const fs::path& p, const Buffer& image) {
    Buffer copy;
    copy.Alloc({image.Width(), image.Height()});
    copy.Copy(const_cast<Buffer&>(image), {0, 0}, pixkit::NoKey);
    pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
    pixkit::GFXFile::Save(copy, p.string(), &extra, nullptr);
}

} // namespace

TEST(ThumbCache, EntriesRecordsPagesAndFreeEntriesSitWhereTheFileFormatSays) {
    TempFolder t;
    const Buffer a = Pattern(120, 67, 0x102030), b = Pattern(45, 90, 0x405060);
    {
        ThumbCache c;
        ASSERT_TRUE(c.Open(t.Dir()));
        c.Store("Photo.BMP", {0x11223344, 5000}, a, {1600, 900});
        c.Store("b.gif", {7, 8}, b, {45, 90});
    }
    std::string s = Slurp(t.Cache());
    ASSERT_GE(s.size(), std::size_t(kDir + 2 * kRec));
    EXPECT_EQ(s[0], 1);
    EXPECT_EQ(std::string(s.data() + 1), "photo.bmp");
    const std::uint32_t want0[] = {0x11223344, 5000, 120, 67, 1600, 900};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Le32(s, 260 + 4 * i), want0[i]) << i;
    EXPECT_EQ(std::string(s.data() + 284 + 1), "b.gif");
    // Records: red, green, blue; rows 120 pixels apart.
    const Pixel p = *a.At(5, 7);
    const auto* r = reinterpret_cast<const unsigned char*>(s.data() + kDir + (7 * 120 + 5) * 3);
    EXPECT_EQ((Pixel(r[0]) << 16 | Pixel(r[1]) << 8 | r[2]), p);
    const Pixel q = *b.At(44, 89);
    r = reinterpret_cast<const unsigned char*>(s.data() + kDir + kRec + (89 * 120 + 44) * 3);
    EXPECT_EQ((Pixel(r[0]) << 16 | Pixel(r[1]) << 8 | r[2]), q);

    ThumbCache c;
    ASSERT_TRUE(c.Open(t.Dir()));
    Buffer got;
    pixkit::Pair<int> size{};
    EXPECT_TRUE(c.Find("PHOTO.bmp", {0x11223344, 5000}, got, size));
    EXPECT_TRUE(SamePixels(got, a));
    EXPECT_EQ(size, (pixkit::Pair<int>{1600, 900}));
    // A changed size frees the entry; the next thumbnail takes it.
    EXPECT_FALSE(c.Find("photo.bmp", {0x11223344, 5001}, got, size));
    c.Store("c.pcx", {1, 2}, b, {45, 90});
    // 127 more fill the page; the 129th appends a page and links it.
    for (int i = 0; i < 127; ++i) c.Store("f" + std::to_string(i) + ".bmp", {1, 1}, b, {45, 90});
    EXPECT_EQ(c.PageCount(), 2);
    c.Close();
    s = Slurp(t.Cache());
    EXPECT_EQ(std::string(s.data() + 1), "c.pcx");
    EXPECT_NE(Le32(s, kDir - 4), 0u);
    ASSERT_GE(s.size(), std::size_t(kPage + kDir + kRec));
    EXPECT_EQ(std::string(s.data() + kPage + 1), "f126.bmp");
    r = reinterpret_cast<const unsigned char*>(s.data() + kPage + kDir + (89 * 120 + 44) * 3);
    EXPECT_EQ((Pixel(r[0]) << 16 | Pixel(r[1]) << 8 | r[2]), q);

    // No image left: the file goes.
    ASSERT_TRUE(c.Open(t.Dir()));
    EXPECT_EQ(c.InUse(), 129);
    c.DropMissing([](const std::string& name) { return name == "b.gif"; });
    EXPECT_EQ(c.InUse(), 1);
    c.DropMissing([](const std::string&) { return false; });
    c.Close();
    EXPECT_FALSE(fs::exists(t.Cache()));
}

TEST(ThumbCache, HostileFilesAreTamedOrLeftAlone) {
    const Buffer b = Pattern(40, 30, 0x777777);
    auto valid = [&](const TempFolder& t, int count) {
        ThumbCache c;
        ASSERT_TRUE(c.Open(t.Dir()));
        for (int i = 0; i < count; ++i)
            c.Store("i" + std::to_string(i) + ".bmp", {1, 1}, b, {4, 3});
    };
    struct Case {
        const char* what;
        std::function<void(const TempFolder&)> spoil;
        int usable; // entries that still give their thumbnail
    };
    const Case cases[] = {
        {"cut inside the second record",
         [&](const TempFolder& t) {
             valid(t, 2);
             fs::resize_file(t.Cache(), kDir + kRec + 100);
         },
         1},
        {"cut inside the directory",
         [&](const TempFolder& t) {
             valid(t, 2);
             fs::resize_file(t.Cache(), 100);
         },
         0},
        {"link to a page that is not there",
         [&](const TempFolder& t) {
             valid(t, 1);
             Poke(t.Cache(), kDir - 4, Le(1));
         },
         1},
        {"a 500 x 500 thumbnail",
         [&](const TempFolder& t) {
             valid(t, 2);
             Poke(t.Cache(), 268, Le(500) + Le(500));
         },
         1},
        {"an unterminated name",
         [&](const TempFolder& t) {
             valid(t, 2);
             Poke(t.Cache(), 1, std::string(259, 'x'));
         },
         1},
        {"the same name twice",
         [&](const TempFolder& t) {
             valid(t, 2);
             Poke(t.Cache(), 284 + 1, std::string("i0.bmp\0", 7));
         },
         1},
    };
    for (const Case& k : cases) {
        TempFolder t;
        k.spoil(t);
        ThumbCache c;
        ASSERT_TRUE(c.Open(t.Dir())) << k.what;
        EXPECT_EQ(c.PageCount(), 1) << k.what;
        int usable = 0;
        for (int i = 0; i < 2; ++i) {
            Buffer got;
            pixkit::Pair<int> size{};
            if (c.Find("i" + std::to_string(i) + ".bmp", {1, 1}, got, size)) {
                ++usable;
                EXPECT_TRUE(SamePixels(got, b)) << k.what;
            }
        }
        EXPECT_EQ(usable, k.usable) << k.what;
        EXPECT_EQ(c.InUse(), k.usable) << k.what;
        // Still usable afterwards.
        c.Store("new.bmp", {1, 1}, b, {4, 3});
        Buffer got;
        pixkit::Pair<int> size{};
        EXPECT_TRUE(c.Find("new.bmp", {1, 1}, got, size)) << k.what;
    }

    // Names that are no regular file of ours are never opened or written:
    // a link (its target stays byte for byte), a FIFO, a second browser.
    TempFolder t;
    const fs::path other = t.path / "other.dat";
    std::ofstream(other, std::ios::binary) << std::string(50000, 'q');
    fs::create_symlink(other, t.Cache());
    ThumbCache c;
    EXPECT_FALSE(c.Open(t.Dir()));
    EXPECT_EQ(Slurp(other), std::string(50000, 'q'));
    fs::remove(t.Cache());
    ASSERT_EQ(::mkfifo(t.Cache().c_str(), 0600), 0);
    EXPECT_FALSE(c.Open(t.Dir()));
    fs::remove(t.Cache());
    ASSERT_TRUE(c.Open(t.Dir()));
    ThumbCache second;
    EXPECT_FALSE(second.Open(t.Dir()));
}

// The worker's function: sizes, reuse through the cache, bad files.
TEST(Thumbnails, SizesCacheReuseAndBadFiles) {
    TempFolder t;
    const Buffer small = Pattern(60, 45, 0x203040);
    SaveImage(t.path / "small.bmp", small);
    SaveImage(t.path / "line.bmp", Pattern(5000, 1, 0x010101));
    ThumbCache cache;
    ASSERT_TRUE(cache.Open(t.Dir()));

    Thumb made;
    MakeThumbnail(t.Dir(), "small.bmp", &cache, made);
    EXPECT_EQ(made.Result, ThumbResult::Made);
    Buffer decoded, expected;
    pixkit::GFXFile::Load(decoded, (t.path / "small.bmp").string(), nullptr);
    expected.Alloc({120, 90});
    expected.Scale(decoded, {120, 90}, {0, 0}, pixkit::NoKey, kThumbScaleMode);
    EXPECT_TRUE(SamePixels(made.Picture, expected));
    EXPECT_EQ(made.ImageSize, (pixkit::Pair<int>{60, 45}));
    Thumb line;
    MakeThumbnail(t.Dir(), "line.bmp", &cache, line);
    EXPECT_EQ(line.Picture.Width(), 120);
    EXPECT_EQ(line.Picture.Height(), 1);

    // Other pixels, same size, the old time put back: the cached picture.
    const fs::path file = t.path / "small.bmp";
    struct stat before {};
    ::stat(file.c_str(), &before);
    SaveImage(file, Pattern(60, 45, 0x909090));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    Thumb again;
    MakeThumbnail(t.Dir(), "small.bmp", &cache, again);
    EXPECT_EQ(again.Result, ThumbResult::Cached);
    EXPECT_TRUE(SamePixels(again.Picture, expected));
    // A new time (nanoseconds alone) shows the new pixels.
    timespec touched[2] = {before.st_atim, before.st_mtim};
    touched[1].tv_nsec = (touched[1].tv_nsec + 1000) % 1000000000;
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), touched, 0), 0);
    Thumb fresh;
    MakeThumbnail(t.Dir(), "small.bmp", &cache, fresh);
    EXPECT_EQ(fresh.Result, ThumbResult::Made);
    EXPECT_FALSE(SamePixels(fresh.Picture, expected));

    // Bad files: a placeholder (Failed) or what was read, never a hang.
    const std::string whole = Slurp(file);
    std::ofstream(t.path / "cut.bmp", std::ios::binary) << whole.substr(0, whole.size() / 2);
    std::ofstream(t.path / "empty.gif").close();
    std::ofstream(t.path / "bomb.bmp", std::ios::binary)
        << whole.substr(0, 18) << Le(60000) << Le(60000) << whole.substr(26, 28);
    ::mkfifo((t.path / "pipe.gif").c_str(), 0600);
    fs::create_symlink(t.path / "nowhere.bmp", t.path / "dead.bmp");
    const std::pair<const char*, ThumbResult> bad[] = {
        {"cut.bmp", ThumbResult::Partial}, {"empty.gif", ThumbResult::Failed},
        {"bomb.bmp", ThumbResult::Failed}, {"pipe.gif", ThumbResult::Failed},
        {"dead.bmp", ThumbResult::Failed}, {"missing.bmp", ThumbResult::Failed}};
    for (const auto& [name, want] : bad) {
        Thumb th;
        MakeThumbnail(t.Dir(), name, &cache, th);
        EXPECT_EQ(th.Result, want) << name;
        Buffer got;
        pixkit::Pair<int> size{};
        EXPECT_FALSE(cache.Find(name, {0, 0}, got, size)) << name;
    }
}

// With the decoder held up, a range change drops the work that scrolled
// away, and Stop waits only for the file being worked on.
TEST(Thumbnails, WorkerFollowsTheVisibleRangeAndStopsAfterOneFile) {
    TempFolder t;
    std::vector<ThumbJob> jobs;
    for (int i = 0; i < 12; ++i) {
        const std::string name = "p" + std::to_string(i) + ".bmp";
        SaveImage(t.path / name, Pattern(8, 6, Pixel(i)));
        jobs.push_back({name, true});
    }
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    int decodes = 0;
    std::vector<int> delivered;
    Thumbnailer::DecodeHook() = [&](const std::string&) {
        std::unique_lock lock(m);
        ++decodes;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
    };
    {
        Thumbnailer worker(t.Dir(), jobs, false, [&](std::shared_ptr<Thumb> th) {
            const std::lock_guard lock(m);
            delivered.push_back(th->Index);
            cv.notify_all();
        });
        worker.SetRange(0, 3);
        {
            std::unique_lock lock(m);
            ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return decodes == 1; }));
        }
        worker.SetRange(8, 11); // scrolled while item 0 decodes
        {
            std::unique_lock lock(m);
            release = true;
            cv.notify_all();
            ASSERT_TRUE(
                cv.wait_for(lock, std::chrono::seconds(10), [&] { return delivered.size() == 5; }));
        }
        EXPECT_EQ(delivered, (std::vector<int>{0, 8, 9, 10, 11}));
        worker.Forget(9); // the window dropped it: made again
        std::unique_lock lock(m);
        ASSERT_TRUE(
            cv.wait_for(lock, std::chrono::seconds(10), [&] { return delivered.size() == 6; }));
        EXPECT_EQ(delivered.back(), 9);
        release = false;
        lock.unlock();
        worker.SetRange(0, 11);
        {
            std::unique_lock wait(m);
            ASSERT_TRUE(cv.wait_for(wait, std::chrono::seconds(10), [&] { return decodes == 7; }));
        }
        // The worker is held in file 1 while Stop is asked; it ends after it.
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const std::lock_guard lock(m);
            release = true;
            cv.notify_all();
        });
        worker.Stop();
        releaser.join();
        EXPECT_EQ(decodes, 7);
    }
    Thumbnailer::DecodeHook() = nullptr;
}
