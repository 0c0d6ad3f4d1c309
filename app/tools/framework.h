// The tool framework: the global tool state, the tool and icon tables, tool
// selection, the click protocol of the view and the drawing technique. One
// instance exists per main window; tools reach it through Tools().
#pragma once

#include "tools/icon.h"

#include <pixkit/types.h>

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QCursor;
class QMouseEvent;
class QWidget;

namespace kv {

class TIconPanel;
class TToolButton;

// What the framework needs from the window that shows the image. An empty
// function does nothing (positions then map 1:1 and nothing is inside).
struct ToolHost {
    std::function<pixkit::Pair<int>(QPoint view)> ViewToImage; // truncates toward zero
    std::function<bool(pixkit::Pair<int> image)> InsideImage;
    std::function<void(const QCursor&)> SetViewCursor;
    std::function<void(int panel, const QString& text)> SetPanelText;
    std::function<void()> ClearBarFocus; // takes the focus from a parameter-bar control
    std::function<void(bool suspend)> SuspendToolDock;
};

// One registered tool.
struct ToolRecord {
    QPixmap Glyph;
    P_icon* Tool = nullptr;
    QString Name;        // displayed: the translation of the English name
    std::string English; // the name as registered
    int NameIndex = -1;  // index in the tool-name table, or -1
};

// One icon of the tool panel.
struct IconRecord {
    TToolButton* Button = nullptr;
    int First = 0;   // its first tool in the tool table
    int Current = 0; // its chosen tool (tool-table index)
    int Count = 0;   // variants, at most 32
    int Columns = 0; // of its variant panel
    int HotKey = 0;
    P_icon* Secondary = nullptr;
    int SecondaryHotKey = 0;
};

// Drawing techniques.
enum Technique : int { tqPaint = 0, tqColor = 1, tqReplace = 2 };

class ToolFramework : public QObject {
    Q_OBJECT

  public:
    static constexpr int kToolCapacity = 128;
    static constexpr int kIconCapacity = 48;
    static constexpr int kMaxVariants = 32;
    static constexpr int kButtonSize = 28;
    static constexpr int kDragDelayMs = 300;
    static constexpr int kActivityMs = 50;
    static constexpr int kPanelDelayMs = 500;

    // Icon buttons go onto toolPanel; the variant panel is a window of
    // panelOwner.
    ToolFramework(QWidget* toolPanel, QWidget* panelOwner);
    ~ToolFramework() override;
    ToolFramework(const ToolFramework&) = delete;
    ToolFramework& operator=(const ToolFramework&) = delete;

    ToolHost Host;

    // Hooks that other parts fill; empty = nothing happens.
    std::function<void()> TakeSnapshot;            // before the first press of an action
    std::function<bool()> SnapshotFailed;          // the last TakeSnapshot could not be made
    std::function<void(P_icon* tool)> ShowToolBar; // the tool's parameter bar
    std::function<void(P_icon* old, P_icon* next)> HideToolBar;
    std::function<void(pixkit::Pair<int>& image)> SnapToGrid; // for tools with the snap flag
    std::function<void()> PaintingBrushForTechnique;          // rebuild the painting brush

    // Registration. RegisterTool starts a new icon when columns is non-zero
    // and adds the tool to the newest icon; returns the icon index (-1 when
    // there is no icon to add to). A 33rd variant is refused silently.
    int RegisterTool(const char* glyph, P_icon* tool, int hotKey, int group,
                     const char* englishName, int columns);
    // The same with a glyph of the tool's own (a component's icon).
    int RegisterTool(const QPixmap& glyph, P_icon* tool, int hotKey, int group,
                     const char* englishName, int columns);
    void SetSecondaryTool(P_icon* tool, int hotKey);

    // Selection.
    void SelectTool(P_icon* tool, bool hideFirst, int variant);
    void ReturnToPreviousTool(bool hideFirst);

    // Feedback.
    void ShowFeedback();
    void HideFeedback();
    void RefreshTool(bool hide, bool show);
    void AdvanceClick();
    // A command is about to read the image (save, export): the feedback and
    // uncommitted text go out of it, and come back afterwards.
    void HideForReading();
    void ShowAfterReading();
    // The colours or the anti-alias preference changed: a text tool draws
    // its text anew.
    void TextStyleChanged();

    // The view's mouse events (positions in view pixels).
    void ShowBufMouseDown(const QMouseEvent& event);
    void ShowBufMouseUp(const QMouseEvent& event);
    void StoreMouseCoords(const QMouseEvent& event);
    void ClearMouseCoords();
    void ShowBufPaint(QPainter& view);

    // Image switching: before the switch, and once the new image is shown.
    void ImageLeaving();
    void ImageShown();
    // Shutdown: the current tool is deactivated with no successor.
    void Shutdown();

    // Drawing technique; Paint and Replace need a brush cut by the user.
    // False when the choice was refused.
    bool SelectTechnique(int technique);

    // The tables.
    const std::vector<ToolRecord>& ToolTable() const { return tools_; }
    const std::vector<IconRecord>& IconTable() const { return icons_; }
    // The tool's icon shows and remembers variant (a tool-table index; -1:
    // the tool's own), as when it is picked from the variant panel.
    void ShowVariant(P_icon* tool, int variant);
    int ToolIndex(const P_icon* tool) const;            // -1 when not registered
    P_icon* ToolByName(std::string_view english) const; // null when not registered
    int IconOf(const P_icon* tool) const;               // -1 when it has no icon
    // " (Ctrl+Z)": the text a hot key adds to a hint; empty for 0.
    static QString HotKeyText(int hotKey);
    // Tool names and icon hints in the language now loaded.
    void Retranslate();
    // The icon's hot key selects its current variant, cycling when that is
    // already current and idle; its secondary hot key selects the secondary
    // tool. True when the key belonged to an icon.
    bool ToolKey(int keyValue);

    TIconPanel* IconPanel() const { return panel_; }
    bool DragTimerActive() const { return dragTimer_.isActive(); }
    bool PanelTimerActive() const { return panelTimer_.isActive(); }
    // Runs the variant panel's timer expiry at once (tests, and the timer).
    void ShowIconPanel();
    // Drives the activity timer's work once.
    void ActivateIconFunc();

    // The global tool state.
    P_icon* Current = nullptr;
    int State = csIdle;
    bool MouseDown = false;
    int MouseButtons = 0;
    bool AxisLock = false;
    int AxisState = -2; // -2 no anchor, -1 undecided, 0 vertical (x fixed), 1 horizontal
    QPoint Anchor;
    P_icon* Previous = nullptr;
    int PreviousVariant = -1;
    P_icon* Pending = nullptr;
    QPoint ViewPos{-1, -1};
    pixkit::Pair<int> ImagePos{-1, -1};
    pixkit::Pair<int> LastFeedback{-1, -1};
    bool Outside = true;
    bool RepaintEnabled = true; // tools drawing straight on the screen suspend Repaint
    int HelpContext = 100;
    int CurrentTechnique = tqColor;
    bool UserBrushInUse = false; // set by the cutting tools

  private:
    void ComputePosition(const QMouseEvent& event);
    void ApplyAxisLock(QPoint& view);
    void SetPanel(int panel, const QString& text);
    void SelectImmediate(P_icon*& tool, bool& hideFirst, int& variant);
    void SelectToggle(P_icon* tool);
    void AddIconButton(int icon, int group, const ToolRecord& record);
    void IconClick(int icon);
    void IconPress(int icon, Qt::MouseButtons buttons);
    void IconRelease();
    void IconSelected(int variant);

    QWidget* toolPanel_;
    TIconPanel* panel_ = nullptr;
    int panelIcon_ = -1; // the icon whose variant panel is due or showing
    P_icon noTool_;      // current until the first tool is selected
    std::vector<ToolRecord> tools_;
    std::vector<IconRecord> icons_;
    QTimer dragTimer_;
    QTimer activityTimer_;
    QTimer panelTimer_;
};

// The framework of the running main window (null when there is none).
ToolFramework* Tools();

} // namespace kv
