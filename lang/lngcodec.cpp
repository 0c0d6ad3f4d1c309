#include "lngcodec.h"

#include <algorithm>
#include <array>
#include <queue>

namespace lng {

namespace {

std::uint32_t ReadCount(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

int LeadingOnes(unsigned v) {
    int k = 0;
    for (unsigned bit = 0x80; bit != 0 && (v & bit) != 0; bit >>= 1) ++k;
    return k;
}

// Reads the code bits most significant bit first; past the end it delivers
// zeros, which is what the packer pads the last byte with.
class BitReader {
  public:
    BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    unsigned Take(int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | Next();
        return v;
    }

  private:
    unsigned Next() {
        const std::size_t byte = pos_ >> 3;
        const unsigned bit = byte < size_ ? (data_[byte] >> (7 - (pos_ & 7))) & 1u : 0u;
        ++pos_;
        return bit;
    }
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class BitWriter {
  public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Put(std::uint64_t code, int length) {
        for (int i = length - 1; i >= 0; --i) {
            acc_ = static_cast<std::uint8_t>((acc_ << 1) | ((code >> i) & 1u));
            if (++fill_ == 8) Flush();
        }
    }
    void Finish() {
        if (fill_ == 0) return;
        acc_ = static_cast<std::uint8_t>(acc_ << (8 - fill_));
        Flush();
    }

  private:
    void Flush() {
        out_.push_back(acc_);
        acc_ = 0;
        fill_ = 0;
    }
    std::vector<std::uint8_t>& out_;
    std::uint8_t acc_ = 0;
    int fill_ = 0;
};

// With all 256 byte values at length 8 a count byte would have to hold 256.
// Such a code is re-shaped into one 7-bit, 253 8-bit and two 9-bit codes
// (still complete): the most frequent symbol gets the short code, the two
// rarest the long ones.
void AvoidFullCount(std::vector<std::uint8_t>& len, const std::vector<std::uint64_t>& freq) {
    if (std::count(len.begin(), len.end(), 8) != 256) return;
    std::array<int, 256> order{};
    for (int i = 0; i < 256; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return freq[a] > freq[b]; });
    len[order[0]] = 7;
    len[order[254]] = 9;
    len[order[255]] = 9;
}

} // namespace

CodeDescription ParseDescription(const std::uint8_t* data, std::size_t size) {
    CodeDescription desc;
    std::size_t pos = 0;
    auto next = [&]() -> std::uint8_t {
        if (pos >= size) throw LngError("language file: code description cut short");
        return data[pos++];
    };
    const int l0 = next();
    if (l0 == 0) {
        desc.SingleSymbol = next();
        desc.Bytes = pos;
        return desc;
    }
    // avail = unused codes at the current length. Every symbol takes at least
    // one of them and avail doubles per length, so more than 256 can never be
    // filled any more.
    std::uint64_t avail = std::uint64_t(1) << std::min(l0, 9);
    for (int length = l0;; ++length) {
        if (length > 255) throw LngError("language file: code longer than 255 bits");
        if (avail > 256) throw LngError("language file: code space never fills");
        const int count = next();
        if (count > static_cast<int>(avail)) throw LngError("language file: over-full code");
        for (int i = 0; i < count; ++i) desc.Codes.push_back({next(), std::uint8_t(length)});
        avail -= count;
        if (avail == 0) break;
        avail *= 2;
    }
    if (desc.Codes.size() < 2) throw LngError("language file: code with a single entry");
    desc.Bytes = pos;
    return desc;
}

// The first table holds the codes of up to 8 bits, code c of length L in the
// 2^(8-L) entries from c << (8-L). When the code space is not full after them
// and a entries are used, entries a..255 become escapes (-k), k the number of
// leading one bits of a: every longer code starts with those k ones. The next
// table continues at entry (a << k) mod 256 with the lengths reduced by k, and
// so on until a table ends full.
std::vector<TableEntry> BuildTables(const CodeDescription& desc) {
    std::vector<TableEntry> tables(256, TableEntry{0, 0});
    std::size_t table = 0;
    unsigned pos = 0;
    int shifted = 0;
    for (const Code& code : desc.Codes) {
        int stored = code.Length - shifted;
        while (stored > 8) {
            const int k = LeadingOnes(pos);
            if (k == 0 || pos >= 256) throw LngError("language file: inconsistent code");
            for (unsigned i = pos; i < 256; ++i)
                tables[table * 256 + i] = TableEntry{std::int8_t(-k), 0};
            pos = (pos << k) & 0xFFu;
            shifted += k;
            stored = code.Length - shifted;
            ++table;
            tables.resize((table + 1) * 256, TableEntry{0, 0});
        }
        if (stored < 1) throw LngError("language file: inconsistent code");
        const unsigned span = 1u << (8 - stored);
        if (pos + span > 256) throw LngError("language file: over-full code");
        for (unsigned i = 0; i < span; ++i)
            tables[table * 256 + pos + i] = TableEntry{std::int8_t(stored), code.Symbol};
        pos += span;
    }
    if (pos != 256) throw LngError("language file: incomplete code");
    return tables;
}

std::vector<std::uint8_t> CodeLengths(const std::vector<std::uint64_t>& freq) {
    struct Node {
        std::uint64_t Weight;
        int Id;
    };
    auto heavier = [](const Node& a, const Node& b) {
        return a.Weight != b.Weight ? a.Weight > b.Weight : a.Id > b.Id;
    };
    std::priority_queue<Node, std::vector<Node>, decltype(heavier)> queue(heavier);
    std::vector<int> parent(512, -1);
    for (int s = 0; s < 256; ++s)
        if (freq[s] != 0) queue.push({freq[s], s});
    if (queue.size() < 2) throw LngError("CodeLengths needs two symbols");
    int nextId = 256;
    while (queue.size() > 1) {
        const Node a = queue.top();
        queue.pop();
        const Node b = queue.top();
        queue.pop();
        parent[a.Id] = parent[b.Id] = nextId;
        queue.push({a.Weight + b.Weight, nextId++});
    }
    std::vector<std::uint8_t> len(256, 0);
    for (int s = 0; s < 256; ++s) {
        if (freq[s] == 0) continue;
        int depth = 0;
        for (int n = s; parent[n] != -1; n = parent[n]) ++depth;
        len[s] = static_cast<std::uint8_t>(depth);
    }
    AvoidFullCount(len, freq);
    return len;
}

std::vector<std::uint8_t> Pack(std::string_view text) {
    if (text.size() > kMaxTextBytes) throw LngError("language text too long");
    const auto n = static_cast<std::uint32_t>(text.size());
    std::vector<std::uint8_t> out = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16),
                                     std::uint8_t(n >> 24)};
    if (text.empty()) return out;
    std::vector<std::uint64_t> freq(256, 0);
    for (char c : text) ++freq[static_cast<std::uint8_t>(c)];
    if (std::count_if(freq.begin(), freq.end(), [](auto f) { return f != 0; }) == 1) {
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(text[0]));
        return out;
    }
    const std::vector<std::uint8_t> len = CodeLengths(freq);
    std::vector<Code> codes;
    for (int s = 0; s < 256; ++s)
        if (len[s] != 0) codes.push_back({std::uint8_t(s), len[s]});
    std::stable_sort(codes.begin(), codes.end(),
                     [](const Code& a, const Code& b) { return a.Length < b.Length; });
    // Texts up to kMaxTextBytes give Huffman codes far below 64 bits.
    std::array<std::uint64_t, 256> value{};
    std::uint64_t code = 0;
    int prev = codes.front().Length;
    out.push_back(std::uint8_t(prev));
    std::size_t i = 0;
    for (int length = prev; i < codes.size(); ++length) {
        std::size_t j = i;
        while (j < codes.size() && codes[j].Length == length) ++j;
        out.push_back(static_cast<std::uint8_t>(j - i));
        for (; i < j; ++i) {
            code <<= codes[i].Length - prev;
            prev = codes[i].Length;
            value[codes[i].Symbol] = code++;
            out.push_back(codes[i].Symbol);
        }
    }
    BitWriter bits(out);
    for (char c : text) {
        const auto s = static_cast<std::uint8_t>(c);
        bits.Put(value[s], len[s]);
    }
    bits.Finish();
    return out;
}

std::string Unpack(const std::uint8_t* data, std::size_t size) {
    if (size < 4) throw LngError("language file: no length field");
    const std::uint32_t n = ReadCount(data);
    if (n > kMaxTextBytes) throw LngError("language file: text too long");
    if (n == 0) return {};
    const CodeDescription desc = ParseDescription(data + 4, size - 4);
    if (desc.SingleSymbol >= 0) return std::string(n, static_cast<char>(desc.SingleSymbol));
    // Every code takes at least one bit: more symbols than the code bits can
    // hold (plus the last byte's padding) means a damaged file, and refusing
    // it keeps decoding time bounded by the file's size.
    const std::size_t bitBytes = size - 4 - desc.Bytes;
    if (n > 8 * std::uint64_t(bitBytes) + 8) throw LngError("language file: code bits missing");
    const std::vector<TableEntry> tables = BuildTables(desc);
    const std::size_t tableCount = tables.size() / 256;
    BitReader bits(data + 4 + desc.Bytes, size - 4 - desc.Bytes);
    std::string text(n, '\0');
    unsigned window = bits.Take(8);
    for (std::uint32_t i = 0; i < n; ++i) {
        std::size_t table = 0;
        for (;;) {
            const TableEntry e = tables[table * 256 + window];
            if (e.Length >= 0) {
                text[i] = static_cast<char>(e.Symbol);
                window = ((window << e.Length) | bits.Take(e.Length)) & 0xFFu;
                break;
            }
            window = ((window << -e.Length) | bits.Take(-e.Length)) & 0xFFu;
            if (++table >= tableCount) throw LngError("language file: bad code bits");
        }
    }
    return text;
}

} // namespace lng
