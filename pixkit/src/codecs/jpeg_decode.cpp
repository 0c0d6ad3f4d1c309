// The decoder: the marker walk up to the scan, then the one interleaved
// baseline scan (ITU-T T.81 Annex F), MCU row by MCU row, each row turned
// into pixels as soon as its neighbours allow.
#include "jpeg.h"
#include "jpeg_bits.h"
#include "jpeg_scan.h"

#include <pixkit/threads.h>

namespace pixkit {

using namespace jpeg;

namespace jpeg {

void ScanDecoder::Setup(int slots) {
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
    std::size_t blocks = 0;
    for (int i = 0; i < f_.Count; ++i) {
        const Component& src = f_.Comp[i];
        CompState& c = comp_[i];
        if (!t_.QuantDefined[src.Quant] || !t_.Dc[src.DcTable].Defined ||
            !t_.Ac[src.AcTable].Defined)
            throw EInvalidImage();
        c.Dc = &t_.Dc[src.DcTable];
        c.Ac = &t_.Ac[src.AcTable];
        for (int k = 0; k < 64; ++k) {
            c.Q[k] = t_.Quant[src.Quant][kZigZag[k]];
            c.Natural[k] = t_.Quant[src.Quant][std::size_t(k)];
        }
        c.H = src.H;
        c.V = src.V;
        c.BlockW = BlockSamples(f_, i, true);
        c.BlockH = BlockSamples(f_, i, false);
        c.DcOnly = c.BlockW == 1 && c.BlockH == 1;
        c.Stride = mcusX_ * c.BlockW * c.H;
        c.First = blocks;
        blocks += std::size_t(mcusX_) * c.H * c.V;
        blocksPerMcu_ += c.H * c.V;
        const std::size_t bytes = c.SetBytes();
        for (int s = 0; s < kSets; ++s) {
            c.Set[s].reset(new std::uint8_t[bytes]);
            ring_.Sets[i][s] = c.Set[s].get();
        }
    }
    ring_.Size = kSets;
    rows_.resize(std::size_t(slots));
    for (CoefRow& r : rows_) {
        r.ReserveBlocks(0, blocks);
        r.Reserve(0, blocks * 4); // grows in the rare rows that need more
    }
    scratch_.resize(2 * (std::size_t(f_.Width) + 16));
    sums_.resize(std::size_t(f_.Width) / 2 + 16);
}

template <bool Fused> void ScanDecoder::DecodeRow(int row) {
    alignas(32) std::int32_t coef[64] = {};
    std::uint32_t used = 0;
    CoefRow* const r = Fused ? nullptr : &rows_[std::size_t(row) % rows_.size()];
    // Where each component's block rows of this MCU row start in the ring.
    std::uint8_t* rowStart[4][4] = {};
    if constexpr (Fused)
        for (int i = 0; i < f_.Count; ++i)
            for (int v = 0; v < comp_[i].V; ++v) rowStart[i][v] = BlockAt(ring_, i, row, v, 0);
    for (int mx = 0; mx < mcusX_; ++mx) {
        RestartIfDue();
        if constexpr (!Fused) r->Reserve(used, std::size_t(blocksPerMcu_) * 63);
        for (int i = 0; i < f_.Count; ++i) {
            const CompState& c = comp_[i];
            int& pred = pred_[i];
            for (int v = 0; v < c.V; ++v) {
                const std::size_t first = c.First + (std::size_t(v) * mcusX_ + mx) * c.H;
                for (std::size_t k = first; k < first + std::size_t(c.H); ++k) {
                    if constexpr (Fused) {
                        DenseSink sink{coef};
                        const int n = c.DcOnly ? DecodeBlock<true>(br_, c, pred, sink)
                                               : DecodeBlock<false>(br_, c, pred, sink);
                        const std::size_t col = std::size_t(mx) * c.H + (k - first);
                        Reconstruct(c, coef, n, rowStart[i][v] + col * c.BlockW);
                        if (n != 0) ClearBlock(coef);
                    } else {
                        SparseSink sink{r->Entries() + used};
                        const int n = c.DcOnly ? DecodeBlock<true>(br_, c, pred, sink)
                                               : DecodeBlock<false>(br_, c, pred, sink);
                        r->Blocks()[k] = {used, static_cast<std::int16_t>(sink.DcValue),
                                          static_cast<std::uint8_t>(n)};
                        used += std::uint32_t(n);
                    }
                }
            }
        }
        br_.CheckNotOverrun();
        ++mcuCount_;
    }
}

template void ScanDecoder::DecodeRow<true>(int row);

std::uint8_t* ScanDecoder::BlockAt(const SampleRing& ring, int i, int row, int v, int col) const {
    const CompState& c = comp_[i];
    return ring.At(i, row) + std::size_t(v) * c.BlockH * c.Stride + std::size_t(col) * c.BlockW;
}

void ScanDecoder::ReconstructStored(const CompState& c, const CoefRow& r, const BlockInfo& block,
                                    std::int32_t* coef, std::uint8_t* out) const {
    const std::int32_t* first = r.Entries() + block.First;
    const std::int32_t* end = first + block.Count;
    coef[0] = ClampCoef(block.Dc * c.Q[0]);
    for (const std::int32_t* e = first; e != end; ++e)
        coef[*e & 63] = ClampCoef((*e >> 8) * c.Natural[*e & 63]);
    Reconstruct(c, coef, block.Count, out);
    // Back to zeros: entry by entry where they are few, in whole vectors
    // where they are many (blocks of a detailed picture hold dozens).
    if (block.Count > 8)
        ClearBlock(coef);
    else
        for (const std::int32_t* e = first; e != end; ++e) coef[*e & 63] = 0;
}

// The MCU row's coefficients to samples in the ring.
void ScanDecoder::Transform(int row) {
    const CoefRow& r = rows_[std::size_t(row) % rows_.size()];
    alignas(32) std::int32_t coef[64] = {};
    for (int i = 0; i < out_.Count; ++i) {
        const CompState& c = comp_[i];
        const int across = mcusX_ * c.H;
        for (int v = 0; v < c.V; ++v) {
            const BlockInfo* block = r.Blocks() + c.First + std::size_t(v) * across;
            std::uint8_t* out = BlockAt(ring_, i, row, v, 0);
            for (int col = 0; col < across; ++col, ++block, out += c.BlockW)
                ReconstructStored(c, r, *block, coef, out);
        }
    }
}

void ScanDecoder::Output(Buffer& b, int row, bool last, const SampleRing& ring,
                         std::uint8_t* scratch, std::int16_t* sums) {
    McuRows m{};
    m.Top = row * mcuH_;
    m.Rows = std::min(mcuH_, out_.Height - m.Top);
    for (int i = 0; i < out_.Count; ++i) {
        const CompState& c = comp_[i];
        m.Plane[i] = ring.At(i, row);
        m.Stride[i] = c.Stride;
        if (!smooth2x2_ || i == 0) continue;
        m.Above[i] = row == 0 ? m.Plane[i] : ring.At(i, row + ring.Size - 1) + 7 * c.Stride;
        const int validRows = (m.Rows + 1) / 2;
        m.Below[i] = last ? m.Plane[i] + (validRows - 1) * c.Stride : ring.At(i, row + 1);
    }
    OutputRows(out_, m, b, scratch, sums);
    rowsDone_.fetch_add(m.Rows);
    if (std::this_thread::get_id() == caller_) Report();
}

// The last stage for one MCU row, once the next row is transformed (with
// 2 x 2 luminance its first chroma row smooths this row's last). end: no
// row follows, because the picture or its data ends there; then the row is
// smoothed as the image's last. The row after the target's area is only
// there for that smoothing.
void ScanDecoder::OutputRow(Buffer& b, int row, bool end) {
    if (row <= lastRow_)
        Output(b, row, end || row + 1 == mcusY_, ring_, scratch_.data(), sums_.data());
}

void ScanDecoder::Report() {
    const int done = rowsDone_.load();
    if (done == reported_) return;
    reported_ = done;
    GFXFile::ReportRows(done, out_.Height);
}

void ScanDecoder::Run(Buffer& b, StreamBuf* inMemory) {
    const std::int64_t work = Work();
    const bool threaded = ThreadsFor(work) > 1;
    // Six MCU rows of coefficients between the first two stages.
    constexpr int slots = 6;
    Setup(threaded ? slots : 0);
    // Rows below the target's area are not decoded at all, except the one
    // that smooths the last row output.
    lastRow_ = b.Area.Bottom < 0 ? -1 : std::min<std::int64_t>(mcusY_ - 1, b.Area.Bottom / mcuH_);
    if (lastRow_ < 0) return;
    const int rows = smooth2x2_ ? std::min(lastRow_ + 2, mcusY_) : lastRow_ + 1;
    if (threaded && inMemory != nullptr && DecodeSplit(*this, *inMemory, b, rows)) return;
    const auto outputRow = [&](int row, bool end) {
        OutputRow(b, row, end);
        output_.store(row + 1);
    };
    // Only the 2 x 2 smoothing needs the row below before a row is output.
    const PipelineStage output = {outputRow, 2, smooth2x2_};
    // On one thread each row goes straight on to its samples. With a helper
    // the rows' coefficients go to it, except while it falls behind (three
    // rows decoded but not transformed): then the calling thread transforms
    // rows itself as it decodes them, which costs less than a separate
    // transform (the ring of samples must have room: a row's samples are
    // overwritten once the row after it is output).
    fused_.assign(slots, 0);
    const auto decode = [&](int row, bool) {
        Report();
        const bool fuse = row - transformed_.load() >= 3 && output_.load() >= row - kSets + 2;
        fused_[std::size_t(row % slots)] = fuse;
        if (fuse)
            DecodeRow<true>(row);
        else
            DecodeRow<false>(row);
    };
    // A row is transformed as soon as it is decoded: it needs no other row.
    const auto transform = [&](int row, bool) {
        if (!fused_[std::size_t(row % slots)]) Transform(row);
        transformed_.store(row + 1);
    };
    const std::vector<PipelineStage> stages =
        threaded
            ? std::vector<PipelineStage>{{decode, slots}, {transform, kSets - 1, false}, output}
            : std::vector<PipelineStage>{{[&](int row, bool) { DecodeRow<true>(row); }, kSets - 1},
                                         output};
    try {
        Pipeline(rows, work, stages);
    } catch (...) {
        Report();
        throw;
    }
    Report();
}

} // namespace jpeg

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
                const std::int64_t rest = BytesLeft(in);
                if (MultiScanInMemory(f, rest) && WithinBudget(f, b.Empty(), true)) {
                    RestOfStream whole(in, rest);
                    DecodeMultiScan(whole.Buf(), f, *tables, scan, b, true);
                } else {
                    DecodeMultiScan(in, f, *tables, scan, b, false);
                }
                return;
            }
            f.Rgb = f.Count == 3 && transform == 0;
            if (!WithinBudget(f, b.Empty(), false)) throw EInvalidImage();
            AllocImage(b, ScaledSize(f.Width, f.Scale), ScaledSize(f.Height, f.Scale));
            const std::int64_t rest = BytesLeft(in);
            if (ScanDecoder::MaySplit(f, rest)) {
                RestOfStream whole(in, rest);
                ScanDecoder(whole.Buf(), f, *tables).Run(b, &whole.Buf());
            } else {
                ScanDecoder(in, f, *tables).Run(b, nullptr);
            }
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
