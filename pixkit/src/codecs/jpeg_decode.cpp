// The decoder: the marker walk up to the scan, then the one interleaved
// baseline scan (ITU-T T.81 Annex F), MCU row by MCU row, each row turned
// into pixels as soon as its neighbours allow.
#include "jpeg.h"
#include "jpeg_bits.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace pixkit {

using namespace jpeg;

namespace {

struct CompState {
    const HuffDecoder* Dc = nullptr;
    const HuffDecoder* Ac = nullptr;
    std::int32_t Q[64]; // zig-zag order, as the coefficients arrive
    int Pred = 0;
    int H = 1, V = 1;
    int BlockW = 8, BlockH = 8;       // samples of one block (fewer at a reduced scale)
    int Stride = 0;                   // samples per plane row
    std::vector<std::uint8_t> Set[2]; // two MCU rows of samples, 8 V rows each
    std::vector<std::uint8_t> Above;  // last row of the MCU row before the previous one
};

std::int32_t ClampCoef(std::int32_t v) {
    return std::clamp(v, -2048, 2048);
}

// Decodes one block into coef (natural order, dequantized), which holds
// zeros on entry, and returns whether any AC coefficient is present. DcOnly
// reads past the AC terms without storing them (a block that gives one
// sample needs its DC alone).
template <bool DcOnly = false> bool DecodeBlock(BitReader& br, CompState& c, std::int32_t* coef) {
    const int s = DecodeSymbol(br, *c.Dc);
    if (s > 11) throw EInvalidImage();
    const int diff = s ? Extend(br.Bits(s), s) : 0;
    c.Pred = std::clamp(c.Pred + diff, -2048, 2047);
    coef[0] = ClampCoef(c.Pred * c.Q[0]);
    bool ac = false;
    const HuffDecoder& acTable = *c.Ac;
    for (int k = 1; k < 64;) {
        if (br.Count() < 16) br.Fill();
        const std::int32_t fast = acTable.FastAc[br.Peek(HuffDecoder::kFastBits)];
        if (fast != 0) {
            br.Consume(fast & 0xFF);
            k += (fast >> 8) & 15;
            if (k > 63) throw EInvalidImage();
            if constexpr (!DcOnly) {
                const int z = kZigZag[k];
                coef[z] = ClampCoef((fast >> 16) * c.Q[k]);
            }
            ac = true;
            ++k;
            continue;
        }
        const int rs = DecodeSymbol(br, acTable);
        const int run = rs >> 4, size = rs & 15;
        if (size == 0) {
            if (run != 15) break; // end of block
            k += 16;
            continue;
        }
        k += run;
        if (k > 63 || size > 10) throw EInvalidImage();
        const int value = Extend(br.Bits(size), size);
        if constexpr (!DcOnly) {
            const int z = kZigZag[k];
            coef[z] = ClampCoef(value * c.Q[k]);
        }
        ac = true;
        ++k;
    }
    return ac;
}

// A block of its DC term alone: w x h equal samples.
void FillBlock(std::int32_t dc, std::uint8_t* out, int stride, int w = 8, int h = 8) {
    const auto v = static_cast<std::uint8_t>(std::clamp(((dc * 4 + 16) >> 5) + 128, 0, 255));
    if (w == 8) {
        const std::uint64_t row = v * 0x0101010101010101ull;
        for (int r = 0; r < h; ++r, out += stride) std::memcpy(out, &row, 8);
        return;
    }
    for (int r = 0; r < h; ++r, out += stride) std::memset(out, v, std::size_t(w));
}

// Zeros a block's coefficients in whole vectors (a call to memset costs
// more than the 256 bytes themselves).
inline void ClearBlock(std::int32_t* coef) {
    using Lanes = std::int32_t __attribute__((vector_size(16), aligned(16)));
    for (int i = 0; i < 64; i += 4) *reinterpret_cast<Lanes*>(coef + i) = Lanes{};
}

class ScanDecoder {
  public:
    ScanDecoder(StreamBuf& in, const Frame& f, const Tables& t) : br_(in), f_(f), t_(t), out_(f) {}
    void Run(Buffer& b);

  private:
    void Setup();
    void DecodeRow(int set);
    void Output(Buffer& b, int row, bool last);

    BitReader br_;
    const Frame& f_;
    const Tables& t_;
    Frame out_; // the frame as output: at a reduced scale, full resolution at that size
    CompState comp_[3];
    int mcusX_ = 0, mcusY_ = 0, mcuH_ = 0;
    bool smooth2x2_ = false; // 2 x 2 luminance: rows need their neighbours
    int mcuCount_ = 0, nextRestart_ = 0;
    std::vector<std::uint8_t> scratch_; // upsampled chroma rows
    std::vector<std::int16_t> sums_;
};

void ScanDecoder::Setup() {
    const Component& luma = f_.Comp[0];
    const int mcuW = 8 * luma.H;
    mcusX_ = (f_.Width + mcuW - 1) / mcuW;
    mcusY_ = (f_.Height + 8 * luma.V - 1) / (8 * luma.V);
    mcuH_ = BlockSamples(f_, 0, false) * luma.V;
    smooth2x2_ = f_.Count == 3 && luma.V == 2 && f_.Scale == 1;
    if (f_.Scale > 1) {
        out_.Width = ScaledSize(f_.Width, f_.Scale);
        out_.Height = ScaledSize(f_.Height, f_.Scale);
        for (int i = 0; i < f_.Count; ++i) out_.Comp[i].H = out_.Comp[i].V = 1;
    }
    for (int i = 0; i < f_.Count; ++i) {
        const Component& src = f_.Comp[i];
        CompState& c = comp_[i];
        if (!t_.QuantDefined[src.Quant] || !t_.Dc[src.DcTable].Defined ||
            !t_.Ac[src.AcTable].Defined)
            throw EInvalidImage();
        c.Dc = &t_.Dc[src.DcTable];
        c.Ac = &t_.Ac[src.AcTable];
        for (int k = 0; k < 64; ++k) c.Q[k] = t_.Quant[src.Quant][kZigZag[k]];
        c.H = src.H;
        c.V = src.V;
        c.BlockW = BlockSamples(f_, i, true);
        c.BlockH = BlockSamples(f_, i, false);
        c.Stride = mcusX_ * c.BlockW * c.H;
        const std::size_t bytes = std::size_t(c.Stride) * c.BlockH * c.V;
        c.Set[0].resize(bytes);
        if (smooth2x2_) {
            c.Set[1].resize(bytes);
            c.Above.resize(c.Stride);
        }
    }
}

void ScanDecoder::DecodeRow(int set) {
    alignas(32) std::int32_t coef[64] = {};
    for (int mx = 0; mx < mcusX_; ++mx) {
        const int interval = t_.RestartInterval;
        if (interval != 0 && mcuCount_ != 0 && mcuCount_ % interval == 0) {
            br_.Restart(nextRestart_);
            nextRestart_ = (nextRestart_ + 1) & 7;
            for (int i = 0; i < f_.Count; ++i) comp_[i].Pred = 0;
        }
        for (int i = 0; i < f_.Count; ++i) {
            CompState& c = comp_[i];
            std::uint8_t* base = c.Set[set].data() + mx * c.BlockW * c.H;
            for (int v = 0; v < c.V; ++v)
                for (int h = 0; h < c.H; ++h) {
                    std::uint8_t* out = base + v * c.BlockH * c.Stride + h * c.BlockW;
                    if (c.BlockW == 1 && c.BlockH == 1) {
                        DecodeBlock<true>(br_, c, coef);
                        FillBlock(coef[0], out, c.Stride, 1, 1);
                    } else if (!DecodeBlock(br_, c, coef)) {
                        FillBlock(coef[0], out, c.Stride, c.BlockW, c.BlockH);
                    } else {
                        if (f_.Scale > 1)
                            ScaledIDCT(coef, out, c.Stride, c.BlockW, c.BlockH, 8);
                        else
                            InverseDCT(coef, out, c.Stride);
                        ClearBlock(coef);
                    }
                    coef[0] = 0;
                }
        }
        br_.CheckNotOverrun();
        ++mcuCount_;
    }
}

void ScanDecoder::Output(Buffer& b, int row, bool last) {
    McuRows m{};
    m.Top = row * mcuH_;
    m.Rows = std::min(mcuH_, out_.Height - m.Top);
    const int set = smooth2x2_ ? row & 1 : 0;
    for (int i = 0; i < f_.Count; ++i) {
        const CompState& c = comp_[i];
        m.Plane[i] = c.Set[set].data();
        m.Stride[i] = c.Stride;
        if (!smooth2x2_ || i == 0) continue;
        m.Above[i] = row == 0 ? m.Plane[i] : c.Above.data();
        const int validRows = (m.Rows + 1) / 2;
        m.Below[i] = last ? m.Plane[i] + (validRows - 1) * c.Stride : comp_[i].Set[set ^ 1].data();
    }
    OutputRows(out_, m, b, scratch_.data(), sums_.data());
    GFXFile::ReportRows(m.Top + m.Rows, out_.Height);
}

void ScanDecoder::Run(Buffer& b) {
    Setup();
    // Rows below the target's area are not decoded at all.
    const int lastRow =
        b.Area.Bottom < 0 ? -1 : std::min<std::int64_t>(mcusY_ - 1, b.Area.Bottom / mcuH_);
    scratch_.resize(2 * (std::size_t(f_.Width) + 16));
    sums_.resize(std::size_t(f_.Width) / 2 + 16);
    if (!smooth2x2_) {
        for (int row = 0; row <= lastRow; ++row) {
            DecodeRow(0);
            Output(b, row, row + 1 == mcusY_);
        }
        return;
    }
    // Each row is output once the next one is decoded; the row before is
    // kept in Above for the same reason.
    if (lastRow >= 0) DecodeRow(0);
    for (int row = 0; row <= lastRow; ++row) {
        const int other = (row + 1) & 1; // holds the row before, then the row after
        if (row > 0)
            for (int i = 1; i < 3; ++i) {
                CompState& c = comp_[i];
                std::memcpy(c.Above.data(), c.Set[other].data() + 7 * c.Stride, c.Stride);
            }
        if (row + 1 < mcusY_) {
            try {
                DecodeRow(other);
            } catch (...) {
                // The data ends in the next row: this one is complete and
                // smoothed as the image's last.
                Output(b, row, true);
                throw;
            }
        }
        Output(b, row, row + 1 == mcusY_);
    }
}

} // namespace

void JpegFormat::Load(Buffer& b, TStream* s, GFXtra32*) {
    Decode(b, s, nullptr, nullptr);
}

void JpegFormat::LoadReduced(Buffer& b, TStream* s, GFXtra32*, Pair<int> atLeast,
                             Pair<int>* fullSize) {
    Decode(b, s, &atLeast, fullSize);
}

void JpegFormat::Decode(Buffer& b, TStream* s, const Pair<int>* atLeast, Pair<int>* fullSize) {
    StreamBuf in(s, 65536);
    if (in.Get() != 0xFF || in.Get() != SOI) throw EInvalidImage();
    Frame f;
    bool haveFrame = false, singleScan = false;
    auto tables = std::make_unique<Tables>();
    int transform = -1;
    for (;;) {
        const std::uint8_t m = NextMarker(in);
        switch (m) {
        case SOF0:
        case SOF1:
        case SOF2:
        case SOF9:
        case SOF10:
            if (haveFrame) throw EInvalidImage();
            SetFrameType(f, m);
            singleScan = ReadFrame(in, f) && !f.Progressive && !f.Arithmetic;
            HeightFromDnl(in, f);
            f.DataBytes = BytesLeft(in);
            if (!singleScan && !MultiScanAccepted(f)) throw EInvalidImage();
            if (fullSize != nullptr) *fullSize = {f.Width, f.Height};
            if (atLeast != nullptr) f.Scale = ChooseScale(f, *atLeast);
            haveFrame = true;
            break;
        case DQT:
            ReadDQT(in, *tables);
            break;
        case DHT:
            ReadDHT(in, *tables);
            break;
        case DRI:
            ReadDRI(in, *tables);
            break;
        case DAC:
            ReadDAC(in, *tables);
            break;
        case SOI:
            break;
        case APP14:
            transform = ReadAdobeTransform(in);
            break;
        case SOS: {
            if (!haveFrame) throw EInvalidImage();
            Scan scan;
            ReadScan(in, f, scan);
            UseStandardHuffmanWhereMissing(*tables);
            if (!singleScan || !WholeInOneScan(f, scan)) {
                f.Rgb = RgbComponents(f, transform);
                f.Adobe = transform;
                DecodeMultiScan(in, f, *tables, scan, b);
                return;
            }
            f.Rgb = f.Count == 3 && transform == 0;
            if (!WithinBudget(f, b.Empty(), false)) throw EInvalidImage();
            AllocImage(b, ScaledSize(f.Width, f.Scale), ScaledSize(f.Height, f.Scale));
            ScanDecoder(in, f, *tables).Run(b);
            return;
        }
        default:
            // Other frame types, restart markers out of place, EOI and
            // hierarchical segments: nothing this codec can decode.
            if (m < 0xC0 || m == JPG || (m >= DQT && m != DHP && m != EXP))
                SkipSegment(in);
            else
                throw EInvalidImage();
        }
    }
}

namespace jpeg {

std::uint32_t BitReader::SlowByte() {
    if (marker_ != 0) {
        padding_ += 8;
        return 0;
    }
    std::uint8_t byte, next;
    try {
        byte = in_.Get();
        if (byte != 0xFF) return byte;
        next = in_.Get();
        while (next == 0xFF) next = in_.Get();
    } catch (const EReadError&) {
        marker_ = kEndOfStream;
        padding_ += 8;
        return 0;
    }
    if (next == 0) return 0xFF;
    marker_ = next;
    padding_ += 8;
    return 0;
}

void BitReader::Restart(int n) {
    bits_ = 0;
    count_ = 0;
    padding_ = 0;
    if (marker_ == kEndOfStream) throw EReadError();
    if (marker_ == 0) marker_ = NextMarker(in_);
    if (marker_ != RST0 + n) throw EInvalidImage();
    marker_ = 0;
}

} // namespace jpeg
} // namespace pixkit
