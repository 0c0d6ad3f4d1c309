// The main window of kv. It owns the ten image slots, the settings and the
// language table, and runs the start-up steps when it is first shown and the
// shutdown steps when it closes. The menus are built per menu in
// mainform_<menu>.cpp; bars and the status bar in mainform_bars.cpp.
#pragma once

#include "cmdline.h"
#include "documents.h"
#include "lang.h"
#include "platform/settings.h"
#include "preferences.h"
#include "view/progress.h"

#include "tools/framework.h"
#include "tools/hotkeys.h"
#include <pixkit/buffer.h>

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMouseEvent;
class QProgressBar;
class QSpinBox;
class QStackedWidget;
class QToolBar;

namespace kv {

class FileCommands;
class Printing;
class TAboutPanel;
class TBuffer;
class TMaxSize;
class TMainForm;
class FileTypeLinks;
class TColorSel;
class TParamBar;
class TPreferences;
class TColorSwatch;
class TPaletteBar;
class P_undo;
class P_custom_filter;
class ComponentTools;
class THelpWindow;
class EffectHost;
class UndoSnapshot;
class UndoHistory;
class CrashRecovery;
class Painting;
class BrushShelf;
class TBrushShelf;

// What the entry point hands to the main window.
struct ProgramContext {
    std::string ProgramDir;                        // with a trailing "/"
    std::vector<std::string> Args;                 // the command line without the program's name
    std::string SettingsPath;                      // empty: the user's kv.conf
    std::function<void(TMainForm&)> OnInteractive; // called when start-up is done
};

class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    explicit TMainForm(ProgramContext context);
    ~TMainForm() override;

    // Restores the toolbar positions and hides the bars of the Circle and
    // Grid tools.
    void InitToolbars();

    Documents& Docs() { return docs_; }
    const Preferences& Prefs() const { return prefs_; }
    TLang* Language() { return lang_.get(); }
    const CommandLine& Command() const { return command_; }
    SettingsStore& Store() { return *store_; }
    bool Interactive() const { return interactive_; }
    // A menu command by its object name ("Save1").
    QAction* MenuCommand(const char* name) const;

    // File commands, clipboard and scanner (app/files, mainform_file.cpp).
    FileCommands& Files() { return *files_; }
    // Printing and the printer set-up (app/files/printing.h).
    Printing& PrintCommands() { return *printing_; }

    // Status bar panels 0 to 4.
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    void RefreshDocumentLabel();
    // The grid bar's buttons follow the user level.
    void ApplyGridBarLevel();

    // Progress display (the callbacks given to the format registry).
    void ProgressStart(int max);
    void ProgressStep(int position);
    void ProgressEnd();
    ProgressThrottle& ProgressTiming() { return progressTiming_; }

    // View: the image slots, the zoomable view and the drawing view.
    TBuffer* ShowBuf() const;
    TMaxSize* MaxSize() const { return maxSize_; }
    double ZoomFactor() const;
    // Image pixel under a view pixel, truncated toward zero.
    pixkit::Pair<int> ViewToImage(QPoint view) const;
    // Inside the current image: 0 <= x < width and 0 <= y < height.
    bool InsideImage(pixkit::Pair<int> p) const;
    // The mouse in image pixels ((-1, -1) when not over the view) and
    // whether that position lies outside the current image.
    pixkit::Pair<int> MouseImagePos() const { return mouseImage_; }
    bool MouseOutside() const { return mouseOutside_; }
    // Repaints the screen area of an image rectangle (right and bottom
    // exclusive) without erasing.
    void InvalidateImageRect(int x1, int y1, int x2, int y2);
    // Paints what was invalidated before returning to the event loop.
    void UpdateImageNow();
    // Moves the mouse pointer over image pixel p, limited to the visible
    // part of the image; the tools see the new position at once.
    void WarpPointerToImage(pixkit::Pair<int> p);
    // The view of the current image that tools paint through: all of it, or
    // with "Clipping" only the visible part.
    pixkit::Buffer& DrawingView() { return drawView_; }
    void RecomputeDrawingView();
    void ZoomIn();
    void ZoomOut();
    void ToggleFit();
    void FitToWindow();
    void ApplyZoom();
    void ScrollBy(int dx, int dy);
    // Arrows, Home, End, PgUp, PgDn; false for other keys.
    bool ScrollKey(int qtKey);
    // Makes slot (0..9) the current image.
    void SelectImage(int slot);
    void NextImage();
    void PrevImage();
    // After the current image's pixels were reallocated (a load, a new
    // image): attach them again and apply the zoom.
    void RefreshView();

    // Undo (mainform_undo.cpp). The snapshot is taken at every image
    // switch; cancel and undo work on the current image. A snapshot that
    // cannot be made shows "NoMem" and answers false; the action that asked
    // for it must not change the image.
    bool TakeSnapshot();
    int CancelToSnapshot();
    void UndoLastAction();
    void RedoLastAction();
    UndoSnapshot& Undo() { return *undo_; }
    UndoHistory& History() { return *history_; }
    CrashRecovery& Recovery() { return *recovery_; }

    // Painting (mainform_paint.cpp): brush state, stamping and the painting
    // tools' environment.
    Painting& Paintbox() { return *painting_; }
    // The brush shelf and its panel (mainform_shelf.cpp).
    BrushShelf& Shelved() { return *shelf_; }
    TBrushShelf* ShelfDock() const { return shelfDock_; }

    // Colours (mainform_colors.cpp): 0xRRGGBB values. Setting another
    // colour runs the colours-changed notification.
    std::uint32_t DrawColor() const;
    std::uint32_t BackColor() const;
    void SetDrawColor(std::uint32_t rgb);
    void SetBackColor(std::uint32_t rgb);
    TPaletteBar* Palette() const { return palette_; }
    TColorSel* ColorDialog() const { return colorSel_; }
    // Opens the colour dialog for the drawing or the background colour.
    void ShowColorDialog(bool background);
    // Opens it for any swatch (colour fields of bars and dialogs).
    void ShowColorDialogFor(TColorSwatch* swatch, const QString& title);

    // Preferences (mainform_options.cpp). The command runs the dialog
    // modally; tests create it and apply it themselves.
    void Preferences1Click();
    std::unique_ptr<TPreferences> CreatePreferencesDialog();
    void ApplyPreferences(TPreferences& dialog, bool ok);
    FileTypeLinks& Links() { return *links_; }
    // Ctrl+L and Ctrl+T.
    void ToggleClipping();
    void ToggleAntiAlias();

    // Help (mainform_help.cpp): F1 anywhere shows the page section of the
    // focused dialog's help context, else of the current tool's.
    void ShowHelp(int context);
    int HelpContextOf(const QWidget* widget) const;
    THelpWindow* HelpWindow() const { return help_; }

    // Parameter bars (mainform_parambars.cpp), by bar name: the tool
    // framework calls them when the current tool changes.
    void ShowToolBar(const std::string& barName);
    void HideToolBar(const std::string& oldBar, const std::string& newBar, bool oldIsGrid = false);
    // The current bar once more (after a level or language change).
    void RebuildParameterBar();
    TParamBar& ParamBar() { return *params_; }
    QToolBar* ParamToolBar() const { return paramBar_; }
    QToolBar* GridToolBar() const { return gridBar_; }
    double GetBarValue(int index) const;
    void SetBarValue(int index, double value);
    void BindBarHandler(int index, std::function<void()> handler);
    void BindBarMouseDown(int index, std::function<void(QMouseEvent*)> handler);

  Q_SIGNALS:
    // Switching the current image, in the order the steps run: the tools
    // deactivate and hide their feedback; the undo snapshot of the new
    // current image is taken; the tools show their feedback and activate.
    void ImageLeaving();
    void ImageEntered();
    void ImageShown();
    // After any change of the drawing or the background colour.
    void ColorsChanged();
    // The visible part of the image changed while "Clipping" is on.
    void VisibleAreaChanged();
    // The text tool renders its preview again with this anti-aliasing.
    void TextPreviewAntiAlias(bool antiAlias);
    // The recent-files list takes a new length.
    void RecentLengthChanged(int length);
    // "Clipping" was switched: the drawing view is computed again.
    void ClippingChanged();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void InitProgram();
    void InterpretCommandLine();
    void OpenFromCommandLine();
    void FormStorage1SavePlacement();
    void PlaceFirstTime();
    bool FormClose();

    // Menus.
    QAction* AddCommand(QMenu* menu, const char* name, const char* caption,
                        const QKeySequence& shortcut = {});
    QMenu* AddSubMenu(QMenu* menu, const char* name, const char* caption);
    void BuildFileMenu();
    void ConnectFileCommands();
    void InitFiles();
    void RefreshFileMenu();
    void RebuildReopenMenu();
    void PrintCurrent();
    void BuildBrushMenu();
    // Brush files (mainform_brush.cpp): Brush > Open and Save.
    void ConnectBrushFiles();
    void ConnectBrushCommands();
    void BuildImageMenu();
    // Image > Stretch / Mirror and the other image-wide tools of the menu.
    void ConnectImageCommands();
    void BuildEffectsMenu();
    void BuildTechniquesMenu();
    void BuildOptionsMenu();
    void BuildWindowMenu();
    void BuildHelpMenu();
    void RefreshWindowMenu();
    void BuildView();
    void ConnectZoomControls();
    void ShowZoom();
    void ViewMouseTracked(QPoint view);
    void ViewMouseLeft();
    void VisibleAreaMoved();
    void ShowAbout();
    void InstallHelpKey();
    THelpWindow* help_ = nullptr;

    // Bars.
    void BuildToolBar();
    void BuildPaletteBar();
    void BuildParameterBars();
    void BuildStatusBar();
    void SaveToolbars();
    void SetToolbarChecks();

    ProgramContext context_;
    std::unique_ptr<SettingsStore> store_;
    Preferences prefs_;
    Documents docs_;
    std::unique_ptr<TLang> lang_;
    CommandLine command_;
    bool initialised_ = false;
    bool interactive_ = false;
    bool closing_ = false;

    TAboutPanel* about_ = nullptr;
    QToolBar* toolBar_ = nullptr;          // zoom and the tool panel
    QToolBar* paletteBar_ = nullptr;       // colours
    QToolBar* paramBar_ = nullptr;         // the current tool's parameters
    QToolBar* gridBar_ = nullptr;          // grid spacing and origin
    std::vector<QAction*> gridLevelItems_; // shown from user level 1 on
    QLabel* panels_[5] = {};
    QStackedWidget* docPanel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    ProgressThrottle progressTiming_;
    QMenu* windowMenu_ = nullptr;
    std::unique_ptr<FileCommands> files_;
    std::unique_ptr<Printing> printing_;
    std::vector<QAction*> slotItems_;

    // Undo, colours, preferences and parameter bars.
    void InitUndo();
    void AfterCurrentPixelsReplaced();
    void AfterHistoryStep();
    void InitRecovery();
    void OfferRecovery();
    int FreeSlot() const;
    void ApplyUndoPreferences();
    void RegisterUndoIcon();
    void ConnectColors();
    std::unique_ptr<P_undo> undoTool_;
    std::unique_ptr<P_undo> redoTool_;
    std::unique_ptr<UndoSnapshot> undo_;
    std::unique_ptr<UndoHistory> history_;
    std::unique_ptr<CrashRecovery> recovery_;
    bool snapshotFailed_ = false;
    TPaletteBar* palette_ = nullptr;
    TColorSel* colorSel_ = nullptr;

    // Painting.
    void InitPainting();
    void BuildBrushShelf();
    std::unique_ptr<BrushShelf> shelf_;
    TBrushShelf* shelfDock_ = nullptr;
    void RegisterClearIcon();
    std::unique_ptr<Painting> painting_;
    TMaxSize* maxSize_ = nullptr;
    pixkit::Buffer drawView_;
    pixkit::Pair<int> mouseImage_{-1, -1};
    bool mouseOutside_ = true;
    QRect lastInvalid_; // the view rectangle InvalidateImageRect asked for last
    std::unique_ptr<FileTypeLinks> links_;
    TParamBar* params_ = nullptr;
    std::string shownBar_; // the bar name the parameter bar was built for
    void TakeFocusFromBar(QToolBar* bar);
    void ClippingSwitched();
    // Runs relayout (showing or hiding a bar) and moves the mouse pointer
    // so that it stays over the same image point.
    void KeepPointerOverImage(const std::function<void()>& relayout);
    pixkit::Pair<int> VisiblePoint(pixkit::Pair<int> p);
    pixkit::Rect VisibleImage() const;

    // Tool framework (app/tools, mainform_tools.cpp).
  public:
    ToolFramework& ToolFw() { return *tools_; }
    HotKeyHandler& HotKeys() { return *hotKeys_; }

    // Effects (mainform_effects.cpp).
    P_custom_filter& CustomFilter() { return *customFilter_; }
    // Plug-in components: the scan's result and the component tools.
    ComponentTools& Components() { return *components_; }

  private:
    void ConnectEffects();
    std::unique_ptr<EffectHost> effectHost_;
    std::unique_ptr<P_custom_filter> customFilter_;
    std::unique_ptr<ComponentTools> components_;
    void InitComponents();

    void BuildToolFramework();
    void ConnectToolHost();
    void ConnectGlobalKeys();
    void InitTools();
    void SelectFirstTool();
    void SelectTechniqueCommand(int technique);
    std::unique_ptr<ToolFramework> tools_;
    std::unique_ptr<HotKeyHandler> hotKeys_;
};

// Hands the form's progress display to the format registry of pixkit.
void InstallProgressCallbacks(TMainForm* form);

} // namespace kv
