// PNG entries of icon files, decoded by libpng. libpng reports errors by
// longjmp, so the decoding runs in a function that owns no C++ objects
// created after its setjmp; errors become EInvalidImage outside it.
#include "ico.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

// The most pixels we decode from a PNG inside an icon or a metafile bitmap:
// its RGBA rows and the image together stay at 128 MiB, whatever the
// header claims.
constexpr std::int64_t kMaxPngPixels = kLargeImagePixels;

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct MemoryReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (n > r->size - r->pos) png_error(png, "PNG data ends early");
    std::memcpy(out, r->data + r->pos, n);
    r->pos += n;
}

// Errors end the decoding quietly (back to the setjmp); warnings are dropped.
[[noreturn]] void Fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void Silent(png_structp, png_const_charp) {}

// Decodes to RGBA rows in rgba (resized by the caller to w * h * 4 once the
// header is read, through the callback). Returns false on any libpng error.
struct PngJob {
    MemoryReader reader;
    std::vector<std::uint8_t>* rgba;
    std::vector<png_bytep>* rows;
    png_uint_32 w = 0;
    png_uint_32 h = 0;
};

bool PrepareRows(PngJob& job) {
    if (job.w == 0 || job.h == 0 || job.w > kMaxIconSide || job.h > kMaxIconSide ||
        std::int64_t(job.w) * job.h > kMaxPngPixels)
        return false;
    job.rgba->assign(std::size_t(job.w) * job.h * 4, 0);
    job.rows->resize(job.h);
    for (png_uint_32 y = 0; y < job.h; ++y)
        (*job.rows)[y] = job.rgba->data() + std::size_t(y) * job.w * 4;
    return true;
}

bool RunLibpng(PngJob& job) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Silent);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    volatile bool ok = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_user_limits(png, kMaxIconSide, kMaxIconSide);
        png_set_chunk_malloc_max(png, 1 << 24);
        // Only the critical chunks and tRNS make the picture; others (text
        // chunks are allocated at their declared length) are skipped.
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
        png_set_read_fn(png, &job.reader, ReadFromMemory);
        png_read_info(png, info);
        job.w = png_get_image_width(png, info);
        job.h = png_get_image_height(png, info);
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) == std::size_t(job.w) * 4 && PrepareRows(job)) {
            png_read_image(png, job.rows->data());
            ok = true;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return ok;
}

} // namespace

bool PngSize(const std::uint8_t* data, std::size_t n, std::int64_t& w, std::int64_t& h) {
    if (n < 24 || std::memcmp(data, kSignature, 8) != 0) return false;
    w = (std::int64_t(data[16]) << 24) | (data[17] << 16) | (data[18] << 8) | data[19];
    h = (std::int64_t(data[20]) << 24) | (data[21] << 16) | (data[22] << 8) | data[23];
    return true;
}

void PngIconToBuffer(Buffer& b, const std::uint8_t* data, std::size_t n) {
    std::vector<std::uint8_t> rgba;
    std::vector<png_bytep> rows;
    PngJob job{{data, n, 0}, &rgba, &rows};
    if (!RunLibpng(job)) throw EInvalidImage();
    AllocImage(b, job.w, job.h);
    const int right = std::min<std::int64_t>(b.Area.Right, std::int64_t(job.w) - 1);
    const int bottom = std::min<std::int64_t>(b.Area.Bottom, std::int64_t(job.h) - 1);
    const int left = std::max(b.Area.Left, 0);
    for (int y = std::max(b.Area.Top, 0); y <= bottom; ++y) {
        const std::uint8_t* p = rows[std::size_t(y)] + std::size_t(left) * 4;
        Pixel* q = b.At(left, y);
        for (int x = left; x <= right; ++x, p += 4)
            *q++ = p[3] == 0 ? 0 : (Pixel(p[0]) << 16) | (Pixel(p[1]) << 8) | p[2];
        GFXFile::ReportRows(y, job.h);
    }
}

} // namespace pixkit
