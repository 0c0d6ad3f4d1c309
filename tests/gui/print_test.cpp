// File > Print on the real main window with a stand-in list of installed
// printers, printing to PDF files that poppler's tools read back: page
// count and size, the header and footer texts, and the rasterised page with
// the image's place and colours.
#include "paintgui.h"

#include "files/printform.h"
#include "files/printing.h"
#include "paint/painttools.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;
using kvtest::PaintGui;

namespace {

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
        ::pclose(pipe);
    }
    return out;
}

// A page rasterised by pdftoppm: rows of 0xRRGGBB.
struct Raster {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t At(int x, int y) const { return Pixels[std::size_t(y) * Width + x]; }
};

Raster Rasterise(const fs::path& pdf, const fs::path& dir) {
    const fs::path stem = dir / "page";
    Output("pdftoppm -r 100 -f 1 -l 1 -singlefile '" + pdf.string() + "' '" + stem.string() + "'");
    std::ifstream in(stem.string() + ".ppm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    Raster r;
    in >> magic >> r.Width >> r.Height >> maxval;
    in.get();
    std::vector<unsigned char> rgb(std::size_t(r.Width) * r.Height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()));
    for (std::size_t i = 0; i < rgb.size(); i += 3)
        r.Pixels.push_back(std::uint32_t(rgb[i]) << 16 | std::uint32_t(rgb[i + 1]) << 8 |
                           rgb[i + 2]);
    return r;
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

struct PageSize {
    double Width = 0, Height = 0;
    int Pages = 0;
};

PageSize Info(const fs::path& pdf) {
    std::istringstream lines(Output("pdfinfo '" + pdf.string() + "'"));
    PageSize s;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Pages:", 0) == 0) s.Pages = std::stoi(line.substr(6));
        if (line.rfind("Page size:", 0) == 0)
            std::sscanf(line.c_str(), "Page size: %lf x %lf", &s.Width, &s.Height);
    }
    return s;
}

template <typename T> T* Child(QWidget& form, const char* name) {
    T* w = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void Press(QWidget& form, const char* name) {
    Child<QAbstractButton>(form, name)->click();
}

class PrintTest : public PaintGui {
  protected:
    // The form's controls are set by act once it shows; a form that is still
    // open afterwards is cancelled.
    static void OnForm(std::function<void(kv::TPrintForm&)> act) {
        QTimer::singleShot(0, [act] {
            auto* form = qobject_cast<kv::TPrintForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            act(*form);
            if (form->isVisible()) form->reject();
        });
    }
    // No printer installed, A4 paper with 15 mm margins.
    static void NoPrinters(kv::TMainForm& form) {
        kv::Printing& p = form.PrintCommands();
        p.Printers = [] { return std::vector<kv::PrinterEntry>{}; };
        p.Printer().setPageSize(QPageSize(QPageSize::A4));
        p.Printer().setPageOrientation(QPageLayout::Portrait);
    }
    // Prints to pdf with the form's settings made by adjust.
    void PrintTo(kv::TMainForm& form, const fs::path& pdf,
                 std::function<void(kv::TPrintForm&)> adjust = {}) {
        OnForm([&](kv::TPrintForm& f) {
            Child<QLineEdit>(f, "PdfFile")->setText(QString::fromStdString(pdf.string()));
            if (adjust) adjust(f);
            Press(f, "PrintBtn");
            EXPECT_FALSE(f.isVisible()) << "a successful print closes the form";
        });
        form.MenuCommand("Print1")->trigger();
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const kvtest::Shown& s : shown_) n += s.Text == text && s.Caption == "Err";
        return n;
    }
};

// Four quadrants: red, green / blue, yellow; top bytes as given.
void Quadrants(kv::UDBuffer& image, pixkit::Pixel top) {
    image.Alloc({200, 100});
    const pixkit::Pixel colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) *image.At(x, y) = top | colours[(y / 50) * 2 + x / 100];
}

TEST_F(PrintTest, PdfPagePlacesImageTextAndColours) {
    RunPainting([&](kv::TMainForm& form) {
        NoPrinters(form);
        for (const pixkit::Pixel top : {0x00000000u, 0x01000000u}) {
            SCOPED_TRACE(top);
            Quadrants(form.Docs().CurrentImage(), top);
            form.RefreshView();
            const fs::path pdf = root_ / "quadrants.pdf";
            shown_.clear();
            PrintTo(form, pdf, [](kv::TPrintForm& f) {
                EXPECT_TRUE(Child<QAbstractButton>(f, "Destination1")->isChecked());
                EXPECT_FALSE(Child<QAbstractButton>(f, "Destination0")->isEnabled());
                Child<QLineEdit>(f, "Header")->setText("HDR-1");
                Child<QLineEdit>(f, "Footer")->setText("FTR-1");
                Press(f, "HorizPos1");
                Press(f, "VertPos1");
            });
            EXPECT_EQ(Count("NoPrinter"), 1);
            const PageSize info = Info(pdf);
            EXPECT_EQ(info.Pages, 1);
            EXPECT_NEAR(info.Width, 595.3, 1);
            EXPECT_NEAR(info.Height, 841.9, 1);
            const std::string text = Output("pdftotext '" + pdf.string() + "' -");
            EXPECT_NE(text.find("HDR-1"), std::string::npos) << text;
            EXPECT_NE(text.find("FTR-1"), std::string::npos) << text;

            // 599 x 299 units, centred in the printable area, at 3 units a pixel.
            const Raster r = Rasterise(pdf, root_);
            ASSERT_GT(r.Width, 0);
            const QRect area = form.PrintCommands().Printer().pageLayout().paintRectPixels(300);
            const int left = (area.left() + (area.width() - 599) / 2) / 3;
            const int top0 = (area.top() + (area.height() - 299) / 2) / 3;
            const int margin = area.top() / 3;
            int x0 = r.Width, y0 = r.Height, x1 = -1, y1 = -1;
            for (int y = margin; y < r.Height - margin; ++y)
                for (int x = 0; x < r.Width; ++x)
                    if (r.At(x, y) != 0xFFFFFF) {
                        x0 = std::min(x0, x), x1 = std::max(x1, x);
                        y0 = std::min(y0, y), y1 = std::max(y1, y);
                    }
            EXPECT_NEAR(x0, left, 2);
            EXPECT_NEAR(y0, top0, 2);
            EXPECT_NEAR(x1 - x0 + 1, 200, 2);
            EXPECT_NEAR(y1 - y0 + 1, 100, 2);
            const std::uint32_t expected[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
            for (int q = 0; q < 4; ++q) {
                const std::uint32_t got = r.At(x0 + 50 + (q % 2) * 100, y0 + 25 + (q / 2) * 50);
                EXPECT_TRUE(Near(got, expected[q], 8))
                    << "quadrant " << q << ": " << std::hex << got;
            }
            // Outside the image only the two text lines, one in each margin.
            int header = 0, footer = 0, stray = 0;
            for (int y = 0; y < r.Height; ++y)
                for (int x = 0; x < r.Width; ++x) {
                    if (r.At(x, y) == 0xFFFFFF) continue;
                    if (y < margin)
                        ++header;
                    else if (y >= r.Height - margin)
                        ++footer;
                    else
                        stray += x < x0 || x > x1 || y < y0 || y > y1;
                }
            EXPECT_GT(header, 0);
            EXPECT_GT(footer, 0);
            EXPECT_EQ(stray, 0);
        }
    });
}

TEST_F(PrintTest, SetupLandscapeAndCopies) {
    std::string expected;
    Run({"-l"}, [&](kv::TMainForm& form) {
        NoPrinters(form);
        kv::Printing& printing = form.PrintCommands();
        int setups = 0;
        printing.PageSetup = [&setups](QWidget*, QPrinter& printer) {
            ++setups;
            printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        };
        form.MenuCommand("PrinterSetup1")->trigger();
        EXPECT_EQ(setups, 1) << "with no printer the set-up still goes on for PDF";
        EXPECT_EQ(Count("NoPrinter"), 1);
        const QRect portrait = printing.Printer().pageLayout().paintRectPixels(300);
        const fs::path pdf = root_ / "landscape.pdf";
        PrintTo(form, pdf, [](kv::TPrintForm& f) {
            Press(f, "Orientation1");
            Child<QSpinBox>(f, "Copies")->setValue(2);
        });
        const PageSize info = Info(pdf);
        EXPECT_EQ(info.Pages, 2) << "a PDF holds the page once per copy";
        EXPECT_NEAR(info.Width, 841.9, 1);
        EXPECT_NEAR(info.Height, 595.3, 1);
        // The next opening starts from the landscape page.
        OnForm([](kv::TPrintForm& f) {
            EXPECT_TRUE(Child<QAbstractButton>(f, "Orientation1")->isChecked());
        });
        form.MenuCommand("Print1")->trigger();
        // Landscape swaps the printable height and width.
        expected = "Printer PageHeight:" + std::to_string(portrait.width()) +
                   ", PageWidth:" + std::to_string(portrait.height()) + ".";
    });
    std::vector<std::string> lines;
    for (const std::string& l : LogLines())
        if (l.find("Printer PageHeight:") != std::string::npos) lines.push_back(l);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(expected), std::string::npos) << lines[0] << " / " << expected;
}

TEST_F(PrintTest, FailureCancelAndUndoLeaveImageAndSnapshotAlone) {
    RunPainting([&](kv::TMainForm& form) {
        kv::Printing& printing = form.PrintCommands();
        printing.Printers = [] {
            return std::vector<kv::PrinterEntry>{{"alpha", false}, {"beta", true}};
        };
        const std::vector<pixkit::Pixel> before = Pixels(form);
        Select(form, kv::PenContTool());
        Click(form, {40, 40});
        const std::vector<pixkit::Pixel> stroke = Pixels(form);
        ASSERT_NE(stroke, before);

        // A PDF path in a missing folder: told, the form stays open, no file.
        const fs::path bad = root_ / "missing" / "out.pdf";
        bool stayedOpen = false;
        QString caption;
        OnForm([&](kv::TPrintForm& f) {
            EXPECT_EQ(Child<QComboBox>(f, "PrinterName")->currentText(), "beta");
            Press(f, "Destination1");
            Child<QLineEdit>(f, "PdfFile")->setText(QString::fromStdString(bad.string()));
            Press(f, "PrintBtn");
            stayedOpen = f.isVisible();
            caption = f.windowTitle();
        });
        form.MenuCommand("Print1")->trigger();
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(Count("ErrPrn"), 1);
        EXPECT_EQ(Count("NoPrinter"), 0);
        bool number = false;
        caption.toInt(&number);
        EXPECT_TRUE(number) << caption.toStdString();
        EXPECT_FALSE(fs::exists(bad));

        // Cancel: no file, nothing changed.
        const fs::path cancelled = root_ / "cancelled.pdf";
        OnForm([&](kv::TPrintForm& f) {
            Press(f, "Destination1");
            Child<QLineEdit>(f, "PdfFile")->setText(QString::fromStdString(cancelled.string()));
            Press(f, "CancelBtn");
        });
        form.MenuCommand("Print1")->trigger();
        EXPECT_FALSE(fs::exists(cancelled));
        EXPECT_EQ(Pixels(form), stroke);

        // A print that works keeps the stroke's undo step.
        const fs::path pdf = root_ / "stroke.pdf";
        PrintTo(form, pdf, [](kv::TPrintForm& f) { Press(f, "Destination1"); });
        EXPECT_TRUE(fs::exists(pdf));
        EXPECT_EQ(Pixels(form), stroke);
        ExpectUndoRestores(form, before);
    });
}

} // namespace
