// GIF writing: a single-image GIF87a file with a global table from the box
// splitter, and image data from a run-length LZW encoder. The encoder never
// searches for repeated strings: it sends single indices, and for runs of
// one index the codes that any GIF decoder's table necessarily holds for
// shorter runs of it, so every standard decoder reproduces the indices.
#include "gif.h"
#include "gif_quant.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

// Bytes for the stream, with image data cut into sub-blocks of 255 bytes.
class BlockWriter {
  public:
    explicit BlockWriter(TStream* s) : s_(s) { buf_.reserve(kFlushAt + 512); }

    void Raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        buf_.insert(buf_.end(), b, b + n);
    }
    void Byte(int v) { buf_.push_back(static_cast<std::uint8_t>(v)); }
    void LE16(int v) {
        Byte(v & 0xFF);
        Byte((v >> 8) & 0xFF);
    }
    void Data(std::uint8_t v) {
        block_[count_++] = v;
        if (count_ == 255) EndBlock();
    }
    // Ends the image data with a short last block and the zero-length block.
    void EndData() {
        if (count_ > 0) EndBlock();
        Byte(0);
    }
    void Flush() {
        s_->WriteBuffer(buf_.data(), static_cast<std::int64_t>(buf_.size()));
        buf_.clear();
    }

  private:
    static constexpr std::size_t kFlushAt = 1 << 16;
    void EndBlock() {
        Byte(count_);
        Raw(block_, count_);
        count_ = 0;
        if (buf_.size() >= kFlushAt) Flush();
    }
    TStream* s_;
    std::vector<std::uint8_t> buf_;
    std::uint8_t block_[255];
    int count_ = 0;
};

std::int64_t ISqrt(std::int64_t x) {
    std::int64_t r = 0;
    for (std::int64_t bit = std::int64_t(1) << 62; bit != 0; bit >>= 2) {
        if (x >= r + bit) {
            x -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
    }
    return r;
}

// Codes needed to send n copies of one index from a fresh table when a
// table takes at most maxCodes codes: runs of 1, 2, 3, ... copies, so d
// codes carry d(d + 1) / 2 copies.
std::int64_t TriangleCost(std::int64_t n, std::int64_t maxCodes) {
    const std::int64_t perTable = maxCodes * (maxCodes + 1) / 2;
    std::int64_t cost = (n / perTable) * maxCodes;
    n %= perTable;
    if (n > 0) {
        std::int64_t d = ISqrt(n);
        while (d * (d + 1) >= 2 * n) --d;
        while (d * (d + 1) < 2 * n) ++d;
        cost += d;
    }
    return cost;
}

// The run-length LZW encoder. initBits is the LZW minimum code size + 1.
class RunLengthEncoder {
  public:
    RunLengthEncoder(BlockWriter& out, int initBits)
        : out_(out), initBits_(initBits), clear_(1 << (initBits - 1)), end_(clear_ + 1),
          runBase_(clear_ + 2), bumpInit_((1 << (initBits - 1)) - 1),
          clearInit_(initBits <= 3 ? 9 : bumpInit_ - 1), maxCodes_(4096 - (clear_ + 3)) {
        Reset();
        Write(clear_);
    }

    // Feeds the indices held in the top bytes of n pixels.
    void Indices(const Pixel* p, int n) {
        for (const Pixel* e = p + n; p < e; ++p) {
            const int c = static_cast<int>(*p >> 24);
            if (c == runIndex_) {
                ++runLength_;
                continue;
            }
            if (runLength_ > 0) FlushRun();
            runIndex_ = c;
            runLength_ = 1;
        }
    }

    void Finish() {
        if (runLength_ > 0) FlushRun();
        Write(end_);
        if (bitCount_ > 0) out_.Data(static_cast<std::uint8_t>(bits_));
        out_.EndData();
    }

  private:
    void Write(int code) {
        bits_ |= std::uint32_t(code) << bitCount_;
        bitCount_ += width_;
        while (bitCount_ >= 8) {
            out_.Data(static_cast<std::uint8_t>(bits_));
            bits_ >>= 8;
            bitCount_ -= 8;
        }
    }

    void Reset() {
        width_ = initBits_;
        bump_ = bumpInit_;
        clearAt_ = clearInit_;
        count_ = 0;
        tableMax_ = 0;
        justCleared_ = true;
    }

    void WriteClear() {
        Write(clear_);
        Reset();
    }

    // A code the decoder counts: it grows the code width at the bump point
    // and forces a clear at the clear point.
    void Counted(int code) {
        justCleared_ = false;
        Write(code);
        ++count_;
        if (count_ >= bump_) {
            ++width_;
            bump_ += 1 << (width_ - 1);
        }
        if (count_ >= clearAt_) WriteClear();
    }

    void RestoreClearPoint() {
        clearAt_ = clearInit_;
        if (count_ >= clearAt_) WriteClear();
    }

    void FlushRun() {
        if (runLength_ == 1)
            Counted(runIndex_);
        else if (justCleared_)
            FlushFromClear(runLength_);
        else if (tableMax_ < 2 || tableIndex_ != runIndex_)
            FlushClearOrRepeat(runLength_);
        else
            FlushWithTable(runLength_);
        runLength_ = 0;
    }

    // Sends runs of 1, 2, 3, ... copies, each code defining the next longer
    // run in the decoder's table.
    void FlushFromClear(std::int64_t n) {
        clearAt_ = maxCodes_;
        tableIndex_ = runIndex_;
        for (int i = 1; n > 0;) {
            if (i == 1) {
                tableMax_ = 1;
                Counted(runIndex_);
                --n;
            } else if (n >= i) {
                tableMax_ = i;
                Counted(runBase_ + i - 2);
                n -= i;
            } else {
                ++tableMax_;
                Counted(n == 1 ? runIndex_ : runBase_ + static_cast<int>(n) - 2);
                n = 0;
            }
            i = count_ == 0 ? 1 : i + 1;
        }
        RestoreClearPoint();
    }

    void FlushClearOrRepeat(std::int64_t n) {
        if (1 + TriangleCost(n, maxCodes_) < n) {
            WriteClear();
            FlushFromClear(n);
            return;
        }
        for (; n > 0; --n) Counted(runIndex_);
    }

    // Sends whole copies of the longest run the table holds, then the rest.
    void FlushWithTable(std::int64_t n) {
        std::int64_t repeats = n / tableMax_;
        std::int64_t rest = n % tableMax_;
        std::int64_t restCost = rest > 0 ? 1 : 0;
        if (count_ + repeats + restCost > maxCodes_) {
            repeats = maxCodes_ - count_;
            rest = n - repeats * tableMax_;
            restCost = 1 + TriangleCost(rest, maxCodes_);
        }
        if (1 + TriangleCost(n, maxCodes_) < repeats + restCost) {
            WriteClear();
            FlushFromClear(n);
            return;
        }
        clearAt_ = maxCodes_;
        for (; repeats > 0; --repeats) Counted(runBase_ + tableMax_ - 2);
        if (rest > 0) {
            if (justCleared_)
                FlushFromClear(rest);
            else
                Counted(rest == 1 ? runIndex_ : runBase_ + static_cast<int>(rest) - 2);
        }
        RestoreClearPoint();
    }

    BlockWriter& out_;
    const int initBits_;
    const int clear_;
    const int end_;
    const int runBase_;
    const int bumpInit_;
    const int clearInit_;
    const int maxCodes_;

    int width_ = 0;
    int count_ = 0;
    int bump_ = 0;
    int clearAt_ = 0;
    int tableMax_ = 0;
    int tableIndex_ = -1;
    bool justCleared_ = true;
    int runIndex_ = -1;
    std::int64_t runLength_ = 0;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
};

void WriteHeader(BlockWriter& out, int w, int h, int bits, const GifPalette& pal, int background) {
    out.Raw("GIF87a", 6);
    out.LE16(w);
    out.LE16(h);
    out.Byte(0x80 | ((bits - 1) << 4) | (bits - 1));
    out.Byte(background);
    out.Byte(0); // aspect ratio
    for (int i = 0; i < (1 << bits); ++i) {
        const Pixel c = i < pal.Count ? pal.Colours[i] : 0;
        out.Byte((c >> 16) & 0xFF);
        out.Byte((c >> 8) & 0xFF);
        out.Byte(c & 0xFF);
    }
}

} // namespace

void GifFormat::Save(Buffer& b, TStream* s, GFXtra32* x, Buffer* work) {
    if (work == nullptr) throw EInvalidImage();
    const bool empty = b.Empty() || b.Area.Empty();
    const int w = empty ? 0 : b.Width();
    const int h = empty ? 0 : b.Height();
    // Sizes are 16-bit fields; a larger image cannot be stored.
    if (w > 0xFFFF || h > 0xFFFF) throw EInvalidImage();

    const GifPalette pal = QuantizeToTopBytes(b, *work);
    int bits = 1;
    while ((1 << bits) < pal.Count) ++bits;
    const int minCodeSize = std::max(bits, 2);

    BlockWriter out(s);
    WriteHeader(out, w, h, bits, pal, x != nullptr ? NearestEntry(pal, x->Back) : 0);
    out.Byte(',');
    out.LE16(x != nullptr ? static_cast<std::uint16_t>(x->HotX) : 0);
    out.LE16(x != nullptr ? static_cast<std::uint16_t>(x->HotY) : 0);
    out.LE16(w);
    out.LE16(h);
    out.Byte(0); // no local table, not interlaced
    out.Byte(minCodeSize);

    RunLengthEncoder enc(out, minCodeSize + 1);
    for (int y = 0; y < h; ++y) {
        enc.Indices(b.At(b.Area.Left, b.Area.Top + y), w);
        ReportRows(y + 1, h);
    }
    enc.Finish();
    out.Byte(';');
    out.Flush();
}

} // namespace pixkit
