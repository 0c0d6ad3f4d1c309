#include "mainform.h"

#include "aboutpanel.h"
#include "colors/colorsel.h"
#include "colors/palettebar.h"
#include "effects/components.h"
#include "effects/customfilter.h"
#include "effects/effecthost.h"
#include "files/filecommands.h"
#include "files/printing.h"
#include "history.h"
#include "keys.h"
#include "lang_qt.h"
#include "log.h"
#include "paint/cuttools.h"
#include "paint/painting.h"
#include "paint/shelf.h"
#include "platform/helpwindow.h"
#include "platform/mimelinks.h"
#include "prefs/prefsdialog.h"
#include "recovery.h"
#include "resources.h"
#include "undo.h"
#include "undo_tool.h"

#include <pixkit/gfxfile.h>

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>

#include <filesystem>

namespace kv {

namespace {
const char kPlacementKey[] = "Software\\KV\\Placement";

bool FileExists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(name, ec);
}
} // namespace

TMainForm::TMainForm(ProgramContext context) : context_(std::move(context)) {
    setObjectName("MainForm");
    setWindowTitle("Vellumatic");
    setMinimumSize(486, 320);
    store_ = context_.SettingsPath.empty() ? std::make_unique<SettingsStore>()
                                           : std::make_unique<SettingsStore>(context_.SettingsPath);
    FormCreate();
}

TMainForm::~TMainForm() {
    SetLang(nullptr);
    if (Shelf() == shelf_.get()) SetShelf(nullptr);
    pixkit::GFXFile::SetProgFunc(nullptr, nullptr, nullptr);
}

QAction* TMainForm::MenuCommand(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void TMainForm::FormCreate() {
    LogLine("MainForm created, loading resources.");
    // The eight cursors of the tools and the folder glyphs of the browser.
    if (LoadResources()) LogLine("Resources loaded.");
    BuildView();
    BuildFileMenu();
    BuildBrushMenu();
    BuildImageMenu();
    BuildEffectsMenu();
    BuildTechniquesMenu();
    BuildOptionsMenu();
    BuildWindowMenu();
    BuildHelpMenu();
    InstallHelpKey();
    BuildToolBar();
    ConnectZoomControls();
    BuildPaletteBar();
    BuildParameterBars();
    BuildBrushShelf();
    BuildStatusBar();
    InitUndo();
    colorSel_ = new TColorSel(this);
    links_ = std::make_unique<FileTypeLinks>(*store_, context_.ProgramDir + "kv");
    BuildToolFramework();
    ConnectEffects();
    ConnectColors();
    if (auto geometry = store_->ReadBinary(kPlacementKey, "MainForm"))
        restoreGeometry(QByteArray(reinterpret_cast<const char*>(geometry->data()),
                                   static_cast<qsizetype>(geometry->size())));
    else
        PlaceFirstTime();
}

// Without a stored placement the window opens at most 1200 x 860 pixels and
// at most nine tenths of the screen, centred, so the tool panel and the
// palette fit beside the image.
void TMainForm::PlaceFirstTime() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect avail = screen->availableGeometry();
    const QSize size(std::min(1200, avail.width() * 9 / 10),
                     std::min(860, avail.height() * 9 / 10));
    resize(size.expandedTo(minimumSize()));
    move(avail.center() - rect().center());
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (initialised_) return;
    initialised_ = true;
    // After the window is on screen, so that message boxes of the start-up
    // steps have a visible parent.
    QTimer::singleShot(0, this, [this] { InitProgram(); });
}

void TMainForm::InitProgram() {
    LogLine("Creating About panel.");
    about_ = new TAboutPanel(this);
    about_->ShowSplash();

    LogLine("Misc initialization started.");
    docPanel_->setCurrentIndex(0);
    InstallProgressCallbacks(this);

    docs_.PrepareSlots();
    docs_.Current = 0;
    LogLine("Font set and buffers initialized.");

    prefs_ = ReadPreferences(*store_);
    ApplyUndoPreferences();
    // A first start (no language ever stored) uses the English language file
    // when it is installed, so the parameter bars have their descriptors and
    // status texts read as words; a language the user chose, or chose to
    // clear, is kept.
    if (!store_->ReadString(kPreferencesKey, "Language") &&
        std::filesystem::exists(context_.ProgramDir + "English.lng"))
        prefs_.Language = "English";
    LogLine("Registry entries loaded.");
    files_->Start({pixkit::Buffer::default_x, pixkit::Buffer::default_y});

    lang_ = std::make_unique<TLang>(context_.ProgramDir);
    SetLang(lang_.get());
    ApplyLanguage(*lang_, prefs_.Language);
    LogLine("Language resources loaded.");

    InterpretCommandLine();
    SetToolbarChecks();
    InitPainting();
    InitTools();
    OpenFromCommandLine();
    RefreshDocumentLabel();
    RefreshView();
    FitToWindow();
    SetPredefinedCutSize({docs_.CurrentImage().Width(), docs_.CurrentImage().Height()});
    SelectFirstTool();
    InitFiles();

    palette_->SetPaletteCount(LayoutForIndex(prefs_.Palette).Count);
    lang_->SearchLanguages();
    LogLine("Language resources searched.");

    about_->close();
    InitRecovery();
    OfferRecovery();
    LogLine("Initialization finished. INTERACTIVE MODE STARTED.");
    interactive_ = true;
    if (context_.OnInteractive) context_.OnInteractive(*this);
}

void TMainForm::InterpretCommandLine() {
    command_ = kv::InterpretCommandLine(context_.Args, FileExists);
    switch (command_.What) {
    case CommandLine::Kind::InvalidSwitch:
        MessageBoxKey(key::InvSwitch, key::Err, kExclamation);
        break;
    case CommandLine::Kind::Update:
        MenuCommand("Save1")->setVisible(false);
        MenuCommand("SaveAs1")->setVisible(false);
        MenuCommand("UpdateExit1")->setVisible(true);
        docs_.UpdateMode = true;
        docs_.UpdateTitle = command_.Title;
        if (!command_.TargetExists) {
            if (!docs_.AllocBlack(0, command_.Width, command_.Height)) {
                MessageBoxKey(key::ImgBig, key::Err, kExclamation);
                // Once the remaining start-up steps are done.
                QTimer::singleShot(0, this, &QWidget::close);
            }
            docs_.Current = 0;
        }
        break;
    default:
        break;
    }
}

void TMainForm::OpenFromCommandLine() {
    if (command_.FirstArg == -1) return;
    const std::vector<std::string> names =
        command_.What == CommandLine::Kind::Update
            ? std::vector<std::string>{FileNameFromArgs(context_.Args, command_.FirstArg)}
            : ImageNamesFromArgs(context_.Args, command_.FirstArg, FileExists);
    // The first image goes into the first slot, every further one into the
    // next slot still blank; an image that fails leaves its slot to the next.
    int slot = 0;
    for (const std::string& name : names) {
        if (slot < 0) {
            LogLine("No free image slot for the other images.");
            break;
        }
        if (!files_->LoadIntoSlot(slot, name, 1)) {
            LogLine("Image could not be open.");
            continue;
        }
        LogLine("Image successfully open.");
        slot = docs_.FreeSlotAfter(slot);
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    FormStorage1SavePlacement();
    if (!FormClose()) {
        event->ignore();
        return;
    }
    closing_ = true;
    event->accept();
}

void TMainForm::FormStorage1SavePlacement() {
    const QByteArray geometry = saveGeometry();
    store_->WriteBinary(kPlacementKey, "MainForm",
                        std::vector<std::uint8_t>(geometry.begin(), geometry.end()));
    WritePreferences(*store_, prefs_);
    LogLine("Registry entries saved.");
}

bool TMainForm::FormClose() {
    if (!files_->CloseQuery()) return false;
    // Closed normally: nothing is left for a recovery at the next start.
    if (recovery_) recovery_->RemoveAll();
    SaveToolbars();
    tools_->Shutdown();
    if (help_ != nullptr) help_->close();
    store_->Flush();
    SetLang(nullptr);
    lang_.reset();
    return true;
}

} // namespace kv
