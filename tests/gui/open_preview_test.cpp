// The describing and previewing panel of the program's open dialog, driven
// in the real dialog: label texts, files no loader knows, damaged files,
// the image index of a multi-image file and the preview's size.
#include "harness.h"

#include "files/openplus.h"
#include "mainform.h"
#include "paint/brush.h"
#include "paint/painting.h"

#include <pixkit/gfxfile.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <utime.h>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

const char* const kLabels[] = {"PicSize", "PicColor", "PicBPP", "PicBPC", "PicBytes", "PicMod"};

// Runs fn on the open dialog's panel once the dialog is up; accept tells
// whether the dialog is then confirmed or cancelled.
void WhenPanelShows(std::function<bool(QFileDialog&, kv::TOpenPlus&)> fn) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [fn, poll] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            auto* panel = d->findChild<kv::TOpenPlus*>("OpenPlus");
            const bool accept = panel != nullptr && fn(*d, *panel);
            QMetaObject::invokeMethod(d, accept ? "accept" : "reject");
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

// The user selects file in the dialog; waits for its preview to decode.
void Select(QFileDialog& d, kv::TOpenPlus& panel, const fs::path& file) {
    d.selectFile(QString::fromStdString(file.string()));
    Q_EMIT d.currentChanged(QString::fromStdString(file.string()));
    for (int i = 0; i < 1000 && panel.PreviewPending(); ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    QApplication::processEvents();
}

std::string Text(QWidget& d, const char* name) {
    auto* label = d.findChild<QLabel*>(name);
    return label == nullptr ? "?" : label->text().toStdString();
}

void SaveImage(const fs::path& file, int w, int h, pixkit::Pixel colour) {
    pixkit::Buffer image;
    image.Alloc({w, h});
    image.Box(image.Area, colour);
    pixkit::GFXtra32 extra{0, 0, 0, 0, 1};
    pixkit::GFXFile::Save(image, file.string(), &extra, nullptr);
}

TEST_F(KvTest, OpenDialogDescribesKnownFilesAndClearsForUnknownAndDamagedOnes) {
    InstallLanguage("English");
    const fs::path bmp = root_ / "wide.bmp";
    SaveImage(bmp, 7, 5, 0x336699);
    const std::time_t mtime = 1780000000;
    utimbuf times{mtime, mtime};
    ASSERT_EQ(::utime(bmp.c_str(), &times), 0);
    char date[32];
    std::tm local{};
    localtime_r(&mtime, &local);
    std::strftime(date, sizeof date, "%m/%d/%Y %H:%M", &local);
    const fs::path unknown = root_ / "notes.txt";
    std::ofstream(unknown) << "plain text, no picture here";
    const fs::path cut = root_ / "cut.bmp";
    fs::copy_file(bmp, cut);
    fs::resize_file(cut, 60);

    Run({}, [&](kv::TMainForm& form) {
        std::map<std::string, std::string> described, cleared;
        bool indexShown = true, previewShown = false, previewAfterUnknown = true;
        WhenPanelShows([&](QFileDialog& d, kv::TOpenPlus& panel) {
            Select(d, panel, bmp);
            for (const char* l : kLabels) described[l] = Text(d, l);
            indexShown = d.findChild<QSpinBox*>("ImgNumUD")->isVisible();
            previewShown = panel.PreviewLoaded();
            Select(d, panel, unknown);
            for (const char* l : kLabels) cleared[l] = Text(d, l);
            previewAfterUnknown = panel.PreviewLoaded();
            indexShown = indexShown || d.findChild<QSpinBox*>("ImgNumUD")->isVisible();
            Select(d, panel, cut); // whatever is read of it, nothing is asked
            Select(d, panel, bmp);
            return false;
        });
        form.MenuCommand("Open1")->trigger();
        EXPECT_EQ(described["PicSize"], "Size: 7x5 Pixels");
        EXPECT_EQ(described["PicColor"], "Color Image");
        EXPECT_EQ(described["PicBPP"], "Bits per Pixel: 24");
        EXPECT_EQ(described["PicBPC"], "Bits per Color Component: 8");
        EXPECT_EQ(described["PicBytes"], "Size in Bytes: " + std::to_string(fs::file_size(bmp)));
        EXPECT_EQ(described["PicMod"], std::string("Date: ") + date);
        EXPECT_TRUE(previewShown);
        for (const char* l : kLabels) EXPECT_EQ(cleared[l], "") << l;
        EXPECT_FALSE(previewAfterUnknown);
        EXPECT_FALSE(indexShown);
        EXPECT_TRUE(form.Docs().CurrentImage().FileName.empty());
    });
    EXPECT_TRUE(shown_.empty());
}

TEST_F(KvTest, OpenDialogPicksTheImageOfAMultiImageFileForImagesAndBrushes) {
    const fs::path gif = root_ / "three.gif";
    const std::string make =
        "convert -size 3x2 xc:red xc:lime \\( xc:blue -fill white -draw 'point 0,0' \\) '" +
        gif.string() + "' 2>/dev/null";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "ImageMagick is not available";
    Run({}, [&](kv::TMainForm& form) {
        int countShown = 0, afterDown = 0;
        bool spinShown = false;
        std::string indexLabel;
        auto pickThird = [&](QFileDialog& d, kv::TOpenPlus& panel) {
            Select(d, panel, gif);
            auto* spin = d.findChild<QSpinBox*>("ImgNumUD");
            spinShown = spin->isVisible();
            countShown = panel.ImageCount();
            panel.DecImgIndex();
            afterDown = spin->value();
            panel.IncImgIndex();
            panel.IncImgIndex();
            panel.IncImgIndex(); // stays at 3
            indexLabel = Text(d, "ImgNumLab");
            return true;
        };
        WhenPanelShows(pickThird);
        form.MenuCommand("Open1")->trigger();
        EXPECT_TRUE(spinShown);
        EXPECT_EQ(countShown, 3);
        EXPECT_EQ(afterDown, 1);
        EXPECT_EQ(indexLabel, "Image 3");
        kv::UDBuffer& doc = form.Docs().CurrentImage();
        EXPECT_EQ(doc.ImageNo, 3);
        EXPECT_EQ(*doc.At(2, 1) & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(*doc.At(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(form.Docs().DocumentLabel(), "[1] " + gif.string() + ": 3");

        WhenPanelShows(pickThird);
        form.MenuCommand("LoadBrush1")->trigger();
        const pixkit::Buffer& brush = form.Paintbox().Brush.Brush;
        ASSERT_EQ(brush.Width(), 3);
        // Only frame 3 has a white pixel (its one colour beside the file's
        // background, which becomes the brush's transparency).
        EXPECT_EQ(*brush.At(0, 0), 0xFFFFFFu);
    });
    EXPECT_TRUE(shown_.empty());
}

TEST_F(KvTest, OpenDialogPreviewFitsTheBoxAndLeavesTheProgramAsItWas) {
    const fs::path wide = root_ / "wide.pcx", small = root_ / "small.pcx";
    SaveImage(wide, 1000, 10, 0x00FF00);
    SaveImage(small, 60, 45, 0x0000FF);
    Run({}, [&](kv::TMainForm& form) {
        const pixkit::Pixel draw = form.DrawColor(), back = form.BackColor();
        const std::string label = form.Docs().DocumentLabel();
        std::vector<pixkit::Pair<int>> sizes;
        pixkit::Pixel previewed = 0;
        bool hiddenWhenOff = false;
        pixkit::Pair<int> last;
        WhenPanelShows([&](QFileDialog& d, kv::TOpenPlus& panel) {
            for (const fs::path& f : {wide, small}) {
                Select(d, panel, f);
                sizes.push_back({panel.Preview().Width(), panel.Preview().Height()});
            }
            previewed = *panel.Preview().At(10, 10) & 0xFFFFFF;
            // Off hides it; on again describes the selection afresh.
            auto* show = d.findChild<QCheckBox*>("ShowPreview");
            show->setChecked(false);
            hiddenWhenOff = !panel.PreviewLoaded();
            show->setChecked(true);
            // A quick change of mind: the later selection's preview shows.
            Q_EMIT d.currentChanged(QString::fromStdString(wide.string()));
            Select(d, panel, small);
            last = {panel.Preview().Width(), panel.Preview().Height()};
            return false;
        });
        form.MenuCommand("Open1")->trigger();
        ASSERT_EQ(sizes.size(), 2u);
        EXPECT_EQ(sizes[0], (pixkit::Pair<int>{240, 2}));
        EXPECT_EQ(sizes[1], (pixkit::Pair<int>{240, 180}));
        EXPECT_EQ(previewed, 0x0000FFu);
        EXPECT_TRUE(hiddenWhenOff);
        EXPECT_EQ(last, (pixkit::Pair<int>{240, 180}));
        EXPECT_EQ(form.DrawColor(), draw);
        EXPECT_EQ(form.BackColor(), back);
        EXPECT_EQ(form.Docs().DocumentLabel(), label);
        EXPECT_TRUE(form.Docs().CurrentImage().FileName.empty());
    });
    EXPECT_TRUE(shown_.empty());
}

} // namespace
