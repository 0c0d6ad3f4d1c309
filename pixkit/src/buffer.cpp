// Buffer ownership, allocation, views and the whole-buffer operations.
#include <pixkit/buffer.h>

#include "buffer_alloc.h"
#include "huge_pages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace pixkit {

namespace {

// The library allocator. Both deliverables free pixel memory only through
// Buffer::Free, so a block always returns to the allocator that gave it.
void* LibAlloc(std::size_t bytes) {
    return std::malloc(bytes);
}
// Zeroed memory: large blocks come straight from the kernel, already zero,
// so clearing costs nothing where it matters.
void* LibAllocCleared(std::size_t bytes) {
    return std::calloc(bytes, 1);
}
void LibFree(void* p) {
    std::free(p);
}

void AllocFrom(Buffer& b, Pair<int> size, void* (*allocate)(std::size_t)) {
    b.Free();
    if (size.x < 1 || size.y < 1) return;
    // 4 bytes a pixel plus 16 spare bytes for the alignment step. Sizes
    // beyond any machine's memory are refused before asking the allocator.
    const std::size_t pixels = static_cast<std::size_t>(size.x) * static_cast<std::size_t>(size.y);
    if (pixels > (kMaxBufferBytes - 16) / 4) return;
    void* block = allocate(pixels * 4 + 16);
    if (block == nullptr) return;
    // A block of tens of megabytes is touched page by page right after;
    // huge pages make that a few dozen faults instead of thousands.
    AdviseHugePages(block, pixels * 4 + 16);
    if ((reinterpret_cast<std::uintptr_t>(block) & 7) == 4) {
        b.Data = reinterpret_cast<Pixel*>(static_cast<char*>(block) + 4);
        b.Owned = -1;
    } else {
        b.Data = static_cast<Pixel*>(block);
        b.Owned = 0;
    }
    b.Pitch = size.x;
    b.Area = Rect{0, 0, size.x - 1, size.y - 1};
}

// Walks every row of a buffer's Area and calls fn(row, width).
template <typename Fn> void ForEachRow(const Buffer& b, Fn fn) {
    if (b.Empty()) return;
    const int w = b.Width();
    Pixel* row = b.Data;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y, row += b.Pitch) fn(row, w);
}

} // namespace

Buffer::Buffer(Buffer& src) {
    *this = src;
}

Buffer::Buffer(Buffer& src, Rect r, bool keep) {
    Owned = 1;
    Alloc(src, r, keep);
}

Buffer::~Buffer() {
    Free();
}

Buffer& Buffer::operator=(Buffer& src) {
    if (&src == this) return *this;
    Free();
    Data = src.Data;
    Pitch = src.Pitch;
    Area = src.Area;
    Owned = src.Owned;
    src.Owned = 1;
    return *this;
}

void Buffer::MakeEmpty() {
    Data = nullptr;
    Pitch = 0;
    Area = Rect{0, 0, -1, -1};
    Owned = 0;
}

void Buffer::Free() {
    if (Data != nullptr) {
        if (Owned == 0)
            LibFree(Data);
        else if (Owned == -1)
            LibFree(reinterpret_cast<char*>(Data) - 4);
    }
    MakeEmpty();
}

void Buffer::Alloc(Pair<int> size) {
    AllocFrom(*this, size, LibAlloc);
}

void AllocCleared(Buffer& b, Pair<int> size) {
    AllocFrom(b, size, LibAllocCleared);
}

void Buffer::Alloc(Pair<int> size, Pixel* mem) {
    Free();
    if (mem == nullptr || size.x < 1 || size.y < 1) return;
    Data = mem;
    Owned = 1;
    Pitch = size.x;
    Area = Rect{0, 0, size.x - 1, size.y - 1};
}

void Buffer::Alloc(Buffer& src, Rect r, bool keep) {
    // Free first: a buffer asked for a view of itself ends up empty.
    Free();
    const Rect sa = src.Area;
    const bool whole = r.Left == WholeArea;
    if (whole) r = sa;
    const Rect c{std::max(r.Left, sa.Left), std::max(r.Top, sa.Top), std::min(r.Right, sa.Right),
                 std::min(r.Bottom, sa.Bottom)};
    if (src.Data == nullptr || c.Empty()) return;
    Owned = 1;
    Pitch = src.Pitch;
    Data = src.At(c.Left, c.Top);
    if (keep) {
        Area = c;
        return;
    }
    // The requested corner becomes the origin, so a clipped part keeps its
    // offset from that corner; the whole-area marker uses the clipped corner.
    const std::int64_t dx = r.Left;
    const std::int64_t dy = r.Top;
    if (c.Right - dx > INT32_MAX || c.Bottom - dy > INT32_MAX) {
        // The moved coordinates would not fit: no such view can be addressed.
        MakeEmpty();
        return;
    }
    Area = Rect{static_cast<std::int32_t>(c.Left - dx), static_cast<std::int32_t>(c.Top - dy),
                static_cast<std::int32_t>(c.Right - dx), static_cast<std::int32_t>(c.Bottom - dy)};
}

void Buffer::ChColor(Pixel from, Pixel to) {
    ForEachRow(*this, [=](Pixel* p, int w) {
        for (int i = 0; i < w; ++i) p[i] = p[i] == from ? to : p[i];
    });
}

void Buffer::XChColor(Pixel a, Pixel b) {
    ForEachRow(*this, [=](Pixel* p, int w) {
        for (int i = 0; i < w; ++i) {
            const Pixel v = p[i];
            p[i] = v == a ? b : (v == b ? a : v);
        }
    });
}

bool Buffer::CheckMask(Pixel mask) const {
    if (Empty()) return false;
    const int w = Width();
    const Pixel* row = Data;
    for (int y = Area.Top; y <= Area.Bottom; ++y, row += Pitch)
        for (int i = 0; i < w; ++i)
            if (row[i] & mask) return true;
    return false;
}

void Buffer::Bool(int op, Pixel v) {
    switch (op) {
    case 1:
        ForEachRow(*this, [=](Pixel* p, int w) {
            for (int i = 0; i < w; ++i) p[i] &= v;
        });
        break;
    case 2:
        ForEachRow(*this, [=](Pixel* p, int w) {
            for (int i = 0; i < w; ++i) p[i] |= v;
        });
        break;
    case 3:
        ForEachRow(*this, [=](Pixel* p, int w) {
            for (int i = 0; i < w; ++i) p[i] ^= v;
        });
        break;
    case 4: {
        const auto count = static_cast<std::int32_t>(v);
        if (count == 0) break;
        // Counts are taken modulo 32; the magnitude of a negative count is
        // computed in 64 bits so that the smallest integer does not overflow.
        const unsigned left = static_cast<unsigned>(count) & 31u;
        const unsigned right = static_cast<unsigned>(-static_cast<std::int64_t>(count)) & 31u;
        if (count > 0)
            ForEachRow(*this, [=](Pixel* p, int w) {
                for (int i = 0; i < w; ++i) p[i] <<= left;
            });
        else
            ForEachRow(*this, [=](Pixel* p, int w) {
                for (int i = 0; i < w; ++i) p[i] >>= right;
            });
        break;
    }
    default:
        break;
    }
}

void Buffer::VClr(int v) {
    if (Empty()) return;
    const Pixel top = static_cast<Pixel>((static_cast<unsigned>(v) * 16u) & 0xFFu) << 24;
    const int w = Width();
    Pixel* row = Data;
    for (int j = 0; j < Height(); ++j, row += Pitch) {
        const Pixel green = static_cast<Pixel>(j & 0xFF) << 8;
        for (int i = 0; i < w; ++i) {
            const Pixel red = static_cast<Pixel>((i + j / 256) & 0xFF) << 16;
            row[i] = top | red | green | ((row[i] & 0xFFu) >> 1);
        }
    }
}

} // namespace pixkit
