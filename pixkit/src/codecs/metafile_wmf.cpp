// Windows metafiles: the optional placeable header (key 9AC6CDD7, frame in
// logical units and units per inch), the 18-byte metafile header, then
// records of a 32-bit size in 16-bit words, a 16-bit function and its
// parameters. The picture's frame is mapped onto the output pixels.
#include "metafile_wmf.h"
#include "metafile.h"

#include "formats.h"

#include <algorithm>
#include <cmath>

namespace pixkit {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableBytes = 22;
constexpr std::size_t kHeaderBytes = 18;

bool SizeOk(std::int64_t w, std::int64_t h) {
    return w >= 1 && h >= 1 && w <= kMaxMetaSide && h <= kMaxMetaSide;
}

// A plain metafile has no frame: the first window origin and extent the
// records set stand for it, one logical unit per pixel.
void FindWindow(const std::vector<std::uint8_t>& data, WmfInfo& info) {
    RecordView all{data.data(), data.size()};
    bool haveExt = false;
    for (std::size_t at = info.recordsAt; at + 6 <= data.size() && !haveExt;) {
        const std::uint64_t bytes = std::uint64_t(all.U32(at)) * 2;
        const std::uint32_t fn = all.U16(at + 4);
        if (bytes < 6 || fn == 0 || bytes > data.size() - at) break;
        if (fn == 0x020B && bytes >= 10) {
            info.top = all.S16(at + 6);
            info.left = all.S16(at + 8);
        } else if (fn == 0x020C && bytes >= 10) {
            info.height = all.S16(at + 6);
            info.width = all.S16(at + 8);
            haveExt = true;
        }
        at += std::size_t(bytes);
    }
    info.pixelsW = std::int64_t(std::fabs(info.width));
    info.pixelsH = std::int64_t(std::fabs(info.height));
}

} // namespace

bool ReadWmfInfo(const std::vector<std::uint8_t>& data, WmfInfo& info) {
    RecordView all{data.data(), data.size()};
    if (data.size() < kHeaderBytes) return false;
    info.placeable = all.U32(0) == kPlaceableKey;
    const std::size_t h = info.placeable ? kPlaceableBytes : 0;
    if (data.size() < h + kHeaderBytes) return false;
    const std::uint32_t type = all.U16(h), words = all.U16(h + 2), version = all.U16(h + 4);
    if ((type != 1 && type != 2) || words != 9 || (version != 0x0100 && version != 0x0300))
        return false;
    info.objects = all.U16(h + 10);
    info.recordsAt = h + kHeaderBytes;
    if (!info.placeable) {
        FindWindow(data, info);
    } else {
        const double l = all.S16(6), t = all.S16(8), r = all.S16(10), b = all.S16(12);
        const double inch = all.U16(14);
        info.left = l;
        info.top = t;
        info.width = r - l;
        info.height = b - t;
        if (inch > 0) {
            info.pixelsW = std::int64_t(std::fabs(info.width) * 96 / inch + 0.5);
            info.pixelsH = std::int64_t(std::fabs(info.height) * 96 / inch + 0.5);
        }
    }
    if (!SizeOk(info.pixelsW, info.pixelsH))
        info.pixelsW = info.pixelsH = 0;
    else
        FitMetaPixels(info.pixelsW, info.pixelsH);
    return true;
}

void PlayWmfRecords(MetaDC& dc, const std::vector<std::uint8_t>& data, std::size_t at) {
    RecordView all{data.data(), data.size()};
    while (at + 6 <= data.size()) {
        const std::uint64_t bytes = std::uint64_t(all.U32(at)) * 2;
        const std::uint32_t fn = all.U16(at + 4);
        if (fn == 0) return; // META_EOF
        if (bytes < 6 || bytes > data.size() - at) throw EInvalidImage();
        PlayWmfRecord(dc, fn, all.Sub(at + 6, std::size_t(bytes) - 6));
        dc.Charge(1);
        at += std::size_t(bytes);
    }
}

std::int8_t WmfFormat::Test(TStream* s, GFXFileDesc* d) {
    return GuardedTest(s, [&]() -> std::int8_t {
        // The headers first, so other files are not read whole.
        const std::int64_t start = s->Position();
        std::uint8_t head[kPlaceableBytes + kHeaderBytes] = {};
        const std::int64_t got = s->Read(head, sizeof head);
        WmfInfo probe;
        if (!ReadWmfInfo({head, head + got}, probe)) return 0;
        s->SetPosition(start);
        const std::vector<std::uint8_t> data = ReadWholeStream(s);
        WmfInfo info;
        if (!ReadWmfInfo(data, info)) return 0;
        if (d != nullptr) {
            d->Width = std::int32_t(info.pixelsW);
            d->Height = std::int32_t(info.pixelsH);
            d->Color = 1;
            d->WithPal = 0;
            d->BPP = 24;
            d->BPCC = 8;
        }
        return info.pixelsW > 0 ? 1 : -1;
    });
}

void WmfFormat::Load(Buffer& b, TStream* s, GFXtra32*) {
    ClearSkippedRecords();
    const std::vector<std::uint8_t> data = ReadWholeStream(s);
    WmfInfo info;
    if (!ReadWmfInfo(data, info) || info.pixelsW == 0) throw EInvalidImage();
    ReportPercent(50);
    PreparePaper(b, int(info.pixelsW), int(info.pixelsH));
    // The frame is in the metafile's device units, which the window and
    // viewport records map logical units onto; the frame is then scaled
    // onto the output pixels.
    const Pair<double> scale{double(info.pixelsW) / info.width, double(info.pixelsH) / info.height};
    MetaDC dc(b, scale, {-info.left * scale.x, -info.top * scale.y});
    dc.wmfMapping = true;
    dc.st.mapMode = 8;
    dc.st.winOrg = dc.st.vpOrg = {info.left, info.top};
    dc.st.winExt = dc.st.vpExt = {info.width, info.height};
    dc.SetTableSize(info.objects);
    PlayWmfRecords(dc, data, info.recordsAt);
}

void WmfFormat::Save(Buffer& b, TStream* s, GFXtra32*, Buffer*) {
    WriteWmf(b, s);
    ReportPercent(50);
}

std::unique_ptr<GFXFile> NewWmfFormat() {
    return std::make_unique<WmfFormat>();
}

} // namespace pixkit
