// The GIF writer's palette: boxes of the RGB cube are split one at a time,
// always where one channel's split removes the most squared error, until
// 256 boxes exist or no split helps. The splits form a binary tree whose
// leaves are the palette entries; a pixel's index is the leaf it reaches.
#include "gif_quant.h"

#include <pixkit/gfxfile.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace pixkit {

namespace {

constexpr int kChannels = 3; // blue, green, red: the order of a pixel's bytes

inline int ChannelOf(Pixel p, int c) {
    return static_cast<int>((p >> (8 * c)) & 0xFF);
}

struct ChannelStats {
    int Lower = 0;
    int Upper = 255;
    int Mean = 0;               // rounded
    int Split = 0;              // values up to this go to the lower part
    std::int64_t Reduction = 0; // squared error removed by that split
};

struct Box {
    ChannelStats Ch[kChannels];
    std::size_t Begin = 0; // the box's pixels in the work array
    std::size_t End = 0;
};

// A split of the tree (Channel >= 0) or a leaf holding a box number.
struct Node {
    int Channel = -1;
    int Split = 0;
    int Box = 0;
    int Lower = 0; // child node indices
    int Upper = 0;
};

// Count, rounded mean and squared error about that mean of a histogram part.
struct Moments {
    std::int64_t N = 0;
    std::int64_t S1 = 0;
    std::int64_t S2 = 0;
    int Mean() const { return N == 0 ? 0 : static_cast<int>((S1 + N / 2) / N); }
    std::int64_t Error() const {
        const std::int64_t mu = Mean();
        return S2 - 2 * mu * S1 + N * mu * mu;
    }
};

// Mean, best split and its reduction of one channel from its histogram.
void ChannelFromHistogram(const std::uint64_t* hist, ChannelStats& ch) {
    Moments all;
    for (int v = ch.Lower; v <= ch.Upper; ++v) {
        const auto n = static_cast<std::int64_t>(hist[v]);
        all.N += n;
        all.S1 += n * v;
        all.S2 += n * v * v;
    }
    ch.Mean = all.Mean();
    ch.Split = ch.Lower;
    ch.Reduction = 0;
    const std::int64_t error = all.Error();
    std::int64_t best = -1;
    Moments left;
    for (int j = ch.Lower; j < ch.Upper; ++j) {
        const auto n = static_cast<std::int64_t>(hist[j]);
        left.N += n;
        left.S1 += n * j;
        left.S2 += n * j * j;
        const Moments right{all.N - left.N, all.S1 - left.S1, all.S2 - left.S2};
        const std::int64_t reduction = error - (left.Error() + right.Error());
        if (reduction > best) {
            best = reduction;
            ch.Reduction = reduction;
            ch.Split = std::max((left.Mean() + right.Mean()) / 2, j);
        }
    }
}

void ComputeStats(Box& box, const Pixel* px) {
    std::vector<std::uint64_t> hist(kChannels * 256, 0);
    for (std::size_t i = box.Begin; i < box.End; ++i) {
        const Pixel p = px[i];
        ++hist[p & 0xFF];
        ++hist[256 + ((p >> 8) & 0xFF)];
        ++hist[512 + ((p >> 16) & 0xFF)];
    }
    for (int c = 0; c < kChannels; ++c) ChannelFromHistogram(hist.data() + 256 * c, box.Ch[c]);
}

class Splitter {
  public:
    explicit Splitter(Pixel* px, std::size_t count) : px_(px) {
        boxes_.emplace_back();
        boxes_[0].End = count;
        ComputeStats(boxes_[0], px_);
        nodes_.emplace_back();
        leafOf_.push_back(0);
    }

    void Run(int maxBoxes) {
        while (static_cast<int>(boxes_.size()) < maxBoxes) {
            int bestBox = -1, bestChannel = 0;
            std::int64_t best = 0;
            for (std::size_t b = 0; b < boxes_.size(); ++b)
                for (int c = 0; c < kChannels; ++c)
                    if (boxes_[b].Ch[c].Reduction > best) {
                        best = boxes_[b].Ch[c].Reduction;
                        bestBox = static_cast<int>(b);
                        bestChannel = c;
                    }
            if (bestBox < 0) return;
            SplitBox(bestBox, bestChannel);
        }
    }

    GifPalette Palette() const {
        GifPalette pal;
        pal.Count = static_cast<int>(boxes_.size());
        for (std::size_t b = 0; b < boxes_.size(); ++b) {
            const ChannelStats* ch = boxes_[b].Ch;
            pal.Colours[b] =
                (Pixel(ch[2].Mean) << 16) | (Pixel(ch[1].Mean) << 8) | Pixel(ch[0].Mean);
        }
        return pal;
    }

    int IndexOf(Pixel p) const {
        const Node* n = &nodes_[0];
        while (n->Channel >= 0)
            n = &nodes_[ChannelOf(p, n->Channel) > n->Split ? n->Upper : n->Lower];
        return n->Box;
    }

  private:
    void SplitBox(int b, int c) {
        Box& box = boxes_[b];
        const int split = box.Ch[c].Split;
        Pixel* mid = std::partition(px_ + box.Begin, px_ + box.End,
                                    [=](Pixel p) { return ChannelOf(p, c) <= split; });
        Box upper = box;
        upper.Begin = static_cast<std::size_t>(mid - px_);
        upper.Ch[c].Lower = split + 1;
        box.End = upper.Begin;
        box.Ch[c].Upper = split;
        ComputeStats(box, px_);
        ComputeStats(upper, px_);
        boxes_.push_back(upper);

        const int newBox = static_cast<int>(boxes_.size()) - 1;
        const int node = leafOf_[b];
        const int lo = static_cast<int>(nodes_.size());
        nodes_.push_back(Node{-1, 0, b, 0, 0});
        nodes_.push_back(Node{-1, 0, newBox, 0, 0});
        nodes_[node] = Node{c, split, 0, lo, lo + 1};
        leafOf_[b] = lo;
        leafOf_.push_back(lo + 1);
    }

    Pixel* px_;
    std::vector<Box> boxes_;
    std::vector<Node> nodes_;
    std::vector<int> leafOf_; // the leaf node of each box
};

// The bytes a buffer's rows span.
std::pair<const char*, const char*> Span(const Buffer& b) {
    const char* first = reinterpret_cast<const char*>(b.At(b.Area.Left, b.Area.Top));
    const char* last = reinterpret_cast<const char*>(b.At(b.Area.Right, b.Area.Bottom) + 1);
    return {std::min(first, last), std::max(first, last)};
}

bool Overlap(const Buffer& a, const Buffer& b) {
    const auto [a0, a1] = Span(a);
    const auto [b0, b1] = Span(b);
    return a0 < b1 && b0 < a1;
}

// Makes work a contiguous block of b's size that does not share b's
// pixels (a work buffer that is b itself or a view of it would destroy
// the image being saved).
void PrepareWork(const Buffer& b, Buffer& work) {
    const int w = b.Width(), h = b.Height();
    if (&work == &b) throw EInvalidImage();
    if (work.Empty() || work.Area.Empty() || work.Width() != w || work.Height() != h ||
        work.Pitch != w || Overlap(work, b)) {
        work.Alloc({w, h});
        if (work.Empty()) throw EInvalidImage();
    }
}

void CopyPixels(const Buffer& from, Buffer& to) {
    const int w = from.Width();
    for (int y = 0; y < from.Height(); ++y)
        std::memcpy(to.Data + std::ptrdiff_t(y) * to.Pitch,
                    from.At(from.Area.Left, from.Area.Top + y), std::size_t(w) * sizeof(Pixel));
}

} // namespace

GifPalette QuantizeToTopBytes(Buffer& b, Buffer& work, int maxColours) {
    maxColours = std::clamp(maxColours, 1, 256);
    if (b.Empty() || b.Area.Empty()) {
        GifPalette pal;
        pal.Count = 1;
        return pal;
    }
    PrepareWork(b, work);
    CopyPixels(b, work);
    const std::size_t count = std::size_t(b.Width()) * std::size_t(b.Height());
    Splitter splitter(work.Data, count);
    splitter.Run(maxColours);

    // The work buffer gets the image back; the saved buffer its indices.
    CopyPixels(b, work);
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y) {
        Pixel* p = b.At(b.Area.Left, y);
        Pixel last = ~Pixel(0);
        Pixel lastIndexed = 0;
        for (int x = 0; x < b.Width(); ++x, ++p) {
            const Pixel colour = *p & 0xFFFFFF;
            if (colour != last) {
                last = colour;
                lastIndexed = colour | (Pixel(splitter.IndexOf(colour)) << 24);
            }
            *p = lastIndexed;
        }
    }
    return splitter.Palette();
}

int NearestEntry(const GifPalette& pal, Pixel c) {
    int best = 0;
    int bestDistance = 3 * 255 * 255;
    for (int i = 0; i < pal.Count; ++i) {
        const Pixel e = pal.Colours[i];
        int d = 0;
        for (int ch = 0; ch < kChannels; ++ch) {
            const int delta = ChannelOf(e, ch) - ChannelOf(c, ch);
            d += delta * delta;
        }
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

} // namespace pixkit
