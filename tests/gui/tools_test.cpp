// The tool framework in the real main window: icons on the tool panel, the
// mouse on the view, hot keys and Shift through the window's keyboard, the
// variant panel beside the tool bar and the Techniques menu.
#include "harness.h"

#include "tool_doubles.h"
#include "tools/iconpanel.h"
#include "tools/toolbutton.h"
#include "view/tbuffer.h"

#include <QAction>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

using kvtest::KvTest;
using toolstest::TestTool;
using toolstest::TwoClickTool;

namespace {

constexpr int kShift = 0x100;

// Test tools registered on the window's tool panel, with hot keys no
// built-in tool uses.
struct Kit {
    explicit Kit(kv::ToolFramework& fw) : Fw(fw) {
        lineIcon = fw.RegisterTool("LINE1", &line, 'J', 1, "Single Line", 4);
        penIcon = fw.RegisterTool("PEN1", &pens[0], 'K', 1, "Continuous Freehand", 4);
        fw.RegisterTool("PEN2", &pens[1], 'K', 1, "Dotted Freehand", 0);
        fw.RegisterTool("PEN3", &pens[2], 'K', 1, "Single Freehand", 0);
        fw.RegisterTool("GETCOL", &pick, 'W', 1, "Get Color", 4);
        fw.RegisterTool("UNDO", &undo, 'Q', 0, "Undo Last Action", 4);
        gridIcon = fw.RegisterTool("GRID", &grid, kShift | '4', 2, "Grid", 4);
        brushIcon = fw.RegisterTool("BRUSH1", &brushes[0], 0, 1, "Circular Brush", 4);
        for (std::size_t i = 1; i < 8; ++i) fw.RegisterTool("BRUSH2", &brushes[i], 0, 1, "3x3", 0);
        grid.Clicks = 0;
    }
    kv::TToolButton* Button(int icon) const {
        return Fw.IconTable()[static_cast<std::size_t>(icon)].Button;
    }

    kv::ToolFramework& Fw;
    std::vector<std::string> log;
    TwoClickTool line{"line", log};
    TestTool pens[3] = {{"cont", log}, {"dotted", log}, {"single", log}};
    TestTool pick{"pick", log, kv::tfOneShot, 1};
    TestTool undo{"undo", log, kv::tfImmediate};
    TestTool grid{"grid", log, kv::tfToggle};
    TestTool brushes[8] = {{"b0", log}, {"b1", log}, {"b2", log}, {"b3", log},
                           {"b4", log}, {"b5", log}, {"b6", log}, {"b7", log}};
    int lineIcon = 0, penIcon = 0, gridIcon = 0, brushIcon = 0;
};

// The test tools must outlive the window, which deactivates its current
// tool when it closes.
class ToolsTest : public KvTest {
  protected:
    void RunWithKit(std::function<void(kv::TMainForm&, Kit&)> check) {
        std::unique_ptr<Kit> kit;
        Run({}, [&](kv::TMainForm& form) {
            kit = std::make_unique<Kit>(form.ToolFw());
            check(form, *kit);
        });
    }
};

// Points well inside the view (and so inside the image).
QPoint At(kv::TMainForm& form, int fx, int fy) {
    const QRect r = form.ShowBuf()->rect();
    return {r.width() * fx / 8, r.height() * fy / 8};
}

TEST_F(KvTest, StartUpLeavesTheGridShapeWithAHiddenEmptyIcon) {
    Run({}, [](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        // The empty icon follows the built-in icons; the action icons come
        // after it ("Redo" has no entry in the tool-name table either).
        const kv::IconRecord* empty = nullptr;
        for (const kv::IconRecord& icon : fw.IconTable())
            if (fw.ToolTable()[static_cast<std::size_t>(icon.First)].NameIndex < 0 && !empty)
                empty = &icon;
        ASSERT_NE(empty, nullptr);
        EXPECT_FALSE(empty->Button->isVisibleTo(&form));
        EXPECT_EQ(empty->Button->parentWidget()->objectName(), "ToolPanel");
    });
}

TEST_F(ToolsTest, QuickClickAndSlowDragOnTheView) {
    RunWithKit([](kv::TMainForm& form, Kit& kit) {
        kv::ToolFramework& fw = form.ToolFw();
        QTest::mouseClick(kit.Button(kit.lineIcon), Qt::LeftButton);
        ASSERT_EQ(fw.Current, &kit.line);
        kv::TBuffer* view = form.ShowBuf();
        const QPoint a = At(form, 1, 1), b = At(form, 5, 3), c = At(form, 6, 7);
        ASSERT_TRUE(form.InsideImage(form.ViewToImage(c)));

        QTest::mouseMove(view, a);
        QTest::mousePress(view, Qt::LeftButton, {}, a);
        EXPECT_EQ(fw.State, kv::csDragging);
        QTest::mouseRelease(view, Qt::LeftButton, {}, a);
        EXPECT_EQ(fw.State, kv::csClicked);
        QTest::mouseMove(view, b);
        QTest::mousePress(view, Qt::LeftButton, {}, b);
        EXPECT_EQ(fw.State, kv::csIdle);
        QTest::mouseRelease(view, Qt::LeftButton, {}, b);
        ASSERT_EQ(kit.line.Drawn.size(), 1u);
        EXPECT_EQ(kit.line.Drawn[0].From, form.ViewToImage(a));
        EXPECT_EQ(kit.line.Drawn[0].To, form.ViewToImage(b));

        QTest::mousePress(view, Qt::LeftButton, {}, b);
        QTest::mouseMove(view, c);
        QTest::qWait(kv::ToolFramework::kDragDelayMs + 100);
        EXPECT_EQ(fw.State, kv::csDragging);
        QTest::mouseRelease(view, Qt::LeftButton, {}, c);
        ASSERT_EQ(kit.line.Drawn.size(), 2u);
        EXPECT_EQ(kit.line.Drawn[1].From, form.ViewToImage(b));
        EXPECT_EQ(kit.line.Drawn[1].To, form.ViewToImage(c));
        EXPECT_EQ(fw.State, kv::csIdle);
    });
}

TEST_F(ToolsTest, OneShotAndImmediateToolsReturnThroughTheWindow) {
    RunWithKit([](kv::TMainForm& form, Kit& kit) {
        kv::ToolFramework& fw = form.ToolFw();
        QTest::keyClick(&form, Qt::Key_K);
        QTest::keyClick(&form, Qt::Key_K); // the pen icon is current: next variant
        ASSERT_EQ(fw.Current, &kit.pens[1]);
        QTest::keyClick(&form, Qt::Key_Q); // immediate
        EXPECT_EQ(kit.undo.Activations, 1);
        EXPECT_EQ(fw.Current, &kit.pens[1]);
        EXPECT_EQ(fw.State, kv::csIdle);
        EXPECT_TRUE(kit.Button(kit.penIcon)->Down());
        EXPECT_TRUE(kit.Button(kit.penIcon)->toolTip().startsWith("Dotted Freehand"));

        QTest::keyClick(&form, Qt::Key_W); // one-shot
        EXPECT_EQ(fw.Current, &kit.pick);
        const QPoint p = At(form, 2, 2);
        QTest::mouseMove(form.ShowBuf(), p);
        QTest::mouseClick(form.ShowBuf(), Qt::LeftButton, {}, p);
        EXPECT_EQ(kit.pick.PressPoints.size(), 1u);
        EXPECT_EQ(fw.Current, &kit.pens[1]);

        QTest::keyClick(&form, Qt::Key_W);
        QTest::keyClick(&form, Qt::Key_Escape); // back without using it
        EXPECT_EQ(fw.Current, &kit.pens[1]);
    });
}

TEST_F(ToolsTest, HotKeysCycleVariantsAndSwitchToggles) {
    RunWithKit([](kv::TMainForm& form, Kit& kit) {
        kv::ToolFramework& fw = form.ToolFw();
        QTest::keyClick(&form, Qt::Key_J);
        std::vector<kv::P_icon*> seen;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(&form, Qt::Key_K);
            seen.push_back(fw.Current);
        }
        EXPECT_EQ(seen, (std::vector<kv::P_icon*>{&kit.pens[0], &kit.pens[1], &kit.pens[2],
                                                  &kit.pens[0]}));
        QTest::keyClick(&form, Qt::Key_4, Qt::ShiftModifier);
        EXPECT_EQ(kit.grid.Clicks, 1);
        EXPECT_TRUE(kit.Button(kit.gridIcon)->Down());
        EXPECT_EQ(fw.Current, &kit.pens[0]);
        QTest::keyClick(&form, Qt::Key_4, Qt::ShiftModifier);
        EXPECT_EQ(kit.grid.Clicks, 0);
        EXPECT_FALSE(kit.Button(kit.gridIcon)->Down());
        EXPECT_EQ(fw.Current, &kit.pens[0]);
    });
}

TEST_F(ToolsTest, ShiftLocksThePointerToARowOfTheView) {
    RunWithKit([](kv::TMainForm& form, Kit&) {
        kv::ToolFramework& fw = form.ToolFw();
        QTest::keyClick(&form, Qt::Key_J);
        kv::TBuffer* view = form.ShowBuf();
        const QPoint a = At(form, 3, 3);
        QTest::mouseMove(view, a);
        QTest::keyPress(&form, Qt::Key_Shift);
        ASSERT_TRUE(fw.AxisLock);
        const QPoint anchor = a + QPoint(1, 1); // the first move with Shift held
        QTest::mouseMove(view, anchor);
        QTest::mouseMove(view, anchor + QPoint(6, 2));
        EXPECT_EQ(fw.ViewPos, anchor + QPoint(6, 0));
        QTest::mouseMove(view, anchor + QPoint(20, 15));
        EXPECT_EQ(fw.ViewPos, anchor + QPoint(20, 0));
        EXPECT_EQ(fw.ImagePos, form.ViewToImage(anchor + QPoint(20, 0)));
        QTest::keyRelease(&form, Qt::Key_Shift);
        EXPECT_FALSE(fw.AxisLock);
        QTest::mouseMove(view, a + QPoint(21, 15));
        EXPECT_EQ(fw.ViewPos, a + QPoint(21, 15));
    });
}

TEST_F(ToolsTest, VariantPanelOpensBesideTheToolBarButton) {
    RunWithKit([](kv::TMainForm& form, Kit& kit) {
        kv::ToolFramework& fw = form.ToolFw();
        kv::TToolButton* button = kit.Button(kit.brushIcon);
        QTest::mousePress(button, Qt::LeftButton);
        fw.ShowIconPanel();
        QTest::mouseRelease(button, Qt::LeftButton);
        kv::TIconPanel* panel = fw.IconPanel();
        ASSERT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->size(), QSize(132, 68));
        const QPoint at = button->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(panel->pos(), QPoint(at.x() + 28, at.y())); // the tool bar is on the left
        EXPECT_EQ(panel->Button(5)->geometry().topLeft(), QPoint(34, 34));
        QTest::mouseClick(panel->Button(5), Qt::LeftButton);
        EXPECT_EQ(fw.Current, &kit.brushes[5]);
        EXPECT_FALSE(panel->isVisible());
    });
}

TEST_F(KvTest, PaintAndReplaceWaitForABrushCutByTheUser) {
    Run({}, [](kv::TMainForm& form) {
        auto* panel1 = form.findChild<QLabel*>("Panel1");
        form.MenuCommand("Paint1")->trigger();
        EXPECT_TRUE(form.MenuCommand("Color1")->isChecked());
        EXPECT_EQ(panel1->text(), "C");
        form.ToolFw().UserBrushInUse = true;
        form.MenuCommand("Replace1")->trigger();
        EXPECT_TRUE(form.MenuCommand("Replace1")->isChecked());
        EXPECT_EQ(panel1->text(), "R");
        EXPECT_EQ(form.ToolFw().CurrentTechnique, kv::tqReplace);
    });
}

} // namespace
