// TPrintForm: prints the current image on one page, with a page preview,
// header and footer lines with their fonts, copies, orientation, and the
// image's size and place on the page. The preview and the printout are
// drawn by the same function. Texts come from the language section
// "[PrintForm]".
#pragma once

#include "files/printing.h"
#include "files/printlayout.h"

#include <QDialog>
#include <QFont>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPrintPreviewWidget;
class QSpinBox;

namespace kv {

class TPrintForm : public QDialog {
    Q_OBJECT

  public:
    TPrintForm(QWidget* parent, QPrinter& printer, const std::vector<PrinterEntry>& printers,
               const PrintJob& job);

    // The image's rectangle on the printable area, in printer units.
    PrintPlacement Placement() const;

  private:
    QWidget* BuildDestination(const std::vector<PrinterEntry>& printers);
    QWidget* BuildPageControls();
    QWidget* BuildImageControls();
    void ConnectControls();

    void Redraw();
    void PaintPage(QPainter& p);
    void PaintText(QPainter& p, const QString& text, const QFont& font, bool header);
    void OrientationClick();
    void Stretch2FitClick();
    void ChooseFont(QFont& font);
    void BrowsePdf();
    void UseDestination();
    bool PrintPages();
    void PrintBtnClick();

    QPrinter& printer_;
    const QImage& image_;
    QString title_;
    QFont hdrFont_, ftrFont_;
    int error_ = 0;

    QButtonGroup* destination_;
    QComboBox* printerName_;
    QLineEdit* pdfFile_;
    QSpinBox* copies_;
    QButtonGroup* orientation_;
    QLineEdit* header_;
    QLineEdit* footer_;
    QSpinBox* zoom_;
    QButtonGroup* horizPos_;
    QButtonGroup* vertPos_;
    QLabel* imgZoomLabel_;
    QSpinBox* imgZoom_;
    QCheckBox* stretch_;
    QPrintPreviewWidget* preview_;
};

} // namespace kv
