// The Filter Factory's formula language (one table of texts and the values
// they give, worked out by hand), its filter step over a small image, and
// its source files.
#include "effects/afsfile.h"
#include "effects/ffcompile.h"
#include "effects/ffilter.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using namespace kv::ff;

constexpr int kW = 4, kH = 3;
constexpr std::int32_t kError = INT_MIN + 1; // marks a row that must not compile

// Pixel (x, y) of the test image: red 10x + y, green 100 + x, blue 200 + y,
// and a top byte that no result may keep.
std::uint32_t TestPixel(int x, int y) {
    return 0x01000000u | std::uint32_t(10 * x + y) << 16 | std::uint32_t(100 + x) << 8 |
           std::uint32_t(200 + y);
}

std::vector<std::uint32_t> TestImage(int w = kW, int h = kH) {
    std::vector<std::uint32_t> image;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.push_back(TestPixel(x, y));
    return image;
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(FilterFactoryLanguage, TableOfTextsAndValues) {
    const std::vector<std::uint32_t> image = TestImage();
    Env env;
    env.Source = image.data(), env.Stride = kW, env.W = kW, env.H = kH, env.MaxM = 9;
    env.x = 1, env.y = 2, env.r = 10, env.g = 20, env.b = 30;
    env.Ctl = {200, 100, 7, 0, 0, 0, 255, 128};
    const struct {
        std::string Text;
        std::int32_t Value; // kError: a syntax error at ErrorPos
        int Channel = 0;
        int ErrorPos = 0;
    } rows[] = {
        // Names, and what c and z stand for per channel.
        {"r", 10},
        {"g+b", 50},
        {"c", 20, 1},
        {"z", 2, 2},
        {"a", 0},
        {"x*10+y", 12},
        {"X*10+Y", 43},
        {"Z", 3},
        {"D", 1024},
        {"M", 9},
        {"dmin", 0},
        {"mmin", 0},
        {"mminimum", 0}, // only four characters are looked up
        {"mminx", 0},
        {"sqrt(r)", kError, 0, 0},
        {"cnv(1,2,3,4,5,6,7,8,9,10)", kError, 0, 0},
        {"=", kError, 0, 0},
        {"r=1", kError, 0, 1},
        {"q", kError, 0, 0},
        // Numbers wrap to 32 bits.
        {"4294967296", 0},
        {"0xFFFFFFFF+1", 0},
        {"0x7fffffff+1", INT_MIN},
        {"0X1f", 31},
        {"0x", kError, 0, 1}, // 0 and then the name x
        // Precedence, association and the operators.
        {"1+2*3", 7},
        {"5-3-1", 1},
        {"1<<2+1", 8},
        {"1|2^3&4", 3},
        {"3<5==1", 1},
        {"-1>>1", INT_MAX}, // unary minus binds tighter, >> fills with 0
        {"-1>>28", 15},
        {"!0+1", 2},
        {"!!5", 1},
        {"~0&5", 5},
        {"1!=2", 1},
        {"-1<0", 1},
        {"2>=2", 1},
        {"1<<33", 2},
        {"2&&1", 0},
        {"2||0", 1},
        {"x/0", 0},
        {"-7/2", -3},
        {"-7%3", -1},
        {"7%-3", 1},
        {"7%0", 0},
        {"(-2147483647-1)/-1", INT_MIN},
        {"(-2147483647-1)%-1", 0},
        {"2147483647*2", -2},
        // Conditionals nest to the right; commas in parentheses, true
        // branches and at top level, but they separate function arguments.
        {"0?1:0?2:3", 3},
        {"0?1:1?2:3", 2},
        {"1?1:0?2:3", 1},
        {"1,2", 2},
        {"(1,2)+1", 3},
        {"1?2,3:4", 3},
        {"0?2:3,4", 4},
        {"min((5,1),2)", 1},
        {"min(1,2)", 1},
        {"min(1)", kError, 0, 5},
        {"min(1,2,3)", kError, 0, 7},
        {"abs 1", kError, 0, 4},
        {"r(1)", kError, 0, 1},
        {"1 2", kError, 0, 2},
        {"(1", kError, 0, 2},
        {"", kError, 0, 0},
        {")", kError, 0, 0},
        {"1?2", kError, 0, 3},
        // The functions at chosen points.
        {"abs(-5)", 5},
        {"abs(-2147483647-1)", INT_MIN},
        {"add(200,100,255)", 255},
        {"add(1,2,255)", 3},
        {"sub(10,20,0)", 0},
        {"sub(30,20,0)", 10},
        {"dif(3,10)", 7},
        {"max(-3,2)", 2},
        {"ctl(2)+ctl(10)", 14},
        {"val(0,0,255)", 200},
        {"val(1,10,20)", 14},
        {"map(150,0)", 127},
        {"map(100,0)", 0},
        {"map(250,0)", 255},
        {"map(130,3)", 4}, // lo ctl(7) 128, hi ctl(6) 255: 2 * 255 / 127
        {"map(5,1)", 182}, // lo ctl(3) 0, hi ctl(2) 7: 5 * 255 / 7
        {"map(1,2)", 255}, // lo = hi = 0
        {"mix(10,2,3,4)", 8},
        {"mix(10,2,3,0)", 24},
        {"mix(-2147483647,0,1,-1)", INT_MIN},
        {"scl(5,0,10,0,100)", 50},
        {"scl(1,2,2,3,10)", 7},
        {"scl(-2147483647,0,-1,0,1)", INT_MIN},
        {"sqr(2)+sqr(3)*10+sqr(12)*100", 321},
        {"sqr(2147483647)", 46341},
        {"sqr(-4)", 0},
        {"put(42,1025)+get(1)", 84},
        {"src(5,1,0)", 31},
        {"src(-1,9,2)", 202},
        {"src(2,0,1)", 102},
        {"src(2,0,3)", 0},
        {"src(2,0,4)", 20},
        {"rad(0,0,0)", 21},
        {"rad(0,256,0)", 31},
        {"rad(256,-256,2)", 200},
        {"sin(0)", 0},
        {"sin(256)", 512},
        {"sin(-256)", -512},
        {"sin(1280)", 512},
        {"sin(128)", 362},
        {"cos(0)", 512},
        {"cos(512)", -512},
        {"tan(0)", 0},
        {"tan(128)", 1024},
        {"tan(256)", INT_MAX},
        {"r2x(0,100)", 100},
        {"r2x(512,100)", -100},
        {"r2y(128,100)", 71},
        {"c2d(0,5)", 256},
        {"c2d(0,-5)", -256},
        {"c2d(0,0)", 0},
        {"c2d(-1,0)", 512},
        {"c2d(1,1)", 128},
        {"c2d(3,4)", 151},
        {"c2m(3,4)", 5},
        {"c2m(1,2)", 2},
        {"c2m(-46341,0)", 46341},
        // The operator stack and the open conditionals hold 128 each.
        {Repeat("-", 128) + "r", 10},
        {Repeat("-", 129) + "r", kError, 0, 128},
        {Repeat("0?0:", 128) + "r", 10},
        {Repeat("0?0:", 129) + "r", kError, 0, 513},
        {Repeat("1?", 128) + "r" + Repeat(":0", 128), 10},
        {Repeat("(", 511) + "r" + Repeat(")", 511), 10},
        {Repeat("(", 1023), kError, 0, 1023},
        // Texts of 1023 characters compile; a longer one is an error at
        // 1023, never cut into another formula.
        {"r" + std::string(1022, ' '), 10},
        {"r" + std::string(1023, ' '), kError, 0, 1023},
        {Repeat("1", 1023) + "*0", kError, 0, 1023},
    };
    for (const auto& row : rows) {
        const Compiled c = Compile(row.Text, row.Channel);
        const std::string shown = row.Text.substr(0, 40);
        if (row.Value == kError) {
            EXPECT_FALSE(c.Ok) << shown;
            EXPECT_EQ(c.ErrorPos, row.ErrorPos) << shown;
            EXPECT_EQ(Evaluate(c.Code, env), 0) << "a failed channel gives 0: " << shown;
            continue;
        }
        ASSERT_TRUE(c.Ok) << shown << " fails at " << c.ErrorPos;
        EXPECT_EQ(Evaluate(c.Code, env), row.Value) << shown;
    }
}

TEST(FilterFactoryLanguage, RandomSizeLimitAndUsage) {
    // rnd: the generator's first three values from seed 0.
    RandomSeed() = 0;
    const Compiled rnd = Compile("rnd(0,99)", 0);
    Env env;
    EXPECT_EQ(Evaluate(rnd.Code, env), 0);
    EXPECT_EQ(Evaluate(rnd.Code, env), 65);
    EXPECT_EQ(Evaluate(rnd.Code, env), 30);
    EXPECT_EQ(RandomSeed(), 2802067423u);

    // 3 + 5 * 2 (~) + 4 (r) + 4 (r) + 7 (*) + 338 * 12 (+1) + 9 (+a) + 3.
    const Compiled full = Compile("~~~~~r*r" + Repeat("+1", 338) + "+a", 0);
    EXPECT_TRUE(full.Ok);
    EXPECT_EQ(full.Code.Bytes, 4096);
    // 3 + 4 * 2 + 4 + 4 + 7 + 339 * 12 + 3 = 4097.
    EXPECT_FALSE(Compile("~~~~r*r" + Repeat("+1", 339), 0).Ok);

    EXPECT_EQ(Compile("c", 2).Code.Uses, kUsesB);
    EXPECT_EQ(Compile("r+i*u-v,d?m:g", 1).Code.Uses,
              kUsesR | kUsesG | kUsesI | kUsesU | kUsesV | kUsesD | kUsesM);
    EXPECT_EQ(Compile("src(x,y,z)+X+M", 0).Code.Uses, 0u);
}

std::vector<std::uint32_t> FilterAll(const std::string& red, const std::string& green,
                                     const std::string& blue,
                                     const std::vector<std::uint32_t>& source, int w, int h) {
    const Channels programs{Compile(red, 0).Code, Compile(green, 1).Code, Compile(blue, 2).Code};
    std::vector<std::uint32_t> out(source.size(), 0xFFFFFFFF);
    Filter(programs, Sliders{}, source.data(), w, w, h, {out.data(), w});
    return out;
}

std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r << 16 | g << 8 | b;
}

TEST(FilterFactoryStep, ChannelsClampEdgesInputsAndCells) {
    const std::vector<std::uint32_t> image = TestImage();
    auto at = [](const std::vector<std::uint32_t>& v, int x, int y) { return v[y * kW + x]; };

    // Every channel reads the unchanged source; the top byte is cleared.
    std::vector<std::uint32_t> out = FilterAll("c", "255-c", "(r+g+b)/3", image, kW, kH);
    EXPECT_EQ(at(out, 1, 2), Rgb(12, 154, 105));
    EXPECT_EQ(at(out, 0, 0), Rgb(0, 155, 100));

    // src at the right edge reads the edge pixel.
    out = FilterAll("src(x+1,y,z)", "src(x+1,y,z)", "src(x,y+1,z)", image, kW, kH);
    EXPECT_EQ(at(out, 3, 1), Rgb(31, 103, 202));
    EXPECT_EQ(at(out, 2, 2), Rgb(32, 103, 202));

    // Results outside 0..255 are clamped.
    out = FilterAll("r-100", "g*3", "-1", image, kW, kH);
    EXPECT_EQ(at(out, 2, 2), Rgb(0, 255, 0));

    // Cells start at 0 for every run, are shared by the channels and seen
    // in row order.
    for (int run = 0; run < 2; ++run) {
        out = FilterAll("put(get(0)+1,0)", "get(0)*2", "get(1)", image, kW, kH);
        EXPECT_EQ(at(out, 0, 0), Rgb(1, 2, 0)) << run;
        EXPECT_EQ(at(out, 1, 2), Rgb(10, 20, 0)) << run;
    }

    // i, u and v of (200, 100, 50): 31650 >> 8, -4700 >> 8, 8450 >> 8.
    const std::vector<std::uint32_t> one{Rgb(200, 100, 50)};
    EXPECT_EQ(FilterAll("i", "u+128", "v+128", one, 1, 1)[0], Rgb(123, 109, 161));

    // d and m on an 8 x 6 image: at (0, 0) the centre is (-8, -6) away in
    // doubled units, atan2 -2.4981 * 162.97466 = -407.1 and m = 10 >> 1;
    // at (7, 5) it is (6, 4): 0.5880 rad gives 95.8, m = round(7.21) >> 1.
    const std::vector<std::uint32_t> big = TestImage(8, 6);
    out = FilterAll("d&255", "d>>8&255", "m*10+M", big, 8, 6);
    EXPECT_EQ(out[0], Rgb(0x69, 0xFE, 55)) << "d = -407 = 0xFFFFFE69";
    EXPECT_EQ(out[5 * 8 + 7], Rgb(96, 0, 35));
}

// A definition with every field set.
Definition Sample() {
    Definition d;
    d.Expressions = {"r+ctl(0)", "255 - g", "(b)", "a"};
    d.Sliders = {0, 1, 2, 3, 40, 50, 128, 255};
    d.Captions = {"Size", "", "Mode: fast", "d", "e", "f", "g", "Last"};
    d.Category = "Tests", d.Title = "Sample", d.Author = "Someone", d.Copyright = "(c) 2026";
    return d;
}

TEST(FilterFactoryFiles, RoundTripLineEndsAndRefusals) {
    const Definition d = Sample();
    const std::string text = EncodeAfs(d);
    EXPECT_EQ(text, "%RGB-1.0\r\n0\r\n1\r\n2\r\n3\r\n40\r\n50\r\n128\r\n255\r\n"
                    "r+ctl(0)\r\n\r\n255 - g\r\n\r\n(b)\r\n\r\na\r\n\r\n"
                    "Tests\r\n\r\nSample\r\n\r\nSomeone\r\n\r\n(c) 2026\r\n\r\n"
                    "1: Size\r\n\r\n2: \r\n\r\n3: Mode: fast\r\n\r\n4: d\r\n\r\n5: e\r\n\r\n"
                    "6: f\r\n\r\n7: g\r\n\r\n8: Last\r\n\r\n");
    auto with = [&text](const char* ending) {
        std::string t;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "\r\n") == 0)
                t += ending, ++i;
            else
                t += text[i];
        }
        return t;
    };
    for (const char* ending : {"\r\n", "\n", "\r"}) EXPECT_EQ(DecodeAfs(with(ending)), d) << ending;

    // Lines of a multi-line expression are joined; empty ones are left out
    // so that they cannot end the block; an empty expression stays empty.
    Definition multi = d;
    multi.Expressions = {"r\n\n+\r\ng", "", "b", ""};
    const std::optional<Definition> joined = DecodeAfs(EncodeAfs(multi));
    ASSERT_TRUE(joined);
    EXPECT_EQ(joined->Expressions, (std::array<std::string, 4>{"r + g", "", "b", ""}));
    EXPECT_EQ(joined->Title, d.Title);

    // A file that ends early: the missing captions are empty.
    const std::string cut = text.substr(0, text.find("4: d"));
    const std::optional<Definition> shortened = DecodeAfs(cut);
    ASSERT_TRUE(shortened);
    EXPECT_EQ(shortened->Captions[2], "Mode: fast");
    EXPECT_EQ(shortened->Captions[3], "");

    // Refused as a whole.
    auto replaced = [&text](const std::string& from, const std::string& to) {
        std::string t = text;
        return t.replace(t.find(from), from.size(), to);
    };
    for (const std::string& bad :
         {replaced("255\r\nr+", "255 \r\nr+"), replaced("%RGB-1.0", "%RGB-1.1"),
          replaced("3: Mode: fast", "3 Mode fast"), replaced("\r\n2: ", "\r\n2 "),
          replaced("\r\n40\r\n", "\r\n4x\r\n"), replaced("\r\n40\r\n", "\r\n\r\n"),
          std::string("%RGB-1.0\r\n1\r\n2\r\n"), std::string(2 << 20, 'r'), std::string()})
        EXPECT_FALSE(DecodeAfs(bad)) << bad.substr(0, 40);

    // Huge lines are split at 1023 characters: a 2 MB expression is read
    // back whole and then fails to compile at 1023.
    Definition huge = d;
    huge.Expressions[0] = std::string(2 << 20, 'r');
    const std::optional<Definition> back = DecodeAfs(EncodeAfs(huge));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Expressions[0].size(), std::size_t(2 << 20));
    EXPECT_EQ(back->Title, "Sample");
    const Compiled c = Compile(back->Expressions[0], 0);
    EXPECT_FALSE(c.Ok);
    EXPECT_EQ(c.ErrorPos, kMaxText);
}

TEST(FilterFactoryFiles, ReadAndWriteFiles) {
    const std::string dir = ::testing::TempDir();
    const std::string path = dir + "/ffact_sample.afs";
    ASSERT_TRUE(WriteAfsFile(path, Sample()));
    Definition read;
    EXPECT_EQ(ReadAfsFile(path, read), AfsError::None);
    EXPECT_EQ(read, Sample());

    // Nothing changes on a file that cannot be read or is not valid.
    const Definition before = read;
    EXPECT_EQ(ReadAfsFile(dir + "/ffact_missing.afs", read), AfsError::CantOpen);
    EXPECT_EQ(ReadAfsFile(dir, read), AfsError::CantOpen);
    ASSERT_TRUE(WriteAfsFile(path, Definition{}));
    {
        std::FILE* f = std::fopen(path.c_str(), "ab");
        std::fputs("no caption colon\r\n", f);
        std::fclose(f);
    }
    EXPECT_EQ(ReadAfsFile(path, read), AfsError::None) << "text after the last field is ignored";
    const std::string bad = dir + "/ffact_bad.afs";
    std::FILE* f = std::fopen(bad.c_str(), "wb");
    std::fputs("%RGB-1.0\n1\n2\n3\n4\n5\n6\n7\n8\nr\n\ng\n\nb\n\n\nCat\n\nT\n\nA\n\nC\n\nnone\n",
               f);
    std::fclose(f);
    read = before;
    EXPECT_EQ(ReadAfsFile(bad, read), AfsError::NotValid);
    EXPECT_EQ(read, before);
    EXPECT_FALSE(WriteAfsFile(dir + "/ffact_missing_dir/x.afs", Sample()));
    std::remove(path.c_str());
    std::remove(bad.c_str());
}

} // namespace
