// The click protocol: presses, releases and moves on the view turned into
// calls of the current tool, through the click states.
#include "fixture.h"

#include "tools/icon.h"

#include <QCursor>
#include <QImage>
#include <QPainter>

using namespace toolstest;
using kv::csClicked;
using kv::csDone;
using kv::csDragging;
using kv::csIdle;

namespace {

class ProtocolTest : public FrameworkTest {
  protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        Add(line_);
        fw_->SelectTool(&line_, false, -1);
        log_.clear();
    }
    TwoClickTool line_{"line", log_};
};

TEST_F(ProtocolTest, QuickClickThenSecondPressDrawsAtTheSecondPoint) {
    Move(10, 10);
    Press(10, 10);
    EXPECT_EQ(fw_->State, csDragging);
    EXPECT_TRUE(fw_->DragTimerActive());
    EXPECT_TRUE(fw_->MouseDown);
    Release(10, 10);
    EXPECT_EQ(fw_->State, csClicked);
    EXPECT_FALSE(fw_->DragTimerActive());
    EXPECT_FALSE(fw_->MouseDown);
    EXPECT_TRUE(line_.Drawn.empty());

    Move(20, 30);
    Press(20, 30);
    ASSERT_EQ(line_.Drawn.size(), 1u);
    EXPECT_EQ(line_.Drawn[0].From, (pixkit::Pair<int>{10, 10}));
    EXPECT_EQ(line_.Drawn[0].To, (pixkit::Pair<int>{20, 30}));
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_EQ(line_.PressStates, (std::vector<int>{csIdle, csClicked}));
    // One action, one snapshot: the second press is not a new action.
    EXPECT_EQ(snapshots_, 1);
    Release(20, 30);
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_EQ(line_.Drawn.size(), 1u);
}

TEST_F(ProtocolTest, SlowDragDrawsAtTheRelease) {
    Move(10, 10);
    Press(10, 10);
    Move(40, 5);
    WaitForDrag();
    EXPECT_EQ(fw_->State, csDragging);
    Release(40, 5);
    ASSERT_EQ(line_.Drawn.size(), 1u);
    EXPECT_EQ(line_.Drawn[0].To, (pixkit::Pair<int>{40, 5}));
    EXPECT_EQ(line_.PressStates, (std::vector<int>{csIdle, csDragging}));
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_EQ(snapshots_, 1);
}

TEST_F(ProtocolTest, FeedbackIsHiddenBeforeAndShownAfterEachStep) {
    Move(10, 10);
    EXPECT_EQ(log_, (std::vector<std::string>{"line.Show"}));
    log_.clear();
    Move(10, 10); // same position: nothing
    EXPECT_TRUE(log_.empty());
    Press(10, 10);
    EXPECT_EQ(log_, (std::vector<std::string>{"line.Hide", "line.Press", "line.Show"}));
    log_.clear();
    Release(10, 10);
    EXPECT_EQ(log_, (std::vector<std::string>{"line.Hide", "line.Show"}));
    EXPECT_EQ(panels_[2], "10,10");
}

TEST_F(ProtocolTest, ThreePointToolStepsThroughDone) {
    TwoClickTool curve("curve", log_, 0, 3);
    Add(curve);
    fw_->SelectTool(&curve, false, -1);
    Move(5, 5);
    Press(5, 5);
    Release(5, 5);
    EXPECT_EQ(fw_->State, csClicked);
    Press(50, 50);
    EXPECT_EQ(fw_->State, csDone);
    Release(50, 50); // not a drag: nothing happens
    EXPECT_EQ(fw_->State, csDone);
    Press(60, 20);
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_EQ(curve.PressStates, (std::vector<int>{csIdle, csClicked, csDone}));
}

TEST_F(ProtocolTest, LeavingTheViewHidesFeedbackAndEmptiesThePanels) {
    Move(10, 10);
    panels_[3] = "x";
    log_.clear();
    fw_->ClearMouseCoords();
    EXPECT_EQ(log_, (std::vector<std::string>{"line.Hide"}));
    EXPECT_TRUE(fw_->Outside);
    EXPECT_EQ(fw_->ViewPos, QPoint(-1, -1));
    for (int p : {2, 3, 4}) EXPECT_TRUE(panels_[p].isEmpty()) << p;
    log_.clear();
    fw_->ClearMouseCoords(); // already outside: no second Hide
    EXPECT_TRUE(log_.empty());
}

TEST_F(ProtocolTest, OutsideTheImageThePressStillReachesTheToolButNoFeedback) {
    Move(150, 10);
    EXPECT_TRUE(fw_->Outside);
    log_.clear();
    Press(150, 10);
    EXPECT_EQ(log_, (std::vector<std::string>{"line.Press"}));
    EXPECT_EQ(line_.PressPoints.back(), (pixkit::Pair<int>{150, 10}));
}

TEST_F(ProtocolTest, ShiftLocksThePointerToTheAnchorRow) {
    Move(50, 50);
    fw_->AxisLock = true;
    Move(50, 50); // the anchor
    Move(56, 52); // 6 right, 2 down: horizontal
    EXPECT_EQ(fw_->AxisState, 1);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{56, 50}));
    Move(80, 90);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{80, 50}));
    Press(70, 10);
    EXPECT_EQ(line_.PressPoints.back(), (pixkit::Pair<int>{70, 50}));
    fw_->AxisLock = false;
    Move(80, 90);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{80, 90}));
    EXPECT_EQ(fw_->AxisState, -2);
}

TEST_F(ProtocolTest, AxisStaysUndecidedUntilOneAxisPassesFourPixels) {
    fw_->AxisLock = true;
    Move(20, 20);
    Move(24, 23);
    EXPECT_EQ(fw_->AxisState, -1);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{24, 23}));
    Move(22, 27); // 2 across, 7 down: vertical
    EXPECT_EQ(fw_->AxisState, 0);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{20, 27}));
}

TEST_F(ProtocolTest, SnapAppliesOnlyToToolsWithTheSnapFlag) {
    fw_->SnapToGrid = [](pixkit::Pair<int>& p) { p = {p.x / 8 * 8, p.y / 8 * 8}; };
    Move(13, 21);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{8, 16}));
    line_.Snap = 0;
    Move(13, 22);
    EXPECT_EQ(fw_->ImagePos, (pixkit::Pair<int>{13, 22}));
}

TEST_F(ProtocolTest, MouseButtonStateCarriesButtonsAndModifiers) {
    Press(5, 5, Qt::RightButton, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(fw_->MouseButtons, kv::msRight | kv::msCtrl | kv::msShift);
}

TEST_F(ProtocolTest, ToolWithoutUndoFlagTakesNoSnapshot) {
    line_.Undo = 0;
    Press(5, 5);
    EXPECT_EQ(snapshots_, 0);
}

TEST_F(ProtocolTest, OneShotToolReturnsToThePreviousToolAfterOneUse) {
    TestTool pick("pick", log_, kv::tfOneShot, 1);
    Add(pick);
    fw_->SelectTool(&pick, false, -1);
    EXPECT_EQ(fw_->Current, &pick);
    EXPECT_EQ(fw_->Previous, &line_);
    Move(3, 3);
    Press(3, 3);
    EXPECT_EQ(fw_->Current, &line_);
    EXPECT_EQ(fw_->State, csIdle);
    EXPECT_EQ(fw_->Previous, &line_);
}

TEST_F(ProtocolTest, TwoPointOneShotToolReturnsAtTheEndOfItsAction) {
    TwoClickTool once("once", log_, kv::tfOneShot, 2);
    Add(once);
    fw_->SelectTool(&once, false, -1);
    Move(3, 3);
    Press(3, 3);
    Release(3, 3);
    EXPECT_EQ(fw_->Current, &once);
    Press(9, 9);
    EXPECT_EQ(once.Drawn.size(), 1u);
    EXPECT_EQ(fw_->Current, &line_);
}

class SprayTool : public TestTool, public kv::TimedTool {
  public:
    using TestTool::TestTool;
    void ActivityStep() override { ++Steps; }
    int Steps = 0;
};

class PolyTool : public TestTool, public kv::PolygonTool {
  public:
    using TestTool::TestTool;
    bool CanCloseAt(pixkit::Pair<int> p) const override { return p.x < 10; }
};

TEST_F(ProtocolTest, ActivityTimerDrivesTimedToolsOnlyInsideTheImage) {
    SprayTool spray("spray", log_);
    Add(spray);
    fw_->SelectTool(&spray, false, -1);
    fw_->ActivateIconFunc();
    EXPECT_EQ(spray.Steps, 0); // the pointer is not over the image
    Move(30, 30);
    fw_->ActivateIconFunc();
    fw_->ActivateIconFunc();
    EXPECT_EQ(spray.Steps, 2);
}

TEST_F(ProtocolTest, ActivityTimerShowsTheCloseCursorOverAClosablePolygon) {
    PolyTool poly("poly", log_);
    poly.Cursor = kv::crFill;
    Add(poly);
    fw_->SelectTool(&poly, false, -1);
    QCursor last;
    fw_->Host.SetViewCursor = [&](const QCursor& c) { last = c; };
    Move(5, 5);
    fw_->ActivateIconFunc();
    EXPECT_EQ(last.pixmap().toImage(), kv::CursorById(kv::crCrossOk).pixmap().toImage());
    Move(50, 5);
    fw_->ActivateIconFunc();
    EXPECT_EQ(last.pixmap().toImage(), kv::CursorById(kv::crFill).pixmap().toImage());
}

TEST_F(ProtocolTest, RepaintReachesTheToolUnlessSuspended) {
    struct Painter : TestTool {
        using TestTool::TestTool;
        void Repaint(QPainter&) override { ++Count; }
        int Count = 0;
    } painter("painter", log_);
    Add(painter);
    fw_->SelectTool(&painter, false, -1);
    QImage image(4, 4, QImage::Format_RGB32);
    QPainter p(&image);
    fw_->ShowBufPaint(p);
    fw_->RepaintEnabled = false;
    fw_->ShowBufPaint(p);
    EXPECT_EQ(painter.Count, 1);
}

} // namespace
