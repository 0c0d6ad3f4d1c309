#include "printing.h"

#include "files/printform.h"
#include "keys.h"
#include "lang.h"
#include "message.h"

#include <pixkit/buffer.h>

#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace kv {

namespace {

std::vector<PrinterEntry> SystemPrinters() {
    std::vector<PrinterEntry> list;
    const QString preferred = QPrinterInfo::defaultPrinterName();
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters())
        list.push_back({info.printerName(), info.printerName() == preferred});
    return list;
}

void SystemPageSetup(QWidget* parent, QPrinter& printer) {
    QPageSetupDialog dialog(&printer, parent);
    dialog.exec();
}

} // namespace

// The printer starts on PDF output with margins, so that the header and
// footer have room; a chosen printer replaces the output at print time.
Printing::Printing()
    : Printers(SystemPrinters), PageSetup(SystemPageSetup),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    printer_->setResolution(kPrintDpi);
    printer_->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}

Printing::~Printing() = default;

std::vector<PrinterEntry> Printing::InstalledPrinters() {
    std::vector<PrinterEntry> list = Printers();
    if (list.empty()) {
        MessageBoxKey(key::NoPrinter, key::Err, kExclamation);
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setResolution(kPrintDpi);
    }
    return list;
}

void Printing::Setup(QWidget* parent) {
    InstalledPrinters();
    PageSetup(parent, *printer_);
}

bool Printing::Print(QWidget* parent, const PrintJob& job) {
    const std::vector<PrinterEntry> printers = InstalledPrinters();
    TPrintForm form(parent, *printer_, printers, job);
    return form.exec() == QDialog::Accepted;
}

QImage PrintImage(const pixkit::Buffer& image) {
    if (image.Empty()) return {};
    QImage out(image.Width(), image.Height(), QImage::Format_RGB32);
    if (out.isNull()) return out;
    const int w = image.Width();
    for (int y = 0; y < image.Height(); ++y) {
        const pixkit::Pixel* src = image.At(image.Area.Left, image.Area.Top + y);
        auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) dst[x] = src[x] | 0xFF000000u;
    }
    return out;
}

} // namespace kv
