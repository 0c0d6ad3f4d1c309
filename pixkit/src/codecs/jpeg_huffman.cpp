// Canonical Huffman code tables (ITU-T T.81 Annex C) for decoding and
// encoding.
#include "jpeg.h"

#include <cstring>

namespace pixkit::jpeg {

namespace {

void BuildFastAc(HuffDecoder& t) {
    constexpr int bits = HuffDecoder::kFastBits;
    for (int i = 0; i < (1 << bits); ++i) {
        t.FastAc[i] = 0;
        const int e = t.Fast[i];
        if (e == 0) continue;
        const int len = e >> 8, run = (e >> 4) & 15, size = e & 15;
        if ((e & 0xFF) == 0) t.FastAc[i] = HuffDecoder::kFastEob | len;
        if (size == 0 || len + size > bits) continue;
        // The value bits follow the code within the look-up index.
        const int raw = (i >> (bits - len - size)) & ((1 << size) - 1);
        const int value = raw < (1 << (size - 1)) ? raw - (1 << size) + 1 : raw;
        t.FastAc[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << 16) |
                      (run << 8) | (len + size);
    }
}

} // namespace

void BuildHuffDecoder(HuffDecoder& t, const std::uint8_t counts[16], const std::uint8_t* symbols) {
    std::memset(t.Fast, 0, sizeof t.Fast);
    int code = 0, k = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        t.ValOffset[len] = k - code;
        for (int i = 0; i < n; ++i, ++code, ++k) {
            // More codes of this length than the code space holds.
            if (code >= (1 << len)) throw EInvalidImage();
            t.Symbols[k] = symbols[k];
            if (len <= HuffDecoder::kFastBits) {
                const int shift = HuffDecoder::kFastBits - len;
                const auto entry = static_cast<std::uint16_t>((len << 8) | symbols[k]);
                for (int j = code << shift; j < (code + 1) << shift; ++j) t.Fast[j] = entry;
            }
        }
        t.MaxCode[len] = n ? code - 1 : -1;
        code <<= 1;
    }
    BuildFastAc(t);
    t.Defined = true;
}

void BuildHuffEncoder(HuffEncoder& t, const StdHuffman& table) {
    std::memset(t.Size, 0, sizeof t.Size);
    int code = 0, k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < table.Counts[len - 1]; ++i, ++code, ++k) {
            t.Code[table.Symbols[k]] = static_cast<std::uint16_t>(code);
            t.Size[table.Symbols[k]] = static_cast<std::uint8_t>(len);
        }
        code <<= 1;
    }
}

void UseStandardHuffmanWhereMissing(Tables& t) {
    const StdHuffman* dc[2] = {&kStdDcLuma, &kStdDcChroma};
    const StdHuffman* ac[2] = {&kStdAcLuma, &kStdAcChroma};
    for (int id = 0; id < 2; ++id) {
        if (!t.Dc[id].Defined) BuildHuffDecoder(t.Dc[id], dc[id]->Counts, dc[id]->Symbols);
        if (!t.Ac[id].Defined) BuildHuffDecoder(t.Ac[id], ac[id]->Counts, ac[id]->Symbols);
    }
}

} // namespace pixkit::jpeg
