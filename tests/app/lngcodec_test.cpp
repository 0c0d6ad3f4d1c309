// The compressed language format: pack/unpack round trips checked against a
// plain bit-by-bit decoder of the canonical code, and malformed files.
#include "lngcodec.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// Decodes by reading one bit at a time and looking the (length, code) pair
// up in a map of the canonical codes: slow, but obviously right.
std::string ReferenceUnpack(const std::vector<std::uint8_t>& file) {
    const std::uint32_t n = file[0] | file[1] << 8 | file[2] << 16 | std::uint32_t(file[3]) << 24;
    if (n == 0) return {};
    const lng::CodeDescription desc = lng::ParseDescription(file.data() + 4, file.size() - 4);
    if (desc.SingleSymbol >= 0) return std::string(n, char(desc.SingleSymbol));
    std::map<std::pair<int, std::uint64_t>, char> codes;
    std::uint64_t code = 0;
    int prev = desc.Codes.front().Length;
    for (const lng::Code& c : desc.Codes) {
        code <<= c.Length - prev;
        prev = c.Length;
        codes[{c.Length, code++}] = char(c.Symbol);
    }
    std::string text;
    std::size_t bit = (4 + desc.Bytes) * 8;
    while (text.size() < n) {
        std::uint64_t value = 0;
        for (int length = 1;; ++length) {
            const std::size_t byte = bit / 8;
            const unsigned b = byte < file.size() ? (file[byte] >> (7 - bit % 8)) & 1 : 0;
            ++bit;
            value = value << 1 | b;
            auto it = codes.find({length, value});
            if (it != codes.end()) {
                text += it->second;
                break;
            }
            if (length > 255) throw std::runtime_error("no code");
        }
    }
    return text;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
    std::vector<std::uint8_t> out;
    for (int b : v) out.push_back(std::uint8_t(b));
    return out;
}

std::string Unpack(const std::vector<std::uint8_t>& file) {
    return lng::Unpack(file.data(), file.size());
}

int MaxLength(const std::vector<std::uint8_t>& file) {
    const lng::CodeDescription d = lng::ParseDescription(file.data() + 4, file.size() - 4);
    int m = 0;
    for (const lng::Code& c : d.Codes) m = std::max<int>(m, c.Length);
    return m;
}

TEST(LngCodec, RoundTripsRandomTexts) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 60; ++round) {
        const int alphabet = 2 + int(rng() % 255);
        const std::size_t size = 1 + rng() % 5000;
        std::string text;
        for (std::size_t i = 0; i < size; ++i) text += char(rng() % alphabet);
        const auto file = lng::Pack(text);
        ASSERT_EQ(Unpack(file), text) << "round " << round;
        ASSERT_EQ(ReferenceUnpack(file), text) << "round " << round;
    }
}

TEST(LngCodec, SkewedStatisticsNeedSeveralTables) {
    // Frequencies doubling per symbol give a code with lengths 1 to 19.
    std::string text;
    for (int s = 0; s < 20; ++s) text.append(std::size_t(1) << s, char('a' + s));
    std::shuffle(text.begin(), text.end(), std::mt19937(7));
    const auto file = lng::Pack(text);
    EXPECT_GE(MaxLength(file), 17);
    const auto desc = lng::ParseDescription(file.data() + 4, file.size() - 4);
    EXPECT_GE(lng::BuildTables(desc).size() / 256, 3u);
    EXPECT_EQ(Unpack(file), text);
    EXPECT_EQ(ReferenceUnpack(file), text);

    // Many symbols with a long tail of rare ones: 9- to 12-bit codes mixed
    // with short ones at one escape.
    std::string mixed;
    std::mt19937 rng(3);
    for (int i = 0; i < 40000; ++i) {
        const unsigned r = rng() % 1000;
        mixed += r < 900 ? char('a' + r % 8) : char(rng() % 256);
    }
    const auto mixedFile = lng::Pack(mixed);
    EXPECT_GT(MaxLength(mixedFile), 8);
    EXPECT_EQ(Unpack(mixedFile), mixed);
    EXPECT_EQ(ReferenceUnpack(mixedFile), mixed);
}

TEST(LngCodec, AllByteValuesEquallyOften) {
    // 256 codes of 8 bits would need a count byte of 256.
    std::string text;
    for (int rep = 0; rep < 3; ++rep)
        for (int s = 0; s < 256; ++s) text += char(s);
    const auto file = lng::Pack(text);
    EXPECT_EQ(Unpack(file), text);
    EXPECT_EQ(ReferenceUnpack(file), text);
}

TEST(LngCodec, OneSymbolAndEmptyTexts) {
    EXPECT_EQ(Unpack(Bytes({3, 0, 0, 0, 0, 'A'})), "AAA");
    EXPECT_EQ(lng::Pack("AAA"), Bytes({3, 0, 0, 0, 0, 'A'}));
    EXPECT_EQ(Unpack(lng::Pack(std::string(100000, '\n'))), std::string(100000, '\n'));
    EXPECT_EQ(lng::Pack(""), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(Unpack(Bytes({0, 0, 0, 0})), "");
}

TEST(LngCodec, HandWrittenTwoBitCode) {
    // Lengths: 'a' 1 bit (0), 'b' 2 bits (10), 'c' 2 bits (11); "abcab" is
    // 0 10 11 0 10 -> 01011010 = 0x5A.
    EXPECT_EQ(Unpack(Bytes({5, 0, 0, 0, 1, 1, 'a', 2, 'b', 'c', 0x5A})), "abcab");
}

TEST(LngCodec, MalformedFilesRaise) {
    using Bad = std::vector<std::uint8_t>;
    const Bad cases[] = {
        Bytes({1, 0}),                            // no length field
        Bytes({5, 0, 0, 0}),                      // no description
        Bytes({5, 0, 0, 0, 0}),                   // single symbol missing
        Bytes({5, 0, 0, 0, 1, 3, 'a', 'b', 'c'}), // three 1-bit codes
        Bytes({5, 0, 0, 0, 1, 1, 'a', 0, 0, 0}),  // cut short before the code space fills
        Bytes({5, 0, 0, 0, 9, 1, 'a'}),           // shortest length 9 can never fill
        Bytes({5, 0, 0, 0, 1, 0, 0}),             // nothing ever fills
        Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0, 'A'}),  // absurd length
        Bytes({0, 0, 0, 1, 1, 2, 'a', 'b', 0}),   // 16M symbols from one byte of code bits
    };
    for (const Bad& file : cases) EXPECT_THROW(Unpack(file), lng::LngError);
}

TEST(LngCodec, MissingCodeBitsReadAsZeros) {
    // The code bits end early: the rest decodes from zero bits, without
    // reading past the data.
    EXPECT_EQ(Unpack(Bytes({4, 0, 0, 0, 1, 2, 'a', 'b'})), "aaaa");
}

} // namespace
