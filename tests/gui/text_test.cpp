// Write Text on the real main window: typed lines against pixkit's own text
// output at the block's place, the caret that is never committed or saved,
// the editing keys, undo, scaling, shadow and outline, raster fonts and
// input that is too much or not text.
#include "paintgui.h"

#include "bars/fontbox.h"
#include "bars/parambar.h"
#include "files/filecommands.h"
#include "files/filenames.h"
#include "paint/painttools.h"
#include "paint/texttool.h"

#include <pixkit/font.h>
#include <pixkit/gfxfile.h>
#include <pixkit/rfont.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSpinBox>

#include <filesystem>
#include <optional>

using kvtest::kBack;
using kvtest::kDraw;
using kvtest::kGround;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

namespace {

class TextGui : public kvtest::PaintGui {
  protected:
    void RunText(std::function<void(kv::TMainForm&)> check) {
        // The tool object outlives each window: start from its initial fields.
        Tool().Fields = kv::TextStyle{};
        Tool().StyleBits = 0;
        InstallLanguage("English");
        RunPainting(std::move(check));
    }
    static kv::P_text& Tool() { return *static_cast<kv::P_text*>(kv::TextTool()); }
    // Each character as the key press of a keyboard layout that has it.
    static void Type(kv::TMainForm& form, const QString& s) {
        for (char32_t c : s.toStdU32String()) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                            QString::fromStdU32String(std::u32string(1, c)));
            QApplication::sendEvent(&form, &press);
        }
    }
    static void Key(kv::TMainForm& form, Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(&form, k, mods);
    }
    static pixkit::FontDesc Font() {
        pixkit::FontDesc f;
        f.Family = Tool().Block().Style().Family;
        f.Height = Tool().Block().Style().Size;
        return f;
    }
    // The line height of the unscaled font without outline: the height of
    // "X" plus one.
    static int LineHeight() { return Buffer::GetTextExtent(Font(), "X").y + 1; }
    // The image with lines drawn by pixkit, the first with its top-left at
    // corner, each following one line height lower.
    static std::vector<Pixel> Expected(kv::TMainForm& form, Pair<int> corner,
                                       const std::vector<std::string>& lines) {
        Buffer ref = Canvas(form);
        for (const std::string& line : lines) {
            ref.OutText(Font(), corner, line, kDraw);
            corner.y += LineHeight();
        }
        return PixelsOf(ref);
    }
    // A reference the size of the image, all ground.
    static Buffer Canvas(kv::TMainForm& form) {
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        Buffer ref;
        ref.Alloc({image.Width(), image.Height()});
        ref.Box(ref.Area, kGround);
        return ref;
    }
    static std::vector<Pixel> PixelsOf(const Buffer& b) {
        std::vector<Pixel> v;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x) v.push_back(*b.At(x, y));
        return v;
    }
    template <typename W> static W& Control(kv::TMainForm& form, int index) {
        auto* w = qobject_cast<W*>(form.ParamBar().Control(index));
        EXPECT_NE(w, nullptr) << "bar control " << index;
        return *w;
    }
    // Types line at corner and commits it; the committed image.
    static std::vector<Pixel> Written(kv::TMainForm& form, Pair<int> corner, const QString& line) {
        Click(form, corner);
        Type(form, line);
        Key(form, Qt::Key_Return);
        return Committed(form);
    }
    // The box of the pixels that differ from the ground.
    static pixkit::Rect InkBox(kv::TMainForm& form, const std::vector<Pixel>& pixels) {
        const int w = form.Docs().CurrentImage().Width();
        pixkit::Rect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (std::size_t i = 0; i < pixels.size(); ++i)
            if (pixels[i] != kGround) {
                const int x = int(i % w), y = int(i / w);
                r = {std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x),
                     std::max(r.Bottom, y)};
            }
        return r;
    }
    // The image without the block in progress.
    static std::vector<Pixel> Committed(kv::TMainForm& form) {
        form.ToolFw().HideForReading();
        std::vector<Pixel> v = Pixels(form);
        form.ToolFw().ShowAfterReading();
        return v;
    }
};

TEST_F(TextGui, EnterCommitsTheLineWithoutTheCaretAndStartsTheNextBelow) {
    RunText([](kv::TMainForm& form) {
        Select(form, kv::TextTool());
        const int changed = form.Docs().CurrentImage().Changed;
        Click(form, {40, 60});
        EXPECT_TRUE(Tool().TextInputOpen());
        const std::vector<Pixel> empty = Pixels(form);
        EXPECT_NE(empty, Committed(form)) << "no caret shown";
        Type(form, "Hi");
        Key(form, Qt::Key_Return);
        const int lh = LineHeight();
        EXPECT_EQ(Committed(form), Expected(form, {40, 60 - lh}, {"Hi"}));
        EXPECT_EQ(form.Docs().CurrentImage().Changed, changed + 1);
        EXPECT_EQ(Tool().Block().Origin(), (Pair<int>{40, 60 + lh}));
        EXPECT_NE(Pixels(form), Committed(form)) << "no caret on the next line";
    });
}

TEST_F(TextGui, LineBreaksBackspaceAndPasteKeepTheFirstLineInPlace) {
    RunText([](kv::TMainForm& form) {
        Select(form, kv::TextTool());
        const int lh = LineHeight();
        // Shift+Enter opens a second line; Enter commits both.
        Click(form, {30, 50});
        Type(form, "ab");
        Key(form, Qt::Key_Return, Qt::ShiftModifier);
        Type(form, "cd");
        Key(form, Qt::Key_Return);
        EXPECT_EQ(Committed(form), Expected(form, {30, 50 - lh}, {"ab", "cd"}));
        form.UndoLastAction();

        // Backspace over the break takes it alone: the one-line result.
        Select(form, kv::TextTool());
        Click(form, {30, 50});
        Type(form, "ab");
        Key(form, Qt::Key_Return, Qt::ShiftModifier);
        Key(form, Qt::Key_Backspace);
        Key(form, Qt::Key_Return);
        EXPECT_EQ(Committed(form), Expected(form, {30, 50 - lh}, {"ab"}));
        form.UndoLastAction();

        // Pasting two lines into the block leaves its first line where it was.
        Select(form, kv::TextTool());
        Click(form, {30, 50});
        Type(form, "ab");
        QGuiApplication::clipboard()->setText("x\r\ny");
        Key(form, Qt::Key_Insert, Qt::ShiftModifier);
        Key(form, Qt::Key_Return);
        EXPECT_EQ(Committed(form), Expected(form, {30, 50 - lh}, {"abx", "y"}));
    });
}

TEST_F(TextGui, UncommittedTextNeverStaysOrIsSavedAndUndoRestoresTheImage) {
    RunText([this](kv::TMainForm& form) {
        const std::vector<Pixel> before = Pixels(form);
        Select(form, kv::PenContTool());
        // Escape (the tool starts afresh), another tool or image: the typed
        // text goes.
        for (const std::string way : {"Escape", "another tool", "another image"}) {
            Select(form, kv::TextTool());
            Click(form, {20, 40});
            Type(form, "gone");
            if (way == "Escape") {
                Key(form, Qt::Key_Escape);
            } else if (way == "another tool") {
                Select(form, kv::LineTool());
            } else {
                form.SelectImage(1);
                form.SelectImage(0);
            }
            EXPECT_FALSE(Tool().TextInputOpen()) << way;
            form.ToolFw().HideFeedback();
            EXPECT_EQ(Pixels(form), before) << way;
        }

        // Two committed lines, then undo: the image before the first click.
        Select(form, kv::TextTool());
        Click(form, {20, 40});
        Type(form, "one");
        Key(form, Qt::Key_Return);
        Type(form, "two");
        Key(form, Qt::Key_Return);
        const std::vector<Pixel> committed = Committed(form);
        Key(form, Qt::Key_Escape);
        EXPECT_EQ(Pixels(form), committed);
        ExpectUndoRestores(form, before);

        // Saving while typing writes the image without the block.
        Select(form, kv::TextTool());
        Click(form, {20, 40});
        Type(form, "unsaved");
        const std::vector<Pixel> shown = Pixels(form);
        ASSERT_NE(shown, before);
        const Buffer saved = SaveAndReload(form, (root_ / "typed.bmp").string());
        ASSERT_FALSE(saved.Empty());
        bool clean = true;
        for (int y = 0; y < saved.Height(); ++y)
            for (int x = 0; x < saved.Width(); ++x)
                clean &= (*saved.At(x, y) & 0xFFFFFF) == kGround;
        EXPECT_TRUE(clean) << "the uncommitted block was saved";
        EXPECT_EQ(Pixels(form), shown) << "the block is shown again";
        EXPECT_TRUE(Tool().TextInputOpen());
    });
}

TEST_F(TextGui, WidthScaleAntiAliasAndOutlineWithShadowDrawAsTheirReferences) {
    RunText([](kv::TMainForm& form) {
        Select(form, kv::TextTool());
        const Pair<int> at{40, 100};
        const pixkit::Rect plain = InkBox(form, Written(form, at, "Hi"));
        form.UndoLastAction();
        Select(form, kv::TextTool());

        // 200 % width: twice as wide, as high.
        Control<QDoubleSpinBox>(form, 9).setValue(200);
        const pixkit::Rect wide = InkBox(form, Written(form, at, "Hi"));
        EXPECT_NEAR(wide.Right - wide.Left + 1, 2 * (plain.Right - plain.Left + 1), 1);
        EXPECT_EQ(wide.Bottom - wide.Top, plain.Bottom - plain.Top);
        form.UndoLastAction();
        Select(form, kv::TextTool());
        Control<QDoubleSpinBox>(form, 9).setValue(100);

        // Anti-alias (Ctrl+T while typing): rendered at twice the size and
        // scaled down, the ink stays where it was, give or take the rounding
        // of glyph positions that hinting does at each size.
        Click(form, at);
        Key(form, Qt::Key_T, Qt::ControlModifier);
        ASSERT_TRUE(form.Paintbox().AntiAlias());
        Type(form, "Hi");
        Key(form, Qt::Key_Return);
        const pixkit::Rect smooth = InkBox(form, Committed(form));
        EXPECT_NEAR(smooth.Left, plain.Left, 2);
        EXPECT_NEAR(smooth.Top, plain.Top, 2);
        EXPECT_NEAR(smooth.Right, plain.Right, 2);
        EXPECT_NEAR(smooth.Bottom, plain.Bottom, 2);
        form.UndoLastAction();
        Select(form, kv::TextTool());
        Key(form, Qt::Key_T, Qt::ControlModifier);

        // Shadow and outline: the shadow is the text grown 3 x 3 and moved
        // by the distance, under the outline in the back colour, under the
        // text one pixel in.
        for (int button : {5, 6}) Control<QAbstractButton>(form, button).click();
        const int d = 2, hx = Buffer::GetTextExtent(Font(), "X").y;
        const Pair<int> top{at.x, at.y - (d + 1 + 3 + hx) + 1};
        Buffer ref = Canvas(form);
        for (const auto& [offset, colour] :
             {std::pair<int, Pixel>{d, 0x808080}, std::pair<int, Pixel>{0, kBack}})
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i)
                    ref.OutText(Font(), {top.x + offset + i, top.y + offset + j}, "Hi", colour);
        ref.OutText(Font(), {top.x + 1, top.y + 1}, "Hi", kDraw);
        EXPECT_EQ(Written(form, at, "Hi"), PixelsOf(ref));
    });
}

TEST_F(TextGui, HostileInputIsCleanedLimitedOrRefusedWithoutHarm) {
    RunText([this](kv::TMainForm& form) {
        Select(form, kv::TextTool());
        // Pasted control characters go, breaks of every kind count once, a
        // tab is a space; at most 255 characters, an emoji being one.
        Click(form, {10, 30});
        QGuiApplication::clipboard()->setText(QString::fromUtf8("\x01\x1b"
                                                                "a\tb\r\nc\rd\ne"
                                                                "\x7f") +
                                              QChar(0x85) + QString::fromUtf8("Ω€😀") +
                                              QString(300, 'x'));
        Key(form, Qt::Key_Insert, Qt::ShiftModifier);
        EXPECT_EQ(Tool().Block().Text(), U"a b\nc\nd\neΩ€😀" + std::u32string(243, U'x'));
        Key(form, Qt::Key_Escape);

        // Backspace takes "Ω" whole: as if it had never been typed.
        Select(form, kv::TextTool());
        Click(form, {10, 30});
        Type(form, QString::fromUtf8("aΩ"));
        Key(form, Qt::Key_Backspace);
        Key(form, Qt::Key_Return);
        EXPECT_EQ(Committed(form), Expected(form, {10, 30 - LineHeight()}, {"a"}));
        Key(form, Qt::Key_Escape);
        form.UndoLastAction();
        const std::vector<Pixel> before = Pixels(form);

        // The largest font, anti-aliased and scaled 9999 % at the image's
        // corner: 255 characters are refused with a message, one is drawn
        // clipped, and nothing remains after Escape.
        Select(form, kv::TextTool());
        Control<QSpinBox>(form, 1).setValue(999);
        Control<QDoubleSpinBox>(form, 9).setValue(9999);
        Control<QDoubleSpinBox>(form, 10).setValue(9999);
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        Click(form, {image.Width() - 1, image.Height() - 1});
        Key(form, Qt::Key_T, Qt::ControlModifier);
        const std::size_t messages = shown_.size();
        QGuiApplication::clipboard()->setText(QString(255, 'W'));
        Key(form, Qt::Key_Insert, Qt::ShiftModifier);
        ASSERT_EQ(shown_.size(), messages + 1);
        EXPECT_EQ(shown_.back().Text, "Not enough memory.");
        EXPECT_TRUE(Tool().Block().Text().empty());
        Type(form, "W");
        EXPECT_EQ(Tool().Block().Text(), U"W");
        Key(form, Qt::Key_Escape);
        EXPECT_EQ(Pixels(form), before);
    });
}

TEST_F(TextGui, RasterFontsDrawAtTheirNearestSizeAndStayChosen) {
    RunText([](kv::TMainForm& form) {
        Select(form, kv::TextTool());
        auto& box = Control<QComboBox>(form, 0);
        // The box names the font that draws.
        EXPECT_EQ(kv::ChosenFont(box).Family, Tool().Block().Style().Family);
        EXPECT_EQ(box.currentText().toStdString(), pixkit::SystemFontFamily("Times New Roman"));
        const int raster = box.findText("DejaVu Sans (raster)");
        ASSERT_GE(raster, 0);
        ASSERT_GE(box.findText("DejaVu Sans"), 0) << "the system family beside the raster one";
        box.setCurrentIndex(raster);
        Control<QSpinBox>(form, 1).setValue(13);
        for (int style = 2; style <= 4; ++style)
            EXPECT_FALSE(form.ParamBar().Control(style)->isEnabled()) << "style " << style;

        // The choice outlives another tool and a rebuilt bar.
        Select(form, kv::LineTool());
        Select(form, kv::TextTool());
        form.RebuildParameterBar();
        EXPECT_EQ(Control<QComboBox>(form, 0).currentIndex(), raster);
        EXPECT_EQ(Control<QSpinBox>(form, 1).value(), 13);
        EXPECT_FALSE(form.ParamBar().Control(2)->isEnabled());

        // Size 13 draws the family's size 12; characters beyond Latin-1 are
        // question marks.
        pixkit::RFont font;
        font.SetName("DejaVu Sans");
        font.SetSize(13);
        ASSERT_EQ(font.GetSize(), 12);
        const Pair<int> at{30, 60};
        const std::vector<Pixel> written = Written(form, at, QString::fromUtf8("Hé€Ω"));
        Buffer ref = Canvas(form);
        ref.OutText(font, {at.x, at.y - (1 + 1 + 12) + 1}, "H\xE9??", kDraw);
        EXPECT_EQ(written, PixelsOf(ref));
    });
}

} // namespace
