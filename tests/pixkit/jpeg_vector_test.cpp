// The JPEG codec's AVX2 loops against its portable ones, and both against
// the output the codec gave before it had hand-written vector code: each
// case's FNV-1a hash below was computed with the codec of main at
// 58dbf02 (decoded pixels, encoded bytes), so a faster transform,
// colour conversion or Huffman coder that rounds one value differently fails
// here even when both dispatch levels agree with each other.
#include "codecs/jpeg.h"
#include "jpeg_test_util.h"

#include <pixkit/vector_level.h>

#include <cstring>

using namespace jpegtest;

namespace {

std::uint64_t Fnv(const void* data, std::size_t n, std::uint64_t h = 14695981039346656037ull) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Every pixel of the buffer's whole block (outside a view too), row by row.
std::uint64_t Hash(const Buffer& b) {
    std::uint64_t h = 14695981039346656037ull;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y)
        h = Fnv(b.At(b.Area.Left, y), std::size_t(b.Width()) * sizeof(Pixel), h);
    return h;
}

std::uint64_t Hash(const std::vector<std::uint8_t>& bytes) {
    return Fnv(bytes.data(), bytes.size());
}

// Decodes bytes into a fresh buffer, or into a view (kept coordinates) of a
// larger grey block so clipping at odd offsets is covered; hashes the block.
std::uint64_t DecodeHash(const std::vector<std::uint8_t>& bytes, const Rect* view) {
    Buffer b;
    if (view == nullptr) {
        LoadJpegBytes(bytes, b);
        return Hash(b);
    }
    b.Alloc({view->Right + 9, view->Bottom + 7});
    for (int y = 0; y < b.Height(); ++y) std::fill_n(b.At(0, y), b.Width(), Pixel(0x808080));
    Buffer v(b, *view, true);
    TFixedMemoryStream s(bytes.data(), bytes.size());
    Jpeg()->Load(v, &s, nullptr);
    return Hash(b);
}

struct DecodeCase {
    const char* File; // under the corpus's jpeg folder
    bool InView;
    std::uint64_t Expected;
};

struct EncodeCase {
    int W, H;
    unsigned Seed;
    bool FromView;                // the picture is a view into a larger block
    std::uint64_t Bytes, Decoded; // hashes of the file and of its decode
};

const Rect kView{5, 3, 170, 120};

// Runs fn once with the portable loops and once with the best the processor
// runs; both must give the same hash, the one of the scalar codec.
template <typename Fn> void ExpectSameAtEveryLevel(std::uint64_t expected, Fn fn) {
    for (const VectorLevel level : {VectorLevel::Portable, VectorLevel::Avx2}) {
        LimitVectorLevel(level);
        EXPECT_EQ(fn(), expected) << "vector level " << int(ActiveVectorLevel());
    }
    LimitVectorLevel(VectorLevel::Avx2);
}

} // namespace

// Decoding: 4:2:0, 4:2:2, 4:4:4, grey, the odd 2x2/2x1/1x2 sampling,
// restart intervals, progressive, and clipped into views. Encoding: odd
// sizes (partial blocks), a single pixel, a view with an odd pitch; the
// written files decoded again.
TEST(JpegVector, EveryLevelGivesTheScalarCodecsOutput) {
    const fs::path corpus = fs::path(VM_CORPUS_DIR) / "jpeg";
    if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    const DecodeCase decodes[] = {
        {"baseline-420/pillow_flower.jpg", false, 0x1dcb9cf641407702ull},
        {"baseline-420/pillow_flower.jpg", true, 0x4695be8025a0f0a1ull},
        {"baseline-422/pillow_iptc.jpg", true, 0xc564ae5215ebde8aull},
        {"baseline-444/jpegdec-icc_icc_chunk_count_mismatch.jpeg", false, 0x4d25767f9dce13f5ull},
        {"greyscale/pillow_hopper_gray.jpg", true, 0xc6903e86d2ce49cbull},
        {"baseline-other-sampling/jpegsuite-baseline_32x32x8_ycbcr_2x2_2x1_1x2_interleaved.jpg",
         false, 0x5c76ec1507a22c18ull},
        {"restart-markers/pillow_flower2.jpg", false, 0x6b515a3ddb8fd59full},
        {"progressive/image-rs_cat.jpg", false, 0x81dae5d49705c647ull},
        {"progressive/serenity_successive_approximation.jpg", true, 0x1f1f2e53f17718aaull},
    };
    for (const DecodeCase& c : decodes) {
        SCOPED_TRACE(c.File);
        const std::vector<std::uint8_t> bytes = ReadBytes(corpus / c.File);
        ASSERT_FALSE(bytes.empty());
        ExpectSameAtEveryLevel(c.Expected,
                               [&] { return DecodeHash(bytes, c.InView ? &kView : nullptr); });
    }
    const EncodeCase encodes[] = {
        {203, 141, 1, false, 0xd3180e0fe7f6393full, 0xe059c2af483eaf40ull},
        {37, 29, 2, true, 0x4ed68d0823d44378ull, 0xe3b013d1ba38798full},
        {1, 1, 3, false, 0x002ac8f931f50e53ull, 0x4dd6c174d71c4827ull},
        {640, 48, 4, false, 0x1d03f3614e225d6full, 0x9514cedf3de1c51cull},
    };
    for (const EncodeCase& c : encodes) {
        SCOPED_TRACE(testing::Message() << c.W << "x" << c.H);
        Buffer block, picture;
        MakePicture(block, c.W + 11, c.H + 4, c.Seed);
        if (c.FromView)
            picture.Alloc(block, Rect{7, 2, 7 + c.W - 1, 2 + c.H - 1}, false);
        else
            MakePicture(picture, c.W, c.H, c.Seed);
        std::vector<std::uint8_t> file;
        ExpectSameAtEveryLevel(c.Bytes, [&] {
            file = SaveJpegBytes(picture);
            return Hash(file);
        });
        ExpectSameAtEveryLevel(c.Decoded, [&] { return DecodeHash(file, nullptr); });
    }
}

// The transforms on blocks no valid file holds: random coefficients up to
// the clamping bound, sparse and dense, the extremes included, where the
// vector code's regrouped sums must wrap and clamp exactly as the portable
// ones do.
TEST(JpegVector, TransformsAgreeOnExtremeBlocks) {
    std::uint32_t state = 99;
    auto next = [&] { return state = state * 1664525u + 1013904223u; };
    for (int round = 0; round < 4000; ++round) {
        alignas(32) std::int32_t coef[64];
        const int kind = round % 4;
        for (std::int32_t& c : coef) {
            const std::uint32_t r = next();
            c = kind == 0   ? ((r >> 8) & 1 ? 2048 : -2048)
                : kind == 1 ? int(r >> 20) % 4097 - 2048
                : kind == 2 ? ((r >> 28) == 0 ? int(r >> 16) % 4097 - 2048 : 0)
                            : int(r >> 24) - 128;
        }
        std::uint8_t out[2][8 * 11];
        for (const VectorLevel level : {VectorLevel::Portable, VectorLevel::Avx2}) {
            LimitVectorLevel(level);
            jpeg::InverseDCT(coef, out[int(level)], 11);
        }
        LimitVectorLevel(VectorLevel::Avx2);
        for (int r = 0; r < 8; ++r)
            ASSERT_EQ(std::memcmp(out[0] + 11 * r, out[1] + 11 * r, 8), 0)
                << "round " << round << " row " << r;
    }
}
