#include "dib.h"

#include <pixkit/bitmap.h>
#include <pixkit/stream.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace kv {

namespace {

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// A core header as the decoder takes it: the info layout up to biSizeImage.
constexpr std::size_t kCoreAsInfo = 36;

// Bytes of colour table (or bit-field masks) behind a header.
std::uint64_t TableBytes(const pixkit::BITMAPINFOHEADER& h, bool core) {
    if (core) {
        // 3-byte entries, always a full table below 16 bits.
        return h.biBitCount <= 8 ? 3ull << h.biBitCount : 0;
    }
    std::uint64_t entries = h.biClrUsed;
    if (entries == 0 && h.biBitCount <= 8) entries = 1ull << h.biBitCount;
    std::uint64_t bytes = entries * 4;
    if (h.biCompression == pixkit::BI_BITFIELDS && h.biSize == kDibHeaderSize) bytes += 12;
    return bytes;
}

} // namespace

std::vector<std::uint8_t> DibFromImage(const pixkit::Buffer& image) {
    const int w = image.Empty() ? 0 : image.Width();
    const int h = image.Empty() ? 0 : image.Height();
    const std::size_t row = std::size_t(w) * 4;
    std::vector<std::uint8_t> dib(kDibHeaderSize + row * std::size_t(h));
    std::uint8_t* p = dib.data();
    Put32(p, kDibHeaderSize);
    Put32(p + 4, static_cast<std::uint32_t>(w));
    Put32(p + 8, static_cast<std::uint32_t>(h));
    Put16(p + 12, 1);
    Put16(p + 14, 32);
    std::uint8_t* out = p + kDibHeaderSize;
    for (int y = h - 1; y >= 0; --y, out += row) {
        const pixkit::Pixel* src = image.At(image.Area.Left, image.Area.Top + y);
        for (int x = 0; x < w; ++x) Put32(out + std::size_t(x) * 4, src[x]);
    }
    return dib;
}

std::vector<std::uint8_t> BmpFileFromDib(const std::vector<std::uint8_t>& dib) {
    std::vector<std::uint8_t> file(kBmpFileHeaderSize + dib.size());
    file[0] = 'B';
    file[1] = 'M';
    Put32(&file[2], static_cast<std::uint32_t>(file.size()));
    Put32(&file[10], static_cast<std::uint32_t>(kBmpFileHeaderSize + kDibHeaderSize));
    if (!dib.empty()) std::memcpy(&file[kBmpFileHeaderSize], dib.data(), dib.size());
    if (dib.size() >= kDibHeaderSize) {
        // Pixels follow the header and its table.
        pixkit::BITMAPINFOHEADER h{};
        std::memcpy(&h, dib.data(), sizeof h);
        Put32(&file[10], static_cast<std::uint32_t>(kBmpFileHeaderSize + h.biSize +
                                                    TableBytes(h, h.biSize < kDibHeaderSize)));
    }
    return file;
}

std::vector<std::uint8_t> DibFromBmpFile(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() >= kBmpFileHeaderSize && bytes[0] == 'B' && bytes[1] == 'M')
        return std::vector<std::uint8_t>(bytes.begin() + kBmpFileHeaderSize, bytes.end());
    return bytes;
}

void ImageFromDib(pixkit::Buffer& out, const std::uint8_t* dib, std::size_t size, CoreHeader core) {
    if (size < 12) throw pixkit::EInvalidImage();
    const std::uint32_t headerSize = Get32(dib);
    if (headerSize < 12 || headerSize > size) throw pixkit::EInvalidImage();
    const bool isCore = headerSize < kDibHeaderSize;
    if (isCore && core == CoreHeader::Refused) throw pixkit::EInvalidImage();

    // The header in the info layout; a core header's 16-bit fields widened.
    pixkit::BITMAPINFOHEADER h{};
    if (isCore) {
        h.biSize = kCoreAsInfo;
        h.biWidth = dib[4] | dib[5] << 8;
        h.biHeight = static_cast<std::int16_t>(dib[6] | dib[7] << 8);
        h.biPlanes = static_cast<std::uint16_t>(dib[8] | dib[9] << 8);
        h.biBitCount = static_cast<std::uint16_t>(dib[10] | dib[11] << 8);
    } else {
        std::memcpy(&h, dib, sizeof h);
    }
    if (h.biBitCount == 0 || h.biBitCount > 32) throw pixkit::EInvalidImage();
    const std::uint64_t tableBytes = TableBytes(h, isCore);
    const std::uint64_t infoSize = std::uint64_t(headerSize) + tableBytes;
    if (infoSize > size) throw pixkit::EInvalidImage();

    std::uint64_t pixelBytes = isCore ? 0 : h.biSizeImage;
    if (pixelBytes == 0) {
        const std::uint64_t w = static_cast<std::uint32_t>(h.biWidth < 0 ? 0 : h.biWidth);
        const std::uint64_t rows =
            h.biHeight < 0 ? std::uint64_t(-std::int64_t(h.biHeight)) : std::uint64_t(h.biHeight);
        pixelBytes = (w * h.biBitCount + 31) / 32 * 4 * rows;
    }
    pixelBytes = std::min<std::uint64_t>(pixelBytes, size - infoSize);

    // The info block BitmapFromStream reads, in aligned memory: the header
    // (a core header as its 36-byte info form) and the table behind it.
    const std::size_t headAt = isCore ? kCoreAsInfo : headerSize;
    std::vector<std::uint32_t> info((headAt + tableBytes + 3) / 4 + 1, 0);
    auto* block = reinterpret_cast<std::uint8_t*>(info.data());
    if (isCore)
        std::memcpy(block, &h, kCoreAsInfo);
    else
        std::memcpy(block, dib, headerSize);
    std::memcpy(block + headAt, dib + headerSize, static_cast<std::size_t>(tableBytes));
    pixkit::TFixedMemoryStream pixels(dib + infoSize, static_cast<std::size_t>(pixelBytes));
    pixkit::BitmapFromStream(out, reinterpret_cast<const pixkit::BITMAPINFO*>(block),
                             headAt + static_cast<std::size_t>(tableBytes), &pixels);
}

} // namespace kv
