// The format registry and its static operations: detection by extension and
// content, load and save with progress, and the safe-save rename.
#include <pixkit/gfxfile.h>

#include "buffer_alloc.h"
#include "codecs/formats.h"
#include "huge_pages.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pixkit {

namespace {

GFXFile* head = nullptr;
GFXFile** tail = &head;

std::atomic<ProgStartFunc> progStart{nullptr};
std::atomic<ProgStepFunc> progStep{nullptr};
std::atomic<ProgEndFunc> progEnd{nullptr};

// Owns the registered format objects for the life of the library.
std::vector<std::unique_ptr<GFXFile>>& Owned() {
    static std::vector<std::unique_ptr<GFXFile>> formats;
    return formats;
}

void Register(std::unique_ptr<GFXFile> (*factory)()) {
    if (factory != nullptr) Owned().push_back(factory());
}

// Builds the registry in its fixed order: frame format first, PNG last.
bool BuildRegistry() {
    Register(NewFrameFormat);
    Register(NewBmpFormat);
    Register(NewPcxFormat);
    Register(NewJpegFormat);
    Register(NewIffFormat);
    Register(NewGifFormat);
    Register(NewWmfFormat);
    Register(NewEmfFormat);
    Register(NewIcoFormat);
    Register(NewPngFormat);
    return true;
}

void EnsureRegistry() {
    static const bool built = BuildRegistry();
    (void)built;
}

[[maybe_unused]] const bool registeredAtLoad = (EnsureRegistry(), true);

// Loads on a thread under QuietProgress report nothing at all, so a
// background decode never reaches the program's progress display.
thread_local int quietProgress = 0;

thread_local std::vector<SkippedRecord> skippedRecords;

void CallStart() {
    if (quietProgress > 0) return;
    if (auto f = progStart.load()) f();
}
void CallEnd() {
    if (quietProgress > 0) return;
    if (auto f = progEnd.load()) f();
}

// Opens name for reading and picks its format: the extension's format when
// its Test accepts the stream, else the first format whose Test does.
GFXFile* Detect(TStream& s, const std::string& name, GFXFileDesc* d) {
    if (GFXFile* f = GFXFile::GetDefaultFormat(name); f != nullptr && f->Test(&s, d) != 0) return f;
    return GFXFile::GetFormat(&s, d);
}

std::string DirectoryOf(const std::string& name) {
    const auto slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

std::string BaseOf(const std::string& name) {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The file a save replaces: a symbolic link is followed, so that the link
// stays and its target receives the new image.
std::string SaveTarget(const std::string& name) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    char* real = ::realpath(name.c_str(), nullptr);
    if (real == nullptr) return name;
    std::string target(real);
    std::free(real);
    return target;
}

// Permissions of a newly created file: 0666 less the process's umask, as
// creating the file directly would give (read without changing the umask).
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return 0666 & ~mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 0644;
}

} // namespace

GFXFile::GFXFile(const char* desc, const char* mask, bool canSave)
    : Desc(desc), Mask(mask), CanSave(canSave) {
    *tail = this;
    tail = &Next;
    SetProgFunc(nullptr, nullptr, nullptr);
}

void GFXFile::Save(Buffer&, TStream*, GFXtra32*, Buffer*) {}

GFXFile* GFXFile::Formats() {
    EnsureRegistry();
    return head;
}

GFXFile* GFXFile::GetFormat(TStream* s, GFXFileDesc* d) {
    for (GFXFile* f = Formats(); f != nullptr; f = f->Next)
        if (f->Test(s, d) != 0) return f;
    return nullptr;
}

GFXFile* GFXFile::GetDefaultFormat(const std::string& name) {
    if (name.size() < 2) return nullptr;
    std::string ext;
    for (std::size_t i = name.size() - 1; i-- > 0;) {
        const char ch = name[i];
        if (ch == '/' || ch == ':' || ch == '\\') return nullptr;
        if (ch == '.') {
            ext = name.substr(i);
            break;
        }
    }
    if (ext.empty()) return nullptr;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (GFXFile* f = Formats(); f != nullptr; f = f->Next) {
        const auto at = f->Mask.find(ext);
        if (at == std::string::npos) continue;
        const std::size_t after = at + ext.size();
        if (after == f->Mask.size() || f->Mask[after] == ';') return f;
    }
    return nullptr;
}

bool GFXFile::Test(const std::string& name, GFXFileDesc* d) {
    TFileStream s(name, TFileStream::Mode::OpenRead);
    return Detect(s, name, d) != nullptr;
}

void GFXFile::Load(Buffer& b, const std::string& name, GFXtra32* x) {
    ClearSkippedRecords();
    TFileStream s(name, TFileStream::Mode::OpenRead);
    GFXFile* f = Detect(s, name, nullptr);
    if (f == nullptr) throw EInvalidImage();
    CallStart();
    try {
        f->Load(b, &s, x);
    } catch (...) {
        CallEnd();
        throw;
    }
    CallEnd();
}

void GFXFile::LoadReduced(Buffer& b, TStream* s, GFXtra32* x, Pair<int>, Pair<int>* fullSize) {
    try {
        Load(b, s, x);
    } catch (...) {
        if (fullSize != nullptr) *fullSize = {b.Width(), b.Height()};
        throw;
    }
    if (fullSize != nullptr) *fullSize = {b.Width(), b.Height()};
}

void GFXFile::LoadReduced(Buffer& b, const std::string& name, GFXtra32* x, Pair<int> atLeast,
                          Pair<int>* fullSize) {
    ClearSkippedRecords();
    // Opened without waiting, so that a FIFO is refused rather than waited on.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw EFOpenError("Cannot open file \"" + name + "\". " + std::strerror(errno));
    TFileStream s(fd, name);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw EFOpenError("Cannot open file \"" + name + "\". Not a regular file.");
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    GFXFile* f = Detect(s, name, nullptr);
    if (f == nullptr) throw EInvalidImage();
    CallStart();
    try {
        f->LoadReduced(b, &s, x, atLeast, fullSize);
    } catch (...) {
        CallEnd();
        throw;
    }
    CallEnd();
}

void GFXFile::Save(Buffer& b, std::string name, GFXtra32* x, Buffer* work) {
    GFXFile* f = GetDefaultFormat(name);
    if (f == nullptr) {
        f = Formats();
        if (f == nullptr) throw EInvalidImage();
        const std::string& mask = f->Mask;
        name += mask.substr(1, mask.find(';') == std::string::npos ? std::string::npos
                                                                   : mask.find(';') - 1);
    }
    // An empty image would make a file that no loader reads back (sizes of
    // 0 are refused everywhere): it is refused before anything is written.
    if (!f->CanSave || b.Empty()) throw EInvalidImage();

    // The image goes to a temporary file in the same directory, which then
    // replaces the target in one rename.
    const std::string target = SaveTarget(name);
    std::string temp = DirectoryOf(target) + "/." + BaseOf(target) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int err = errno;
        throw EFCreateError("Cannot create file \"" + name + "\". " + std::strerror(err));
    }
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    ::fchmod(fd, mode);
    TFileStream s(fd, temp);
    CallStart();
    try {
        f->Save(b, &s, x, work);
        s.Close();
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            const int err = errno;
            throw EFCreateError("Cannot create file \"" + name + "\". " + std::strerror(err));
        }
    } catch (...) {
        ::unlink(temp.c_str());
        CallEnd();
        throw;
    }
    CallEnd();
}

int GFXFile::GetImgCount(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    try {
        TFileStream s(name, TFileStream::Mode::OpenRead);
        GFXFile* f = Detect(s, name, nullptr);
        return f == nullptr ? 0 : f->GetImgCount(&s);
    } catch (const EFOpenError&) {
        return 0;
    }
}

const std::vector<SkippedRecord>& LastSkippedRecords() {
    return skippedRecords;
}

std::string SkippedRecordsText() {
    std::string text;
    for (const SkippedRecord& r : skippedRecords)
        text += (text.empty() ? "" : ", ") + r.Name + " x" + std::to_string(r.Count);
    return text.empty() ? "none" : text;
}

void ClearSkippedRecords() {
    skippedRecords.clear();
}

void NoteSkippedRecord(const std::string& name) {
    for (SkippedRecord& r : skippedRecords)
        if (r.Name == name) {
            ++r.Count;
            return;
        }
    skippedRecords.push_back({name, 1});
}

void GFXFile::SetProgFunc(ProgStartFunc start, ProgStepFunc progress, ProgEndFunc end) {
    progStart = start;
    progStep = progress;
    progEnd = end;
}

QuietProgress::QuietProgress() {
    ++quietProgress;
}

QuietProgress::~QuietProgress() {
    --quietProgress;
}

void GFXFile::ReportPercent(int percent) {
    if (quietProgress > 0) return;
    if (auto f = progStep.load()) f(percent);
}

void GFXFile::ReportRows(std::int64_t done, std::int64_t total) {
    if (total > 0) ReportPercent(static_cast<int>(done * 100 / total));
}

void AllocImage(Buffer& b, std::int64_t w, std::int64_t h) {
    if (!b.Empty()) return;
    if (w < 1 || h < 1 || w > INT_MAX || h > INT_MAX) throw EInvalidImage();
    // Refuse before allocating when the pixels could never fit in memory.
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const double limit =
        pages > 0 && pageSize > 0 ? double(pages) * double(pageSize) : double(kMaxBufferBytes);
    if (double(w) * double(h) * 4.0 > std::min(limit, double(kMaxBufferBytes)))
        throw EInvalidImage();
    // Cleared: a decoder that stops early leaves black rows, not heap contents.
    AllocCleared(b, {static_cast<int>(w), static_cast<int>(h)});
    if (b.Empty()) throw EInvalidImage();
    AdviseHugePages(b.Data, std::size_t(b.Pitch) * std::size_t(h) * 4);
}

void AllocImage(Buffer& b, std::int64_t w, std::int64_t h, TStream* s, std::int64_t storedBytes) {
    if (!b.Empty()) return;
    if (w > 0 && h > 0 && w <= INT_MAX && h <= INT_MAX && w * h > kLargeImagePixels &&
        s->Size() - s->Position() < storedBytes)
        throw EInvalidImage();
    AllocImage(b, w, h);
}

StreamBuf::StreamBuf(TStream* s, int capacity)
    : Stream(s), Capacity(std::max(capacity, 1)), Buf(new std::uint8_t[std::max(capacity, 1)]) {}

std::uint8_t StreamBuf::PreLoad() {
    const std::int64_t got = Stream->Read(Buf.get(), Capacity);
    if (got > 0) {
        Count = static_cast<int>(got);
        Pos = 1;
        return Buf[0];
    }
    Count = 0;
    Pos = 0;
    std::uint8_t one;
    Stream->ReadBuffer(&one, 1);
    return one;
}

void StreamBuf::Skip(std::int64_t n) {
    while (n > 0) {
        if (Pos >= Count) {
            PreLoad();
            --n;
            continue;
        }
        const std::int64_t k = std::min<std::int64_t>(n, Count - Pos);
        Pos += static_cast<int>(k);
        n -= k;
    }
}

void StreamBuf::Read(void* p, std::int64_t n) {
    auto* out = static_cast<std::uint8_t*>(p);
    while (n > 0) {
        if (Pos >= Count) {
            *out++ = PreLoad();
            --n;
            continue;
        }
        const std::int64_t k = std::min<std::int64_t>(n, Count - Pos);
        std::copy_n(Buf.get() + Pos, k, out);
        Pos += static_cast<int>(k);
        out += k;
        n -= k;
    }
}

std::uint32_t Colconv::BSwap(std::uint32_t v) {
    return __builtin_bswap32(v);
}

std::uint32_t Colconv::BGR24RGB32(std::uint32_t v) {
    return BSwap(v) >> 8;
}

void Colconv::BGR24RGB32s(const std::uint8_t* src, std::uint32_t* dst, int n) {
    for (int i = 0; i < n; ++i, src += 3)
        dst[i] = (std::uint32_t(src[0]) << 16) | (std::uint32_t(src[1]) << 8) | src[2];
}

// Blue, green, red groups are a little-endian word's low three bytes: all
// but the last pixel load four bytes and drop the one that belongs to the
// next group (the last one would read past the source).
void Colconv::RGB24RGB32s(const std::uint8_t* src, std::uint32_t* dst, int n) {
    int i = 0;
    for (; i + 1 < n; ++i, src += 3) {
        std::uint32_t v;
        std::memcpy(&v, src, 4);
        dst[i] = v & 0x00FFFFFF;
    }
    if (i < n) dst[i] = (std::uint32_t(src[2]) << 16) | (std::uint32_t(src[1]) << 8) | src[0];
}

void Colconv::BGR32RGB32s(const std::uint32_t* src, std::uint32_t* dst, int n) {
    for (int i = 0; i < n; ++i) dst[i] = BSwap(src[i]) >> 8;
}

// Each pixel but the last is stored as a whole word whose top byte the
// next pixel then overwrites.
void Colconv::RGB32RGB24s(const std::uint32_t* src, std::uint8_t* dst, int n) {
    int i = 0;
    for (; i + 1 < n; ++i, dst += 3) std::memcpy(dst, &src[i], 4);
    if (i < n) {
        const std::uint32_t v = src[i];
        dst[0] = static_cast<std::uint8_t>(v);
        dst[1] = static_cast<std::uint8_t>(v >> 8);
        dst[2] = static_cast<std::uint8_t>(v >> 16);
    }
}

} // namespace pixkit
