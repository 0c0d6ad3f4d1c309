#include "effects/acffile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

constexpr std::size_t kValues = kAcfSize / 2;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::array<std::uint8_t, kAcfSize> EncodeAcf(const FilterKernel& kernel) {
    std::array<std::int16_t, kValues> values{};
    for (int i = 0; i < kFilterCells; ++i) values[std::size_t(i)] = kernel.Cells[std::size_t(i)];
    values[kValues - 2] = kernel.Divisor;
    values[kValues - 1] = kernel.Bias;
    std::array<std::uint8_t, kAcfSize> bytes{};
    for (std::size_t i = 0; i < kValues; ++i) {
        const auto v = static_cast<std::uint16_t>(values[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(v >> 8);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(v & 0xFF);
    }
    return bytes;
}

std::optional<FilterKernel> DecodeAcf(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size != kAcfSize) return std::nullopt;
    std::array<std::int16_t, kValues> values{};
    for (std::size_t i = 0; i < kValues; ++i)
        values[i] = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]));
    FilterKernel kernel;
    for (int i = 0; i < kFilterCells; ++i) kernel.Cells[std::size_t(i)] = values[std::size_t(i)];
    kernel.Divisor = values[kValues - 2];
    kernel.Bias = values[kValues - 1];
    if (!kernel.InRange()) return std::nullopt;
    return kernel;
}

std::optional<FilterKernel> ReadAcfFile(const std::string& path) {
    const std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) return std::nullopt;
    // One byte more than a filter file holds tells a longer file apart.
    std::array<std::uint8_t, kAcfSize + 1> bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f.get());
    return DecodeAcf(bytes.data(), got);
}

bool WriteAcfFile(const std::string& path, const FilterKernel& kernel) {
    const std::array<std::uint8_t, kAcfSize> bytes = EncodeAcf(kernel);
    std::string temp = DirectoryOf(path) + "/.acf.XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    const bool written = WriteAll(fd, bytes.data(), bytes.size());
    const bool ok = ::close(fd) == 0 && written && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

} // namespace kv
