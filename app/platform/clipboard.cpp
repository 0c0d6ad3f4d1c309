#include "clipboard.h"

#include "dib.h"

#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstring>

namespace kv {

namespace {

QImage ToQImage(const pixkit::Buffer& image) {
    QImage q(image.Width(), image.Height(), QImage::Format_RGB32);
    if (q.isNull()) throw std::bad_alloc();
    for (int y = 0; y < q.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(q.scanLine(y));
        const pixkit::Pixel* src = image.At(image.Area.Left, image.Area.Top + y);
        for (int x = 0; x < q.width(); ++x) row[x] = 0xFF000000u | (src[x] & 0x00FFFFFFu);
    }
    return q;
}

void FromQImage(pixkit::Buffer& out, const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull()) throw pixkit::EInvalidImage();
    pixkit::AllocImage(out, rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        pixkit::Pixel* dst = out.At(out.Area.Left, out.Area.Top + y);
        for (int x = 0; x < rgb.width(); ++x) dst[x] = row[x] & 0x00FFFFFFu;
    }
}

} // namespace

void ExportToClipboard(const pixkit::Buffer& image) {
    const std::vector<std::uint8_t> file = BmpFileFromDib(DibFromImage(image));
    QByteArray png;
    QBuffer sink(&png);
    sink.open(QIODevice::WriteOnly);
    ToQImage(image).save(&sink, "PNG");
    auto data = std::make_unique<QMimeData>();
    data->setData(kBmpMime, QByteArray(reinterpret_cast<const char*>(file.data()),
                                       static_cast<qsizetype>(file.size())));
    data->setData(kPngMime, png);
    QGuiApplication::clipboard()->setMimeData(data.release());
}

bool ClipboardOffersImage() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && (data->hasFormat(kBmpMime) || data->hasImage());
}

void ImportFromClipboard(pixkit::Buffer& out) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr) throw pixkit::EInvalidImage();
    if (data->hasFormat(kBmpMime)) {
        const QByteArray bytes = data->data(kBmpMime);
        const std::vector<std::uint8_t> dib =
            DibFromBmpFile(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        ImageFromDib(out, dib.data(), dib.size(), CoreHeader::Allowed);
        return;
    }
    if (!data->hasImage()) throw pixkit::EInvalidImage();
    FromQImage(out, qvariant_cast<QImage>(data->imageData()));
}

} // namespace kv
