// TDropShForm: the Brush > Drop Shadow dialog. Direction (East, South-East,
// South, South-West) and depth in points (1..999); OK casts the shadow.
// A tool window on top of the main window, made on first use and kept for
// the run, so that it keeps its settings; texts from "[DropShForm]".
#pragma once

#include <QWidget>

#include <functional>

class QComboBox;
class QPushButton;
class QSpinBox;

namespace kv {

class TDropShForm : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 1210;

    explicit TDropShForm(QWidget* parent);

    // OK with the direction index and the depth; the dialog is hidden first.
    std::function<void(int direction, int depth)> OnOk;
    // The dialog was hidden, by OK, Cancel, Escape or losing the focus.
    std::function<void()> OnHidden;

    QComboBox* ShDir = nullptr;
    QSpinBox* ShDepth = nullptr;

    // Shows the dialog centred over area and gives it the focus.
    void ShowOver(QWidget* area);
    void OkBtnClick();
    // Cancel, Escape and losing the focus: hidden without changes.
    void FormDeactivate();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Hides the dialog and tells OnHidden once per showing.
    void Close();

    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    bool open_ = false;
    bool wasActive_ = false; // it had the focus since it was shown
};

// Brush > Drop Shadow...: opens the dialog of window (made on first use),
// centred over area. While it is open the current tool is deactivated; when
// it closes, whichever way, the tool is activated again, then OK casts the
// shadow.
void OpenDropShadowDialog(QWidget* window, QWidget* area);
// The dialog of window, or null before its first use.
TDropShForm* DropShadowDialog(QWidget* window);

} // namespace kv
