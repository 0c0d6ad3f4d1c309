#include "thumbnailer.h"

#include <pixkit/gfxfile.h>
#include <pixkit/threads.h>

#include <algorithm>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>

namespace kv {

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// How the file asks its image to be turned (1..8), 1 when it does not say.
int OrientationOf(const std::string& path) {
    try {
        pixkit::GFXFileDesc d;
        if (pixkit::GFXFile::Test(path, &d)) return d.Orientation;
    } catch (const std::exception&) {
        // Read before and gone now: shown as stored.
    }
    return 1;
}

pixkit::Pair<int> Swapped(pixkit::Pair<int> p) {
    return {p.y, p.x};
}

} // namespace

pixkit::Pair<int> ThumbSize(int w, int h) {
    if (w < 1 || h < 1) return {1, 1};
    const double s = std::min(double(kThumbWidth) / w, double(kThumbHeight) / h);
    return {std::max(1, static_cast<int>(w * s)), std::max(1, static_cast<int>(h * s))};
}

void MakeThumbnail(const std::string& folder, const std::string& name, ThumbCache* cache,
                   Thumb& out) {
    out.Result = ThumbResult::Failed;
    const std::string path = Join(folder, name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    out.Bytes = st.st_size;
    const ThumbStamp stamp{ThumbTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec),
                           std::uint32_t(st.st_size)};
    if (cache != nullptr && cache->Find(name, stamp, out.Picture, out.ImageSize)) {
        out.Result = ThumbResult::Cached;
        return;
    }
    pixkit::QuietProgress quiet;
    pixkit::Buffer image;
    pixkit::Pair<int> full{0, 0};
    pixkit::GFXtra32 extra{0, 0, 0, 0xFFFFFF, 1};
    bool partial = false;
    try {
        pixkit::GFXFile::LoadReduced(image, path, &extra, {kThumbWidth, kThumbHeight}, &full);
    } catch (const std::exception&) {
        partial = true; // whatever was decoded before the error still shows
    }
    if (image.Empty() || full.x < 1 || full.y < 1) return;
    // The thumbnail shows the image upright, as opening it does; turning
    // the small picture is cheaper than turning the image.
    const int turn = OrientationOf(path);
    const bool across = turn >= 5 && turn <= 8;
    const pixkit::Pair<int> upright = across ? Swapped(full) : full;
    const pixkit::Pair<int> size = ThumbSize(upright.x, upright.y);
    out.Picture.Alloc(across ? Swapped(size) : size);
    if (out.Picture.Empty()) return;
    out.Picture.Scale(image, across ? Swapped(size) : size, {0, 0}, pixkit::NoKey, kThumbScaleMode);
    try {
        pixkit::ApplyOrientation(out.Picture, turn);
    } catch (const std::exception&) {
        return; // no memory for the turned copy
    }
    out.ImageSize = upright;
    out.Result = partial ? ThumbResult::Partial : ThumbResult::Made;
    if (!partial && cache != nullptr) cache->Store(name, stamp, out.Picture, upright);
}

Thumbnailer::Thumbnailer(std::string folder, std::vector<ThumbJob> items, bool useCache,
                         Deliver deliver)
    : folder_(std::move(folder)), items_(std::move(items)), useCache_(useCache),
      deliver_(std::move(deliver)), delivered_(new std::atomic<bool>[items_.size()]) {
    Start();
}

Thumbnailer::Thumbnailer(std::vector<ThumbJob> items, Render render, Deliver deliver)
    : items_(std::move(items)), useCache_(false), render_(std::move(render)),
      deliver_(std::move(deliver)), delivered_(new std::atomic<bool>[items_.size()]) {
    Start();
}

void Thumbnailer::Start() {
    for (std::size_t i = 0; i < items_.size(); ++i) delivered_[i] = false;
    thread_ = std::thread([this] { Run(); });
}

Thumbnailer::~Thumbnailer() {
    Stop();
}

std::function<void(const std::string&)>& Thumbnailer::DecodeHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

void Thumbnailer::Changed() {
    generation_.fetch_add(1);
    generation_.notify_one();
}

void Thumbnailer::SetRange(int first, int last) {
    range_ = std::uint64_t(std::uint32_t(first)) << 32 | std::uint32_t(last);
    Changed();
}

void Thumbnailer::Forget(int index) {
    if (index < 0 || std::size_t(index) >= items_.size()) return;
    delivered_[std::size_t(index)] = false;
    Changed();
}

void Thumbnailer::Stop() {
    stop_ = true;
    Changed();
    if (thread_.joinable()) thread_.join();
}

// The first visible file without a thumbnail, -1 when there is none.
int Thumbnailer::NextIndex() {
    const std::uint64_t r = range_;
    const int count = static_cast<int>(items_.size());
    const int first = std::max(0, static_cast<int>(std::uint32_t(r >> 32)));
    const int last = std::min(count - 1, static_cast<int>(std::uint32_t(r)));
    for (int i = first; i <= last; ++i)
        if (!items_[std::size_t(i)].Name.empty() && !delivered_[std::size_t(i)]) return i;
    return -1;
}

void Thumbnailer::WaitForChange(std::uint32_t seen) {
    while (!stop_ && generation_.load() == seen) generation_.wait(seen);
}

// Entries of files that left the folder are freed once per opening.
void Thumbnailer::Verify(ThumbCache& cache) {
    std::unordered_set<std::string> names;
    for (const ThumbJob& job : items_)
        if (!job.Name.empty()) names.insert(LowerAscii(job.Name));
    cache.DropMissing([&](const std::string& lower) { return names.count(lower) != 0; });
}

void MakeBackgroundThread() {
    // Nice 10 weighs the thread at about a tenth of a normal one: the window
    // wins the core whenever it wakes, and the thumbnails still get on when
    // other programs keep the machine busy (the idle class would stop them).
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
    pixkit::SetThisThreadCount(1);
}

void Thumbnailer::Run() {
    MakeBackgroundThread();
    ThumbCache cache;
    const bool cached = useCache_ && cache.Open(folder_);
    bool verified = false;
    while (!stop_) {
        const std::uint32_t seen = generation_.load();
        const int next = NextIndex();
        if (next < 0) {
            if (cached && !verified) {
                verified = true;
                Verify(cache);
                continue;
            }
            WaitForChange(seen);
            continue;
        }
        const ThumbJob& job = items_[std::size_t(next)];
        delivered_[std::size_t(next)] = true;
        if (const auto& hook = DecodeHook()) hook(Join(folder_, job.Name));
        auto thumb = std::make_shared<Thumb>();
        thumb->Index = next;
        if (render_)
            render_(*thumb, stop_);
        else
            MakeThumbnail(folder_, job.Name, cached && job.Cacheable ? &cache : nullptr, *thumb);
        deliver_(std::move(thumb));
    }
}

} // namespace kv
