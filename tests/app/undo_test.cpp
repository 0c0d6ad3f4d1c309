// The undo snapshot: draw, undo, redo; the changed counter; cancels.
#include "undo.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kv::UDBuffer;
using kv::UndoSnapshot;
using pixkit::Pixel;

void Blank(UDBuffer& b, int w, int h, Pixel c = 0) {
    b.Alloc({w, h});
    b.Box(b.Area, c);
}

std::vector<Pixel> Pixels(const pixkit::Buffer& b) {
    std::vector<Pixel> out;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        for (int x = b.Area.Left; x <= b.Area.Right; ++x) out.push_back(*b.At(x, y));
    return out;
}

// One finished action the way a tool ends it: snapshot, draw, count.
void DrawLine(UndoSnapshot& undo, UDBuffer& img) {
    undo.TakeSnapshot(img);
    img.Line({1, 1}, {14, 9}, 0x00FF0000);
    ++img.Changed;
}

TEST(Undo, UndoRedoAlternateUntilTheNextSnapshot) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 16, 12);
    const auto before = Pixels(img);
    DrawLine(undo, img);
    const auto after = Pixels(img);
    ASSERT_NE(before, after);

    ASSERT_TRUE(undo.SwapWithSnapshot(img));
    EXPECT_EQ(Pixels(img), before) << "first undo removes the line";
    ASSERT_TRUE(undo.SwapWithSnapshot(img));
    EXPECT_EQ(Pixels(img), after) << "second undo brings it back";
    ASSERT_TRUE(undo.SwapWithSnapshot(img));
    EXPECT_EQ(Pixels(img), before);
}

// The changed state follows the pixels: undo back to the loaded or saved
// state reads unchanged, anything else reads changed.
TEST(Undo, ChangedStateFollowsThePixelsThroughUndoAndRedo) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 8, 8);
    img.Changed = 0; // just loaded
    img.FileName = "/tmp/a.bmp";
    img.FileState = 0;
    DrawLine(undo, img);
    ASSERT_EQ(img.Changed, 1);
    undo.SwapWithSnapshot(img);
    EXPECT_EQ(img.Changed, 0) << "the loaded state is unchanged";
    undo.SwapWithSnapshot(img);
    EXPECT_NE(img.Changed, 0) << "redo brings back an unsaved stroke";

    // Two strokes, one undo: the first stroke is still unsaved.
    DrawLine(undo, img);
    undo.SwapWithSnapshot(img);
    EXPECT_NE(img.Changed, 0);

    // Saved after the strokes: undo leaves the saved state, redo returns to it.
    undo.SwapWithSnapshot(img);
    img.Changed.MarkSaved();
    EXPECT_EQ(img.Changed, 0);
    undo.SwapWithSnapshot(img);
    EXPECT_NE(img.Changed, 0) << "the stroke before the save is not what the file holds";
    undo.SwapWithSnapshot(img);
    EXPECT_EQ(img.Changed, 0);

    // A cancelled action gives back the state before it.
    undo.TakeSnapshot(img);
    ++img.Changed;
    ASSERT_EQ(undo.CancelToSnapshot(img), 0);
    EXPECT_EQ(img.Changed, 0);
}

TEST(Undo, SwapExchangesEverythingButLeavesSizesWithThePixels) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 5, 3, 0x00123456);
    img.FileName = "old.frm";
    img.FileState = 1;
    img.ImageNo = 4;
    undo.TakeSnapshot(img);
    EXPECT_EQ(undo.Snapshot().ImageNo, 1) << "the image number is not copied";
    Blank(img, 9, 7, 0x00ABCDEF); // a load into the slot
    img.FileName = "new.bmp";
    img.FileState = 0;
    img.ImageNo = 2;
    undo.SwapWithSnapshot(img);
    EXPECT_EQ(img.Width(), 5);
    EXPECT_EQ(img.Height(), 3);
    EXPECT_EQ(*img.At(4, 2), 0x00123456u);
    EXPECT_EQ(img.FileName, "old.frm");
    EXPECT_EQ(img.FileState, 1);
    EXPECT_EQ(img.ImageNo, 1);
    EXPECT_EQ(undo.Snapshot().Width(), 9);
    EXPECT_EQ(undo.Snapshot().ImageNo, 2);
}

TEST(Undo, EmptySnapshotDoesNothing) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 4, 4, 0x00010203);
    img.Changed = 5;
    EXPECT_FALSE(undo.SwapWithSnapshot(img));
    EXPECT_NE(undo.CancelToSnapshot(img), 0);
    EXPECT_EQ(img.Changed, 5);
    EXPECT_EQ(Pixels(img), std::vector<Pixel>(16, 0x00010203));
    EXPECT_TRUE(undo.Empty());
}

TEST(Undo, CancelClearsMarkerBitsAndCanRepeat) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 6, 6, 0x00202020);
    // Marks left over in the image before the snapshot are copied with it.
    img.PutPixel({0, 0}, 0x03FFFFFF);
    *img.At(1, 0) = 0xF1808080; // PutPixel would XOR-draw this value
    undo.TakeSnapshot(img);
    EXPECT_EQ(*undo.Snapshot().At(0, 0), 0x03FFFFFFu) << "snapshots keep the top byte";
    // A fill marking pixels, then abandoned.
    img.Box({2, 2, 5, 5}, 0x01FF0000);
    img.Changed = 9;
    img.FileName = "x";
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(undo.CancelToSnapshot(img), 0);
        for (Pixel p : Pixels(img)) EXPECT_EQ(p & 0x03000000u, 0u);
        EXPECT_EQ(*img.At(0, 0), 0x00FFFFFFu);
        EXPECT_EQ(*img.At(1, 0), 0xF0808080u) << "only bits 24 and 25 are cleared";
        EXPECT_EQ(*img.At(3, 3), 0x00202020u);
        EXPECT_EQ(img.Changed, 0);
        EXPECT_EQ(img.FileName, "");
    }
}

TEST(Undo, UndoClearsMarkerBitsOfTheImageItBringsBack) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 3, 3, 0x02000001);
    undo.TakeSnapshot(img);
    img.Box(img.Area, 0x00000002);
    undo.SwapWithSnapshot(img);
    EXPECT_EQ(Pixels(img), std::vector<Pixel>(9, 0x00000001));
}

TEST(Undo, CancelReallocatesAnImageOfAnotherSize) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 10, 4, 0x00000007);
    undo.TakeSnapshot(img);
    Blank(img, 3, 30, 0);
    ASSERT_EQ(undo.CancelToSnapshot(img), 0);
    EXPECT_EQ(img.Width(), 10);
    EXPECT_EQ(img.Height(), 4);
    EXPECT_EQ(Pixels(img), std::vector<Pixel>(40, 0x00000007));
}

TEST(Undo, FailedSnapshotLeavesItEmpty) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 2, 2, 0);
    undo.TakeSnapshot(img);
    undo.FailNextSnapshot();
    EXPECT_FALSE(undo.TakeSnapshot(img));
    EXPECT_TRUE(undo.Empty()) << "an old snapshot would undo to a wrong state";
    EXPECT_TRUE(undo.TakeSnapshot(img)) << "only the next one fails";
}

TEST(Undo, FreedSnapshotIsEmptyUntilTakenAgain) {
    UndoSnapshot undo;
    UDBuffer img;
    Blank(img, 2, 2, 0);
    undo.TakeSnapshot(img);
    undo.Free();
    EXPECT_TRUE(undo.Empty());
    EXPECT_FALSE(undo.SwapWithSnapshot(img));
    undo.TakeSnapshot(img);
    EXPECT_FALSE(undo.Empty());
}

} // namespace
