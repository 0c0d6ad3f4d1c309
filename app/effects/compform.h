// TCompForm: the dialog of a component, built from its parameter
// descriptions: one row per visible parameter, an instant preview window
// for components with "W", a Preview button for those with "P", and OK,
// Preset and Cancel. A tool window that stays on top of the main window.
#pragma once

#include "effects/compscan.h"

#include <pixkit/buffer.h>

#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace kv {

class TColorSwatch;

// A name from a component as the language shows it: the text of key
// "~" + name, or the name itself.
QString ComponentText(const std::string& name);

// The page help shows while a component's dialog is active: its "Help="
// file (a Markdown page) beside the component, else relative to the program
// folder, with the section whose heading is anchored "{#context}" when the
// description gives a context; empty when it has no help file or the file is
// missing (help then shows the manual's section on effects).
QString ComponentHelpPage(const ComponentRecord& rec);

class TCompForm : public QWidget {
    Q_OBJECT

  public:
    explicit TCompForm(QWidget* parent);

    // What the dialog's controls run; set by the tool.
    std::function<void()> OnOk, OnPreview, OnPreset, OnCancel, OnChanged, OnInstPreview;
    std::function<void(int param)> OnButton;                          // 1-based
    std::function<void(int x, int y, bool right)> OnPreviewClick;     // preview pixels
    std::function<void(TColorSwatch*, const QString& title)> OnColor; // a colour swatch pressed
    std::function<QPixmap(int slot)> Thumbnail;                       // slot 1..10
    // A key the dialog passes on to the main window's hot keys; true when
    // it was used there.
    std::function<bool(QKeyEvent&)> OnHotKey;
    // Enter and Escape are OK and Cancel only for the one-shot effect, not
    // while painting with a component.
    bool EnterIsOk = true;

    // Builds the rows for rec at the user level for an image of size
    // imageSize; a preview window of previewSize when it is not empty.
    void Build(const ComponentRecord& rec, int userLevel, pixkit::Pair<int> imageSize,
               pixkit::Pair<int> previewSize);
    // Parameter controls made (buttons included).
    int ControlCount() const { return controls_; }

    // The values shown; hidden parameters keep the values they were given.
    const std::array<ParamValue, kMaxComponentParams>& Values() const { return values_; }
    // Sets every control without reporting changes.
    void SetValues(const std::array<ParamValue, kMaxComponentParams>& values);
    // A component's KVCH_SETPARAM; true when a value changed (s = 0).
    bool SetParam(int n, int s, std::int64_t lparam, const std::string& text, double value,
                  bool hasValue);

    // While a run goes on only the Preview button, reading "&Stop", works.
    void SetRunning(bool running);
    bool Running() const { return running_; }
    bool InstantPreviewShown() const;
    void ShowPreview(const pixkit::Buffer& picture);

  protected:
    // Keys reach the dialog before its controls (see FormKeyDown).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Row {
        QWidget* Label = nullptr;
        QWidget* Controls[3] = {};
    };
    void Clear();
    bool FormKeyDown(QKeyEvent& event);
    void AddRow(int index, const ParamDesc& d, const QString& label);
    void Changed(int index);
    void ShowValue(int index);
    void Emit(const std::function<void()>& hook) {
        if (hook && !quiet_) hook();
    }

    std::array<ParamDesc, kMaxComponentParams> descs_;
    std::array<ParamValue, kMaxComponentParams> values_;
    std::array<Row, kMaxComponentParams> rows_;
    pixkit::Pair<int> imageSize_{1, 1};
    QWidget* rowsBox_ = nullptr;
    QLabel* copyright_ = nullptr;
    QLabel* preview_ = nullptr;
    QCheckBox* instPreview_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* previewBtn_ = nullptr;
    QPushButton* presetBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    int controls_ = 0;
    bool running_ = false;
    bool quiet_ = false;
    bool hasPreview_ = false;
};

} // namespace kv
