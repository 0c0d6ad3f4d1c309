// Image > Custom Filter on the real main window: the cells' editing rules,
// Preview, Stop and OK against the convolution of the unchanged image, every
// way of leaving without OK giving the image back byte for byte, undo after
// OK, input held back during a run, and .ACF files.
#include "harness.h"

#include "effects/acffile.h"
#include "effects/cfilterform.h"
#include "effects/customfilter.h"
#include "files/filedialogs.h"
#include "keys.h"
#include "paint/painttools.h"
#include "tools/framework.h"
#include "undo.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;
using kv::FilterKernel;
using kv::TCFilterForm;
using kvtest::KvTest;
using pixkit::Pixel;

namespace {

std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

class CustomFilterGui : public KvTest {
  protected:
    // A random current image; its pixels are kept as the original.
    void PrepareImage(kv::TMainForm& form, int w = 90, int h = 200) {
        kW = w, kH = h;
        ASSERT_TRUE(form.Docs().AllocBlack(0, kW, kH));
        kv::UDBuffer& image = form.Docs().CurrentImage();
        std::mt19937 rng(5);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) *image.At(x, y) = rng() & 0xFFFFFF;
        image.Changed = 0;
        form.RefreshView();
        original_ = PixelsOf(image);
        // Every band is followed by an input poll.
        form.CustomFilter().Clock = [t = std::int64_t(0)]() mutable { return t += 100; };
    }
    TCFilterForm* Open(kv::TMainForm& form) {
        form.MenuCommand("CustomFilter1")->trigger();
        TCFilterForm* dialog = form.CustomFilter().Form();
        EXPECT_TRUE(dialog != nullptr && dialog->isVisible());
        return dialog;
    }
    static QPushButton* Btn(TCFilterForm* d, const char* name) {
        return d->findChild<QPushButton*>(name);
    }
    // The image filtered from the original inside part.
    std::vector<Pixel> Filtered(const FilterKernel& k, pixkit::Rect part = kWholeImage) const {
        pixkit::Buffer src, dst;
        src.Alloc({kW, kH});
        dst.Alloc({kW, kH});
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) *src.At(x, y) = original_[std::size_t(y * kW + x)];
        dst.Copy(src, {0, 0}, 0xFFFFFFFF);
        kv::Convolution(k).Filter(src, dst, part);
        return PixelsOf(dst);
    }
    // Clicks Preview (or OK) with a Stop queued for the first input poll.
    static void ClickStoppedAfterOneBand(TCFilterForm* d, const char* button) {
        QTimer::singleShot(0, d, [d] { Btn(d, "PreviewBtn")->click(); });
        Btn(d, button)->click();
    }
    // Rows filtered so far: the first band only.
    void ExpectOnlyFirstBand(const kv::UDBuffer& image, const FilterKernel& k) const {
        const std::vector<Pixel> now = PixelsOf(image), done = Filtered(k);
        const auto band = std::size_t(kv::P_custom_filter::kBandRows * kW);
        EXPECT_TRUE(std::equal(now.begin(), now.begin() + band, done.begin()));
        EXPECT_TRUE(std::equal(now.begin() + band, now.end(), original_.begin() + band));
    }

    static constexpr pixkit::Rect kWholeImage{0, 0, 1 << 30, 1 << 30};
    int kW = 0, kH = 0;
    std::vector<Pixel> original_;
};

TEST_F(CustomFilterGui, CellsKeepIntegersAndKeysMoveConfirmAndCancel) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        // Without memory for the snapshot the filter does not start.
        form.Undo().FailNextSnapshot();
        form.MenuCommand("CustomFilter1")->trigger();
        EXPECT_EQ(form.CustomFilter().Form(), nullptr);
        EXPECT_NE(form.ToolFw().Current, &form.CustomFilter());
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, key::NoMem);

        TCFilterForm* d = Open(form);
        d->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        EXPECT_EQ(d->Kernel(), FilterKernel::Box()) << "the initial box blur";
        EXPECT_EQ(d->Cell(0)->text(), "") << "0 shows empty";
        const struct {
            const char* Typed;
            const char* Shown; // while typing
            const char* Left;  // after leaving the cell
        } cases[] = {{"12a", "12", "12"},         {"1000", "1000", "999"}, {"-5x-", "-5", "-5"},
                     {"+7", "+7", "7"},           {"-", "-", ""},          {"00", "00", ""},
                     {"-99999", "-99999", "-999"}};
        for (const auto& c : cases) {
            QLineEdit* cell = d->Cell(7);
            cell->setFocus();
            cell->clear();
            QTest::keyClicks(cell, c.Typed);
            EXPECT_EQ(cell->text(), c.Shown) << c.Typed;
            QTest::keyClick(cell, Qt::Key_Down);
            EXPECT_TRUE(d->Cell(12)->hasFocus()) << "Down moves one row down";
            EXPECT_EQ(cell->text(), c.Left) << c.Typed;
        }
        QTest::keyClick(d->Cell(12), Qt::Key_Up);
        EXPECT_TRUE(d->Cell(7)->hasFocus());
        QTest::keyClick(d->Cell(2), Qt::Key_Up);
        EXPECT_EQ(form.ToolFw().Current, &form.CustomFilter()) << "Up in row 0 stays";

        // Escape cancels; the kernel is remembered for the next activation.
        QTest::keyClick(d->Cell(7), Qt::Key_Escape);
        EXPECT_FALSE(d->isVisible());
        EXPECT_NE(form.ToolFw().Current, &form.CustomFilter());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
        d = Open(form);
        EXPECT_EQ(d->Cell(7)->text(), "-999");
        // Enter is OK: filters, counts one change and leaves.
        d->SetKernel(FilterKernel::Box());
        QTest::keyClick(d->Cell(0), Qt::Key_Return);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), Filtered(FilterKernel::Box()));
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
    });
}

TEST_F(CustomFilterGui, PreviewStopOkCancelLeaveAndUndo) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        kv::UDBuffer& image = form.Docs().CurrentImage();
        TCFilterForm* d = Open(form);
        FilterKernel k = FilterKernel::Box();
        k.Cells[0] = -3;
        k.Bias = 20;
        d->SetKernel(k);

        // Preview computes once; a second Preview with nothing changed does
        // nothing (the marker stays); a change, or the visible part moving,
        // computes again.
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(image), Filtered(k));
        *image.At(3, 3) = 0x00123456;
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(*image.At(3, 3), 0x00123456u);
        Q_EMIT form.VisibleAreaChanged();
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(image), Filtered(k));

        // Stop after one band; the button reads Preview again and the next
        // Preview computes everything.
        k.Divisor = 5;
        d->SetKernel(k);
        ClickStoppedAfterOneBand(d, "PreviewBtn");
        EXPECT_FALSE(form.CustomFilter().Running());
        EXPECT_EQ(Btn(d, "PreviewBtn")->text(), "&Preview");
        ExpectOnlyFirstBand(image, k);
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(image), Filtered(k));

        // An OK stopped on the way applies nothing and the dialog stays;
        // Cancel then gives the image back.
        d->Cell(24)->setText("2");
        k.Cells[24] = 2;
        ClickStoppedAfterOneBand(d, "OkBtn");
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(form.ToolFw().Current, &form.CustomFilter());
        ExpectOnlyFirstBand(image, k);
        Btn(d, "CancelBtn")->click();
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(image), original_);
        EXPECT_EQ(image.Changed, 0);

        // Leaving by another tool after a preview gives the image back too.
        d = Open(form);
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(image), Filtered(k)) << "the last kernel is shown again";
        form.ToolFw().SelectTool(kv::PenContTool(), true, -1);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(image), original_);

        // OK keeps the result as one change; undo brings the original back.
        d = Open(form);
        Btn(d, "OkBtn")->click();
        EXPECT_EQ(PixelsOf(image), Filtered(k));
        EXPECT_EQ(image.Changed, 1);
        EXPECT_EQ(form.ToolFw().Current, kv::PenContTool());
        form.UndoLastAction();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
    });
}

// During a run the main window takes no input (the pen's hot key does not
// switch the tool under the run); closing it stops the run first.
TEST_F(CustomFilterGui, RunHoldsBackInputAndStopsForClose) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TCFilterForm* d = Open(form);
        QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_P); });
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(form.ToolFw().Current, &form.CustomFilter());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), Filtered(FilterKernel::Box()));

        d->Cell(0)->setText("1");
        QTimer::singleShot(0, &form, [&form] { form.close(); });
        Btn(d, "PreviewBtn")->click();
        FilterKernel k = FilterKernel::Box();
        k.Cells[0] = 1;
        ExpectOnlyFirstBand(form.Docs().CurrentImage(), k);
        EXPECT_TRUE(form.isVisible()) << "the window closes once the run is over";
    });
}

// With "Clipping" the visible part is filtered; after scrolling, Preview
// filters the new part and gives the old one its pixels back. Here every
// band is fast (the clock stands still), so the bands grow as they go.
TEST_F(CustomFilterGui, ClippingFiltersTheVisiblePartOnly) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form, 2000, 1500);
        form.CustomFilter().Clock = [] { return std::int64_t(0); };
        form.ToggleClipping();
        const pixkit::Rect first = form.DrawingView().Area;
        ASSERT_LT(first.Right - first.Left + 1, kW) << "the view shows only part of the image";
        TCFilterForm* d = Open(form);
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), Filtered(FilterKernel::Box(), first));
        form.ScrollBy(300, 200);
        const pixkit::Rect second = form.DrawingView().Area;
        ASSERT_NE(second.Left, first.Left);
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), Filtered(FilterKernel::Box(), second));
        form.ToggleClipping();
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), Filtered(FilterKernel::Box()))
            << "switching Clipping off filters the whole image at the next Preview";
        Btn(d, "CancelBtn")->click();
    });
}

class CustomFilterFiles : public CustomFilterGui {
  protected:
    void UseDialogs(TCFilterForm* d) {
        d->Dialogs.Open = [this](const kv::OpenRequest& r) {
            openFilter_ = r.Filter;
            return std::optional<kv::OpenChoice>(kv::OpenChoice{next_.string(), 1, 1});
        };
        d->Dialogs.Save = [this](const kv::SaveRequest&) {
            return std::optional<kv::SaveChoice>(kv::SaveChoice{next_.string(), 1});
        };
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const kvtest::Shown& s : shown_) texts.push_back(s.Text);
        return texts;
    }
    static void Write(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static std::vector<std::uint8_t> Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path next_;
    std::string openFilter_;
};

TEST_F(CustomFilterFiles, SaveLoadRefusalsAndListing) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TCFilterForm* d = Open(form);
        UseDialogs(d);
        FilterKernel k;
        k.Cells[0] = 1;
        k.Cells[12] = -2;
        k.Cells[24] = 999;
        k.Divisor = 1234;
        k.Bias = -77;
        d->SetKernel(k);

        // Save adds the extension; the bytes are the hand-written file.
        next_ = root_ / "mine";
        d->SaveBtnClick();
        std::vector<std::uint8_t> expected(54, 0);
        expected[1] = 0x01;                       // cell 0: 1
        expected[24] = 0xFF, expected[25] = 0xFE; // cell 12: -2
        expected[48] = 0x03, expected[49] = 0xE7; // cell 24: 999
        expected[50] = 0x04, expected[51] = 0xD2; // divisor 1234
        expected[52] = 0xFF, expected[53] = 0xB3; // bias -77
        EXPECT_EQ(Read(root_ / "mine.acf"), expected);
        EXPECT_EQ(d->Folder(), root_.string());

        // Loading it back restores all 27 values.
        d->SetKernel(FilterKernel::Box());
        next_ = root_ / "mine.acf";
        d->LoadBtnClick();
        EXPECT_EQ(d->Kernel(), k);
        EXPECT_TRUE(shown_.empty());

        // Damaged files are refused whole: a message, and nothing changes.
        auto with = [&](std::size_t at, std::uint8_t hi, std::uint8_t lo) {
            std::vector<std::uint8_t> b = expected;
            b[at] = hi, b[at + 1] = lo;
            return b;
        };
        const struct {
            const char* Name;
            std::vector<std::uint8_t> Bytes;
        } bad[] = {{"short", std::vector<std::uint8_t>(expected.begin(), expected.end() - 1)},
                   {"long",
                    [&] {
                        auto b = expected;
                        b.push_back(0);
                        return b;
                    }()},
                   {"divisor 0", with(50, 0, 0)},
                   {"cell 1000", with(2, 0x03, 0xE8)},
                   {"bias 10000", with(52, 0x27, 0x10)},
                   {"empty", {}}};
        d->SetKernel(FilterKernel::Box());
        for (const auto& b : bad) {
            shown_.clear();
            next_ = root_ / (std::string(b.Name) + ".acf");
            Write(next_, b.Bytes);
            d->LoadBtnClick();
            EXPECT_EQ(Messages(), std::vector<std::string>{key::CantOpenFilter}) << b.Name;
            EXPECT_EQ(d->Kernel(), FilterKernel::Box()) << b.Name;
        }

        // Both spellings of the extension are offered for loading.
        Write(root_ / "upper.ACF", expected);
        QStringList patterns;
        for (const std::string& f : kv::QtNameFilters(openFilter_)) {
            const QString q = QString::fromStdString(f);
            patterns = q.mid(q.indexOf('(') + 1).chopped(1).split(' ');
        }
        const QStringList listed = QDir(QString::fromStdString(root_.string())).entryList(patterns);
        EXPECT_TRUE(listed.contains("mine.acf") && listed.contains("upper.ACF"))
            << listed.join(",").toStdString();

        // A folder that cannot be written: a message, and the old file stays.
        shown_.clear();
        next_ = root_ / "mine.acf" / "inside.acf";
        d->SaveBtnClick();
        EXPECT_EQ(Messages(), std::vector<std::string>{key::CantSaveFilter});
        if (::geteuid() != 0) {
            shown_.clear();
            fs::permissions(root_, fs::perms::owner_read | fs::perms::owner_exec);
            next_ = root_ / "mine.acf";
            d->SetKernel(FilterKernel::Box());
            d->SaveBtnClick();
            fs::permissions(root_, fs::perms::owner_all);
            EXPECT_EQ(Messages(), std::vector<std::string>{key::CantSaveFilter});
            EXPECT_EQ(Read(root_ / "mine.acf"), expected);
        }
    });
}

} // namespace
