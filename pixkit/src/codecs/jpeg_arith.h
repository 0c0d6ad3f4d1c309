// Arithmetic-coded scans (ITU-T T.81 Annex D, F.1.4.4, F.2.4 and G.1.3.3):
// the adaptive binary decoder and the statistical model of DC differences
// and AC coefficients, for sequential and progressive frames.
#pragma once

#include "jpeg.h"

namespace pixkit::jpeg {

// The binary decoder of T.81 D.2: a 16-bit interval A, the code register
// C (its top 16 bits compared against A) and a byte counter CT. A marker
// ends the segment: from there zero bytes are fed, which is also how the
// encoder's dropped trailing zeros come back.
class ArithDecoder {
  public:
    explicit ArithDecoder(StreamBuf& in) : in_(in) {}
    // Starts a segment: the first two bytes into the code register.
    void Start();
    // Decodes one decision with the statistics bin st (bit 7: the more
    // probable symbol, bits 0..6: the probability state), updating it.
    int Decode(std::uint8_t& st);
    // Requires the restart marker RSTn next and starts the new segment.
    void Restart(int n);
    // Whether the stream ended inside the segment.
    bool Ended() const { return ended_; }
    // Ends the scan: the marker after its data; EReadError when the stream
    // ended instead.
    std::uint8_t EndMarker();

  private:
    std::uint32_t NextByte();
    void Renormalize();

    StreamBuf& in_;
    std::uint32_t c_ = 0;
    std::uint32_t a_ = 0;
    int ct_ = 0;
    int marker_ = 0; // the marker that ended the segment, 0 if none yet
    bool ended_ = false;
};

// One arithmetic-coded scan: the statistics of its tables and the DC
// prediction and context of each component, reset at every restart.
class ArithScan {
  public:
    ArithScan(StreamBuf& in, const Frame& f, const Tables& t, const Scan& s);
    // Decodes the scan's part of one block of frame component comp:
    // quantized AC coefficients in natural order (blk[0] unused) and the
    // DC term.
    void Block(int comp, std::int16_t* blk, std::int16_t& dc);
    void Restart(int n);
    bool Ended() const { return dec_.Ended(); }
    std::uint8_t EndMarker() { return dec_.EndMarker(); }

  private:
    void Reset();
    int DcDifference(int comp, int table);
    int Magnitude(std::uint8_t* st, int m, int first, int last);
    void AcFirst(int table, std::int16_t* blk, int ss, int se, int al);
    void AcRefine(int table, std::int16_t* blk, int ss, int se, int al);

    ArithDecoder dec_;
    const Frame& f_;
    const Tables& t_;
    const Scan& s_;
    std::uint8_t dc_[4][64];
    std::uint8_t ac_[4][256];
    std::uint8_t fixed_ = 0; // the fixed probability of one half (signs, refinements)
    int pred_[4] = {};
    int context_[4] = {};
    int dcLimit_ = 2047;
};

} // namespace pixkit::jpeg
