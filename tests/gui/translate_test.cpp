// Window sections applied to real widgets, and German chosen by the stored
// "Language" value retitling the main window and its messages.
#include "harness.h"

#include "keys.h"
#include "lang_qt.h"
#include "lngcodec.h"
#include "preferences.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <fstream>
#include <map>

namespace fs = std::filesystem;
using kvtest::KvTest;

namespace {

void WriteLanguage(const std::string& path, const std::string& text) {
    const auto packed = lng::Pack(text);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(packed.data()), std::streamsize(packed.size()));
}

// Two windows: "Preferences" with nested controls, and "MainForm" with a
// label of the same name as one in the first window.
struct Windows {
    QWidget prefs, main;
    QLabel* title;
    QPushButton* ok;
    QComboBox* entries;
    QListWidget* langs;
    QGroupBox* level;
    QRadioButton *novice, *expert;
    QSpinBox* length;
    QLabel* prefsZoom;
    QLabel* mainZoom;

    Windows() {
        prefs.setObjectName("Preferences");
        main.setObjectName("MainForm");
        auto* layout = new QVBoxLayout(&prefs);
        auto* page = new QWidget;
        page->setObjectName("GeneralPage");
        layout->addWidget(page);
        auto* pageLayout = new QVBoxLayout(page);
        title = new QLabel("Title");
        title->setObjectName("TitleLabel");
        ok = new QPushButton("&Ok");
        ok->setObjectName("OkBtn");
        entries = new QComboBox;
        entries->setObjectName("PalEntries");
        entries->addItems({"a", "b", "c", "d"});
        entries->setCurrentIndex(2);
        langs = new QListWidget;
        langs->setObjectName("LangList");
        langs->addItems({"x", "y", "z"});
        langs->setCurrentRow(1);
        level = new QGroupBox("Level");
        level->setObjectName("LevelGroup");
        novice = new QRadioButton("Novice", level);
        expert = new QRadioButton("Expert", level);
        novice->setChecked(true);
        length = new QSpinBox;
        length->setObjectName("FileListLength");
        length->setRange(0, 16);
        prefsZoom = new QLabel("zoom");
        prefsZoom->setObjectName("ZoomLabel");
        for (QWidget* w :
             std::initializer_list<QWidget*>{title, ok, entries, langs, level, length, prefsZoom})
            pageLayout->addWidget(w);
        mainZoom = new QLabel("main zoom", &main);
        mainZoom->setObjectName("ZoomLabel");
    }
};

TEST_F(KvTest, TranslateSectionSetsCaptionsHintsAndItems) {
    WriteLanguage(programDir_ + "Test.lng", "[Messages]\n"
                                            "X=y\n"
                                            "[Preferences]\n"
                                            "Caption=Einstellungen\n"
                                            "; OkBtn.Caption=commented out\n"
                                            "titlelabel.Caption=@Titel@\n"
                                            "OkBtn.Caption=&Gut   \n"
                                            "OkBtn.Hint=Annehmen\n"
                                            "PalEntries.Items=8|12|16\n"
                                            "LangList.Items=Deutsch|English|\n"
                                            "LevelGroup.Caption=Stufe\n"
                                            "LevelGroup.Items=Anfänger|Experte\n"
                                            "LevelGroup.ItemIndex=1\n"
                                            "FileListLength.Maximum=32\n"
                                            "FileListLength.Value=20\n"
                                            "FileListLength.Nonsense=1\n"
                                            "Missing.Caption=nowhere\n"
                                            "TitleLabel.Hint=\n"
                                            " GeneralPage . ZoomLabel . Caption = nested\n"
                                            ">=MainForm\n"
                                            "ZoomLabel.Caption=Z\n"
                                            "[Other]\n"
                                            "OkBtn.Caption=not this section\n");
    Windows w;
    w.prefs.show();
    w.main.show();
    kv::TLang lang(programDir_);
    ASSERT_TRUE(lang.LoadLanguage("Test"));
    kv::TranslateSection(lang, "[Preferences]");

    EXPECT_EQ(w.prefs.windowTitle().toStdString(), "Einstellungen");
    EXPECT_EQ(w.title->text().toStdString(), " Titel ");
    EXPECT_EQ(w.title->toolTip().toStdString(), "") << "empty values change nothing";
    EXPECT_EQ(w.ok->text().toStdString(), "&Gut");
    EXPECT_EQ(w.ok->toolTip().toStdString(), "Annehmen");
    ASSERT_EQ(w.entries->count(), 3);
    EXPECT_EQ(w.entries->itemText(2).toStdString(), "16");
    EXPECT_EQ(w.entries->currentIndex(), 0) << "a combo box shows its first item";
    ASSERT_EQ(w.langs->count(), 3) << "the piece after the last | is an item too";
    EXPECT_EQ(w.langs->item(2)->text().toStdString(), "");
    EXPECT_EQ(w.langs->currentRow(), 1) << "the item index survives";
    EXPECT_EQ(w.level->title().toStdString(), "Stufe");
    EXPECT_EQ(w.novice->text().toStdString(), "Anfänger");
    EXPECT_TRUE(w.expert->isChecked());
    EXPECT_EQ(w.length->maximum(), 32);
    EXPECT_EQ(w.length->value(), 20);
    EXPECT_EQ(w.prefsZoom->text().toStdString(), " nested") << "the value loses trailing blanks";
    EXPECT_EQ(w.mainZoom->text().toStdString(), "Z") << "> switched to the main window";
}

TEST_F(KvTest, GermanChosenByTheStoredLanguageRetitlesMenusAndMessages) {
    InstallLanguage("English");
    InstallLanguage("German");
    {
        kv::SettingsStore store(settingsPath_);
        ASSERT_TRUE(kv::WriteLanguage(store, "German"));
    }
    Run({"-x"}, [](kv::TMainForm& form) {
        QStringList menus;
        for (QAction* a : form.menuBar()->actions()) menus << a->text();
        EXPECT_EQ(menus.join(',').toStdString(),
                  "&Datei,&Pinsel,&Bild,&Effekte,&Techniken,&Optionen,&Fenster,&Hilfe");
        EXPECT_EQ(form.MenuCommand("SaveAs1")->text().toStdString(), "Speichern &unter...");
        EXPECT_EQ(kv::Translate(key::Untitled), "Unbenannt");
        EXPECT_EQ(form.PanelText(0).toStdString(), "[1] Unbenannt");
        EXPECT_EQ(form.Language()->Languages, (std::vector<std::string>{"English", "German"}));
        EXPECT_EQ(kv::Translate("Continuous Freehand"), "Freihand durchgehend");
    });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Caption, "Fehler");
    EXPECT_EQ(shown_[0].Text.rfind("Ungültiger Schalter", 0), 0u);
}

// Appends "menu: letter" for every accelerator letter that two visible
// entries of one menu share; submenus are walked too.
void SharedAccelerators(const QMenu* menu, std::vector<std::string>& clashes) {
    std::map<QChar, QString> seen;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        if (a->menu() != nullptr) SharedAccelerators(a->menu(), clashes);
        const QString text = a->text();
        for (qsizetype i = text.indexOf('&'); i >= 0 && i + 1 < text.size();
             i = text.indexOf('&', i + 2)) {
            if (text[i + 1] == '&') continue;
            const QChar letter = text[i + 1].toLower();
            if (seen.count(letter) != 0)
                clashes.push_back(
                    (menu->title() + ": " + seen[letter] + " / " + text).toStdString());
            seen[letter] = text;
            break;
        }
    }
}

TEST_F(KvTest, EveryMenuHasUniqueAcceleratorsInEveryLanguage) {
    InstallLanguage("English");
    InstallLanguage("German");
    for (const char* language : {"English", "German"}) {
        SCOPED_TRACE(language);
        {
            kv::SettingsStore store(settingsPath_);
            ASSERT_TRUE(kv::WriteLanguage(store, language));
        }
        Run({}, [](kv::TMainForm& form) {
            std::vector<std::string> clashes;
            for (QAction* a : form.menuBar()->actions())
                if (a->menu() != nullptr) SharedAccelerators(a->menu(), clashes);
            EXPECT_TRUE(clashes.empty()) << ::testing::PrintToString(clashes);
        });
    }
}

TEST_F(KvTest, EveryControlNamedByTheGermanTranslationsExists) {
    InstallLanguage("German");
    Run({}, [](kv::TMainForm& form) {
        std::ifstream in(fs::path(VM_LANG_DIR) / "German.txt");
        bool inSection = false;
        int checked = 0;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] == '[') {
                inSection = line == "[Translations]";
                continue;
            }
            if (!inSection || line.empty() || line[0] == ';' || line[0] == '>') continue;
            const std::string path = line.substr(0, line.find('='));
            const std::string name = path.substr(0, path.find('.'));
            EXPECT_NE(form.findChild<QObject*>(QString::fromStdString(name)), nullptr) << name;
            ++checked;
        }
        EXPECT_GT(checked, 50);
    });
}

TEST_F(KvTest, MissingLanguageFileKeepsTheKeys) {
    {
        kv::SettingsStore store(settingsPath_);
        ASSERT_TRUE(kv::WriteLanguage(store, "Klingon"));
    }
    Run({}, [](kv::TMainForm& form) {
        EXPECT_EQ(form.PanelText(0).toStdString(), "[1] Untitled");
        EXPECT_EQ(form.MenuCommand("Save1")->text().toStdString(), "&Save");
    });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "Can't Load Language File");
    EXPECT_EQ(shown_[0].Caption, "Error");
}

} // namespace

// A first start uses the installed English file; a stored empty choice
// keeps the built-in texts (the keys themselves).
TEST_F(KvTest, FirstStartUsesEnglishUnlessAChoiceIsStored) {
    InstallLanguage("English");
    Run({"-x"}, [](kv::TMainForm& form) {
        EXPECT_EQ(form.Prefs().Language, "English");
        EXPECT_EQ(kv::Translate("LnEnd"), "Line: end");
    });
    {
        kv::SettingsStore store(settingsPath_);
        ASSERT_TRUE(kv::WriteLanguage(store, ""));
    }
    Run({"-x"}, [](kv::TMainForm& form) {
        EXPECT_EQ(form.Prefs().Language, "");
        EXPECT_EQ(kv::Translate("LnEnd"), "LnEnd");
    });
}
