#include "printform.h"

#include "keys.h"
#include "lang.h"
#include "lang_qt.h"
#include "log.h"
#include "message.h"
#include "platform/formbutton.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cerrno>
#include <cstdio>

namespace kv {

namespace {

enum Destination { kPrinter, kPdf };

QSpinBox* NumberBox(QWidget* parent, const char* name, int low, int high, int value,
                    const char* hint) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setValue(value);
    box->setToolTip(QString::fromUtf8(hint));
    return box;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, QWidget* buddy) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

// A titled group of radio buttons, ids 0, 1, ... in the order given; the
// language file sets the title with Caption and the buttons with Items.
QGroupBox* Choice(QWidget* parent, const char* name, const char* caption,
                  std::initializer_list<const char*> items, int checked, QButtonGroup*& group) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    int id = 0;
    for (const char* item : items) {
        auto* radio = new QRadioButton(QString::fromUtf8(item), box);
        radio->setObjectName(QString::fromLatin1(name) + QString::number(id));
        radio->setChecked(id == checked);
        group->addButton(radio, id++);
        layout->addWidget(radio);
    }
    return box;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets) row->addWidget(w);
    return row;
}

PageAlign AlignOf(const QButtonGroup* group) {
    return static_cast<PageAlign>(group->checkedId());
}

} // namespace

TPrintForm::TPrintForm(QWidget* parent, QPrinter& printer,
                       const std::vector<PrinterEntry>& printers, const PrintJob& job)
    : QDialog(parent), printer_(printer), image_(job.Image), title_(job.Title) {
    setObjectName("PrintForm");
    setWindowTitle(QStringLiteral("Print"));
    hdrFont_.setPointSize(10);
    ftrFont_.setPointSize(10);
    auto* controls = new QVBoxLayout;
    controls->addWidget(BuildDestination(printers));
    pdfFile_->setText(job.PdfName);
    controls->addWidget(BuildPageControls());
    controls->addWidget(BuildImageControls());
    auto* printBtn = FormButton(this, "PrintBtn", "&Print");
    printBtn->setDefault(true);
    auto* cancelBtn = FormButton(this, "CancelBtn", "&Cancel");
    controls->addStretch();
    controls->addLayout(Row({printBtn, cancelBtn}));
    connect(printBtn, &QPushButton::clicked, this, &TPrintForm::PrintBtnClick);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    preview_ = new QPrintPreviewWidget(&printer_, this);
    preview_->setObjectName("Preview");
    preview_->setZoomMode(QPrintPreviewWidget::CustomZoom);
    preview_->setZoomFactor(zoom_->value() / 100.0);
    connect(preview_, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* target) {
        QPainter p(target);
        PaintPage(p);
    });
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(preview_, 1);
    resize(920, 640);
    ConnectControls();
    printer_.setDocName(title_);
    if (Lang() != nullptr) TranslateSection(*Lang(), "[PrintForm]");
}

QWidget* TPrintForm::BuildDestination(const std::vector<PrinterEntry>& printers) {
    QGroupBox* box = Choice(this, "Destination", "Destination", {"P&rinter", "PDF &file"},
                            printers.empty() ? kPdf : kPrinter, destination_);
    box->findChild<QRadioButton*>("Destination0")->setEnabled(!printers.empty());
    printerName_ = new QComboBox(box);
    printerName_->setObjectName("PrinterName");
    for (const PrinterEntry& e : printers) {
        printerName_->addItem(e.Name);
        if (e.Default) printerName_->setCurrentIndex(printerName_->count() - 1);
    }
    printerName_->setEnabled(!printers.empty());
    pdfFile_ = new QLineEdit(box);
    pdfFile_->setObjectName("PdfFile");
    auto* browse = FormButton(box, "PdfBrowseBtn", "...");
    connect(browse, &QPushButton::clicked, this, &TPrintForm::BrowsePdf);
    auto* layout = static_cast<QVBoxLayout*>(box->layout());
    layout->insertWidget(1, printerName_);
    auto* pdfRow = Row({pdfFile_, browse});
    layout->addLayout(pdfRow);
    return box;
}

QWidget* TPrintForm::BuildPageControls() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    copies_ = NumberBox(page, "Copies", 1, 99, 1, "Number of Copies");
    form->addRow(Label(page, "CopiesLabel", "Cop&ies", copies_), copies_);
    const bool landscape = printer_.pageLayout().orientation() == QPageLayout::Landscape;
    form->addRow(Choice(page, "Orientation", "Page Orientation", {"P&ortrait", "&Landscape"},
                        landscape ? 1 : 0, orientation_));
    header_ = new QLineEdit(page);
    header_->setObjectName("Header");
    header_->setToolTip(QStringLiteral("Header Text"));
    footer_ = new QLineEdit(page);
    footer_->setObjectName("Footer");
    footer_->setToolTip(QStringLiteral("Footer Text"));
    auto* hdrBtn = FormButton(page, "HdrFontBtn", "F");
    auto* ftrBtn = FormButton(page, "FtrFontBtn", "F");
    connect(hdrBtn, &QPushButton::clicked, this, [this] { ChooseFont(hdrFont_); });
    connect(ftrBtn, &QPushButton::clicked, this, [this] { ChooseFont(ftrFont_); });
    form->addRow(Label(page, "HeaderLabel", "&Header", header_), Row({header_, hdrBtn}));
    form->addRow(Label(page, "FooterLabel", "Foo&ter", footer_), Row({footer_, ftrBtn}));
    zoom_ = NumberBox(page, "Zoom", 1, 200, 28, "Print Preview Zoom");
    form->addRow(Label(page, "ZoomLabel", "Preview &Zoom", zoom_), zoom_);
    return page;
}

QWidget* TPrintForm::BuildImageControls() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    auto* horiz = Choice(page, "HorizPos", "Horizontal", {"Left", "Center", "Right"}, 1, horizPos_);
    auto* vert = Choice(page, "VertPos", "Vertical", {"Top", "Center", "Bottom"}, 1, vertPos_);
    auto* positions = new QWidget(page);
    auto* row = new QHBoxLayout(positions);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(horiz);
    row->addWidget(vert);
    form->addRow(positions);
    imgZoom_ = NumberBox(page, "ImgZoom", 1, 9999, 100, "Image Zoom");
    imgZoomLabel_ = Label(page, "ImgZoomLabel", "Image Zoo&m", imgZoom_);
    form->addRow(imgZoomLabel_, imgZoom_);
    stretch_ = new QCheckBox(QStringLiteral("&Stretch to Fit"), page);
    stretch_->setObjectName("Stretch2Fit");
    form->addRow(stretch_);
    return page;
}

void TPrintForm::ConnectControls() {
    for (QSpinBox* box : {copies_, imgZoom_})
        connect(box, &QSpinBox::valueChanged, this, &TPrintForm::Redraw);
    connect(zoom_, &QSpinBox::valueChanged, this,
            [this](int zoom) { preview_->setZoomFactor(zoom / 100.0); });
    for (QLineEdit* text : {header_, footer_})
        connect(text, &QLineEdit::textChanged, this, &TPrintForm::Redraw);
    for (QButtonGroup* group : {horizPos_, vertPos_})
        connect(group, &QButtonGroup::idClicked, this, &TPrintForm::Redraw);
    connect(orientation_, &QButtonGroup::idClicked, this, &TPrintForm::OrientationClick);
    connect(stretch_, &QCheckBox::toggled, this, &TPrintForm::Stretch2FitClick);
}

void TPrintForm::Redraw() {
    preview_->updatePreview();
}

PrintPlacement TPrintForm::Placement() const {
    const QRect page = printer_.pageLayout().paintRectPixels(kPrintDpi);
    return PlaceImage({{page.width(), page.height()},
                       {image_.width(), image_.height()},
                       stretch_->isChecked(),
                       imgZoom_->value(),
                       AlignOf(horizPos_),
                       AlignOf(vertPos_)});
}

// The painter's origin is the top left corner of the printable area, one
// device pixel a printer unit (the printer runs at 300 dpi).
void TPrintForm::PaintPage(QPainter& p) {
    const PrintPlacement at = Placement();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setRenderHint(QPainter::LosslessImageRendering, true);
    p.drawImage(QRect(at.Left, at.Top, at.Width, at.Height), image_);
    PaintText(p, header_->text(), hdrFont_, true);
    PaintText(p, footer_->text(), ftrFont_, false);
}

// Header and footer sit in the margins, centred across the printable width:
// the header's top half its font height above the middle of the top margin,
// the footer's two thirds of its font height above the middle of the bottom
// margin.
void TPrintForm::PaintText(QPainter& p, const QString& text, const QFont& font, bool header) {
    if (text.isEmpty()) return;
    const QPageLayout layout = printer_.pageLayout();
    const QRect paper = layout.fullRectPixels(kPrintDpi);
    const QRect page = layout.paintRectPixels(kPrintDpi);
    p.setFont(font);
    p.setPen(Qt::black);
    const int height = QFontMetrics(font, p.device()).height();
    const int top =
        header ? (-page.top() / 2 - height / 2)
               : (page.height() + (paper.height() - page.bottom() - 1) / 2 - height * 2 / 3);
    p.drawText(QRect(0, top, page.width(), height), Qt::AlignHCenter | Qt::AlignTop, text);
}

void TPrintForm::OrientationClick() {
    printer_.setPageOrientation(orientation_->checkedId() == 1 ? QPageLayout::Landscape
                                                               : QPageLayout::Portrait);
    const QRect page = printer_.pageLayout().paintRectPixels(kPrintDpi);
    char line[80];
    std::snprintf(line, sizeof line, "Printer PageHeight:%d, PageWidth:%d.", page.height(),
                  page.width());
    LogLine(line);
    Redraw();
}

void TPrintForm::Stretch2FitClick() {
    imgZoom_->setEnabled(!stretch_->isChecked());
    imgZoomLabel_->setEnabled(!stretch_->isChecked());
    Redraw();
}

void TPrintForm::ChooseFont(QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this);
    if (!ok) return;
    font = chosen;
    Redraw();
}

void TPrintForm::BrowsePdf() {
    const QString name = QFileDialog::getSaveFileName(this, QString(), pdfFile_->text(),
                                                      QStringLiteral("PDF (*.pdf)"));
    if (name.isEmpty()) return;
    pdfFile_->setText(name);
    destination_->button(kPdf)->setChecked(true);
}

void TPrintForm::UseDestination() {
    if (destination_->checkedId() == kPdf) {
        printer_.setOutputFormat(QPrinter::PdfFormat);
        printer_.setOutputFileName(pdfFile_->text());
    } else {
        printer_.setOutputFileName(QString());
        printer_.setOutputFormat(QPrinter::NativeFormat);
        printer_.setPrinterName(printerName_->currentText());
    }
    printer_.setResolution(kPrintDpi);
}

// A printer repeats the page itself; a PDF gets the page once per copy,
// whatever copy support its engine reports.
bool TPrintForm::PrintPages() {
    const bool pdf = printer_.outputFormat() == QPrinter::PdfFormat;
    const int copies = copies_->value();
    printer_.setCopyCount(pdf ? 1 : copies);
    printer_.setDocName(title_);
    errno = 0;
    QPainter p;
    if (!p.begin(&printer_)) {
        error_ = errno;
        return false;
    }
    bool ok = true;
    for (int i = 0; i < (pdf ? copies : 1) && ok; ++i) {
        if (i > 0) ok = printer_.newPage();
        if (ok) PaintPage(p);
    }
    ok = p.end() && ok && printer_.printerState() != QPrinter::Error;
    error_ = errno;
    return ok;
}

void TPrintForm::PrintBtnClick() {
    UseDestination();
    if (PrintPages()) {
        accept();
        return;
    }
    MessageBoxKey(key::ErrPrn, key::Err, kExclamation);
    setWindowTitle(QString::number(error_));
}

} // namespace kv
