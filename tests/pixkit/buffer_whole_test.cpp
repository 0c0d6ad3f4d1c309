// Whole-buffer operations: colour replacement and exchange, mask test,
// bitwise operations and the test pattern.
#include <pixkit/buffer.h>

#include <gtest/gtest.h>

using namespace pixkit;

namespace {

Buffer Filled(int w, int h, Pixel c) {
    Buffer b;
    b.Alloc({w, h});
    b.Box(b.Area, c);
    return b;
}

} // namespace

TEST(BufferWhole, ChColorComparesAll32Bits) {
    Buffer b = Filled(4, 4, 0x00112233);
    b.PutPixel({1, 1}, 0x01112233);
    b.ChColor(0x00112233, 0x00FFFFFF);
    EXPECT_EQ(*b.At(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(*b.At(1, 1), 0x01112233u);
}

TEST(BufferWhole, XChColorSwapsBothWaysAndIsANoOpForEqualValues) {
    Buffer b = Filled(3, 1, 1);
    b.PutPixel({1, 0}, 2);
    b.PutPixel({2, 0}, 3);
    b.XChColor(1, 2);
    EXPECT_EQ(*b.At(0, 0), 2u);
    EXPECT_EQ(*b.At(1, 0), 1u);
    EXPECT_EQ(*b.At(2, 0), 3u);
    b.XChColor(3, 3);
    EXPECT_EQ(*b.At(2, 0), 3u);
}

TEST(BufferWhole, CheckMaskFindsAnyBitInsideTheViewOnly) {
    Buffer b = Filled(10, 10, 0);
    Buffer empty;
    EXPECT_FALSE(empty.CheckMask(~0u));
    EXPECT_FALSE(b.CheckMask(0x01000000));
    b.PutPixel({9, 9}, 0x01000000);
    EXPECT_TRUE(b.CheckMask(0x03000000));
    Buffer v(b, Rect{0, 0, 8, 8}, true);
    EXPECT_FALSE(v.CheckMask(0x03000000));
}

TEST(BufferWhole, BoolOperations) {
    Buffer b = Filled(2, 2, 0x00123456);
    b.Bool(4, static_cast<Pixel>(-8));
    EXPECT_EQ(*b.At(0, 0), 0x00001234u);
    b.Box(b.Area, 0x00123456);
    b.Bool(4, 8);
    EXPECT_EQ(*b.At(1, 1), 0x12345600u);
    b.Bool(5, 0xFFFFFFFF);
    EXPECT_EQ(*b.At(1, 1), 0x12345600u);
    b.Bool(1, 0x00FFFFFF);
    EXPECT_EQ(*b.At(1, 1), 0x00345600u);
    b.Bool(2, 0x01000000);
    EXPECT_EQ(*b.At(1, 1), 0x01345600u);
    b.Bool(3, 0x01000001);
    EXPECT_EQ(*b.At(1, 1), 0x00345601u);
    b.Bool(4, 40); // modulo 32: shift left by 8
    EXPECT_EQ(*b.At(1, 1), 0x34560100u);
    b.Bool(4, 0x80000000u); // the smallest count: right by 2^31 mod 32 = 0
    EXPECT_EQ(*b.At(1, 1), 0x34560100u);
}

TEST(BufferWhole, TestPatternFollowsColumnRowAndTopByte) {
    Buffer b = Filled(300, 300, 0x000000FE);
    b.VClr(3);
    EXPECT_EQ(*b.At(0, 0), 0x3000007Fu);
    EXPECT_EQ(*b.At(5, 2), 0x3005027Fu);
    EXPECT_EQ(*b.At(299, 257), 0x302C017Fu); // red (299 + 1) mod 256, green 257 mod 256
}
