#include "progdir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace kv {

namespace {

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// $name if set and absolute, else $HOME/fallback.
std::string XdgDir(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    if (v != nullptr && v[0] == '/') return WithSlash(v);
    const char* home = std::getenv("HOME");
    return WithSlash(std::string(home != nullptr ? home : "") + "/" + fallback);
}

} // namespace

std::string ProgramDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "./";
    return WithSlash(exe.parent_path().string());
}

std::string LogDir(const std::string& programDir) {
    if (::access(programDir.c_str(), W_OK) == 0) return programDir;
    const std::string dir = XdgDir("XDG_STATE_HOME", ".local/state") + "vellumatic/";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::string RecoveryDir() {
    return XdgDir("XDG_STATE_HOME", ".local/state") + "vellumatic/recovery/";
}

std::string ConfigDir() {
    return XdgDir("XDG_CONFIG_HOME", ".config") + "vellumatic/";
}

std::string ShelfDir() {
    return XdgDir("XDG_DATA_HOME", ".local/share") + "vellumatic/shelf/";
}

} // namespace kv
