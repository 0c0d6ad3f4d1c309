#include "palette.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace kv {

const std::array<std::uint32_t, 32> kDefaultFastColors = {
    0x000000, 0x00FFFF, 0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFFFFFF,
    0x888888, 0x008888, 0x000088, 0x880088, 0x008800, 0x888800, 0x880000, 0xAAAAAA,
    0xCCCCCC, 0x00CCCC, 0x0000CC, 0xCC00CC, 0x00CC00, 0xCCCC00, 0xCC0000, 0x444444,
    0xFF8800, 0x88FF00, 0x00FF88, 0x0088FF, 0xFF0088, 0x8800FF, 0xFF88FF, 0x88FFFF};

namespace {

// Read and write for everyone the umask allows, as a plain new file gets.
mode_t DefaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

constexpr PaletteLayout kLayouts[5] = {{8, 2, 28, 28, 0},
                                       {12, 2, 28, 18, 1},
                                       {16, 4, 14, 28, 2},
                                       {24, 4, 14, 18, 3},
                                       {32, 4, 14, 14, 4}};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Palette files are a few hundred bytes; anything past this is ignored.
constexpr std::size_t kMaxPaletteFileBytes = 1 << 16;

} // namespace

PaletteLayout LayoutForRequest(int requested) {
    for (const PaletteLayout& l : kLayouts)
        if (requested <= l.Count) return l;
    return kLayouts[4];
}

PaletteLayout LayoutForIndex(int index) {
    return kLayouts[std::clamp(index, 0, 4)];
}

std::string FastColorHint(std::uint32_t c) {
    char text[32];
    std::snprintf(text, sizeof text, "(%d,%d,%d)", static_cast<int>((c >> 16) & 0xFF),
                  static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF));
    return text;
}

std::vector<std::uint32_t> ResizedPalette(const std::vector<std::uint32_t>& colors, int count) {
    std::vector<std::uint32_t> out(kDefaultFastColors.begin(), kDefaultFastColors.end());
    std::copy_n(colors.begin(), std::min(colors.size(), out.size()), out.begin());
    out.resize(static_cast<std::size_t>(std::clamp(count, 0, 32)));
    return out;
}

bool WritePaletteFile(const std::string& path, const std::vector<std::uint32_t>& colors) {
    // The list goes to a temporary file beside the target, which then
    // replaces it in one rename: a failed write leaves the old file whole.
    namespace fs = std::filesystem;
    std::error_code ec, linkError;
    const fs::path target =
        fs::is_symlink(path, linkError) ? fs::canonical(path, ec) : fs::path(path);
    if (ec) return false;
    std::string temp =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat old {};
    ::fchmod(fd, ::stat(target.c_str(), &old) == 0 ? old.st_mode & 07777 : DefaultFileMode());
    File f(::fdopen(fd, "w"));
    bool ok = f != nullptr && std::fprintf(f.get(), "%d\n", static_cast<int>(colors.size())) > 0;
    for (std::uint32_t c : colors)
        ok = ok && std::fprintf(f.get(), "%06X\n", static_cast<unsigned>(c & 0xFFFFFF)) > 0;
    if (f == nullptr) ::close(fd);
    ok = (f == nullptr || std::fclose(f.release()) == 0) && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

std::optional<PaletteFile> ReadPaletteFile(const std::string& path) {
    File f(std::fopen(path.c_str(), "r"));
    if (!f) return std::nullopt;
    std::string text(kMaxPaletteFileBytes, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f.get()));
    const char* p = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long count = std::strtol(p, &end, 10);
    if (end == p) return std::nullopt;
    PaletteFile out;
    out.Count =
        errno == ERANGE ? (count < 0 ? 0 : 32) : static_cast<int>(std::clamp(count, 0L, 32L));
    const int entries = LayoutForRequest(out.Count).Count;
    for (p = end; static_cast<int>(out.Colors.size()) < entries; p = end) {
        // Only a hexadecimal number counts; a sign or other text ends the list.
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
        if (!std::isxdigit(static_cast<unsigned char>(*p))) break;
        const unsigned long long v = std::strtoull(p, &end, 16);
        out.Colors.push_back(static_cast<std::uint32_t>(v & 0xFFFFFF));
    }
    return out;
}

std::vector<std::uint32_t> ApplyPaletteFile(const std::vector<std::uint32_t>& colors,
                                            const PaletteFile& file) {
    std::vector<std::uint32_t> out = ResizedPalette(colors, LayoutForRequest(file.Count).Count);
    std::copy_n(file.Colors.begin(), std::min(file.Colors.size(), out.size()), out.begin());
    return out;
}

} // namespace kv
