// The program's printer: one QPrinter for the run at 300 dpi, the printer
// set-up dialog, and the print form for the current image. The installed
// printers come through a replaceable function: the program asks the print
// system, tests give their own list. With no printer installed the user is
// told, and a PDF file remains as the destination.
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPrinter;
class QWidget;

namespace pixkit {
class Buffer;
}

namespace kv {

// What the print form prints: the image, the document's shown name as the
// title, and the PDF file offered first.
struct PrintJob {
    QImage Image;
    QString Title;
    QString PdfName;
};

struct PrinterEntry {
    QString Name;
    bool Default = false;
};

class Printing {
  public:
    Printing();
    ~Printing();

    // The installed printers; QPrinterInfo's list unless replaced.
    std::function<std::vector<PrinterEntry>()> Printers;
    // The page set-up dialog (paper, orientation, margins) on the printer;
    // QPageSetupDialog unless replaced.
    std::function<void(QWidget* parent, QPrinter& printer)> PageSetup;

    QPrinter& Printer() { return *printer_; }

    // "P&rinter Setup...".
    void Setup(QWidget* parent);
    // "&Print...": the print form; true when the page was printed.
    bool Print(QWidget* parent, const PrintJob& job);

  private:
    // The installed printers, after telling the user when there is none.
    std::vector<PrinterEntry> InstalledPrinters();

    std::unique_ptr<QPrinter> printer_;
};

// The pixels as an opaque RGB image for printing. The top byte of each pixel
// is not colour (fill marks, palette indices) and is ignored.
QImage PrintImage(const pixkit::Buffer& image);

} // namespace kv
