// A component run on a small picture, for thumbnails of effects: a runner
// of its own, the component's remembered values, no dialog.
#include "effects/component.h"

#include "kvc.h"

#include <cstring>

namespace kv {

bool RunComponentOnPicture(const ComponentRecord& rec, const pixkit::Buffer& in,
                           pixkit::Buffer& out, std::string& error,
                           const std::atomic<bool>* cancel) {
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
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
    if (!runner.Load(rec.File, loaded) || !runner.Reserve(2 * bytes)) {
        error = runner.Failure().empty() ? "no memory" : runner.Failure();
        return false;
    }
    auto* src = reinterpret_cast<std::uint32_t*>(runner.Shared());
    for (int y = 0; y < h; ++y)
        std::memcpy(src + static_cast<std::ptrdiff_t>(y) * w, in.At(in.Area.Left, in.Area.Top + y),
                    static_cast<std::size_t>(w) * 4);
    std::memcpy(src + static_cast<std::ptrdiff_t>(w) * h, src, bytes);
    kvc::BlockLayout layout;
    layout.Source = {0, w, h};
    layout.Dest = {bytes, w, h};
    layout.Right = w - 1;
    layout.Bottom = h - 1;
    layout.DrawColor = 0xFFFFFF;
    layout.Images[0] = layout.Source;
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
    const std::uint32_t* dst = src + static_cast<std::ptrdiff_t>(w) * h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *out.At(x, y) = dst[static_cast<std::ptrdiff_t>(y) * w + x] & 0xFFFFFF;
    return true;
}

} // namespace kv
