// Ownership moves, frees, allocation limits and views.
#include <pixkit/buffer.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

using namespace pixkit;

namespace {

const Rect kEmpty{0, 0, -1, -1};

void ExpectEmpty(const Buffer& b) {
    EXPECT_EQ(b.Data, nullptr);
    EXPECT_EQ(b.Area, kEmpty);
    EXPECT_EQ(b.Owned, 0);
}

} // namespace

TEST(BufferAlloc, OwnedBlockIsAlignedAndSized) {
    Buffer b;
    b.Alloc({7, 3});
    ASSERT_NE(b.Data, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.Data) % 8, 0u);
    EXPECT_EQ(b.Pitch, 7);
    EXPECT_EQ(b.Area, (Rect{0, 0, 6, 2}));
    EXPECT_TRUE(b.Owned == 0 || b.Owned == -1);
    // Every pixel is writable (ASan catches a short block).
    b.Box(b.Area, 0x123456);
    EXPECT_EQ(*b.At(6, 2), 0x123456u);
}

TEST(BufferAlloc, BadSizesLeaveTheBufferEmpty) {
    Buffer b;
    b.Alloc({4, 4});
    b.Alloc({0, 10});
    ExpectEmpty(b);
    b.Alloc({10, -1});
    ExpectEmpty(b);
    // 2^31 x 2^31 pixels: the byte count cannot be allocated.
    b.Alloc({INT_MAX, INT_MAX});
    ExpectEmpty(b);
    b.Alloc({10, 10}, nullptr);
    ExpectEmpty(b);
    // Drawing on an empty buffer is ignored.
    b.Box({0, 0, 5, 5}, 1);
    b.Line({0, 0}, {5, 3}, 1);
    EXPECT_FALSE(b.CheckMask(~0u));
}

TEST(BufferOwnership, AssignmentMovesOwnershipAndFreesOnce) {
    Buffer b1;
    b1.Alloc({10, 10});
    b1.Box(b1.Area, 7);
    Buffer b2;
    b2.Alloc({3, 3}); // freed by the assignment
    b2 = b1;
    EXPECT_EQ(b1.Owned, 1);
    EXPECT_EQ(b2.Data, b1.Data);
    EXPECT_NE(b2.Owned, 1);
    b1.Free();
    ExpectEmpty(b1);
    EXPECT_EQ(*b2.At(9, 9), 7u); // still valid: b2 owns it
    Buffer b3(b2);               // the copy constructor moves too
    EXPECT_EQ(b2.Owned, 1);
    EXPECT_NE(b3.Owned, 1);
    b3 = b3; // self-assignment keeps the block
    EXPECT_EQ(*b3.At(0, 0), 7u);
}

TEST(BufferOwnership, WrappedMemoryIsNeverFreed) {
    std::vector<Pixel> mem(12, 5);
    {
        Buffer b;
        b.Alloc({4, 3}, mem.data());
        EXPECT_EQ(b.Owned, 1);
        EXPECT_EQ(b.Area, (Rect{0, 0, 3, 2}));
        b.PutPixel({3, 2}, 9);
    }
    EXPECT_EQ(mem[11], 9u);
}

TEST(BufferViews, CornerBecomesOriginWithoutKeep) {
    Buffer src;
    src.Alloc({100, 100});
    Buffer v(src, Rect{10, 20, 30, 40}, false);
    EXPECT_EQ(v.Area, (Rect{0, 0, 20, 20}));
    EXPECT_EQ(v.Owned, 1);
    EXPECT_EQ(v.Pitch, 100);
    EXPECT_EQ(v.Data, src.At(10, 20));

    Buffer clipped(src, Rect{-5, -5, 9, 9}, false);
    EXPECT_EQ(clipped.Area, (Rect{5, 5, 14, 14}));
    EXPECT_EQ(clipped.At(5, 5), src.At(0, 0));

    Buffer whole(src, Rect{WholeArea, 0, 0, 0}, false);
    EXPECT_EQ(whole.Area, (Rect{0, 0, 99, 99}));

    // A view of a view with the whole-area marker starts at the clipped corner.
    Buffer inner(src, Rect{50, 60, 70, 80}, true);
    Buffer origin(inner, Rect{WholeArea, 0, 0, 0}, false);
    EXPECT_EQ(origin.Area, (Rect{0, 0, 20, 20}));
    EXPECT_EQ(origin.Data, src.At(50, 60));
}

TEST(BufferViews, KeepSharesCoordinatesAndMemory) {
    Buffer src;
    src.Alloc({100, 100});
    src.Box(src.Area, 0);
    Buffer v(src, Rect{10, 20, 30, 40}, true);
    EXPECT_EQ(v.Area, (Rect{10, 20, 30, 40}));
    v.PutPixel({10, 20}, 0xABCDEF);
    EXPECT_EQ(*src.At(10, 20), 0xABCDEFu);
    v.Free(); // never touches src's memory
    EXPECT_EQ(*src.At(10, 20), 0xABCDEFu);
    // A view entirely outside is empty.
    Buffer none(src, Rect{200, 200, 300, 300}, true);
    ExpectEmpty(none);
    // A view of an empty buffer is empty.
    Buffer nothing;
    Buffer ofNothing(nothing, Rect{0, 0, 5, 5}, false);
    ExpectEmpty(ofNothing);
}

TEST(BufferViews, LargeOffsetsAddressTheRightPixels) {
    Buffer src;
    src.Alloc({64, 64});
    src.Box(src.Area, 0);
    // Move the coordinates far from zero, then draw through a kept view.
    Buffer far(src, Rect{-2000000000, -2000000000, 2000000000, 2000000000}, false);
    ASSERT_FALSE(far.Empty());
    EXPECT_EQ(far.Area, (Rect{2000000000, 2000000000, 2000000063, 2000000063}));
    Buffer part(far, Rect{2000000010, 2000000020, 2000000011, 2000000021}, true);
    part.Box(Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 3);
    part.Line({1900000010, 1900000020}, {2100000010, 2100000020}, 4);
    EXPECT_EQ(*src.At(10, 20), 4u);
    EXPECT_EQ(*src.At(11, 20), 3u);
    EXPECT_EQ(*src.At(11, 21), 4u);
    EXPECT_EQ(*src.At(12, 20), 0u);
    // Offsets whose moved coordinates overflow give an empty view.
    Buffer shifted(far, Rect{-2000000000, 0, 0, 0}, false);
    EXPECT_TRUE(shifted.Empty());
}

TEST(BufferViews, AssigningAViewKeepsTheSourceOwner) {
    Buffer src;
    src.Alloc({8, 8});
    Buffer view(src, Rect{2, 2, 5, 5}, true);
    Buffer holder;
    holder = view; // moves "no ownership"
    EXPECT_EQ(holder.Owned, 1);
    holder.Free();
    src.PutPixel({0, 0}, 1); // src still owns valid memory
    EXPECT_EQ(*src.At(0, 0), 1u);
}
