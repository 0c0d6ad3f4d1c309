// Components without a window: the description parser, the scan (versions,
// broken files, the limit of 128) and every sample component run through
// the runner against an independent reference.
#include "effects/component.h"
#include "effects/compscan.h"
#include "effects/kvcdesc.h"
#include "effects/kvcrunner.h"
#include "kvc.h"
#include "tables.h"

#include <QColor>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

namespace fs = std::filesystem;
using namespace kv;

namespace {

const std::string kTestComps = VM_BIN_DIR "/../tests/comps/";
const std::string kSamples = VM_BIN_DIR "/Comps/";

struct RunnerSetup : ::testing::Test {
    void SetUp() override {
        RunnerProgramOverride() = VM_BIN_DIR "/kvcrun";
        Timeouts() = RunnerTimeouts{};
        Timeouts().LoadMs = 1500;
        dir_ = fs::temp_directory_path() / ("kvc_app_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

using Scan = RunnerSetup;
using Samples = RunnerSetup;

// Entries worked out by hand: sin 45 deg = 0.70711 gives 362.04, truncated
// toward zero below the axis too (-362, not -363); one step is 2 pi / 1024,
// so entry 1 is 512 * 0.0061359 = 3.14 and tangent 1024 * 0.0061360 = 6.28;
// tan 45 deg = 1; next to the pole 1024 cot(pi / 512) = 1024 * 162.97; the
// poles themselves are clamped, not wrapped.
TEST(ComponentTables, ChosenSineCosineAndTangentEntries) {
    std::int32_t sine[kvc::kSinEntries], tangent[kvc::kTanEntries];
    kvc::MakeAngleTables(sine, tangent);
    const std::pair<int, std::int32_t> sines[] = {{0, 0},      {1, 3},     {128, 362},
                                                  {256, 512},  {512, 0},   {640, -362},
                                                  {768, -512}, {1023, -3}, {1279, 511}};
    for (auto [i, v] : sines) EXPECT_EQ(sine[i], v) << "sine " << i;
    const std::int32_t* cosine = sine + 256;
    EXPECT_EQ(cosine[0], 512);
    EXPECT_EQ(cosine[384], -362);
    EXPECT_EQ(cosine[512], -512);
    const std::pair<int, std::int32_t> tangents[] = {
        {0, 0},   {1, 6},      {128, 1024},       {255, 166884}, {256, INT32_MAX}, {257, -166884},
        {512, 0}, {640, 1024}, {768, -INT32_MAX}, {896, -1024},  {1023, -6}};
    for (auto [k, v] : tangents) EXPECT_EQ(tangent[k], v) << "tangent " << k;
}

TEST(ComponentDescription, VersionsAndParameterFormats) {
    const struct {
        const char* Ver;
        bool Accepted;
    } versions[] = {{"1.47", false}, {"1.48", true}, {"1.5", true}, {"1.999", true},
                    {"2", false},    {"", false},    {"abc", false}};
    for (const auto& v : versions) {
        ComponentDesc d;
        const std::string text = std::string("Ver=") + v.Ver + "\rName=N\r";
        EXPECT_EQ(ParseDescription(text, d).empty(), v.Accepted) << v.Ver;
    }
    const struct {
        const char* Par;
        int Kind; // 0: no parameter
        int Bytes;
    } pars[] = {
        {"I,Size,1,9,4", KVCK_INTEGER, 4},
        {"F,R,1,0.5,0,9,2.5", KVCK_FLOAT, 8},
        {"B,Go", KVCK_BUTTON, 0},
        {"C,On,1", KVCK_CHECK, 4},
        {"S,Lv,0,9,3", KVCK_SLIDER, 4},
        {"L,M,2,a,b,1,", KVCK_LIST, 4},
        {"O,Col,ff00ff,", KVCK_COLOR, 4},
        {"P,Pt,1,2", KVCK_POINT, 4},
        {"G,Img,2", KVCK_IMAGE, 4},
        {"I2x,Hidden,0,9,1", KVCK_INTEGER, 4},
        {"I,", 0, 0},
        {"X,Bad,1,2,3", 0, 0},
        {"I,Size,1,9", 0, 0},
        {"F,R,1,a,0,9,2", 0, 0},
        {"L,M,3,a,b,1,", 0, 0},
        {"C,On", 0, 0},
        {"O,Col,zz,", 0, 0},
        {"S,Lv,0,9,x", 0, 0},
    };
    for (const auto& p : pars) {
        ParamDesc d;
        ParamValue v;
        EXPECT_EQ(ParseParam(p.Par, d, v) ? d.Kind : 0, p.Kind) << p.Par;
        if (p.Kind != 0) {
            EXPECT_EQ(d.Bytes(), p.Bytes) << p.Par;
        }
    }
    // A level digit hides the parameter from Novice users only when it is
    // above the level + 1.
    ParamDesc hidden;
    ParamValue v;
    ASSERT_TRUE(ParseParam("I2,Hidden,0,9,1", hidden, v));
    EXPECT_FALSE(hidden.Visible(0));
    EXPECT_TRUE(hidden.Visible(1));
    // Pixel positions in 0..65535: the last pixel is 65535, one pixel is 0.
    EXPECT_EQ(ToUnit(99, 100), 65535);
    EXPECT_EQ(ToUnit(0, 1), 0);
    EXPECT_EQ(FromUnit(65535, 1), 0);
}

TEST_F(Scan, FoldersVersionsBrokenFilesAndTheLimit) {
    const fs::path root = dir_ / "Comps";
    fs::create_directories(root / "blur and sharpen" / "deep");
    fs::create_directories(root / "bad");
    fs::copy_file(kTestComps + "Ver15.kvc", root / "blur and sharpen" / "a.kvc");
    fs::copy_file(kTestComps + "Ver15.kvc", root / "blur and sharpen" / "deep" / "b.kvc");
    for (const char* f : {"Ver147", "Ver2", "CtorCrash", "CtorHang", "NoProcess", "OtherAbi"})
        fs::copy_file(kTestComps + f + ".kvc", root / "bad" / (std::string(f) + ".kvc"));
    std::ofstream(root / "bad" / "text.kvc") << "not a library";
    std::vector<std::string> log;
    const ScanResult r =
        ScanComponents({root.string()}, [&](const std::string& l) { log.push_back(l); });
    ASSERT_EQ(r.Components.size(), 2u);
    EXPECT_EQ(r.Folders, (std::vector<std::string>{"Bad", "Blur And Sharpen", "Deep"}));
    EXPECT_EQ(r.Components[0].Folder, 1);
    EXPECT_EQ(r.Components[1].Folder, 2);
    const std::pair<const char*, const char*> refused[] = {
        {"Ver147", "1.47"},           {"Ver2", "Ver=2"},           {"CtorCrash", "signal"},
        {"CtorHang", "did not load"}, {"NoProcess", "KVCPROCESS"}, {"OtherAbi", "interface 99"},
        {"text.kvc", "text.kvc"}};
    ASSERT_EQ(r.Problems.size(), std::size(refused));
    for (const auto& [file, reason] : refused) {
        const auto hit =
            std::find_if(r.Problems.begin(), r.Problems.end(), [&](const std::string& p) {
                return p.find(file) != std::string::npos && p.find(reason) != std::string::npos;
            });
        EXPECT_NE(hit, r.Problems.end()) << file << " with " << reason;
    }
    // 129 files: the last is never loaded.
    const fs::path many = dir_ / "many";
    fs::create_directories(many);
    for (int i = 0; i < 129; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "c%03d.kvc", i);
        fs::create_symlink(kTestComps + "Ver15.kvc", many / name);
    }
    log.clear();
    const ScanResult full =
        ScanComponents({many.string()}, [&](const std::string& l) { log.push_back(l); });
    EXPECT_EQ(full.Components.size(), 128u);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) {
                                return l.find("c128.kvc found") != std::string::npos;
                            }),
              0);
}

// Runs a component through the runner on picture `in` with the values and
// the area given; masked runs use the marks in `in`.
std::vector<std::uint32_t> RunSample(const std::string& file, const std::vector<std::uint32_t>& in,
                                     int w, int h, const ValueBlock& values, pixkit::Rect area,
                                     bool masked) {
    KvcRunner runner;
    KvcRunner::Loaded loaded;
    EXPECT_TRUE(runner.Load(file, loaded)) << runner.Failure();
    const std::size_t bytes = in.size() * 4;
    EXPECT_TRUE(runner.Reserve(2 * bytes));
    std::memcpy(runner.Shared(), in.data(), bytes);
    std::memcpy(runner.Shared() + bytes, in.data(), bytes);
    kvc::BlockLayout layout;
    layout.Source = {0, w, h};
    layout.Dest = {bytes, w, h};
    layout.Left = area.Left, layout.Top = area.Top, layout.Right = area.Right,
    layout.Bottom = area.Bottom;
    layout.Masked = masked ? 1 : 0;
    layout.Images[0] = layout.Source;
    const bool ok =
        runner.Call(KVCM_INIT, &layout, sizeof(layout), KvcRunner::Wait::Limited) &&
        runner.Call(KVCM_PARAMS, values.data(), values.size(), KvcRunner::Wait::Limited) &&
        runner.Call(KVCM_PROCESS, &layout, sizeof(layout), KvcRunner::Wait::Limited);
    EXPECT_TRUE(ok) << runner.Failure();
    std::vector<std::uint32_t> out(in.size());
    std::memcpy(out.data(), runner.Shared() + bytes, bytes);
    return out;
}

int R(std::uint32_t p) {
    return (p >> 16) & 255;
}
int G(std::uint32_t p) {
    return (p >> 8) & 255;
}
int B(std::uint32_t p) {
    return p & 255;
}
std::uint32_t Rgb(double r, double g, double b) {
    auto c = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0)); };
    return c(r) << 16 | c(g) << 8 | c(b);
}

struct SampleCase {
    const char* File;
    std::function<void(ValueBlock&)> Values; // non-default values
    // The expected picture from the source (full area, no mask); null: a
    // property check instead.
    std::function<std::uint32_t(const std::vector<std::uint32_t>& src, int x, int y)> Expected;
    int Tolerance = 0; // per channel
};

template <typename T> void Put(ValueBlock& v, std::size_t at, T value) {
    std::memcpy(v.data() + at, &value, sizeof(T));
}

constexpr int kW = 37, kH = 23;

std::uint32_t At(const std::vector<std::uint32_t>& s, int x, int y) {
    return s[static_cast<std::size_t>(std::clamp(y, 0, kH - 1) * kW + std::clamp(x, 0, kW - 1))];
}

std::vector<SampleCase> Cases() {
    return {
        {"colour/Invert.kvc", [](ValueBlock&) {},
         [](auto& s, int x, int y) { return ~At(s, x, y) & 0xFFFFFF; }},
        {"colour/Greyscale.kvc", [](ValueBlock& v) { Put<std::int32_t>(v, 0, 2); },
         [](auto& s, int x, int y) {
             const std::uint32_t p = At(s, x, y);
             const double l = std::round(0.299 * R(p) + 0.587 * G(p) + 0.114 * B(p));
             return Rgb(l, l, l);
         },
         1},
        {"colour/Posterize.kvc", [](ValueBlock& v) { Put<std::int32_t>(v, 0, 3); },
         [](auto& s, int x, int y) {
             // Three levels: 0..85 -> 0, 86..170 -> 127, 171.. -> 255.
             auto q = [](int c) { return c < 86 ? 0 : c < 171 ? 127 : 255; };
             const std::uint32_t p = At(s, x, y);
             return Rgb(q(R(p)), q(G(p)), q(B(p)));
         }},
        {"colour/BrightnessContrast.kvc",
         [](ValueBlock& v) { Put<std::int32_t>(v, 0, 10), Put<std::int32_t>(v, 4, 50); },
         [](auto& s, int x, int y) {
             auto f = [](int c) { return std::trunc((c - 128) * 1.5) + 128 + 25; };
             const std::uint32_t p = At(s, x, y);
             return Rgb(f(R(p)), f(G(p)), f(B(p)));
         },
         1},
        {"colour/HueSaturation.kvc",
         [](ValueBlock& v) { Put<std::int32_t>(v, 0, 120), Put<double>(v, 4, 0.5); },
         [](auto& s, int x, int y) {
             const std::uint32_t p = At(s, x, y);
             const QColor c(R(p), G(p), B(p));
             float h, sat, val;
             c.getHsvF(&h, &sat, &val);
             const QColor t =
                 QColor::fromHsvF(h < 0 ? 0 : std::fmod(h + 1.0f / 3, 1.0f), sat * 0.5f, val);
             return Rgb(t.red(), t.green(), t.blue());
         },
         2},
        {"blur/GaussianBlur.kvc", [](ValueBlock& v) { Put<double>(v, 0, 1.5); },
         [](auto& s, int x, int y) {
             double acc[3] = {}, sum = 0;
             for (int dy = -5; dy <= 5; ++dy)
                 for (int dx = -5; dx <= 5; ++dx) {
                     const double w = std::exp(-(dx * dx + dy * dy) / (2 * 1.5 * 1.5));
                     const std::uint32_t p = At(s, x + dx, y + dy);
                     acc[0] += w * R(p), acc[1] += w * G(p), acc[2] += w * B(p);
                     sum += w;
                 }
             return Rgb(acc[0] / sum + 0.5, acc[1] / sum + 0.5, acc[2] / sum + 0.5);
         },
         1},
        {"blur/Emboss.kvc",
         [](ValueBlock& v) { Put<std::int32_t>(v, 0, 3), Put<std::int32_t>(v, 4, 1); },
         [](auto& s, int x, int y) {
             // Light from the top: the pixel below minus the pixel above.
             const std::uint32_t a = At(s, x, y - 1), b = At(s, x, y + 1);
             const int g = 128 + (R(b) - R(a) + G(b) - G(a) + B(b) - B(a)) / 3;
             return Rgb(g, g, g);
         }},
        {"combine/BlendImage.kvc",
         [](ValueBlock& v) { Put<std::int32_t>(v, 0, 1), Put<std::int32_t>(v, 4, 30); },
         [](auto& s, int x, int y) { return At(s, x, y); }},
        {"combine/AddBorder.kvc",
         [](ValueBlock& v) { Put<std::int32_t>(v, 0, 3), Put<std::uint32_t>(v, 4, 0x102030); },
         [](auto& s, int x, int y) {
             const bool edge = x < 3 || y < 3 || x >= kW - 3 || y >= kH - 3;
             return edge ? 0x102030u : At(s, x, y);
         }},
        {"distort/Swirl.kvc",
         [](ValueBlock& v) {
             Put<std::uint16_t>(v, 0, 0), Put<std::uint16_t>(v, 2, 0), Put<double>(v, 4, 0.0);
         },
         [](auto& s, int x, int y) { return At(s, x, y); }},
        {"noise/AddNoise.kvc",
         [](ValueBlock& v) { Put<std::int32_t>(v, 0, 6), Put<std::int32_t>(v, 4, 1); }, nullptr},
    };
}

TEST_F(Samples, MatchTheirReferencesAndKeepOutsideTheAreaAndMask) {
    std::mt19937 rng(11);
    std::vector<std::uint32_t> src(static_cast<std::size_t>(kW * kH));
    for (auto& p : src) p = rng() & 0xFFFFFF;
    for (const SampleCase& c : Cases()) {
        SCOPED_TRACE(c.File);
        ComponentRecord rec;
        KvcRunner runner;
        KvcRunner::Loaded loaded;
        ASSERT_TRUE(runner.Load(kSamples + c.File, loaded)) << runner.Failure();
        ASSERT_EQ(ParseDescription(loaded.Desc, rec.Desc), "");
        rec.File = kSamples + c.File;
        rec.Values = rec.Desc.Defaults;
        PackValues(rec.Desc, rec.Values, rec.Block);
        c.Values(rec.Block);
        const auto out = RunSample(rec.File, src, kW, kH, rec.Block, {0, 0, kW - 1, kH - 1}, false);
        int worst = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const std::uint32_t got = out[static_cast<std::size_t>(y * kW + x)];
                if (!c.Expected) {
                    // Mono noise: one offset for all channels, within +-6.
                    const std::uint32_t s = At(src, x, y);
                    const int d = R(got) - R(s);
                    if (R(s) > 6 && R(s) < 249 && G(s) > 6 && G(s) < 249 && B(s) > 6 &&
                        B(s) < 249) {
                        EXPECT_LE(std::abs(d), 6);
                        EXPECT_EQ(G(got) - G(s), d);
                        EXPECT_EQ(B(got) - B(s), d);
                    }
                    continue;
                }
                const std::uint32_t want = c.Expected(src, x, y);
                worst = std::max({worst, std::abs(R(got) - R(want)), std::abs(G(got) - G(want)),
                                  std::abs(B(got) - B(want))});
            }
        EXPECT_LE(worst, c.Tolerance);
        // The thumbnail seam gives the same picture.
        pixkit::Buffer in, thumb;
        in.Alloc({kW, kH});
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) *in.At(x, y) = At(src, x, y);
        std::string error;
        rec.Desc.Params = {}; // the block as set above goes as it is
        ASSERT_TRUE(RunComponentOnPicture(rec, in, thumb, error)) << error;
        EXPECT_EQ(*thumb.At(kW / 2, kH / 2), out[static_cast<std::size_t>(kH / 2 * kW + kW / 2)]);
        // An area and a mask: nothing outside them changes.
        std::vector<std::uint32_t> marked = src;
        for (std::size_t i = 0; i < marked.size(); i += 2) marked[i] |= 0x01000000;
        const pixkit::Rect area{5, 4, 20, 15};
        const auto part = RunSample(rec.File, marked, kW, kH, rec.Block, area, true);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const auto i = static_cast<std::size_t>(y * kW + x);
                const bool inside =
                    x >= area.Left && x <= area.Right && y >= area.Top && y <= area.Bottom;
                if (!inside || i % 2 != 0) {
                    ASSERT_EQ(part[i], marked[i]) << x << "," << y;
                }
            }
    }
}

} // namespace
