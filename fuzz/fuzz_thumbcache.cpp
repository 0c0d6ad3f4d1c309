// The browser's thumbnail cache on arbitrary bytes: opening, looking up
// every name the file holds, storing, freeing and closing never crash, and
// every thumbnail the cache gives is within 120 x 90.
#include "files/thumbcache.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string Folder() {
    static const std::string folder = [] {
        char name[] = "/tmp/fuzz_thumbcache.XXXXXX";
        return std::string(::mkdtemp(name) != nullptr ? name : "/tmp");
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string folder = Folder();
    const std::string file = folder + "/" + kv::thumbcache::kFileName;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return 0;
    const bool written = ::write(fd, data, size) == static_cast<ssize_t>(size);
    ::close(fd);
    if (!written) return 0;

    kv::ThumbCache cache;
    if (!cache.Open(folder)) std::abort();
    for (std::size_t at = 1; at + 1 < size && at < 128 * kv::thumbcache::kEntrySize;
         at += kv::thumbcache::kEntrySize) {
        const std::size_t n = strnlen(reinterpret_cast<const char*>(data + at), size - at);
        const std::string name(reinterpret_cast<const char*>(data + at), n);
        pixkit::Buffer thumb;
        pixkit::Pair<int> image{};
        std::uint32_t stamp[2] = {};
        if (at + 263 + 8 <= size) std::memcpy(stamp, data + at + 259, 8);
        if (cache.Find(name, {stamp[0], stamp[1]}, thumb, image) &&
            (thumb.Width() < 1 || thumb.Width() > kv::kThumbWidth || thumb.Height() < 1 ||
             thumb.Height() > kv::kThumbHeight || image.x < 1 || image.y < 1))
            std::abort();
    }
    pixkit::Buffer small;
    small.Alloc({3, 2});
    small.Box(small.Area, 0x123456);
    cache.Store("fuzz.bmp", {1, 2}, small, {30, 20});
    pixkit::Buffer back;
    pixkit::Pair<int> image{};
    if (!cache.Find("FUZZ.bmp", {1, 2}, back, image) || back.Width() != 3) std::abort();
    cache.DropMissing([](const std::string& name) { return name.size() % 2 == 0; });
    cache.Close();
    ::unlink(file.c_str());
    return 0;
}
