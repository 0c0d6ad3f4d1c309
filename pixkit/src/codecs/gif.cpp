// GIF reading (GIF89a): the block walk shared by Test,
// GetImgCount and Load, and the variable-width LZW decoder (appendix F),
// which writes each finished row straight into the target buffer.
#include "gif.h"

#include "formats.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pixkit {

std::unique_ptr<GFXFile> NewGifFormat() {
    return std::make_unique<GifFormat>();
}

namespace {

// Indexed by any literal a code size of up to 11 bits gives; entries past
// the file's table are black.
using ColourTable = std::array<Pixel, 2048>;

constexpr int kMaxCodes = 4096; // codes are at most 12 bits wide
// An LZW code of 12 bits yields at most 4096 indices, so no file holds more
// than about 2731 pixels per byte; images that claim far more than the rest
// of the file could hold are refused before their pixels are allocated.
constexpr std::int64_t kPixelsPerByte = 2731;
constexpr std::int64_t kPixelAllowance = std::int64_t(1) << 23;

struct Screen {
    int Width = 0;
    int Height = 0;
    std::uint8_t Packed = 0;
    std::uint8_t Background = 0;
    bool HasTable() const { return (Packed & 0x80) != 0; }
    int TableBits() const { return (Packed & 7) + 1; }
};

struct ImageDesc {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    std::uint8_t Packed = 0;
    bool HasTable() const { return (Packed & 0x80) != 0; }
    int TableBits() const { return (Packed & 7) + 1; }
    bool Interlaced() const { return (Packed & 0x40) != 0; }
};

void ReadTable(StreamBuf& in, int bits, ColourTable& table) {
    std::uint8_t raw[768];
    const int entries = 1 << bits;
    in.Read(raw, 3 * entries);
    table.fill(0); // indices beyond a short table read as black
    Colconv::BGR24RGB32s(raw, table.data(), entries);
}

// Signature and logical screen descriptor; the global table is read into
// table when given, else skipped. False when the signature is not GIF's.
bool ReadHeader(StreamBuf& in, Screen& sc, ColourTable* table) {
    char sig[6];
    in.Read(sig, 6);
    if (std::memcmp(sig, "GIF87a", 6) != 0 && std::memcmp(sig, "GIF89a", 6) != 0) return false;
    sc.Width = in.GetLE16();
    sc.Height = in.GetLE16();
    sc.Packed = in.Get();
    sc.Background = in.Get();
    in.Get(); // pixel aspect ratio
    if (sc.HasTable()) {
        if (table != nullptr)
            ReadTable(in, sc.TableBits(), *table);
        else
            in.Skip(3 << sc.TableBits());
    }
    return true;
}

void SkipSubBlocks(StreamBuf& in) {
    for (std::uint8_t n; (n = in.Get()) != 0;) in.Skip(n);
}

// Reads blocks up to the next image descriptor, skipping extensions. False
// at the trailer; a byte that starts no block also ends the image list.
bool NextImage(StreamBuf& in, ImageDesc& d) {
    for (;;) {
        const std::uint8_t tag = in.Get();
        if (tag == '!') {
            in.Get(); // extension label
            SkipSubBlocks(in);
            continue;
        }
        if (tag != ',') return false;
        d.Left = in.GetLE16();
        d.Top = in.GetLE16();
        d.Width = in.GetLE16();
        d.Height = in.GetLE16();
        d.Packed = in.Get();
        return true;
    }
}

// Skips the rest of an image whose descriptor was read.
void SkipImage(StreamBuf& in, const ImageDesc& d) {
    if (d.HasTable()) in.Skip(3 << d.TableBits());
    in.Get(); // LZW minimum code size
    SkipSubBlocks(in);
}

// Walks to image number wanted (from 1) and reads its descriptor; false
// when the image list ends first.
bool SeekImage(StreamBuf& in, int wanted, ImageDesc& d) {
    for (int n = 1;; ++n) {
        if (!NextImage(in, d)) return false;
        if (n >= wanted) return true;
        SkipImage(in, d);
    }
}

// An image we can load: not empty. One larger than its logical screen loads
// at its own size (the pixel budget in Load keeps a lying header cheap).
bool Loadable(const ImageDesc& d) {
    return d.Width > 0 && d.Height > 0;
}

// Rows in the order an image stores them: top to bottom, or the four
// interlace passes (every 8th row from 0, every 8th from 4, every 4th from
// 2, every 2nd from 1).
class RowOrder {
  public:
    RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) { Settle(); }
    int Row() const { return row_; }
    void Advance() {
        row_ += interlaced_ ? kStep[pass_] : 1;
        Settle();
    }

  private:
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    void Settle() {
        while (interlaced_ && row_ >= height_ && pass_ < 3) row_ = kStart[++pass_];
    }
    int height_;
    bool interlaced_;
    int pass_ = 0;
    int row_ = 0;
};

// The target of decoding: collects one row of indices, then maps the part
// that lies inside the buffer through the colour table.
class RowSink {
  public:
    RowSink(Buffer& b, const ImageDesc& d, const ColourTable& table)
        : b_(b), table_(table), width_(d.Width), height_(d.Height),
          order_(d.Height, d.Interlaced()), indices_(new std::uint16_t[d.Width]) {
        x0_ = std::max(0, b.Area.Left);
        x1_ = std::min(d.Width - 1, b.Area.Right);
        y0_ = std::max(0, b.Area.Top);
        y1_ = std::min(d.Height - 1, b.Area.Bottom);
    }

    bool Done() const { return rowsDone_ == height_; }

    // Clears the image's rectangle inside the buffer to 0.
    void Clear() {
        if (x0_ > x1_) return;
        for (int y = y0_; y <= y1_; ++y) std::fill_n(b_.At(x0_, y), x1_ - x0_ + 1, Pixel(0));
    }

    // Appends the n indices at src; what follows the last row is dropped.
    void Put(const std::uint16_t* src, int n) {
        while (n > 0 && !Done()) {
            const int k = std::min(n, width_ - col_);
            std::copy_n(src, k, indices_.get() + col_);
            src += k;
            n -= k;
            col_ += k;
            if (col_ == width_) FinishRow();
        }
    }

    // Room left in the current row, and a place to write that many indices.
    int Room() const { return width_ - col_; }
    std::uint16_t* Cursor() { return indices_.get() + col_; }
    void Wrote(int n) {
        col_ += n;
        if (col_ == width_) FinishRow();
    }

    // Shows the decoded start of an unfinished row (data that ended early).
    void FlushPartial() {
        if (!Done() && col_ > 0) MapRow(col_);
    }

  private:
    void MapRow(int columns) {
        const int y = order_.Row();
        const int last = std::min(x1_, columns - 1);
        if (y < y0_ || y > y1_ || x0_ > last) return;
        Pixel* dst = b_.At(x0_, y);
        const std::uint16_t* src = indices_.get() + x0_;
        for (int x = x0_; x <= last; ++x) *dst++ = table_[*src++];
    }
    void FinishRow() {
        MapRow(width_);
        col_ = 0;
        ++rowsDone_;
        order_.Advance();
        GFXFile::ReportRows(rowsDone_, height_);
    }

    Buffer& b_;
    const ColourTable& table_;
    int width_;
    int height_;
    RowOrder order_;
    std::unique_ptr<std::uint16_t[]> indices_;
    int x0_, x1_, y0_, y1_;
    int col_ = 0;
    int rowsDone_ = 0;
};

// Variable-width LZW codes packed least significant bit first across data
// sub-blocks, decoded into a RowSink.
class LzwDecoder {
  public:
    LzwDecoder(StreamBuf& in, int minSize)
        : in_(in), minSize_(minSize), clear_(1 << minSize), end_(clear_ + 1) {
        for (int i = 0; i < clear_; ++i) {
            suffix_[i] = first_[i] = static_cast<std::uint16_t>(i);
            length_[i] = 1;
        }
        Reset();
    }

    // Decodes until the end code, the end of the data or the last row.
    void Run(RowSink& out) {
        while (!out.Done()) {
            const int code = ReadCode();
            if (code < 0 || code == end_) return;
            if (code == clear_) {
                Reset();
                continue;
            }
            if (prev_ < 0) {
                // After a clear the table holds only literals.
                if (code > clear_) throw EInvalidImage();
            } else {
                if (code > next_) throw EInvalidImage();
                AddEntry(code);
            }
            Emit(code, out);
            prev_ = code;
        }
    }

  private:
    void Reset() {
        width_ = minSize_ + 1;
        next_ = clear_ + 2;
        prev_ = -1;
    }

    // Adds prev's string plus the first index of code's string (of prev's
    // own when code is the entry being defined).
    void AddEntry(int code) {
        if (next_ >= kMaxCodes) return; // a full table stays as it is until a clear
        const std::uint16_t f = code == next_ ? first_[prev_] : first_[code];
        prefix_[next_] = static_cast<std::uint16_t>(prev_);
        suffix_[next_] = f;
        first_[next_] = first_[prev_];
        length_[next_] = static_cast<std::uint16_t>(length_[prev_] + 1);
        if (++next_ == (1 << width_) && width_ < 12) ++width_;
    }

    // Writes code's string backwards from its last index: straight into the
    // row when it fits, else through the stack.
    void Emit(int code, RowSink& out) {
        const int n = length_[code];
        const bool direct = n <= out.Room();
        std::uint16_t* p = (direct ? out.Cursor() : stack_) + n;
        int c = code;
        for (; c >= clear_; c = prefix_[c]) *--p = suffix_[c];
        *--p = static_cast<std::uint16_t>(c);
        if (direct)
            out.Wrote(n);
        else
            out.Put(stack_, n);
    }

    // The next code, or -1 once the data sub-blocks have ended.
    int ReadCode() {
        while (bitCount_ < width_) {
            if (blockPos_ == blockLen_) {
                if (dataEnded_) return -1;
                blockLen_ = in_.Get();
                blockPos_ = 0;
                if (blockLen_ == 0) {
                    dataEnded_ = true;
                    return -1;
                }
                in_.Read(block_, blockLen_);
            }
            bits_ |= std::uint32_t(block_[blockPos_++]) << bitCount_;
            bitCount_ += 8;
        }
        const int code = static_cast<int>(bits_ & ((1u << width_) - 1));
        bits_ >>= width_;
        bitCount_ -= width_;
        return code;
    }

    StreamBuf& in_;
    int minSize_;
    int clear_;
    int end_;
    int width_ = 0;
    int next_ = 0;
    int prev_ = -1;

    std::uint8_t block_[255];
    int blockLen_ = 0;
    int blockPos_ = 0;
    bool dataEnded_ = false;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;

    std::uint16_t prefix_[kMaxCodes] = {};
    std::uint16_t suffix_[kMaxCodes] = {};
    std::uint16_t first_[kMaxCodes] = {};
    std::uint16_t length_[kMaxCodes] = {};
    std::uint16_t stack_[kMaxCodes];
};

int WantedImage(int image) {
    return image < 1 ? 1 : image;
}

// Bytes of the stream not yet consumed through in.
std::int64_t BytesLeft(TStream* s, const StreamBuf& in) {
    return s->Size() - s->Position() + (in.Count - in.Pos);
}

// Decodes the image whose descriptor (and local table) was just read.
void DecodeImage(Buffer& b, StreamBuf& in, const ImageDesc& d, const ColourTable& table) {
    const int minSize = in.Get();
    // Up to 11 bits, so that the clear and end codes fit in 12-bit codes.
    if (minSize < 1 || minSize > 11) throw EInvalidImage();
    AllocImage(b, d.Width, d.Height);
    RowSink out(b, d, table);
    out.Clear();
    auto lzw = std::make_unique<LzwDecoder>(in, minSize);
    try {
        lzw->Run(out);
    } catch (...) {
        out.FlushPartial();
        throw;
    }
    out.FlushPartial();
}

// Puts the stream back to its start however Load ends.
struct RewindOnExit {
    TStream* s;
    ~RewindOnExit() {
        try {
            s->SetPosition(0);
        } catch (const EStreamError&) {
        }
    }
};

} // namespace

std::int8_t GifFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        StreamBuf in(s, 1024);
        Screen sc;
        ImageDesc id;
        if (!ReadHeader(in, sc, nullptr)) return 0;
        if (!SeekImage(in, WantedImage(d != nullptr ? d->Image : 1), id)) return 0;
        const int bits = id.HasTable() ? id.TableBits() : sc.HasTable() ? sc.TableBits() : 0;
        if (bits == 0) return 0;
        if (d != nullptr) {
            d->Width = id.Width;
            d->Height = id.Height;
            d->Color = 1;
            d->WithPal = 1;
            d->BPP = static_cast<std::uint8_t>(bits);
            d->BPCC = 8;
        }
        return Loadable(id) ? 1 : -1;
    });
}

int GifFormat::GetImgCount(TStream* s) {
    const std::int64_t pos = s->Position();
    int count = 0;
    try {
        StreamBuf in(s, 4096);
        Screen sc;
        ImageDesc d;
        if (ReadHeader(in, sc, nullptr)) {
            while (NextImage(in, d)) {
                ++count;
                SkipImage(in, d);
            }
        }
    } catch (const EReadError&) {
        // A file cut short (often just its trailer) still holds the images
        // that began before the cut; each of them loads at least partly.
    }
    s->SetPosition(pos);
    return count;
}

void GifFormat::Load(Buffer& b, TStream* s, GFXtra32* x) {
    RewindOnExit rewind{s};
    StreamBuf in(s, 1 << 16);
    Screen sc;
    auto global = std::make_unique<ColourTable>();
    if (!ReadHeader(in, sc, global.get())) throw EInvalidImage();
    ImageDesc d;
    if (!SeekImage(in, WantedImage(x != nullptr ? x->Image : 1), d)) throw EInvalidImage();
    auto local = std::make_unique<ColourTable>();
    if (d.HasTable()) ReadTable(in, d.TableBits(), *local);
    const ColourTable& table = d.HasTable() ? *local : *global;
    if (!d.HasTable() && !sc.HasTable()) throw EInvalidImage();
    if (!Loadable(d)) throw EInvalidImage();
    if (std::int64_t(d.Width) * d.Height > BytesLeft(s, in) * kPixelsPerByte + kPixelAllowance)
        throw EInvalidImage();
    if (x != nullptr) {
        x->HotX = static_cast<std::int16_t>(d.Left);
        x->HotY = static_cast<std::int16_t>(d.Top);
        x->Back = table[sc.Background];
    }
    DecodeImage(b, in, d, table);
}

} // namespace pixkit
