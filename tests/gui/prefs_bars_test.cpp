// The preferences dialog and the parameter bars in the real main window.
#include "harness.h"

#include "bars/parambar.h"
#include "colors/palettebar.h"
#include "colors/swatch.h"
#include "files/filecommands.h"
#include "lang.h"
#include "platform/mimelinks.h"
#include "preferences.h"
#include "prefs/prefsdialog.h"
#include "view/tbuffer.h"

#include <lngcodec.h>
#include <pixkit/gfxfile.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A format with two extensions of two MIME types that only these tests know.
class TwoExtensionFormat : public pixkit::GFXFile {
  public:
    TwoExtensionFormat() : GFXFile("Two extensions", "*.KVTA;*.KVTB", false) {}
    std::int8_t Test(pixkit::TStream*, pixkit::GFXFileDesc*) override { return 0; }
    void Load(pixkit::Buffer&, pixkit::TStream*, pixkit::GFXtra32*) override {}
    int GetImgCount(pixkit::TStream*) override { return 0; }
};
TwoExtensionFormat gTwoExtensionFormat;

class PrefsGui : public kvtest::KvTest {
  protected:
    void SetUp() override {
        KvTest::SetUp();
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* v = std::getenv(var);
            saved_.emplace_back(var, v ? v : "");
        }
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    }
    void TearDown() override {
        for (auto& [var, value] : saved_) ::setenv(var.c_str(), value.c_str(), 1);
        KvTest::TearDown();
    }
    // A language file "Bars" with test descriptors, chosen in the store.
    void UseBarLanguage() {
        const auto packed = lng::Pack("[Messages]\n"
                                      "LINEBAR=Line,I,Width,1,100,1,Line Width\n"
                                      "EXPERTBAR=Line,II,Width,1,100,1,Line Width\n"
                                      "MIXBAR=Mix,L,Mode:,2,a,b,hint,S,T,Text,hint,"
                                      "CC,Tick,1,hint,O,Col:,102030,hint,P,BOLD,Bold,"
                                      "F,Scale:,2,0,10,2.5,hint,B,Go,hint,N,Font\n");
        std::ofstream(programDir_ + "Bars.lng", std::ios::binary)
            .write(reinterpret_cast<const char*>(packed.data()), std::streamsize(packed.size()));
        kv::SettingsStore store(settingsPath_);
        ASSERT_TRUE(kv::WriteLanguage(store, "Bars"));
    }
    static QListWidgetItem* FormatItem(kv::TPreferences& d, const char* desc) {
        const auto found = d.ExtensList()->findItems(desc, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(PrefsGui, EmptyStoreShowsTheDefaults) {
    Run({}, [](kv::TMainForm& form) {
        auto d = form.CreatePreferencesDialog();
        EXPECT_TRUE(d->windowFlags() & Qt::WindowStaysOnTopHint);
        const kv::Preferences p = d->Chosen();
        EXPECT_FALSE(p.Clipping || p.OptimBrush || p.AntiAlias || p.BackupFiles || p.CacheThumbs);
        EXPECT_EQ(p.Level, 0);
        EXPECT_EQ(d->PaletteEntries()->currentText(), "8");
        EXPECT_EQ(d->FileListLength()->value(), 6);
        EXPECT_EQ(p.Language, "");
        EXPECT_EQ(d->ExtensList()->count(), [] {
            int n = 0;
            for (auto* f = pixkit::GFXFile::Formats(); f != nullptr; f = f->Next) ++n;
            return n;
        }());
        QListWidgetItem* bmp = FormatItem(*d, "Windows Bitmap");
        ASSERT_NE(bmp, nullptr);
        EXPECT_EQ(bmp->checkState(), Qt::Unchecked);
        EXPECT_FALSE(bmp->flags() & Qt::ItemIsUserTristate);
    });
}

TEST_F(PrefsGui, MixedFormatOpensGreyedAndUntickingUnlinksBoth) {
    Run({}, [](kv::TMainForm& form) {
        form.Links().Link(".kvta");
        auto d = form.CreatePreferencesDialog();
        QListWidgetItem* item = FormatItem(*d, "Two extensions");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->checkState(), Qt::PartiallyChecked);
        EXPECT_TRUE(item->flags() & Qt::ItemIsUserTristate) << "greyed can be chosen again";
        item->setCheckState(Qt::Unchecked);
        QListWidgetItem* bmp = FormatItem(*d, "Windows Bitmap");
        bmp->setCheckState(Qt::Checked);
        form.ApplyPreferences(*d, true);
        EXPECT_FALSE(form.Links().IsLinked(".kvta"));
        EXPECT_FALSE(form.Links().IsLinked(".kvtb"));
        EXPECT_TRUE(form.Links().IsLinked(".bmp"));
        EXPECT_TRUE(form.Links().IsLinked(".dib") ||
                    kv::FileTypeLinks::MimeTypeOf(".dib") != "image/bmp");
    });
}

TEST_F(PrefsGui, CancelUndoesTheLiveEffects) {
    Run({}, [](kv::TMainForm& form) {
        auto d = form.CreatePreferencesDialog();
        bool antiAlias = false;
        QObject::connect(&form, &kv::TMainForm::TextPreviewAntiAlias,
                         [&](bool on) { antiAlias = on; });
        d->PaletteEntries()->setCurrentIndex(4);
        EXPECT_EQ(form.Palette()->Layout().Count, 32) << "the bar follows at once";
        d->AntiAliasBox()->setChecked(true);
        EXPECT_TRUE(antiAlias);
        d->FileListLength()->setValue(3);
        EXPECT_EQ(form.Files().Recent().Capacity(), 3);
        form.ApplyPreferences(*d, false);
        EXPECT_EQ(form.Palette()->Layout().Count, 8);
        EXPECT_FALSE(antiAlias);
        EXPECT_EQ(form.Prefs().MRUFiles, 6);
        EXPECT_EQ(form.Files().Recent().Capacity(), 3) << "the list keeps its length for the run";
        EXPECT_FALSE(form.Prefs().AntiAlias);

        d = form.CreatePreferencesDialog();
        d->PaletteEntries()->setCurrentIndex(2);
        d->FileListLength()->setValue(16);
        form.ApplyPreferences(*d, true);
        EXPECT_EQ(form.Prefs().Palette, 2);
        EXPECT_EQ(form.Prefs().MRUFiles, 16);
        EXPECT_EQ(form.Palette()->Layout().Count, 16);
    });
    // Stored at shutdown.
    const kv::Preferences back = kv::ReadPreferences(kv::SettingsStore(settingsPath_));
    EXPECT_EQ(back.Palette, 2);
    EXPECT_EQ(back.MRUFiles, 16);
}

TEST_F(PrefsGui, ChoosingALanguageLoadsAndStoresIt) {
    InstallLanguage("German");
    Run({}, [this](kv::TMainForm& form) {
        auto d = form.CreatePreferencesDialog();
        const auto items = d->LanguageList()->findItems("German", Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        d->LanguageList()->setCurrentItem(items.first());
        form.ApplyPreferences(*d, true);
        EXPECT_EQ(form.Prefs().Language, "German");
        EXPECT_EQ(kv::Translate("Untitled"), "Unbenannt");
        EXPECT_EQ(kv::ReadPreferences(kv::SettingsStore(settingsPath_)).Language, "German")
            << "written at once";
        // The dialog translates itself from its own section (found by its
        // window name, so the previous dialog goes first).
        d.reset();
        d = form.CreatePreferencesDialog();
        EXPECT_EQ(d->Pages()->tabText(0), "Allgemein");
        EXPECT_EQ(d->windowTitle(), "Einstellungen");
        EXPECT_EQ(d->AntiAliasBox()->text(), "&Kantenglättung (Strg+T)");
        EXPECT_EQ(form.Palette()->DrawCol()->toolTip(), "Zeichenfarbe");
        // A language whose file went away: message, nothing changes.
        fs::copy_file(programDir_ + "German.lng", programDir_ + "Gone.lng");
        form.Language()->SearchLanguages();
        d = form.CreatePreferencesDialog();
        d->LanguageList()->setCurrentItem(
            d->LanguageList()->findItems("Gone", Qt::MatchExactly)[0]);
        fs::remove(programDir_ + "Gone.lng");
        form.ApplyPreferences(*d, true);
        EXPECT_EQ(form.Prefs().Language, "German");
    });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "Die Sprachdatei wurde nicht gefunden.");
}

// What a user reads of the main window: menus and their commands, tool
// hints, and the buttons of Qt's own message boxes.
std::string VisibleTexts(kv::TMainForm& form) {
    QStringList texts;
    for (QAction* menu : form.menuBar()->actions()) {
        texts << menu->text();
        if (menu->menu() != nullptr)
            for (QAction* a : menu->menu()->actions()) texts << a->text();
    }
    for (QAbstractButton* b : form.findChildren<QAbstractButton*>())
        if (b->objectName().startsWith("ToolIcon")) texts << b->toolTip();
    texts << QCoreApplication::translate("QPlatformTheme", "&Yes");
    return texts.join('|').toStdString();
}

TEST_F(PrefsGui, LanguagesSwitchBothWaysAndAnUnreadableFileIsRefused) {
    InstallLanguage("English");
    InstallLanguage("German");
    std::ofstream(programDir_ + "Broken.lng", std::ios::binary) << "not a language file";
    Run({}, [](kv::TMainForm& form) {
        auto choose = [&form](const char* language) {
            auto d = form.CreatePreferencesDialog();
            const auto items = d->LanguageList()->findItems(language, Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1) << language;
            d->LanguageList()->setCurrentItem(items.first());
            form.ApplyPreferences(*d, true);
        };
        auto hint = [&form](const char* icon) {
            return form.findChild<QAbstractButton*>(icon)->toolTip().toStdString();
        };
        const std::string english = VisibleTexts(form), lineHint = hint("ToolIcon2");
        EXPECT_NE(english.find("&File|&New..."), std::string::npos) << english;
        EXPECT_NE(english.find("|&Yes"), std::string::npos);
        choose("German");
        const std::string german = VisibleTexts(form);
        EXPECT_NE(german.find("&Datei|&Neu..."), std::string::npos) << german;
        // Every icon's hint, not only the current tool's.
        EXPECT_NE(hint("ToolIcon2"), lineHint);
        EXPECT_NE(german.find("|&Ja"), std::string::npos) << "Qt's own buttons";
        choose("English");
        EXPECT_EQ(VisibleTexts(form), english);
        choose("German");
        EXPECT_EQ(VisibleTexts(form), german);
        // A file that cannot be decoded is refused; German stays.
        choose("Broken");
        EXPECT_EQ(form.Prefs().Language, "German");
        EXPECT_EQ(VisibleTexts(form), german);
        EXPECT_EQ(kv::Translate("Untitled"), "Unbenannt");
    });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].Text, "Die Sprachdatei kann nicht geladen werden.");
}

TEST_F(PrefsGui, TogglesOfCtrlLAndCtrlT) {
    Run({}, [](kv::TMainForm& form) {
        int clippingSignals = 0;
        QObject::connect(&form, &kv::TMainForm::ClippingChanged, [&] { ++clippingSignals; });
        form.ToggleClipping();
        EXPECT_TRUE(form.Prefs().Clipping);
        EXPECT_EQ(clippingSignals, 1);
        form.ToggleAntiAlias();
        form.ToggleAntiAlias();
        EXPECT_FALSE(form.Prefs().AntiAlias);
    });
    EXPECT_TRUE(kv::ReadPreferences(kv::SettingsStore(settingsPath_)).Clipping);
}

using BarsGui = PrefsGui;

TEST_F(BarsGui, LineDescriptorBuildsOneLabelledField) {
    UseBarLanguage();
    Run({}, [](kv::TMainForm& form) {
        form.ShowToolBar("LINEBAR");
        EXPECT_TRUE(form.ParamToolBar()->isVisibleTo(&form));
        EXPECT_EQ(form.ParamToolBar()->findChild<QLabel*>("BarCaption")->text(), "Line");
        kv::TParamBar& bar = form.ParamBar();
        ASSERT_EQ(bar.ControlCount(), 1);
        auto* field = qobject_cast<QSpinBox*>(bar.Control(0));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->minimum(), 1);
        EXPECT_EQ(field->maximum(), 100);
        EXPECT_EQ(form.GetBarValue(0), 1);
        EXPECT_EQ(field->toolTip(), "Line Width");
        EXPECT_EQ(field->property("tag").toInt(), 5);
        // Clicking the label gives the focus to the field.
        QLabel* label = nullptr;
        for (QLabel* l : form.ParamToolBar()->findChildren<QLabel*>())
            if (l->text() == "Width") label = l;
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->toolTip(), "Line Width");
        form.activateWindow();
        QTest::mouseClick(label, Qt::LeftButton);
        QWidget* focus = form.focusWidget();
        EXPECT_TRUE(focus == field || field->isAncestorOf(focus));
        EXPECT_EQ(form.GetBarValue(7), 0) << "a missing index reads 0";
    });
}

TEST_F(BarsGui, LevelFilteringKeepsIndicesAndALevelChangeRebuilds) {
    UseBarLanguage();
    Run({}, [](kv::TMainForm& form) {
        form.ShowToolBar("EXPERTBAR");
        form.GridToolBar()->show();
        QApplication::processEvents();
        auto* gridButton = form.findChild<QPushButton*>("GridOrigBtn");
        EXPECT_FALSE(gridButton->isVisibleTo(&form)) << "the grid bar follows the level too";
        // Both bars at the bottom: the grid bar under the parameter bar.
        EXPECT_GE(form.GridToolBar()->geometry().top(), form.ParamToolBar()->geometry().bottom());
        ASSERT_EQ(form.ParamBar().ControlCount(), 1);
        QWidget* field = form.ParamBar().Control(0);
        EXPECT_FALSE(field->isVisibleTo(&form)) << "novice users do not see level 1";
        EXPECT_FALSE(field->isEnabled());
        EXPECT_EQ(field->property("tag").toInt(), 4096 + 5);
        form.SetBarValue(0, 42);
        auto d = form.CreatePreferencesDialog();
        d->ExpertButton()->setChecked(true);
        form.ApplyPreferences(*d, true);
        EXPECT_EQ(form.ParamBar().BuiltLevel(), 1);
        field = form.ParamBar().Control(0);
        EXPECT_TRUE(field->isVisibleTo(&form));
        EXPECT_TRUE(field->isEnabled());
        EXPECT_EQ(form.GetBarValue(0), 1) << "a rebuilt bar starts from the descriptor";
        QApplication::processEvents();
        EXPECT_TRUE(gridButton->isVisibleTo(&form));
    });
}

TEST_F(BarsGui, SameBarIsKeptAnotherIsBuilt) {
    UseBarLanguage();
    Run({}, [](kv::TMainForm& form) {
        form.ShowToolBar("LINEBAR");
        form.SetBarValue(0, 17);
        // "Single Line" to "Continuous Line": the same bar.
        form.HideToolBar("LINEBAR", "LINEBAR");
        form.ShowToolBar("LINEBAR");
        EXPECT_EQ(form.GetBarValue(0), 17);
        form.HideToolBar("LINEBAR", "MIXBAR");
        EXPECT_FALSE(form.ParamToolBar()->isVisibleTo(&form));
        form.ShowToolBar("MIXBAR");
        kv::TParamBar& bar = form.ParamBar();
        ASSERT_EQ(bar.ControlCount(), 7) << "list, check, colour, picture, number, button, font";
        EXPECT_EQ(bar.Kind(0), kv::BarControl::List);
        EXPECT_EQ(form.GetBarValue(0), 0);
        form.SetBarValue(0, 1.9);
        EXPECT_EQ(form.GetBarValue(0), 1) << "item index = trunc(value)";
        EXPECT_EQ(form.GetBarValue(1), 1) << "hidden at level 0, ticked and kept";
        form.SetBarValue(1, 0);
        EXPECT_EQ(form.GetBarValue(2), 0x102030);
        form.SetBarValue(2, 0xFF8000);
        EXPECT_EQ(static_cast<kv::TColorSwatch*>(bar.Control(2))->Color(), 0xFF8000u);
        EXPECT_EQ(form.GetBarValue(3), 0);
        form.SetBarValue(3, 1);
        EXPECT_EQ(form.GetBarValue(3), 1) << "a picture button stays down";
        EXPECT_DOUBLE_EQ(form.GetBarValue(4), 2.5);
        form.SetBarValue(4, 7.25);
        EXPECT_DOUBLE_EQ(form.GetBarValue(4), 7.25);
        EXPECT_EQ(bar.Control(6)->width(), 190);

        int changes = 0, presses = 0;
        form.BindBarHandler(0, [&] { ++changes; });
        form.BindBarHandler(4, [&] { ++changes; });
        form.BindBarMouseDown(2, [&](QMouseEvent*) { ++presses; });
        // Binding again (a tool activated on the kept bar) replaces the handler.
        form.BindBarHandler(0, [&] { ++changes; });
        form.BindBarMouseDown(2, [&](QMouseEvent*) { ++presses; });
        form.SetBarValue(0, 0);
        form.SetBarValue(4, 1);
        EXPECT_EQ(changes, 2);
        QTest::mouseClick(bar.Control(2), Qt::LeftButton);
        EXPECT_EQ(presses, 1);

        // A bar name the language does not define: its name as caption only.
        form.HideToolBar("MIXBAR", "NOSUCHBAR");
        form.ShowToolBar("NOSUCHBAR");
        EXPECT_EQ(form.ParamToolBar()->findChild<QLabel*>("BarCaption")->text(), "NOSUCHBAR");
        EXPECT_EQ(bar.ControlCount(), 0);
        form.HideToolBar("", "LINEBAR");
        EXPECT_TRUE(form.ParamToolBar()->isVisibleTo(&form)) << "no old bar: nothing";
        form.ShowToolBar("");
        EXPECT_EQ(bar.BuiltName(), "NOSUCHBAR");
    });
}

TEST_F(BarsGui, PointerStaysOverTheSameImagePoint) {
    UseBarLanguage();
    Run({}, [](kv::TMainForm& form) {
        form.resize(700, 500);
        QApplication::processEvents();
        kv::TBuffer* view = form.ShowBuf();
        const QPoint at = view->rect().center() + QPoint(0, view->height() / 3);
        QCursor::setPos(view->mapToGlobal(at));
        if (view->mapFromGlobal(QCursor::pos()) != at) GTEST_SKIP() << "no pointer here";
        const pixkit::Pair<int> before = form.ViewToImage(at);
        ASSERT_TRUE(form.InsideImage(before));
        form.ShowToolBar("MIXBAR");
        QApplication::processEvents();
        const QPoint moved = view->mapFromGlobal(QCursor::pos());
        EXPECT_EQ(form.ViewToImage(moved).x, before.x);
        EXPECT_EQ(form.ViewToImage(moved).y, before.y);
        form.HideToolBar("MIXBAR", "LINEBAR");
        QApplication::processEvents();
        EXPECT_EQ(form.ViewToImage(view->mapFromGlobal(QCursor::pos())).y, before.y);
    });
}

TEST_F(BarsGui, EnglishLanguageBuildsTheTextBar) {
    InstallLanguage("English");
    {
        kv::SettingsStore store(settingsPath_);
        ASSERT_TRUE(kv::WriteLanguage(store, "English"));
    }
    Run({}, [](kv::TMainForm& form) {
        form.ShowToolBar("TEXTBAR");
        EXPECT_EQ(form.ParamToolBar()->findChild<QLabel*>("BarCaption")->text(), "Text  ");
        EXPECT_EQ(form.ParamBar().ControlCount(), 11);
        EXPECT_EQ(form.GetBarValue(1), 16) << "font size";
        EXPECT_EQ(form.GetBarValue(8), 2) << "shadow distance";
        EXPECT_FALSE(form.ParamBar().Control(9)->isEnabled()) << "expert-only scale";
    });
}

} // namespace
