// Marker syntax (ITU-T T.81 Annex B): the marker walk, the frame header with
// the codec's acceptance rules, the table segments, and the format's Test.
#include "jpeg.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace pixkit {
namespace jpeg {

std::uint8_t NextMarker(StreamBuf& in) {
    for (;;) {
        std::uint8_t c = in.Get();
        if (c != 0xFF) continue; // stray bytes between segments
        do c = in.Get();
        while (c == 0xFF); // fill bytes (B.1.1.2)
        if (c != 0) return c;
    }
}

void SkipSegment(StreamBuf& in) {
    const int len = in.GetBE16();
    if (len < 2) throw EInvalidImage();
    in.Skip(len - 2);
}

int ReadAdobeTransform(StreamBuf& in) {
    const int len = in.GetBE16();
    if (len < 2) throw EInvalidImage();
    if (len < 14) {
        in.Skip(len - 2);
        return -1;
    }
    std::uint8_t data[12];
    in.Read(data, 12);
    in.Skip(len - 14);
    // "Adobe", version, two flag words, then the transform.
    const bool adobe =
        data[0] == 'A' && data[1] == 'd' && data[2] == 'o' && data[3] == 'b' && data[4] == 'e';
    return adobe ? data[11] : -1;
}

int ReadExifOrientation(StreamBuf& in) {
    const int len = in.GetBE16();
    if (len < 2) throw EInvalidImage();
    std::vector<std::uint8_t> seg(std::size_t(len - 2));
    in.Read(seg.data(), std::int64_t(seg.size()));
    const std::size_t n = seg.size();
    if (n < 14 || std::memcmp(seg.data(), "Exif\0\0", 6) != 0) return 0;
    const std::uint8_t* tiff = seg.data() + 6;
    const std::size_t size = n - 6;
    const bool le = tiff[0] == 'I' && tiff[1] == 'I';
    if (!le && !(tiff[0] == 'M' && tiff[1] == 'M')) return 0;
    auto u16 = [&](std::size_t at) {
        return le ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
    };
    auto u32 = [&](std::size_t at) {
        return le ? std::uint32_t(u16(at)) | (std::uint32_t(u16(at + 2)) << 16)
                  : (std::uint32_t(u16(at)) << 16) | std::uint32_t(u16(at + 2));
    };
    if (u16(2) != 42) return 0;
    const std::uint32_t ifd = u32(4);
    if (ifd > size - 2 || size < 8) return 0;
    const int entries = u16(ifd);
    for (int i = 0; i < entries; ++i) {
        const std::size_t e = ifd + 2 + std::size_t(i) * 12;
        if (e + 12 > size) break;
        // Orientation: tag 0x0112, one SHORT held in the entry itself.
        if (u16(e) == 0x0112 && u16(e + 2) == 3 && u32(e + 4) == 1) {
            const int o = u16(e + 8);
            return o >= 1 && o <= 8 ? o : 0;
        }
    }
    return 0;
}

namespace {

bool SamplingAccepted(const Frame& f) {
    const Component* c = f.Comp;
    // One component is always coded block by block (T.81 A.2.2), so its
    // sampling factors do not matter as long as they are legal.
    if (f.Count == 1) return c[0].H >= 1 && c[0].H <= 4 && c[0].V >= 1 && c[0].V <= 4;
    const bool lumaOk = (c[0].H == 1 && c[0].V == 1) || (c[0].H == 2 && c[0].V == 1) ||
                        (c[0].H == 2 && c[0].V == 2);
    return lumaOk && c[1].H == 1 && c[1].V == 1 && c[2].H == 1 && c[2].V == 1;
}

// Three consecutive identifiers (1, 2, 3 or 0, 1, 2, ...); the first without
// bit 1, which keeps out the letters R, G, B of RGB-coded files.
bool IdentifiersAccepted(const Frame& f) {
    if (f.Count == 1) return true;
    const Component* c = f.Comp;
    return (c[1].Id == c[0].Id + 1 || c[1].Id == 2) && (c[2].Id == 3 || c[2].Id == c[1].Id + 1) &&
           (c[0].Id & 2) == 0;
}

} // namespace

bool MultiScanAccepted(const Frame& f) {
    if (!f.Complete || (f.Precision != 8 && f.Precision != 12) || f.Width <= 0 || f.Height <= 0)
        return false;
    int hMax = 1, vMax = 1, blocks = 0;
    for (int i = 0; i < f.Count; ++i) {
        const Component& c = f.Comp[i];
        if (c.H < 1 || c.H > 4 || c.V < 1 || c.V > 4) return false;
        hMax = std::max(hMax, c.H);
        vMax = std::max(vMax, c.V);
        blocks += c.H * c.V;
    }
    // Sampling factors must divide evenly into the largest ones for the
    // components to line up (T.81 A.1.1 leaves other ratios undefined).
    for (int i = 0; i < f.Count; ++i)
        if (hMax % f.Comp[i].H != 0 || vMax % f.Comp[i].V != 0) return false;
    return f.Count == 1 || blocks <= 10;
}

int BlockSamples(const Frame& f, int c, bool horizontal) {
    if (f.Scale == 1 || f.Count == 1) return 8 / f.Scale;
    int most = 1;
    for (int i = 0; i < f.Count; ++i) most = std::max(most, horizontal ? f.Comp[i].H : f.Comp[i].V);
    return 8 / f.Scale * most / (horizontal ? f.Comp[c].H : f.Comp[c].V);
}

int ChooseScale(const Frame& f, Pair<int> atLeast) {
    for (int scale = 8; scale > 1; scale /= 2) {
        if (ScaledSize(f.Width, scale) < atLeast.x || ScaledSize(f.Height, scale) < atLeast.y)
            continue;
        Frame g = f;
        g.Scale = scale;
        bool fits = true;
        for (int i = 0; i < f.Count; ++i)
            fits = fits && BlockSamples(g, i, true) <= 16 && BlockSamples(g, i, false) <= 16;
        if (fits) return scale;
    }
    return 1;
}

std::int64_t BytesLeft(const StreamBuf& in) {
    return in.Stream->Size() - in.Stream->Position() + (in.Count - in.Pos);
}

bool WithinBudget(const Frame& f, bool newPicture, bool multiScan) {
    constexpr std::int64_t MB = std::int64_t(1) << 20;
    int hMax = 1, vMax = 1;
    for (int i = 0; i < f.Count; ++i) {
        hMax = std::max(hMax, f.Comp[i].H);
        vMax = std::max(vMax, f.Comp[i].V);
    }
    if (f.Count == 1) hMax = vMax = 1;
    const std::int64_t mcus = ((std::int64_t(f.Width) + 8 * hMax - 1) / (8 * hMax)) *
                              ((std::int64_t(f.Height) + 8 * vMax - 1) / (8 * vMax));
    std::int64_t blocks = 0;
    for (int i = 0; i < f.Count; ++i)
        blocks += f.Count == 1 ? mcus : mcus * f.Comp[i].H * f.Comp[i].V;
    // The scan-by-scan decoder holds every block's coefficients, then its
    // samples.
    const std::int64_t cost =
        (newPicture ? std::int64_t(f.Width) * f.Height * 4 : 0) + (multiScan ? blocks * 192 : 0);
    if (cost <= (f.Arithmetic ? 16 : 64) * MB) return true;
    const std::int64_t needed = f.Arithmetic ? 0 : f.Progressive ? blocks / 8 : blocks / 4;
    return f.DataBytes >= needed && cost <= 256 * std::max(f.DataBytes, MB);
}

void HeightFromDnl(StreamBuf& in, Frame& f) {
    if (f.Height != 0 || !f.Complete) return;
    TStream* s = in.Stream;
    const std::int64_t pos = s->Position();
    // Entropy-coded data has no FF DC in it, so the first one is the DNL
    // marker; the bytes still buffered come first, then the stream's rest.
    std::vector<std::uint8_t> window(in.Buf.get() + in.Pos, in.Buf.get() + in.Count);
    std::vector<std::uint8_t> chunk(65536);
    for (;;) {
        for (std::size_t i = 0; i + 5 < window.size(); ++i)
            if (window[i] == 0xFF && window[i + 1] == DNL && window[i + 2] == 0 &&
                window[i + 3] == 4) {
                f.Height = (window[i + 4] << 8) | window[i + 5];
                s->SetPosition(pos);
                return;
            }
        const std::int64_t got = s->Read(chunk.data(), std::int64_t(chunk.size()));
        if (got <= 0) break;
        window.erase(window.begin(), window.end() - std::min<std::ptrdiff_t>(window.size(), 5));
        window.insert(window.end(), chunk.begin(), chunk.begin() + got);
    }
    s->SetPosition(pos);
}

void SetFrameType(Frame& f, std::uint8_t marker) {
    f.Progressive = marker == SOF2 || marker == SOF10;
    f.Arithmetic = marker == SOF9 || marker == SOF10;
}

bool WholeInOneScan(const Frame& f, const Scan& s) {
    if (s.Count != f.Count || s.Ss != 0 || s.Se != 63 || s.Ah != 0 || s.Al != 0) return false;
    for (int i = 0; i < s.Count; ++i)
        if (s.Comp[i] != i) return false;
    return true;
}

bool RgbComponents(const Frame& f, int adobeTransform) {
    if (f.Count != 3) return false;
    if (adobeTransform >= 0) return adobeTransform == 0;
    return f.Comp[0].Id == 'R' && f.Comp[1].Id == 'G' && f.Comp[2].Id == 'B';
}

void ReadScan(StreamBuf& in, Frame& f, Scan& s) {
    const int len = in.GetBE16();
    s.Count = in.Get();
    if (s.Count < 1 || s.Count > f.Count || len != 6 + 2 * s.Count) throw EInvalidImage();
    for (int i = 0; i < s.Count; ++i) {
        const int id = in.Get();
        int k = 0;
        while (k < f.Count && f.Comp[k].Id != id) ++k;
        // Unknown or repeated components, or not in frame order (T.81 B.2.3).
        if (k == f.Count || (i > 0 && k <= s.Comp[i - 1])) throw EInvalidImage();
        s.Comp[i] = k;
        const int tables = in.Get();
        f.Comp[k].DcTable = tables >> 4;
        f.Comp[k].AcTable = tables & 15;
        if (f.Comp[k].DcTable > 3 || f.Comp[k].AcTable > 3) throw EInvalidImage();
    }
    s.Ss = in.Get();
    s.Se = in.Get();
    const int a = in.Get();
    s.Ah = a >> 4;
    s.Al = a & 15;
}

bool ReadFrame(StreamBuf& in, Frame& f) {
    const int len = in.GetBE16();
    f.Precision = in.Get();
    f.Height = in.GetBE16();
    f.Width = in.GetBE16();
    const int count = in.Get();
    f.Count = count;
    if (len != 8 + 3 * count || count < 1 || count > 4 || count == 2) return false;
    for (int i = 0; i < count; ++i) {
        Component& c = f.Comp[i];
        c.Id = in.Get();
        const int hv = in.Get();
        c.H = hv >> 4;
        c.V = hv & 15;
        c.Quant = in.Get();
        if (c.Quant > 3) return false;
    }
    f.Complete = true;
    // A height of 0 defers the size to a DNL segment, which is not supported.
    const bool ok = count != 4 && f.Precision == 8 && f.Width > 0 && f.Height > 0 &&
                    SamplingAccepted(f) && IdentifiersAccepted(f);
    if (ok && count == 1) f.Comp[0].H = f.Comp[0].V = 1;
    return ok;
}

void ReadDQT(StreamBuf& in, Tables& t) {
    int left = in.GetBE16() - 2;
    while (left > 0) {
        const int pt = in.Get();
        const int precision = pt >> 4, id = pt & 15;
        if (precision > 1 || id > 3) throw EInvalidImage();
        left -= 1 + 64 * (precision + 1);
        if (left < 0) throw EInvalidImage();
        auto& q = t.Quant[id];
        for (int k = 0; k < 64; ++k) q[kZigZag[k]] = precision ? in.GetBE16() : in.Get();
        t.QuantDefined[id] = true;
    }
    if (left != 0) throw EInvalidImage();
}

void ReadDHT(StreamBuf& in, Tables& t) {
    int left = in.GetBE16() - 2;
    while (left > 0) {
        const int tc = in.Get();
        const int cls = tc >> 4, id = tc & 15;
        if (cls > 1 || id > 3) throw EInvalidImage();
        std::uint8_t counts[16];
        in.Read(counts, 16);
        int total = 0;
        for (int n : counts) total += n;
        if (total > 256) throw EInvalidImage();
        left -= 17 + total;
        if (left < 0) throw EInvalidImage();
        std::uint8_t symbols[256];
        in.Read(symbols, total);
        BuildHuffDecoder(cls ? t.Ac[id] : t.Dc[id], counts, symbols);
    }
    if (left != 0) throw EInvalidImage();
}

void ReadDRI(StreamBuf& in, Tables& t) {
    if (in.GetBE16() != 4) throw EInvalidImage();
    t.RestartInterval = in.GetBE16();
}

void ReadDAC(StreamBuf& in, Tables& t) {
    int left = in.GetBE16() - 2;
    if (left < 0 || left % 2 != 0) throw EInvalidImage();
    for (; left > 0; left -= 2) {
        const int tc = in.Get(), value = in.Get();
        const int cls = tc >> 4, id = tc & 15;
        if (cls > 1 || id > 3) throw EInvalidImage();
        if (cls == 0) {
            t.DcLower[id] = static_cast<std::uint8_t>(value & 15);
            t.DcUpper[id] = static_cast<std::uint8_t>(value >> 4);
        } else {
            if (value < 1 || value > 63) throw EInvalidImage();
            t.AcLimit[id] = static_cast<std::uint8_t>(value);
        }
    }
}

} // namespace jpeg

using namespace jpeg;

namespace {

// Whether the frame's first scan is one the single-scan decoder takes; true
// when the data ends or breaks before it (Load fails there either way).
bool FirstScanWhole(StreamBuf& in, Frame f) {
    try {
        for (;;) {
            const std::uint8_t m = NextMarker(in);
            if (m == SOS) {
                Scan s;
                ReadScan(in, f, s);
                return WholeInOneScan(f, s);
            }
            if (m == EOI || DecodableFrame(m)) return true;
            if (m != SOI && (m < RST0 || m > RST7)) SkipSegment(in);
        }
    } catch (const EStreamError&) {
        return true;
    }
}

} // namespace

std::int8_t JpegFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        try {
            return TestMarkers(s, d);
        } catch (const EInvalidImage&) {
            return 0; // a broken segment length before the frame
        }
    });
}

std::int8_t JpegFormat::TestMarkers(TStream* s, GFXFileDesc* d) {
    StreamBuf in(s, 4096);
    if (in.Get() != 0xFF || in.Get() != SOI) return 0;
    int orientation = 1;
    for (;;) {
        const std::uint8_t m = NextMarker(in);
        if (m == APP1) {
            if (const int o = ReadExifOrientation(in); o != 0) orientation = o;
            continue;
        }
        if (DecodableFrame(m)) {
            Frame f;
            SetFrameType(f, m);
            bool single = ReadFrame(in, f) && !f.Progressive && !f.Arithmetic;
            HeightFromDnl(in, f);
            f.DataBytes = BytesLeft(in);
            bool ok = single || MultiScanAccepted(f);
            // As Load: a frame the single-scan decoder takes whose first
            // scan is not one whole goes to the scan-by-scan decoder.
            if (ok && single) single = FirstScanWhole(in, f);
            ok = ok && WithinBudget(f, true, !single);
            if (d != nullptr) {
                d->Width = f.Width;
                d->Height = f.Height;
                d->Color = f.Count > 1;
                d->WithPal = 0;
                d->BPCC = static_cast<std::uint8_t>(std::clamp(f.Precision, 0, 16));
                d->BPP = static_cast<std::uint8_t>(std::min(f.Count, 15) * d->BPCC);
                d->Orientation = static_cast<std::uint8_t>(orientation);
            }
            return ok ? 1 : -1;
        }
        // Tables, application data and comments come before the frame;
        // any other frame type (lossless),
        // hierarchical segments, scans and EOI mean it is not ours.
        const bool skippable = m < 0xC0 || m == DHT || m == DAC || m == JPG || m == SOI ||
                               (m >= DQT && m != DHP && m != EXP);
        if (!skippable) return 0;
        if (m != SOI) SkipSegment(in);
    }
}

} // namespace pixkit
