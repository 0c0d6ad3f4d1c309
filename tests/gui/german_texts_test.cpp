// A German user meets no English text: every visible text of the main
// window, each parameter bar and the dialogs is compared with the texts
// English.txt defines that German.txt says otherwise.
#include "harness.h"

#include "colors/colorsel.h"
#include "effects/cfilterform.h"
#include "effects/ffactform.h"
#include "files/infoform.h"
#include "files/newform.h"
#include "files/openplus.h"
#include "files/printform.h"
#include "paint/brush.h"
#include "paint/painting.h"
#include "preferences.h"
#include "prefs/prefsdialog.h"
#include "tools/framework.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolBar>

#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

// A text as the user reads it: "@" is a blank, "&" marks an accelerator.
QString Plain(QString s) {
    s.replace('@', ' ').replace("&&", "\x01").remove('&').replace('\x01', '&');
    s = s.trimmed();
    while (s.endsWith('.') || s.endsWith(':')) s.chop(1);
    return s.trimmed();
}

// Section + key -> value; bar descriptors and item lists are split into
// their fields, so each field can be compared on its own.
std::map<std::string, std::vector<QString>> ReadTexts(const fs::path& file) {
    std::map<std::string, std::vector<QString>> texts;
    std::ifstream in(file);
    std::string section, window;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = line;
            window.clear();
            continue;
        }
        if (line.rfind(">=", 0) == 0) {
            window = line.substr(2);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        auto& fields = texts[section + window + "/" + line.substr(0, eq)];
        for (const QString& f :
             QString::fromStdString(line.substr(eq + 1)).split(QRegularExpression("[,|]")))
            fields.push_back(Plain(f));
    }
    return texts;
}

// The English texts German replaces: worth checking when they hold a word.
std::set<QString> EnglishOnly() {
    const auto english = ReadTexts(fs::path(VM_LANG_DIR) / "English.txt");
    const auto german = ReadTexts(fs::path(VM_LANG_DIR) / "German.txt");
    std::set<QString> germanTexts;
    for (const auto& [key, fields] : german) germanTexts.insert(fields.begin(), fields.end());
    std::set<QString> only;
    for (const auto& [key, fields] : english) {
        auto found = german.find(key);
        if (found == german.end()) continue; // not translated: the same in both
        for (const QString& f : fields)
            if (f.count(QRegularExpression("[a-z]")) >= 3 && !germanTexts.count(f)) only.insert(f);
    }
    return only;
}

void Check(const QString& text, const QString& where, const std::set<QString>& english,
           std::set<std::string>& found) {
    const QString plain = Plain(text);
    if (!plain.isEmpty() && english.count(plain))
        found.insert((where + ": " + plain).toStdString());
}

void WalkActions(const QList<QAction*>& actions, const QString& where,
                 const std::set<QString>& english, std::set<std::string>& found) {
    for (QAction* a : actions) {
        if (!a->isVisible()) continue;
        Check(a->text(), where, english, found);
        Check(a->toolTip(), where, english, found);
        if (a->menu() != nullptr) WalkActions(a->menu()->actions(), where, english, found);
    }
}

// Every visible widget below root, with its texts, hints and items.
void Walk(QWidget* root, const std::set<QString>& english, std::set<std::string>& found) {
    const QString where = root->objectName();
    Check(root->windowTitle(), where, english, found);
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (w != root && !w->isVisibleTo(root)) continue;
        const QString name = where + "/" + w->objectName();
        Check(w->toolTip(), name, english, found);
        if (auto* l = qobject_cast<QLabel*>(w)) Check(l->text(), name, english, found);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) Check(b->text(), name, english, found);
        if (auto* g = qobject_cast<QGroupBox*>(w)) Check(g->title(), name, english, found);
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) Check(c->itemText(i), name, english, found);
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) Check(t->tabText(i), name, english, found);
        WalkActions(w->actions(), name, english, found);
    }
}

TEST_F(KvTest, GermanWindowsShowNoEnglishText) {
    InstallLanguage("English");
    InstallLanguage("German");
    {
        kv::SettingsStore store(settingsPath_);
        ASSERT_TRUE(kv::WriteLanguage(store, "German"));
    }
    const std::set<QString> english = EnglishOnly();
    ASSERT_GT(english.size(), 100u);
    ASSERT_TRUE(english.count("Continuous Freehand")) << "tool names are among them";
    Run({}, [&](kv::TMainForm& form) {
        std::set<std::string> found;
        Walk(&form, english, found);
        WalkActions(form.menuBar()->actions(), "Menu", english, found);
        // Each parameter bar as its tools show it.
        std::string shown;
        for (const kv::ToolRecord& t : form.ToolFw().ToolTable()) {
            const std::string bar = t.Tool != nullptr ? t.Tool->BarName : "";
            if (bar.empty() || bar == shown) continue;
            form.HideToolBar(shown, bar);
            form.ShowToolBar(bar);
            shown = bar;
            Walk(form.ParamToolBar(), english, found);
        }
        form.GridToolBar()->show();
        Walk(form.GridToolBar(), english, found);

        form.ShowColorDialog(false);
        Walk(form.ColorDialog(), english, found);
        form.ColorDialog()->reject();
        auto prefs = form.CreatePreferencesDialog();
        Walk(prefs.get(), english, found);
        kv::TNewForm newForm(&form, 640, 480);
        Walk(&newForm, english, found);
        kv::TCFilterForm filter(&form);
        Walk(&filter, english, found);
        kv::TFFactForm factory(&form);
        Walk(&factory, english, found);
        QPrinter printer;
        kv::TPrintForm print(&form, printer, {{"Drucker", true}},
                             {QImage(8, 8, QImage::Format_RGB32), "Titel", "/tmp/x.pdf"});
        Walk(&print, english, found);
        kv::TInfoForm info(&form, "x", form.Docs().CurrentImage(), form.Paintbox().Brush.Brush,
                           kv::kBrushTransparent);
        Walk(&info, english, found);
        kv::TOpenPlus openPlus;
        Walk(&openPlus, english, found);
        EXPECT_TRUE(found.empty()) << ::testing::PrintToString(found);
    });
}

} // namespace
