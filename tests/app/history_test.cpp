// The undo history on top of the snapshot, without a window: actions are
// "snapshot, draw, mark the repainted rectangle, count", as tools do them.
#include "history.h"
#include "undo.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using kv::Documents;
using kv::UndoHistory;
using kv::UndoSnapshot;
using pixkit::Pixel;
using pixkit::Rect;

std::vector<Pixel> Pixels(const pixkit::Buffer& b) {
    std::vector<Pixel> out;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) out.push_back(*b.At(x, y));
    return out;
}

struct Fixture {
    Documents docs;
    UndoSnapshot snapshot;
    UndoHistory history{docs, snapshot};

    Fixture(int w, int h) {
        docs.AllocBlack(0, w, h);
        docs.AllocBlack(1, w, h);
    }
    kv::UDBuffer& Image() { return docs.CurrentImage(); }
    // One finished action: a filled box, repainted and counted.
    void Box(Rect r, Pixel c) {
        ASSERT_TRUE(history.TakeSnapshot(docs.Current));
        Image().Box(r, c);
        history.MarkDirty(r);
        ++Image().Changed;
    }
};

TEST(History, StepsUndoAndRedoToTheExactPixelsAndANewActionDropsRedo) {
    Fixture f(300, 200);
    std::mt19937 random(7);
    std::vector<std::vector<Pixel>> states{Pixels(f.Image())};
    for (int i = 0; i < 10; ++i) {
        const int x = int(random() % 280), y = int(random() % 180);
        f.Box({x, y, x + int(random() % 90), y + int(random() % 70)}, Pixel(random() & 0xFFFFFF));
        states.push_back(Pixels(f.Image()));
    }
    for (int i = 9; i >= 0; --i) {
        ASSERT_TRUE(f.history.Undo()) << i;
        EXPECT_EQ(Pixels(f.Image()), states[std::size_t(i)]) << i;
    }
    EXPECT_FALSE(f.history.Undo());
    EXPECT_EQ(f.Image().Changed, 0);
    for (int i = 1; i <= 10; ++i) {
        ASSERT_TRUE(f.history.Redo()) << i;
        EXPECT_EQ(Pixels(f.Image()), states[std::size_t(i)]) << i;
    }
    EXPECT_FALSE(f.history.Redo());

    // Cancel keeps working on the snapshot the history keeps in step.
    ASSERT_TRUE(f.history.TakeSnapshot(0));
    f.Image().Box({0, 0, 299, 199}, 0x01ABCDEF);
    ASSERT_EQ(f.snapshot.CancelToSnapshot(f.Image()), 0);
    f.history.MarkAllDirty();
    EXPECT_EQ(Pixels(f.Image()), states[10]);

    f.history.Undo();
    f.history.Undo();
    f.Box({5, 5, 20, 20}, 0x00123456);
    EXPECT_FALSE(f.history.Redo()) << "the redo branch is gone";
    ASSERT_TRUE(f.history.Undo());
    EXPECT_EQ(Pixels(f.Image()), states[8]);
}

TEST(History, StepsHoldOnlyChangedTilesAndStayWithinTheLimits) {
    Fixture f(4000, 3000);
    for (int i = 0; i < 200; ++i) {
        const int x = (i * 97) % 3900, y = (i * 61) % 2900;
        f.Box({x, y, x + 20, y + 20}, Pixel(0x10000 + i));
    }
    ASSERT_TRUE(f.history.TakeSnapshot(0)); // the last box becomes a step
    // A 21 x 21 box touches at most four 64 x 64 tiles.
    EXPECT_LE(f.history.Bytes(), std::size_t(200) * (4 * 64 * 64 * 4 + 1024));
    EXPECT_EQ(f.history.StepCount(0), 100) << "the default step limit";

    f.history.SetLimits({std::size_t(256) << 10, 1000});
    EXPECT_LE(f.history.Bytes(), std::size_t(256) << 10);
    const int kept = f.history.StepCount(0);
    EXPECT_GT(kept, 3);
    for (int i = 0; i < kept; ++i) ASSERT_TRUE(f.history.Undo());
    EXPECT_FALSE(f.history.Undo()) << "older steps were dropped";
}

TEST(History, ResizeLoadsAndGivenUpChanges) {
    Fixture f(40, 30);
    f.Box({0, 0, 9, 9}, 0x00FF0000);
    const auto small = Pixels(f.Image());
    // A command that replaces the pixels by an image of another size.
    ASSERT_TRUE(f.history.TakeSnapshot(0));
    f.docs.AllocBlack(0, 70, 20);
    f.Image().FileName = "big.bmp";
    f.Image().Changed = 0;
    f.history.MarkAllDirty();
    ASSERT_TRUE(f.history.Undo());
    EXPECT_EQ(f.Image().Width(), 40);
    EXPECT_EQ(Pixels(f.Image()), small);
    EXPECT_EQ(f.Image().FileName, "");
    EXPECT_NE(f.Image().Changed, 0);
    ASSERT_TRUE(f.history.Redo());
    EXPECT_EQ(f.Image().Width(), 70);
    EXPECT_EQ(f.Image().FileName, "big.bmp");
    EXPECT_EQ(f.Image().Changed, 0) << "the loaded file's pixels";

    // A change that was counted but never repainted is still a step.
    ASSERT_TRUE(f.history.TakeSnapshot(0));
    *f.Image().At(69, 19) = 0x00ABCDEF;
    ++f.Image().Changed;
    ASSERT_TRUE(f.history.Undo());
    EXPECT_EQ(*f.Image().At(69, 19), 0u);

    // A slot loaded past the history has no steps that fit it any more.
    f.docs.Current = 1;
    f.Box({0, 0, 5, 5}, 0x00777777);
    f.docs.Current = 0;
    ASSERT_TRUE(f.history.TakeSnapshot(0));
    f.docs.AllocBlack(1, 8, 8);
    f.docs.Slots[1].Changed = 0;
    f.docs.Current = 1;
    EXPECT_FALSE(f.history.Undo());
    EXPECT_EQ(f.history.StepCount(1), 0);
}

} // namespace
