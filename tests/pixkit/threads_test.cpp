// Whole-image work split into bands on several threads gives exactly what
// one thread gives: every path of Scale, XFormLin and Copy on a picture
// large enough for four bands, into a view with an odd pitch, and JPEG
// decoding, whose stages run on two threads at once.
#include <pixkit/buffer.h>
#include <pixkit/threads.h>

#include "codecs/jpeg_multiscan.h"
#include "codecs/jpeg_scan.h"
#include "jpeg_test_util.h"
#include "reference_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

using namespace pixkit;
using testref::Pixels;

namespace {

struct ThreadCountGuard {
    ~ThreadCountGuard() {
        SetThreadCount(0);
        SetWorkPerThread(0);
        GFXFile::SetProgFunc(nullptr, nullptr, nullptr);
    }
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
// work at the same time and the helpers are shared between them, and in
// any number of bands.
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
            // Every third round in as many bands as asked (up to one a row).
            const int bands = round % 3 == 0 ? int(rng() % 400) : 0;
            ForRows(
                rows, std::int64_t(1) << 24,
                [&](int first, int last) {
                    if (std::this_thread::get_id() != self) elsewhere = true;
                    for (int r = first; r < last; ++r) ++seen[std::size_t(r)];
                },
                bands);
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

// A pipeline's later stages see every item the first stage finished, in
// order, each after the stage before finished the next item or ended (then
// with end set, once), or without AfterNext after it finished that item; an
// exception in any stage, on whichever thread ran it, reaches the caller,
// and one in the first stage still lets the items before it through.
TEST(Threads, PipelineKeepsOrderAndRaisesOnTheCaller) {
    ThreadCountGuard restore;
    SetThreadCount(3);
    constexpr int kItems = 300;
    for (const bool middleAfterNext : {true, false})
        for (const auto& [throwStage, throwAt] : {std::pair{-1, 0}, {0, 170}, {1, 90}, {2, 40}}) {
            SCOPED_TRACE(testing::Message() << "raise in stage " << throwStage << " at " << throwAt
                                            << ", middle stage after next " << middleAfterNext);
            std::atomic<int> done[3] = {0, 0, 0}, ends{0};
            std::atomic<bool> ordered{true};
            const auto stage = [&](int s, bool afterNext) {
                return [&, s, afterNext](int i, bool end) {
                    const int needed = end || !afterNext ? i + 1 : i + 2;
                    if (done[s] != i || (s > 0 && done[s - 1] < needed)) ordered = false;
                    if (s == throwStage && i == throwAt) throw std::runtime_error("stage");
                    if (end && s > 0 && afterNext) ++ends;
                    ++done[s];
                };
            };
            const std::vector<PipelineStage> stages = {
                {stage(0, true), 4},
                {stage(1, middleAfterNext), 3, middleAfterNext},
                {stage(2, true)}};
            bool raised = false;
            try {
                Pipeline(kItems, std::int64_t(1) << 30, stages);
            } catch (const std::runtime_error&) {
                raised = true;
            }
            EXPECT_TRUE(ordered);
            EXPECT_EQ(raised, throwStage >= 0);
            if (throwStage <= 0) {
                const int through = throwStage == 0 ? throwAt : kItems;
                EXPECT_EQ(done[2], through);
                EXPECT_EQ(ends, middleAfterNext ? 2 : 1);
            }
        }
}

namespace {

struct Decoded {
    Pair<int> Size{0, 0};
    std::vector<Pixel> Pixels;
    std::string Error; // the type of the exception raised, empty for none
    bool operator==(const Decoded&) const = default;
};

// Loads bytes at full size, or reduced to at least atLeast.
Decoded DecodeJpeg(const std::vector<std::uint8_t>& bytes, const Pair<int>* atLeast) {
    Decoded d;
    Buffer b;
    TFixedMemoryStream s(bytes.data(), bytes.size());
    try {
        Pair<int> full;
        if (atLeast == nullptr)
            jpegtest::Jpeg()->Load(b, &s, nullptr);
        else
            jpegtest::Jpeg()->LoadReduced(b, &s, nullptr, *atLeast, &full);
    } catch (const std::exception& e) {
        d.Error = typeid(e).name();
    }
    if (!b.Empty()) {
        d.Size = {b.Width(), b.Height()};
        d.Pixels = Pixels(b);
    }
    return d;
}

const std::thread::id testThread = std::this_thread::get_id();
std::atomic<int> progressElsewhere{0};
bool OnProgress(int) {
    if (std::this_thread::get_id() != testThread) ++progressElsewhere;
    return true;
}

// A cjpeg encoding of the picture, empty without cjpeg.
std::vector<std::uint8_t> Cjpeg(const Buffer& pic, const std::string& name,
                                const std::string& options) {
    if (!jpegtest::HaveTool("cjpeg")) return {};
    const jpegtest::fs::path ppm = jpegtest::Scratch() / (name + ".ppm"),
                             jpg = jpegtest::Scratch() / (name + ".jpg");
    jpegtest::WritePpm(ppm, pic);
    if (jpegtest::Shell("cjpeg " + options + " -outfile " + jpg.string() + " " + ppm.string()) != 0)
        return {};
    return jpegtest::ReadBytes(jpg);
}

} // namespace

// The decoder reads the data on the calling thread while a helper
// transforms and outputs the rows before, or (detailed pictures) a helper
// decodes the second part of the data, which the calling thread then takes
// over where the two meet; progressive files decode scans side by side
// (with the split forced, the latest scan free to start first) and make
// the pixels behind the last scan. Every
// corpus file, and a photo-like picture in 4:4:4 (written by pixkit), 4:2:0,
// progressive 4:2:0 (also with restart intervals) and 4:2:0 with them (cjpeg), each also cut
// short and with damaged data early and late: the same pixels and the same error as on one thread,
// at full size, at half size and at an eighth, both ways of sharing the work, with progress
// reported on the calling thread only. The threshold is lowered so that the small corpus files take
// the threaded paths too.
TEST(Threads, JpegDecodesAsOnOneThread) {
    ThreadCountGuard restore;
    GFXFile::SetProgFunc(nullptr, OnProgress, nullptr);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    Buffer photo;
    jpegtest::MakePicture(photo, 1003, 701, 7);
    for (const auto& [name, bytes] :
         {std::pair{std::string("444"), jpegtest::SaveJpegBytes(photo)},
          {"420", Cjpeg(photo, "threads420", "-sample 2x2")},
          {"420p", Cjpeg(photo, "threads420p", "-sample 2x2 -progressive")},
          {"420pr", Cjpeg(photo, "threads420pr", "-sample 2x2 -progressive -restart 2")},
          {"420r", Cjpeg(photo, "threads420r", "-sample 2x2 -restart 3B")}}) {
        if (bytes.empty()) continue;
        files.emplace_back(name, bytes);
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + bytes.size() * 11 / 20);
        files.emplace_back(name + " cut", cut);
        if (name == "420p") {
            // After the scan that completes the coefficients: a repeat of it,
            // or new quantization tables; both change the pixels made
            // behind it.
            const auto eoi = bytes.end() - 2;
            const std::uint8_t sos[] = {0xFF, 0xDA};
            const auto last = std::find_end(bytes.begin(), eoi, sos, sos + 2);
            std::vector<std::uint8_t> repeated(bytes.begin(), eoi);
            repeated.insert(repeated.end(), last, bytes.end());
            files.emplace_back("420p last scan repeated", repeated);
            std::vector<std::uint8_t> tables(bytes.begin(), eoi);
            const std::uint8_t dqt[] = {0xFF, 0xDB, 0, 67, 0};
            tables.insert(tables.end(), dqt, dqt + 5);
            tables.insert(tables.end(), 64, 3);
            tables.insert(tables.end(), eoi, bytes.end());
            files.emplace_back("420p tables after the last scan", tables);
        }
        for (const std::size_t at : {bytes.size() / 5, bytes.size() * 3 / 5}) {
            std::vector<std::uint8_t> damaged = bytes;
            for (std::size_t i = at; i < at + 40; ++i) damaged[i] ^= 0x5A;
            files.emplace_back(name + " damaged at " + std::to_string(at), damaged);
        }
    }
    const jpegtest::fs::path corpus = jpegtest::fs::path(VM_CORPUS_DIR) / "jpeg";
    if (jpegtest::fs::exists(corpus))
        for (const auto& entry : jpegtest::fs::recursive_directory_iterator(corpus))
            if (entry.is_regular_file() &&
                (entry.path().extension() == ".jpg" || entry.path().extension() == ".jpeg"))
                files.emplace_back(entry.path().string(), jpegtest::ReadBytes(entry.path()));
    ASSERT_GE(files.size(), 9u);
    SetWorkPerThread(1000);
    jpeg::KeepPaceWithFollower(true);
    for (const int split : {0, 1}) {
        jpeg::ForceJpegSplit(split);
        jpeg::StartLatestFreeScan(split == 1);
        for (const auto& [name, bytes] : files) {
            SetThreadCount(1);
            const Decoded whole = DecodeJpeg(bytes, nullptr);
            SetThreadCount(3);
            const int met = jpeg::JpegSplitMeetings(), followed = jpeg::FollowedBands(),
                      together = jpeg::ScansDecodedTogether();
            EXPECT_EQ(whole, DecodeJpeg(bytes, nullptr)) << name << " split " << split;
            // The forced split of the whole photo does take the helper's part.
            if (split == 1 && (name == "444" || name == "420r")) {
                EXPECT_EQ(jpeg::JpegSplitMeetings(), met + 1) << name;
            }
            // The progressive photo's scans are decoded side by side (none
            // fails and sends it back to one after another), and every band
            // of 16 rows is made behind its last scan.
            if (name == "420p" || name == "420pr") {
                EXPECT_EQ(jpeg::FollowedBands(), followed + (701 + 15) / 16) << name;
                EXPECT_EQ(jpeg::ScansDecodedTogether(), together + 1) << name;
            }
            if (whole.Pixels.empty()) continue;
            for (const Pair<int> atLeast :
                 {Pair<int>{whole.Size.x / 2, whole.Size.y / 2}, {1, 1}}) {
                SetThreadCount(1);
                const Decoded reduced = DecodeJpeg(bytes, &atLeast);
                SetThreadCount(3);
                EXPECT_EQ(reduced, DecodeJpeg(bytes, &atLeast))
                    << name << " at least " << atLeast.x << " split " << split;
            }
        }
    }
    jpeg::ForceJpegSplit(0);
    jpeg::StartLatestFreeScan(false);
    jpeg::KeepPaceWithFollower(false);
    EXPECT_EQ(progressElsewhere, 0);
}
