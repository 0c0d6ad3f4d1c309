// Thumbnails of a folder's image files, made on a worker thread: it reads
// each file's stamp, asks the cache, decodes and scales, and hands every
// finished thumbnail to a delivery function (which the browser turns into a
// queued call to its window). The window only writes the visible range and
// forgets thumbnails it dropped; the worker reads the range before every
// file, so scrolling away drops the work still to do. No Qt here.
#pragma once

#include "files/thumbcache.h"

#include <pixkit/buffer.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kv {

// Buffer::Scale's mode for thumbnails: supersampled when reducing.
inline constexpr int kThumbScaleMode = -1;

// A thumbnail's size for a w x h image: scaled by min(120 / w, 90 / h)
// (small images are enlarged), each side truncated and at least 1.
pixkit::Pair<int> ThumbSize(int w, int h);

enum class ThumbResult { Made, Cached, Partial, Failed };

struct Thumb {
    int Index = -1;
    ThumbResult Result = ThumbResult::Failed;
    pixkit::Buffer Picture;            // empty when Failed
    pixkit::Pair<int> ImageSize{0, 0}; // upright, as the image opens
    std::int64_t Bytes = 0;            // the file's size
    std::string Error;                 // why it Failed, when there is more to say
};

// The worker's work for one file: folder/name through the cache (none:
// nullptr) to a thumbnail of the upright image. A file cut short gives the
// thumbnail of what was read (not cached); one that gives no image, or is
// no regular file, Failed. Reports no progress.
void MakeThumbnail(const std::string& folder, const std::string& name, ThumbCache* cache,
                   Thumb& out);

// Makes the calling thread background work: the window's thread and every
// other normal thread go first whenever they need a core.
void MakeBackgroundThread();

struct ThumbJob {
    std::string Name;      // empty: the item is no file (a folder)
    bool Cacheable = true; // false for names another file shares once lower-cased
};

class Thumbnailer {
  public:
    using Deliver = std::function<void(std::shared_ptr<Thumb>)>;
    // Makes the thumbnail of item out.Index on the worker thread; stop turns
    // true when the worker is to end (the render may give up then).
    using Render = std::function<void(Thumb& out, const std::atomic<bool>& stop)>;

    // Starts the worker on folder's items (indices as in the browser's
    // list), with the folder's cache when useCache is set. deliver runs on
    // the worker thread.
    Thumbnailer(std::string folder, std::vector<ThumbJob> items, bool useCache, Deliver deliver);
    // Starts the worker on items whose thumbnails render makes (no files,
    // no cache).
    Thumbnailer(std::vector<ThumbJob> items, Render render, Deliver deliver);
    ~Thumbnailer();
    Thumbnailer(const Thumbnailer&) = delete;
    Thumbnailer& operator=(const Thumbnailer&) = delete;

    // The items first..last are visible (any thread).
    void SetRange(int first, int last);
    // The window dropped item index's thumbnail: made again when visible.
    void Forget(int index);
    // Ends the worker after the file it works on, closing the cache.
    void Stop();

    // Tests: runs on the worker before each decode, with the file's path.
    static std::function<void(const std::string&)>& DecodeHook();

  private:
    void Start();
    void Run();
    int NextIndex();
    void WaitForChange(std::uint32_t seen);
    void Changed();
    void Verify(ThumbCache& cache);

    std::string folder_;
    std::vector<ThumbJob> items_;
    bool useCache_;
    Render render_;
    Deliver deliver_;
    std::unique_ptr<std::atomic<bool>[]> delivered_;
    std::atomic<std::uint64_t> range_{0xFFFFFFFFull}; // first << 32 | last; empty at first
    std::atomic<bool> stop_{false};
    // Counts SetRange, Forget and Stop; the worker sleeps on it. The window
    // never takes a lock the worker holds.
    std::atomic<std::uint32_t> generation_{0};
    std::thread thread_;
};

} // namespace kv
