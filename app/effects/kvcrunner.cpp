#include "effects/kvcrunner.h"

#include "kvc.h"
#include "log.h"
#include "progdir.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kv {

namespace {

constexpr int kPumpSliceMs = 20;
constexpr std::int64_t kForever = INT64_MAX;

} // namespace

RunnerTimeouts& Timeouts() {
    static RunnerTimeouts t;
    return t;
}

std::string& RunnerProgramOverride() {
    static std::string path;
    return path;
}

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

KvcRunner::~KvcRunner() {
    Kill({});
    if (shm_ != nullptr) munmap(shm_, shmBytes_);
    if (memfd_ >= 0) close(memfd_);
}

bool KvcRunner::Start() {
    if (pid_ > 0) return true;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        failure_ = std::string("no socket: ") + std::strerror(errno);
        return false;
    }
    const std::string program =
        RunnerProgramOverride().empty() ? ProgramDir() + "kvcrun" : RunnerProgramOverride();
    const std::string parent = std::to_string(getpid());
    const char* argv[] = {program.c_str(), "--fd", "3", "--parent", parent.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 onto 3 clears close-on-exec for the runner's end only.
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr,
                               const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pair[1]);
    if (rc != 0) {
        close(pair[0]);
        failure_ = program + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;
    socket_ = pair[0];
    return shm_ == nullptr || SendMap();
}

void KvcRunner::Kill(const std::string& reason) {
    if (!reason.empty()) failure_ = reason;
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    close(socket_);
    socket_ = -1;
}

// The runner closed its end: it ended, most likely by a signal.
void KvcRunner::Reap(const char* fallback) {
    int status = 0;
    std::string reason = fallback;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
        if (WIFSIGNALED(status))
            reason = "killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
                     strsignal(WTERMSIG(status)) + ")";
        else if (WIFEXITED(status))
            reason = "ended with exit status " + std::to_string(WEXITSTATUS(status));
    }
    pid_ = -1;
    Kill(reason);
}

void KvcRunner::RequestStop() {
    if (stopAt_ < 0) stopAt_ = NowMs();
}

// Waits for the next frame until deadline (ms; kForever for none). A full
// run pumps the user interface meanwhile and obeys the stop grace.
bool KvcRunner::Await(kvc::Frame& frame, std::int64_t deadline, bool pump) {
    for (;;) {
        std::int64_t limit = deadline;
        if (pump && stopAt_ >= 0) limit = std::min(limit, stopAt_ + Timeouts().StopGraceMs);
        const std::int64_t now = NowMs();
        if (Cancel != nullptr && Cancel->load()) {
            Kill("cancelled");
            return false;
        }
        if (now >= limit) {
            const bool stopped = pump && stopAt_ >= 0;
            Kill(stopped ? "did not stop within " + std::to_string(Timeouts().StopGraceMs) + " ms"
                         : "did not answer within " + std::to_string(Timeouts().CallMs) + " ms");
            return false;
        }
        const std::int64_t wait =
            pump || Cancel != nullptr ? kPumpSliceMs : std::min<std::int64_t>(limit - now, 1000);
        pollfd p{socket_, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(wait));
        if (ready > 0) {
            if (kvc::RecvFrame(socket_, frame)) return true;
            Reap("the runner closed the connection");
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            Kill(std::string("poll: ") + std::strerror(errno));
            return false;
        }
        if (pump && Pump) Pump();
    }
}

bool KvcRunner::Load(const std::string& path, Loaded& out) {
    failure_.clear();
    if (!Start()) return false;
    if (!kvc::SendFrame(socket_, kvc::Op::Load, path.data(), path.size())) {
        Reap("the runner closed the connection");
        return false;
    }
    kvc::Frame f;
    const std::int64_t deadline = NowMs() + Timeouts().LoadMs;
    for (;;) {
        if (!Await(f, deadline, false)) {
            if (failure_.rfind("did not answer", 0) == 0)
                failure_ = "did not load within " + std::to_string(Timeouts().LoadMs) + " ms";
            return false;
        }
        if (f.Kind == kvc::Op::Loaded) break;
        // A component calling its host while it loads gets nothing.
        kvc::HostReplyHead none;
        if (f.Kind != kvc::Op::Host ||
            !kvc::SendFrame(socket_, kvc::Op::HostReply, &none, sizeof(none))) {
            Kill("the runner answered out of turn");
            return false;
        }
    }
    kvc::LoadedHead head;
    if (!f.Head(head) || sizeof(head) + head.DescBytes + head.IconBytes > f.Data.size()) {
        Kill("the runner answered out of turn");
        return false;
    }
    const std::string body = f.Tail(sizeof(head));
    if (!head.Ok) {
        failure_ = body;
        return false;
    }
    out.Desc = body.substr(0, head.DescBytes);
    out.Icon.assign(body.begin() + head.DescBytes, body.begin() + head.DescBytes + head.IconBytes);
    return true;
}

void KvcRunner::Unload() {
    if (pid_ > 0) kvc::SendFrame(socket_, kvc::Op::Unload, nullptr, 0);
}

bool KvcRunner::Reserve(std::size_t bytes) {
    if (bytes <= shmBytes_ && shm_ != nullptr) return true;
    if (memfd_ < 0) memfd_ = memfd_create("kvc-pixels", MFD_CLOEXEC);
    if (memfd_ < 0 || ftruncate(memfd_, static_cast<off_t>(bytes)) != 0) return false;
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, memfd_, 0);
    if (p == MAP_FAILED) return false;
    if (shm_ != nullptr) munmap(shm_, shmBytes_);
    shm_ = static_cast<std::uint8_t*>(p);
    shmBytes_ = bytes;
    return pid_ <= 0 || SendMap();
}

// The runner maps the block anew (it may be in a call: it answers at once).
bool KvcRunner::SendMap() {
    kvc::MapHead head{shmBytes_};
    if (!kvc::SendFrame(socket_, kvc::Op::Map, &head, sizeof(head), nullptr, 0, memfd_)) {
        Reap("the runner closed the connection");
        return false;
    }
    kvc::Frame f;
    kvc::DoneHead done;
    if (!Await(f, NowMs() + Timeouts().CallMs, false)) return false;
    if (f.Kind != kvc::Op::Done || !f.Head(done) || done.Result != 0) {
        Kill("the runner cannot map the pixels");
        return false;
    }
    return true;
}

bool KvcRunner::HandleHost(const kvc::Frame& f) {
    kvc::HostHead head;
    if (!f.Head(head)) return false;
    HostMessage m;
    m.Message = head.Message;
    m.N = head.WParam & 0xFFFF;
    m.S = head.WParam >> 16;
    m.LParam = head.LParam;
    const std::string extra = f.Tail(sizeof(head));
    if (head.Kind == kvc::Extra::Text) m.Text = extra;
    if (head.Kind == kvc::Extra::Double && extra.size() == sizeof(double)) {
        std::memcpy(&m.Value, extra.data(), sizeof(double));
        m.HasValue = true;
    }
    kvc::HostReplyHead reply;
    bool changed = false;
    const std::int64_t started = NowMs();
    if (OnHost) reply.Result = OnHost(m, &reply.Block, &changed);
    hostMs_ += NowMs() - started;
    reply.HasBlock = changed ? 1 : 0;
    if (pid_ <= 0) return false; // a nested call failed
    if (!kvc::SendFrame(socket_, kvc::Op::HostReply, &reply, sizeof(reply))) {
        Reap("the runner closed the connection");
        return false;
    }
    return true;
}

bool KvcRunner::Call(std::uint32_t message, const void* data, std::size_t bytes, Wait wait,
                     std::int32_t* result) {
    if (pid_ <= 0) {
        failure_ = "the component is not loaded";
        return false;
    }
    kvc::CallHead head{message, static_cast<std::uint32_t>(bytes)};
    if (!kvc::SendFrame(socket_, kvc::Op::Call, &head, sizeof(head), data, bytes)) {
        Reap("the runner closed the connection");
        return false;
    }
    const bool full = wait == Wait::FullRun;
    if (full && depth_ == 0) stopAt_ = -1;
    ++depth_;
    const std::int64_t started = NowMs();
    const std::int64_t hostBefore = hostMs_;
    bool ok = false;
    for (;;) {
        const std::int64_t deadline =
            full ? kForever : started + Timeouts().CallMs + (hostMs_ - hostBefore);
        kvc::Frame f;
        if (!Await(f, deadline, full)) break;
        if (f.Kind == kvc::Op::Host) {
            if (!HandleHost(f)) break;
            continue;
        }
        kvc::DoneHead done;
        if (f.Kind == kvc::Op::Done && f.Head(done)) {
            if (result != nullptr) *result = done.Result;
            ok = true;
        } else {
            Kill(f.Kind == kvc::Op::Failed ? f.Tail(0) : "the runner answered out of turn");
        }
        break;
    }
    --depth_;
    return ok;
}

} // namespace kv
