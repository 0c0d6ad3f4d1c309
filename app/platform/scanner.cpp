#include "scanner.h"

#include "dib.h"
#include "log.h"

#include <sane/sane.h>

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <algorithm>
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

} // namespace

std::string ScanDevice::Label() const {
    std::string label = Vendor;
    if (!Model.empty()) label += (label.empty() ? "" : " ") + Model;
    return label.empty() ? Name : label + " (" + Name + ")";
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
    available_ = !ListDevices().empty();
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
    WaitForProbe();
    return ListDevices();
}

std::vector<ScanDevice> Scanner::ListDevices() {
    std::vector<ScanDevice> devices;
    if (!initialised_) return devices;
    const SANE_Device** list = nullptr;
    if (api_->GetDevices(&list, SANE_FALSE) != SANE_STATUS_GOOD || list == nullptr) return devices;
    for (; *list != nullptr; ++list)
        devices.push_back({Text((*list)->name), Text((*list)->vendor), Text((*list)->model),
                           Text((*list)->type)});
    return devices;
}

std::vector<std::uint8_t> Scanner::AcquireDib(const std::function<bool(int)>& progress) {
    WaitForProbe();
    if (!initialised_) throw std::runtime_error("no scanner library");
    std::string device = Source;
    if (device.empty()) {
        const std::vector<ScanDevice> devices = ListDevices();
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
    const std::int64_t expected = p.lines > 0 ? std::int64_t(p.bytes_per_line) * p.lines : 0;
    for (;;) {
        if (progress) {
            const std::int64_t done = std::int64_t(frame.Data.size());
            const int percent =
                expected > 0 ? static_cast<int>(std::min<std::int64_t>(100, done * 100 / expected))
                             : 0;
            // The session's destructor cancels the device.
            if (!progress(percent)) throw ScanCancelled();
        }
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
