#include "effects/component.h"

#include "effects/compform.h"
#include "effects/effecthost.h"
#include "effects/runguard.h"
#include "keys.h"
#include "kvc.h"
#include "lang.h"
#include "log.h"
#include "message.h"
#include "tools/framework.h"
#include "undo.h"

#include <QApplication>
#include <QCursor>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr int kMaxNesting = 8;
constexpr std::int64_t kPumpMs = 50;
constexpr std::uint32_t kRgb = 0x00FFFFFF;

std::size_t Bytes(const kvc::Region& r) {
    return static_cast<std::size_t>(r.Width) * static_cast<std::size_t>(r.Height) * 4;
}

pixkit::Rect Clip(pixkit::Rect r, int w, int h) {
    return {std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, w - 1),
            std::min(r.Bottom, h - 1)};
}

} // namespace

kvc::Region PlaceRegion(std::size_t& end, int w, int h) {
    kvc::Region r{end, w, h};
    end += (Bytes(r) + 63) / 64 * 64;
    return r;
}

void FillShared(std::uint8_t* shm, const kvc::Region& r, const pixkit::Buffer& from) {
    auto* to = reinterpret_cast<std::uint32_t*>(shm + r.Offset);
    const int w = std::min(r.Width, from.Width());
    for (int y = 0; y < std::min(r.Height, from.Height()); ++y)
        std::memcpy(to + static_cast<std::ptrdiff_t>(y) * r.Width,
                    from.At(from.Area.Left, from.Area.Top + y), static_cast<std::size_t>(w) * 4);
}

P_component::P_component(EffectHost& host, ScanResult& comps) : host_(host), comps_(comps) {
    Flags = tfOneShot;
    // The dialog keeps its own snapshot; clicks go to the component.
    Undo = 0;
    Snap = 0;
    HelpContext = 1320;
    runner_.OnHost = [this](const HostMessage& m, kvc::BlockLayout* block, bool* changed) {
        return OnHost(m, block, changed);
    };
    runner_.Pump = [this] {
        lastPump_ = NowMs();
        ShowPartial();
        QApplication::processEvents();
    };
}

P_component::~P_component() = default;

std::uint32_t* P_component::ShmAt(const kvc::Region& r) {
    return reinterpret_cast<std::uint32_t*>(runner_.Shared() + r.Offset);
}

const ValueBlock& P_component::LastValues() const {
    static const ValueBlock none{};
    return current_ < 0 ? none : comps_.Components[static_cast<std::size_t>(current_)].Block;
}

void P_component::FillRegion(const kvc::Region& r, const pixkit::Buffer& from) {
    FillShared(runner_.Shared(), r, from);
}

// The shared memory: preview source and destination, the image table (the
// current image's entry is the snapshot), then source and destination.
bool P_component::Layout(bool withPreview) {
    const pixkit::Buffer& snap = host_.Snapshot();
    const int w = snap.Width(), h = snap.Height();
    std::size_t end = 0;
    previewSrc_ = previewDst_ = kvc::Region{};
    previewShown_.Free();
    if (withPreview) {
        const double f = std::min(120.0 / w, 90.0 / h);
        const int pw = std::max(1, static_cast<int>(w * f)),
                  ph = std::max(1, static_cast<int>(h * f));
        previewSrc_ = PlaceRegion(end, pw, ph);
        previewDst_ = PlaceRegion(end, pw, ph);
    }
    Documents& docs = host_.Docs();
    for (int i = 0; i < kSlotCount; ++i) {
        const pixkit::Buffer& b =
            i == docs.Current ? snap : docs.Slots[static_cast<std::size_t>(i)];
        images_[i] = b.Empty() ? kvc::Region{} : PlaceRegion(end, b.Width(), b.Height());
    }
    src_ = PlaceRegion(end, w, h);
    dst_ = PlaceRegion(end, w, h);
    if (!runner_.Reserve(end)) return false;
    for (int i = 0; i < kSlotCount; ++i)
        if (images_[i].Offset != kvc::kNoRegion)
            FillRegion(images_[i],
                       i == docs.Current ? snap : docs.Slots[static_cast<std::size_t>(i)]);
    FillRegion(src_, snap);
    std::memcpy(ShmAt(dst_), ShmAt(src_), Bytes(src_));
    if (withPreview) {
        pixkit::Buffer scaled;
        scaled.Alloc({previewSrc_.Width, previewSrc_.Height});
        if (scaled.Empty()) return false;
        scaled.Scale(const_cast<pixkit::Buffer&>(snap), {previewSrc_.Width, previewSrc_.Height},
                     {0, 0}, 0xFFFFFFFF, 0);
        FillRegion(previewSrc_, scaled);
        previewShown_.Alloc({previewSrc_.Width, previewSrc_.Height});
    }
    return true;
}

kvc::BlockLayout P_component::BlockFor(pixkit::Rect area, int masked, int fullRun) const {
    kvc::BlockLayout s;
    s.Source = src_;
    s.Dest = dst_;
    s.Left = area.Left, s.Top = area.Top, s.Right = area.Right, s.Bottom = area.Bottom;
    s.Masked = masked;
    s.FullRun = fullRun;
    s.DrawColor = host_.DrawColor() & kRgb;
    s.BackColor = host_.BackColor() & kRgb;
    s.Current = host_.Docs().Current + 1;
    for (int i = 0; i < kSlotCount; ++i) s.Images[i] = images_[i];
    return s;
}

bool P_component::CallComp(std::uint32_t message, const void* data, std::size_t bytes,
                           KvcRunner::Wait wait) {
    if (failed_) return false;
    if (runner_.Call(message, data, bytes, wait)) return true;
    failed_ = true;
    LogLine("Component " + (current_ >= 0 ? Rec().File : std::string()) +
            " failed: " + runner_.Failure());
    return false;
}

bool P_component::Process(const kvc::BlockLayout& layout, KvcRunner::Wait wait) {
    return CallComp(KVCM_PROCESS, &layout, sizeof(layout), wait);
}

bool P_component::Open(Mode mode) {
    current_ = chosen_;
    failed_ = false;
    pending_ = 0;
    notify_ = true;
    lastValid_ = false;
    written_ = {0, 0, -1, -1};
    if (current_ < 0 || current_ >= static_cast<int>(comps_.Components.size())) return false;
    ComponentRecord& rec = Rec();
    KvcRunner::Loaded loaded;
    if (!runner_.Load(rec.File, loaded) ||
        !Layout(mode == Mode::Effect && rec.Desc.InstantPreview())) {
        failed_ = true;
        return false;
    }
    if (!form_) {
        form_ = new TCompForm(host_.Window());
        form_->OnOk = [this] { OkBtnClick(); };
        form_->OnPreview = [this] { PreviewBtnClick(); };
        form_->OnPreset = [this] { PresetBtnClick(); };
        form_->OnCancel = [this] { CancelBtnClick(); };
        form_->OnChanged = [this] {
            ParamChange();
            Settle();
        };
        form_->OnInstPreview = [this] {
            InstantPreview();
            Settle();
        };
        form_->OnButton = [this](int n) {
            const std::int32_t param = n;
            CallComp(KVCM_BUTTON, &param, sizeof(param));
            Settle();
        };
        form_->OnPreviewClick = [this](int x, int y, bool right) {
            Click(x, y, previewSrc_.Width, previewSrc_.Height, right, true);
            Settle();
        };
        form_->OnHotKey = [this](QKeyEvent& event) { return host_.HotKey(event); };
        form_->OnColor = [this](TColorSwatch* s, const QString& title) {
            host_.PickColor(s, title);
        };
        form_->Thumbnail = [this](int slot) {
            const pixkit::Buffer& b = host_.Docs().Slots[static_cast<std::size_t>(slot - 1)];
            QImage image(b.Width(), b.Height(), QImage::Format_RGB32);
            for (int y = 0; y < b.Height(); ++y)
                std::memcpy(image.scanLine(y), b.At(b.Area.Left, b.Area.Top + y),
                            static_cast<std::size_t>(b.Width()) * 4);
            return QPixmap::fromImage(image);
        };
    }
    form_->EnterIsOk = mode == Mode::Effect;
    form_->Build(rec, host_.UserLevel(), {src_.Width, src_.Height},
                 {previewSrc_.Width, previewSrc_.Height});
    rec.Remembered = true;
    active_ = true;
    const kvc::BlockLayout init = BlockFor({0, 0, src_.Width - 1, src_.Height - 1}, 0, 0);
    if (!CallComp(KVCM_INIT, &init, sizeof(init))) return false;
    ParamChange();
    return !failed_;
}

void P_component::Close() {
    if (!active_) return;
    active_ = false;
    stop_ = true;
    if (!failed_) CallComp(KVCM_CLOSE, nullptr, 0);
    if (!failed_) runner_.Unload();
    if (form_) form_->hide();
}

void P_component::Activate() {
    accepted_ = false;
    if (!host_.TakeSnapshot()) {
        host_.ReturnToPreviousTool();
        return;
    }
    ++entries_;
    const bool opened = Open(Mode::Effect);
    --entries_;
    if (!opened) {
        if (failed_) return ReportFailure();
        return host_.ReturnToPreviousTool();
    }
    host_.ShowDialog(*form_);
    host_.SetStatus(ComponentText(Rec().Desc.Name));
    // Without a parameter there is nothing to ask: the effect applies.
    if (form_->ControlCount() == 0) return OkBtnClick();
    Settle();
}

void P_component::Deactivate(P_icon* /*next*/) {
    if (!active_) return;
    Close();
    if (!accepted_) {
        host_.CancelToSnapshot();
        host_.ImageResized();
    }
}

void P_component::Press() {
    if (ToolFramework* tools = Tools()) {
        tools->State = csIdle;
        const pixkit::Pair<int> p = tools->ImagePos;
        const pixkit::Buffer& image = host_.Image();
        if (!active_ || running_ || !image.Contains(p)) return;
        Click(p.x, p.y, image.Width(), image.Height(), (tools->MouseButtons & msRight) != 0, false);
        Settle();
    }
}

void P_component::Click(int x, int y, int w, int h, bool right, bool inPreview) {
    if (!active_ || running_) return;
    const KVCCLICK click{ToUnit(x, w), ToUnit(y, h), w, h, right ? 1 : 0, inPreview ? 1 : 0};
    ++entries_;
    CallComp(KVCM_CLICK, &click, sizeof(click));
    --entries_;
}

void P_component::ParamChange() {
    if (!active_ || failed_) return;
    ComponentRecord& rec = Rec();
    if (form_) rec.Values = form_->Values();
    if (notify_) {
        PackValues(rec.Desc, rec.Values, rec.Block);
        if (!CallComp(KVCM_PARAMS, rec.Block.data(), rec.Block.size())) return;
    }
    InstantPreview();
}

void P_component::ColorsChanged() {
    if (!active_ || running_) return;
    lastValid_ = false;
    ParamChange();
    Settle();
}

void P_component::InstantPreview() {
    if (!active_ || failed_ || !form_ || !form_->InstantPreviewShown() || previewShown_.Empty())
        return;
    std::memcpy(ShmAt(previewDst_), ShmAt(previewSrc_), Bytes(previewSrc_));
    kvc::BlockLayout layout = BlockFor({0, 0, previewSrc_.Width - 1, previewSrc_.Height - 1}, 0, 0);
    layout.Source = previewSrc_;
    layout.Dest = previewDst_;
    if (!Process(layout, KvcRunner::Wait::Limited)) return;
    const std::uint32_t* from = ShmAt(previewDst_);
    for (int y = 0; y < previewDst_.Height; ++y)
        for (int x = 0; x < previewDst_.Width; ++x)
            *previewShown_.At(x, y) = from[y * previewDst_.Width + x] & kRgb;
    form_->ShowPreview(previewShown_);
}

// The result of the area goes into the image; what an earlier run wrote
// elsewhere goes back to the snapshot first.
void P_component::CopyBack(pixkit::Rect area) {
    UDBuffer& image = host_.Image();
    const pixkit::Buffer& snap = host_.Snapshot();
    const pixkit::Rect old = Clip(written_, image.Width(), image.Height());
    if (snap.Width() == image.Width() && snap.Height() == image.Height())
        for (int y = old.Top; y <= old.Bottom; ++y)
            std::memcpy(image.At(old.Left, y), snap.At(old.Left, y),
                        static_cast<std::size_t>(old.Right - old.Left + 1) * 4);
    const std::uint32_t* from = ShmAt(dst_);
    for (int y = area.Top; y <= area.Bottom; ++y) {
        const std::uint32_t* s = from + static_cast<std::ptrdiff_t>(y) * dst_.Width + area.Left;
        pixkit::Pixel* d = image.At(area.Left, y);
        for (int x = area.Left; x <= area.Right; ++x) *d++ = *s++ & kRgb;
    }
    written_ = area;
}

// Every few seconds of a full run the view shows what the component has
// written so far; the image is left alone.
void P_component::ShowPartial() {
    if (!running_ || NowMs() - partialShown_ < Timeouts().PartialMs) return;
    partialShown_ = NowMs();
    partial_.Alloc({dst_.Width, dst_.Height}, reinterpret_cast<pixkit::Pixel*>(ShmAt(dst_)));
    host_.ShowInView(&partial_);
}

// The view shows the image again (before the shared memory moves or the
// image changes).
void P_component::EndPartial() {
    if (partial_.Empty()) return;
    host_.ShowInView(nullptr);
    partial_.Free();
}

bool P_component::Run() {
    if (!active_ || failed_) return false;
    ComponentRecord& rec = Rec();
    if (lastValid_ && rec.Block == lastRun_) return true;
    const pixkit::Rect area = Clip(host_.DrawingRect(), src_.Width, src_.Height);
    if (area.Left > area.Right || area.Top > area.Bottom) return false;
    std::memcpy(ShmAt(dst_), ShmAt(src_), Bytes(src_));
    running_ = true;
    stop_ = false;
    runArea_ = area;
    partialShown_ = NowMs();
    form_->SetRunning(true);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    host_.ProgressStart(area.Bottom - area.Top + 1);
    bool ok;
    {
        RunGuard guard(form_, host_.Window(), [this] {
            stop_ = true;
            runner_.RequestStop();
        });
        ok = Process(BlockFor(area, 0, 1), KvcRunner::Wait::FullRun);
    }
    EndPartial();
    QApplication::restoreOverrideCursor();
    running_ = false;
    form_->SetRunning(false);
    host_.ProgressEnd();
    if (!ok) return false;
    // A stopped run shows and applies nothing of its half-done result.
    if (stop_ || !active_) {
        lastValid_ = false;
        return false;
    }
    CopyBack(Clip(runArea_, dst_.Width, dst_.Height));
    host_.RepaintView();
    lastRun_ = rec.Block;
    lastValid_ = true;
    return true;
}

void P_component::PreviewBtnClick() {
    if (running_) {
        stop_ = true;
        runner_.RequestStop();
        return;
    }
    ++entries_;
    Run();
    --entries_;
    Settle();
}

void P_component::OkBtnClick() {
    if (running_ || !active_) return;
    ++entries_;
    const bool done = Run();
    --entries_;
    if (!done) return Settle();
    ++host_.Image().Changed;
    accepted_ = true;
    host_.ReturnToPreviousTool();
}

void P_component::CancelBtnClick() {
    if (running_ || !active_) return;
    accepted_ = false;
    host_.ReturnToPreviousTool();
}

void P_component::PresetBtnClick() {
    if (running_ || !active_) return;
    notify_ = false;
    form_->SetValues(Rec().Desc.Defaults);
    notify_ = true;
    ParamChange();
    Settle();
}

void P_component::Settle() {
    if (entries_ > 0 || runner_.CallDepth() > 0 || running_) return;
    if (failed_) return ReportFailure();
    const std::uint32_t action = pending_;
    pending_ = 0;
    if (action == KVCH_PREVIEW) PreviewBtnClick();
    if (action == KVCH_OK) OkBtnClick();
    if (action == KVCH_CANCEL) CancelBtnClick();
}

// The component crashed, hung or threw: the user hears of it, the image is
// the one from before, and the tool used before comes back.
void P_component::ReportFailure() {
    const std::string name = current_ >= 0 ? Rec().Desc.Name : std::string();
    const std::string reason = runner_.Failure();
    runner_.Kill(reason);
    accepted_ = false;
    if (active_) {
        active_ = false;
        if (form_) form_->hide();
        host_.CancelToSnapshot();
        host_.ImageResized();
    }
    ShowMessage(Translate(key::ErrKVC) + " " + name + " " + Translate(key::ErrKVC2) + "\n" + reason,
                Translate(key::Err), kExclamation);
    host_.ReturnToPreviousTool();
}

std::int64_t P_component::Resize(int w, int h, kvc::BlockLayout* block, bool* changed) {
    if (w < 1 || h < 1 || std::int64_t(w) * h > kMaxImagePixels) return 0;
    EndPartial();
    UDBuffer& image = host_.Image();
    pixkit::Buffer fresh;
    fresh.Alloc({w, h});
    if (fresh.Empty()) return 0;
    fresh.Box({0, 0, w - 1, h - 1}, 0);
    std::size_t end = std::max(src_.Offset, dst_.Offset) + (Bytes(dst_) + 63) / 64 * 64;
    const kvc::Region src = PlaceRegion(end, w, h), dst = PlaceRegion(end, w, h);
    if (!runner_.Reserve(end)) return 0;
    // The new source: the image from before, at the top left.
    std::memset(ShmAt(src), 0, Bytes(src));
    const pixkit::Buffer& snap = host_.Snapshot();
    for (int y = 0; y < std::min(h, snap.Height()); ++y)
        std::memcpy(ShmAt(src) + static_cast<std::ptrdiff_t>(y) * w, snap.At(snap.Area.Left, y),
                    static_cast<std::size_t>(std::min(w, snap.Width())) * 4);
    std::memcpy(ShmAt(dst), ShmAt(src), Bytes(src));
    src_ = src;
    dst_ = dst;
    static_cast<pixkit::Buffer&>(image) = fresh; // takes the new pixels over
    written_ = {0, 0, -1, -1};
    runArea_ = {0, 0, w - 1, h - 1};
    lastValid_ = false;
    *block = BlockFor(runArea_, 0, running_ ? 1 : 0);
    *changed = true;
    host_.ImageResized();
    return 1;
}

std::int64_t P_component::OnHost(const HostMessage& m, kvc::BlockLayout* block, bool* changed) {
    if (!active_) return 0;
    switch (m.Message) {
    case KVCH_PREVIEW:
    case KVCH_OK:
    case KVCH_CANCEL:
        pending_ = m.Message;
        return 0;
    case KVCH_RESIZE:
        return Resize(static_cast<int>(m.N), static_cast<int>(m.LParam), block, changed);
    case KVCH_SETPARAM: {
        if (!form_) return 0;
        // A component that answers each change with another one ends here.
        if (m.S == 0 && runner_.CallDepth() >= kMaxNesting) {
            LogLine("Component " + Rec().File + ": parameter changes nested too deep.");
            return 0;
        }
        if (form_->SetParam(static_cast<int>(m.N), static_cast<int>(m.S), m.LParam, m.Text, m.Value,
                            m.HasValue))
            ParamChange();
        return 0;
    }
    case KVCH_PROGRESS:
        if (!running_ || runner_.CallDepth() > 1) return 1;
        host_.ProgressStep(static_cast<int>(m.N));
        if (NowMs() - lastPump_ >= kPumpMs) runner_.Pump();
        return stop_ ? 1 : 0;
    case KVCH_PROGRESSMAX:
        if (running_) host_.ProgressStart(static_cast<int>(m.N));
        return 0;
    case KVCH_NOTIFYON:
        notify_ = true;
        return 0;
    case KVCH_NOTIFYOFF:
        notify_ = false;
        return 0;
    default:
        return 0;
    }
}

} // namespace kv
