// Reading PNG files: the header for Test, then libpng decodes straight into
// the buffer's rows as 32-bit pixels (BGR plus alpha or a zero filler), and
// translucent pixels are resolved row by row.
#include "png_format.h"

#include "codecs/image_target.h"
#include "formats.h"

#include <csetjmp>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Deflate cannot compress better than this, so a file holding fewer
// compressed bytes than the raw image size over it cannot be whole.
constexpr std::int64_t kMaxDeflateRatio = 1032;

std::uint32_t BE32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

// The channels of a colour type with a bit depth it allows, else 0.
int Channels(int type, int depth) {
    switch (type) {
    case PNG_COLOR_TYPE_GRAY:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 ? 1 : 0;
    case PNG_COLOR_TYPE_PALETTE:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 ? 1 : 0;
    case PNG_COLOR_TYPE_RGB:
        return depth == 8 || depth == 16 ? 3 : 0;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return depth == 8 || depth == 16 ? 2 : 0;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return depth == 8 || depth == 16 ? 4 : 0;
    default:
        return 0;
    }
}

void ReadData(png_structp png, png_bytep out, png_size_t n) {
    auto* link = static_cast<PngStreamLink*>(png_get_io_ptr(png));
    try {
        link->Stream->ReadBuffer(out, std::int64_t(n));
        return;
    } catch (...) {
        link->Pending = std::current_exception();
    }
    png_error(png, "read failed");
}

struct ReadJob {
    PngStreamLink Link;
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    png_uint_32 W = 0, H = 0;
    std::int64_t StoredBytes = 0; // the raw (filtered) image data
    int Passes = 1;
    bool Alpha = false;

    explicit ReadJob(TStream* s) : Link{s, nullptr} {
        Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngQuiet);
        if (Png != nullptr) Info = png_create_info_struct(Png);
    }
    ~ReadJob() { png_destroy_read_struct(&Png, &Info, nullptr); }
    ReadJob(const ReadJob&) = delete;
    ReadJob& operator=(const ReadJob&) = delete;
};

// Reads the chunks before the image data and sets the transforms to
// 8-bit B, G, R and alpha (or a zero filler when the file has no alpha).
bool ReadHeader(ReadJob& job) {
    if (setjmp(png_jmpbuf(job.Png))) return false;
    png_set_read_fn(job.Png, &job.Link, ReadData);
    // Only IHDR, PLTE, tRNS and IDAT make the picture. libpng allocates a
    // text chunk's whole declared length before reading it (gigabytes for
    // a file of a few hundred bytes); skipped chunks are read past instead.
    png_set_keep_unknown_chunks(job.Png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#ifdef PNG_IGNORE_ADLER32
    // Every chunk's CRC already checks the compressed data; zlib's second
    // checksum over the inflated rows costs about a twentieth of a decode.
    png_set_option(job.Png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    png_read_info(job.Png, job.Info);
    job.W = png_get_image_width(job.Png, job.Info);
    job.H = png_get_image_height(job.Png, job.Info);
    const int type = png_get_color_type(job.Png, job.Info);
    const int depth = png_get_bit_depth(job.Png, job.Info);
    job.StoredBytes = (std::int64_t(png_get_rowbytes(job.Png, job.Info)) + 1) * job.H;
    job.Alpha =
        (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(job.Png, job.Info, PNG_INFO_tRNS);
    png_set_expand(job.Png);
    if (depth == 16) png_set_strip_16(job.Png);
    png_set_gray_to_rgb(job.Png);
    png_set_bgr(job.Png);
    if (!job.Alpha) png_set_filler(job.Png, 0, PNG_FILLER_AFTER);
    job.Passes = png_set_interlace_handling(job.Png);
    png_read_update_info(job.Png, job.Info);
    return png_get_rowbytes(job.Png, job.Info) == std::size_t(job.W) * 4;
}

bool ReadRow(ReadJob& job, png_bytep row) {
    if (setjmp(png_jmpbuf(job.Png))) return false;
    png_read_row(job.Png, row, nullptr);
    return true;
}

// All passes of an interlaced image; each pass adds its pixels to the rows.
bool ReadPasses(ReadJob& job, png_bytepp rows) {
    if (setjmp(png_jmpbuf(job.Png))) return false;
    for (int pass = 0; pass < job.Passes; ++pass) png_read_rows(job.Png, rows, nullptr, job.H);
    return true;
}

// Resolves the alpha in the top byte: composited over back, or, when back
// is the transparency marker, the marker below half opacity.
void ResolveAlpha(Pixel* p, std::int64_t n, Pixel back) {
    if (back == TransparentMarker) {
        for (Pixel* end = p + n; p < end; ++p) *p = (*p >> 24) < 128 ? back : *p & 0xFFFFFF;
        return;
    }
    back &= 0xFFFFFF;
    for (Pixel* end = p + n; p < end; ++p) {
        const Pixel a = *p >> 24;
        if (a == 255) {
            *p &= 0xFFFFFF;
        } else if (a == 0) {
            *p = back;
        } else {
            Pixel out = 0;
            for (int sh = 0; sh < 24; sh += 8) {
                const Pixel mix = ((*p >> sh) & 255) * a + ((back >> sh) & 255) * (255 - a) + 127;
                out |= (mix / 255) << sh;
            }
            *p = out;
        }
    }
}

// Decodes the rows of a non-interlaced image into b, which was empty on
// entry for own: rows then go straight into b's pixels, else through a
// scratch row clipped to b. False when libpng stopped with an error.
bool DecodeRows(ReadJob& job, Buffer& b, bool own, Pixel back) {
    const std::int64_t w = job.W, h = job.H;
    std::vector<Pixel> scratch(own ? 0 : std::size_t(w));
    ImageTarget target(b, own ? 0 : w, h); // a zero width: b is already clear
    const std::int64_t rows = own ? h : target.Rows();
    for (std::int64_t y = 0; y < rows; ++y) {
        Pixel* row = own ? b.At(0, int(y)) : scratch.data();
        if (!ReadRow(job, reinterpret_cast<png_bytep>(row))) return false;
        if (job.Alpha) ResolveAlpha(row, w, back);
        if (!own) target.Put(y, row);
        GFXFile::ReportRows(y + 1, h);
    }
    return true;
}

// An interlaced image needs all its rows at once: b's own pixels, or a
// scratch image clipped to b afterwards. Whatever the passes delivered is
// kept, also after an error.
bool DecodeInterlaced(ReadJob& job, Buffer& b, bool own, Pixel back) {
    const std::int64_t w = job.W, h = job.H;
    std::vector<Pixel> scratch(own ? 0 : std::size_t(w) * std::size_t(h));
    std::vector<png_bytep> rows(static_cast<std::size_t>(h));
    for (std::int64_t y = 0; y < h; ++y)
        rows[std::size_t(y)] = reinterpret_cast<png_bytep>(
            own ? b.At(0, int(y)) : scratch.data() + std::size_t(y) * std::size_t(w));
    const bool done = ReadPasses(job, rows.data());
    ImageTarget target(b, own ? 0 : w, h); // a zero width: b is already clear
    for (std::int64_t y = 0; y < h; ++y) {
        Pixel* row = reinterpret_cast<Pixel*>(rows[std::size_t(y)]);
        if (job.Alpha) ResolveAlpha(row, w, back);
        if (!own) target.Put(y, row);
        GFXFile::ReportRows(y + 1, h);
    }
    return done;
}

} // namespace

void PngFail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngQuiet(png_structp, png_const_charp) {}

std::int8_t PngFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        std::uint8_t h[29]; // signature, IHDR length and type, IHDR data
        s->ReadBuffer(h, 8);
        if (std::memcmp(h, kSignature, 8) != 0) return 0;
        s->ReadBuffer(h + 8, sizeof h - 8);
        const std::uint32_t w = BE32(h + 16), height = BE32(h + 20);
        const int depth = h[24], type = h[25];
        const int channels = Channels(type, depth);
        if (BE32(h + 8) != 13 || std::memcmp(h + 12, "IHDR", 4) != 0 || w == 0 || height == 0 ||
            w > PNG_USER_WIDTH_MAX || height > PNG_USER_HEIGHT_MAX || channels == 0 || h[26] != 0 ||
            h[27] != 0 || h[28] > 1)
            return -1;
        if (d != nullptr) {
            d->Width = std::int32_t(w);
            d->Height = std::int32_t(height);
            d->Color = (type & PNG_COLOR_MASK_COLOR) != 0;
            d->WithPal = type == PNG_COLOR_TYPE_PALETTE;
            d->BPP = std::uint8_t(channels * depth);
            d->BPCC = std::uint8_t(type == PNG_COLOR_TYPE_PALETTE ? 8 : depth);
        }
        return 1;
    });
}

void PngFormat::Load(Buffer& b, TStream* s, GFXtra32* x) {
    ReadJob job(s);
    if (job.Info == nullptr) throw EInvalidImage();
    if (!ReadHeader(job)) {
        if (job.Link.Pending) std::rethrow_exception(job.Link.Pending);
        throw EInvalidImage();
    }
    const bool own = b.Empty();
    AllocImage(b, job.W, job.H, s, job.StoredBytes / kMaxDeflateRatio);
    const Pixel back = x != nullptr ? x->Back : 0;
    const bool ok =
        job.Passes == 1 ? DecodeRows(job, b, own, back) : DecodeInterlaced(job, b, own, back);
    if (!ok) {
        if (job.Link.Pending) std::rethrow_exception(job.Link.Pending);
        throw EInvalidImage();
    }
}

std::unique_ptr<GFXFile> NewPngFormat() {
    return std::make_unique<PngFormat>();
}

} // namespace pixkit
