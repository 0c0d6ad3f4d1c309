// The clipboard and scanner DIB path on arbitrary bytes: a DIB (or a BMP
// file around one) decoded as an import from the clipboard, with and
// without core headers allowed, and scanner frames of any layout turned
// into DIBs and decoded back.
#include "platform/dib.h"
#include "platform/scanframe.h"

#include <pixkit/stream.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::int64_t kMaxPixels = std::int64_t(1) << 22;

// Images whose declared size the fuzzer's memory limit would refuse are skipped.
bool Modest(const std::uint8_t* p, std::size_t n) {
    if (n < 12) return true;
    std::uint32_t size;
    std::memcpy(&size, p, 4);
    std::int64_t w, h;
    if (size < 40) {
        w = p[4] | p[5] << 8;
        h = p[6] | p[7] << 8;
    } else if (n >= 12) {
        std::int32_t w32, h32;
        std::memcpy(&w32, p + 4, 4);
        std::memcpy(&h32, p + 8, 4);
        w = std::abs(std::int64_t(w32));
        h = std::abs(std::int64_t(h32));
    } else {
        return true;
    }
    return w * h <= kMaxPixels;
}

void Decode(const std::vector<std::uint8_t>& dib, kv::CoreHeader core) {
    if (!Modest(dib.data(), dib.size())) return;
    try {
        pixkit::Buffer out;
        kv::ImageFromDib(out, dib.data(), dib.size(), core);
    } catch (const pixkit::Exception&) {
    }
}

void ScanFrame(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return;
    kv::ScanFrame f;
    f.Grey = (data[0] & 1) != 0;
    f.Depth = data[0] & 2 ? 16 : (data[0] & 4 ? 1 : 8);
    f.Width = 1 + data[1] % 64;
    f.Lines = 1 + data[2] % 64;
    f.BytesPerLine = data[3] | (data[4] & 1) << 8;
    f.Data.assign(data + 5, data + size);
    try {
        const std::vector<std::uint8_t> dib = kv::DibFromScanFrame(f);
        pixkit::Buffer out;
        kv::ImageFromDib(out, dib.data(), dib.size(), kv::CoreHeader::Refused);
        if (out.Width() != f.Width || out.Height() != f.Lines) std::abort();
    } catch (const std::runtime_error&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const std::vector<std::uint8_t> dib = kv::DibFromBmpFile(bytes);
    Decode(dib, kv::CoreHeader::Allowed);
    Decode(dib, kv::CoreHeader::Refused);
    ScanFrame(data, size);
    return 0;
}
