// Enhanced metafiles: records of a 32-bit type and a 32-bit size in bytes,
// the first being the header (bounds in device pixels, frame in 0.01 mm,
// the reference device's size in pixels and millimetres). The frame is
// mapped onto the output at 96 dpi.
#include "metafile_emf.h"
#include "metafile.h"

#include "formats.h"

#include <algorithm>
#include <cmath>

namespace pixkit {

namespace {

constexpr std::uint32_t kSignature = 0x464D4520; // " EMF"
constexpr std::size_t kMinHeader = 88;

bool SizeOk(std::int64_t w, std::int64_t h) {
    return w >= 1 && h >= 1 && w <= kMaxMetaSide && h <= kMaxMetaSide;
}

// Without a usable frame the bounds (device pixels, inclusive) stand for
// the picture, one device pixel per output pixel.
void UseBounds(RecordView h, EmfInfo& info) {
    const double l = h.S32(8), t = h.S32(12), r = h.S32(16), b = h.S32(20);
    info.pixelsW = std::int64_t(r - l + 1);
    info.pixelsH = std::int64_t(b - t + 1);
    info.scale = {1, 1};
    info.offset = {-l, -t};
}

// Some writers store the frame at the origin while their drawing lies
// elsewhere (at negative coordinates, say): when less than half of the
// bounds lies inside the frame, the frame keeps its size and moves to the
// bounds' corner.
void MoveFrameOntoBounds(RecordView h, EmfInfo& info, double fl, double ft, double fr, double fb) {
    const double l = h.S32(8), t = h.S32(12), r = h.S32(16) + 1.0, b = h.S32(20) + 1.0;
    if (r <= l || b <= t) return;
    const double mx = info.mmPerDevice.x * 100, my = info.mmPerDevice.y * 100; // 0.01 mm a pixel
    const double w = std::min(r * mx, fr) - std::max(l * mx, fl);
    const double hh = std::min(b * my, fb) - std::max(t * my, ft);
    const double inside = w > 0 && hh > 0 ? w * hh / ((r - l) * mx * (b - t) * my) : 0;
    if (inside >= 0.5) return;
    info.offset = {-l * info.scale.x, -t * info.scale.y};
}

} // namespace

bool ReadEmfInfo(const std::vector<std::uint8_t>& data, EmfInfo& info) {
    RecordView h{data.data(), data.size()};
    if (data.size() < kMinHeader || h.U32(0) != 1 || h.U32(4) < kMinHeader ||
        h.U32(40) != kSignature)
        return false;
    info.objects = h.U16(56);
    const double devW = h.S32(72), devH = h.S32(76), mmW = h.S32(80), mmH = h.S32(84);
    info.mmPerDevice = devW > 0 && devH > 0 && mmW > 0 && mmH > 0
                           ? Pair<double>{mmW / devW, mmH / devH}
                           : Pair<double>{25.4 / 96, 25.4 / 96};
    const double fl = h.S32(24), ft = h.S32(28), fr = h.S32(32), fb = h.S32(36);
    const double fw = fr - fl, fh = fb - ft;
    if (fw > 0 && fh > 0) {
        info.pixelsW = std::int64_t(fw * 96 / 2540 + 0.5);
        info.pixelsH = std::int64_t(fh * 96 / 2540 + 0.5);
        const double sx = info.pixelsW / fw, sy = info.pixelsH / fh; // pixels per 0.01 mm
        info.scale = {info.mmPerDevice.x * 100 * sx, info.mmPerDevice.y * 100 * sy};
        info.offset = {-fl * sx, -ft * sy};
        MoveFrameOntoBounds(h, info, fl, ft, fr, fb);
    }
    if (!SizeOk(info.pixelsW, info.pixelsH)) UseBounds(h, info);
    if (!SizeOk(info.pixelsW, info.pixelsH)) {
        info.pixelsW = info.pixelsH = 0;
    } else {
        const Pair<double> f = FitMetaPixels(info.pixelsW, info.pixelsH);
        info.scale = {info.scale.x * f.x, info.scale.y * f.y};
        info.offset = {info.offset.x * f.x, info.offset.y * f.y};
    }
    return true;
}

void PlayEmfRecords(MetaDC& dc, const std::vector<std::uint8_t>& data) {
    RecordView all{data.data(), data.size()};
    std::size_t at = all.U32(4);
    while (at + 8 <= data.size()) {
        const std::uint32_t type = all.U32(at), size = all.U32(at + 4);
        if (type == 14) return; // EMR_EOF
        if (size < 8 || size > data.size() - at) throw EInvalidImage();
        PlayEmfRecord(dc, type, all.Sub(at, size));
        dc.Charge(1);
        at += size;
    }
}

std::int8_t EmfFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        std::vector<std::uint8_t> head(kMinHeader);
        s->ReadBuffer(head.data(), std::int64_t(head.size()));
        EmfInfo info;
        if (!ReadEmfInfo(head, info)) return 0;
        if (d != nullptr) {
            d->Width = std::int32_t(info.pixelsW);
            d->Height = std::int32_t(info.pixelsH);
            d->Color = 1;
            d->WithPal = RecordView{head.data(), head.size()}.U32(68) != 0 ? 1 : 0;
            d->BPP = 24;
            d->BPCC = 8;
        }
        return info.pixelsW > 0 ? 1 : -1;
    });
}

void EmfFormat::Load(Buffer& b, TStream* s, GFXtra32*) {
    ClearSkippedRecords();
    const std::vector<std::uint8_t> data = ReadWholeStream(s);
    EmfInfo info;
    if (!ReadEmfInfo(data, info) || info.pixelsW == 0) throw EInvalidImage();
    ReportPercent(50);
    PreparePaper(b, int(info.pixelsW), int(info.pixelsH));
    MetaDC dc(b, info.scale, info.offset);
    dc.mmPerDevice = info.mmPerDevice;
    dc.SetTableSize(info.objects);
    PlayEmfRecords(dc, data);
}

void EmfFormat::Save(Buffer& b, TStream* s, GFXtra32*, Buffer*) {
    WriteEmf(b, s);
    ReportPercent(50);
}

std::unique_ptr<GFXFile> NewEmfFormat() {
    return std::make_unique<EmfFormat>();
}

} // namespace pixkit
