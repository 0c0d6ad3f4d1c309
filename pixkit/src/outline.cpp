// Outlines: pixels next to a class of pixels change colour. Both operations
// decide every pixel from the buffer as it was before the call, whatever
// a and b are: each row's neighbourhood is collected before the row is
// written, and the original of the row above is kept aside.
#include <pixkit/buffer.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace pixkit {

namespace {

// Pixel P becomes b when candidate(P) holds and any pixel of its 3 x 3
// neighbourhood (clipped to Area) satisfies hit. P itself never satisfies
// hit when it is a candidate, so the whole block can be tested.
template <typename Candidate, typename Hit>
void Outline(Buffer& buf, Pixel b, Candidate candidate, Hit hit) {
    if (buf.Empty()) return;
    const auto w = static_cast<std::size_t>(buf.Width());
    const int h = buf.Height();
    // hits[x + 1]: whether column x of the three rows has a hit; the ends
    // stay 0 so the window needs no border test.
    std::vector<std::uint8_t> hits(w + 2, 0);
    std::vector<Pixel> above(w), saved(w);
    Pixel* row = buf.Data;
    for (int y = 0; y < h; ++y, row += buf.Pitch) {
        const Pixel* below = y + 1 < h ? row + buf.Pitch : nullptr;
        std::uint8_t* c = hits.data() + 1;
        for (std::size_t x = 0; x < w; ++x) c[x] = hit(row[x]);
        if (y > 0)
            for (std::size_t x = 0; x < w; ++x) c[x] |= hit(above[x]);
        if (below)
            for (std::size_t x = 0; x < w; ++x) c[x] |= hit(below[x]);
        std::memcpy(saved.data(), row, w * sizeof(Pixel));
        for (std::size_t x = 0; x < w; ++x)
            if ((c[x - 1] | c[x] | c[x + 1]) && candidate(row[x])) row[x] = b;
        above.swap(saved);
    }
}

} // namespace

void Buffer::OutlineEQ(Pixel a, Pixel b) {
    Outline(
        *this, b, [a](Pixel p) { return p != a; }, [a](Pixel p) -> std::uint8_t { return p == a; });
}

void Buffer::OutlineNE(Pixel a, Pixel b) {
    Outline(
        *this, b, [a](Pixel p) { return p == a; },
        [a, b](Pixel p) -> std::uint8_t { return p != a && p != b; });
}

} // namespace pixkit
