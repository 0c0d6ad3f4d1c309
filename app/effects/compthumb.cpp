// A component run on a small picture, for thumbnails of effects: a runner
// of its own, the component's remembered values, no dialog.
#include "effects/component.h"

#include "kvc.h"

#include <cstring>

namespace kv {

bool RunComponentOnPicture(const ComponentRecord& rec, const pixkit::Buffer& in,
                           pixkit::Buffer& out, std::string& error, const std::atomic<bool>* cancel,
                           const ImageTable* images) {
    const int w = in.Width(), h = in.Height();
    if (in.Empty()) {
        error = "empty picture";
        return false;
    }
    KvcRunner runner;
    runner.Cancel = cancel;
    // Only a full run could stop, and there is none; everything else is
    // ignored.
    runner.OnHost = [](const HostMessage& m, kvc::BlockLayout*, bool*) -> std::int64_t {
        return m.Message == KVCH_PROGRESS ? 1 : 0;
    };
    KvcRunner::Loaded loaded;
    std::size_t end = 0;
    const kvc::Region src = PlaceRegion(end, w, h), dst = PlaceRegion(end, w, h);
    kvc::BlockLayout layout;
    if (images != nullptr) {
        for (std::size_t i = 0; i < images->Slots.size(); ++i) {
            const pixkit::Buffer* b = images->Slots[i];
            layout.Images[i] = b == nullptr || b->Empty()
                                   ? kvc::Region{}
                                   : PlaceRegion(end, b->Width(), b->Height());
        }
        layout.Current = images->Current;
    } else {
        layout.Images[0] = src;
    }
    if (!runner.Load(rec.File, loaded) || !runner.Reserve(end)) {
        error = runner.Failure().empty() ? "no memory" : runner.Failure();
        return false;
    }
    std::uint8_t* shm = runner.Shared();
    FillShared(shm, src, in);
    FillShared(shm, dst, in);
    if (images != nullptr)
        for (std::size_t i = 0; i < images->Slots.size(); ++i)
            if (layout.Images[i].Offset != kvc::kNoRegion)
                FillShared(shm, layout.Images[i], *images->Slots[i]);
    layout.Source = src;
    layout.Dest = dst;
    layout.Right = w - 1;
    layout.Bottom = h - 1;
    layout.DrawColor = 0xFFFFFF;
    ValueBlock values = rec.Block;
    PackValues(rec.Desc, rec.Values, values);
    const bool ok =
        runner.Call(KVCM_INIT, &layout, sizeof(layout), KvcRunner::Wait::Limited) &&
        runner.Call(KVCM_PARAMS, values.data(), values.size(), KvcRunner::Wait::Limited) &&
        runner.Call(KVCM_PROCESS, &layout, sizeof(layout), KvcRunner::Wait::Limited) &&
        runner.Call(KVCM_CLOSE, nullptr, 0, KvcRunner::Wait::Limited);
    if (!ok) {
        error = runner.Failure();
        return false;
    }
    out.Alloc({w, h});
    if (out.Empty()) {
        error = "no memory";
        return false;
    }
    const auto* made = reinterpret_cast<const std::uint32_t*>(shm + dst.Offset);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *out.At(x, y) = made[static_cast<std::ptrdiff_t>(y) * w + x] & 0xFFFFFF;
    return true;
}

} // namespace kv
