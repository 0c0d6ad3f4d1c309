#include "paint/brush.h"

#include "documents.h"

#include <algorithm>
#include <cstdint>

namespace kv {

using pixkit::Buffer;
using pixkit::Pair;
using pixkit::Pixel;
using pixkit::Rect;

void CloneBuffer(Buffer& dst, const Buffer& src) {
    dst.Free();
    if (src.Empty()) return;
    dst.Alloc(Pair<int>{src.Width(), src.Height()});
    if (dst.Empty()) return;
    dst.Area = src.Area;
    for (int y = src.Area.Top; y <= src.Area.Bottom; ++y) {
        const Pixel* s = src.At(src.Area.Left, y);
        Pixel* d = dst.At(dst.Area.Left, y);
        for (int i = 0, n = src.Width(); i < n; ++i) d[i] = s[i];
    }
}

BrushState::BrushState() {
    MakePixelBrush(0);
}

bool FitsBrushLimit(Pair<int> size) {
    return size.x > 0 && size.y > 0 && size.x <= kMaxBrushSide && size.y <= kMaxBrushSide &&
           std::int64_t(size.x) * size.y <= kMaxImagePixels;
}

Pair<int> HandleOffsetIn(const Rect& a, int handle) {
    const int w = a.Right - a.Left, h = a.Bottom - a.Top;
    switch (handle) {
    case bhLeftTop:
        return {0, 0};
    case bhRightTop:
        return {w, 0};
    case bhRightBottom:
        return {w, h};
    case bhLeftBottom:
        return {0, h};
    default:
        return {(w + 1) >> 1, (h + 1) >> 1};
    }
}

int HandleAt(const Rect& r, Pair<int> p) {
    for (int h : {bhCentre, bhLeftTop, bhRightTop, bhRightBottom, bhLeftBottom})
        if (HandleOffsetIn(r, h) == p) return h;
    return bhCentre;
}

Pair<int> BrushState::HandleOffset() const {
    return HandleOffsetIn(Painting.Area, Settings.Handle);
}

Pair<int> BrushState::StampCorner(Pair<int> p) const {
    const Pair<int> d = HandleOffset();
    return {p.x - d.x, p.y - d.y};
}

void BrushState::PrepareBrush(bool rightButton, Pixel draw, Pixel back) {
    ++Prepared;
    CloneBuffer(Painting, Brush);
    if (Painting.Empty()) return;
    const int t = Settings.Technique;
    if (rightButton && t == btReplace) {
        Painting.Box(Painting.Area, back);
    } else if (rightButton || t == btColor) {
        const Pixel c = rightButton ? back : draw;
        for (int y = Painting.Area.Top; y <= Painting.Area.Bottom; ++y) {
            Pixel* p = Painting.At(Painting.Area.Left, y);
            for (int i = 0, n = Painting.Width(); i < n; ++i)
                if (p[i] != kBrushTransparent) p[i] = c;
        }
    } else if (t == btReplace) {
        Painting.ChColor(kBrushTransparent, Settings.Background);
    }
}

void BrushState::SaveForRestore() {
    if (!Settings.UserBrush) return;
    CloneBuffer(Previous, Brush);
    PreviousSettings = Settings;
}

void BrushState::RestoreBrush(Pixel draw, Pixel back) {
    if (Previous.Empty()) {
        if (Settings.Kind == BuiltinKind::Round)
            BuildRound(draw);
        else
            BuildSquare(draw);
        return;
    }
    Settings = PreviousSettings;
    Brush = Previous; // takes the pixels over
    Previous.Free();
    PrepareBrush(false, draw, back);
}

void BrushState::TakeCutBrush(Buffer& cut, Pair<int> origin, Pixel background) {
    Brush = cut;
    cut.Free();
    Settings.Origin = origin;
    Settings.Background = background;
    Settings.UserBrush = true;
    Settings.Technique = btPaint;
}

Rect OpaqueBounds(const Buffer& b) {
    Rect r{b.Area.Right + 1, b.Area.Bottom + 1, b.Area.Left - 1, b.Area.Top - 1};
    if (b.Empty()) return r;
    for (int y = b.Area.Top; y <= b.Area.Bottom; ++y) {
        const Pixel* p = b.At(b.Area.Left, y);
        const int n = b.Width();
        int first = 0;
        while (first < n && p[first] == kBrushTransparent) ++first;
        if (first == n) continue;
        int last = n - 1;
        while (p[last] == kBrushTransparent) --last;
        r.Top = std::min(r.Top, y);
        r.Bottom = y;
        r.Left = std::min(r.Left, b.Area.Left + first);
        r.Right = std::max(r.Right, b.Area.Left + last);
    }
    return r;
}

Pair<int> BrushState::OptimizeBrush() {
    const Rect keep = OpaqueBounds(Brush);
    if (keep.Right < keep.Left || keep == Brush.Area) return {0, 0};
    Buffer trimmed;
    trimmed.Alloc(Pair<int>{keep.Right - keep.Left + 1, keep.Bottom - keep.Top + 1});
    if (trimmed.Empty()) return {0, 0};
    const Pair<int> before = HandleOffsetIn(Brush.Area, Settings.Handle);
    const Pair<int> cut{keep.Left - Brush.Area.Left, keep.Top - Brush.Area.Top};
    trimmed.Copy(Brush, {-cut.x - Brush.Area.Left, -cut.y - Brush.Area.Top}, kCopyAll);
    Brush = trimmed;
    Settings.Origin = {Settings.Origin.x + cut.x, Settings.Origin.y + cut.y};
    const Pair<int> after = HandleOffsetIn(Brush.Area, Settings.Handle);
    return {cut.x + after.x - before.x, cut.y + after.y - before.y};
}

void BrushState::MakeRoundBrush(Pixel draw) {
    SaveForRestore();
    BuildRound(draw);
}

void BrushState::MakeSquareBrush(Pixel draw) {
    SaveForRestore();
    BuildSquare(draw);
}

void BrushState::BuildRound(Pixel draw) {
    const int r = Settings.Radius;
    Brush.Alloc(Pair<int>{2 * r + 1, 2 * r + 1});
    Brush.Box(Brush.Area, kBrushTransparent);
    DrawDisc(Brush, r, draw & 0xFFFFFF);
    FinishBuiltin(BuiltinKind::Round);
}

void BrushState::BuildSquare(Pixel draw) {
    const int r = Settings.Radius;
    Brush.Alloc(Pair<int>{2 * r + 1, 2 * r + 1});
    Brush.Box(Brush.Area, draw & 0xFFFFFF);
    FinishBuiltin(BuiltinKind::Square);
}

void BrushState::FinishBuiltin(BuiltinKind kind) {
    CloneBuffer(Painting, Brush);
    Settings.UserBrush = false;
    Settings.Kind = kind;
    Settings.Origin = {0, 0};
    Settings.Technique = btColor;
}

void BrushState::MakePixelBrush(Pixel draw) {
    SaveForRestore();
    Settings.Handle = bhCentre;
    Settings.UserBrush = false;
    Settings.Technique = btColor;
    Settings.Origin = {0, 0};
    Brush.Alloc(Pair<int>{1, 1});
    Brush.PutPixel({0, 0}, draw & 0xFFFFFF);
    CloneBuffer(Painting, Brush);
}

void BrushState::TakeUserBrush(Buffer& image, Pixel transparent, int handle) {
    SaveForRestore();
    if (transparent != kBrushTransparent) image.ChColor(transparent, kBrushTransparent);
    Brush = image; // takes the pixels over
    image.Free();
    Settings.UserBrush = true;
    Settings.Background = transparent;
    Settings.Handle = handle;
    Settings.Technique = btPaint;
    Settings.Origin = {0, 0};
    CloneBuffer(Painting, Brush);
}

bool BrushState::IsBuiltinPixel() const {
    return !Settings.UserBrush && Brush.Width() == 1;
}

void DiscHalfWidths(int r, std::vector<int>& half) {
    half.assign(static_cast<std::size_t>(r < 0 ? 0 : r) + 1, 0);
    auto row = [&](int d, int width) {
        int& h = half[static_cast<std::size_t>(d)];
        if (width > h) h = width;
    };
    int k = r, i = 0, d = 3 - 2 * r;
    while (i <= k) {
        if (d < 0) {
            row(i, k);
            d += 4 * i + 10;
        } else {
            row(k, i);
            if (i < k) row(i, k);
            d += 4 * (i - k) + 14;
            --k;
        }
        ++i;
    }
}

void DrawDisc(Buffer& dst, int r, Pixel colour) {
    std::vector<int> half;
    DiscHalfWidths(r, half);
    for (int d = 0; d <= r; ++d) {
        const int h = half[static_cast<std::size_t>(d)];
        dst.Line({r - h, r + d}, {r + h, r + d}, colour);
        if (d != 0) dst.Line({r - h, r - d}, {r + h, r - d}, colour);
    }
}

} // namespace kv
