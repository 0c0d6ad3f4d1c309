// Streams and buffered reading: exact reads, the read error at the end, and
// refills that cross the buffer's capacity.
#include <pixkit/gfxfile.h>
#include <pixkit/stream.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <vector>

using namespace pixkit;

TEST(Streams, MemoryStreamWritesSeeksAndReadsBack) {
    TMemoryStream m;
    const char text[] = "abcdef";
    m.WriteBuffer(text, 6);
    EXPECT_EQ(m.Size(), 6);
    m.SetPosition(2);
    char got[4] = {};
    m.ReadBuffer(got, 3);
    EXPECT_EQ(std::string(got, 3), "cde");
    EXPECT_THROW(m.ReadBuffer(got, 2), EReadError);
    m.Seek(-1, SeekOrigin::End);
    m.WriteBuffer("XYZ", 3); // writing past the end grows the stream
    EXPECT_EQ(m.Size(), 8);
    EXPECT_THROW(m.Seek(-1, SeekOrigin::Begin), EStreamError);
}

TEST(Streams, FixedMemoryStreamIsReadOnly) {
    const std::uint8_t bytes[] = {1, 2, 3};
    TFixedMemoryStream s(bytes, sizeof bytes);
    std::uint8_t b[3];
    s.ReadBuffer(b, 3);
    EXPECT_EQ(b[2], 3);
    EXPECT_EQ(s.Read(b, 1), 0);
    EXPECT_THROW(s.WriteBuffer(b, 1), EWriteError);
}

TEST(Streams, ExceptionHierarchyAndMessages) {
    try {
        throw EInvalidImage();
    } catch (const EFilerError& e) {
        EXPECT_STREQ(e.what(), "Graphics file has an invalid/unknown format or has been damaged.");
    }
    EXPECT_THROW(throw EReadError(), EStreamError);
    EXPECT_THROW(TFileStream("/nonexistent/dir/file", TFileStream::Mode::OpenRead), EFOpenError);
    EXPECT_THROW(TFileStream("/nonexistent/dir/file", TFileStream::Mode::Create), EFCreateError);
    EXPECT_THROW(TFileStream("/tmp", TFileStream::Mode::OpenRead), EFOpenError);
}

TEST(Streams, FileStreamRoundTrip) {
    const auto path = std::filesystem::temp_directory_path() / "pixkit-stream-test.bin";
    TMemoryStream m;
    std::vector<std::uint8_t> data(100000);
    std::iota(data.begin(), data.end(), 0);
    m.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    m.SaveToFile(path.string());
    TMemoryStream back;
    back.LoadFromFile(path.string());
    EXPECT_EQ(back.Bytes(), data);
    std::filesystem::remove(path);
}

TEST(StreamBuf, ReadsAcrossSeveralRefillsInOrder) {
    std::vector<std::uint8_t> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    TFixedMemoryStream s(data.data(), data.size());
    StreamBuf sb(&s, 16);
    EXPECT_EQ(sb.Get(), data[0]);
    std::vector<std::uint8_t> got(600);
    sb.Read(got.data(), 600); // crosses many 16-byte refills
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + 1));
    sb.Skip(300);
    EXPECT_EQ(sb.Get(), data[901]);
    EXPECT_EQ(sb.GetLE16(), data[902] | (data[903] << 8));
    sb.Skip(96);
    EXPECT_THROW(sb.Get(), EReadError);
}

TEST(Colconv, ConversionsReadExactlyTheirGroups) {
    EXPECT_EQ(Colconv::BSwap(0x11223344), 0x44332211u);
    // A colour reference 0x00BBGGRR becomes a pixel 0x00RRGGBB.
    EXPECT_EQ(Colconv::BSwap(0x00332211) >> 8, 0x00112233u);
    const std::uint8_t rgb[] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    std::uint32_t px[2] = {};
    Colconv::BGR24RGB32s(rgb, px, 2);
    EXPECT_EQ(px[0], 0x00102030u);
    EXPECT_EQ(px[1], 0x00405060u);
    Colconv::RGB24RGB32s(rgb, px, 2);
    EXPECT_EQ(px[0], 0x00302010u);
    std::uint8_t out[7] = {0, 0, 0, 0, 0, 0, 0xEE};
    Colconv::RGB32RGB24s(px, out, 2);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 7),
              (std::vector<std::uint8_t>{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0xEE}));
    std::uint32_t words[1] = {0xFF302010}; // memory bytes 10 20 30 FF: red, green, blue, ignored
    Colconv::BGR32RGB32s(words, words, 1);
    EXPECT_EQ(words[0], 0x00102030u);
}
