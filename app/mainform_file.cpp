// The File menu, and the helpers every menu is built with.
#include "mainform.h"

#include "files/browseform.h"
#include "files/filecommands.h"
#include "files/printing.h"
#include "history.h"
#include "keys.h"
#include "lang.h"
#include "log.h"
#include "platform/clipboard.h"
#include "recovery.h"
#include "undo.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>

namespace kv {

namespace {

// A command that replaces the current image first ends a one-shot tool such
// as Image > Stretch / Mirror: its preview is taken back before the image is
// kept as an undo step, and its bar does not act on the new image.
void EndOneShotTool(ToolFramework* tools) {
    if (tools != nullptr && tools->Current->OneShot()) tools->ReturnToPreviousTool(true);
}

// "&Browse...": the image browser, modal and centred over the image area,
// in the remembered folder; the folder it ends in is remembered, and a
// picked file opens into the current slot.
void Browse(TMainForm& form, FileCommands& files, bool cacheThumbs) {
    const std::string start =
        files.LastDirectory().empty() ? QDir::currentPath().toStdString() : files.LastDirectory();
    TBrowseForm box(&form, start, cacheThumbs);
    QWidget* area = form.centralWidget() != nullptr ? form.centralWidget() : &form;
    box.move(area->mapToGlobal(area->rect().center()) - box.rect().center());
    box.exec();
    files.SetLastDirectory(box.Folder());
    if (!box.Picked().empty()) files.OpenFile(box.Picked());
}

} // namespace

// Commands are owned by the main window, so that window sections of the
// language file reach them by name. A command is created disabled; it is
// enabled where its handler is connected.
QAction* TMainForm::AddCommand(QMenu* menu, const char* name, const char* caption,
                               const QKeySequence& shortcut) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setEnabled(false);
    menu->addAction(action);
    return action;
}

QMenu* TMainForm::AddSubMenu(QMenu* menu, const char* name, const char* caption) {
    QMenu* sub = menu != nullptr ? menu->addMenu(QString::fromUtf8(caption))
                                 : menuBar()->addMenu(QString::fromUtf8(caption));
    sub->setObjectName(QString::fromLatin1(name));
    return sub;
}

void TMainForm::BuildFileMenu() {
    QMenu* m = AddSubMenu(nullptr, "File1", "&File");
    AddCommand(m, "New1", "&New...", QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(m, "Open1", "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O));
    AddCommand(m, "Browse1", "&Browse...");
    AddSubMenu(m, "Reopen1", "Reopen")->setEnabled(false);
    m->addSeparator();
    AddCommand(m, "Save1", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(m, "SaveAs1", "Save &as...");
    AddCommand(m, "UpdateExit1", "&Update && Exit")->setVisible(false);
    m->addSeparator();
    AddCommand(m, "ExptoClipb1", "Expor&t to Clipboard");
    AddCommand(m, "ImpfromClipb1", "&Import from Clipboard");
    m->addSeparator();
    AddCommand(m, "SelectSource1", "S&elect Source...");
    AddCommand(m, "Acquire1", "Ac&quire...");
    m->addSeparator();
    AddCommand(m, "Print1", "&Print...");
    AddCommand(m, "PrinterSetup1", "P&rinter Setup...");
    m->addSeparator();
    AddCommand(m, "Exit1", "E&xit");
    files_ = std::make_unique<FileCommands>(docs_, prefs_, *store_);
    ConnectFileCommands();
    connect(m, &QMenu::aboutToShow, this, &TMainForm::RefreshFileMenu);
}

void TMainForm::ConnectFileCommands() {
    FileHooks& h = files_->Hooks;
    h.TakeSnapshot = [this] { return TakeSnapshot(); };
    h.DiscardSnapshot = [this] {
        History().Forget(docs_.Current);
        Undo().Free();
        if (recovery_) recovery_->DropUnchanged();
    };
    h.ImageReplaced = [this] {
        RefreshView();
        FitToWindow();
        RefreshDocumentLabel();
    };
    h.Colors = [this] { return std::pair{DrawColor(), BackColor()}; };
    h.SetColors = [this](pixkit::Pixel draw, pixkit::Pixel back) {
        SetDrawColor(draw);
        SetBackColor(back);
    };
    h.LabelChanged = [this] {
        RefreshDocumentLabel();
        // A save: the image's recovery copy is not needed any more.
        if (recovery_) recovery_->DropUnchanged();
    };
    h.SelectImage = [this](int slot) { SelectImage(slot); };
    h.ShowStatus = [this](const std::string& text) {
        SetPanelText(4, QString::fromStdString(text));
    };
    h.RecentChanged = [this] { RebuildReopenMenu(); };
    h.HideFeedback = [this] {
        if (tools_) tools_->HideForReading();
    };
    h.ShowFeedback = [this] {
        if (tools_) tools_->ShowAfterReading();
    };
    files_->Dialogs = ScreenDialogs(this);

    auto bind = [this](const char* name, auto fn) {
        QAction* a = MenuCommand(name);
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, fn);
    };
    auto endOneShot = [this] { EndOneShotTool(tools_.get()); };
    bind("New1", [this, endOneShot] {
        endOneShot();
        files_->New();
    });
    bind("Open1", [this, endOneShot] {
        endOneShot();
        files_->Open();
    });
    bind("Browse1", [this, endOneShot] {
        endOneShot();
        Browse(*this, *files_, prefs_.CacheThumbs);
    });
    bind("Save1", [this] { files_->Save(); });
    bind("SaveAs1", [this] { files_->SaveAs(); });
    bind("UpdateExit1", [this] {
        if (files_->WriteBack()) close();
    });
    bind("ExptoClipb1", [this] { files_->ExportToClipboard(); });
    bind("ImpfromClipb1", [this, endOneShot] {
        endOneShot();
        files_->ImportFromClipboard();
    });
    bind("Exit1", [this] { close(); });
    printing_ = std::make_unique<Printing>();
    bind("Print1", [this] { PrintCurrent(); });
    bind("PrinterSetup1", [this] { printing_->Setup(this); });
    // Enabled once the scanner library has found a device.
    connect(MenuCommand("SelectSource1"), &QAction::triggered, this,
            [this] { files_->SelectSource(); });
    connect(MenuCommand("Acquire1"), &QAction::triggered, this, [this, endOneShot] {
        endOneShot();
        files_->Acquire();
    });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &TMainForm::RefreshFileMenu);
    // "File List Length" of the preferences applies at once.
    connect(this, &TMainForm::RecentLengthChanged, this, [this](int length) {
        files_->Recent().SetCapacity(length);
        RebuildReopenMenu();
    });
    RefreshFileMenu();
}

// Start-up: update mode's target, and the scanner search.
void TMainForm::InitFiles() {
    files_->UpdateTarget = command_.TargetFile;
    files_->Scan().ProbeAsync(this, [this](bool available) {
        MenuCommand("SelectSource1")->setEnabled(available);
        MenuCommand("Acquire1")->setEnabled(available);
    });
    LogLine("Twain driver initialized.");
}

// "&Import from Clipboard" only when the clipboard holds an image.
void TMainForm::RefreshFileMenu() {
    MenuCommand("ImpfromClipb1")->setEnabled(ClipboardOffersImage());
}

// The print form gets its own opaque copy of the image, taken without the
// tool's feedback; the undo snapshot is left alone.
void TMainForm::PrintCurrent() {
    PrintJob job;
    {
        const FeedbackHidden hidden(files_->Hooks, true);
        job.Image = PrintImage(docs_.CurrentImage());
    }
    if (job.Image.isNull()) {
        MessageBoxKey(key::NoMem, key::Err, kExclamation);
        return;
    }
    const UDBuffer& doc = docs_.CurrentImage();
    job.Title = QString::fromStdString(docs_.DocumentTitle(docs_.Current));
    const QFileInfo file(QString::fromStdString(doc.FileName.empty() ? "Untitled" : doc.FileName));
    job.PdfName = file.absoluteDir().filePath(file.completeBaseName() + ".pdf");
    printing_->Print(this, job);
}

void TMainForm::RebuildReopenMenu() {
    auto* menu = findChild<QMenu*>("Reopen1");
    menu->clear();
    for (const std::string& entry : files_->Recent().Items()) {
        QAction* a = menu->addAction(QString::fromStdString(entry));
        connect(a, &QAction::triggered, this, [this, entry] {
            EndOneShotTool(tools_.get());
            files_->Reopen(entry);
        });
    }
    menu->setEnabled(!menu->isEmpty());
}

} // namespace kv
