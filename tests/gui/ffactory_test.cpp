// Image > Filter Factory on the real main window: a typing error shows the
// channel's "!" whose click selects from the error on, a slider moves the
// instant preview, Enter in a memo starts a new line, OK applies and Undo
// restores, Cancel and Escape leave the image, a stopped run changes
// nothing, and .afs files load and save through the dialog.
#include "harness.h"

#include "effects/ffactform.h"
#include "effects/fffilter.h"
#include "keys.h"
#include "tools/framework.h"
#include "undo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <fstream>
#include <random>

namespace fs = std::filesystem;
using kv::TFFactForm;
using kvtest::KvTest;
using pixkit::Pixel;

namespace {

std::vector<Pixel> PixelsOf(const pixkit::Buffer& b) {
    std::vector<Pixel> v;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) v.push_back(*b.At(x, y));
    return v;
}

class FilterFactoryGui : public KvTest {
  protected:
    static constexpr int kW = 90, kH = 200;

    void PrepareImage(kv::TMainForm& form) {
        ASSERT_TRUE(form.Docs().AllocBlack(0, kW, kH));
        kv::UDBuffer& image = form.Docs().CurrentImage();
        std::mt19937 rng(7);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) *image.At(x, y) = rng() & 0xFFFFFF;
        image.Changed = 0;
        form.RefreshView();
        original_ = PixelsOf(image);
    }
    // Opens the dialog through the menu; the tool is then the current one.
    TFFactForm* Open(kv::TMainForm& form) {
        form.MenuCommand("FilterFactory1")->trigger();
        tool_ = dynamic_cast<kv::P_FF_filter*>(form.ToolFw().Current);
        EXPECT_NE(tool_, nullptr);
        if (tool_ == nullptr) return nullptr;
        // Every band is followed by an input poll.
        tool_->Clock = [t = std::int64_t(0)]() mutable { return t += 100; };
        EXPECT_TRUE(tool_->Form()->isVisible());
        return tool_->Form();
    }
    static QPushButton* Btn(TFFactForm* d, const char* name) {
        return d->findChild<QPushButton*>(name);
    }
    static void SetText(TFFactForm* d, int channel, const QString& text) {
        d->Memo(channel)->setPlainText(text);
    }
    // The original filtered with what the dialog shows now.
    std::vector<Pixel> Filtered(TFFactForm* d) const {
        std::vector<std::uint32_t> out(original_.size());
        kv::ff::Filter(d->Programs(), d->SliderValues(), original_.data(), kW, kW, kH,
                       {out.data(), kW});
        return out;
    }

    kv::P_FF_filter* tool_ = nullptr;
    std::vector<Pixel> original_;
};

TEST_F(FilterFactoryGui, EditPreviewApplyUndoAndLeave) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TFFactForm* d = Open(form);
        ASSERT_NE(d, nullptr);
        d->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        const QSize preview(d->PreviewResult().Width(), d->PreviewResult().Height());
        EXPECT_EQ(preview, QSize(40, 90)) << "90 x 200 scaled by 90 / 200";

        // A typing error shows the marker; its click selects from there on.
        QPlainTextEdit* red = d->Memo(0);
        red->setFocus();
        red->selectAll();
        QTest::keyClicks(red, "r + = 1");
        EXPECT_TRUE(d->Marker(0)->isVisible());
        EXPECT_FALSE(d->Marker(1)->isVisible());
        EXPECT_EQ(d->ErrorPos(0), 4);
        QTest::mouseClick(d->Marker(0), Qt::LeftButton);
        EXPECT_EQ(red->textCursor().selectedText(), "= 1");
        QTest::keyClicks(red, "- 7");
        EXPECT_FALSE(d->Marker(0)->isVisible()) << red->toPlainText().toStdString();

        // Enter in a memo starts a new line; the dialog stays.
        QPlainTextEdit* green = d->Memo(1);
        green->setFocus();
        green->moveCursor(QTextCursor::End);
        QTest::keyClick(green, Qt::Key_Return);
        QTest::keyClicks(green, "/ 2");
        EXPECT_EQ(green->toPlainText(), "g\n/ 2");
        EXPECT_TRUE(d->isVisible());

        // A slider move changes the preview and its value label.
        SetText(d, 2, "ctl(3)");
        EXPECT_EQ(*d->PreviewResult().At(5, 5) & 0xFF, 0u);
        d->Slider(3)->setValue(200);
        EXPECT_EQ(*d->PreviewResult().At(5, 5) & 0xFF, 200u);
        EXPECT_EQ(d->findChild<QLabel*>("Value3")->text(), "200");

        // Enter outside the memos is OK: one change, undone by Undo.
        const std::vector<Pixel> expected = Filtered(d);
        QTest::keyClick(d->findChild<QLineEdit*>("Title"), Qt::Key_Return);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), expected);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);
        EXPECT_NE(form.ToolFw().Current, tool_);
        form.UndoLastAction();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);

        // Escape after a Preview, and Cancel, leave the image as it was;
        // the definition is kept for the next opening.
        form.Docs().CurrentImage().Changed = 0;
        d = Open(form);
        EXPECT_EQ(d->Memo(0)->toPlainText(), "r + - 7");
        EXPECT_EQ(d->Slider(3)->value(), 200);
        Btn(d, "PreviewBtn")->click();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), expected);
        QTest::keyClick(d->Memo(0), Qt::Key_Escape);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
        d = Open(form);
        Btn(d, "CancelBtn")->click();
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
    });
}

// Stop during OK puts the image back and keeps the dialog; without memory
// for the snapshot the dialog does not open.
TEST_F(FilterFactoryGui, StoppedRunChangesNothing) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TFFactForm* d = Open(form);
        ASSERT_NE(d, nullptr);
        SetText(d, 0, "255-c");
        QTimer::singleShot(0, d, [d] { Btn(d, "PreviewBtn")->click(); });
        Btn(d, "OkBtn")->click();
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(tool_->Running());
        EXPECT_EQ(Btn(d, "PreviewBtn")->text(), "&Preview");
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), original_);
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 0);
        Btn(d, "OkBtn")->click();
        EXPECT_EQ(PixelsOf(form.Docs().CurrentImage()), Filtered(d));
        EXPECT_EQ(form.Docs().CurrentImage().Changed, 1);

        form.Undo().FailNextSnapshot();
        form.MenuCommand("FilterFactory1")->trigger();
        EXPECT_FALSE(d->isVisible());
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, key::NoMem);
    });
}

TEST_F(FilterFactoryGui, LoadAndSaveFiles) {
    Run({}, [this](kv::TMainForm& form) {
        PrepareImage(form);
        TFFactForm* d = Open(form);
        ASSERT_NE(d, nullptr);
        fs::path next;
        d->Dialogs.Open = [&next](const kv::OpenRequest&) {
            return std::optional<kv::OpenChoice>(kv::OpenChoice{next.string(), 1, 1});
        };
        d->Dialogs.Save = [&next](const kv::SaveRequest&) {
            return std::optional<kv::SaveChoice>(kv::SaveChoice{next.string(), 1});
        };
        kv::ff::Definition def;
        def.Expressions = {"b", "g", "r", "a"};
        def.Sliders = {1, 2, 3, 4, 5, 6, 7, 8};
        def.Captions[0] = "Amount";
        def.Category = "Tests", def.Title = "Swap", def.Author = "Me", def.Copyright = "None";
        d->SetDefinition(def);
        EXPECT_EQ(d->Definition(), def);

        next = root_ / "swap";
        Btn(d, "SaveBtn")->click();
        std::ifstream in(root_ / "swap.afs", std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(text, kv::ff::EncodeAfs(def));

        // Refused files change nothing and say why.
        d->SetDefinition(kv::ff::Definition{});
        std::ofstream(root_ / "bad.afs") << "%RGB-1.0\n1\n2\n3\n4\n5\n6\n7\n8 \n";
        for (const auto& [name, message] : {std::pair{"bad.afs", key::NotValidFF},
                                            std::pair{"missing.afs", key::CantOpenFilter}}) {
            shown_.clear();
            next = root_ / name;
            Btn(d, "LoadBtn")->click();
            ASSERT_EQ(shown_.size(), 1u) << name;
            EXPECT_EQ(shown_[0].Text, message);
            EXPECT_EQ(d->Definition(), kv::ff::Definition{}) << name;
        }
        shown_.clear();
        next = root_ / "swap.afs";
        Btn(d, "LoadBtn")->click();
        EXPECT_TRUE(shown_.empty());
        EXPECT_EQ(d->Definition(), def);
        EXPECT_EQ(d->Folder(), root_.string());
        EXPECT_EQ(*d->PreviewResult().At(3, 7) & 0xFF, *d->PreviewSource().At(3, 7) >> 16 & 0xFF)
            << "the preview follows the loaded definition";

        next = root_ / "swap.afs" / "inside.afs";
        Btn(d, "SaveBtn")->click();
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].Text, key::CantSaveFilter);
        Btn(d, "CancelBtn")->click();
    });
}

} // namespace
