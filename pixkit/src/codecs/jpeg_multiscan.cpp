// The scan-by-scan decoder (ITU-T T.81 Annex G and non-interleaved scans of
// Annex F): progressive frames, baseline frames coded in several scans, and
// every sampling factor. Each scan adds to the quantized coefficients of the
// whole image; after the last scan (or where the data ends) the blocks are
// transformed and turned into pixels, or behind the scan that completes
// them (see jpeg_multiscan.h).
#include "jpeg_multiscan.h"
#include "jpeg_arith.h"
#include "jpeg_bits.h"
#include "jpeg_scan.h"

#include <pixkit/threads.h>

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <memory>
#include <new>

namespace pixkit::jpeg {

namespace {

std::int16_t Clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

// What a Huffman scan carries from block to block.
struct ScanState {
    int EobRun = 0;   // blocks left in the current end-of-band run
    int Pred[4] = {}; // DC predictions
};

class MultiScanDecoder {
  public:
    MultiScanDecoder(StreamBuf& in, Frame& f, Tables& t) : in_(in), f_(f), t_(t) {}
    void Run(const Scan& first, Buffer& b, bool inMemory);
    // For the Huffman scans.
    // t and k: the tables and the component as they stand for scan s.
    void DecodeBlock(BitReader& br, const Scan& s, const Tables& t, const Component& k,
                     ScanState& st, int comp, std::int16_t* blk, std::int16_t& dc) const;
    // A progressive first DC scan's block: the difference from pred, the
    // value scaled by 2^al. Inline: DC scans do little else per block.
    void DcFirst(BitReader& br, const HuffDecoder& table, int& pred, int al,
                 std::int16_t& dc) const {
        const int n = DecodeSymbol(br, table);
        if (n > dcBits_) throw EInvalidImage();
        pred = std::clamp(pred + (n ? Extend(br.Bits(n), n) : 0), -dcLimit_ - 1, dcLimit_);
        dc = Clamp16(pred * (1 << al));
    }

  private:
    void Setup(Buffer& b);
    void DecodeScan(const Scan& s);
    template <typename Entropy> void DecodeScanWith(Entropy& e, const Scan& s);
    template <typename Entropy>
    bool DecodeScanAs(Entropy& e, const Scan& s, int interval, ScanProgress* progress) const;
    bool Completes(const Scan& s);
    void StartProgress(ScanProgress& p, const Scan& s) const;
    void CheckScan(const Scan& s, const Tables& t) const;
    void ChargeScan(const Scan& s, std::int64_t& work) const;
    void Sequential(BitReader& br, const Tables& t, int& pred, const Component& k,
                    std::int16_t* blk, std::int16_t& dc) const;
    static void AcFirst(BitReader& br, const Scan& s, const HuffDecoder& ac, int& eobRun,
                        std::int16_t* blk);
    static void AcRefine(BitReader& br, const Scan& s, const HuffDecoder& ac, int& eobRun,
                         std::int16_t* blk);
    bool NextScan(Scan& s);
    bool PlanScans(const Scan& first, std::vector<PlannedScan>& plan, Frame& f, Tables& t) const;
    bool DecodeInParallel(const Scan& first);
    std::size_t FollowLastScan(const std::vector<PlannedScan>& plan, ScanProgress& progress);
    void ClearCoefficients();
    void Output(Buffer& b);

    StreamBuf& in_;
    Frame& f_;
    Tables& t_;
    CompCoefs comp_[4];
    int mcusX_ = 0, mcusY_ = 0, hMax_ = 1, vMax_ = 1;
    // The largest DC difference category and DC value of the precision.
    int dcBits_ = 11, dcLimit_ = 2047;
    // Work charged for the scans so far (see ChargeScan).
    static constexpr int kBlockWork = 8, kWorkPerBlock = 1024;
    std::int64_t work_ = 0;
    std::uint8_t scanEnd_ = 0; // the marker after the last scan's data
    bool damaged_ = false;     // a scan's data ended early
    // Per component, the coefficients whose last bit a scan has given.
    std::uint64_t final_[4] = {};
    // The pixels: made behind the scan that completed the coefficients, or
    // at the end.
    std::unique_ptr<CoefOutput> output_;
    Buffer* target_ = nullptr;
    bool inMemory_ = false; // in_ holds the rest of the file
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
    target_ = &b;
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
            const std::size_t blocks = std::size_t(c.BlocksW) * std::size_t(c.BlocksH);
            c.Coef = KeptBlock(blocks * 64 * sizeof(std::int16_t));
            c.DcTerms = KeptBlock(blocks * sizeof(std::int16_t));
        }
    } catch (const std::bad_alloc&) {
        throw EInvalidImage();
    }
    ClearCoefficients();
}

// Kept memory, cleared in bands.
void MultiScanDecoder::ClearCoefficients() {
    for (int i = 0; i < f_.Count; ++i) {
        const CompCoefs& c = comp_[i];
        const std::size_t row = std::size_t(c.BlocksW) * 64;
        ForRows(c.BlocksH, std::int64_t(row) * c.BlocksH, [&](int first, int last) {
            std::memset(c.Coef.As<std::int16_t>() + row * std::size_t(first), 0,
                        row * std::size_t(last - first) * sizeof(std::int16_t));
        });
        std::memset(c.DcTerms.data(), 0,
                    std::size_t(c.BlocksW) * std::size_t(c.BlocksH) * sizeof(std::int16_t));
    }
}

void MultiScanDecoder::CheckScan(const Scan& s, const Tables& t) const {
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
        if ((needDc && !t.Dc[k.DcTable].Defined) || (needAc && !t.Ac[k.AcTable].Defined))
            throw EInvalidImage();
    }
    int blocks = 0;
    for (int i = 0; i < s.Count; ++i) blocks += f_.Comp[s.Comp[i]].H * f_.Comp[s.Comp[i]].V;
    if (s.Count > 1 && blocks > 10) throw EInvalidImage();
}

void MultiScanDecoder::Sequential(BitReader& br, const Tables& t, int& pred, const Component& k,
                                  std::int16_t* blk, std::int16_t& dc) const {
    const int s = DecodeSymbol(br, t.Dc[k.DcTable]);
    if (s > dcBits_) throw EInvalidImage();
    pred = std::clamp(pred + (s ? Extend(br.Bits(s), s) : 0), -dcLimit_ - 1, dcLimit_);
    dc = static_cast<std::int16_t>(pred);
    const HuffDecoder& ac = t.Ac[k.AcTable];
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

void MultiScanDecoder::AcFirst(BitReader& br, const Scan& s, const HuffDecoder& ac, int& eobRun,
                               std::int16_t* blk) {
    if (eobRun > 0) {
        --eobRun;
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
                eobRun = (1 << run) - 1 + (run ? int(br.Bits(run)) : 0);
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

// Bit r * 8 + c set for each non-zero AC coefficient (r, c) of a block.
// The DC term is not read at all: a DC scan may be writing it on another
// thread.
std::uint64_t NonZeroAc(const std::int16_t* blk) {
#if defined(__SSE2__)
    std::uint64_t m = 0;
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
        const auto* p = reinterpret_cast<const __m128i*>(blk + 16 * i);
        // Coefficients 1 to 7 of the first row moved up one, 0 before them.
        const __m128i first =
            i == 0 ? _mm_slli_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blk + 1)), 2)
                   : _mm_loadu_si128(p);
        const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(first, zero),
                                              _mm_cmpeq_epi16(_mm_loadu_si128(p + 1), zero));
        m |= std::uint64_t(~unsigned(_mm_movemask_epi8(zeros)) & 0xFFFF) << (16 * i);
    }
    return m;
#else
    std::uint64_t m = 0;
    for (int k = 1; k < 64; ++k) m |= std::uint64_t(blk[k] != 0) << k;
    return m;
#endif
}

// Successive approximation of AC coefficients (T.81 G.1.2.3): one more bit
// of every coefficient already non-zero, and the new ones of magnitude 1.
void MultiScanDecoder::AcRefine(BitReader& br, const Scan& s, const HuffDecoder& ac, int& eobRun,
                                std::int16_t* blk) {
    const int p1 = 1 << s.Al, m1 = -p1;
    auto refine = [&](std::int16_t& c) {
        if (br.Bits(1) && (c & p1) == 0) c = Clamp16(c + (c >= 0 ? p1 : m1));
    };
    int k = s.Ss;
    if (eobRun == 0) {
        for (; k <= s.Se; ++k) {
            const int rs = DecodeSymbol(br, ac);
            int run = rs >> 4;
            const int size = rs & 15;
            int value = 0;
            if (size != 0) {
                if (size != 1) throw EInvalidImage();
                value = br.Bits(1) ? p1 : m1;
            } else if (run != 15) {
                eobRun = (1 << run) + (run ? int(br.Bits(run)) : 0);
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
    if (eobRun > 0) {
        // Only the non-zero coefficients from k to Se, in order (refining
        // never makes one zero).
        std::uint64_t nonzero = k <= s.Se ? kZigZagBits(NonZeroAc(blk)) : 0;
        nonzero &= (std::uint64_t(2) << s.Se) - 1;
        nonzero &= ~((std::uint64_t(1) << std::min(k, 63)) - 1);
        for (; nonzero != 0; nonzero &= nonzero - 1) refine(blk[kZigZag[__builtin_ctzll(nonzero)]]);
        --eobRun;
    }
}

void MultiScanDecoder::DecodeBlock(BitReader& br, const Scan& s, const Tables& t,
                                   const Component& k, ScanState& st, int comp, std::int16_t* blk,
                                   std::int16_t& dc) const {
    int& pred = st.Pred[comp];
    if (!f_.Progressive) {
        Sequential(br, t, pred, k, blk, dc);
    } else if (s.Ss == 0 && s.Ah == 0) {
        DcFirst(br, t.Dc[k.DcTable], pred, s.Al, dc);
    } else if (s.Ss == 0) {
        if (br.Bits(1)) dc = Clamp16(dc | (1 << s.Al));
    } else if (s.Ah == 0) {
        AcFirst(br, s, t.Ac[k.AcTable], st.EobRun, blk);
    } else {
        AcRefine(br, s, t.Ac[k.AcTable], st.EobRun, blk);
    }
}

// The entropy decoders of a scan: Huffman codes or arithmetic coding,
// both seen by DecodeScan through Restart, Block, Ended and EndMarker.
class HuffmanScan {
  public:
    // f and t: the frame and the tables as they stand for s.
    HuffmanScan(const MultiScanDecoder& d, StreamBuf& in, const Scan& s, const Frame& f,
                const Tables& t)
        : d_(d), br_(in), s_(s), f_(f), t_(t), dcFirst_(f.Progressive && s.Ss == 0 && s.Ah == 0),
          dcRefine_(f.Progressive && s.Ss == 0 && s.Ah != 0) {}
    void Restart(int n) {
        br_.Restart(n);
        st_ = {};
    }
    // The DC scans' blocks here, the others in the decoder.
    void Block(int comp, std::int16_t* blk, std::int16_t& dc) {
        if (dcRefine_) {
            if (br_.Bits(1)) dc = Clamp16(dc | (1 << s_.Al));
        } else if (dcFirst_) {
            d_.DcFirst(br_, t_.Dc[f_.Comp[comp].DcTable], st_.Pred[comp], s_.Al, dc);
        } else {
            d_.DecodeBlock(br_, s_, t_, f_.Comp[comp], st_, comp, blk, dc);
        }
    }
    bool Ended() const { return br_.Overrun(); }
    std::uint8_t EndMarker() { return br_.EndMarker(); }
    int ReadPos() const { return br_.ReadPos(); }

  private:
    const MultiScanDecoder& d_;
    BitReader br_;
    const Scan& s_;
    const Frame& f_;
    const Tables& t_;
    ScanState st_;
    const bool dcFirst_, dcRefine_;
};

// Whether every coefficient of every component has its last bit once s
// is decoded, and had not before: then no later scan can change them (a
// file that still has one is decoded as it says, see Output).
bool MultiScanDecoder::Completes(const Scan& s) {
    const auto all = [&] {
        return std::all_of(final_, final_ + f_.Count, [](std::uint64_t m) { return m == ~0ull; });
    };
    const bool before = all();
    std::uint64_t band = ~0ull;
    if (f_.Progressive)
        band = s.Al != 0 ? 0 : (s.Se == 63 ? ~0ull : (2ull << s.Se) - 1) & ~((1ull << s.Ss) - 1);
    for (int i = 0; i < s.Count; ++i) final_[s.Comp[i]] |= band;
    return !before && all();
}

void MultiScanDecoder::DecodeScan(const Scan& s) {
    CheckScan(s, t_);
    ChargeScan(s, work_);
    // Pixels made behind an earlier scan do not show this one.
    output_.reset();
    if (f_.Arithmetic) {
        ArithScan e(in_, f_, t_, s);
        DecodeScanWith(e, s);
    } else {
        HuffmanScan e(*this, in_, s, f_, t_);
        DecodeScanWith(e, s);
    }
}

// Decodes the scan; when it completes the coefficients and a helper thread
// is free, the helper makes the pixels behind it. It is stopped before
// anything else happens here, the scan's end or an error.
template <typename Entropy> void MultiScanDecoder::DecodeScanWith(Entropy& e, const Scan& s) {
    const auto decode = [&](ScanProgress* progress) {
        if (DecodeScanAs(e, s, t_.RestartInterval, progress)) damaged_ = true;
        scanEnd_ = e.EndMarker();
    };
    if (!Completes(s)) {
        decode(nullptr);
        return;
    }
    output_ = std::make_unique<CoefOutput>(f_, t_, comp_, mcusX_, hMax_, vMax_, *target_);
    if (!output_->CanFollow() || ThreadsFor(output_->Work()) < 2) {
        decode(nullptr);
        return;
    }
    struct Following {
        ScanProgress progress;
        SideTask helper;
        Following(CoefOutput& out, std::int64_t work)
            : helper(work, [this, &out] { out.Follow(progress); }) {}
        ~Following() {
            progress.Halt();
            helper.Join();
        }
    } following(*output_, output_->Work());
    StartProgress(following.progress, s);
    decode(&following.progress);
}

// Before scan s: every block row of the components it leaves alone is
// final.
void MultiScanDecoder::StartProgress(ScanProgress& p, const Scan& s) const {
    for (int i = 0; i < f_.Count; ++i) {
        const bool inScan = std::find(s.Comp, s.Comp + s.Count, i) != s.Comp + s.Count;
        p.Publish(i, inScan ? 0 : comp_[i].BlocksH);
    }
    p.Bump();
}

// Decodes the scan's blocks up to the end of its data; true when that came
// before the last block.
// progress, when not null, learns of each block row finished.
template <typename Entropy>
bool MultiScanDecoder::DecodeScanAs(Entropy& e, const Scan& s, int interval,
                                    ScanProgress* progress) const {
    // Block rows of a component the scan has finished.
    const auto publish = [&](int comp, int rows) {
        if (progress == nullptr) return;
        progress->Publish(comp, rows);
        progress->Bump();
        if (KeepingPace()) progress->AwaitFollower();
    };
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
    bool ended = false;
    const auto endedNow = [&] { return ended = e.Ended(); };
    if (s.Count == 1) {
        const CompCoefs& c = comp_[s.Comp[0]];
        for (int by = 0; by < c.UsedH; ++by)
            for (int bx = 0; bx < c.UsedW; ++bx) {
                unitStart();
                e.Block(s.Comp[0], c.Block(bx, by), c.Dc(bx, by));
                if (endedNow()) {
                    by = c.UsedH;
                    break;
                }
                if (bx + 1 == c.UsedW) publish(s.Comp[0], by + 1 == c.UsedH ? c.BlocksH : by + 1);
            }
    } else {
        for (int my = 0; my < mcusY_; ++my)
            for (int mx = 0; mx < mcusX_; ++mx) {
                unitStart();
                for (int i = 0; i < s.Count; ++i) {
                    const Component& k = f_.Comp[s.Comp[i]];
                    const CompCoefs& c = comp_[s.Comp[i]];
                    for (int v = 0; v < k.V; ++v)
                        for (int h = 0; h < k.H; ++h) {
                            const int bx = mx * k.H + h, by = my * k.V + v;
                            e.Block(s.Comp[i], c.Block(bx, by), c.Dc(bx, by));
                        }
                }
                if (endedNow()) {
                    my = mcusY_;
                    break;
                }
                if (mx + 1 == mcusX_)
                    for (int i = 0; i < s.Count; ++i)
                        publish(s.Comp[i], (my + 1) * f_.Comp[s.Comp[i]].V);
            }
    }
    return ended;
}

// Every scan visits all its blocks, however little data it has (an end of
// band run covers thousands): the work of all scans together, per block
// and coefficient of their bands, is held to what a file refining every
// coefficient bit by bit needs, so that a small file of endless scans ends
// in an error after bounded time, with the picture decoded so far.
void MultiScanDecoder::ChargeScan(const Scan& s, std::int64_t& work) const {
    std::int64_t blocks = 0, allBlocks = 0;
    for (int i = 0; i < f_.Count; ++i)
        allBlocks += std::int64_t(comp_[i].BlocksW) * comp_[i].BlocksH;
    for (int i = 0; i < s.Count; ++i) {
        const CompCoefs& c = comp_[s.Comp[i]];
        blocks +=
            s.Count == 1 ? std::int64_t(c.UsedW) * c.UsedH : std::int64_t(c.BlocksW) * c.BlocksH;
    }
    work += blocks * (s.Se - s.Ss + 1 + kBlockWork);
    if (work > kWorkPerBlock * allBlocks) throw EInvalidImage();
}

// Reads the segments after a scan: tables for the next scan up to its
// header (true), or EOI (false).
// The segments from marker m (just read) on: tables for the next scan up
// to its header (true), or EOI (false). tablesRead: whether a table or
// setting segment came on the way.
bool SegmentsToNextScan(StreamBuf& in, Frame& f, Tables& t, std::uint8_t m, Scan& s,
                        bool& tablesRead) {
    for (;; m = NextMarker(in)) {
        switch (m) {
        case EOI:
            return false;
        case SOS:
            ReadScan(in, f, s);
            return true;
        case DHT:
            ReadDHT(in, t);
            tablesRead = true;
            break;
        case DQT:
            ReadDQT(in, t);
            tablesRead = true;
            break;
        case DRI:
            ReadDRI(in, t);
            tablesRead = true;
            break;
        case DAC:
            ReadDAC(in, t);
            tablesRead = true;
            break;
        case DNL: // its height was found before the first scan
            SkipSegment(in);
            break;
        default:
            // Application data and comments; anything else does not belong here.
            if (m < APP0) throw EInvalidImage();
            SkipSegment(in);
        }
    }
}

bool MultiScanDecoder::NextScan(Scan& s) {
    bool tablesRead = false;
    return SegmentsToNextScan(in_, f_, t_, scanEnd_, s, tablesRead);
}

// The scans from first on, each with its tables, found by walking the
// markers of the data in memory; f and t (copies) end as the last scan
// leaves them. False when the file is not to be decoded that way: a
// single scan, or anything the scans in turn would stop at (an error, a
// scan beyond the work allowed, a data end not at a marker, a restart
// marker in a scan without restart interval); decoding them in turn then
// gives what the file holds.
bool MultiScanDecoder::PlanScans(const Scan& first, std::vector<PlannedScan>& plan, Frame& f,
                                 Tables& t) const {
    constexpr std::size_t kMostScans = 1000;
    const std::uint8_t* const data = in_.Buf.get();
    const int size = in_.Count;
    std::int64_t work = work_;
    std::shared_ptr<const Tables> tables;
    Scan s = first;
    try {
        for (int pos = in_.Pos;;) {
            if (plan.size() == kMostScans) return false;
            CheckScan(s, t);
            ChargeScan(s, work);
            if (!tables) tables = std::make_shared<const Tables>(t);
            PlannedScan p;
            p.S = s;
            p.F = f;
            p.T = tables;
            p.Start = pos;
            if (!FindDataEnd(data, size, pos, t.RestartInterval != 0, p.Marker, p.End))
                return false;
            plan.push_back(std::move(p));
            BorrowedStreamBuf rest(data + plan.back().End, size - plan.back().End);
            bool tablesRead = false;
            const bool more =
                SegmentsToNextScan(rest.Buf(), f, t, plan.back().Marker, s, tablesRead);
            if (tablesRead) tables.reset();
            pos = plan.back().End + rest.Buf().Pos;
            if (!more) return plan.size() > 1;
        }
    } catch (...) {
        return false;
    }
}

// When the last planned scan completes the coefficients, the thread that
// runs out of scans first makes the pixels behind it: the index of that
// scan, with progress started, else plan.size().
std::size_t MultiScanDecoder::FollowLastScan(const std::vector<PlannedScan>& plan,
                                             ScanProgress& progress) {
    int completing = -1;
    for (std::size_t i = 0; i < plan.size(); ++i)
        if (Completes(plan[i].S)) completing = int(i);
    if (completing + 1 != int(plan.size())) return plan.size();
    output_ =
        std::make_unique<CoefOutput>(f_, *plan.back().T, comp_, mcusX_, hMax_, vMax_, *target_);
    if (!output_->CanFollow()) return plan.size();
    StartProgress(progress, plan.back().S);
    return plan.size() - 1;
}

// Decodes every scan, on two threads where scans need not wait for each
// other (see jpeg_scan_order.cpp). False when the file is not one to
// decode that way, or a scan stopped early or failed: then nothing has
// changed, and the scans are to be decoded in turn, which gives the
// picture and the error as the file has them.
bool MultiScanDecoder::DecodeInParallel(const Scan& first) {
    const std::int64_t work = ScansWork(f_);
    if (!inMemory_ || !f_.Progressive || f_.Arithmetic || ThreadsFor(work) < 2) return false;
    std::vector<PlannedScan> plan;
    Frame f = f_;
    auto t = std::make_unique<Tables>(t_);
    if (!PlanScans(first, plan, f, *t)) return false;
    OrderScans(plan);
    ScanProgress progress;
    const std::size_t followed = FollowLastScan(plan, progress);
    const std::uint8_t* const data = in_.Buf.get();
    const int size = in_.Count;
    const auto decode = [&](int i) {
        const PlannedScan& p = plan[std::size_t(i)];
        const bool last = std::size_t(i) == followed;
        try {
            BorrowedStreamBuf in(data + p.Start, size - p.Start);
            HuffmanScan e(*this, in.Buf(), p.S, p.F, *p.T);
            // The scan must end where its data does, as it would in turn.
            const bool ok =
                !DecodeScanAs(e, p.S, p.T->RestartInterval, last ? &progress : nullptr) &&
                e.EndMarker() == p.Marker && p.Start + in.Buf().Pos == p.End;
            // The last scan over, or the whole decode to be done again: no
            // more pixels behind it.
            if (last || !ok) progress.Halt();
            return ok;
        } catch (...) {
            progress.Halt();
            return false;
        }
    };
    const auto follow = [&] {
        if (followed < plan.size()) output_->Follow(progress);
    };
    if (!DecodeScansInOrder(plan, work, decode, follow)) {
        ClearCoefficients();
        std::fill_n(final_, 4, 0);
        output_.reset();
        return false;
    }
    for (const PlannedScan& p : plan) ChargeScan(p.S, work_);
    f_ = f;
    t_ = *t;
    CountScansDecodedTogether();
    return true;
}

void MultiScanDecoder::Run(const Scan& first, Buffer& b, bool inMemory) {
    inMemory_ = inMemory;
    Setup(b);
    try {
        Scan s = first;
        if (!DecodeInParallel(first)) {
            do DecodeScan(s);
            while (NextScan(s));
        }
    } catch (...) {
        // What the scans so far gave, then the error.
        Output(b);
        throw;
    }
    Output(b);
    if (damaged_) throw EInvalidImage();
}

// The pixels of the coefficients as they are: what a helper made behind
// the scan that completed them stands, unless the quantization tables
// changed since.
void MultiScanDecoder::Output(Buffer& b) {
    if (!output_ || !output_->SameTables(t_))
        output_ = std::make_unique<CoefOutput>(f_, t_, comp_, mcusX_, hMax_, vMax_, b);
    output_->Finish();
}

} // namespace

void DecodeMultiScan(StreamBuf& in, Frame& f, Tables& t, const Scan& first, Buffer& b,
                     bool inMemory) {
    MultiScanDecoder(in, f, t).Run(first, b, inMemory);
}

} // namespace pixkit::jpeg
