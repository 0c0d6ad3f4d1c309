// Choosing the current tool: plain, immediate, one-shot and toggle tools,
// icon variants, hot keys and the drawing technique.
#include "fixture.h"

#include "tools/toolbutton.h"

using namespace toolstest;
using kv::csIdle;

namespace {

constexpr int kShift = 0x100, kCtrl = 0x200, kAlt = 0x400;

class SelectionTest : public FrameworkTest {
  protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        penIcon_ = Add(cont_, 'P', 1, 4, "Continuous Freehand");
        Add(dotted_, 'P', 1, 0, "Dotted Freehand");
        Add(single_, 'P', 1, 0, "Single Freehand");
        lineIcon_ = Add(line_, 'L', 1, 4, "Single Line");
        undoIcon_ = Add(undo_, kCtrl | 'Z', 0, 4, "Undo Last Action");
        gridIcon_ = Add(grid_, kShift | '3', 2, 4, "Grid");
        grid_.Clicks = 0;
        fw_->SelectTool(&cont_, false, -1);
        log_.clear();
    }
    const kv::IconRecord& Icon(int i) const {
        return fw_->IconTable()[static_cast<std::size_t>(i)];
    }

    TestTool cont_{"cont", log_}, dotted_{"dotted", log_}, single_{"single", log_};
    TestTool line_{"line", log_};
    TestTool undo_{"undo", log_, kv::tfImmediate};
    TestTool grid_{"grid", log_, kv::tfToggle};
    int penIcon_ = 0, lineIcon_ = 0, undoIcon_ = 0, gridIcon_ = 0;
};

TEST_F(SelectionTest, SelectingSwitchesBarsAndToolsInOrder) {
    std::vector<std::string> bars;
    fw_->HideToolBar = [&](kv::P_icon* old, kv::P_icon* next) {
        bars.push_back("hide " + static_cast<TestTool*>(old)->Name + "->" +
                       static_cast<TestTool*>(next)->Name);
    };
    fw_->ShowToolBar = [&](kv::P_icon* t) {
        bars.push_back("show " + static_cast<TestTool*>(t)->Name);
    };
    line_.HelpContext = 321;
    line_.StatusText = "LnStr";
    panels_[3] = "old";
    fw_->State = kv::csDone;
    fw_->SelectTool(&line_, false, -1);
    EXPECT_EQ(bars, (std::vector<std::string>{"hide cont->line", "show line"}));
    EXPECT_EQ(log_, (std::vector<std::string>{"cont.Deactivate(line)", "line.Activate"}));
    EXPECT_EQ(fw_->Current, &line_);
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_EQ(fw_->HelpContext, 321);
    EXPECT_EQ(fw_->Previous, &line_);
    EXPECT_TRUE(panels_[3].isEmpty());
    EXPECT_EQ(panels_[4], "LnStr");
    EXPECT_TRUE(Icon(lineIcon_).Button->Down());
    EXPECT_FALSE(Icon(penIcon_).Button->Down()); // one tool group
}

TEST_F(SelectionTest, VariantShowsItsGlyphAndNameOnTheIconButton) {
    fw_->SelectTool(&dotted_, false, -1);
    EXPECT_EQ(Icon(penIcon_).Current, Icon(penIcon_).First + 1);
    EXPECT_EQ(Icon(penIcon_).Button->toolTip(), "Dotted Freehand (P)");
    EXPECT_EQ(fw_->PreviousVariant, -1);
    fw_->SelectTool(&single_, false, Icon(penIcon_).First + 2);
    EXPECT_EQ(fw_->PreviousVariant, Icon(penIcon_).First + 2);
    EXPECT_EQ(Icon(penIcon_).Button->toolTip(), "Single Freehand (P)");
}

TEST_F(SelectionTest, ImmediateToolRunsAndLeavesThePreviousToolCurrent) {
    fw_->SelectTool(&dotted_, false, Icon(penIcon_).First + 1);
    fw_->State = kv::csClicked;
    log_.clear();
    fw_->SelectTool(&undo_, true, -1);
    EXPECT_EQ(undo_.Activations, 1);
    EXPECT_EQ(fw_->Current, &dotted_);
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_EQ(fw_->Previous, &dotted_);
    EXPECT_EQ(Icon(penIcon_).Current, Icon(penIcon_).First + 1);
    EXPECT_TRUE(Icon(penIcon_).Button->Down());
    EXPECT_EQ(log_, (std::vector<std::string>{"dotted.Deactivate(undo)", "undo.Activate",
                                              "undo.Deactivate(dotted)", "dotted.Activate"}));
}

TEST_F(SelectionTest, ImmediateToolCanNameTheToolThatFollows) {
    undo_.PendingAfterUse = &line_;
    fw_->SelectTool(&undo_, true, -1);
    EXPECT_EQ(fw_->Current, &line_);
    EXPECT_EQ(fw_->Pending, nullptr);
    EXPECT_EQ(fw_->Previous, &line_);
}

TEST_F(SelectionTest, ImmediateAfterOneShotReturnsToTheOneShotTool) {
    TestTool pick("pick", log_, kv::tfOneShot, 1);
    Add(pick);
    fw_->SelectTool(&pick, false, -1);
    fw_->SelectTool(&undo_, true, -1);
    EXPECT_EQ(fw_->Current, &pick);
    EXPECT_EQ(fw_->Previous, &cont_);
}

TEST_F(SelectionTest, ToggleSwitchesOnAndOffWithoutChangingTheCurrentTool) {
    EXPECT_TRUE(fw_->ToolKey(kShift | '3'));
    EXPECT_EQ(grid_.Clicks, 1);
    EXPECT_TRUE(Icon(gridIcon_).Button->Down());
    EXPECT_TRUE(Icon(penIcon_).Button->Down()); // a group of its own
    EXPECT_EQ(fw_->Current, &cont_);
    EXPECT_EQ(log_, (std::vector<std::string>{"grid.Activate"}));
    log_.clear();
    fw_->ToolKey(kShift | '3');
    EXPECT_EQ(grid_.Clicks, 0);
    EXPECT_FALSE(Icon(gridIcon_).Button->Down());
    EXPECT_EQ(fw_->Current, &cont_);
    EXPECT_EQ(log_, (std::vector<std::string>{"grid.Deactivate(cont)"}));
}

TEST_F(SelectionTest, HotKeyCyclesVariantsOnlyWhileTheIconIsCurrentAndIdle) {
    fw_->SelectTool(&line_, false, -1);
    fw_->ToolKey('P');
    EXPECT_EQ(fw_->Current, &cont_); // from another tool: no cycling
    fw_->ToolKey('P');
    EXPECT_EQ(fw_->Current, &dotted_);
    fw_->ToolKey('P');
    EXPECT_EQ(fw_->Current, &single_);
    fw_->ToolKey('P');
    EXPECT_EQ(fw_->Current, &cont_);
    fw_->State = kv::csClicked;
    fw_->ToolKey('P');
    EXPECT_EQ(fw_->Current, &cont_);
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_FALSE(fw_->ToolKey('Q'));
    EXPECT_FALSE(fw_->ToolKey(kShift | 'P'));
}

TEST_F(SelectionTest, SecondaryToolHasItsOwnHotKeyAndKeepsTheVariant) {
    TestTool restore("restore", log_);
    fw_->SetSecondaryTool(&restore, kShift | 'G');
    EXPECT_TRUE(fw_->ToolKey(kShift | 'G'));
    EXPECT_EQ(fw_->Current, &restore);
    EXPECT_TRUE(Icon(gridIcon_).Button->Down());
    EXPECT_EQ(Icon(gridIcon_).Current, Icon(gridIcon_).First);
}

TEST_F(SelectionTest, EscapeStyleReturnGoesBackToThePreviousVariant) {
    fw_->SelectTool(&dotted_, false, Icon(penIcon_).First + 1);
    TestTool pick("pick", log_, kv::tfOneShot, 1);
    Add(pick);
    fw_->SelectTool(&pick, false, -1);
    fw_->ReturnToPreviousTool(true);
    EXPECT_EQ(fw_->Current, &dotted_);
    EXPECT_EQ(Icon(penIcon_).Current, Icon(penIcon_).First + 1);
}

TEST_F(SelectionTest, HintsEndWithTheTranslatedHotKey) {
    EXPECT_EQ(Icon(undoIcon_).Button->toolTip(), "Undo Last Action (Ctrl+Z)");
    EXPECT_EQ(Icon(gridIcon_).Button->toolTip(), "Grid (Shift+3)");
    EXPECT_EQ(kv::ToolFramework::HotKeyText(kAlt | kCtrl | kShift | 'X'), " (Alt+Ctrl+Shift+X)");
    EXPECT_EQ(kv::ToolFramework::HotKeyText(0), "");
}

TEST_F(SelectionTest, IconsSitInTwoColumnsOf28PixelButtons) {
    for (int i : {penIcon_, lineIcon_, undoIcon_, gridIcon_})
        EXPECT_EQ(Icon(i).Button->geometry(), QRect(i % 2 * 28, i / 2 * 28, 28, 28)) << i;
    EXPECT_EQ(panel_->size(), QSize(56, 56));
    EXPECT_EQ(Icon(penIcon_).Count, 3);
    EXPECT_EQ(Icon(penIcon_).Columns, 4);
    EXPECT_EQ(Icon(penIcon_).HotKey, 'P');
    EXPECT_EQ(fw_->ToolTable()[1].NameIndex, 3); // "Dotted Freehand"
    EXPECT_EQ(fw_->ToolByName("Single Line"), &line_);
    EXPECT_EQ(fw_->ToolByName("Circle"), nullptr);
    EXPECT_EQ(cont_.IconButton, Icon(penIcon_).Button);
}

TEST_F(SelectionTest, OnlySingleToolIconsMayBeReleasedByAClick) {
    EXPECT_FALSE(Icon(penIcon_).Button->AllowAllUp);
    EXPECT_TRUE(Icon(lineIcon_).Button->AllowAllUp);
    EXPECT_TRUE(Icon(gridIcon_).Button->AllowAllUp);
    EXPECT_FALSE(Icon(undoIcon_).Button->isCheckable()); // group 0: a push button
}

TEST_F(SelectionTest, AThirtyThirdVariantIsRefused) {
    std::vector<std::unique_ptr<TestTool>> many;
    int icon = -1;
    for (int i = 0; i < 33; ++i) {
        many.push_back(std::make_unique<TestTool>("v" + std::to_string(i), log_));
        icon = Add(*many.back(), 0, 1, i == 0 ? 8 : 0);
    }
    EXPECT_EQ(icon, gridIcon_ + 1);
    EXPECT_EQ(Icon(icon).Count, 32);
    EXPECT_EQ(many.back()->IconButton, nullptr);
    EXPECT_EQ(fw_->ToolIndex(many.back().get()), -1);
}

// The fixture's framework has no icon yet.
TEST_F(FrameworkTest, AVariantNeedsAnIcon) {
    TestTool t("t", log_);
    EXPECT_EQ(fw_->RegisterTool("PEN1", &t, 0, 1, "", 0), -1);
    EXPECT_TRUE(fw_->ToolTable().empty());
    EXPECT_EQ(t.IconButton, nullptr);
}

TEST_F(SelectionTest, PaintAndReplaceNeedABrushCutByTheUser) {
    int rebuilt = 0;
    fw_->PaintingBrushForTechnique = [&] { ++rebuilt; };
    EXPECT_FALSE(fw_->SelectTechnique(kv::tqPaint));
    EXPECT_FALSE(fw_->SelectTechnique(kv::tqReplace));
    EXPECT_EQ(fw_->CurrentTechnique, kv::tqColor);
    EXPECT_EQ(rebuilt, 0);
    EXPECT_TRUE(fw_->SelectTechnique(kv::tqColor));
    EXPECT_EQ(panels_[1], "C");
    fw_->UserBrushInUse = true;
    EXPECT_TRUE(fw_->SelectTechnique(kv::tqReplace));
    EXPECT_EQ(panels_[1], "R");
    EXPECT_EQ(fw_->CurrentTechnique, kv::tqReplace);
    EXPECT_EQ(rebuilt, 2);
}

TEST_F(SelectionTest, ImageSwitchDeactivatesWithoutSuccessorAndActivatesAgain) {
    Move(5, 5);
    log_.clear();
    fw_->ImageLeaving();
    fw_->ImageShown();
    EXPECT_EQ(log_, (std::vector<std::string>{"cont.Hide", "cont.Deactivate(null)", "cont.Show",
                                              "cont.Activate"}));
    EXPECT_EQ(fw_->Current, &cont_);
}

} // namespace
