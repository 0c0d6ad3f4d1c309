// Nothing writes outside the target's Area: every operation draws into a
// view of a larger block whose frame holds a canary value, with sources
// and placements that reach past the view on every side.
#include <pixkit/buffer.h>

#include "reference_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace pixkit;

namespace {

constexpr Pixel kCanary = 0x0BADF00D;

void ExpectFrameIntact(const Buffer& block, const Rect& inner, const char* what) {
    for (int y = 0; y < block.Height(); ++y)
        for (int x = 0; x < block.Width(); ++x) {
            const bool in =
                x >= inner.Left && x <= inner.Right && y >= inner.Top && y <= inner.Bottom;
            if (!in) {
                ASSERT_EQ(*block.At(x, y), kCanary) << what << " wrote " << x << "," << y;
            }
        }
}

} // namespace

TEST(GuardBand, NoOperationWritesOutsideTheView) {
    Buffer src;
    src.Alloc({37, 29});
    testref::FillPattern(src, 3);
    src.Bool(1, 0x00FFFFFF);
    src.Box(Rect{3, 3, 9, 9}, TransparentMarker);
    Buffer other;
    other.Alloc({60, 60});
    testref::FillPattern(other, 4);

    const double c = std::cos(0.6), s = std::sin(0.6);
    const std::vector<std::pair<const char*, std::function<void(Buffer&)>>> ops = {
        {"Copy",
         [&](Buffer& v) {
             v.Copy(src, {-10, 5}, NoKey);
         }},
        {"Copy keyed",
         [&](Buffer& v) {
             v.Copy(src, {4, -12}, TransparentMarker);
         }},
        {"CopyLine",
         [&](Buffer& v) {
             v.CopyLine(src, {-20, -3}, {50, 40}, {-4, 2});
         }},
        {"CopyLine straight",
         [&](Buffer& v) {
             v.CopyLine(src, {0, 5}, {36, 5}, {-6, 0});
         }},
        {"Swap", [&](Buffer& v) { v.Swap(other); }},
        {"Scale up",
         [&](Buffer& v) {
             v.Scale(src, {90, 70}, {-20, -15}, NoKey, 0);
         }},
        {"Scale mirrored",
         [&](Buffer& v) {
             v.Scale(src, {-53, -41}, {-3, -2}, NoKey, 1);
         }},
        {"Scale keyed",
         [&](Buffer& v) {
             v.Scale(src, {33, -60}, {2, -9}, TransparentMarker, 1);
         }},
        {"XFormLin",
         [&](Buffer& v) {
             v.XFormLin(src, {{c, s}, {-s, c}}, {5, -9}, NoKey, 0);
         }},
        {"XFormLin super",
         [&](Buffer& v) {
             v.XFormLin(src, {{2 * c, 2 * s}, {-s, c}}, {-6, -14}, NoKey, 1);
         }},
        {"XFormLin keyed",
         [&](Buffer& v) {
             v.XFormLin(src, {{-1.3, 0.2}, {0.4, 1.7}}, {30, -3}, TransparentMarker, 1);
         }},
        {"OutlineEQ", [&](Buffer& v) { v.OutlineEQ(*v.At(v.Area.Left, v.Area.Top), 0x00FF0000); }},
        {"OutlineNE", [&](Buffer& v) { v.OutlineNE(*v.At(v.Area.Left, v.Area.Top), 0x00FF0000); }},
        {"OutText",
         [&](Buffer& v) {
             FontDesc f;
             f.Height = 30;
             f.Italic = true;
             f.Underline = true;
             v.OutText(f, {-9, -6}, "Wide gjy text", 0x00FFFFFF);
         }},
    };
    for (const auto& [name, op] : ops) {
        Buffer block;
        block.Alloc({41, 35});
        block.Box(block.Area, kCanary);
        const Rect inner{7, 6, 30, 26};
        Buffer view(block, inner, false);
        testref::FillPattern(view, 9);
        view.Bool(1, 0x00FFFFFF);
        op(view);
        ExpectFrameIntact(block, inner, name);
    }
}
