// The decoder: the marker walk up to the scan, then the one interleaved
// baseline scan (ITU-T T.81 Annex F), MCU row by MCU row, each row turned
// into pixels as soon as its neighbours allow.
#include "jpeg.h"
#include "jpeg_bits.h"

#include <pixkit/threads.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace pixkit {

using namespace jpeg;

namespace {

struct CompState {
    const HuffDecoder* Dc = nullptr;
    const HuffDecoder* Ac = nullptr;
    std::int32_t Q[64];       // zig-zag order, as the coefficients arrive
    std::int32_t Natural[64]; // natural order
    int H = 1, V = 1;
    int BlockW = 8, BlockH = 8; // samples of one block (fewer at a reduced scale)
    int Stride = 0;             // samples per plane row
    std::size_t First = 0;      // its first block in an MCU row's coefficients
    bool DcOnly = false;        // each block gives one sample: its DC term
    // A ring of MCU rows of samples, 8 V rows each, left uninitialised:
    // the transform writes every byte before it is read.
    std::unique_ptr<std::uint8_t[]> Set[8];
};

std::int32_t ClampCoef(std::int32_t v) {
    return std::clamp(v, -2048, 2048);
}

// Where DecodeBlock puts a block's coefficients (k in zig-zag order): into
// a block that holds zeros, dequantized (Dense); or quantized, the DC term
// apart and the others one after the other as (value << 8) | position in
// natural order (Sparse, the form that passes from one stage to the next,
// which dequantizes them; see CoefRow).
struct DenseSink {
    std::int32_t* Coef;
    void Dc(const CompState& c, int v) { Coef[0] = ClampCoef(v * c.Q[0]); }
    void Ac(const CompState& c, int k, int v) { Coef[kZigZag[k]] = ClampCoef(v * c.Q[k]); }
};
struct SparseSink {
    std::int32_t* Next;
    int DcValue = 0;
    void Dc(const CompState&, int v) { DcValue = v; }
    void Ac(const CompState&, int k, int v) { *Next++ = v * 256 | kZigZag[k]; }
};

// Decodes one block into sink. Returns the number of AC coefficients. DcOnly reads past the AC
// terms without storing them (a block that gives one sample needs its DC
// alone).
template <bool DcOnly, typename Sink>
inline __attribute__((always_inline)) int DecodeBlock(BitReader& br, const CompState& c, int& pred,
                                                      Sink& sink) {
    // The DC table's one-step look-up gives the difference with its code
    // when both are short (the end-of-block entry is symbol 0: no
    // difference); a run in it means a symbol no DC table may hold.
    if (br.Count() < 16) br.Fill();
    const std::int32_t fast = c.Dc->FastAc[br.Peek(HuffDecoder::kFastBits)];
    int diff;
    if (fast != 0 && (fast & 0xF00) == 0) {
        br.Consume(fast & 0xFF);
        diff = fast & HuffDecoder::kFastEob ? 0 : fast >> 16;
    } else {
        const int s = DecodeSymbol(br, *c.Dc);
        if (s > 11) throw EInvalidImage();
        diff = s ? Extend(br.Bits(s), s) : 0;
    }
    pred = std::clamp(pred + diff, -2048, 2047);
    sink.Dc(c, pred);
    int n = 0;
    const HuffDecoder& acTable = *c.Ac;
    for (int k = 1; k < 64;) {
        if (br.Count() < 16) br.Fill();
        const std::int32_t fast = acTable.FastAc[br.Peek(HuffDecoder::kFastBits)];
        if (fast != 0) {
            br.Consume(fast & 0xFF);
            if (fast & HuffDecoder::kFastEob) break;
            k += (fast >> 8) & 15;
            if (k > 63) throw EInvalidImage();
            if constexpr (!DcOnly) sink.Ac(c, k, fast >> 16);
            ++n;
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
        if constexpr (!DcOnly) sink.Ac(c, k, value);
        ++n;
        ++k;
    }
    return DcOnly ? 0 : n;
}

// A block of its DC term alone: w x h equal samples.
void FillBlock(std::int32_t dc, std::uint8_t* out, int stride, int w = 8, int h = 8) {
    const auto v = static_cast<std::uint8_t>(std::clamp(((dc * 4 + 16) >> 5) + 128, 0, 255));
    const std::uint64_t row = v * 0x0101010101010101ull;
    if (w == 8) {
        for (int r = 0; r < h; ++r, out += stride) std::memcpy(out, &row, 8);
        return;
    }
    // Fixed-size copies for the narrow blocks of reduced decodes, which are
    // most of their blocks: a call to memset per row costs more than it.
    if (w == 1)
        for (int r = 0; r < h; ++r, out += stride) *out = v;
    else if (w == 2)
        for (int r = 0; r < h; ++r, out += stride) std::memcpy(out, &row, 2);
    else if (w == 4)
        for (int r = 0; r < h; ++r, out += stride) std::memcpy(out, &row, 4);
    else
        for (int r = 0; r < h; ++r, out += stride) std::memset(out, v, std::size_t(w));
}

// Zeros a block's coefficients in whole vectors (a call to memset costs
// more than the 256 bytes themselves).
inline void ClearBlock(std::int32_t* coef) {
    using Lanes = std::int32_t __attribute__((vector_size(16), aligned(16)));
    for (int i = 0; i < 64; i += 4) *reinterpret_cast<Lanes*>(coef + i) = Lanes{};
}

// The coefficients of one MCU row, as the entropy decoder leaves them for
// the transform: every component's blocks, row by row of blocks, each with
// its quantized DC term and its AC coefficients as a SparseSink stores them (few in
// most blocks, so that little memory passes from one stage to the other).
struct BlockInfo {
    std::uint32_t First; // its first entry
    std::int16_t Dc;
    std::uint8_t Count; // entries
};
struct CoefRow {
    std::vector<BlockInfo> Blocks;
    std::unique_ptr<std::int32_t[]> Entries;
    std::size_t Room = 0; // entries Entries holds
    // Makes room for n entries from the first `used`, keeping those.
    void Reserve(std::size_t used, std::size_t n) {
        if (used + n <= Room) return;
        const std::size_t room = std::max(2 * Room, used + n);
        std::unique_ptr<std::int32_t[]> bigger(new std::int32_t[room]);
        std::copy_n(Entries.get(), used, bigger.get());
        Entries = std::move(bigger);
        Room = room;
    }
};

// Decodes in two stages: the entropy-coded data into an MCU row's
// coefficients, which only the calling thread can do (every block's bits
// start where the previous block's end), and from the coefficients to
// pixels, which a second thread does for the rows before meanwhile.
class ScanDecoder {
    static constexpr int kSets = 8; // MCU rows of samples between the stages

  public:
    ScanDecoder(StreamBuf& in, const Frame& f, const Tables& t)
        : br_(in), f_(f), t_(t), out_(f), scale_(f.Scale) {}
    void Run(Buffer& b);

  private:
    void Setup(int slots);
    // Decodes an MCU row's data: into its slot of rows_, or (Fused, when
    // one thread does everything) straight on to its samples.
    template <bool Fused> void DecodeRow(int row);
    void Transform(int row, int set);
    std::uint8_t* BlockAt(const CompState& c, int set, int v, int col) const;
    void Reconstruct(const CompState& c, const std::int32_t* coef, int n, std::uint8_t* out) const;
    void OutputRow(Buffer& b, int row, bool end);
    void Output(Buffer& b, int row, bool last);
    void Report();

    // The first stage's state, changed with every block, on cache lines
    // apart from what the second stage reads (sharing one would pass it
    // between the processors' caches all the time).
    alignas(64) BitReader br_;
    const Frame& f_;
    const Tables& t_;
    int pred_[3] = {}; // each component's DC prediction
    int mcuCount_ = 0, nextRestart_ = 0;

    alignas(64) Frame out_; // the frame as output: at a reduced scale, full resolution at that size
    int scale_;
    CompState comp_[3];
    int mcusX_ = 0, mcusY_ = 0, mcuH_ = 0, lastRow_ = -1, blocksPerMcu_ = 0;
    bool smooth2x2_ = false;            // 2 x 2 luminance: rows need their neighbours
    std::vector<CoefRow> rows_;         // a ring of MCU rows between the stages
    std::vector<std::uint8_t> scratch_; // upsampled chroma rows
    std::vector<std::int16_t> sums_;
    // Image rows output; progress is reported on the calling thread only.
    alignas(64) std::atomic<int> rowsDone_{0};
    std::atomic<int> transformed_{0}, output_{0}; // MCU rows through those stages
    std::vector<std::uint8_t> fused_;             // by slot: DecodeRow<true> did that row
    int reported_ = 0;
    const std::thread::id caller_ = std::this_thread::get_id();
};

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
        const std::size_t bytes = std::size_t(c.Stride) * c.BlockH * c.V;
        for (std::unique_ptr<std::uint8_t[]>& set : c.Set) set.reset(new std::uint8_t[bytes]);
    }
    rows_.resize(std::size_t(slots));
    for (CoefRow& r : rows_) {
        r.Blocks.resize(blocks);
        r.Reserve(0, blocks * 4); // grows in the rare rows that need more
    }
    scratch_.resize(2 * (std::size_t(f_.Width) + 16));
    sums_.resize(std::size_t(f_.Width) / 2 + 16);
}

template <bool Fused> void ScanDecoder::DecodeRow(int row) {
    alignas(32) std::int32_t coef[64] = {};
    std::uint32_t used = 0;
    CoefRow* const r = Fused ? nullptr : &rows_[std::size_t(row) % rows_.size()];
    const int set = row % kSets;
    for (int mx = 0; mx < mcusX_; ++mx) {
        const int interval = t_.RestartInterval;
        if (interval != 0 && mcuCount_ != 0 && mcuCount_ % interval == 0) {
            br_.Restart(nextRestart_);
            nextRestart_ = (nextRestart_ + 1) & 7;
            for (int& p : pred_) p = 0;
        }
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
                        const int col = int(k - c.First) - v * mcusX_ * c.H;
                        Reconstruct(c, coef, n, BlockAt(c, set, v, col));
                        if (n != 0) ClearBlock(coef);
                    } else {
                        SparseSink sink{r->Entries.get() + used};
                        const int n = c.DcOnly ? DecodeBlock<true>(br_, c, pred, sink)
                                               : DecodeBlock<false>(br_, c, pred, sink);
                        r->Blocks[k] = {used, static_cast<std::int16_t>(sink.DcValue),
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

std::uint8_t* ScanDecoder::BlockAt(const CompState& c, int set, int v, int col) const {
    return c.Set[set].get() + std::size_t(v) * c.BlockH * c.Stride + std::size_t(col) * c.BlockW;
}

// A block's samples from its coefficients (n of them AC).
void ScanDecoder::Reconstruct(const CompState& c, const std::int32_t* coef, int n,
                              std::uint8_t* out) const {
    if (n == 0)
        FillBlock(coef[0], out, c.Stride, c.BlockW, c.BlockH);
    else if (scale_ > 1)
        ScaledIDCT(coef, out, c.Stride, c.BlockW, c.BlockH, 8);
    else
        InverseDCT(coef, out, c.Stride);
}

// The MCU row's coefficients to samples in Set[set].
void ScanDecoder::Transform(int row, int set) {
    const CoefRow& r = rows_[std::size_t(row) % rows_.size()];
    alignas(32) std::int32_t coef[64] = {};
    for (int i = 0; i < out_.Count; ++i) {
        const CompState& c = comp_[i];
        const int across = mcusX_ * c.H;
        for (int v = 0; v < c.V; ++v) {
            const BlockInfo* block = r.Blocks.data() + c.First + std::size_t(v) * across;
            for (int col = 0; col < across; ++col, ++block) {
                // coef holds zeros but for the DC term; the entries are
                // cleared again after the transform.
                const std::int32_t* first = r.Entries.get() + block->First;
                const std::int32_t* end = first + block->Count;
                coef[0] = ClampCoef(block->Dc * c.Q[0]);
                for (const std::int32_t* e = first; e != end; ++e)
                    coef[*e & 63] = ClampCoef((*e >> 8) * c.Natural[*e & 63]);
                Reconstruct(c, coef, block->Count, BlockAt(c, set, v, col));
                for (const std::int32_t* e = first; e != end; ++e) coef[*e & 63] = 0;
            }
        }
    }
}

void ScanDecoder::Output(Buffer& b, int row, bool last) {
    McuRows m{};
    m.Top = row * mcuH_;
    m.Rows = std::min(mcuH_, out_.Height - m.Top);
    for (int i = 0; i < out_.Count; ++i) {
        const CompState& c = comp_[i];
        m.Plane[i] = c.Set[row % kSets].get();
        m.Stride[i] = c.Stride;
        if (!smooth2x2_ || i == 0) continue;
        m.Above[i] = row == 0 ? m.Plane[i] : c.Set[(row + kSets - 1) % kSets].get() + 7 * c.Stride;
        const int validRows = (m.Rows + 1) / 2;
        m.Below[i] =
            last ? m.Plane[i] + (validRows - 1) * c.Stride : c.Set[(row + 1) % kSets].get();
    }
    OutputRows(out_, m, b, scratch_.data(), sums_.data());
    rowsDone_.store(m.Top + m.Rows);
    if (std::this_thread::get_id() == caller_) Report();
}

// The last stage for one MCU row, once the next row is transformed (with
// 2 x 2 luminance its first chroma row smooths this row's last). end: no
// row follows, because the picture or its data ends there; then the row is
// smoothed as the image's last. The row after the target's area is only
// there for that smoothing.
void ScanDecoder::OutputRow(Buffer& b, int row, bool end) {
    if (row <= lastRow_) Output(b, row, end || row + 1 == mcusY_);
}

void ScanDecoder::Report() {
    const int done = rowsDone_.load();
    if (done == reported_) return;
    reported_ = done;
    GFXFile::ReportRows(done, out_.Height);
}

void ScanDecoder::Run(Buffer& b) {
    // Decoding a pixel costs about as much as scaling four.
    const std::int64_t work = std::int64_t(f_.Width) * f_.Height * 4 / (f_.Scale * f_.Scale);
    const bool threaded = ThreadsFor(work) > 1;
    // Six MCU rows of coefficients between the first two stages.
    constexpr int slots = 6;
    Setup(threaded ? slots : 0);
    // Rows below the target's area are not decoded at all, except the one
    // that smooths the last row output.
    lastRow_ = b.Area.Bottom < 0 ? -1 : std::min<std::int64_t>(mcusY_ - 1, b.Area.Bottom / mcuH_);
    if (lastRow_ < 0) return;
    const int rows = smooth2x2_ ? std::min(lastRow_ + 2, mcusY_) : lastRow_ + 1;
    const PipelineStage output = {[&](int row, bool end) {
        OutputRow(b, row, end);
        output_.store(row + 1);
    }};
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
    const auto transform = [&](int row, bool) {
        if (!fused_[std::size_t(row % slots)]) Transform(row, row % kSets);
        transformed_.store(row + 1);
    };
    const std::vector<PipelineStage> stages =
        threaded ? std::vector<PipelineStage>{{decode, slots}, {transform, kSets - 1}, output}
                 : std::vector<PipelineStage>{
                       {[&](int row, bool) { DecodeRow<true>(row); }, kSets - 1}, output};
    try {
        Pipeline(rows, work, stages);
    } catch (...) {
        Report();
        throw;
    }
    Report();
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
