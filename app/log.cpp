#include "log.h"

#include <chrono>
#include <cstdio>

namespace kv {

namespace {

struct LogState {
    bool On = false; // the log switch
    std::string Path;
    std::chrono::steady_clock::time_point Start;
};

LogState& State() {
    static LogState state;
    return state;
}

} // namespace

void StartLog(const std::string& path) {
    LogState& s = State();
    s.On = true;
    s.Path = path;
    std::remove(path.c_str());
    s.Start = std::chrono::steady_clock::now();
    LogLine("Program started.");
}

void StopLog() {
    State().On = false;
}

bool LogEnabled() {
    return State().On;
}

const std::string& LogPath() {
    return State().Path;
}

std::string FormatLogLine(double seconds, const std::string& message) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%06.2f] ", seconds);
    return stamp + message + "\n";
}

void LogLine(const std::string& message) {
    const LogState& s = State();
    if (!s.On) return;
    // Whole milliseconds, as the tick counter gives them.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - s.Start)
                        .count();
    std::FILE* f = std::fopen(s.Path.c_str(), "a");
    if (f == nullptr) return;
    const std::string line = FormatLogLine(static_cast<double>(ms) * 0.001, message);
    std::fputs(line.c_str(), f);
    std::fclose(f);
}

} // namespace kv
