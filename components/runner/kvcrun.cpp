// kvcrun: loads one component at a time for kv and calls it. kv starts it
// with exec, one end of a socket pair as descriptor 3 and the pixels in a
// shared memory block that kv hands over. Whatever the component does to
// this process (a fault, an endless loop, an exception, stray writes), kv
// keeps its image: it copies results back only after a normal return, and
// ends this process when it stops answering.
//
// usage: kvcrun --fd N --parent PID
#include "kvc.h"
#include "protocol.h"
#include "tables.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <exception>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using kvc::Op;

using ProcessFn = std::int32_t (*)(void*, std::uint32_t);
using GetDescFn = const char* (*)();

struct Runner {
    int Socket = 3;
    void* Library = nullptr;
    ProcessFn Process = nullptr;
    std::string Desc;
    std::uint8_t* Shm = nullptr;
    std::size_t ShmBytes = 0;
    KVCBLOCK Block{};
    KVCIMAGE Images[10]{};
    std::int32_t SinTab[kvc::kSinEntries]{};
    std::int32_t TanTab[kvc::kTanEntries]{};
};

Runner g;

[[noreturn]] void Lost() {
    _exit(0);
}

void Reply(Op kind, const void* head, std::size_t bytes, const void* extra = nullptr,
           std::size_t extraBytes = 0) {
    if (!kvc::SendFrame(g.Socket, kind, head, bytes, extra, extraBytes)) Lost();
}

void Fail(const std::string& reason) {
    Reply(Op::Failed, reason.data(), reason.size());
}

std::uint32_t* At(const kvc::Region& r) {
    if (r.Offset == kvc::kNoRegion || g.Shm == nullptr) return nullptr;
    const std::uint64_t bytes = std::uint64_t(r.Width) * std::uint64_t(r.Height) * 4;
    if (r.Offset > g.ShmBytes || bytes > g.ShmBytes - r.Offset) return nullptr;
    return reinterpret_cast<std::uint32_t*>(g.Shm + r.Offset);
}

void ApplyBlock(const kvc::BlockLayout& s) {
    KVCBLOCK& b = g.Block;
    b.source = At(s.Source);
    b.dest = At(s.Dest);
    b.width = s.Source.Width;
    b.height = s.Source.Height;
    b.left = s.Left, b.top = s.Top, b.right = s.Right, b.bottom = s.Bottom;
    b.masked = s.Masked;
    b.fullrun = s.FullRun;
    b.drawcolor = s.DrawColor;
    b.backcolor = s.BackColor;
    b.current = s.Current;
    for (int i = 0; i < 10; ++i) {
        g.Images[i].pixels = At(s.Images[i]);
        g.Images[i].width = g.Images[i].pixels ? s.Images[i].Width : 0;
        g.Images[i].height = g.Images[i].pixels ? s.Images[i].Height : 0;
    }
}

void Map(const kvc::Frame& f) {
    kvc::MapHead head;
    if (g.Shm != nullptr) munmap(g.Shm, g.ShmBytes);
    g.Shm = nullptr;
    g.ShmBytes = 0;
    if (f.Head(head) && f.Fd >= 0 && head.Bytes > 0) {
        void* p = mmap(nullptr, head.Bytes, PROT_READ | PROT_WRITE, MAP_SHARED, f.Fd, 0);
        if (p != MAP_FAILED) {
            g.Shm = static_cast<std::uint8_t*>(p);
            g.ShmBytes = head.Bytes;
        }
    }
    if (f.Fd >= 0) close(f.Fd);
    kvc::DoneHead done{g.Shm != nullptr ? 0 : -1};
    Reply(Op::Done, &done, sizeof(done));
}

void Call(const kvc::Frame& f);

// Frames that may come at any time, also while the component waits for an
// answer of kv: a new pixel block and a (nested) call. False for others.
bool Shared(const kvc::Frame& f) {
    if (f.Kind == Op::Map)
        Map(f);
    else if (f.Kind == Op::Call)
        Call(f);
    else
        return false;
    return true;
}

// The component's messages to kv: one Host frame, then frames from kv until
// its answer (kv may call the component again meanwhile).
intptr_t HostProc(void* /*window*/, std::uint32_t message, std::uint32_t wparam, intptr_t lparam) {
    kvc::HostHead head{message, wparam, lparam, kvc::Extra::None};
    std::string extra;
    const unsigned n = wparam & 0xFFFF, s = wparam >> 16;
    if (message == KVCH_SETPARAM && lparam != 0 && n >= 1 && n <= 10) {
        const std::string par = kvc::DescValue(g.Desc, "Par" + std::to_string(n) + "=");
        const bool isFloat = !par.empty() && par[0] == KVCP_FLOAT;
        if (s == 1) {
            head.Kind = kvc::Extra::Text;
            extra = reinterpret_cast<const char*>(lparam);
        } else if (isFloat && s <= 4) {
            head.Kind = kvc::Extra::Double;
            extra.assign(reinterpret_cast<const char*>(lparam), sizeof(double));
        }
    }
    Reply(Op::Host, &head, sizeof(head), extra.data(), extra.size());
    for (;;) {
        kvc::Frame f;
        if (!kvc::RecvFrame(g.Socket, f)) Lost();
        if (f.Kind == Op::HostReply) {
            kvc::HostReplyHead reply;
            if (!f.Head(reply)) Lost();
            if (reply.HasBlock) ApplyBlock(reply.Block);
            return static_cast<intptr_t>(reply.Result);
        }
        if (!Shared(f)) Lost();
    }
}

void Call(const kvc::Frame& f) {
    kvc::CallHead head;
    if (!f.Head(head) || g.Process == nullptr) return Fail("no component is loaded");
    std::string data = f.Tail(sizeof(head));
    void* arg = data.empty() ? nullptr : data.data();
    if (head.Message == KVCM_INIT || head.Message == KVCM_PROCESS) {
        kvc::BlockLayout layout;
        if (data.size() < sizeof(layout)) return Fail("bad call");
        std::memcpy(&layout, data.data(), sizeof(layout));
        ApplyBlock(layout);
        arg = &g.Block;
    }
    try {
        kvc::DoneHead done{g.Process(arg, head.Message)};
        Reply(Op::Done, &done, sizeof(done));
    } catch (const std::exception& e) {
        Fail(std::string("exception: ") + e.what());
    } catch (...) {
        Fail("exception");
    }
}

std::string LoadComponent(const std::string& path, std::string& icon) {
    if (g.Library != nullptr) dlclose(g.Library);
    g.Library = nullptr;
    g.Process = nullptr;
    g.Desc.clear();
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        const char* why = dlerror();
        return why ? why : "cannot be loaded";
    }
    g.Library = lib;
    const auto* abi = static_cast<const std::int32_t*>(dlsym(lib, "KVCABI"));
    if (abi == nullptr) return "no KVCABI export (not built with kvc.h)";
    if (*abi != KVC_ABI)
        return "built for interface " + std::to_string(*abi) + ", not " + std::to_string(KVC_ABI);
    const char* desc = nullptr;
    if (auto* data = static_cast<const char* const*>(dlsym(lib, "KVCDESC")))
        desc = *data;
    else if (auto fn = reinterpret_cast<GetDescFn>(dlsym(lib, "KVCGETDESC")))
        desc = fn();
    if (desc == nullptr) return "no KVCDESC or KVCGETDESC";
    g.Desc.assign(desc, strnlen(desc, kvc::kMaxDescBytes + 1));
    if (g.Desc.size() > kvc::kMaxDescBytes) return "description too long";
    g.Process = reinterpret_cast<ProcessFn>(dlsym(lib, "KVCPROCESS"));
    if (g.Process == nullptr) return "no KVCPROCESS";
    const std::string iconName = kvc::DescValue(g.Desc, KVCD_ICON);
    if (!iconName.empty()) {
        const auto* data =
            static_cast<const KVCICONDATA*>(dlsym(lib, ("KVCICON_" + iconName).c_str()));
        if (data != nullptr && data->bmp != nullptr && data->size <= kvc::kMaxIconBytes)
            icon.assign(reinterpret_cast<const char*>(data->bmp), data->size);
    }
    return {};
}

void Load(const kvc::Frame& f) {
    std::string icon;
    const std::string error = LoadComponent(f.Tail(0), icon);
    kvc::LoadedHead head;
    head.Ok = error.empty() ? 1 : 0;
    if (!head.Ok) {
        g.Process = nullptr;
        head.DescBytes = static_cast<std::uint32_t>(error.size());
        return Reply(Op::Loaded, &head, sizeof(head), error.data(), error.size());
    }
    const std::string body = g.Desc + icon;
    head.DescBytes = static_cast<std::uint32_t>(g.Desc.size());
    head.IconBytes = static_cast<std::uint32_t>(icon.size());
    Reply(Op::Loaded, &head, sizeof(head), body.data(), body.size());
}

// Dies with kv, leaves no core file behind, and only runs as kv's child.
void Harden(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(0);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0);
}

} // namespace

int main(int argc, char** argv) {
    pid_t parent = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--fd") == 0) g.Socket = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--parent") == 0) parent = std::atoi(argv[i + 1]);
    }
    if (parent <= 0) {
        std::fprintf(stderr, "kvcrun is started by kv.\n");
        return 2;
    }
    Harden(parent);
    kvc::MakeAngleTables(g.SinTab, g.TanTab);
    g.Block.sintab = g.SinTab;
    g.Block.costab = g.SinTab + 256;
    g.Block.tantab = g.TanTab;
    g.Block.images = g.Images;
    g.Block.host = HostProc;
    g.Block.window = &g;
    for (;;) {
        kvc::Frame f;
        if (!kvc::RecvFrame(g.Socket, f)) return 0;
        if (f.Kind == Op::Load) {
            Load(f);
        } else if (f.Kind == Op::Unload) {
            if (g.Library != nullptr) dlclose(g.Library);
            g.Library = nullptr;
            g.Process = nullptr;
        } else if (!Shared(f)) {
            return 1;
        }
    }
}
