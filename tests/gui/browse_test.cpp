// File > Browse... in the real window: the items of a folder, thumbnail and
// folder sizes, a file click that asks about the changed image and opens
// the file, bad files, the cache preference, and a window that stays usable
// while the decoder is held up.
#include "browsegui.h"
#include "harness.h"

#include "files/browseform.h"
#include "files/filecommands.h"
#include "files/thumbnailer.h"
#include "mainform.h"
#include "platform/settings.h"
#include "preferences.h"
#include "view/tbuffer.h"

#include <pixkit/gfxfile.h>

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using kvtest::KvTest;
using kvtest::WaitPlaced;
using kvtest::WhenBrowserShows;

namespace {

pixkit::Buffer Pattern(int w, int h, pixkit::Pixel seed) {
    pixkit::Buffer b;
    b.Alloc({w, h});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *b.At(x, y) = (seed + pixkit::Pixel(x * 7 + y * 3) * 0x010203) & 0xFFFFFF;
    return b;
}

void Save(const fs::path& p, pixkit::Buffer b) {
    pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
    pixkit::GFXFile::Save(b, p.string(), &extra, nullptr);
}

void Browse(kv::TMainForm& form, const fs::path& folder) {
    form.Files().SetLastDirectory(folder.string());
    form.MenuCommand("Browse1")->trigger();
}

class BrowseTest : public KvTest {
  protected:
    void SetCacheThumbs(bool on) {
        kv::SettingsStore store(settingsPath_);
        store.WriteBool(kv::kPreferencesKey, "CacheThumbs", on);
        store.Flush();
    }
};

// Progress callbacks record the threads they run on.
std::mutex progressMutex;
std::vector<std::thread::id> progressThreads;
void Record() {
    const std::lock_guard lock(progressMutex);
    progressThreads.push_back(std::this_thread::get_id());
}

} // namespace

TEST_F(BrowseTest, FolderItemsSizesAndAFileClickThatAsksThenOpens) {
    InstallLanguage("English");
    const fs::path pics = root_ / "pics";
    fs::create_directories(pics);
    const pixkit::Buffer small = Pattern(60, 45, 0x102030);
    Save(pics / "small.bmp", Pattern(60, 45, 0x102030));
    Save(pics / "Big.bmp", Pattern(300, 100, 0x405060));
    Save(pics / "c.pcx", Pattern(9, 9, 0x111111));
    Save(pics / "d.bmp", Pattern(20, 40, 0x222222));
    Save(pics / "e.frm", Pattern(5, 5, 0x333333));
    std::ofstream(pics / "notes.txt") << "no image";
    ASSERT_EQ(::mkfifo((pics / "pipe.gif").c_str(), 0600), 0);

    Run({}, [&](kv::TMainForm& form) {
        pixkit::GFXFile::SetProgFunc([] { Record(); }, [](int) { return Record(), true; },
                                     [] { Record(); });
        form.Docs().CurrentImage().Changed = 1;
        std::vector<std::string> names;
        int panel = 0;
        pixkit::Pair<int> thumb{}, folder{};
        bool same = false;
        std::string title, hint;
        WhenBrowserShows([&](kv::TBrowseForm& b) {
            ASSERT_TRUE(WaitPlaced(b));
            for (const kv::BrowseItem& item : b.Items()) names.push_back(item.Name);
            panel = b.findChild<QWidget*>("Panel")->height();
            title = b.windowTitle().toStdString();
            const auto* up = b.PictureOf(0)->GetBuffer();
            folder = {up->Width(), up->Height()};
            kv::TBuffer* pic = b.PictureOf(5);
            hint = pic->toolTip().toStdString();
            const pixkit::Buffer& t = *pic->GetBuffer();
            thumb = {t.Width(), t.Height()};
            pixkit::Buffer expected;
            expected.Alloc({120, 90});
            expected.Scale(const_cast<pixkit::Buffer&>(small), {120, 90}, {0, 0}, pixkit::NoKey,
                           kv::kThumbScaleMode);
            same = thumb == pixkit::Pair<int>{120, 90};
            for (int y = 0; same && y < 90; ++y)
                for (int x = 0; x < 120; ++x) same = same && *t.At(x, y) == *expected.At(x, y);
            QTest::mouseClick(pic, Qt::LeftButton);
        });
        answers_.push_back(kv::MsgResult::No); // give the changes up
        Browse(form, pics);
        EXPECT_EQ(names, (std::vector<std::string>{"..", "Big.bmp", "c.pcx", "d.bmp", "e.frm",
                                                   "small.bmp"}));
        EXPECT_EQ(panel, 240);
        EXPECT_EQ(title, "Image Browser - " + pics.string());
        EXPECT_EQ(folder, (pixkit::Pair<int>{102, 89}));
        EXPECT_EQ(thumb, (pixkit::Pair<int>{120, 90}));
        EXPECT_TRUE(same);
        EXPECT_EQ(hint, "60 x 45 Pixels\n" +
                            std::to_string((fs::file_size(pics / "small.bmp") + 1023) / 1024) +
                            " KBytes");
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_NE(shown_[0].Text.find("has been changed. Save it?"), std::string::npos);
        EXPECT_EQ(form.Docs().CurrentImage().FileName, (pics / "small.bmp").string());
        EXPECT_EQ(form.Docs().CurrentImage().Width(), 60);
        EXPECT_EQ(form.Files().LastDirectory(), pics.string());
        for (std::thread::id id : progressThreads) EXPECT_EQ(id, std::this_thread::get_id());
        EXPECT_FALSE(progressThreads.empty()); // the click's load reported
        pixkit::GFXFile::SetProgFunc(nullptr, nullptr, nullptr);
    });
    // CacheThumbs is off by default: nothing written.
    EXPECT_FALSE(fs::exists(pics / "browser.kv"));
}

TEST_F(BrowseTest, BadFilesShowPlaceholdersAndAHeldDecoderBlocksNeitherScrollNorClose) {
    SetCacheThumbs(true);
    const fs::path bad = root_ / "bad";
    fs::create_directories(bad / "sub");
    std::ofstream(bad / "empty.gif").close();
    std::ofstream(bad / "junk.bmp") << "BM not really";
    fs::create_symlink(bad / "nowhere.bmp", bad / "dead.bmp");
    const fs::path many = root_ / "many";
    fs::create_directories(many);
    for (int i = 0; i < 40; ++i)
        Save(many / ("p" + std::to_string(100 + i) + ".bmp"), Pattern(8, 6, i));

    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::atomic<bool> hold{false};
    std::atomic<int> decodes{0};
    kv::Thumbnailer::DecodeHook() = [&](const std::string&) {
        std::unique_lock lock(m);
        ++decodes;
        if (hold) cv.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
    };
    Run({}, [&](kv::TMainForm& form) {
        std::vector<int> placeholderWidths;
        WhenBrowserShows([&](kv::TBrowseForm& b) {
            EXPECT_TRUE(WaitPlaced(b));
            for (int i = 0; i < static_cast<int>(b.Items().size()); ++i)
                if (b.Items()[std::size_t(i)].IsFile && b.PictureOf(i) != nullptr)
                    placeholderWidths.push_back(b.PictureOf(i)->GetBuffer()->Width());
            b.reject();
        });
        Browse(form, bad);
        // "dead.bmp" is a dangling link: not a file, not listed.
        EXPECT_EQ(placeholderWidths, (std::vector<int>{120, 120}));
        EXPECT_TRUE(shown_.empty());
        EXPECT_FALSE(fs::exists(bad / "browser.kv")); // nothing to keep: removed

        // Counted afresh, so the wait below sees the held file's decode start.
        decodes = 0;
        hold = true;
        std::pair<int, int> before{}, after{};
        bool closed = false;
        std::thread releaser;
        WhenBrowserShows([&](kv::TBrowseForm& b) {
            for (int i = 0; i < 1000 && decodes == 0; ++i) QThread::msleep(5);
            before = b.VisibleRange();
            auto* bar = b.findChild<QScrollBar*>("ScrollBar1");
            // The scroll bar, drawn in bands, looks as a plain one does (the
            // pointer elsewhere).
            bar->setAttribute(Qt::WA_UnderMouse, false);
            QScrollBar plain(Qt::Vertical, &b);
            plain.setRange(bar->minimum(), bar->maximum());
            plain.setPageStep(bar->pageStep());
            plain.resize(bar->size());
            for (const int value : {bar->maximum() / 3, bar->maximum()}) {
                bar->setValue(value);
                plain.setValue(value);
                EXPECT_EQ(bar->grab().toImage(), plain.grab().toImage()) << value;
            }
            EXPECT_GT(bar->height(), 96);
            QApplication::processEvents();
            after = b.VisibleRange();
            releaser = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                const std::lock_guard lock(m);
                release = true;
                cv.notify_all();
            });
            QTest::mouseClick(b.findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
            closed = true;
        });
        Browse(form, many);
        releaser.join();
        EXPECT_TRUE(closed);
        EXPECT_EQ(before.first, 0);
        EXPECT_EQ(after.second, 40); // ".." and 40 files
        EXPECT_GT(after.first, 0);
        EXPECT_EQ(decodes, 1); // the held file, then nothing more
    });
    kv::Thumbnailer::DecodeHook() = nullptr;
}
