// Writing PNG files: a palette image (1, 2, 4 or 8 bits per index) when the
// image has at most 256 colours, else 8-bit RGB; with alpha only for a
// brush's transparent pixels (see png_format.h).
#include "png_format.h"

#include <algorithm>
#include <csetjmp>
#include <vector>

namespace pixkit {

namespace {

void WriteData(png_structp png, png_bytep data, png_size_t n) {
    auto* link = static_cast<PngStreamLink*>(png_get_io_ptr(png));
    try {
        link->Stream->WriteBuffer(data, std::int64_t(n));
        return;
    } catch (...) {
        link->Pending = std::current_exception();
    }
    png_error(png, "write failed");
}
void FlushNothing(png_structp) {}

// The colours of an image while there are at most 256: an open-addressing
// set of pixel values with their palette indices.
class ColourTable {
  public:
    static constexpr int kMax = 256;

    // Adds c; false once the image has more than kMax colours.
    bool Add(Pixel c) {
        std::size_t i = Slot(c);
        if (keys_[i] == c) return true;
        if (count_ == kMax) return false;
        keys_[i] = c;
        index_[i] = std::uint8_t(count_);
        colours_[std::size_t(count_++)] = c;
        return true;
    }
    std::uint8_t IndexOf(Pixel c) const { return index_[Slot(c)]; }
    int Count() const { return count_; }
    Pixel Colour(int i) const { return colours_[std::size_t(i)]; }

  private:
    static constexpr std::size_t kSlots = 1024; // a power of two, 4 x kMax
    std::size_t Slot(Pixel c) const {
        std::size_t i = (c * 2654435761u) >> 22;
        while (keys_[i] != c && keys_[i] != NoKey) i = (i + 1) & (kSlots - 1);
        return i;
    }
    std::vector<Pixel> keys_ = std::vector<Pixel>(kSlots, NoKey);
    std::vector<std::uint8_t> index_ = std::vector<std::uint8_t>(kSlots, 0);
    std::vector<Pixel> colours_ = std::vector<Pixel>(kMax, 0);
    int count_ = 0;
};

// The value a pixel is written as: its colour, or the marker itself when
// the marker means transparency.
inline Pixel Key(Pixel p, bool keepMarker) {
    return keepMarker && p == TransparentMarker ? p : p & 0xFFFFFF;
}

// Collects the image's colours; false when there are more than 256.
// hasMarker tells whether a transparent pixel was seen.
bool CollectColours(const Buffer& b, bool keepMarker, ColourTable& table, bool& hasMarker) {
    hasMarker = false;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y) {
        const Pixel* p = b.At(b.Area.Left, y);
        Pixel last = NoKey;
        for (const Pixel* end = p + b.Width(); p < end; ++p) {
            const Pixel k = Key(*p, keepMarker);
            if (k == last) continue;
            last = k;
            hasMarker |= k == TransparentMarker;
            if (!table.Add(k)) return false;
        }
    }
    return true;
}

bool HasMarker(const Buffer& b) {
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y) {
        const Pixel* p = b.At(b.Area.Left, y);
        if (std::find(p, p + b.Width(), TransparentMarker) != p + b.Width()) return true;
    }
    return false;
}

struct WriteJob {
    PngStreamLink Link;
    png_structp Png = nullptr;
    png_infop Info = nullptr;

    explicit WriteJob(TStream* s) : Link{s, nullptr} {
        Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngQuiet);
        if (Png != nullptr) Info = png_create_info_struct(Png);
    }
    ~WriteJob() { png_destroy_write_struct(&Png, &Info); }
    WriteJob(const WriteJob&) = delete;
    WriteJob& operator=(const WriteJob&) = delete;
};

// How the rows are stored.
struct Layout {
    int Width, Height;
    int ColourType; // PNG_COLOR_TYPE_PALETTE, _RGB or _RGB_ALPHA
    int Depth;      // bits per palette index; 8 otherwise
    png_color Palette[256];
    png_byte PaletteAlpha[256];
    int PaletteSize;
};

bool WriteHeader(WriteJob& job, const Layout& l) {
    if (setjmp(png_jmpbuf(job.Png))) return false;
    png_set_write_fn(job.Png, &job.Link, WriteData, FlushNothing);
    png_set_IHDR(job.Png, job.Info, png_uint_32(l.Width), png_uint_32(l.Height), l.Depth,
                 l.ColourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (l.ColourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(job.Png, job.Info, l.Palette, l.PaletteSize);
        if (l.PaletteAlpha[0] == 0) png_set_tRNS(job.Png, job.Info, l.PaletteAlpha, 1, nullptr);
    }
    png_write_info(job.Png, job.Info);
    if (l.ColourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_packing(job.Png);
    } else {
        png_set_bgr(job.Png);
        if (l.ColourType == PNG_COLOR_TYPE_RGB) png_set_filler(job.Png, 0, PNG_FILLER_AFTER);
    }
    return true;
}

bool WriteRow(WriteJob& job, png_const_bytep row) {
    if (setjmp(png_jmpbuf(job.Png))) return false;
    png_write_row(job.Png, row);
    return true;
}

bool WriteEnd(WriteJob& job) {
    if (setjmp(png_jmpbuf(job.Png))) return false;
    png_write_end(job.Png, nullptr);
    return true;
}

// Fills the palette; the transparent entry, when there is one, comes first
// so that the tRNS chunk needs one entry only.
void MakePalette(Layout& l, ColourTable& table, bool hasMarker) {
    ColourTable ordered;
    if (hasMarker) ordered.Add(TransparentMarker);
    for (int i = 0; i < table.Count(); ++i) ordered.Add(table.Colour(i));
    table = ordered;
    l.ColourType = PNG_COLOR_TYPE_PALETTE;
    l.PaletteSize = table.Count();
    l.Depth = l.PaletteSize <= 2 ? 1 : l.PaletteSize <= 4 ? 2 : l.PaletteSize <= 16 ? 4 : 8;
    for (int i = 0; i < l.PaletteSize; ++i) {
        const Pixel c = table.Colour(i) == TransparentMarker ? 0 : table.Colour(i);
        l.Palette[i] = {png_byte(c >> 16), png_byte(c >> 8), png_byte(c)};
        l.PaletteAlpha[i] = table.Colour(i) == TransparentMarker ? 0 : 255;
    }
}

// One row as the layout stores it, in scratch (unless the pixels can be
// written as they are, RGB with the top byte as filler).
png_const_bytep StoredRow(const Layout& l, const ColourTable& table, const Pixel* p,
                          bool keepMarker, std::vector<std::uint8_t>& scratch) {
    std::uint8_t* out = scratch.data();
    switch (l.ColourType) {
    case PNG_COLOR_TYPE_PALETTE: {
        Pixel last = NoKey;
        std::uint8_t index = 0;
        for (int x = 0; x < l.Width; ++x) {
            const Pixel k = Key(p[x], keepMarker);
            if (k != last) index = table.IndexOf(last = k);
            out[x] = index;
        }
        return out;
    }
    case PNG_COLOR_TYPE_RGB_ALPHA:
        for (int x = 0; x < l.Width; ++x) {
            const Pixel c = p[x] == TransparentMarker ? 0 : (p[x] & 0xFFFFFF) | 0xFF000000;
            out[4 * x] = std::uint8_t(c);
            out[4 * x + 1] = std::uint8_t(c >> 8);
            out[4 * x + 2] = std::uint8_t(c >> 16);
            out[4 * x + 3] = std::uint8_t(c >> 24);
        }
        return out;
    default:
        return reinterpret_cast<png_const_bytep>(p);
    }
}

} // namespace

void PngFormat::Save(Buffer& b, TStream* s, GFXtra32* x, Buffer*) {
    if (b.Empty()) throw EInvalidImage();
    const bool keepMarker = x != nullptr && x->Back == TransparentMarker;
    WriteJob job(s);
    if (job.Info == nullptr) throw EInvalidImage();
    Layout l{b.Width(), b.Height(), PNG_COLOR_TYPE_RGB, 8, {}, {}, 0};
    ColourTable table;
    bool hasMarker = false;
    if (CollectColours(b, keepMarker, table, hasMarker))
        MakePalette(l, table, hasMarker);
    else if (keepMarker && HasMarker(b))
        l.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    if (l.ColourType == PNG_COLOR_TYPE_RGB && WriteRgbPng(b, s)) return;
    std::vector<std::uint8_t> scratch(std::size_t(l.Width) * 4);
    bool ok = WriteHeader(job, l);
    for (int y = 0; ok && y < l.Height; ++y) {
        ok = WriteRow(job,
                      StoredRow(l, table, b.At(b.Area.Left, b.Area.Top + y), keepMarker, scratch));
        GFXFile::ReportRows(y + 1, l.Height);
    }
    ok = ok && WriteEnd(job);
    if (job.Link.Pending) std::rethrow_exception(job.Link.Pending);
    if (!ok) throw EInvalidImage();
}

} // namespace pixkit
