// Switching the current image: the Window menu, Next/Prev and the order of
// the switching steps.
#include "harness.h"

#include "mainform.h"
#include "view/maxsize.h"
#include "view/tbuffer.h"

#include "tools/framework.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QSet>
#include <QTest>

using kvtest::KvTest;

namespace {

QMenu* WindowMenu(kv::TMainForm& form) {
    return form.findChild<QMenu*>("Window1");
}

// The captions as the menu shows them when it opens.
QStringList OpenedCaptions(kv::TMainForm& form) {
    Q_EMIT WindowMenu(form)->aboutToShow();
    QStringList captions;
    for (int i = 1; i <= kv::kSlotCount; ++i)
        captions << form.MenuCommand(("Image" + std::to_string(i) + "Item").c_str())->text();
    return captions;
}

int CheckedItem(kv::TMainForm& form) {
    Q_EMIT WindowMenu(form)->aboutToShow();
    int checked = -1;
    for (int i = 1; i <= kv::kSlotCount; ++i)
        if (form.MenuCommand(("Image" + std::to_string(i) + "Item").c_str())->isChecked()) {
            EXPECT_EQ(checked, -1) << "two items checked";
            checked = i;
        }
    return checked;
}

TEST_F(KvTest, WindowMenuCaptionsAreRebuiltWhenItOpens) {
    Run({}, [](kv::TMainForm& form) {
        form.Docs().Slots[9].FileName = "C:\\a.bmp";
        form.Docs().Slots[2].FileName = "/tmp/pictures/b.frm";
        const QStringList captions = OpenedCaptions(form);
        EXPECT_EQ(captions[0], "  &1 Untitled");
        EXPECT_EQ(captions[2], "  &3 /tmp/pictures/b.frm");
        EXPECT_EQ(captions[8], "  &9 Untitled");
        EXPECT_EQ(captions[9], "1&0 C:\\a.bmp");
        // The update-mode title is for the document label, not the menu.
        form.Docs().UpdateMode = true;
        form.Docs().UpdateTitle = "Portrait";
        EXPECT_EQ(OpenedCaptions(form)[0], "  &1 Untitled");
        form.Docs().UpdateMode = false;
    });
}

TEST_F(KvTest, MenuItemsNextAndPrevSwitchWithoutWrapping) {
    Run({}, [](kv::TMainForm& form) {
        EXPECT_EQ(CheckedItem(form), 1);
        form.MenuCommand("PrevImage1")->trigger();
        EXPECT_EQ(form.Docs().Current, 0);
        form.MenuCommand("NextImage1")->trigger();
        EXPECT_EQ(form.Docs().Current, 1);
        EXPECT_EQ(CheckedItem(form), 2);
        form.MenuCommand("Image10Item")->trigger();
        EXPECT_EQ(form.Docs().Current, 9);
        EXPECT_EQ(CheckedItem(form), 10);
        EXPECT_EQ(form.PanelText(0), "[10] Untitled");
        form.MenuCommand("NextImage1")->trigger();
        EXPECT_EQ(form.Docs().Current, 9);
        form.MenuCommand("PrevImage1")->trigger();
        EXPECT_EQ(form.Docs().Current, 8);
        form.MenuCommand("Image1Item")->trigger();
        EXPECT_EQ(form.Docs().Current, 0);
        EXPECT_EQ(CheckedItem(form), 1);
    });
}

TEST_F(KvTest, SwitchingRunsItsStepsInOrderAndShowsTheNewImage) {
    Run({}, [](kv::TMainForm& form) {
        ASSERT_TRUE(form.Docs().AllocBlack(4, 3000, 20));
        form.Docs().Slots[4].FileName = "/x/y.bmp";
        std::vector<std::string> steps;
        auto record = [&](const char* step) {
            const kv::TBuffer* view = form.ShowBuf();
            steps.push_back(std::string(step) + " " + std::to_string(form.Docs().Current) +
                            (view->GetBuffer() == &form.Docs().CurrentImage() ? " shown" : ""));
        };
        QObject::connect(&form, &kv::TMainForm::ImageLeaving, [&] { record("leaving"); });
        QObject::connect(&form, &kv::TMainForm::ImageEntered, [&] { record("entered"); });
        QObject::connect(&form, &kv::TMainForm::ImageShown, [&] { record("shown"); });
        form.MaxSize()->SetPosition(20);
        form.SelectImage(4);
        EXPECT_EQ(steps,
                  (std::vector<std::string>{"leaving 0 shown", "entered 4", "shown 4 shown"}));
        EXPECT_EQ(form.PanelText(0), "[5] /x/y.bmp");
        // The zoom was applied for the new image's size: 3000 x 20 > 32000.
        EXPECT_EQ(form.MaxSize()->Position(), 10);
        EXPECT_EQ(form.ShowBuf()->size(), QSize(30000, 200));
        EXPECT_EQ(form.DrawingView().Data, form.Docs().Slots[4].Data);
        EXPECT_EQ(form.DrawingView().Area, form.Docs().Slots[4].Area);
    });
}

} // namespace

// A short window (a laptop screen, a scaled display) lays the tool icons out
// in more columns instead of hiding them all behind the bar's overflow
// arrow; a tall one keeps the two columns.
TEST_F(KvTest, ShortWindowsKeepEveryToolIconInView) {
    Run({}, [](kv::TMainForm& form) {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QWidget* panel = form.findChild<QWidget*>("ToolPanel");
        ASSERT_NE(panel, nullptr);
        const QList<QAbstractButton*> icons = panel->findChildren<QAbstractButton*>();
        ASSERT_GT(icons.size(), 16);
        for (const int height : {1100, 560, 420}) {
            form.resize(900, height);
            for (int i = 0; i < 5; ++i) QTest::qWait(10);
            EXPECT_TRUE(panel->isVisible()) << height;
            const QRect room = form.centralWidget()->geometry();
            QSet<QPair<int, int>> places;
            for (QAbstractButton* b : icons) {
                const QRect r(b->mapTo(&form, QPoint(0, 0)), b->size());
                EXPECT_TRUE(panel->rect().contains(b->geometry())) << height;
                EXPECT_LE(r.bottom(), room.bottom()) << height;
                places.insert({b->x(), b->y()});
            }
            EXPECT_EQ(places.size(), icons.size()) << height;
            const int columns = panel->width() / kv::ToolFramework::kButtonSize;
            if (height == 1100) {
                EXPECT_EQ(columns, 2);
            }
            if (height == 420) {
                EXPECT_GT(columns, 2);
            }
        }
    });
}
