// Whole-image work split into bands on several threads gives exactly what
// one thread gives: every path of Scale, XFormLin and Copy on a picture
// large enough for four bands, into a view with an odd pitch.
#include <pixkit/buffer.h>
#include <pixkit/threads.h>

#include "reference_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace pixkit;
using testref::Pixels;

namespace {

struct ThreadCountGuard {
    ~ThreadCountGuard() { SetThreadCount(0); }
};

} // namespace

TEST(Threads, BandsGiveTheSameResultAsOneThread) {
    ThreadCountGuard restore;
    Buffer src = testref::MakePattern(1201, 901, 5, 0xFFFFFFFF);
    const Pixel key = *src.At(3, 3);
    const double c = std::cos(0.3), s = std::sin(0.3);
    const struct {
        std::string name;
        std::function<void(Buffer&)> draw;
    } cases[] = {
        {"plain down",
         [&](Buffer& d) {
             d.Scale(src, {1000, -700}, {3, 2}, NoKey, 0);
         }},
        {"halving",
         [&](Buffer& d) {
             d.Scale(src, {600, 450}, {0, 0}, key, 0);
         }},
        {"super halving",
         [&](Buffer& d) {
             d.Scale(src, {600, 450}, {1, 1}, NoKey, 1);
         }},
        {"super keyed",
         [&](Buffer& d) {
             d.Scale(src, {-900, 800}, {-5, 4}, key, 1);
         }},
        {"enlarging",
         [&](Buffer& d) {
             d.Scale(src, {2402, 1802}, {-9, -7}, NoKey, 1);
         }},
        {"rotated",
         [&](Buffer& d) {
             d.XFormLin(src, {{c, s}, {-s, c}}, {300, -200}, key, 0);
         }},
        {"copy",
         [&](Buffer& d) {
             d.Copy(src, {7, -3}, NoKey);
         }},
        {"keyed copy",
         [&](Buffer& d) {
             d.Copy(src, {-2, 5}, key);
         }},
        {"rotated super",
         [&](Buffer& d) {
             d.XFormLin(src, {{c, s}, {-s, c}}, {300, -200}, NoKey, 1);
         }},
    };
    for (const auto& tc : cases) {
        Buffer one = testref::MakePattern(1300, 950, 9), many = testref::MakePattern(1300, 950, 9);
        Buffer oneView(one, Rect{2, 1, 1290, 940}, true),
            manyView(many, Rect{2, 1, 1290, 940}, true);
        SetThreadCount(1);
        tc.draw(oneView);
        SetThreadCount(5);
        tc.draw(manyView);
        EXPECT_EQ(Pixels(one), Pixels(many)) << tc.name;
    }
}

// Each row goes to exactly one band, also when several threads hand out
// work at the same time and the helpers are shared between them.
// Also: a caller capped to its own thread (as the browser's thumbnail
// worker is) does all its rows itself while the others share the helpers.
TEST(Threads, EveryRowOnceAlsoFromSeveralCallersAtOnce) {
    ThreadCountGuard restore;
    SetThreadCount(3);
    const auto caller = [](unsigned seed, bool& ok) {
        std::mt19937 rng(seed);
        const bool alone = seed == 2;
        if (alone) SetThisThreadCount(1);
        const auto self = std::this_thread::get_id();
        for (int round = 0; round < 300 && ok; ++round) {
            const int rows = int(rng() % 300) + 1;
            std::vector<std::atomic<int>> seen(static_cast<std::size_t>(rows));
            std::atomic<bool> elsewhere{false};
            ForRows(rows, std::int64_t(1) << 24, [&](int first, int last) {
                if (std::this_thread::get_id() != self) elsewhere = true;
                for (int r = first; r < last; ++r) ++seen[std::size_t(r)];
            });
            ok = ok && !(alone && elsewhere);
            for (const auto& s : seen) ok = ok && s == 1;
        }
    };
    bool ok[3] = {true, true, true};
    {
        std::jthread a(caller, 1, std::ref(ok[0])), b(caller, 2, std::ref(ok[1]));
        caller(3, ok[2]);
    }
    EXPECT_TRUE(ok[0] && ok[1] && ok[2]);
}
