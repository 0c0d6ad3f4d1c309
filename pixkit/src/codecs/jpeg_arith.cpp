// The arithmetic decoder and the statistical model of arithmetic-coded
// scans (see jpeg_arith.h).
#include "jpeg_arith.h"

#include <algorithm>
#include <cstring>

namespace pixkit::jpeg {

namespace {

// T.81 table D.2: the LPS probability Qe of each state, the next state after
// an LPS and after an MPS, and whether an LPS swaps the MPS. State 113 is a
// probability of one half that never adapts.
struct QeState {
    std::uint16_t Qe;
    std::uint8_t NextLps, NextMps;
    bool Switch;
};
constexpr QeState kStates[114] = {
    {0x5A1D, 1, 1, true},      {0x2586, 14, 2, false},    {0x1114, 16, 3, false},
    {0x080B, 18, 4, false},    {0x03D8, 20, 5, false},    {0x01DA, 23, 6, false},
    {0x00E5, 25, 7, false},    {0x006F, 28, 8, false},    {0x0036, 30, 9, false},
    {0x001A, 33, 10, false},   {0x000D, 35, 11, false},   {0x0006, 9, 12, false},
    {0x0003, 10, 13, false},   {0x0001, 12, 13, false},   {0x5A7F, 15, 15, true},
    {0x3F25, 36, 16, false},   {0x2CF2, 38, 17, false},   {0x207C, 39, 18, false},
    {0x17B9, 40, 19, false},   {0x1182, 42, 20, false},   {0x0CEF, 43, 21, false},
    {0x09A1, 45, 22, false},   {0x072F, 46, 23, false},   {0x055C, 48, 24, false},
    {0x0406, 49, 25, false},   {0x0303, 51, 26, false},   {0x0240, 52, 27, false},
    {0x01B1, 54, 28, false},   {0x0144, 56, 29, false},   {0x00F5, 57, 30, false},
    {0x00B7, 59, 31, false},   {0x008A, 60, 32, false},   {0x0068, 62, 33, false},
    {0x004E, 63, 34, false},   {0x003B, 32, 35, false},   {0x002C, 33, 9, false},
    {0x5AE1, 37, 37, true},    {0x484C, 64, 38, false},   {0x3A0D, 65, 39, false},
    {0x2EF1, 67, 40, false},   {0x261F, 68, 41, false},   {0x1F33, 69, 42, false},
    {0x19A8, 70, 43, false},   {0x1518, 72, 44, false},   {0x1177, 73, 45, false},
    {0x0E74, 74, 46, false},   {0x0BFB, 75, 47, false},   {0x09F8, 77, 48, false},
    {0x0861, 78, 49, false},   {0x0706, 79, 50, false},   {0x05CD, 48, 51, false},
    {0x04DE, 50, 52, false},   {0x040F, 50, 53, false},   {0x0363, 51, 54, false},
    {0x02D4, 52, 55, false},   {0x025C, 53, 56, false},   {0x01F8, 54, 57, false},
    {0x01A4, 55, 58, false},   {0x0160, 56, 59, false},   {0x0125, 57, 60, false},
    {0x00F6, 58, 61, false},   {0x00CB, 59, 62, false},   {0x00AB, 61, 63, false},
    {0x008F, 61, 32, false},   {0x5B12, 65, 65, true},    {0x4D04, 80, 66, false},
    {0x412C, 81, 67, false},   {0x37D8, 82, 68, false},   {0x2FE8, 83, 69, false},
    {0x293C, 84, 70, false},   {0x2379, 86, 71, false},   {0x1EDF, 87, 72, false},
    {0x1AA9, 87, 73, false},   {0x174E, 72, 74, false},   {0x1424, 72, 75, false},
    {0x119C, 74, 76, false},   {0x0F6B, 74, 77, false},   {0x0D51, 75, 78, false},
    {0x0BB6, 77, 79, false},   {0x0A40, 77, 48, false},   {0x5832, 80, 81, true},
    {0x4D1C, 88, 82, false},   {0x438E, 89, 83, false},   {0x3BDD, 90, 84, false},
    {0x34EE, 91, 85, false},   {0x2EAE, 92, 86, false},   {0x299A, 93, 87, false},
    {0x2516, 86, 71, false},   {0x5570, 88, 89, true},    {0x4CA9, 95, 90, false},
    {0x44D9, 96, 91, false},   {0x3E22, 97, 92, false},   {0x3824, 99, 93, false},
    {0x32B4, 99, 94, false},   {0x2E17, 93, 86, false},   {0x56A8, 95, 96, true},
    {0x4F46, 101, 97, false},  {0x47E5, 102, 98, false},  {0x41CF, 103, 99, false},
    {0x3C3D, 104, 100, false}, {0x375E, 99, 93, false},   {0x5231, 105, 102, false},
    {0x4C0F, 106, 103, false}, {0x4639, 107, 104, false}, {0x415E, 103, 99, false},
    {0x5627, 105, 106, true},  {0x50E7, 108, 107, false}, {0x4B85, 109, 103, false},
    {0x5597, 110, 109, false}, {0x504F, 111, 107, false}, {0x5A10, 110, 111, true},
    {0x5522, 112, 109, false}, {0x59EB, 112, 111, true},  {0x5A1D, 113, 113, false},
};
constexpr std::uint8_t kFixedHalf = 113;

std::int16_t Clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
}

// Statistics bins of the AC model (T.81 table F.5): three per coefficient
// index k from SE = 3 (k - 1) (end of block, zero, sign-free magnitude),
// then the magnitude categories of low and high bands.
constexpr int kAcLowBand = 189, kAcHighBand = 217;
// DC model (table F.4): five contexts of four bins, then the categories.
constexpr int kDcCategories = 20;

} // namespace

void ArithDecoder::Start() {
    c_ = NextByte() << 24;
    c_ |= NextByte() << 16;
    a_ = 0x10000;
    ct_ = 0;
}

std::uint32_t ArithDecoder::NextByte() {
    if (marker_ != 0 || ended_) return 0;
    try {
        const std::uint8_t byte = in_.Get();
        if (byte != 0xFF) return byte;
        std::uint8_t next = in_.Get();
        while (next == 0xFF) next = in_.Get();
        if (next == 0) return 0xFF;
        marker_ = next;
    } catch (const EReadError&) {
        ended_ = true;
    }
    return 0;
}

void ArithDecoder::Renormalize() {
    do {
        if (ct_ == 0) {
            c_ += NextByte() << 8;
            ct_ = 8;
        }
        a_ <<= 1;
        c_ <<= 1;
        --ct_;
    } while (a_ < 0x8000);
}

// T.81 D.2.2: the MPS takes the lower part of the interval, of size A - Qe,
// the LPS the upper part of size Qe, exchanged when the lower part is the
// smaller one. The code register never reaches A, whatever the data, so
// its top bits fit in 16 bits.
int ArithDecoder::Decode(std::uint8_t& st) {
    const QeState& s = kStates[st & 0x7F];
    const int mps = st >> 7;
    a_ -= s.Qe;
    int d;
    if ((c_ >> 16) < a_) {
        if (a_ >= 0x8000) return mps;
        d = a_ < s.Qe ? 1 - mps : mps;
    } else {
        c_ -= a_ << 16;
        d = a_ < s.Qe ? mps : 1 - mps;
        a_ = s.Qe;
    }
    if (d == mps)
        st = static_cast<std::uint8_t>((mps << 7) | s.NextMps);
    else
        st = static_cast<std::uint8_t>(((s.Switch ? 1 - mps : mps) << 7) | s.NextLps);
    Renormalize();
    return d;
}

void ArithDecoder::Restart(int n) {
    if (ended_) throw EReadError();
    if (marker_ == 0) marker_ = NextMarker(in_);
    if (marker_ != RST0 + n) throw EInvalidImage();
    marker_ = 0;
    Start();
}

std::uint8_t ArithDecoder::EndMarker() {
    if (ended_) throw EReadError();
    return marker_ != 0 ? std::uint8_t(marker_) : NextMarker(in_);
}

ArithScan::ArithScan(StreamBuf& in, const Frame& f, const Tables& t, const Scan& s)
    : dec_(in), f_(f), t_(t), s_(s), dcLimit_(f.Precision > 8 ? 32767 : 2047) {
    Reset();
    dec_.Start();
}

void ArithScan::Reset() {
    std::memset(dc_, 0, sizeof dc_);
    std::memset(ac_, 0, sizeof ac_);
    fixed_ = kFixedHalf;
    std::fill(std::begin(pred_), std::end(pred_), 0);
    std::fill(std::begin(context_), std::end(context_), 0);
}

void ArithScan::Restart(int n) {
    dec_.Restart(n);
    Reset();
}

// The magnitude minus one of a non-zero value (T.81 F.2.4.3.1), at least
// m: its highest bit by decisions in the category bins first..last, then
// its lower bits in the bins 14 further on.
int ArithScan::Magnitude(std::uint8_t* st, int m, int first, int last) {
    int s = first;
    while (dec_.Decode(st[s])) {
        m <<= 1;
        if (++s > last) throw EInvalidImage();
    }
    int v = m;
    for (int bit = m >> 1; bit != 0; bit >>= 1)
        if (dec_.Decode(st[s + 14])) v |= bit;
    return v;
}

int ArithScan::DcDifference(int comp, int table) {
    std::uint8_t* st = dc_[table];
    const int s0 = context_[comp];
    if (!dec_.Decode(st[s0])) {
        context_[comp] = 0;
        return 0;
    }
    const int sign = dec_.Decode(st[s0 + 1]);
    int size = 0; // magnitude minus one
    if (dec_.Decode(st[s0 + 2 + sign])) size = Magnitude(st, 1, kDcCategories, kDcCategories + 14);
    // The next difference's context: zero, small or large, by sign
    // (T.81 F.1.4.4.1.2, bounds from the DAC segment).
    const int mag = size + 1;
    const int lower = t_.DcLower[table] > 0 ? 1 << std::min(t_.DcLower[table] - 1, 15) : 0;
    const int upper = 1 << std::min<int>(t_.DcUpper[table], 15);
    context_[comp] = mag <= lower ? 0 : mag > upper ? 12 + 4 * sign : 4 + 4 * sign;
    return sign ? -mag : mag;
}

void ArithScan::AcFirst(int table, std::int16_t* blk, int ss, int se, int al) {
    std::uint8_t* st = ac_[table];
    const int band = t_.AcLimit[table];
    for (int k = ss; k <= se; ++k) {
        if (dec_.Decode(st[3 * (k - 1)])) return; // end of block
        while (!dec_.Decode(st[3 * (k - 1) + 1]))
            if (++k > se) throw EInvalidImage();
        const int sign = dec_.Decode(fixed_);
        const int sp = 3 * (k - 1) + 2;
        int size = 0;
        if (dec_.Decode(st[sp])) {
            // The first category decision shares the bin with the one
            // before; the rest go to the band's own bins.
            size = 1;
            if (dec_.Decode(st[sp])) {
                const int first = k <= band ? kAcLowBand : kAcHighBand;
                size = Magnitude(st, 2, first, first + 13);
            }
        }
        const int v = sign ? -(size + 1) : size + 1;
        blk[kZigZag[k]] = Clamp16(v * (1 << al));
    }
}

// Successive approximation of AC coefficients (T.81 G.1.3.3): the end of
// block is coded only past the last coefficient non-zero before this scan;
// those get a correction bit, the others may become +-1 at this bit.
void ArithScan::AcRefine(int table, std::int16_t* blk, int ss, int se, int al) {
    std::uint8_t* st = ac_[table];
    const int p1 = 1 << al;
    int last = se;
    while (last >= ss && blk[kZigZag[last]] == 0) --last;
    for (int k = ss; k <= se; ++k) {
        std::uint8_t* bins = st + 3 * (k - 1);
        if (k > last && dec_.Decode(bins[0])) return;
        for (;;) {
            std::int16_t& c = blk[kZigZag[k]];
            if (c != 0) {
                if (dec_.Decode(bins[2]) && (c & p1) == 0) c = Clamp16(c + (c > 0 ? p1 : -p1));
                break;
            }
            if (dec_.Decode(bins[1])) {
                c = static_cast<std::int16_t>(dec_.Decode(fixed_) ? -p1 : p1);
                break;
            }
            if (++k > se) throw EInvalidImage();
            bins += 3;
        }
    }
}

void ArithScan::Block(int comp, std::int16_t* blk, std::int16_t& dc) {
    const Component& k = f_.Comp[comp];
    const Scan& s = s_;
    if (!f_.Progressive || (s.Ss == 0 && s.Ah == 0)) {
        pred_[comp] =
            std::clamp(pred_[comp] + DcDifference(comp, k.DcTable), -dcLimit_ - 1, dcLimit_);
        dc = Clamp16(pred_[comp] * (1 << (f_.Progressive ? s.Al : 0)));
        if (!f_.Progressive) AcFirst(k.AcTable, blk, 1, 63, 0);
    } else if (s.Ss == 0) {
        if (dec_.Decode(fixed_)) dc = Clamp16(dc | (1 << s.Al));
    } else if (s.Ah == 0) {
        AcFirst(k.AcTable, blk, s.Ss, s.Se, s.Al);
    } else {
        AcRefine(k.AcTable, blk, s.Ss, s.Se, s.Al);
    }
}

} // namespace pixkit::jpeg
