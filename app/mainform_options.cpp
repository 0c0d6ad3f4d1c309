// The Options and Help menus.
#include "mainform.h"

#include "aboutpanel.h"
#include "bars/shelfdock.h"
#include "colors/palettebar.h"
#include "keys.h"
#include "lang_qt.h"
#include "platform/helpindex.h"
#include "platform/mimelinks.h"
#include "prefs/prefsdialog.h"
#include "recovery.h"
#include "tools/framework.h"

#include <pixkit/gfxfile.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QToolBar>

#include <fstream>

namespace kv {

void TMainForm::BuildOptionsMenu() {
    QMenu* m = AddSubMenu(nullptr, "Options1", "&Options");
    QAction* prefs = AddCommand(m, "Preferences1", "Preferences...");
    prefs->setEnabled(true);
    connect(prefs, &QAction::triggered, this, [this] { Preferences1Click(); });
    m->addSeparator();
    QAction* tools = AddCommand(m, "ToolbarVisible1", "&Toolbar Visible");
    QAction* palette = AddCommand(m, "PaletteVisible1", "&Palette Visible");
    QAction* shelf = AddCommand(m, "ShelfVisible1", "&Brush Shelf Visible");
    for (QAction* a : {tools, palette, shelf}) {
        a->setCheckable(true);
        a->setEnabled(true);
    }
    connect(tools, &QAction::triggered, this, [this](bool on) { toolBar_->setVisible(on); });
    connect(palette, &QAction::triggered, this, [this](bool on) { paletteBar_->setVisible(on); });
}

void TMainForm::Preferences1Click() {
    std::unique_ptr<TPreferences> dialog = CreatePreferencesDialog();
    ApplyPreferences(*dialog, dialog->exec() == QDialog::Accepted);
}

std::unique_ptr<TPreferences> TMainForm::CreatePreferencesDialog() {
    tools_->ReturnToPreviousTool(true);
    std::vector<FormatEntry> formats;
    std::vector<LinkState> states;
    for (pixkit::GFXFile* f = pixkit::GFXFile::Formats(); f != nullptr; f = f->Next) {
        formats.push_back({f->Desc, f->Mask});
        states.push_back(
            FormatLinkState(f->Mask, [this](const std::string& e) { return links_->IsLinked(e); }));
    }
    PrefsLiveHooks hooks;
    hooks.Palette = [this](int index) { palette_->SetPaletteCount(LayoutForIndex(index).Count); };
    hooks.AntiAlias = [this](bool on) { Q_EMIT TextPreviewAntiAlias(on); };
    hooks.RecentLength = [this](int length) { Q_EMIT RecentLengthChanged(length); };
    auto dialog = std::make_unique<TPreferences>(
        this, prefs_, std::move(formats), states,
        lang_ ? lang_->Languages : std::vector<std::string>{}, std::move(hooks));
    if (lang_) TranslateSection(*lang_, "[Preferences]");
    dialog->adjustSize();
    const QPoint centre = centralWidget()->mapToGlobal(centralWidget()->rect().center());
    dialog->move(centre - QPoint(dialog->width() / 2, dialog->height() / 2));
    return dialog;
}

void TMainForm::ApplyPreferences(TPreferences& dialog, bool ok) {
    if (!ok) {
        // Undo the live effects; the recent-files length stays for the run.
        Q_EMIT TextPreviewAntiAlias(prefs_.AntiAlias);
        palette_->SetPaletteCount(LayoutForIndex(prefs_.Palette).Count);
        return;
    }
    const Preferences chosen = dialog.Chosen();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (std::size_t i = 0; i < dialog.Formats().size(); ++i)
        ApplyLinkState(
            dialog.Formats()[i].Mask, dialog.InitialLink(i), dialog.ChosenLink(i),
            [this](const std::string& e) { links_->Link(e); },
            [this](const std::string& e) { links_->Unlink(e); });
    bool newLanguage = false;
    if (!chosen.Language.empty() && lang_) {
        const std::string file = context_.ProgramDir + chosen.Language + ".lng";
        if (!std::ifstream(file, std::ios::binary)) {
            MessageBoxKey(key::CantFindLngFile, key::Err, kExclamation);
        } else if (chosen.Language != prefs_.Language && ApplyLanguage(*lang_, chosen.Language)) {
            // A file that cannot be read or decoded was refused with its
            // message, and the language in use stays.
            prefs_.Language = chosen.Language;
            tools_->Retranslate();
            RefreshDocumentLabel();
            WriteLanguage(*store_, prefs_.Language);
            newLanguage = true;
        }
    }
    if (chosen.Level != prefs_.Level || newLanguage) {
        prefs_.Level = chosen.Level;
        RebuildParameterBar();
        ApplyGridBarLevel();
    }
    QApplication::restoreOverrideCursor();
    const bool clippingChanged = chosen.Clipping != prefs_.Clipping;
    prefs_.Clipping = chosen.Clipping;
    prefs_.OptimBrush = chosen.OptimBrush;
    prefs_.AntiAlias = chosen.AntiAlias;
    prefs_.BackupFiles = chosen.BackupFiles;
    prefs_.CacheThumbs = chosen.CacheThumbs;
    prefs_.Palette = chosen.Palette;
    prefs_.MRUFiles = chosen.MRUFiles;
    prefs_.UndoMemory = chosen.UndoMemory;
    prefs_.UndoSteps = chosen.UndoSteps;
    prefs_.ClassicUndo = chosen.ClassicUndo;
    prefs_.RecoverySeconds = chosen.RecoverySeconds;
    prefs_.TabletPressure = chosen.TabletPressure;
    prefs_.MinPressure = chosen.MinPressure;
    ApplyUndoPreferences();
    recovery_->SetInterval(prefs_.RecoverySeconds);
    if (clippingChanged) ClippingSwitched();
}

void TMainForm::ClippingSwitched() {
    RecomputeDrawingView();
    Q_EMIT ClippingChanged();
}

void TMainForm::ToggleClipping() {
    prefs_.Clipping = !prefs_.Clipping;
    ClippingSwitched();
}

void TMainForm::ToggleAntiAlias() {
    prefs_.AntiAlias = !prefs_.AntiAlias;
    Q_EMIT TextPreviewAntiAlias(prefs_.AntiAlias);
}

void TMainForm::SetToolbarChecks() {
    MenuCommand("ToolbarVisible1")->setChecked(toolBar_->isVisibleTo(this));
    MenuCommand("PaletteVisible1")->setChecked(paletteBar_->isVisibleTo(this));
    MenuCommand("ShelfVisible1")->setChecked(shelfDock_->isVisibleTo(this));
}

void TMainForm::BuildHelpMenu() {
    QMenu* m = AddSubMenu(nullptr, "Help1", "&Help");
    QAction* contents = AddCommand(m, "Contents1", "&Contents");
    // F1 itself is caught for every window (InstallHelpKey); the shortcut
    // here only shows the key in the menu.
    QAction* context =
        AddCommand(m, "ContextHelp1", "&Help on Current Tool", QKeySequence(Qt::Key_F1));
    context->setShortcutContext(Qt::WidgetShortcut);
    for (QAction* a : {contents, context}) a->setEnabled(true);
    connect(contents, &QAction::triggered, this, [this] { ShowHelp(kHelpContentsPage); });
    connect(context, &QAction::triggered, this, [this] { ShowHelp(tools_->HelpContext); });
    m->addSeparator();
    QAction* about = AddCommand(m, "About1", "&About...");
    about->setEnabled(true);
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
}

void TMainForm::ShowAbout() {
    if (about_ == nullptr) about_ = new TAboutPanel(this);
    about_->ShowAbout();
}

} // namespace kv
