// The encoder: a baseline JFIF file with 4:4:4 YCbCr, the example tables of
// ITU-T T.81 Annex K (quantization halved), one interleaved scan.
#include "jpeg.h"
#include "jpeg_vector.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace pixkit {

using namespace jpeg;

namespace {

// The text of the comment segment: exactly 12 characters.
constexpr char kComment[] = "pixkit codec";
static_assert(sizeof kComment == 13, "the comment holds 12 characters");

// Bytes for the stream, written in large pieces.
class ByteSink {
  public:
    explicit ByteSink(TStream* s) : s_(s) { buf_.reserve(kChunk + 64); }
    void Byte(std::uint8_t b) { buf_.push_back(b); }
    void Be16(int v) {
        Byte(static_cast<std::uint8_t>(v >> 8));
        Byte(static_cast<std::uint8_t>(v));
    }
    void Bytes(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        buf_.insert(buf_.end(), b, b + n);
    }
    void FlushIfFull() {
        if (buf_.size() >= kChunk) Flush();
    }
    void Flush() {
        if (!buf_.empty()) s_->WriteBuffer(buf_.data(), static_cast<std::int64_t>(buf_.size()));
        buf_.clear();
    }

  private:
    static constexpr std::size_t kChunk = 1 << 16;
    TStream* s_;
    std::vector<std::uint8_t> buf_;
};

// Entropy-coded bits, most significant first, with an FF byte followed by
// a stuffed 00 (T.81 B.1.1.5). Bytes collect in a buffer of their own that
// Drain hands to the byte sink; four at a time when none of them is FF.
class BitSink {
  public:
    explicit BitSink(ByteSink& out) : out_(out), buf_(kSize) {}
    // Room for one more block: 64 codes of at most 27 bits, each byte
    // possibly stuffed.
    void Reserve() {
        if (pos_ > kSize - kBlockBytes) Drain();
    }
    // Appends the low size (at most 27) bits of bits.
    void Put(std::uint32_t bits, int size) {
        acc_ = (acc_ << size) | bits;
        n_ += size;
        if (n_ >= 32) {
            n_ -= 32;
            const auto word = static_cast<std::uint32_t>(acc_ >> n_);
            // Whether a byte of word is FF: a zero byte of ~word.
            if (((~word - 0x01010101u) & word & 0x80808080u) == 0) {
                const std::uint32_t be =
                    std::endian::native == std::endian::little ? __builtin_bswap32(word) : word;
                std::memcpy(buf_.data() + pos_, &be, 4);
                pos_ += 4;
            } else {
                for (int shift = 24; shift >= 0; shift -= 8)
                    Emit(static_cast<std::uint8_t>(word >> shift));
            }
        }
    }
    // Pads the last byte with one bits and writes what is left.
    void Finish() {
        if (n_ % 8 != 0) Put((1u << (8 - n_ % 8)) - 1, 8 - n_ % 8);
        while (n_ > 0) {
            n_ -= 8;
            Emit(static_cast<std::uint8_t>(acc_ >> n_));
        }
        Drain();
    }
    // Hands the finished bytes to the byte sink.
    void Drain() {
        out_.Bytes(buf_.data(), pos_);
        pos_ = 0;
    }

  private:
    static constexpr std::size_t kBlockBytes = 2 * 64 * 4 + 16;
    static constexpr std::size_t kSize = 1 << 16;
    void Emit(std::uint8_t b) {
        buf_[pos_++] = b;
        if (b == 0xFF) buf_[pos_++] = 0;
    }
    ByteSink& out_;
    std::vector<std::uint8_t> buf_;
    std::size_t pos_ = 0;
    std::uint64_t acc_ = 0;
    int n_ = 0;
};

struct Quantizer {
    std::uint8_t Table[64];      // natural order, as written
    alignas(32) float Recip[64]; // 1 / (8 x table): the DCT output is 8 times the coefficient
    explicit Quantizer(const std::uint8_t* standard) {
        for (int k = 0; k < 64; ++k) {
            Table[k] = static_cast<std::uint8_t>((standard[k] + 1) / 2);
            Recip[k] = 1.0f / float(8 * Table[k]);
        }
    }
};

// Quantizes a block (natural order), rounding halves away from zero;
// returns bit r * 8 + c set for each non-zero coefficient (r, c).
std::uint64_t Quantize(const std::int32_t* dct, const float* recip, std::int32_t* out) {
    std::uint64_t nonzero = 0;
    for (int k = 0; k < 64; ++k) {
        const float x = float(dct[k]) * recip[k];
        out[k] = static_cast<std::int32_t>(x + (x < 0 ? -0.5f : 0.5f));
        nonzero |= std::uint64_t(out[k] != 0) << k;
    }
    return nonzero;
}

// The forward DCT and quantization of a block, as Quantize.
std::uint64_t Transform(const std::int32_t* samples, const float* recip, std::int32_t* out) {
#if PIXKIT_HAS_AVX2_TARGET
    if (UseAvx2()) return ForwardDctQuantizeAvx2(samples, recip, out);
#endif
    alignas(32) std::int32_t dct[64];
    ForwardDCT(samples, dct);
    return Quantize(dct, recip, out);
}

void WriteDQT(ByteSink& out, int id, const Quantizer& q) {
    out.Be16(0xFF00 | DQT);
    out.Be16(67);
    out.Byte(static_cast<std::uint8_t>(id));
    for (int k = 0; k < 64; ++k) out.Byte(q.Table[kZigZag[k]]);
}

void WriteDHT(ByteSink& out, int cls, int id, const StdHuffman& h) {
    out.Be16(0xFF00 | DHT);
    out.Be16(2 + 1 + 16 + h.SymbolCount);
    out.Byte(static_cast<std::uint8_t>(cls << 4 | id));
    out.Bytes(h.Counts, 16);
    out.Bytes(h.Symbols, h.SymbolCount);
}

void WriteHeaders(ByteSink& out, int width, int height, const Quantizer& luma,
                  const Quantizer& chroma) {
    static const std::uint8_t app0[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F',
                                        0,    1,    1,    0,    0, 1,  0,   1,   0,   0};
    out.Bytes(app0, sizeof app0);
    out.Be16(0xFF00 | COM);
    out.Be16(2 + 12);
    out.Bytes(kComment, 12);
    WriteDQT(out, 0, luma);
    WriteDQT(out, 1, chroma);
    out.Be16(0xFF00 | SOF0);
    out.Be16(17);
    out.Byte(8);
    out.Be16(height);
    out.Be16(width);
    out.Byte(3);
    static const std::uint8_t comps[] = {1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1};
    out.Bytes(comps, sizeof comps);
    WriteDHT(out, 0, 0, kStdDcLuma);
    WriteDHT(out, 1, 0, kStdAcLuma);
    WriteDHT(out, 0, 1, kStdDcChroma);
    WriteDHT(out, 1, 1, kStdAcChroma);
    static const std::uint8_t sos[] = {0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
    out.Bytes(sos, sizeof sos);
}

int BitCount(int a) {
    return a == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(a));
}

struct Channel {
    const Quantizer* Q;
    const HuffEncoder* Dc;
    const HuffEncoder* Ac;
    int Pred = 0;
};

// The low bits of a value as T.81 F.1.2.1 stores it: negative values as
// their one's complement.
std::uint32_t ValueBits(int v, int n) {
    return static_cast<std::uint32_t>(v < 0 ? v - 1 : v) & ((1u << n) - 1);
}

void EncodeBlock(BitSink& bits, Channel& ch, const std::int32_t* samples) {
    alignas(32) std::int32_t q[64];
    // The AC coefficients in zig-zag order, a bit per non-zero one.
    std::uint64_t nonzero = kZigZagBits(Transform(samples, ch.Q->Recip, q)) & ~std::uint64_t(1);
    const int diff = q[0] - ch.Pred;
    ch.Pred = q[0];
    const int dn = BitCount(diff < 0 ? -diff : diff);
    bits.Put(std::uint32_t(ch.Dc->Code[dn]) << dn | ValueBits(diff, dn), ch.Dc->Size[dn] + dn);
    int last = 0;
    while (nonzero != 0) {
        const int k = __builtin_ctzll(nonzero);
        nonzero &= nonzero - 1;
        int run = k - last - 1;
        for (; run > 15; run -= 16) bits.Put(ch.Ac->Code[0xF0], ch.Ac->Size[0xF0]);
        const int v = q[kZigZag[k]];
        const int n = BitCount(v < 0 ? -v : v);
        const int sym = run << 4 | n;
        bits.Put(std::uint32_t(ch.Ac->Code[sym]) << n | ValueBits(v, n), ch.Ac->Size[sym] + n);
        last = k;
    }
    if (last != 63) bits.Put(ch.Ac->Code[0], ch.Ac->Size[0]);
}

// Converts 8 x 8 pixels to level-shifted Y, Cb and Cr with the JFIF
// equations in 7-bit fixed point.
void ConvertBlock(const Pixel* p, int pitch, std::int32_t* y, std::int32_t* cb, std::int32_t* cr) {
#if PIXKIT_HAS_AVX2_TARGET
    if (UseAvx2()) return ConvertBlockAvx2(p, pitch, y, cb, cr);
#endif
    for (int r = 0; r < 8; ++r, p += pitch) {
        for (int c = 0; c < 8; ++c) {
            const Pixel v = p[c];
            const std::int32_t R = (v >> 16) & 255, G = (v >> 8) & 255, B = v & 255;
            const int i = r * 8 + c;
            y[i] = ((38 * R + 75 * G + 15 * B + 64) >> 7) - 128;
            cb[i] = (-22 * R - 42 * G + 64 * B + 64) >> 7;
            cr[i] = (64 * R - 54 * G - 10 * B + 64) >> 7;
        }
    }
}

// The 8 x 8 pixels at p of which w x h lie inside the image; the rest of
// the block is black.
void LoadBlock(const Pixel* p, int pitch, int w, int h, std::int32_t* y, std::int32_t* cb,
               std::int32_t* cr) {
    if (w == 8 && h == 8) {
        ConvertBlock(p, pitch, y, cb, cr);
        return;
    }
    Pixel block[64] = {};
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) block[r * 8 + c] = p[std::ptrdiff_t(r) * pitch + c];
    ConvertBlock(block, 8, y, cb, cr);
}

} // namespace

void JpegFormat::Save(Buffer& b, TStream* s, GFXtra32*, Buffer*) {
    // A JPEG file holds at least one pixel: writing nothing would leave a
    // file no loader takes, reported as saved.
    if (b.Empty() || b.Area.Empty()) throw EInvalidImage();
    const int width = b.Width(), height = b.Height();
    if (width > 65535 || height > 65535) throw EInvalidImage();
    const Quantizer luma(kStdLumaQuant), chroma(kStdChromaQuant);
    HuffEncoder dcL, acL, dcC, acC;
    BuildHuffEncoder(dcL, kStdDcLuma);
    BuildHuffEncoder(acL, kStdAcLuma);
    BuildHuffEncoder(dcC, kStdDcChroma);
    BuildHuffEncoder(acC, kStdAcChroma);
    ByteSink out(s);
    WriteHeaders(out, width, height, luma, chroma);
    BitSink bits(out);
    Channel y{&luma, &dcL, &acL}, cb{&chroma, &dcC, &acC}, cr{&chroma, &dcC, &acC};
    alignas(32) std::int32_t ys[64], cbs[64], crs[64];
    for (int top = 0; top < height; top += 8) {
        const int h = std::min(8, height - top);
        for (int left = 0; left < width; left += 8) {
            const int w = std::min(8, width - left);
            LoadBlock(b.At(b.Area.Left + left, b.Area.Top + top), b.Pitch, w, h, ys, cbs, crs);
            bits.Reserve();
            EncodeBlock(bits, y, ys);
            bits.Reserve();
            EncodeBlock(bits, cb, cbs);
            bits.Reserve();
            EncodeBlock(bits, cr, crs);
        }
        bits.Drain();
        out.FlushIfFull();
        GFXFile::ReportPercent(static_cast<int>(std::int64_t(top) * 100 / height));
    }
    bits.Finish();
    out.Be16(0xFF00 | EOI);
    out.Flush();
}

} // namespace pixkit
