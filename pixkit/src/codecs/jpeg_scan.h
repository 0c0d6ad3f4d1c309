// The decoder of the one interleaved baseline scan (ITU-T T.81 Annex F)
// and the pieces its stages share: the entropy decoding of a block, the
// coefficient rows that pass between threads and the rings of sample rows
// the last stage reads.
#pragma once

#include "jpeg.h"
#include "jpeg_bits.h"
#include "kept_memory.h"

#include <pixkit/stream.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace pixkit::jpeg {

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
    // The bytes of one MCU row's samples.
    std::size_t SetBytes() const { return std::size_t(Stride) * BlockH * V; }
};

inline std::int32_t ClampCoef(std::int32_t v) {
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
inline void FillBlock(std::int32_t dc, std::uint8_t* out, int stride, int w = 8, int h = 8) {
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

// Coefficients as the entropy decoder leaves them for the transform: each
// block with its quantized DC term and its AC coefficients as a SparseSink
// stores them (few in most blocks, so that little memory passes from one
// stage to the other). The pipeline keeps one MCU row in each (every
// component's blocks, row by row of blocks); the split decoder keeps whole
// MCUs, one after the other.
struct BlockInfo {
    std::uint32_t First; // its first entry
    std::int16_t Dc;
    std::uint8_t Count; // entries
};
// Makes k hold at least need bytes (twice its old size at least: stores
// that need more grow as they go), its first `used` kept (as far as there
// were any).
inline void GrowKept(KeptBlock& k, std::size_t used, std::size_t need) {
    if (need <= k.size()) return;
    KeptBlock bigger(std::max(2 * k.size(), need));
    used = std::min(used, k.size());
    if (used != 0) std::memcpy(bigger.data(), k.data(), used);
    k = std::move(bigger);
}

struct CoefRow {
    KeptBlock BlockMemory, EntryMemory;
    BlockInfo* Blocks() const { return BlockMemory.As<BlockInfo>(); }
    std::int32_t* Entries() const { return EntryMemory.As<std::int32_t>(); }
    // Makes room for n blocks in all, keeping the first `used`.
    void ReserveBlocks(std::size_t used, std::size_t n) {
        GrowKept(BlockMemory, used * sizeof(BlockInfo), n * sizeof(BlockInfo));
    }
    // Makes room for n entries from the first `used` on, keeping those.
    void Reserve(std::size_t used, std::size_t n) {
        GrowKept(EntryMemory, used * sizeof(std::int32_t), (used + n) * sizeof(std::int32_t));
    }
};

// Decodes in two stages: the entropy-coded data into an MCU row's
// coefficients, which only the calling thread can do (every block's bits
// start where the previous block's end), and from the coefficients to
// pixels, which a second thread does for the rows before meanwhile.
// MCU rows of samples for the last stage: component c's samples of MCU
// row r start at At(c, r), a ring of Size rows.
struct SampleRing {
    std::uint8_t* Sets[3][8] = {};
    int Size = 0;
    std::uint8_t* At(int c, int row) const { return Sets[c][row % Size]; }
};

// Decodes in two stages: the entropy-coded data into an MCU row's
// coefficients, which only the calling thread can do (every block's bits
// start where the previous block's end), and from the coefficients to
// pixels, which a second thread does for the rows before meanwhile. With
// the data in memory, SplitDecoder lets a second thread decode the second
// half of the data as well.
class ScanDecoder {
    static constexpr int kSets = 8; // MCU rows of samples between the stages

  public:
    ScanDecoder(StreamBuf& in, const Frame& f, const Tables& t)
        : br_(in), f_(f), t_(t), out_(f), scale_(f.Scale), idct_(ChosenInverseDCT()) {}
    // Whether the data of a scan of dataBytes may be split between two
    // threads; the caller then passes the rest of the stream in memory.
    static bool MaySplit(const Frame& f, std::int64_t dataBytes);
    // inMemory: the StreamBuf the decoder reads, when it holds the rest of
    // the stream.
    void Run(Buffer& b, StreamBuf* inMemory);

  private:
    friend class SplitDecoder;

    // Decoding a pixel costs about as much as scaling four.
    static std::int64_t WorkOf(const Frame& f) {
        return std::int64_t(f.Width) * f.Height * 4 / (f.Scale * f.Scale);
    }
    std::int64_t Work() const { return WorkOf(f_); }
    void Setup(int slots);
    // Decodes an MCU row's data: into its slot of rows_, or (Fused, when
    // one thread does everything) straight on to its samples.
    template <bool Fused> void DecodeRow(int row);
    void Transform(int row);
    std::uint8_t* BlockAt(const SampleRing& ring, int i, int row, int v, int col) const;
    // A block's samples from its coefficients (n of them AC).
    void Reconstruct(const CompState& c, const std::int32_t* coef, int n, std::uint8_t* out) const {
        if (n == 0)
            FillBlock(coef[0], out, c.Stride, c.BlockW, c.BlockH);
        else if (scale_ > 1)
            ScaledIDCT(coef, out, c.Stride, c.BlockW, c.BlockH, 8);
        else
            idct_(coef, out, c.Stride);
    }
    // A stored block's samples; coef holds zeros and is left so.
    void ReconstructStored(const CompState& c, const CoefRow& r, const BlockInfo& block,
                           std::int32_t* coef, std::uint8_t* out) const;
    void OutputRow(Buffer& b, int row, bool end);
    // Converts one MCU row's samples to pixels; scratch and sums as
    // OutputRows needs them.
    void Output(Buffer& b, int row, bool last, const SampleRing& ring, std::uint8_t* scratch,
                std::int16_t* sums);
    void Report();
    // Ends a restart interval when one is due before the next MCU: the
    // restart marker is read and the predictions reset. Once per interval:
    // a caller that stopped there and goes on does not end it again.
    void RestartIfDue() {
        const int interval = t_.RestartInterval;
        if (interval == 0 || mcuCount_ == 0 || mcuCount_ % interval != 0 ||
            restartedAt_ == mcuCount_)
            return;
        br_.Restart(nextRestart_);
        nextRestart_ = (nextRestart_ + 1) & 7;
        for (int& p : pred_) p = 0;
        restartedAt_ = mcuCount_;
    }

    // The first stage's state, changed with every block, on cache lines
    // apart from what the second stage reads (sharing one would pass it
    // between the processors' caches all the time).
    alignas(64) BitReader br_;
    const Frame& f_;
    const Tables& t_;
    int pred_[3] = {}; // each component's DC prediction
    int mcuCount_ = 0, nextRestart_ = 0, restartedAt_ = -1;

    alignas(64) Frame out_; // the frame as output: at a reduced scale, full resolution at that size
    int scale_;
    InverseDCTCode idct_;
    CompState comp_[3];
    int mcusX_ = 0, mcusY_ = 0, mcuH_ = 0, lastRow_ = -1, blocksPerMcu_ = 0;
    bool smooth2x2_ = false;            // 2 x 2 luminance: rows need their neighbours
    std::vector<CoefRow> rows_;         // a ring of MCU rows between the stages
    SampleRing ring_;                   // the pipeline's samples, kSets rows
    std::vector<std::uint8_t> scratch_; // upsampled chroma rows
    std::vector<std::int16_t> sums_;
    // Image rows output; progress is reported on the calling thread only.
    alignas(64) std::atomic<int> rowsDone_{0};
    std::atomic<int> transformed_{0}, output_{0}; // MCU rows through those stages
    std::vector<std::uint8_t> fused_;             // by slot: DecodeRow<true> did that row
    int reported_ = 0;
    const std::thread::id caller_ = std::this_thread::get_id();
};

// A StreamBuf that reads count bytes of memory it does not own (it lets go
// of them at its end), over an empty stream of its own: a reader that runs
// past them ends there, as at the end of a file.
class BorrowedStreamBuf {
  public:
    BorrowedStreamBuf(const std::uint8_t* data, int count) : buf_(&none_, 1) {
        buf_.Buf.reset(const_cast<std::uint8_t*>(data));
        buf_.Count = count;
    }
    BorrowedStreamBuf(const BorrowedStreamBuf&) = delete;
    BorrowedStreamBuf& operator=(const BorrowedStreamBuf&) = delete;
    ~BorrowedStreamBuf() { [[maybe_unused]] std::uint8_t* const p = buf_.Buf.release(); }
    StreamBuf& Buf() { return buf_; }

  private:
    TFixedMemoryStream none_{nullptr, 0};
    StreamBuf buf_;
};

// The rest of the stream, bytes of it, read into one buffer of kept
// memory.
class RestOfStream {
  public:
    RestOfStream(StreamBuf& in, std::int64_t bytes);
    StreamBuf& Buf() { return buf_.Buf(); }

  private:
    KeptBlock memory_;
    BorrowedStreamBuf buf_;
};

// Decodes rows MCU rows with the data split between two threads, from in
// (which holds the rest of the stream); false when the data is too short
// to split, before anything is decoded.
bool DecodeSplit(ScanDecoder& d, StreamBuf& in, Buffer& b, int rows);
// Test hooks: -1 never splits the data, 1 whenever it allows, 0 (the
// default) when it pays; how often the two threads met so far.
void ForceJpegSplit(int mode);
int JpegSplitMeetings();

} // namespace pixkit::jpeg
