// Library defaults and the configuration read when the library is loaded.
#include <pixkit/buffer.h>
#include <pixkit/config.h>

#include "ini_file.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace pixkit {

int Buffer::default_x = 256;
int Buffer::default_y = 192;
char Buffer::config_file[260] = {};

int Buffer::GetDefaultX() {
    return default_x;
}
int Buffer::GetDefaultY() {
    return default_y;
}
void Buffer::SetDefaultX(int v) {
    default_x = v;
}
void Buffer::SetDefaultY(int v) {
    default_y = v;
}
const char* Buffer::GetConfigFile() {
    return config_file;
}

namespace {

std::string& FontDirStorage() {
    static std::string dir;
    return dir;
}

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

} // namespace

const std::string& LibraryFontDir() {
    return FontDirStorage();
}

std::string DefaultProfilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && *xdg != '\0')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        base = std::string(home) + "/.config";
    else
        return std::string();
    return base + "/vellumatic/profile.ini";
}

std::string LibraryDir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryDir), &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    char* resolved = realpath(info.dli_fname, nullptr);
    std::string path = resolved != nullptr ? resolved : info.dli_fname;
    std::free(resolved);
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void ReadLibraryConfig(const std::string& profilePath) {
    const std::string config = ReadIniString(profilePath, "QVX", "config", std::string());
    std::strncpy(Buffer::config_file, config.c_str(), sizeof Buffer::config_file - 1);
    Buffer::config_file[sizeof Buffer::config_file - 1] = '\0';

    std::string fonts;
    if (Buffer::config_file[0] != '\0') {
        const std::string file = Buffer::config_file;
        const std::string setup =
            ReadIniString(file, "config", "setup", std::string()).substr(0, 128);
        if (!setup.empty()) {
            const std::string section = setup + ".setup";
            Buffer::default_x = ReadIniInt(file, section, "width", Buffer::default_x);
            Buffer::default_y = ReadIniInt(file, section, "height", Buffer::default_y);
        }
        fonts = WithSlash(ReadIniString(file, "dirs", "fonts", std::string()));
    }
    // Without a configured directory the raster fonts live in the "fonts"
    // folder of the program directory, beside the library.
    if (fonts.empty()) {
        const std::string dir = LibraryDir();
        if (!dir.empty()) fonts = dir + "fonts/";
    }
    FontDirStorage() = fonts;
}

namespace {
// Reads the configuration when the library is attached to a process.
[[maybe_unused]] const bool configRead = (ReadLibraryConfig(DefaultProfilePath()), true);
} // namespace

} // namespace pixkit
