// The icon buttons' mouse events and the variant panel: its size, the
// places of its buttons and where it opens.
#include "fixture.h"

#include "tools/iconpanel.h"
#include "tools/toolbutton.h"

#include <QTest>
#include <QToolButton>

using namespace toolstest;

namespace {

class PanelTest : public FrameworkTest {
  protected:
    // An icon with n variants and the given panel columns.
    int AddIcon(int n, int columns) {
        int icon = -1;
        for (int i = 0; i < n; ++i) {
            tools_.push_back(std::make_unique<TestTool>("t" + std::to_string(i), log_));
            icon = Add(*tools_.back(), 0, 1, i == 0 ? columns : 0);
        }
        return icon;
    }
    kv::TIconPanel& Panel() { return *fw_->IconPanel(); }
    kv::TToolButton* Button(int icon) {
        return fw_->IconTable()[static_cast<std::size_t>(icon)].Button;
    }
    std::vector<std::unique_ptr<TestTool>> tools_;
};

struct LayoutCase {
    int Variants, Columns;
    QSize Size;
    std::vector<QPoint> Places;
};

TEST_F(PanelTest, LayoutFor3And5And8Variants) {
    const LayoutCase cases[] = {
        {3, 4, {100, 36}, {{2, 2}, {34, 2}, {66, 2}}},
        {5, 5, {164, 36}, {{2, 2}, {34, 2}, {66, 2}, {98, 2}, {130, 2}}},
        {8,
         4,
         {132, 68},
         {{2, 2}, {34, 2}, {66, 2}, {98, 2}, {2, 34}, {34, 34}, {66, 34}, {98, 34}}},
    };
    window_->show();
    for (const LayoutCase& c : cases) {
        const int icon = AddIcon(c.Variants, c.Columns);
        QTest::mousePress(Button(icon), Qt::LeftButton);
        EXPECT_TRUE(fw_->PanelTimerActive());
        fw_->ShowIconPanel();
        QTest::mouseRelease(Button(icon), Qt::LeftButton);
        ASSERT_TRUE(Panel().isVisible()) << c.Variants;
        EXPECT_EQ(Panel().size(), c.Size) << c.Variants;
        for (int i = 0; i < kv::TIconPanel::kButtons; ++i) {
            QToolButton* b = Panel().Button(i);
            if (i < c.Variants) {
                EXPECT_TRUE(b->isVisible()) << c.Variants << " " << i;
                EXPECT_EQ(b->geometry(),
                          QRect(c.Places[static_cast<std::size_t>(i)], QSize(32, 32)))
                    << c.Variants << " " << i;
            } else {
                EXPECT_FALSE(b->isVisible()) << c.Variants << " " << i;
            }
        }
        EXPECT_EQ(Panel().Origin, Button(icon));
        Panel().close();
    }
}

TEST_F(PanelTest, HoldingTheButtonHalfASecondOpensThePanel) {
    window_->show();
    const int icon = AddIcon(3, 4);
    QTest::mousePress(Button(icon), Qt::LeftButton);
    for (int waited = 0; !Panel().isVisible() && waited < 5000; waited += 20) QTest::qWait(20);
    EXPECT_TRUE(Panel().isVisible());
    EXPECT_FALSE(fw_->PanelTimerActive());
    QTest::mouseRelease(Button(icon), Qt::LeftButton);
    EXPECT_TRUE(Panel().isVisible());
}

TEST_F(PanelTest, PanelOpensRightOfTheButtonOrLeftWhenThereIsNoRoom) {
    const QSize panel(132, 68);
    EXPECT_EQ(kv::TIconPanel::Placement({100, 50}, 28, panel, 0, 1023), QPoint(128, 50));
    // The last column that still fits: 864 + 28 + 132 = 1024.
    EXPECT_EQ(kv::TIconPanel::Placement({864, 50}, 28, panel, 0, 1023), QPoint(892, 50));
    EXPECT_EQ(kv::TIconPanel::Placement({865, 50}, 28, panel, 0, 1023), QPoint(733, 50));
    EXPECT_EQ(kv::TIconPanel::Placement({1000, 7}, 28, panel, 0, 1023), QPoint(868, 7));
    // A second screen to the right.
    EXPECT_EQ(kv::TIconPanel::Placement({1100, 0}, 28, panel, 1024, 2047), QPoint(1128, 0));
}

TEST_F(PanelTest, ChoosingAVariantSelectsItAndClosesThePanel) {
    window_->show();
    const int icon = AddIcon(5, 5);
    QTest::mousePress(Button(icon), Qt::LeftButton);
    fw_->ShowIconPanel();
    QTest::mouseClick(Panel().Button(3), Qt::LeftButton);
    const kv::IconRecord& rec = fw_->IconTable()[static_cast<std::size_t>(icon)];
    EXPECT_EQ(fw_->Current, tools_[3].get());
    EXPECT_EQ(rec.Current, rec.First + 3);
    EXPECT_FALSE(Panel().isVisible());
    EXPECT_TRUE(Button(icon)->Down());
    // A click on the icon now selects that variant again.
    fw_->SelectTool(tools_[0].get(), false, -1);
    QTest::mouseClick(Button(icon), Qt::LeftButton);
    EXPECT_EQ(fw_->Current, tools_[0].get());
}

TEST_F(PanelTest, EscapeClosesThePanel) {
    window_->show();
    const int icon = AddIcon(3, 4);
    QTest::mousePress(Button(icon), Qt::LeftButton);
    fw_->ShowIconPanel();
    ASSERT_TRUE(Panel().isVisible());
    QTest::keyClick(&Panel(), Qt::Key_Escape);
    EXPECT_FALSE(Panel().isVisible());
}

TEST_F(PanelTest, ASingleVariantIconOpensNoPanel) {
    const int icon = AddIcon(1, 4);
    QTest::mousePress(Button(icon), Qt::LeftButton);
    EXPECT_FALSE(fw_->PanelTimerActive());
    QTest::mouseRelease(Button(icon), Qt::LeftButton);
    EXPECT_EQ(fw_->Current, tools_[0].get());
}

TEST_F(PanelTest, RightButtonSelectsTheSecondaryTool) {
    const int icon = AddIcon(3, 4);
    TestTool resize("resize", log_);
    fw_->SetSecondaryTool(&resize, 0);
    QTest::mousePress(Button(icon), Qt::RightButton);
    EXPECT_EQ(fw_->Current, &resize);
    EXPECT_FALSE(fw_->PanelTimerActive());
    QTest::mouseRelease(Button(icon), Qt::RightButton);
    // Without a secondary tool the right button holds for the panel.
    const int other = AddIcon(2, 4);
    QTest::mousePress(Button(other), Qt::RightButton);
    EXPECT_TRUE(fw_->PanelTimerActive());
    QTest::mouseRelease(Button(other), Qt::RightButton);
    EXPECT_FALSE(fw_->PanelTimerActive());
}

} // namespace
