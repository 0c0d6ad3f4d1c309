// Reading the entropy-coded segment of a scan (ITU-T T.81 F.2.2.5): a 64-bit
// bit buffer fed from a StreamBuf, stuffed bytes removed. A marker ends the
// segment: from there the buffer is fed zero bits, counted as padding, and
// a decoder that consumes padding has run past the end of its data. The end
// of the stream ends the segment the same way, so the bits read ahead never
// cost the blocks that were complete before a file was cut off.
#pragma once

#include "jpeg.h"

#include <bit>
#include <cstring>

namespace pixkit::jpeg {

class BitReader {
  public:
    explicit BitReader(StreamBuf& in) : in_(in) {}

    // Makes sure at least 25 bits are buffered.
    void Fill() {
        // Whole bytes up to 56 bits or more in one read, when the next 8
        // bytes of the stream hold no FF. The bits of the byte that does
        // not fit whole go below count_: the next fill puts the same bits
        // there again.
        if (count_ < 56 && marker_ == 0 && in_.Count - in_.Pos >= 8) {
            std::uint64_t word;
            std::memcpy(&word, in_.Buf.get() + in_.Pos, 8);
            // A zero byte of ~word is an FF byte of word.
            if (((~word - 0x0101010101010101ull) & word & 0x8080808080808080ull) == 0) {
                if constexpr (std::endian::native == std::endian::little)
                    word = __builtin_bswap64(word);
                bits_ |= word >> count_;
                const int bytes = (63 - count_) >> 3;
                in_.Pos += bytes;
                count_ += 8 * bytes;
                return;
            }
        }
        while (count_ <= 56) {
            std::uint32_t byte;
            if (in_.Pos < in_.Count && in_.Buf[in_.Pos] != 0xFF && marker_ == 0) {
                byte = in_.Buf[in_.Pos++];
            } else {
                byte = SlowByte();
            }
            bits_ |= std::uint64_t(byte) << (56 - count_);
            count_ += 8;
        }
    }
    std::uint32_t Peek(int n) const { return static_cast<std::uint32_t>(bits_ >> (64 - n)); }
    void Consume(int n) {
        bits_ <<= n;
        count_ -= n;
    }
    int Count() const { return static_cast<int>(count_); }
    // Reads n (1..16) bits as an unsigned number.
    std::uint32_t Bits(int n) {
        if (count_ < n) Fill();
        const std::uint32_t v = Peek(n);
        Consume(n);
        return v;
    }
    // Raises EInvalidImage when decoding went past the end of the segment,
    // EReadError when the stream ended inside it.
    void CheckNotOverrun() const {
        if (count_ >= padding_) return;
        if (marker_ == kEndOfStream) throw EReadError();
        throw EInvalidImage();
    }
    // Ends an interval: drops the rest of the current byte and requires the
    // restart marker RSTn next.
    void Restart(int n);
    // Whether decoding went past the end of the segment.
    bool Overrun() const { return count_ < padding_; }
    // Whether the segment has ended: the buffer holds zero bits after it.
    bool Padded() const { return padding_ != 0; }
    // The next byte the reader loads (its StreamBuf's position).
    int ReadPos() const { return in_.Pos; }
    // Ends the scan: the marker after its data; EReadError when the stream
    // ended instead.
    std::uint8_t EndMarker() {
        if (marker_ == kEndOfStream) throw EReadError();
        return marker_ != 0 ? std::uint8_t(marker_) : NextMarker(in_);
    }

  private:
    std::uint32_t SlowByte();

    StreamBuf& in_;
    std::uint64_t bits_ = 0; // unread bits, most significant first
    // Counts are 64-bit so that the decoders' 32-bit coefficient stores
    // cannot alias them (the compiler keeps them in registers).
    std::int64_t count_ = 0;                   // number of unread bits
    std::int64_t padding_ = 0;                 // zero bits fed after a marker, at the end of bits_
    static constexpr int kEndOfStream = 0x100; // marker_ when the stream ended
    int marker_ = 0;                           // the marker that ended the segment, 0 if none yet
};

// Decodes one Huffman symbol (T.81 F.2.2.3).
inline int DecodeSymbol(BitReader& br, const HuffDecoder& t) {
    if (br.Count() < 16) br.Fill();
    const std::uint16_t e = t.Fast[br.Peek(HuffDecoder::kFastBits)];
    if (e != 0) {
        br.Consume(e >> 8);
        return e & 0xFF;
    }
    const std::uint32_t peek = br.Peek(16);
    int len = HuffDecoder::kFastBits + 1;
    std::int32_t code = 0;
    for (;; ++len) {
        // A code longer than 16 bits is not in the table.
        if (len > 16) throw EInvalidImage();
        code = static_cast<std::int32_t>(peek >> (16 - len));
        if (code <= t.MaxCode[len]) break;
    }
    const int index = code + t.ValOffset[len];
    if (index < 0 || index > 255) throw EInvalidImage();
    br.Consume(len);
    return t.Symbols[index];
}

// The value of an s-bit difference (T.81 F.2.2.1, EXTEND).
inline int Extend(std::uint32_t v, int s) {
    return v < (1u << (s - 1)) ? static_cast<int>(v) - (1 << s) + 1 : static_cast<int>(v);
}

} // namespace pixkit::jpeg
