// Help in the real main window: F1 opens the section of the current tool or
// the focused dialog, Help > Contents a browsable, searchable manual that
// closes with the program, and the screenshots the pages name are made
// here from the real window.
#include "harness.h"

#include "colors/colorsel.h"
#include "effects/cfilterform.h"
#include "effects/customfilter.h"
#include "files/newform.h"
#include "mainform.h"
#include "paint/dropshform.h"
#include "paint/painttools.h"
#include "platform/helpwindow.h"
#include "prefs/prefsdialog.h"
#include "tools/framework.h"
#include "view/tbuffer.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include <fstream>
#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace {

const fs::path kBuiltManual = fs::path(VM_BIN_DIR) / "manual";

class HelpGui : public kvtest::KvTest {
  protected:
    // The manual of the build folder, as installed beside the program.
    void LinkManual() { fs::create_directory_symlink(kBuiltManual, root_ / "bin" / "manual"); }
    static QString Shown(kv::TMainForm& form) {
        const QUrl url = form.HelpWindow()->Browser()->source();
        return url.fileName() + (url.hasFragment() ? "#" + url.fragment() : "");
    }
    static QStringList Listed(kv::THelpWindow* help) {
        QStringList titles;
        for (int i = 0; i < help->PageList()->count(); ++i)
            titles += help->PageList()->item(i)->text();
        return titles;
    }
};

TEST_F(HelpGui, F1ShowsTheSectionOfTheCurrentToolOrTheFocusedDialog) {
    LinkManual();
    Run({}, [&](kv::TMainForm& form) {
        kv::ToolFramework& fw = form.ToolFw();
        fw.SelectTool(fw.ToolByName("Single Line"), true, -1);
        QTest::keyClick(form.ShowBuf(), Qt::Key_F1);
        kv::THelpWindow* help = form.HelpWindow();
        ASSERT_NE(help, nullptr);
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(Shown(form), "lines.md#lines");

        // A small window must scroll to reach the curves' section.
        help->resize(320, 200);
        fw.SelectTool(fw.ToolByName("Continuous Curve"), true, -1);
        QTest::keyClick(form.ShowBuf(), Qt::Key_F1);
        EXPECT_EQ(Shown(form), "lines.md#curves");
        EXPECT_EQ(help->Browser()->TopHeading(), "curves");

        // An open text block takes every key but F1.
        fw.SelectTool(fw.ToolByName("Write Text"), true, -1);
        QTest::mouseClick(form.ShowBuf(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::keyClick(form.ShowBuf(), Qt::Key_F1);
        EXPECT_TRUE(Shown(form).startsWith("text.md")) << Shown(form).toStdString();
        QTest::keyClick(form.ShowBuf(), Qt::Key_Escape);

        std::unique_ptr<kv::TPreferences> prefs = form.CreatePreferencesDialog();
        prefs->show();
        QTest::keyClick(prefs->findChild<QCheckBox*>("ClippingBox"), Qt::Key_F1);
        EXPECT_EQ(Shown(form), "preferences.md");
        prefs->reject();

        // Shift+F1 is not help; F1 in the help window explains the window.
        QTest::keyClick(form.ShowBuf(), Qt::Key_F1, Qt::ShiftModifier);
        EXPECT_EQ(Shown(form), "preferences.md");
        QTest::keyClick(help->SearchBox(), Qt::Key_F1);
        EXPECT_EQ(Shown(form), "index.md#using-the-help-window");
    });
}

TEST_F(HelpGui, ContentsSearchBackAndTheWindowClosesWithTheProgram) {
    LinkManual();
    Run({}, [&](kv::TMainForm& form) {
        form.MenuCommand("Contents1")->trigger();
        kv::THelpWindow* help = form.HelpWindow();
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(Shown(form), "index.md");
        const QStringList all = Listed(help);
        EXPECT_EQ(all.value(0), "Vellumatic manual");
        EXPECT_TRUE(all.contains("Lines and curves"));

        help->SearchBox()->setText("tolerance");
        const QStringList hits = Listed(help);
        EXPECT_TRUE(hits.contains("Fills")) << hits.join(", ").toStdString();
        EXPECT_TRUE(hits.contains("Colors and the palette"));
        EXPECT_FALSE(hits.contains("Grid"));
        help->SearchBox()->setText("tolerance zebra");
        EXPECT_FALSE(help->PageList()->item(0)->flags() & Qt::ItemIsEnabled);

        help->ShowPage("fills.md");
        EXPECT_EQ(Shown(form), "fills.md");
        help->Browser()->backward();
        EXPECT_EQ(Shown(form), "index.md");
        // Escape closes it, from the page as from the search box.
        QTest::keyClick(help->Browser(), Qt::Key_Escape);
        EXPECT_FALSE(help->isVisible());
        form.MenuCommand("Contents1")->trigger();
        QTest::keyClick(help->SearchBox(), Qt::Key_Escape);
        EXPECT_FALSE(help->isVisible());
        form.MenuCommand("Contents1")->trigger();

        // The help quits with the program: a window left open would keep
        // the program from ending (the harness's watchdog would fire).
        EXPECT_TRUE(help->isVisible());
        form.close();
        EXPECT_FALSE(help->isVisible());
    });
}

TEST_F(HelpGui, WithoutAManualTheWindowSaysSo) {
    Run({}, [&](kv::TMainForm& form) {
        form.ShowHelp(2200);
        EXPECT_FALSE(form.HelpWindow()->HasManual());
        EXPECT_EQ(form.HelpWindow()->Browser()->toPlainText(), "The manual is not installed.");
    });
}

// The screenshots of the manual, from the real window with the English
// language; then every image a page names must be among them.
TEST_F(HelpGui, ScreenshotsOfTheBarsAndDialogsThePagesName) {
    InstallLanguage("English");
    const fs::path images = kBuiltManual / "images";
    fs::create_directories(images);
    std::set<std::string> made;
    auto save = [&](QWidget* w, const std::string& name) {
        ASSERT_NE(w, nullptr) << name;
        EXPECT_TRUE(w->grab().save(QString::fromStdString((images / name).string()))) << name;
        made.insert("images/" + name);
    };
    Run({}, [&](kv::TMainForm& form) {
        form.resize(1000, 700);
        save(&form, "main-window.png");
        kv::ToolFramework& fw = form.ToolFw();
        const struct {
            const char* Tool;
            const char* File;
        } bars[] = {{"Single Line", "bar-lines.png"},
                    {"Single Curve", "bar-curves.png"},
                    {"Circle", "bar-circle.png"},
                    {"Spray", "bar-spray.png"},
                    {"Airbrush", "bar-airbrush.png"},
                    {"Clone", "bar-clone.png"},
                    {"Solid Fill", "bar-solid-fill.png"},
                    {"Pattern Fill", "bar-pattern-fill.png"},
                    {"Change Color", "bar-change-color.png"},
                    {"Cut Predefined Rectangle", "bar-cut-predefined.png"},
                    {"Cut with Magic Wand", "bar-magic-wand.png"}};
        for (const auto& bar : bars) {
            fw.SelectTool(fw.ToolByName(bar.Tool), true, -1);
            save(form.ParamToolBar(), bar.File);
        }
        fw.SelectTool(kv::GridTool(), true, -1);
        save(form.GridToolBar(), "bar-grid.png");
        fw.SelectTool(kv::GridTool(), true, -1);

        std::unique_ptr<kv::TPreferences> prefs = form.CreatePreferencesDialog();
        prefs->show();
        save(prefs.get(), "dialog-preferences.png");
        prefs->reject();
        kv::TNewForm newForm(&form, 640, 480);
        newForm.show();
        save(&newForm, "dialog-new.png");
        newForm.reject();
        form.ShowColorDialog(false);
        save(form.ColorDialog(), "dialog-color.png");
        form.ColorDialog()->reject();
        form.MenuCommand("CustomFilter1")->trigger();
        kv::TCFilterForm* filter = form.CustomFilter().Form();
        save(filter, "dialog-custom-filter.png");
        if (filter != nullptr) filter->findChild<QPushButton*>("CancelBtn")->click();
        form.MenuCommand("DropShadow1")->trigger();
        save(kv::DropShadowDialog(&form), "dialog-drop-shadow.png");
        if (kv::TDropShForm* shadow = kv::DropShadowDialog(&form)) shadow->FormDeactivate();
    });
    const std::regex image(R"(\]\((images/[^)]+)\))");
    for (const auto& e : fs::directory_iterator(kBuiltManual)) {
        if (e.path().extension() != ".md") continue;
        std::ifstream in(e.path());
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        for (std::sregex_iterator it(text.begin(), text.end(), image), end; it != end; ++it)
            EXPECT_TRUE(made.count((*it)[1])) << e.path().filename() << " names " << (*it)[1];
    }
}

} // namespace
