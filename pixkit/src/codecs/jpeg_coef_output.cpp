// The scan-by-scan decoder's last stage: coefficients to samples to pixels,
// all at once after the last scan or band by band behind it.
#include "jpeg_multiscan.h"
#include "vector_dispatch.h"

#include <pixkit/threads.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace pixkit::jpeg {

namespace {

// Work split over threads: rows of blocks, of samples, of pixels, each
// written by one band alone. A transformed sample costs about as much as
// scaling eight pixels, an output pixel four.
constexpr std::int64_t kSampleWork = 8, kPixelWork = 4;

// Whether a block has any AC coefficient: its 128 bytes as 64-bit words,
// the unused DC place masked out of the first.
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

// The frame as output: at a reduced scale every plane is full resolution
// at that size.
Frame Scaled(const Frame& f) {
    Frame g = f;
    if (f.Scale > 1) {
        g.Width = ScaledSize(f.Width, f.Scale);
        g.Height = ScaledSize(f.Height, f.Scale);
        for (int i = 0; i < f.Count; ++i) g.Comp[i].H = g.Comp[i].V = 1;
    }
    return g;
}

std::atomic<bool> keepPace{false};
std::atomic<int> followedBands{0};

} // namespace

void KeepPaceWithFollower(bool keep) {
    keepPace = keep;
}

bool KeepingPace() {
    return keepPace;
}

int FollowedBands() {
    return followedBands;
}

void ScanProgress::AwaitFollower() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!GaveUp && !Stop.load() && (!Started.load() || Idle.load() != Events.load()) &&
           !Done.load())
        if (std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        else
            GaveUp = true;
}

void BandProgress::Done(int rows) {
    const int done = done_.fetch_add(rows) + rows;
    if (std::this_thread::get_id() == caller_) GFXFile::ReportRows(done, total_);
}

CoefOutput::CoefOutput(const Frame& f, const Tables& t, const CompCoefs* comp, int mcusX, int hMax,
                       int vMax, Buffer& b)
    : f_(f), g_(Scaled(f)), comp_(comp), b_(b), mcusX_(mcusX), hMax_(hMax), vMax_(vMax),
      scratch_(2 * (std::size_t(f.Width) + 16)), sums_(std::size_t(f.Width) / 2 + 16),
      progress_(g_.Height) {
    const Component* k = f.Comp;
    // Luminance 1 x 1, 2 x 1 or 2 x 2 over full-size chroma: the rows go to
    // the single-scan decoder's smooth upsampling as they are; any other
    // sampling is first repeated up to full size.
    smooth_ = f.Scale > 1 || f.Count == 1 ||
              (f.Count == 3 && k[1].H == 1 && k[1].V == 1 && k[2].H == 1 && k[2].V == 1 &&
               (k[0].H == 1 || k[0].H == 2) && k[0].V <= k[0].H);
    for (int i = 0; i < f.Count; ++i) {
        defined_[i] = t.QuantDefined[k[i].Quant];
        quant_[i] = t.Quant[k[i].Quant];
        w_[i] = BlockSamples(f, i, true);
        h_[i] = BlockSamples(f, i, false);
        strides_[i] = comp[i].BlocksW * w_[i];
        if (smooth_) planes_[i] = Plane(std::size_t(strides_[i]) * comp[i].BlocksH * h_[i]);
    }
    mcuH_ = smooth_ ? 8 * g_.Comp[0].V : 8;
    bands_ = (g_.Height + mcuH_ - 1) / mcuH_;
    twoByTwo_ = smooth_ && f.Count == 3 && g_.Comp[0].V == 2;
}

bool CoefOutput::Defined() const {
    return std::all_of(defined_, defined_ + f_.Count, [](bool d) { return d; });
}

bool CoefOutput::CanFollow() const {
    return smooth_ && f_.Count != 4 && Defined();
}

std::int64_t CoefOutput::Work() const {
    return std::int64_t(g_.Width) * g_.Height * kPixelWork;
}

bool CoefOutput::SameTables(const Tables& t) const {
    for (int i = 0; i < f_.Count; ++i)
        if (t.QuantDefined[f_.Comp[i].Quant] != defined_[i] ||
            t.Quant[f_.Comp[i].Quant] != quant_[i])
            return false;
    return true;
}

// Block rows first..last-1 of component i into its plane.
void CoefOutput::TransformRows(int i, int first, int last) {
    const CompCoefs& c = comp_[i];
    const int w = w_[i], h = h_[i], stride = strides_[i], precision = f_.Precision;
    const std::uint16_t* q = quant_[std::size_t(i)].data();
    const std::int32_t limit = precision > 8 ? 32768 : 2048;
    const InverseDCTCode idct = ChosenInverseDCT();
    alignas(32) std::int32_t coef[64];
    for (int by = first; by < last; ++by)
        for (int bx = 0; bx < c.BlocksW; ++bx) {
            const std::int16_t* blk = c.Block(bx, by);
            const bool ac = HasAc(blk);
            if (ac || precision > 8 || w != 8 || h != 8) Dequantize(blk, q, limit, coef);
            coef[0] = std::clamp(std::int32_t(c.Dc(bx, by)) * q[0], -limit, limit);
            std::uint8_t* out = planes_[i].data() + std::size_t(by) * h * stride + bx * w;
            if (w != 8 || h != 8) {
                ScaledIDCT(coef, out, stride, w, h, precision);
            } else if (precision > 8) {
                InverseDCT12(coef, out, stride);
            } else if (ac) {
                idct(coef, out, stride);
            } else {
                const auto v =
                    static_cast<std::uint8_t>(std::clamp(((coef[0] * 4 + 16) >> 5) + 128, 0, 255));
                for (int r = 0; r < 8; ++r) std::memset(out + r * stride, v, 8);
            }
        }
}

// The block rows of component i not transformed yet, on every thread.
void CoefOutput::TransformRest(int i) {
    const int from = transformed_[i], rows = comp_[i].BlocksH - from;
    ForRows(rows, std::int64_t(strides_[i]) * rows * h_[i] * kSampleWork,
            [&](int first, int last) { TransformRows(i, from + first, from + last); });
    transformed_[i] = comp_[i].BlocksH;
}

void CoefOutput::OutputBands(int first, int last, std::uint8_t* scratch, std::int16_t* sums) {
    for (int band = first; band < last; ++band) {
        McuRows m{};
        m.Top = band * mcuH_;
        m.Rows = std::min(mcuH_, g_.Height - m.Top);
        for (int i = 0; i < f_.Count; ++i) {
            const int rows = 8 * g_.Comp[i].V;
            m.Plane[i] = planes_[i].data() + std::size_t(band) * rows * strides_[i];
            m.Stride[i] = strides_[i];
            if (!twoByTwo_ || i == 0) continue;
            m.Above[i] = band == 0 ? m.Plane[i] : m.Plane[i] - strides_[i];
            m.Below[i] = band + 1 < bands_ ? m.Plane[i] + 8 * strides_[i]
                                           : m.Plane[i] + ((m.Rows + 1) / 2 - 1) * strides_[i];
        }
        OutputRows(g_, m, b_, scratch, sums);
        progress_.Done(m.Rows);
    }
}

// The block rows of component i that band reads: its own and, with 2 x 2
// smoothing, the first chroma row of the band below.
int CoefOutput::Needed(int i, int band) const {
    int end = (band + 1) * 8 * g_.Comp[i].V;
    if (twoByTwo_ && i > 0 && band + 1 < bands_) ++end;
    return std::min(comp_[i].BlocksH, (end + h_[i] - 1) / h_[i]);
}

bool CoefOutput::BandReady(const ScanProgress& p, int band) const {
    for (int i = 0; i < f_.Count; ++i)
        if (p.Ready[i].load(std::memory_order_acquire) < Needed(i, band)) return false;
    return true;
}

void CoefOutput::Follow(ScanProgress& p) {
    struct Returned {
        ScanProgress& p;
        ~Returned() { p.Done.store(true); }
    } returned{p};
    p.Started.store(true);
    for (; bandsDone_ < bands_; ++bandsDone_, ++followedBands) {
        for (;;) {
            const unsigned seen = p.Events.load();
            if (p.Stop.load()) return;
            if (BandReady(p, bandsDone_)) break;
            p.Idle.store(seen);
            AwaitChange(p.Events, seen);
        }
        for (int i = 0; i < f_.Count; ++i) {
            const int need = Needed(i, bandsDone_);
            if (need > transformed_[i]) TransformRows(i, transformed_[i], need);
            transformed_[i] = std::max(transformed_[i], need);
        }
        OutputBands(bandsDone_, bandsDone_ + 1, scratch_.data(), sums_.data());
    }
}

void CoefOutput::Finish() {
    if (!Defined()) throw EInvalidImage();
    for (int i = 0; i < f_.Count; ++i) {
        if (smooth_) {
            TransformRest(i);
            continue;
        }
        planes_[i] = Plane(std::size_t(strides_[i]) * comp_[i].BlocksH * h_[i]);
        TransformRest(i);
        planes_[i] = Replicate(planes_[i], strides_[i], comp_[i].BlocksH * 8, hMax_ / f_.Comp[i].H,
                               vMax_ / f_.Comp[i].V);
        strides_[i] = mcusX_ * 8 * hMax_;
        g_.Comp[i].H = g_.Comp[i].V = 1;
    }
    if (f_.Count == 4) {
        OutputCmyk(g_, planes_, strides_[0], b_);
        return;
    }
    const int from = bandsDone_;
    ForRows(bands_ - from, std::int64_t(g_.Width) * mcuH_ * (bands_ - from) * kPixelWork,
            [&](int first, int last) {
                std::vector<std::uint8_t> scratch(scratch_.size());
                std::vector<std::int16_t> sums(sums_.size());
                OutputBands(from + first, from + last, scratch.data(), sums.data());
            });
    bandsDone_ = bands_;
}

} // namespace pixkit::jpeg
