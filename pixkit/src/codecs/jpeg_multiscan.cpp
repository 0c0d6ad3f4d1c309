// The scan-by-scan decoder (ITU-T T.81 Annex G and non-interleaved scans of
// Annex F): progressive frames, baseline frames coded in several scans, and
// every sampling factor. Each scan adds to the quantized coefficients of the
// whole image; after the last scan (or where the data ends) the blocks are
// transformed and turned into pixels.
#include "jpeg.h"
#include "jpeg_arith.h"
#include "jpeg_bits.h"
#include "kept_memory.h"
#include "vector_dispatch.h"

#include <pixkit/threads.h>

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace pixkit::jpeg {

namespace {

std::int16_t Clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

struct CompCoefs {
    int BlocksW = 0, BlocksH = 0; // allocated: whole MCUs
    int UsedW = 0, UsedH = 0;     // blocks with image data (non-interleaved scans)
    KeptBlock Coef;               // 64 std::int16_t per block, natural order, quantized
    int Pred = 0;
    std::int16_t* Block(int bx, int by) {
        return Coef.As<std::int16_t>() +
               (std::size_t(by) * std::size_t(BlocksW) + std::size_t(bx)) * 64;
    }
};

class MultiScanDecoder {
  public:
    MultiScanDecoder(StreamBuf& in, Frame& f, Tables& t) : in_(in), f_(f), t_(t) {}
    void Run(const Scan& first, Buffer& b);
    // For the Huffman scans.
    void DecodeBlock(BitReader& br, const Scan& s, int comp, std::int16_t* blk);
    void ResetPredictions();

  private:
    void Setup(Buffer& b);
    void DecodeScan(const Scan& s);
    template <typename Entropy> void DecodeScanWith(Entropy& e, const Scan& s);
    void CheckScan(const Scan& s) const;
    void ChargeScan(const Scan& s);
    void Sequential(BitReader& br, CompCoefs& c, const Component& k, std::int16_t* blk);
    void AcFirst(BitReader& br, const Scan& s, const HuffDecoder& ac, std::int16_t* blk);
    void AcRefine(BitReader& br, const Scan& s, const HuffDecoder& ac, std::int16_t* blk);
    bool NextScan(Scan& s);
    void Output(Buffer& b);

    StreamBuf& in_;
    Frame& f_;
    Tables& t_;
    CompCoefs comp_[4];
    int mcusX_ = 0, mcusY_ = 0, hMax_ = 1, vMax_ = 1;
    int eobRun_ = 0;
    // The largest DC difference category and DC value of the precision.
    int dcBits_ = 11, dcLimit_ = 2047;
    // Work charged for the scans so far (see ChargeScan).
    static constexpr int kBlockWork = 8, kWorkPerBlock = 1024;
    std::int64_t work_ = 0;
    std::uint8_t scanEnd_ = 0; // the marker after the last scan's data
    bool damaged_ = false;     // a scan's data ended early
};

void MultiScanDecoder::Setup(Buffer& b) {
    if (f_.Precision > 8) {
        dcBits_ = 15;
        dcLimit_ = 32767;
    }
    if (f_.Count == 1) f_.Comp[0].H = f_.Comp[0].V = 1;
    for (int i = 0; i < f_.Count; ++i) {
        hMax_ = std::max(hMax_, f_.Comp[i].H);
        vMax_ = std::max(vMax_, f_.Comp[i].V);
    }
    mcusX_ = (f_.Width + 8 * hMax_ - 1) / (8 * hMax_);
    mcusY_ = (f_.Height + 8 * vMax_ - 1) / (8 * vMax_);
    if (!WithinBudget(f_, b.Empty(), true)) throw EInvalidImage();
    AllocImage(b, ScaledSize(f_.Width, f_.Scale), ScaledSize(f_.Height, f_.Scale));
    try {
        for (int i = 0; i < f_.Count; ++i) {
            const Component& k = f_.Comp[i];
            CompCoefs& c = comp_[i];
            c.BlocksW = mcusX_ * k.H;
            c.BlocksH = mcusY_ * k.V;
            const int samplesW = (f_.Width * k.H + hMax_ - 1) / hMax_;
            const int samplesH = (f_.Height * k.V + vMax_ - 1) / vMax_;
            c.UsedW = (samplesW + 7) / 8;
            c.UsedH = (samplesH + 7) / 8;
            // Kept memory, cleared in bands.
            const std::size_t row = std::size_t(c.BlocksW) * 64;
            c.Coef = KeptBlock(row * std::size_t(c.BlocksH) * sizeof(std::int16_t));
            ForRows(c.BlocksH, std::int64_t(row) * c.BlocksH, [&](int first, int last) {
                std::memset(c.Coef.As<std::int16_t>() + row * std::size_t(first), 0,
                            row * std::size_t(last - first) * sizeof(std::int16_t));
            });
        }
    } catch (const std::bad_alloc&) {
        throw EInvalidImage();
    }
}

void MultiScanDecoder::CheckScan(const Scan& s) const {
    if (f_.Progressive) {
        const bool dc = s.Ss == 0;
        if ((dc && s.Se != 0) || (!dc && (s.Count != 1 || s.Se < s.Ss || s.Se > 63)) || s.Ah > 13 ||
            s.Al > 13 || (s.Ah != 0 && s.Ah != s.Al + 1))
            throw EInvalidImage();
    } else if (s.Ss != 0 || s.Se != 63 || s.Ah != 0 || s.Al != 0) {
        throw EInvalidImage();
    }
    for (int i = 0; i < s.Count && !f_.Arithmetic; ++i) {
        const Component& k = f_.Comp[s.Comp[i]];
        const bool needDc = s.Ss == 0 && s.Ah == 0, needAc = s.Se > 0;
        if ((needDc && !t_.Dc[k.DcTable].Defined) || (needAc && !t_.Ac[k.AcTable].Defined))
            throw EInvalidImage();
    }
    int blocks = 0;
    for (int i = 0; i < s.Count; ++i) blocks += f_.Comp[s.Comp[i]].H * f_.Comp[s.Comp[i]].V;
    if (s.Count > 1 && blocks > 10) throw EInvalidImage();
}

void MultiScanDecoder::Sequential(BitReader& br, CompCoefs& c, const Component& k,
                                  std::int16_t* blk) {
    const int s = DecodeSymbol(br, t_.Dc[k.DcTable]);
    if (s > dcBits_) throw EInvalidImage();
    c.Pred = std::clamp(c.Pred + (s ? Extend(br.Bits(s), s) : 0), -dcLimit_ - 1, dcLimit_);
    blk[0] = static_cast<std::int16_t>(c.Pred);
    const HuffDecoder& ac = t_.Ac[k.AcTable];
    for (int i = 1; i < 64;) {
        const int rs = DecodeSymbol(br, ac);
        const int run = rs >> 4, size = rs & 15;
        if (size == 0) {
            if (run != 15) break;
            i += 16;
            continue;
        }
        i += run;
        if (i > 63 || size > dcBits_ - 1) throw EInvalidImage();
        blk[kZigZag[i++]] = static_cast<std::int16_t>(Extend(br.Bits(size), size));
    }
}

void MultiScanDecoder::AcFirst(BitReader& br, const Scan& s, const HuffDecoder& ac,
                               std::int16_t* blk) {
    if (eobRun_ > 0) {
        --eobRun_;
        return;
    }
    for (int k = s.Ss; k <= s.Se; ++k) {
        // A short code and its value bits in one look-up, as in the
        // single-scan decoder.
        if (br.Count() < 16) br.Fill();
        const std::int32_t fast = ac.FastAc[br.Peek(HuffDecoder::kFastBits)];
        if (fast != 0) {
            br.Consume(fast & 0xFF);
            if (fast & HuffDecoder::kFastEob) break; // an EOB run of 1: this block
            k += (fast >> 8) & 15;
            if (k > s.Se) throw EInvalidImage();
            blk[kZigZag[k]] = Clamp16((fast >> 16) * (1 << s.Al));
            continue;
        }
        const int rs = DecodeSymbol(br, ac);
        const int run = rs >> 4, size = rs & 15;
        if (size == 0) {
            if (run < 15) {
                eobRun_ = (1 << run) - 1 + (run ? int(br.Bits(run)) : 0);
                break;
            }
            k += 15;
            continue;
        }
        k += run;
        if (k > s.Se || size > 14) throw EInvalidImage();
        blk[kZigZag[k]] = Clamp16(Extend(br.Bits(size), size) * (1 << s.Al));
    }
}

// Bit r * 8 + c set for each non-zero coefficient (r, c) of a block.
std::uint64_t NonZero(const std::int16_t* blk) {
#if defined(__SSE2__)
    std::uint64_t m = 0;
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
        const auto* p = reinterpret_cast<const __m128i*>(blk + 16 * i);
        const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(p), zero),
                                              _mm_cmpeq_epi16(_mm_loadu_si128(p + 1), zero));
        m |= std::uint64_t(~unsigned(_mm_movemask_epi8(zeros)) & 0xFFFF) << (16 * i);
    }
    return m;
#else
    std::uint64_t m = 0;
    for (int k = 0; k < 64; ++k) m |= std::uint64_t(blk[k] != 0) << k;
    return m;
#endif
}

// Successive approximation of AC coefficients (T.81 G.1.2.3): one more bit
// of every coefficient already non-zero, and the new ones of magnitude 1.
void MultiScanDecoder::AcRefine(BitReader& br, const Scan& s, const HuffDecoder& ac,
                                std::int16_t* blk) {
    const int p1 = 1 << s.Al, m1 = -p1;
    auto refine = [&](std::int16_t& c) {
        if (br.Bits(1) && (c & p1) == 0) c = Clamp16(c + (c >= 0 ? p1 : m1));
    };
    int k = s.Ss;
    if (eobRun_ == 0) {
        for (; k <= s.Se; ++k) {
            const int rs = DecodeSymbol(br, ac);
            int run = rs >> 4;
            const int size = rs & 15;
            int value = 0;
            if (size != 0) {
                if (size != 1) throw EInvalidImage();
                value = br.Bits(1) ? p1 : m1;
            } else if (run != 15) {
                eobRun_ = (1 << run) + (run ? int(br.Bits(run)) : 0);
                break;
            }
            // Skip run zero coefficients, refining the non-zero ones passed.
            for (; k <= s.Se; ++k) {
                std::int16_t& c = blk[kZigZag[k]];
                if (c != 0)
                    refine(c);
                else if (--run < 0)
                    break;
            }
            if (value != 0) {
                if (k > s.Se) throw EInvalidImage();
                blk[kZigZag[k]] = static_cast<std::int16_t>(value);
            }
        }
    }
    if (eobRun_ > 0) {
        // Only the non-zero coefficients from k to Se, in order (refining
        // never makes one zero).
        std::uint64_t nonzero = k <= s.Se ? kZigZagBits(NonZero(blk)) : 0;
        nonzero &= (std::uint64_t(2) << s.Se) - 1;
        nonzero &= ~((std::uint64_t(1) << std::min(k, 63)) - 1);
        for (; nonzero != 0; nonzero &= nonzero - 1) refine(blk[kZigZag[__builtin_ctzll(nonzero)]]);
        --eobRun_;
    }
}

void MultiScanDecoder::DecodeBlock(BitReader& br, const Scan& s, int comp, std::int16_t* blk) {
    CompCoefs& c = comp_[comp];
    const Component& k = f_.Comp[comp];
    if (!f_.Progressive) {
        Sequential(br, c, k, blk);
    } else if (s.Ss == 0 && s.Ah == 0) {
        const int n = DecodeSymbol(br, t_.Dc[k.DcTable]);
        if (n > dcBits_) throw EInvalidImage();
        c.Pred = std::clamp(c.Pred + (n ? Extend(br.Bits(n), n) : 0), -dcLimit_ - 1, dcLimit_);
        blk[0] = Clamp16(c.Pred * (1 << s.Al));
    } else if (s.Ss == 0) {
        if (br.Bits(1)) blk[0] = Clamp16(blk[0] | (1 << s.Al));
    } else if (s.Ah == 0) {
        AcFirst(br, s, t_.Ac[k.AcTable], blk);
    } else {
        AcRefine(br, s, t_.Ac[k.AcTable], blk);
    }
}

// The entropy decoders of a scan: Huffman codes or arithmetic coding,
// both seen by DecodeScan through Restart, Block, Ended and EndMarker.
class HuffmanScan {
  public:
    HuffmanScan(MultiScanDecoder& d, StreamBuf& in, const Scan& s) : d_(d), br_(in), s_(s) {
        d_.ResetPredictions();
    }
    void Restart(int n) {
        br_.Restart(n);
        d_.ResetPredictions();
    }
    void Block(int comp, std::int16_t* blk) { d_.DecodeBlock(br_, s_, comp, blk); }
    bool Ended() const { return br_.Overrun(); }
    std::uint8_t EndMarker() { return br_.EndMarker(); }

  private:
    MultiScanDecoder& d_;
    BitReader br_;
    const Scan& s_;
};

void MultiScanDecoder::ResetPredictions() {
    for (int i = 0; i < f_.Count; ++i) comp_[i].Pred = 0;
    eobRun_ = 0;
}

void MultiScanDecoder::DecodeScan(const Scan& s) {
    CheckScan(s);
    ChargeScan(s);
    if (f_.Arithmetic) {
        ArithScan e(in_, f_, t_, s);
        DecodeScanWith(e, s);
    } else {
        HuffmanScan e(*this, in_, s);
        DecodeScanWith(e, s);
    }
}

template <typename Entropy> void MultiScanDecoder::DecodeScanWith(Entropy& e, const Scan& s) {
    const int interval = t_.RestartInterval;
    int units = 0, nextRestart = 0;
    auto unitStart = [&]() {
        if (interval != 0 && units != 0 && units % interval == 0) {
            e.Restart(nextRestart);
            nextRestart = (nextRestart + 1) & 7;
        }
        ++units;
    };
    // A scan whose data ends early (at a marker) leaves the rest of its
    // blocks as the scans before made them, as if it stopped there; the
    // later scans still count.
    auto ended = [&]() {
        if (!e.Ended()) return false;
        damaged_ = true;
        return true;
    };
    if (s.Count == 1) {
        CompCoefs& c = comp_[s.Comp[0]];
        for (int by = 0; by < c.UsedH; ++by)
            for (int bx = 0; bx < c.UsedW; ++bx) {
                unitStart();
                e.Block(s.Comp[0], c.Block(bx, by));
                if (ended()) {
                    by = c.UsedH;
                    break;
                }
            }
    } else {
        for (int my = 0; my < mcusY_; ++my)
            for (int mx = 0; mx < mcusX_; ++mx) {
                unitStart();
                for (int i = 0; i < s.Count; ++i) {
                    const Component& k = f_.Comp[s.Comp[i]];
                    for (int v = 0; v < k.V; ++v)
                        for (int h = 0; h < k.H; ++h)
                            e.Block(s.Comp[i], comp_[s.Comp[i]].Block(mx * k.H + h, my * k.V + v));
                }
                if (ended()) {
                    my = mcusY_;
                    break;
                }
            }
    }
    scanEnd_ = e.EndMarker();
}

// Every scan visits all its blocks, however little data it has (an end of
// band run covers thousands): the work of all scans together, per block
// and coefficient of their bands, is held to what a file refining every
// coefficient bit by bit needs, so that a small file of endless scans ends
// in an error after bounded time, with the picture decoded so far.
void MultiScanDecoder::ChargeScan(const Scan& s) {
    std::int64_t blocks = 0, allBlocks = 0;
    for (int i = 0; i < f_.Count; ++i)
        allBlocks += std::int64_t(comp_[i].BlocksW) * comp_[i].BlocksH;
    for (int i = 0; i < s.Count; ++i) {
        const CompCoefs& c = comp_[s.Comp[i]];
        blocks +=
            s.Count == 1 ? std::int64_t(c.UsedW) * c.UsedH : std::int64_t(c.BlocksW) * c.BlocksH;
    }
    work_ += blocks * (s.Se - s.Ss + 1 + kBlockWork);
    if (work_ > kWorkPerBlock * allBlocks) throw EInvalidImage();
}

// Reads the segments after a scan: tables for the next scan up to its
// header (true), or EOI (false).
bool MultiScanDecoder::NextScan(Scan& s) {
    for (std::uint8_t m = scanEnd_;; m = NextMarker(in_)) {
        switch (m) {
        case EOI:
            return false;
        case SOS:
            ReadScan(in_, f_, s);
            return true;
        case DHT:
            ReadDHT(in_, t_);
            break;
        case DQT:
            ReadDQT(in_, t_);
            break;
        case DRI:
            ReadDRI(in_, t_);
            break;
        case DAC:
            ReadDAC(in_, t_);
            break;
        case DNL: // its height was found before the first scan
            SkipSegment(in_);
            break;
        default:
            // Application data and comments; anything else does not belong here.
            if (m < APP0) throw EInvalidImage();
            SkipSegment(in_);
        }
    }
}

// One component's samples: every block dequantized and transformed.
// Whether a block has any AC coefficient: its 128 bytes as 64-bit words,
// the DC term masked out of the first.
bool HasAc(const std::int16_t* blk) {
    std::uint64_t words[16];
    std::memcpy(words, blk, sizeof words);
    std::uint64_t any = words[0] & ~std::uint64_t(0xFFFF);
    for (int i = 1; i < 16; ++i) any |= words[i];
    return any != 0;
}

PIXKIT_VECTOR_BODY void DequantizeBody(const std::int16_t* blk, const std::uint16_t* q,
                                       std::int32_t limit, std::int32_t* coef) {
    for (int k = 0; k < 64; ++k) coef[k] = std::clamp(std::int32_t(blk[k]) * q[k], -limit, limit);
}
PIXKIT_VECTOR_DISPATCH(Dequantize,
                       (const std::int16_t* blk, const std::uint16_t* q, std::int32_t limit,
                        std::int32_t* coef),
                       DequantizeBody, (blk, q, limit, coef))

// At a reduced scale each block gives w x h samples.
// A component's samples in kept memory, left as it is (every byte is
// written).
class Plane {
  public:
    explicit Plane(std::size_t n = 0) {
        if (n != 0) bytes_ = KeptBlock(n);
    }
    std::uint8_t* data() const { return bytes_.data(); }
    std::uint8_t operator[](std::size_t i) const { return bytes_.data()[i]; }

  private:
    KeptBlock bytes_;
};

// Work split over threads: rows of blocks, of samples, of pixels, each
// written by one band alone. A transformed sample costs about as much as
// scaling eight pixels, an output pixel four.
constexpr std::int64_t kSampleWork = 8, kPixelWork = 4;

// Progress of bands that may finish in any order on any thread: the
// calling thread reports the rows done so far whenever it finishes a band.
class BandProgress {
  public:
    explicit BandProgress(int total, int done = 0) : total_(total), done_(done) {}
    void Done(int rows) {
        const int done = done_.fetch_add(rows) + rows;
        if (std::this_thread::get_id() == caller_) GFXFile::ReportRows(done, total_);
    }

  private:
    const int total_;
    std::atomic<int> done_;
    const std::thread::id caller_ = std::this_thread::get_id();
};

Plane Samples(CompCoefs& c, const std::array<std::uint16_t, 64>& q, int precision, int w, int h) {
    const int stride = c.BlocksW * w;
    Plane plane(std::size_t(stride) * std::size_t(c.BlocksH) * h);
    const std::int32_t limit = precision > 8 ? 32768 : 2048;
    const auto rows = [&](int first, int last) {
        alignas(32) std::int32_t coef[64];
        for (int by = first; by < last; ++by)
            for (int bx = 0; bx < c.BlocksW; ++bx) {
                const std::int16_t* blk = c.Block(bx, by);
                const bool ac = HasAc(blk);
                if (ac || precision > 8 || w != 8 || h != 8)
                    Dequantize(blk, q.data(), limit, coef);
                else
                    coef[0] = std::clamp(std::int32_t(blk[0]) * q[0], -limit, limit);
                std::uint8_t* out = plane.data() + std::size_t(by) * h * stride + bx * w;
                if (w != 8 || h != 8) {
                    ScaledIDCT(coef, out, stride, w, h, precision);
                } else if (precision > 8) {
                    InverseDCT12(coef, out, stride);
                } else if (ac) {
                    InverseDCT(coef, out, stride);
                } else {
                    const auto v = static_cast<std::uint8_t>(
                        std::clamp(((coef[0] * 4 + 16) >> 5) + 128, 0, 255));
                    for (int r = 0; r < 8; ++r) std::memset(out + r * stride, v, 8);
                }
            }
    };
    ForRows(c.BlocksH, std::int64_t(stride) * c.BlocksH * h * kSampleWork, rows);
    return plane;
}

// Repeats each sample fx times across and fy times down.
Plane Replicate(const Plane& in, int w, int h, int fx, int fy) {
    Plane out(std::size_t(w) * fx * std::size_t(h) * fy);
    ForRows(h * fy, std::int64_t(w) * fx * h * fy, [&](int first, int last) {
        std::uint8_t* o = out.data() + std::size_t(first) * w * fx;
        for (int y = first; y < last; ++y) {
            const std::uint8_t* row = in.data() + std::size_t(y / fy) * w;
            for (int x = 0; x < w; ++x) o = std::fill_n(o, fx, row[x]);
        }
    });
    return out;
}

// Four full-size planes to pixels. YCCK (Adobe transform 2) holds the
// complements of C, M and Y as YCbCr; Adobe files store every ink
// complemented (255 is no ink), others plain. Each colour is then what
// remains of white under its ink and the black ink.
void OutputCmyk(const Frame& f, const Plane* planes, int stride, Buffer& b) {
    const int x0 = std::max(0, b.Area.Left), x1 = std::min(f.Width - 1, b.Area.Right);
    const int y0 = std::max(0, b.Area.Top), y1 = std::min(f.Height - 1, b.Area.Bottom);
    if (y0 > y1 || x0 > x1) return;
    const bool complemented = f.Adobe >= 0;
    constexpr std::int32_t half = 1 << 15;
    const auto row = [&](int y) {
        const std::size_t first = std::size_t(y) * std::size_t(stride);
        Pixel* out = b.At(x0, y);
        for (int x = x0; x <= x1; ++x) {
            int ink[4];
            for (int i = 0; i < 4; ++i) ink[i] = planes[i][first + std::size_t(x)];
            if (f.Adobe == 2) {
                const std::int32_t Y = ink[0], Cb = ink[1] - 128, Cr = ink[2] - 128;
                ink[0] = 255 - std::clamp(Y + ((91881 * Cr + half) >> 16), 0, 255);
                ink[1] = 255 - std::clamp(Y + ((-22554 * Cb - 46802 * Cr + half) >> 16), 0, 255);
                ink[2] = 255 - std::clamp(Y + ((116130 * Cb + half) >> 16), 0, 255);
            }
            if (!complemented)
                for (int& v : ink) v = 255 - v;
            Pixel p = 0;
            for (int i = 0; i < 3; ++i) p = (p << 8) | Pixel((ink[i] * ink[3] + 127) / 255);
            *out++ = p;
        }
    };
    BandProgress progress(f.Height, y0);
    ForRows(y1 - y0 + 1, std::int64_t(x1 - x0 + 1) * (y1 - y0 + 1) * kPixelWork,
            [&](int first, int last) {
                for (int y = y0 + first; y < y0 + last; ++y) {
                    row(y);
                    progress.Done(1);
                }
            });
}

void MultiScanDecoder::Output(Buffer& b) {
    Plane planes[4];
    int strides[4];
    Frame g = f_;
    const Component* k = f_.Comp;
    // At a reduced scale every plane is full resolution at that size.
    if (f_.Scale > 1) {
        g.Width = ScaledSize(f_.Width, f_.Scale);
        g.Height = ScaledSize(f_.Height, f_.Scale);
        for (int i = 0; i < f_.Count; ++i) g.Comp[i].H = g.Comp[i].V = 1;
    }
    // Luminance 1 x 1, 2 x 1 or 2 x 2 over full-size chroma: the rows go to
    // the single-scan decoder's smooth upsampling as they are; any other
    // sampling is first repeated up to full size.
    const bool smooth = f_.Scale > 1 || f_.Count == 1 ||
                        (f_.Count == 3 && k[1].H == 1 && k[1].V == 1 && k[2].H == 1 &&
                         k[2].V == 1 && (k[0].H == 1 || k[0].H == 2) && k[0].V <= k[0].H);
    for (int i = 0; i < f_.Count; ++i) {
        if (!t_.QuantDefined[k[i].Quant]) throw EInvalidImage();
        const int w = BlockSamples(f_, i, true), h = BlockSamples(f_, i, false);
        planes[i] = Samples(comp_[i], t_.Quant[k[i].Quant], f_.Precision, w, h);
        strides[i] = comp_[i].BlocksW * w;
        if (smooth) continue;
        planes[i] =
            Replicate(planes[i], strides[i], comp_[i].BlocksH * 8, hMax_ / k[i].H, vMax_ / k[i].V);
        strides[i] = mcusX_ * 8 * hMax_;
        g.Comp[i].H = g.Comp[i].V = 1;
    }
    if (f_.Count == 4) {
        OutputCmyk(g, planes, strides[0], b);
        return;
    }
    const int mcuH = smooth ? 8 * g.Comp[0].V : 8;
    const int bands = (g.Height + mcuH - 1) / mcuH;
    const bool twoByTwo = smooth && f_.Count == 3 && g.Comp[0].V == 2;
    BandProgress progress(g.Height);
    const auto output = [&](int first, int last) {
        std::vector<std::uint8_t> scratch(2 * (std::size_t(f_.Width) + 16));
        std::vector<std::int16_t> sums(std::size_t(f_.Width) / 2 + 16);
        for (int band = first; band < last; ++band) {
            McuRows m{};
            m.Top = band * mcuH;
            m.Rows = std::min(mcuH, g.Height - m.Top);
            for (int i = 0; i < f_.Count; ++i) {
                const int rows = 8 * g.Comp[i].V;
                m.Plane[i] = planes[i].data() + std::size_t(band) * rows * strides[i];
                m.Stride[i] = strides[i];
                if (!twoByTwo || i == 0) continue;
                m.Above[i] = band == 0 ? m.Plane[i] : m.Plane[i] - strides[i];
                m.Below[i] = band + 1 < bands ? m.Plane[i] + 8 * strides[i]
                                              : m.Plane[i] + ((m.Rows + 1) / 2 - 1) * strides[i];
            }
            OutputRows(g, m, b, scratch.data(), sums.data());
            progress.Done(m.Rows);
        }
    };
    ForRows(bands, std::int64_t(g.Width) * g.Height * kPixelWork, output);
}

void MultiScanDecoder::Run(const Scan& first, Buffer& b) {
    Setup(b);
    try {
        Scan s = first;
        do DecodeScan(s);
        while (NextScan(s));
    } catch (...) {
        // What the scans so far gave, then the error.
        Output(b);
        throw;
    }
    Output(b);
    if (damaged_) throw EInvalidImage();
}

} // namespace

void DecodeMultiScan(StreamBuf& in, Frame& f, Tables& t, const Scan& first, Buffer& b) {
    MultiScanDecoder(in, f, t).Run(first, b);
}

} // namespace pixkit::jpeg
