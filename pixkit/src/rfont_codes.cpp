// Decoding of version-2 glyph data: a canonical prefix code looked up
// through a 256-entry table indexed by the next 8 bits, whose entries for
// longer codes point to second-level tables.
#include "rfont_format.h"

#include <array>

namespace pixkit::rfn {

namespace {

struct CodeEntry {
    std::int16_t symbol = -1; // -1: no code here
    std::uint8_t length = 0;
    std::int16_t sub = -1; // second-level table for codes longer than 8 bits
};

class PrefixTable {
  public:
    // Reads the table description; returns the offset of the code stream,
    // or 0 when the description is malformed.
    std::size_t Parse(const std::uint8_t* body, std::size_t size) {
        if (size < 1) return 0;
        maxLen_ = body[0];
        if (maxLen_ < 1 || maxLen_ > kMaxCodeLength) return 0;
        std::size_t at = 1;
        if (size < at + 2 * std::size_t(maxLen_)) return 0;
        std::array<int, kMaxCodeLength + 1> counts{};
        int total = 0;
        for (int len = 1; len <= maxLen_; ++len, at += 2) {
            counts[len] = (body[at] << 8) | body[at + 1];
            total += counts[len];
        }
        if (total < 1 || total > kRunSymbols || size < at + std::size_t(total)) return 0;
        const std::uint8_t* symbols = body + at;
        at += std::size_t(total);
        at = (at + 3) & ~std::size_t(3);
        if (!Build(counts, symbols)) return 0;
        return at;
    }

    // Decodes one symbol from the 16 bits in window (most significant
    // first); sets length to the bits used. -1 for no code.
    int Decode(std::uint32_t window16, int& length) const {
        const CodeEntry& e = primary_[window16 >> 8];
        if (e.sub < 0) {
            length = e.length;
            return e.symbol;
        }
        const int extra = maxLen_ - 8;
        const CodeEntry& s = subs_[std::size_t(e.sub)][(window16 & 0xFF) >> (8 - extra)];
        length = s.length;
        return s.symbol;
    }

  private:
    bool Build(const std::array<int, kMaxCodeLength + 1>& counts, const std::uint8_t* symbols) {
        std::uint32_t code = 0;
        int k = 0;
        for (int len = 1; len <= maxLen_; ++len) {
            for (int i = 0; i < counts[len]; ++i, ++k, ++code) {
                if (code >= (1u << len)) return false; // oversubscribed
                if (!Place(code, len, symbols[k])) return false;
            }
            code <<= 1;
        }
        return true;
    }

    bool Place(std::uint32_t code, int len, std::uint8_t symbol) {
        if (len <= 8) {
            const std::uint32_t first = code << (8 - len);
            for (std::uint32_t i = 0; i < (1u << (8 - len)); ++i)
                primary_[first + i] = CodeEntry{symbol, std::uint8_t(len), -1};
            return true;
        }
        const int extra = maxLen_ - 8;
        const std::uint32_t prefix = code >> (len - 8);
        CodeEntry& p = primary_[prefix];
        if (p.symbol >= 0) return false; // a shorter code owns this prefix
        if (p.sub < 0) {
            p.sub = std::int16_t(subs_.size());
            subs_.emplace_back(std::size_t(1) << extra);
        }
        auto& table = subs_[std::size_t(p.sub)];
        const std::uint32_t low = code & ((1u << (len - 8)) - 1);
        const std::uint32_t first = low << (maxLen_ - len);
        for (std::uint32_t i = 0; i < (1u << (maxLen_ - len)); ++i)
            table[first + i] = CodeEntry{symbol, std::uint8_t(len), -1};
        return true;
    }

    int maxLen_ = 0;
    std::array<CodeEntry, 256> primary_{};
    std::vector<std::vector<CodeEntry>> subs_;
};

// Most-significant-bit-first reader that knows how many bits it really has.
class BitReader {
  public:
    BitReader(const std::uint8_t* p, std::size_t n) : p_(p), bits_(n * 8) {}
    std::uint32_t Peek16() const {
        std::uint32_t v = 0;
        for (int i = 0; i < 3; ++i) {
            const std::size_t byte = (pos_ >> 3) + std::size_t(i);
            v = (v << 8) | (byte < bits_ / 8 ? p_[byte] : 0u);
        }
        return (v >> (8 - (pos_ & 7))) & 0xFFFF;
    }
    // False when the bits consumed run past the data.
    bool Consume(int n) {
        pos_ += std::size_t(n);
        return pos_ <= bits_;
    }

  private:
    const std::uint8_t* p_;
    std::size_t bits_;
    std::size_t pos_ = 0;
};

} // namespace

void RestoreRows(std::vector<std::uint8_t>& masks, std::size_t stride) {
    if (stride == 0) return;
    for (std::size_t i = stride; i < masks.size(); ++i) masks[i] ^= masks[i - stride];
}

bool DecodeGlyphData(const std::uint8_t* body, std::size_t size, std::size_t bits,
                     std::size_t stride, std::vector<std::uint8_t>& out) {
    out.assign((bits + 7) / 8, 0);
    if (bits == 0) return true;
    PrefixTable table;
    const std::size_t start = table.Parse(body, size);
    if (start == 0 || start > size) return false;
    BitReader in(body + start, size - start);
    std::size_t pos = 0;
    while (pos < bits) {
        int length = 0;
        const int symbol = table.Decode(in.Peek16(), length);
        if (symbol < 0 || !in.Consume(length)) return false;
        if (symbol == kLongRun) {
            pos += kLongRun;
            continue;
        }
        pos += std::size_t(symbol);
        if (pos < bits) out[pos >> 3] |= std::uint8_t(1u << (pos & 7));
        ++pos;
    }
    RestoreRows(out, stride);
    return true;
}

} // namespace pixkit::rfn
