// The thumbnail cache of a browsed folder, the file "browser.kv": pages of
// 4183556 bytes, each a directory block of 128 entries of 284 bytes and a
// link field, then 128 records of 120 x 90 pixels (3 bytes red, green, blue,
// rows top to bottom). Entry layout (little-endian): flags (bit 0 in use),
// the lower-cased file name zero-terminated in bytes 1..259, time, file
// size, thumbnail width and height, image width and height (4 bytes each).
//
// The file is opened without following links, only when it is a regular
// file, and under an exclusive lock: a second browser of the same folder
// goes without a cache. Every change is written at once, so a program that
// stops half-way leaves a consistent file. No Qt here: the worker thread
// owns the cache.
#pragma once

#include <pixkit/buffer.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kv {

inline constexpr int kThumbWidth = 120;
inline constexpr int kThumbHeight = 90;

namespace thumbcache {
inline constexpr std::int64_t kEntrySize = 284;
inline constexpr int kEntries = 128;
inline constexpr std::int64_t kDirectorySize = kEntries * kEntrySize + 4;          // 36356
inline constexpr std::int64_t kRecordSize = kThumbWidth * kThumbHeight * 3;        // 32400
inline constexpr std::int64_t kPageSize = kDirectorySize + kEntries * kRecordSize; // 4183556
inline constexpr int kNameBytes = 259;
inline constexpr char kFileName[] = "browser.kv";
} // namespace thumbcache

// What the cache knows of a file besides its thumbnail.
struct ThumbStamp {
    std::uint32_t Time = 0; // ThumbTime of the file
    std::uint32_t Size = 0; // file size in bytes (the low 32 bits)
};

// The 32-bit time stamp kept for a file: its modification time's seconds
// and nanoseconds mixed, so a rewrite within the same second still counts
// as a change.
std::uint32_t ThumbTime(std::int64_t seconds, std::int64_t nanoseconds);

// ASCII capitals to small letters; other bytes stay.
std::string LowerAscii(std::string s);

class ThumbCache {
  public:
    ThumbCache() = default;
    ~ThumbCache();
    ThumbCache(const ThumbCache&) = delete;
    ThumbCache& operator=(const ThumbCache&) = delete;

    // Opens or creates folder/browser.kv; false (and no cache) when the
    // folder is not writable, the name is a link or no regular file, or
    // another browser holds the lock. Entries with impossible sizes,
    // unterminated names, records past the file's end or a name seen
    // before are freed.
    bool Open(const std::string& folder);
    bool IsOpen() const { return fd_ >= 0; }
    // Frees the lock; removes the file when no entry is in use.
    void Close();

    // The thumbnail of name (as listed; looked up lower-cased) when the
    // cache holds one with the same stamp: thumb gets its pixels and
    // imageSize the image's size. An entry whose stamp differs is freed.
    bool Find(const std::string& name, ThumbStamp stamp, pixkit::Buffer& thumb,
              pixkit::Pair<int>& imageSize);
    // Keeps thumb (at most 120 x 90) for name in the first free entry,
    // replacing the entry of that name; appends a page when all are in use.
    void Store(const std::string& name, ThumbStamp stamp, const pixkit::Buffer& thumb,
               pixkit::Pair<int> imageSize);
    // Frees every entry whose name (lower-cased) exists() denies.
    void DropMissing(const std::function<bool(const std::string& lowerName)>& exists);

    int PageCount() const { return static_cast<int>(pages_.size()); }
    int InUse() const;

  private:
    using Block = std::vector<std::uint8_t>;
    std::uint8_t* Entry(int v) {
        return pages_[std::size_t(v / thumbcache::kEntries)].data() +
               (v % thumbcache::kEntries) * thumbcache::kEntrySize;
    }
    static std::int64_t RecordOffset(int v);
    void ReadPages(std::int64_t fileSize);
    void Validate(std::int64_t fileSize);
    void Free(int v);
    bool WriteEntry(int v);
    int FreeEntry();
    bool AppendPage();
    bool WriteRecord(int v, const pixkit::Buffer& thumb);

    int fd_ = -1;
    std::string path_;
    std::vector<Block> pages_;                   // directory blocks
    std::unordered_map<std::string, int> names_; // lower-cased name -> entry
};

} // namespace kv
