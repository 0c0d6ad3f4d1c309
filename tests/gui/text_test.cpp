// Write Text on the real main window: typed lines against pixkit's own text
// output at the block's place, the caret that is never committed or saved,
// the editing keys, and undo.
#include "paintgui.h"

#include "files/filecommands.h"
#include "files/filenames.h"
#include "paint/painttools.h"
#include "paint/texttool.h"

#include <pixkit/gfxfile.h>

#include <QClipboard>
#include <QGuiApplication>

#include <filesystem>
#include <optional>

using kvtest::kDraw;
using kvtest::kGround;
using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;

namespace {

class TextGui : public kvtest::PaintGui {
  protected:
    void RunText(std::function<void(kv::TMainForm&)> check) {
        InstallLanguage("English");
        RunPainting(std::move(check));
    }
    static kv::P_text& Tool() { return *static_cast<kv::P_text*>(kv::TextTool()); }
    static void Type(kv::TMainForm& form, const QString& s) { QTest::keyClicks(&form, s); }
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
        const kv::UDBuffer& image = form.Docs().CurrentImage();
        Buffer ref;
        ref.Alloc({image.Width(), image.Height()});
        ref.Box(ref.Area, kGround);
        for (const std::string& line : lines) {
            ref.OutText(Font(), corner, line, kDraw);
            corner.y += LineHeight();
        }
        std::vector<Pixel> v;
        for (int y = 0; y < ref.Height(); ++y)
            for (int x = 0; x < ref.Width(); ++x) v.push_back(*ref.At(x, y));
        return v;
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
        // Escape (the tool starts afresh), another tool: the typed text goes.
        for (bool escape : {true, false}) {
            Select(form, kv::TextTool());
            Click(form, {20, 40});
            Type(form, "gone");
            if (escape)
                Key(form, Qt::Key_Escape);
            else
                Select(form, kv::LineTool());
            EXPECT_FALSE(Tool().TextInputOpen());
            form.ToolFw().HideFeedback();
            EXPECT_EQ(Pixels(form), before) << (escape ? "Escape" : "another tool");
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

} // namespace
