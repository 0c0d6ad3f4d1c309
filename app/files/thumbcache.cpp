#include "thumbcache.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

using namespace thumbcache;

namespace {

// Entry field offsets.
constexpr int kFlags = 0, kName = 1, kTime = 260, kSize = 264, kThumbW = 268, kThumbH = 272,
              kImageW = 276, kImageH = 280;
constexpr std::int64_t kLinkOffset = kDirectorySize - 4;

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::int32_t GetInt(const std::uint8_t* e, int at) {
    return static_cast<std::int32_t>(Get32(e + at));
}

bool WriteAll(int fd, const void* data, std::int64_t n, std::int64_t at) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const ssize_t done = ::pwrite(fd, p, std::size_t(n), at);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        p += done, at += done, n -= done;
    }
    return true;
}

// Reads up to n bytes at offset at; what lies past the file's end is zero.
std::int64_t ReadUpTo(int fd, void* data, std::int64_t n, std::int64_t at) {
    auto* p = static_cast<std::uint8_t*>(data);
    std::memset(p, 0, std::size_t(n));
    std::int64_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, p + got, std::size_t(n - got), at + got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += r;
    }
    return got;
}

// The name of an entry when it ends within its field.
const char* EntryName(const std::uint8_t* e) {
    const void* end = std::memchr(e + kName, 0, kNameBytes);
    return end != nullptr && end != e + kName ? reinterpret_cast<const char*>(e + kName) : nullptr;
}

bool Plausible(const std::uint8_t* e) {
    const std::int32_t w = GetInt(e, kThumbW), h = GetInt(e, kThumbH);
    return EntryName(e) != nullptr && w >= 1 && w <= kThumbWidth && h >= 1 && h <= kThumbHeight &&
           GetInt(e, kImageW) >= 1 && GetInt(e, kImageH) >= 1;
}

} // namespace

std::uint32_t ThumbTime(std::int64_t seconds, std::int64_t nanoseconds) {
    return std::uint32_t(seconds) ^ (std::uint32_t(nanoseconds) * 2654435761u);
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

ThumbCache::~ThumbCache() {
    Close();
}

std::int64_t ThumbCache::RecordOffset(int v) {
    return std::int64_t(v / kEntries) * kPageSize + kDirectorySize +
           std::int64_t(v % kEntries) * kRecordSize;
}

bool ThumbCache::Open(const std::string& folder) {
    Close();
    if (::access(folder.c_str(), W_OK) != 0) return false;
    path_ = folder + "/" + kFileName;
    // Not waiting on a FIFO and never writing through a link.
    int fd = ::open(path_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    ReadPages(st.st_size);
    Validate(std::max<std::int64_t>(st.st_size, kDirectorySize));
    return true;
}

void ThumbCache::ReadPages(std::int64_t fileSize) {
    pages_.assign(1, Block(kDirectorySize));
    // A file shorter than one directory block (new or cut) gets a whole one.
    if (ReadUpTo(fd_, pages_[0].data(), kDirectorySize, 0) < kDirectorySize)
        WriteAll(fd_, pages_[0].data(), kDirectorySize, 0);
    // A link is followed only when the file holds the page's directory block,
    // so a link to nowhere ends the chain.
    for (;;) {
        Block& last = pages_.back();
        if (Get32(last.data() + kLinkOffset) == 0) break;
        const std::int64_t at = std::int64_t(pages_.size()) * kPageSize;
        if (at + kDirectorySize > fileSize) {
            Put32(last.data() + kLinkOffset, 0);
            WriteAll(fd_, last.data() + kLinkOffset, 4, at - kPageSize + kLinkOffset);
            break;
        }
        Block next(kDirectorySize);
        ReadUpTo(fd_, next.data(), kDirectorySize, at);
        pages_.push_back(std::move(next));
    }
}

void ThumbCache::Validate(std::int64_t fileSize) {
    names_.clear();
    const int count = PageCount() * kEntries;
    for (int v = 0; v < count; ++v) {
        const std::uint8_t* e = Entry(v);
        if ((e[kFlags] & 1) == 0) continue;
        if (!Plausible(e) || RecordOffset(v) + kRecordSize > fileSize ||
            !names_.emplace(EntryName(e), v).second)
            Free(v);
    }
}

void ThumbCache::Close() {
    if (fd_ < 0) return;
    if (InUse() == 0) ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    pages_.clear();
    names_.clear();
}

int ThumbCache::InUse() const {
    int n = 0;
    for (const Block& b : pages_)
        for (int k = 0; k < kEntries; ++k) n += b[std::size_t(k * kEntrySize)] & 1;
    return n;
}

void ThumbCache::Free(int v) {
    std::uint8_t* e = Entry(v);
    e[kFlags] &= std::uint8_t(~1u);
    if (const char* name = EntryName(e)) {
        const auto it = names_.find(name);
        if (it != names_.end() && it->second == v) names_.erase(it);
    }
    WriteEntry(v);
}

bool ThumbCache::WriteEntry(int v) {
    const std::int64_t at = std::int64_t(v / kEntries) * kPageSize + (v % kEntries) * kEntrySize;
    return WriteAll(fd_, Entry(v), kEntrySize, at);
}

bool ThumbCache::Find(const std::string& name, ThumbStamp stamp, pixkit::Buffer& thumb,
                      pixkit::Pair<int>& imageSize) {
    if (fd_ < 0) return false;
    const auto it = names_.find(LowerAscii(name));
    if (it == names_.end()) return false;
    const int v = it->second;
    const std::uint8_t* e = Entry(v);
    if (Get32(e + kTime) != stamp.Time || Get32(e + kSize) != stamp.Size) {
        Free(v);
        return false;
    }
    std::vector<std::uint8_t> record(kRecordSize);
    if (ReadUpTo(fd_, record.data(), kRecordSize, RecordOffset(v)) < kRecordSize) {
        Free(v);
        return false;
    }
    const int w = GetInt(e, kThumbW), h = GetInt(e, kThumbH);
    thumb.Alloc({w, h});
    if (thumb.Empty()) return false;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = record.data() + std::size_t(y) * kThumbWidth * 3;
        pixkit::Pixel* d = thumb.At(0, y);
        for (int x = 0; x < w; ++x, s += 3)
            d[x] = pixkit::Pixel(s[0]) << 16 | pixkit::Pixel(s[1]) << 8 | s[2];
    }
    imageSize = {GetInt(e, kImageW), GetInt(e, kImageH)};
    return true;
}

int ThumbCache::FreeEntry() {
    const int count = PageCount() * kEntries;
    for (int v = 0; v < count; ++v)
        if ((Entry(v)[kFlags] & 1) == 0) return v;
    return -1;
}

bool ThumbCache::AppendPage() {
    const std::int64_t at = std::int64_t(pages_.size()) * kPageSize;
    Block fresh(kDirectorySize);
    if (!WriteAll(fd_, fresh.data(), kDirectorySize, at)) return false;
    Block& last = pages_.back();
    Put32(last.data() + kLinkOffset, 1);
    if (!WriteAll(fd_, last.data() + kLinkOffset, 4, at - kPageSize + kLinkOffset)) return false;
    pages_.push_back(std::move(fresh));
    return true;
}

// Rewrites the record with the thumbnail in its top-left corner; the pixels
// around it stay as they were.
bool ThumbCache::WriteRecord(int v, const pixkit::Buffer& thumb) {
    std::vector<std::uint8_t> record(kRecordSize);
    const std::int64_t at = RecordOffset(v);
    ReadUpTo(fd_, record.data(), kRecordSize, at);
    for (int y = 0; y < thumb.Height(); ++y) {
        const pixkit::Pixel* s = thumb.At(0, y);
        std::uint8_t* d = record.data() + std::size_t(y) * kThumbWidth * 3;
        for (int x = 0; x < thumb.Width(); ++x, d += 3) {
            d[0] = std::uint8_t(s[x] >> 16);
            d[1] = std::uint8_t(s[x] >> 8);
            d[2] = std::uint8_t(s[x]);
        }
    }
    return WriteAll(fd_, record.data(), kRecordSize, at);
}

void ThumbCache::Store(const std::string& name, ThumbStamp stamp, const pixkit::Buffer& thumb,
                       pixkit::Pair<int> imageSize) {
    const std::string lower = LowerAscii(name);
    if (fd_ < 0 || lower.empty() || lower.size() >= std::size_t(kNameBytes) || thumb.Empty() ||
        thumb.Width() > kThumbWidth || thumb.Height() > kThumbHeight || imageSize.x < 1 ||
        imageSize.y < 1)
        return;
    if (const auto it = names_.find(lower); it != names_.end()) Free(it->second);
    int v = FreeEntry();
    if (v < 0 && AppendPage()) v = FreeEntry();
    if (v < 0 || !WriteRecord(v, thumb)) return;
    std::uint8_t* e = Entry(v);
    std::memset(e, 0, kEntrySize);
    e[kFlags] = 1;
    std::memcpy(e + kName, lower.data(), lower.size());
    Put32(e + kTime, stamp.Time);
    Put32(e + kSize, stamp.Size);
    Put32(e + kThumbW, std::uint32_t(thumb.Width()));
    Put32(e + kThumbH, std::uint32_t(thumb.Height()));
    Put32(e + kImageW, std::uint32_t(imageSize.x));
    Put32(e + kImageH, std::uint32_t(imageSize.y));
    if (WriteEntry(v)) names_[lower] = v;
}

void ThumbCache::DropMissing(const std::function<bool(const std::string& lowerName)>& exists) {
    std::vector<int> gone;
    for (const auto& [name, v] : names_)
        if (!exists(name)) gone.push_back(v);
    for (int v : gone) Free(v);
}

} // namespace kv
