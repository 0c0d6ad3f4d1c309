// Decoding the one scan's data on two threads. Every block's bits start
// where the previous block's end, so the data cannot simply be cut in two.
// A second thread starts at a byte further on in the data as if an MCU
// began there. Huffman codes fall into step with the true code boundaries
// after a few codes, and from some MCU on its MCUs are the true ones; it
// keeps their coefficients and notes where each began. The calling thread
// decodes from the start straight on to pixels, as on one thread; as soon
// as it begins an MCU at a position the second thread noted, the rest of
// the data is the second thread's. That is exact: what an MCU decodes to
// depends on nothing but its position and the DC predictions, and the
// second thread keeps DC differences, which become values from the calling
// thread's predictions at that point. Until the two meet nothing the second
// thread decoded is used; when they never meet, or the data the second
// thread decoded is damaged, the calling thread decodes the rest itself.
// Positions count the data's bits with stuffed bytes left out, the same for
// both threads. Both threads then turn the second thread's MCUs into
// pixels, in bands of MCU rows.
//
// Where the second thread starts balances the two: the calling thread
// turns its part into pixels as it goes, so it takes a smaller part. When
// the data is so small for the picture that decoding it costs less than
// making the pixels, the pipeline (ScanDecoder::Run) does better: a split
// is not tried.
#include "jpeg_scan.h"

#include <pixkit/threads.h>

#include <chrono>
#include <climits>
#include <exception>
#include <optional>

namespace pixkit::jpeg {

namespace {

// Below this much data a split costs more than it saves (a forced split
// takes any but the tiniest, for tests).
constexpr std::int64_t kMinSplitBytes = 4096, kMinForcedBytes = 64;

// The scan's data in memory: the marker that ends it, its restart markers
// (with restart intervals) and its stuffed bytes, which give a reader's
// position in bits of the data without them (a restart marker's two bytes
// count as data: positions only need to be the same for both readers).
class DataMap {
  public:
    DataMap(const std::uint8_t* data, std::int64_t n, bool restarts) : data_(data), end_(n) {
        for (std::int64_t p = 0; p < n;) {
            const void* ff = std::memchr(data + p, 0xFF, std::size_t(n - p));
            if (ff == nullptr) break;
            const std::int64_t q = static_cast<const std::uint8_t*>(ff) - data;
            const int next = q + 1 < n ? data[q + 1] : -1;
            if (next == 0) {
                stuffed_.push_back(q + 1);
            } else if (restarts && next >= RST0 && next <= RST7) {
                restarts_.push_back(q);
            } else {
                end_ = q;
                break;
            }
            p = q + 2;
        }
    }
    // The first restart marker at or after p (its FF byte), -1 if none.
    std::int64_t RestartAfter(std::int64_t p) const {
        const auto it = std::lower_bound(restarts_.begin(), restarts_.end(), p);
        return it == restarts_.end() ? -1 : *it;
    }
    // Where the data ends: its first marker (or the end of the stream).
    std::int64_t End() const { return end_; }
    // The first byte at or after p that a reader may start at: not the
    // stuffed zero of an FF 00 pair (p itself from the end of the data on).
    std::int64_t StartAt(std::int64_t p) const {
        return p > 0 && p <= end_ && data_[p - 1] == 0xFF ? p + 1 : p;
    }
    // Stuffed bytes passed so far; each reader keeps its own, moving forward.
    struct Cursor {
        std::size_t Passed = 0;
    };
    // The position of the next bit of a reader that reads byte `next` next
    // and holds `buffered` bits.
    std::int64_t Bit(std::int64_t next, int buffered, Cursor& c) const {
        while (c.Passed < stuffed_.size() && stuffed_[c.Passed] < next) ++c.Passed;
        return 8 * (next - std::int64_t(c.Passed)) - buffered;
    }

  private:
    const std::uint8_t* data_;
    std::int64_t end_;
    std::vector<std::int64_t> stuffed_;  // offsets of the zero bytes after an FF
    std::vector<std::int64_t> restarts_; // offsets of the restart markers
};

// The split decoder's MCUs: each block's DC term and count, and the
// quantized coefficients (natural order, 64 a block) of the blocks that
// have any. Only detailed pictures are split, with dozens of coefficients
// in a block: dequantizing a whole block takes a few vector operations,
// taking them one by one from a list many times more.
struct DenseCoefs {
    KeptBlock InfoMemory, CoefMemory;
    BlockInfo* Blocks() const { return InfoMemory.As<BlockInfo>(); }
    std::int16_t* Coefs(std::size_t block) const {
        return CoefMemory.As<std::int16_t>() + block * 64;
    }
    // Makes room for n blocks, keeping the first `used`.
    void Reserve(std::size_t used, std::size_t n) {
        GrowKept(InfoMemory, used * sizeof(BlockInfo), n * sizeof(BlockInfo));
        GrowKept(CoefMemory, used * kBlockBytes, n * kBlockBytes);
    }
    static constexpr std::size_t kBlockBytes = 64 * sizeof(std::int16_t);
};

// DecodeBlock's sink for DenseCoefs: into a block that holds zeros.
struct QuantizedSink {
    std::int16_t* Coef;
    int DcValue = 0;
    void Dc(const CompState&, int v) { DcValue = v; }
    void Ac(const CompState&, int k, int v) { Coef[kZigZag[k]] = static_cast<std::int16_t>(v); }
};

} // namespace

class SplitDecoder {
  public:
    SplitDecoder(ScanDecoder& d, StreamBuf& in)
        : d_(d), data_(in.Buf.get() + in.Pos), base_(in.Pos), size_(in.Count - in.Pos),
          map_(data_, size_, d.t_.RestartInterval != 0), bpm_(std::size_t(d.blocksPerMcu_)),
          count_(d.f_.Count), interval_(d.t_.RestartInterval) {}
    bool Run(Buffer& b, int rows);

  private:
    struct End {
        int Record;               // the MCU that failed
        std::exception_ptr Error; // what decoding it raised
    };

    template <bool Diffs>
    void DecodeMcu(BitReader& br, int* pred, DenseCoefs& s, std::size_t index);
    void Reconstruct(const CompState& c, const BlockInfo& block, const std::int16_t* q,
                     std::int32_t* coef, std::uint8_t* out) const;
    bool NearStart(int row) const;
    bool SideBehind();
    void AwaitSide() const;
    void DecodeOwn(int until, bool watch);
    int DecodeTop(Buffer& b, int rows);
    void Speculate();
    void Resolve();
    void TurnDifferences(int count);
    void TransformRow(int row, const SampleRing& ring, bool chromaOnly);
    void OutputBand(Buffer& b, int first, int last, int pending);
    void OutputRest(Buffer& b, int pending);

    ScanDecoder& d_;
    const std::uint8_t* data_; // the scan's data from its first byte
    const int base_;           // its offset in the calling thread's buffer
    const std::int64_t size_;
    const DataMap map_;
    const std::size_t bpm_;  // blocks per MCU
    const int count_;        // components
    const int interval_;     // MCUs per restart interval, 0 without
    std::int64_t start_ = 0; // where the second thread starts
    int startMarker_ = 0;    // with restart intervals: the marker before it
    int total_ = 0;          // MCUs to decode
    // What each thread changes as it decodes lies on cache lines of its
    // own: a line both use would pass between the processors' caches with
    // every MCU and slow both threads down to less than one.
    // The calling thread's MCUs from ownBase_ on (those it decodes near
    // and after where the second thread started), by MCU number.
    alignas(64) DenseCoefs own_;
    int ownBase_ = INT_MAX;
    DataMap::Cursor ownCursor_; // its position's cursor
    int seen_ = 0;              // the second thread's MCUs it passed
    int mcu_ = 0;               // the calling thread's next MCU
    int meet_ = INT_MAX;        // MCUs from here on are the second thread's
    int meetRecord_ = 0;        // its record of MCU meet_
    int decoded_ = 0;           // MCU rows decoded
    std::exception_ptr error_;  // what ended the data early

    // Between the threads: where each of the second thread's MCUs began
    // (std::int64_t), published up to published_, and what the calling
    // thread tells it.
    KeptBlock starts_;
    int capacity_ = 0;
    alignas(64) std::atomic<int> published_{0};
    alignas(64) std::atomic<bool> cancel_{false};
    std::atomic<bool> sideDone_{false}; // the second thread returned
    std::atomic<int> metAt_{-1};        // the record the threads met at
    std::atomic<int> needed_{INT_MAX};  // records the second thread must decode
    // The second thread's own until it is joined: its MCUs by record (in
    // the order it decoded them).
    alignas(64) DenseCoefs side_;
    int records_ = 0;
    std::vector<End> ends_;
};

namespace {

// Test hooks: -1 never split, 1 split whenever the data allows, 0 as the
// data's cost says; how often the threads met.
std::atomic<int> forced{0};
std::atomic<int> meetings{0};

// The part of the data the calling thread takes: it decodes and makes
// pixels, the second thread only decodes, but 35% slower (it notes every
// MCU and stores every block that has AC terms), so with E the cost of
// decoding and P of making pixels the two take as long for a part
// 1.35 E / (2.35 E + P). The costs per data byte, per block and per pixel
// were measured on the benchmark's photographs (a smooth one of 0.5 bits
// a pixel and a detailed one of 4); the slowdown on the detailed one,
// where a part of 0.47 made both threads meet when the second was done.
// Below kLeastPart (E / P under 0.75) the split gains nothing over the
// pipeline.
constexpr double kLeastPart = 0.366;
double OwnPart(const Frame& f, std::int64_t bytes) {
    const Component& luma = f.Comp[0];
    const std::int64_t mcus = std::int64_t((f.Width + 8 * luma.H - 1) / (8 * luma.H)) *
                              ((f.Height + 8 * luma.V - 1) / (8 * luma.V));
    int perMcu = 0;
    for (int i = 0; i < f.Count; ++i) perMcu += f.Comp[i].H * f.Comp[i].V;
    const double blocks = double(mcus) * perMcu;
    const double pixels = double(f.Width) * f.Height / (f.Scale * f.Scale);
    const double decode = 5.7 * double(bytes) + 6.0 * blocks;
    const double pixelsCost = 0.85 * pixels + 1.2 * double(bytes);
    return 1.35 * decode / (2.35 * decode + pixelsCost);
}

} // namespace

void ForceJpegSplit(int mode) {
    forced = mode;
}

int JpegSplitMeetings() {
    return meetings;
}

namespace {

// Whether splitting bytes of data pays (forced: any but the tiniest).
bool Pays(const Frame& f, std::int64_t bytes) {
    if (forced != 0) return forced > 0 && bytes >= kMinForcedBytes;
    return bytes >= kMinSplitBytes && OwnPart(f, bytes) >= kLeastPart;
}

} // namespace

bool ScanDecoder::MaySplit(const Frame& f, std::int64_t dataBytes) {
    // A scan takes at most a few bytes a pixel; more is not worth copying.
    const std::int64_t most = std::int64_t(f.Width) * f.Height * f.Count + (1 << 20);
    return Pays(f, dataBytes) && dataBytes <= std::min<std::int64_t>(most, INT_MAX - 1) &&
           ThreadsFor(WorkOf(f)) > 1;
}

RestOfStream::RestOfStream(StreamBuf& in, std::int64_t bytes)
    : memory_(std::size_t(bytes)), buf_(memory_.data(), 0) {
    const int buffered = in.Count - in.Pos;
    std::copy_n(in.Buf.get() + in.Pos, buffered, memory_.data());
    std::int64_t got = buffered;
    while (got < bytes) {
        const std::int64_t n = in.Stream->Read(memory_.data() + got, bytes - got);
        if (n <= 0) break;
        got += n;
    }
    buf_.Buf().Count = int(got);
    in.Pos = in.Count;
}

bool DecodeSplit(ScanDecoder& d, StreamBuf& in, Buffer& b, int rows) {
    return SplitDecoder(d, in).Run(b, rows);
}

// Decodes one MCU's blocks into s from block index * bpm_ on, in the MCU's
// order (component, block row, block). Diffs: the DC terms are kept as
// differences, the prediction being unknown.
template <bool Diffs>
void SplitDecoder::DecodeMcu(BitReader& br, int* pred, DenseCoefs& s, std::size_t index) {
    // Each block is decoded into zeros here and stored only when it has AC
    // terms, so that the store need not be cleared.
    alignas(32) std::int16_t scratch[64] = {};
    std::size_t k = index * bpm_;
    for (int i = 0; i < count_; ++i) {
        const CompState& c = d_.comp_[i];
        for (int n = c.H * c.V; n > 0; --n, ++k) {
            int zero = 0;
            int& p = Diffs ? zero : pred[i];
            QuantizedSink sink{scratch};
            const int count =
                c.DcOnly ? DecodeBlock<true>(br, c, p, sink) : DecodeBlock<false>(br, c, p, sink);
            s.Blocks()[k] = {0, static_cast<std::int16_t>(sink.DcValue),
                             static_cast<std::uint8_t>(count)};
            if (count == 0) continue;
            std::memcpy(s.Coefs(k), scratch, sizeof scratch);
            std::memset(scratch, 0, sizeof scratch);
        }
    }
}

// A stored block's samples.
void SplitDecoder::Reconstruct(const CompState& c, const BlockInfo& block, const std::int16_t* q,
                               std::int32_t* coef, std::uint8_t* out) const {
    coef[0] = ClampCoef(block.Dc * c.Q[0]);
    if (block.Count != 0)
        for (int k = 1; k < 64; ++k) coef[k] = ClampCoef(q[k] * c.Natural[k]);
    d_.Reconstruct(c, coef, block.Count, out);
}

// Whether the calling thread may reach the second thread's start within
// the next MCU row (twice the average row so far ahead).
bool SplitDecoder::NearStart(int row) const {
    const std::int64_t read = d_.br_.ReadPos() - base_;
    return row == 0 ? start_ < 2 * read + kMinSplitBytes : read + 2 * read / row >= start_;
}

// Tests (a forced split): small pictures decode in less time than a helper
// may take to start, so the calling thread waits (up to a second) for the
// second thread's first position, and the threads do meet.
void SplitDecoder::AwaitSide() const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (published_.load() == 0 && !sideDone_.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
}

// Whether the second thread has not yet noted a position past the calling
// thread's (it started late or was held up on a busy machine): then the
// two cannot meet within the next row, which the calling thread decodes
// the faster way, straight to samples.
bool SplitDecoder::SideBehind() {
    const int n = published_.load(std::memory_order_acquire);
    const BitReader& br = d_.br_;
    // A reader holding zero bits after a marker has no position to compare
    // (before a restart marker that is the end of every interval).
    return n == 0 || (!br.Padded() && starts_.As<std::int64_t>()[std::size_t(n - 1)] <=
                                          map_.Bit(br.ReadPos() - base_, br.Count(), ownCursor_));
}

// The calling thread's MCUs from mcu_ up to until into own_, stopping at
// an error (raised with mcu_ the MCU that failed) or (watch) at a position
// the second thread noted: then the threads meet there.
void SplitDecoder::DecodeOwn(int until, bool watch) {
    BitReader& br = d_.br_;
    own_.Reserve(std::size_t(mcu_ - ownBase_) * bpm_, std::size_t(until - ownBase_) * bpm_);
    for (; mcu_ < until; ++mcu_) {
        d_.RestartIfDue();
        if (watch && br.ReadPos() - base_ >= start_ && !br.Padded()) {
            const std::int64_t at = map_.Bit(br.ReadPos() - base_, br.Count(), ownCursor_);
            const int n = published_.load(std::memory_order_acquire);
            while (seen_ < n && starts_.As<std::int64_t>()[std::size_t(seen_)] < at) ++seen_;
            if (seen_ < n && starts_.As<std::int64_t>()[std::size_t(seen_)] == at) {
                meet_ = mcu_;
                meetRecord_ = seen_;
                needed_.store(seen_ + total_ - mcu_);
                metAt_.store(seen_);
                meetings.fetch_add(1);
                return;
            }
        }
        DecodeMcu<false>(br, d_.pred_, own_, std::size_t(mcu_ - ownBase_));
        br.CheckNotOverrun();
        ++d_.mcuCount_;
    }
}

// The calling thread's rows from the top, each straight on to its samples
// and the one before output, as on one thread; near the second thread's
// start MCU by MCU into own_, watching for a position it noted (unless it
// is behind). Returns
// the rows decoded whole; the last of them is not output yet. Raises the
// data's error with mcu_ (near the start) or the row's first MCU the one
// that failed.
int SplitDecoder::DecodeTop(Buffer& b, int rows) {
    int row = 0;
    for (; row < rows; ++row) {
        mcu_ = row * d_.mcusX_;
        if (ownBase_ == INT_MAX && NearStart(row)) {
            ownBase_ = mcu_;
            if (forced > 0) AwaitSide();
        }
        if (ownBase_ != INT_MAX && !SideBehind()) {
            DecodeOwn(mcu_ + d_.mcusX_, true);
            if (meet_ != INT_MAX) break;
            TransformRow(row, d_.ring_, false);
        } else {
            d_.DecodeRow<true>(row);
        }
        if (row > 0) d_.OutputRow(b, row - 1, false);
    }
    mcu_ = std::max(mcu_, row * d_.mcusX_);
    return row;
}

// The second thread: MCUs from start_ on, each noted, until the calling
// thread no longer needs them. An error starts it again at the next byte,
// unless the threads met before that MCU: then the error is the data's own.
void SplitDecoder::Speculate() {
    // It reads the calling thread's buffer, which only reads it too.
    BorrowedStreamBuf borrowed(data_ + start_, int(size_ - start_));
    StreamBuf& in = borrowed.Buf();
    std::optional<BitReader> br(std::in_place, in);
    DataMap::Cursor cursor;
    int r = 0, marker = startMarker_;
    for (; r < capacity_ && r < needed_.load() && !cancel_.load(std::memory_order_relaxed); ++r) {
        if (interval_ != 0 && r != 0 && r % interval_ == 0) {
            try {
                marker = (marker + 1) & 7;
                br->Restart(marker);
            } catch (...) {
                ends_.push_back({r++, std::current_exception()});
                break;
            }
        }
        // A reader holding zero bits after a marker has no position: the
        // record repeats the one before, which the calling thread finds
        // first (or -1), so it can only ever meet the true one.
        const bool padded = br->Padded();
        std::int64_t* const starts = starts_.As<std::int64_t>();
        starts[r] = !padded ? map_.Bit(start_ + in.Pos, br->Count(), cursor)
                    : r > 0 ? starts[r - 1]
                            : -1;
        published_.store(r + 1, std::memory_order_release);
        side_.Reserve(std::size_t(r) * bpm_, (std::size_t(r) + 1) * bpm_);
        try {
            DecodeMcu<true>(*br, nullptr, side_, std::size_t(r));
            br->CheckNotOverrun();
        } catch (...) {
            ends_.push_back({r, std::current_exception()});
            const std::int64_t next = map_.StartAt(start_ + in.Pos + 1);
            const int met = metAt_.load();
            // With restart intervals it started where an MCU does begin:
            // its errors are the data's own.
            if (interval_ != 0 || padded || br->Padded() || next >= map_.End() ||
                (met >= 0 && r >= met)) {
                ++r;
                break;
            }
            in.Pos = int(next - start_);
            br.emplace(in);
        }
    }
    records_ = r;
    sideDone_.store(true);
}

// After the join: what the second thread's MCUs from the meeting point
// give (mcu_ then ends them), or the calling thread decodes the rest
// itself. Raises the data's error.
void SplitDecoder::Resolve() {
    const int need = total_ - meet_;
    int valid = records_ - meetRecord_;
    std::exception_ptr error;
    for (const End& e : ends_)
        if (e.Record >= meetRecord_) {
            valid = e.Record - meetRecord_;
            error = e.Error;
            break;
        }
    if (valid >= need) {
        valid = need;
        error = nullptr;
    }
    if (valid < need && !error) {
        // It stopped short (out of room): the calling thread goes on.
        meet_ = INT_MAX;
        DecodeOwn(total_, false);
        return;
    }
    TurnDifferences(valid);
    mcu_ = meet_ + valid;
    if (error) std::rethrow_exception(error);
}

// The second thread's DC differences from the meeting point on to values,
// predicted as the calling thread would have (from zero again at every
// restart).
void SplitDecoder::TurnDifferences(int count) {
    int pred[3] = {d_.pred_[0], d_.pred_[1], d_.pred_[2]};
    BlockInfo* block = side_.Blocks() + std::size_t(meetRecord_) * bpm_;
    for (int r = 0; r < count; ++r) {
        const int m = meet_ + r;
        if (interval_ != 0 && m % interval_ == 0) pred[0] = pred[1] = pred[2] = 0;
        for (int i = 0; i < count_; ++i)
            for (int n = d_.comp_[i].H * d_.comp_[i].V; n > 0; --n, ++block) {
                pred[i] = std::clamp(pred[i] + block->Dc, -2048, 2047);
                block->Dc = static_cast<std::int16_t>(pred[i]);
            }
    }
}

// An MCU row's samples from the stored coefficients (chromaOnly: just its
// chroma, all a neighbouring row needs).
void SplitDecoder::TransformRow(int row, const SampleRing& ring, bool chromaOnly) {
    alignas(32) std::int32_t coef[64] = {};
    std::uint8_t* rowStart[4][4] = {};
    for (int i = 0; i < d_.out_.Count; ++i)
        for (int v = 0; v < d_.comp_[i].V; ++v) rowStart[i][v] = d_.BlockAt(ring, i, row, v, 0);
    for (int mx = 0; mx < d_.mcusX_; ++mx) {
        const int m = row * d_.mcusX_ + mx;
        const bool own = m < meet_;
        const DenseCoefs& s = own ? own_ : side_;
        std::size_t k = std::size_t(own ? m - ownBase_ : m - meet_ + meetRecord_) * bpm_;
        for (int i = 0; i < d_.out_.Count; ++i) {
            const CompState& c = d_.comp_[i];
            if (chromaOnly && i == 0) {
                k += std::size_t(c.H * c.V);
                continue;
            }
            for (int v = 0; v < c.V; ++v)
                for (int h = 0; h < c.H; ++h, ++k)
                    Reconstruct(c, s.Blocks()[k], s.Coefs(k), coef,
                                rowStart[i][v] + std::size_t(mx * c.H + h) * c.BlockW);
        }
    }
}

// Outputs MCU rows [first, last) with a ring of samples of its own: each
// row is transformed once, and a band's neighbour rows' chroma once more
// where the smoothing needs it. Row `pending` is not in the stores: its
// samples come from the calling thread's ring.
void SplitDecoder::OutputBand(Buffer& b, int first, int last, int pending) {
    SampleRing ring;
    ring.Size = 3;
    std::vector<std::unique_ptr<std::uint8_t[]>> memory;
    for (int i = 0; i < d_.out_.Count; ++i) {
        const CompState& c = d_.comp_[i];
        for (int s = 0; s < ring.Size; ++s) {
            memory.emplace_back(new std::uint8_t[c.SetBytes()]);
            ring.Sets[i][s] = memory.back().get();
        }
    }
    std::vector<std::uint8_t> scratch(d_.scratch_.size());
    std::vector<std::int16_t> sums(d_.sums_.size());
    const bool smooth = d_.smooth2x2_;
    if (smooth && first > 0) {
        if (first - 1 == pending) {
            // The smoothing of the band's first row reads chroma row 7 of
            // the row before it (see ScanDecoder::Output).
            for (int i = 1; i < d_.out_.Count; ++i) {
                const std::size_t row7 = std::size_t(7) * std::size_t(d_.comp_[i].Stride);
                std::memcpy(ring.At(i, pending) + row7, d_.ring_.At(i, pending) + row7,
                            std::size_t(d_.comp_[i].Stride));
            }
        } else {
            TransformRow(first - 1, ring, true);
        }
    }
    TransformRow(first, ring, false);
    for (int row = first; row < last; ++row) {
        const bool end = row + 1 == decoded_ || row + 1 == d_.mcusY_;
        if (!end && (smooth || row + 1 < last)) TransformRow(row + 1, ring, row + 1 >= last);
        d_.Output(b, row, end, ring, scratch.data(), sums.data());
    }
}

// The rows after the calling thread's own: its last row (pending, in its
// ring) once the next row's chroma is there, then the stored rows in bands.
void SplitDecoder::OutputRest(Buffer& b, int pending) {
    const int output = std::min(decoded_, d_.lastRow_ + 1);
    if (pending >= 0 && pending < output) {
        const bool end = pending + 1 == decoded_ || pending + 1 == d_.mcusY_;
        if (d_.smooth2x2_ && !end) TransformRow(pending + 1, d_.ring_, true);
        d_.Output(b, pending, end, d_.ring_, d_.scratch_.data(), d_.sums_.data());
    }
    ForRows(output - (pending + 1), d_.Work(), [&](int first, int last) {
        OutputBand(b, pending + 1 + first, pending + 1 + last, pending);
    });
}

bool SplitDecoder::Run(Buffer& b, int rows) {
    if (!Pays(d_.f_, map_.End())) return false;
    const double part = OwnPart(d_.f_, map_.End());
    const std::int64_t guess = std::int64_t(double(map_.End()) * std::clamp(part, 0.1, 0.5));
    if (interval_ != 0) {
        // Right after a restart marker an MCU begins, its predictions zero.
        const std::int64_t marker = map_.RestartAfter(guess);
        if (marker < 0) return false;
        start_ = marker + 2;
        startMarker_ = data_[marker + 1] - RST0;
    } else {
        start_ = map_.StartAt(guess);
    }
    total_ = rows * d_.mcusX_;
    // Room for the MCUs after where it starts, as far as the data's size
    // tells; the store grows in the rare picture that needs more.
    const double after = 1.0 - double(start_) / double(map_.End());
    side_.Reserve(0, (std::size_t(double(total_) * after) + 1024) * bpm_);
    capacity_ = total_ + 1024;
    starts_ = KeptBlock(std::size_t(capacity_) * sizeof(std::int64_t));
    int own = 0; // rows the calling thread decoded
    {
        SideTask side(d_.Work(), [this] { Speculate(); });
        try {
            own = DecodeTop(b, rows);
        } catch (...) {
            error_ = std::current_exception();
            own = mcu_ / d_.mcusX_;
        }
        // Unless the threads met, the second thread's MCUs are not needed.
        if (meet_ == INT_MAX) cancel_.store(true);
    }
    decoded_ = own;
    if (meet_ != INT_MAX) {
        try {
            Resolve();
        } catch (...) {
            error_ = std::current_exception();
        }
        decoded_ = mcu_ / d_.mcusX_;
    }
    OutputRest(b, own - 1);
    d_.Report();
    if (error_) std::rethrow_exception(error_);
    return true;
}

} // namespace pixkit::jpeg
