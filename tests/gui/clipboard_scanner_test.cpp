// The clipboard (offscreen platform) and the scanner (SANE's "test" backend
// through a configuration folder of the test's own) on the real window.
#include "harness.h"

#include "files/filecommands.h"

#include <pixkit/gfxfile.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void Fill2x2(pixkit::Buffer& b) {
    b.Alloc({2, 2});
    *b.At(0, 0) = 0x00112233;
    *b.At(1, 0) = 0x00445566;
    *b.At(0, 1) = 0x00778899;
    *b.At(1, 1) = 0x00AABBCC;
}

using ClipboardTest = KvTest;

TEST_F(ClipboardTest, ExportOffersA32BitBottomUpDibAndAPng) {
    Run({}, [](kv::TMainForm& form) {
        Fill2x2(form.Docs().CurrentImage());
        form.MenuCommand("ExptoClipb1")->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        const QByteArray bmp = data->data("image/bmp");
        ASSERT_EQ(bmp.size(), 14 + 40 + 16);
        EXPECT_EQ(bmp.left(2), QByteArray("BM"));
        const auto* dib = reinterpret_cast<const std::uint8_t*>(bmp.constData()) + 14;
        std::uint32_t head[3], rows[4];
        std::memcpy(head, dib, 12);
        std::memcpy(rows, dib + 40, 16);
        EXPECT_EQ(head[0], 40u);
        EXPECT_EQ(head[1], 2u);
        EXPECT_EQ(head[2], 2u);
        EXPECT_EQ(dib[14], 32);          // bits per pixel
        EXPECT_EQ(rows[0], 0x00778899u); // the bottom row comes first
        EXPECT_EQ(rows[1], 0x00AABBCCu);
        EXPECT_EQ(rows[2], 0x00112233u);
        EXPECT_EQ(rows[3], 0x00445566u);
        // Qt's own readers take both forms.
        const QImage png = QImage::fromData(data->data("image/png"), "PNG");
        ASSERT_EQ(png.size(), QSize(2, 2));
        EXPECT_EQ(png.pixel(1, 1) & 0xFFFFFF, 0xAABBCCu);
        const QImage fromBmp = QImage::fromData(bmp, "BMP");
        ASSERT_EQ(fromBmp.size(), QSize(2, 2));
        EXPECT_EQ(fromBmp.pixel(0, 1) & 0xFFFFFF, 0x778899u);
    });
}

TEST_F(ClipboardTest, ImportRoundTripAndOtherImageTypesAndBadData) {
    Run({}, [this](kv::TMainForm& form) {
        QClipboard* clip = QGuiApplication::clipboard();
        clip->setText("no image");
        QApplication::processEvents();
        EXPECT_FALSE(form.MenuCommand("ImpfromClipb1")->isEnabled());

        Fill2x2(form.Docs().CurrentImage());
        form.MenuCommand("ExptoClipb1")->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(form.MenuCommand("ImpfromClipb1")->isEnabled());
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        doc.Alloc({5, 4});
        doc.Box(doc.Area, 0x010203);
        doc.FileName = "/somewhere/pic.bmp";
        doc.FileState = 0;
        doc.Changed = 0;
        form.MenuCommand("ImpfromClipb1")->trigger();
        ASSERT_EQ(doc.Width(), 2);
        ASSERT_EQ(doc.Height(), 2);
        EXPECT_EQ(*doc.At(0, 0), 0x00112233u);
        EXPECT_EQ(*doc.At(1, 1), 0x00AABBCCu);
        EXPECT_EQ(doc.Changed, 1);
        EXPECT_TRUE(doc.FileName.empty());
        EXPECT_EQ(doc.FileState, 1);
        // The paste can be undone.
        form.UndoLastAction();
        EXPECT_EQ(form.Docs().CurrentImage().Width(), 5);
        EXPECT_EQ(form.Docs().CurrentImage().FileName, "/somewhere/pic.bmp");

        // Only a PNG (as another program may offer): converted.
        QImage image(3, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, 0xFF102030);
        image.setPixel(1, 0, 0xFF405060);
        image.setPixel(2, 0, 0xFF708090);
        clip->setImage(image);
        QApplication::processEvents();
        EXPECT_TRUE(form.MenuCommand("ImpfromClipb1")->isEnabled());
        form.MenuCommand("ImpfromClipb1")->trigger();
        kv::UDBuffer& pasted = form.Docs().CurrentImage();
        ASSERT_EQ(pasted.Width(), 3);
        EXPECT_EQ(*pasted.At(2, 0), 0x708090u);

        // A damaged DIB: the message, and the image stays.
        auto* bad = new QMimeData;
        bad->setData("image/bmp", QByteArray("BM\x10\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18));
        clip->setMimeData(bad);
        form.MenuCommand("ImpfromClipb1")->trigger();
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, "ErrClp");
        EXPECT_EQ(form.Docs().CurrentImage().Width(), 3);
    });
}

class ScannerTest : public KvTest {
  protected:
    void SetUp() override {
        KvTest::SetUp();
        const char* old = std::getenv("SANE_CONFIG_DIR");
        oldConfig_ = old != nullptr ? old : "";
        saneDir_ = root_ / "sane";
        fs::create_directories(saneDir_);
    }
    void TearDown() override {
        ::setenv("SANE_CONFIG_DIR", oldConfig_.c_str(), 1);
        KvTest::TearDown();
    }
    // The "test" backend with the given lines of its configuration.
    void UseTestBackend(const std::string& config) {
        std::ofstream(saneDir_ / "dll.conf") << "test\n";
        std::ofstream(saneDir_ / "test.conf") << config;
        ::setenv("SANE_CONFIG_DIR", saneDir_.string().c_str(), 1);
    }
    // The same scan as another front end makes it, as a BMP.
    bool ReferenceScan(const fs::path& bmp) {
        const fs::path pnm = root_ / "ref.pnm";
        const std::string scan = "SANE_CONFIG_DIR='" + saneDir_.string() +
                                 "' scanimage -d test:0 --format=pnm > '" + pnm.string() +
                                 "' 2>/dev/null";
        const std::string convert = "/usr/bin/python3 -c \"from PIL import Image; "
                                    "Image.open('" +
                                    pnm.string() + "').convert('RGB').save('" + bmp.string() +
                                    "')\"";
        return std::system(scan.c_str()) == 0 && std::system(convert.c_str()) == 0;
    }
    void AcquireMatchesReference(const std::string& config) {
        UseTestBackend(config);
        shown_.clear();
        Run({}, [this](kv::TMainForm& form) {
            ASSERT_TRUE(WaitFor([&] { return form.Files().Scan().Probed(); }));
            ASSERT_TRUE(form.MenuCommand("Acquire1")->isEnabled());
            EXPECT_TRUE(form.MenuCommand("SelectSource1")->isEnabled());
            kv::UDBuffer& doc = form.Docs().CurrentImage();
            doc.Changed = 0;
            doc.FileName = "/old/name.bmp";
            form.MenuCommand("Acquire1")->trigger();
            EXPECT_TRUE(shown_.empty()) << shown_.front().Text;
            kv::UDBuffer& scanned = form.Docs().CurrentImage();
            const fs::path bmp = root_ / "ref.bmp";
            if (!ReferenceScan(bmp)) GTEST_SKIP() << "scanimage or Pillow is not available";
            pixkit::Buffer ref;
            pixkit::GFXFile::Load(ref, bmp.string(), nullptr);
            ASSERT_EQ(scanned.Width(), ref.Width());
            ASSERT_EQ(scanned.Height(), ref.Height());
            EXPECT_GT(scanned.Width(), 10);
            int differing = 0;
            for (int y = 0; y < ref.Height(); ++y)
                for (int x = 0; x < ref.Width(); ++x)
                    differing += (*scanned.At(x, y) & 0xFFFFFF) != (*ref.At(x, y) & 0xFFFFFF);
            EXPECT_EQ(differing, 0);
            EXPECT_EQ(scanned.Changed, 1);
            EXPECT_TRUE(scanned.FileName.empty());
            scanned.Changed = 0; // no question at the end of the run
        });
    }
    std::string oldConfig_;
    fs::path saneDir_;
};

TEST_F(ScannerTest, AcquireReadsTheColourPictureOfTheTestBackend) {
    AcquireMatchesReference("mode Color\ndepth 8\ntest-picture \"Color pattern\"\nresolution 25\n");
}

TEST_F(ScannerTest, AcquireReadsGreyLineArtAndSixteenBitColour) {
    AcquireMatchesReference("mode Gray\ndepth 8\ntest-picture \"Grid\"\nresolution 20\n");
    AcquireMatchesReference("mode Gray\ndepth 1\ntest-picture \"Grid\"\nresolution 20\n");
    AcquireMatchesReference(
        "mode Color\ndepth 16\ntest-picture \"Color pattern\"\nresolution 20\n");
}

TEST_F(ScannerTest, SelectSourceListsTheDevicesAndAcquireUsesTheChoice) {
    UseTestBackend("number_of_devices 2\nmode Color\ndepth 8\nresolution 10\n");
    Run({}, [this](kv::TMainForm& form) {
        ASSERT_TRUE(WaitFor([&] { return form.Files().Scan().Probed(); }));
        std::vector<std::string> listed;
        form.Files().Dialogs.SelectSource = [&](const std::vector<kv::ScanDevice>& devices,
                                                const std::string& current) {
            for (const kv::ScanDevice& d : devices) listed.push_back(d.Name);
            EXPECT_EQ(current, "");
            return std::optional<std::string>("test:1");
        };
        form.MenuCommand("SelectSource1")->trigger();
        EXPECT_EQ(listed, (std::vector<std::string>{"test:0", "test:1"}));
        EXPECT_EQ(form.Files().Scan().Source, "test:1");
        form.MenuCommand("Acquire1")->trigger();
        EXPECT_GT(form.Docs().CurrentImage().Width(), 1);
        EXPECT_TRUE(shown_.empty());
        form.Docs().CurrentImage().Changed = 0;
    });
}

// A slow scan runs while the event loop keeps going; the progress window
// moves and its Cancel stops the scan with the image left as it was.
TEST_F(ScannerTest, ScanningKeepsTheWindowResponsiveAndCancelChangesNothing) {
    UseTestBackend("mode Color\ndepth 8\nresolution 100\nread-limit true\n"
                   "read-limit-size 4096\nread-delay true\nread-delay-duration 200000\n");
    Run({}, [this](kv::TMainForm& form) {
        ASSERT_TRUE(WaitFor([&] { return form.Files().Scan().Probed(); }));
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        doc.Changed = 0;
        const std::vector<pixkit::Pixel> before(doc.At(0, 0), doc.At(0, 0) + doc.Width());
        const int width = doc.Width();
        int ticks = 0, shownPercent = -1;
        QTimer clock;
        clock.setInterval(20);
        QObject::connect(&clock, &QTimer::timeout, [&] {
            auto* window = form.findChild<QProgressDialog*>("ProgressWindow");
            if (window == nullptr || !window->isVisible()) return;
            if (++ticks == 15) {
                shownPercent = window->value();
                window->findChild<QPushButton*>()->click();
            }
        });
        clock.start();
        form.MenuCommand("Acquire1")->trigger();
        clock.stop();
        EXPECT_GE(ticks, 15) << "the event loop ran during the scan";
        EXPECT_GT(shownPercent, 0);
        EXPECT_LT(shownPercent, 100);
        EXPECT_TRUE(shown_.empty());
        EXPECT_EQ(form.Docs().CurrentImage().Width(), width);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), doc.At(0, 0)));
    });
}

TEST_F(ScannerTest, WithoutBackendsTheCommandsStayDisabled) {
    std::ofstream(saneDir_ / "dll.conf") << "";
    ::setenv("SANE_CONFIG_DIR", saneDir_.string().c_str(), 1);
    Run({}, [](kv::TMainForm& form) {
        ASSERT_TRUE(WaitFor([&] { return form.Files().Scan().Probed(); }));
        EXPECT_FALSE(form.MenuCommand("Acquire1")->isEnabled());
        EXPECT_FALSE(form.MenuCommand("SelectSource1")->isEnabled());
        EXPECT_FALSE(form.Files().Scan().Available());
    });
}

} // namespace
