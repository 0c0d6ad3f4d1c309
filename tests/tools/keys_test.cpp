// The keyboard: hot-key values, the keys a focused control keeps, the text
// tool's claim on every key, the tool hot keys and the global keys.
#include "fixture.h"

#include "tools/hotkeys.h"

#include <QKeyEvent>
#include <QTest>

using namespace toolstest;
using kv::FocusedControl;

namespace {

QKeyEvent Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    return QKeyEvent(QEvent::KeyPress, key, mods, text);
}

class KeysTest : public FrameworkTest {
  protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        keys_ = std::make_unique<kv::HotKeyHandler>(*fw_, window_.get());
        Add(pen_, 'P', 1, 4, "Continuous Freehand");
        Add(dotted_, 'P', 1, 0, "Dotted Freehand");
        Add(cut_, 'B', 1, 5, "Cut Predefined Rectangle");
        fw_->SelectTool(&pen_, false, -1);
        kv::GlobalKeyActions& a = keys_->Actions;
        a.Focused = [this] { return focused_; };
        a.ClearFocus = [this] { did_.push_back("clear focus"); };
        a.ScrollKey = [this](int k) { did_.push_back("scroll " + std::to_string(k)); };
        a.ToggleFit = [this] { did_.push_back("fit"); };
        a.ZoomIn = [this] { did_.push_back("zoom in"); };
        a.ZoomOut = [this] { did_.push_back("zoom out"); };
        a.CycleBrushHandle = [this] { did_.push_back("handle"); };
        a.PixelBrush = [this] { did_.push_back("pixel brush"); };
        a.PredefinedRectKey = [this](int k) { did_.push_back("rect " + std::to_string(k)); };
        a.ToggleClipping = [this] { did_.push_back("clipping"); };
        a.ToggleAntiAlias = [this] { did_.push_back("antialias"); };
        a.ShowColorDialog = [this](bool bg) { did_.push_back(bg ? "background" : "drawing"); };
    }
    bool Down(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent e = Key(key, mods, text);
        return keys_->KeyDown(e);
    }

    std::unique_ptr<kv::HotKeyHandler> keys_;
    TestTool pen_{"pen", log_}, dotted_{"dotted", log_}, cut_{"cut", log_};
    FocusedControl focused_ = FocusedControl::None;
    std::vector<std::string> did_;
};

TEST(KeyValueTest, LettersDigitsAndModifiers) {
    EXPECT_EQ(kv::KeyValue(Key(Qt::Key_P)), 'P');
    EXPECT_EQ(kv::KeyValue(Key(Qt::Key_Z, Qt::ControlModifier)), 0x200 | 'Z');
    EXPECT_EQ(kv::KeyValue(Key(Qt::Key_3, Qt::ShiftModifier)), 0x100 | '3');
    // Shift+3 as the US layout reports it, without a key position.
    EXPECT_EQ(kv::KeyValue(Key(Qt::Key_NumberSign, Qt::ShiftModifier)), 0x100 | '3');
    EXPECT_EQ(kv::KeyValue(Key(Qt::Key_B, Qt::ShiftModifier | Qt::AltModifier)), 0x500 | 'B');
    // The numeric keypad has no hot keys.
    EXPECT_EQ(kv::KeyValue(Key(Qt::Key_5, Qt::KeypadModifier)), 0);
    EXPECT_EQ(kv::KeyValue(Key(Qt::Key_F2)), 0);
}

TEST(KeyValueTest, ShiftedDigitKeyByItsPosition) {
    // X key code 12 is the "3" key on every layout, whatever symbol it gives.
    const QKeyEvent e(QEvent::KeyPress, Qt::Key_section, Qt::ShiftModifier, 12, 0, 0, "§");
    EXPECT_EQ(kv::KeyValue(e), 0x100 | '3');
}

TEST_F(KeysTest, FocusedNumberFieldKeepsItsKeysButNotTheHotKeys) {
    focused_ = FocusedControl::NumberField;
    for (int k : {Qt::Key_0, Qt::Key_7, Qt::Key_Period, Qt::Key_Backspace, Qt::Key_Left,
                  Qt::Key_Home, Qt::Key_Delete})
        EXPECT_FALSE(Down(k)) << k;
    EXPECT_FALSE(Down(Qt::Key_Plus, Qt::KeypadModifier));
    EXPECT_TRUE(did_.empty());
    EXPECT_TRUE(Down(Qt::Key_Up)); // not a number field's key: scrolls
    EXPECT_TRUE(Down(Qt::Key_P));
    EXPECT_EQ(fw_->Current, &dotted_);
    focused_ = FocusedControl::ListBox;
    EXPECT_FALSE(Down(Qt::Key_Down));
    EXPECT_TRUE(Down(Qt::Key_Left));
    EXPECT_EQ(did_, (std::vector<std::string>{"scroll " + std::to_string(Qt::Key_Up),
                                              "scroll " + std::to_string(Qt::Key_Left)}));
}

TEST_F(KeysTest, EscapeTakesTheFocusFirstThenReturnsToThePreviousTool) {
    TestTool pick("pick", log_, kv::tfOneShot, 1);
    Add(pick, 'G');
    fw_->SelectTool(&pick, false, -1);
    focused_ = FocusedControl::Other;
    EXPECT_TRUE(Down(Qt::Key_Escape));
    EXPECT_EQ(fw_->Current, &pick);
    EXPECT_EQ(did_, (std::vector<std::string>{"clear focus"}));
    focused_ = FocusedControl::None;
    EXPECT_TRUE(Down(Qt::Key_Escape));
    EXPECT_EQ(fw_->Current, &pen_);
}

TEST_F(KeysTest, GlobalKeysReachTheirActions) {
    EXPECT_TRUE(Down(Qt::Key_Z));
    EXPECT_TRUE(Down(Qt::Key_Plus, Qt::KeypadModifier));
    EXPECT_TRUE(Down(Qt::Key_Minus, Qt::KeypadModifier));
    EXPECT_TRUE(Down(Qt::Key_5, Qt::KeypadModifier));
    EXPECT_TRUE(Down(Qt::Key_Clear));
    EXPECT_TRUE(Down(Qt::Key_Period));
    EXPECT_TRUE(Down(Qt::Key_L, Qt::ControlModifier));
    EXPECT_TRUE(Down(Qt::Key_T, Qt::ControlModifier));
    EXPECT_TRUE(Down(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_TRUE(Down(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_TRUE(Down(Qt::Key_PageDown));
    EXPECT_TRUE(Down(Qt::Key_Return));
    EXPECT_EQ(did_, (std::vector<std::string>{
                        "fit", "zoom in", "zoom out", "handle", "handle", "pixel brush", "clipping",
                        "antialias", "background", "drawing",
                        "scroll " + std::to_string(Qt::Key_PageDown), "clear focus"}));
    // Keys of no one pass on.
    EXPECT_FALSE(Down(Qt::Key_Q));
    EXPECT_FALSE(Down(Qt::Key_Z, Qt::ShiftModifier));
    EXPECT_FALSE(Down(Qt::Key_F5));
}

TEST_F(KeysTest, CtrlArrowsResizeThePredefinedRectangleOnlyWhileItIsInUse) {
    Move(10, 10);
    EXPECT_FALSE(Down(Qt::Key_Left, Qt::ControlModifier));
    fw_->SelectTool(&cut_, false, -1);
    EXPECT_TRUE(Down(Qt::Key_Left, Qt::ControlModifier));
    EXPECT_TRUE(Down(Qt::Key_PageDown, Qt::ControlModifier));
    fw_->ClearMouseCoords();
    EXPECT_FALSE(Down(Qt::Key_Up, Qt::ControlModifier));
    EXPECT_EQ(did_, (std::vector<std::string>{"rect " + std::to_string(Qt::Key_Left),
                                              "rect " + std::to_string(Qt::Key_PageDown)}));
}

TEST_F(KeysTest, ShiftOverTheImageLocksTheAxisUntilAKeyIsReleased) {
    Down(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_FALSE(fw_->AxisLock); // the pointer is not over the image
    Move(50, 50);
    EXPECT_FALSE(fw_->Outside);
    Down(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(fw_->AxisLock);
    Move(50, 50, Qt::ShiftModifier);
    Move(56, 52, Qt::ShiftModifier);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{56, 50}));
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
    keys_->KeyUp(up);
    EXPECT_FALSE(fw_->AxisLock);
    Move(56, 53);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{56, 53}));
}

class TextTool : public TestTool, public kv::TextInputTool {
  public:
    using TestTool::TestTool;
    bool TextInputOpen() const override { return Open; }
    // Uses every key but Ctrl combinations.
    bool TextKeyDown(QKeyEvent& key) override {
        if (key.modifiers() & Qt::ControlModifier) return false;
        Keys.push_back(key.key());
        Typed += key.text();
        return true;
    }
    bool Open = false;
    std::vector<int> Keys;
    QString Typed;
};

TEST_F(KeysTest, OpenTextInputTakesEveryKeyBeforeTheHotKeys) {
    TextTool text("text", log_);
    Add(text, 'T');
    fw_->SelectTool(&text, false, -1);
    EXPECT_TRUE(Down(Qt::Key_P, Qt::NoModifier, "p"));
    EXPECT_EQ(fw_->Current, &pen_); // closed: P is the pen's hot key
    fw_->SelectTool(&text, false, -1);
    text.Open = true;
    EXPECT_TRUE(Down(Qt::Key_P, Qt::NoModifier, "p"));
    EXPECT_TRUE(Down(Qt::Key_Z, Qt::NoModifier, "z"));
    EXPECT_TRUE(Down(Qt::Key_Return, Qt::NoModifier, "\r"));
    EXPECT_EQ(fw_->Current, &text);
    EXPECT_EQ(text.Typed, "pz\r");
    EXPECT_EQ(text.Keys, (std::vector<int>{Qt::Key_P, Qt::Key_Z, Qt::Key_Return}));
    EXPECT_TRUE(did_.empty());
    // A key the input does not use goes to the window's keys, not the tools'.
    EXPECT_TRUE(Down(Qt::Key_T, Qt::ControlModifier, "\x14"));
    EXPECT_EQ(did_, (std::vector<std::string>{"antialias"}));
    EXPECT_EQ(fw_->Current, &text);
}

TEST_F(KeysTest, KeysOfTheWindowGoThroughTheHandlerFirst) {
    window_->show();
    QTest::keyClick(window_.get(), Qt::Key_P);
    EXPECT_EQ(fw_->Current, &dotted_);
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_P); // another window's key
    EXPECT_EQ(fw_->Current, &dotted_);
}

} // namespace
