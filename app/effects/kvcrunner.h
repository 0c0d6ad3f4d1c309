// kv's end of a component runner: starts kvcrun by exec (never a fork of
// this threaded program), talks to it over a socket pair, shares a memory
// block for the pixels with it, and ends it when it stops answering. A
// failed runner is dead for good; the next use starts a fresh one.
#pragma once

#include "protocol.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kv {

// How long the runner may take; tests shorten them.
struct RunnerTimeouts {
    int CallMs = 10000;     // a call that is not a full run
    int StopGraceMs = 2000; // a full run after Stop, Escape or close
    int LoadMs = 5000;      // loading one component (the scan)
    int PartialMs = 2000;   // a full run shows its partial result this often
};
RunnerTimeouts& Timeouts();
// The runner program; empty: kvcrun in the program folder.
std::string& RunnerProgramOverride();

// A component's message to kv during one of its calls.
struct HostMessage {
    std::uint32_t Message = 0;
    std::uint32_t N = 0; // low 16 bits of wparam
    std::uint32_t S = 0; // high 16 bits
    std::int64_t LParam = 0;
    std::string Text; // SETPARAM labels
    double Value = 0; // SETPARAM float values
    bool HasValue = false;
};

class KvcRunner {
  public:
    KvcRunner() = default;
    ~KvcRunner();
    KvcRunner(const KvcRunner&) = delete;
    KvcRunner& operator=(const KvcRunner&) = delete;

    struct Loaded {
        std::string Desc;
        std::vector<std::uint8_t> Icon;
    };
    // Starts the runner when needed and loads the component. False with
    // Failure() set when the component cannot be used (the runner then
    // lives on unless it crashed or hung).
    bool Load(const std::string& path, Loaded& out);
    void Unload();

    // The shared block: at least bytes long (its contents are kept).
    bool Reserve(std::size_t bytes);
    std::uint8_t* Shared() { return shm_; }
    std::size_t SharedBytes() const { return shmBytes_; }

    enum class Wait { Limited, FullRun };
    // Calls KVCPROCESS. False when the component failed (crash, kill,
    // exception, timeout): Failure() says why and the runner is gone.
    bool Call(std::uint32_t message, const void* data, std::size_t bytes, Wait wait,
              std::int32_t* result = nullptr);

    // Answers a component's message; set *block (and return true in
    // *changed) when the process block changed. Runs nested calls freely.
    std::function<std::int64_t(const HostMessage&, kvc::BlockLayout* block, bool* changed)> OnHost;
    // Called between waits during a full run (the user interface).
    std::function<void()> Pump;
    // When set, a wait that sees it true ends the runner ("cancelled"): a
    // worker thread that is told to stop need not wait for the time limit.
    const std::atomic<bool>* Cancel = nullptr;
    // Stop, Escape or close during a full run: the run has StopGraceMs left.
    void RequestStop();

    bool Alive() const { return pid_ > 0; }
    const std::string& Failure() const { return failure_; }
    // Ends the runner; reason becomes Failure().
    void Kill(const std::string& reason);
    int CallDepth() const { return depth_; }

  private:
    bool Start();
    bool SendMap();
    bool Await(kvc::Frame& frame, std::int64_t deadline, bool pump);
    void Reap(const char* fallback);
    bool HandleHost(const kvc::Frame& frame);

    pid_t pid_ = -1;
    int socket_ = -1;
    int memfd_ = -1;
    std::uint8_t* shm_ = nullptr;
    std::size_t shmBytes_ = 0;
    std::string failure_;
    std::int64_t stopAt_ = -1; // the time Stop was asked for, -1 none
    std::int64_t hostMs_ = 0;  // time spent answering host messages
    int depth_ = 0;
};

// Milliseconds of the monotonic clock.
std::int64_t NowMs();

} // namespace kv
