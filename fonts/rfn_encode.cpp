#include "rfn_encode.h"

#include <algorithm>
#include <array>
#include <queue>

namespace rfnbuild {

namespace {

constexpr int kMaxCodeLength = 16;
constexpr int kSymbols = 256;
constexpr int kLongRun = 255;

void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(std::uint8_t(v >> s));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* id,
              const std::vector<std::uint8_t>& body) {
    out.insert(out.end(), id, id + 4);
    PutBE32(out, std::uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

// The run symbols of a bit string: s < 255 is s zeros and a one, 255 is 255
// zeros; the last symbols carry the position past the end of the string.
std::vector<int> RunSymbols(const std::vector<std::uint8_t>& bits, std::size_t count) {
    std::vector<int> out;
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!(bits[i >> 3] & (1u << (i & 7)))) {
            ++zeros;
            continue;
        }
        for (; zeros >= kLongRun; zeros -= kLongRun) out.push_back(kLongRun);
        out.push_back(int(zeros));
        zeros = 0;
    }
    for (; zeros > 0; zeros -= std::min<std::size_t>(zeros, kLongRun)) out.push_back(kLongRun);
    return out;
}

// Huffman code lengths, limited to 16 bits by flattening the statistics.
std::array<int, kSymbols> CodeLengths(std::array<std::uint64_t, kSymbols> freq) {
    for (;;) {
        std::array<int, kSymbols> length{};
        using Node = std::pair<std::uint64_t, int>; // weight, node id
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
        std::vector<int> parent;
        for (int s = 0; s < kSymbols; ++s)
            if (freq[s] > 0) {
                queue.push({freq[s], int(parent.size())});
                parent.push_back(-1);
            }
        std::vector<int> leafOf; // node id -> symbol for leaves
        for (int s = 0; s < kSymbols; ++s)
            if (freq[s] > 0) leafOf.push_back(s);
        if (leafOf.size() == 1) {
            length[leafOf[0]] = 1;
            return length;
        }
        while (queue.size() > 1) {
            const Node a = queue.top();
            queue.pop();
            const Node b = queue.top();
            queue.pop();
            const int id = int(parent.size());
            parent.push_back(-1);
            parent[std::size_t(a.second)] = id;
            parent[std::size_t(b.second)] = id;
            queue.push({a.first + b.first, id});
        }
        int longest = 0;
        for (std::size_t leaf = 0; leaf < leafOf.size(); ++leaf) {
            int depth = 0;
            for (int n = int(leaf); parent[std::size_t(n)] >= 0; n = parent[std::size_t(n)])
                ++depth;
            length[leafOf[leaf]] = depth;
            longest = std::max(longest, depth);
        }
        if (longest <= kMaxCodeLength) return length;
        for (auto& f : freq)
            if (f > 0) f = (f + 1) / 2;
    }
}

class BitWriter {
  public:
    void Put(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) {
            acc_ = std::uint8_t((acc_ << 1) | ((code >> i) & 1));
            if (++n_ == 8) {
                bytes.push_back(acc_);
                acc_ = 0;
                n_ = 0;
            }
        }
    }
    void Finish() {
        if (n_ > 0) bytes.push_back(std::uint8_t(acc_ << (8 - n_)));
        while (bytes.size() % 4 != 0) bytes.push_back(0);
    }
    std::vector<std::uint8_t> bytes;

  private:
    std::uint8_t acc_ = 0;
    int n_ = 0;
};

} // namespace

std::vector<std::uint8_t> EncodeGlyphData(std::vector<std::uint8_t> masks, std::size_t stride) {
    // Rows become differences from the row before, last row first.
    for (std::size_t i = masks.size(); i-- > stride;) masks[i] ^= masks[i - stride];
    const std::vector<int> symbols = RunSymbols(masks, masks.size() * 8);
    std::vector<std::uint8_t> body;
    if (symbols.empty()) return body;

    std::array<std::uint64_t, kSymbols> freq{};
    for (int s : symbols) ++freq[std::size_t(s)];
    const std::array<int, kSymbols> length = CodeLengths(freq);

    // Canonical order: by length, then by symbol.
    std::vector<int> order;
    for (int s = 0; s < kSymbols; ++s)
        if (length[std::size_t(s)] > 0) order.push_back(s);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return length[std::size_t(a)] < length[std::size_t(b)]; });
    const int maxLen = length[std::size_t(order.back())];
    std::array<std::uint32_t, kSymbols> code{};
    std::uint32_t next = 0;
    int len = 1;
    for (int s : order) {
        for (; len < length[std::size_t(s)]; ++len) next <<= 1;
        code[std::size_t(s)] = next++;
    }

    body.push_back(std::uint8_t(maxLen));
    for (int l = 1; l <= maxLen; ++l) {
        const auto n = std::count_if(order.begin(), order.end(),
                                     [&](int s) { return length[std::size_t(s)] == l; });
        body.push_back(std::uint8_t(n >> 8));
        body.push_back(std::uint8_t(n));
    }
    for (int s : order) body.push_back(std::uint8_t(s));
    while (body.size() % 4 != 0) body.push_back(0);

    BitWriter w;
    for (int s : symbols) w.Put(code[std::size_t(s)], length[std::size_t(s)]);
    w.Finish();
    body.insert(body.end(), w.bytes.begin(), w.bytes.end());
    return body;
}

std::vector<std::uint8_t> WriteFontFile(const std::string& family,
                                        const std::vector<FontSize>& sizes, int version) {
    std::vector<std::uint8_t> out{'F', 'O', 'N', 'T', 0, 0, 0, 0};
    const std::uint32_t v = std::uint32_t(version) << 16;
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
    PutChunk(out, "NAME", std::vector<std::uint8_t>(family.begin(), family.end()));
    for (const FontSize& s : sizes) {
        std::vector<std::uint8_t> desc(10, 0);
        desc[0] = std::uint8_t(s.height);
        desc[1] = std::uint8_t(s.rowBytes);
        desc[2] = std::uint8_t(s.first);
        desc[3] = std::uint8_t(s.last);
        desc[4] = std::uint8_t(s.spacing);
        desc[5] = std::uint8_t(s.spaceWidth);
        desc[9] = std::uint8_t(s.baseline);
        PutChunk(out, "DESC", desc);
        PutChunk(out, "WDTH", s.widths);
        std::vector<std::uint8_t> masks;
        for (std::size_t c = 0; c < s.glyphs.size(); ++c)
            if (version == 1 || s.widths[c] != 0)
                masks.insert(masks.end(), s.glyphs[c].begin(), s.glyphs[c].end());
        PutChunk(out, "DATA",
                 version == 1 ? masks : EncodeGlyphData(masks, std::size_t(s.rowBytes)));
    }
    const std::uint32_t total = std::uint32_t(out.size());
    for (int i = 0; i < 4; ++i) out[4 + std::size_t(i)] = std::uint8_t(total >> (24 - 8 * i));
    return out;
}

} // namespace rfnbuild
