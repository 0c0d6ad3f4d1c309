// TCFilterForm: the dialog of the custom filter. 25 kernel cells (integers
// -999..999, 0 shown empty), "Div Factor" 1..9999 and "Bias" -9999..9999;
// OK, Preview (Stop while a run goes on), Cancel, Load... and Save... for
// .ACF files. A tool window that stays on top of the main window; its texts
// come from the language section "[CFilterForm]".
#pragma once

#include "effects/convolve.h"
#include "files/filedialogs.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kv {

class TCFilterForm : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHelpContext = 1310;

    explicit TCFilterForm(QWidget* parent);

    // What the buttons and the parameters run; set by the tool.
    std::function<void()> OnOk, OnPreview, OnCancel, OnParamChanged;
    // The file dialogs of Load and Save (tests answer in their place).
    FileDialogs Dialogs;

    FilterKernel Kernel() const;
    void SetKernel(const FilterKernel& kernel);
    // While a run goes on only the Preview button, reading "&Stop", works.
    void SetRunning(bool running);
    bool Running() const { return running_; }
    void FocusFirstCell();
    // The folder of the last loaded or saved filter file (empty at first).
    const std::string& Folder() const { return folder_; }

    QLineEdit* Cell(int index) const { return cells_[std::size_t(index)]; }

    void LoadBtnClick();
    void SaveBtnClick();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildCells();
    QWidget* BuildButtons();
    void ParamChanged(QLineEdit* cell);
    void CellExit(QLineEdit* cell);
    int CellIndexOf(const QWidget* w) const;
    void Run(const std::function<void()>& hook) {
        if (hook) hook();
    }

    std::array<QLineEdit*, kFilterCells> cells_{};
    QSpinBox* divFactor_ = nullptr;
    QSpinBox* bias_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* previewBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QPushButton* loadBtn_ = nullptr;
    QPushButton* saveBtn_ = nullptr;
    std::string folder_;
    bool running_ = false;
};

} // namespace kv
