#include "scanner.h"

#include "dib.h"
#include "log.h"

#include <sane/sane.h>

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <cstring>
#include <dlfcn.h>
#include <stdexcept>

namespace kv {

// The entry points of the library, looked up by name. The library is
// closed again after sane_exit, so that the next Scanner reads the
// configuration afresh (the library keeps its configuration paths).
struct Scanner::Api {
    void* Handle = nullptr;
    SANE_Status (*Init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
    void (*Exit)() = nullptr;
    SANE_Status (*GetDevices)(const SANE_Device***, SANE_Bool) = nullptr;
    SANE_Status (*Open)(SANE_String_Const, SANE_Handle*) = nullptr;
    void (*Close)(SANE_Handle) = nullptr;
    SANE_Status (*Start)(SANE_Handle) = nullptr;
    SANE_Status (*GetParameters)(SANE_Handle, SANE_Parameters*) = nullptr;
    SANE_Status (*Read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
    void (*Cancel)(SANE_Handle) = nullptr;
    SANE_String_Const (*StrStatus)(SANE_Status) = nullptr;

    template <typename F> bool Bind(F& f, const char* name) {
        f = reinterpret_cast<F>(::dlsym(Handle, name));
        return f != nullptr;
    }
    bool Load(const std::string& library) {
        Handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (Handle == nullptr) return false;
        return Bind(Init, "sane_init") && Bind(Exit, "sane_exit") &&
               Bind(GetDevices, "sane_get_devices") && Bind(Open, "sane_open") &&
               Bind(Close, "sane_close") && Bind(Start, "sane_start") &&
               Bind(GetParameters, "sane_get_parameters") && Bind(Read, "sane_read") &&
               Bind(Cancel, "sane_cancel") && Bind(StrStatus, "sane_strstatus");
    }
    ~Api() {
        if (Handle != nullptr) ::dlclose(Handle);
    }
};

namespace {

constexpr std::int64_t kMaxScanPixels = std::int64_t(1) << 28;

std::string Text(const char* s) {
    return s == nullptr ? std::string() : std::string(s);
}

void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    Put16(v, at, x);
    Put16(v, at + 2, x >> 16);
}

// The high byte of a 16-bit sample in native order.
std::uint8_t High(const std::uint8_t* p) {
    std::uint16_t s;
    std::memcpy(&s, p, 2);
    return static_cast<std::uint8_t>(s >> 8);
}

// One DIB row (bits bits per pixel) from one frame row.
void ConvertRow(const ScanFrame& f, const std::uint8_t* src, std::uint8_t* dst) {
    const int step = f.Depth / 8;
    if (f.Depth == 1) {
        std::memcpy(dst, src, static_cast<std::size_t>((f.Width + 7) / 8));
    } else if (f.Grey) {
        for (int x = 0; x < f.Width; ++x) dst[x] = step == 2 ? High(src + 2 * x) : src[x];
    } else {
        for (int x = 0; x < f.Width; ++x) {
            const std::uint8_t* s = src + 3 * step * x;
            for (int c = 0; c < 3; ++c) dst[3 * x + 2 - c] = step == 2 ? High(s + 2 * c) : s[c];
        }
    }
}

} // namespace

std::string ScanDevice::Label() const {
    std::string label = Vendor;
    if (!Model.empty()) label += (label.empty() ? "" : " ") + Model;
    return label.empty() ? Name : label + " (" + Name + ")";
}

std::vector<std::uint8_t> DibFromScanFrame(const ScanFrame& f) {
    const bool layoutOk =
        f.Grey ? (f.Depth == 1 || f.Depth == 8 || f.Depth == 16) : (f.Depth == 8 || f.Depth == 16);
    if (!layoutOk) throw std::runtime_error("unsupported frame layout");
    if (f.Width < 1 || f.Lines < 1 || std::int64_t(f.Width) * f.Lines > kMaxScanPixels)
        throw std::runtime_error("unsupported frame size");
    const std::int64_t needed = std::int64_t(f.Width) * (f.Grey ? 1 : 3) * f.Depth / 8;
    if (f.BytesPerLine < (f.Depth == 1 ? (f.Width + 7) / 8 : needed) ||
        std::int64_t(f.Data.size()) < std::int64_t(f.BytesPerLine) * f.Lines)
        throw std::runtime_error("short frame");

    const int bits = f.Depth == 1 ? 1 : f.Grey ? 8 : 24;
    const std::size_t colours = f.Depth == 1 ? 2 : f.Grey ? 256 : 0;
    const std::size_t stride = (std::size_t(f.Width) * bits + 31) / 32 * 4;
    const std::size_t offset = kDibHeaderSize + colours * 4;
    std::vector<std::uint8_t> dib(offset + stride * std::size_t(f.Lines));
    Put32(dib, 0, kDibHeaderSize);
    Put32(dib, 4, static_cast<std::uint32_t>(f.Width));
    Put32(dib, 8, static_cast<std::uint32_t>(f.Lines));
    Put16(dib, 12, 1);
    Put16(dib, 14, static_cast<std::uint32_t>(bits));
    Put32(dib, 20, static_cast<std::uint32_t>(stride * std::size_t(f.Lines)));
    Put32(dib, 32, static_cast<std::uint32_t>(colours));
    // Line art: a set bit is black. Grey: a ramp.
    for (std::size_t i = 0; i < colours; ++i) {
        const std::uint32_t v =
            f.Depth == 1 ? (i == 0 ? 0xFFu : 0u) : static_cast<std::uint32_t>(i);
        Put32(dib, kDibHeaderSize + 4 * i, v | v << 8 | v << 16);
    }
    for (int y = 0; y < f.Lines; ++y)
        ConvertRow(f, f.Data.data() + std::size_t(y) * std::size_t(f.BytesPerLine),
                   dib.data() + offset + std::size_t(f.Lines - 1 - y) * stride);
    return dib;
}

Scanner::Scanner(std::string library) : library_(std::move(library)) {}

Scanner::~Scanner() {
    WaitForProbe();
    if (initialised_) api_->Exit();
}

void Scanner::WaitForProbe() {
    if (probe_.joinable()) probe_.join();
}

bool Scanner::Probe() {
    if (!initialised_) {
        auto api = std::make_unique<Api>();
        if (!api->Load(library_)) return false;
        SANE_Int version = 0;
        if (api->Init(&version, nullptr) != SANE_STATUS_GOOD) return false;
        api_ = std::move(api);
        initialised_ = true;
    }
    available_ = !Devices().empty();
    return available_;
}

void Scanner::ProbeAsync(QObject* context, std::function<void(bool)> done) {
    WaitForProbe();
    QPointer<QObject> guard(context);
    probe_ = std::thread([this, guard, done = std::move(done)] {
        const bool ok = Probe();
        if (guard)
            QMetaObject::invokeMethod(
                guard.data(),
                [this, done, ok] {
                    done(ok);
                    probed_ = true;
                },
                Qt::QueuedConnection);
    });
}

std::vector<ScanDevice> Scanner::Devices() {
    std::vector<ScanDevice> devices;
    if (!initialised_) return devices;
    const SANE_Device** list = nullptr;
    if (api_->GetDevices(&list, SANE_FALSE) != SANE_STATUS_GOOD || list == nullptr) return devices;
    for (; *list != nullptr; ++list)
        devices.push_back({Text((*list)->name), Text((*list)->vendor), Text((*list)->model),
                           Text((*list)->type)});
    return devices;
}

std::vector<std::uint8_t> Scanner::AcquireDib() {
    WaitForProbe();
    if (!initialised_) throw std::runtime_error("no scanner library");
    std::string device = Source;
    if (device.empty()) {
        const std::vector<ScanDevice> devices = Devices();
        if (devices.empty()) throw std::runtime_error("no scanner");
        device = devices.front().Name;
    }
    SANE_Handle handle = nullptr;
    SANE_Status status = api_->Open(device.c_str(), &handle);
    if (status != SANE_STATUS_GOOD) throw std::runtime_error(Text(api_->StrStatus(status)));
    // The device is cancelled and closed however the reading ends.
    struct Session {
        Api& A;
        SANE_Handle H;
        ~Session() {
            A.Cancel(H);
            A.Close(H);
        }
    } session{*api_, handle};

    if ((status = api_->Start(handle)) != SANE_STATUS_GOOD)
        throw std::runtime_error(Text(api_->StrStatus(status)));
    SANE_Parameters p{};
    if ((status = api_->GetParameters(handle, &p)) != SANE_STATUS_GOOD)
        throw std::runtime_error(Text(api_->StrStatus(status)));
    if ((p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB) || !p.last_frame)
        throw std::runtime_error("only single-frame grey and colour scans are read");
    if (p.bytes_per_line < 1 || p.pixels_per_line < 1) throw std::runtime_error("empty frame");
    if (p.lines > 0 && std::int64_t(p.pixels_per_line) * p.lines > kMaxScanPixels)
        throw std::runtime_error("frame too large");

    ScanFrame frame{
        p.format == SANE_FRAME_GRAY, p.depth, p.pixels_per_line, p.lines, p.bytes_per_line, {}};
    std::vector<SANE_Byte> chunk(65536);
    for (;;) {
        SANE_Int got = 0;
        status = api_->Read(handle, chunk.data(), static_cast<SANE_Int>(chunk.size()), &got);
        if (status == SANE_STATUS_EOF) break;
        if (status != SANE_STATUS_GOOD) throw std::runtime_error(Text(api_->StrStatus(status)));
        frame.Data.insert(frame.Data.end(), chunk.begin(), chunk.begin() + got);
        if (std::int64_t(frame.Data.size()) > kMaxScanPixels * 6)
            throw std::runtime_error("frame too large");
    }
    // Hand scanners do not know the number of lines in advance.
    if (frame.Lines <= 0)
        frame.Lines = static_cast<int>(frame.Data.size() / std::size_t(p.bytes_per_line));
    LogLine("Scanned " + std::to_string(frame.Width) + " x " + std::to_string(frame.Lines) +
            " pixels from " + device + ".");
    return DibFromScanFrame(frame);
}

} // namespace kv
