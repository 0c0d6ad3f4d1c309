#include "rfont_registry.h"

#include "rfont_format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixkit::rfn {

namespace {

constexpr std::size_t kFileRecord = 20;
constexpr std::size_t kEntryRecord = 44;
constexpr std::uint64_t kMaxFontFile = 64u << 20;

std::uint32_t BE32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}
std::uint32_t LE32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EndsWithRfn(const std::string& name) {
    if (name.size() < 5) return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".rfn";
}

// The "*.rfn" files of dir that a registry may hold, sorted by name.
std::vector<RFontFile> ListFontFiles(const std::string& dir) {
    std::vector<RFontFile> files;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return files;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (!EndsWithRfn(name)) continue;
        struct stat st {};
        if (::stat((dir + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (std::uint64_t(st.st_size) >= (std::uint64_t(1) << 32)) continue;
        files.push_back(
            RFontFile{name, std::uint32_t(st.st_size),
                      std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
    }
    ::closedir(d);
    std::sort(files.begin(), files.end(),
              [](const RFontFile& a, const RFontFile& b) { return a.Name < b.Name; });
    return files;
}

bool SameFiles(const std::vector<RFontFile>& cached, const std::vector<RFontFile>& onDisk) {
    if (cached.size() != onDisk.size()) return false;
    for (const RFontFile& f : onDisk) {
        const bool found = std::any_of(cached.begin(), cached.end(), [&](const RFontFile& c) {
            return c.Name == f.Name && c.Size == f.Size && c.MTime == f.MTime;
        });
        if (!found) return false;
    }
    return true;
}

// Orders entries by family (without regard to case), then size, and sets
// each family's entry count in its first entry.
void SortAndCount(std::vector<RFontEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const RFontEntry& a, const RFontEntry& b) {
        const int c = CompareNoCase(a.Family, b.Family);
        return c != 0 ? c < 0 : a.Height < b.Height;
    });
    std::size_t first = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].FamilyCount = 0;
        if (CompareNoCase(entries[i].Family, entries[first].Family) != 0) first = i;
        if (first != i) entries[i].Family = entries[first].Family;
        ++entries[first].FamilyCount;
    }
}

bool WriteCache(const std::string& dir, const std::vector<std::uint8_t>& bytes) {
    const std::string target = dir + "fonts.bin";
    std::string temp = dir + ".fonts.bin.XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
    ::fchmod(fd, 0644);
    const bool ok =
        ::close(fd) == 0 && done == bytes.size() && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str()); // a partial cache is never left behind
    return ok;
}

template <typename T> void Put(std::vector<std::uint8_t>& out, T v) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(std::uint8_t(std::uint64_t(v) >> (8 * i)));
}

// Little-endian reader over the cache bytes that fails instead of running off.
struct CacheReader {
    const std::vector<std::uint8_t>& b;
    std::size_t at = 0;
    bool Has(std::size_t n) const { return n <= b.size() - at; }
    std::uint64_t Get(std::size_t n) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) v |= std::uint64_t(b[at + i]) << (8 * i);
        at += n;
        return v;
    }
    bool String(std::size_t length, std::string& out) { // length includes the zero byte
        if (length == 0 || !Has(length) || b[at + length - 1] != 0) return false;
        out.assign(reinterpret_cast<const char*>(b.data() + at), length - 1);
        at += length;
        return out.find('\0') == std::string::npos;
    }
};

} // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::uint64_t(st.st_size) <= kMaxFontFile;
    if (ok) {
        out.resize(std::size_t(st.st_size));
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
            if (n <= 0) break;
            done += std::size_t(n);
        }
        ok = done == out.size();
    }
    ::close(fd);
    return ok;
}

int FileVersion(const std::vector<std::uint8_t>& file) {
    if (file.size() < 12 || std::memcmp(file.data(), "FONT", 4) != 0) return 0;
    const std::uint32_t version = LE32(file.data() + 8);
    if (version >= kMaxVersion) return 0;
    const int major = int(version >> 16);
    return major == 1 || major == 2 ? major : 0;
}

bool ScanFontFile(const std::vector<std::uint8_t>& file, int fileIndex,
                  std::vector<RFontEntry>& entries) {
    if (FileVersion(file) == 0) return false;
    std::vector<RFontEntry> found;
    std::string family;
    std::size_t at = 12;
    while (at < file.size()) {
        if (file.size() - at < 8) return false;
        const std::uint32_t id = BE32(file.data() + at);
        const std::uint32_t size = BE32(file.data() + at + 4);
        at += 8;
        if (size > file.size() - at) return false; // chunk runs past the end
        const std::uint8_t* body = file.data() + at;
        at += size;
        if (id == ChunkId("NAME")) {
            family.assign(reinterpret_cast<const char*>(body), size);
            family = family.substr(0, family.find('\0'));
        } else if (id == ChunkId("DESC")) {
            if (size < 10 || family.empty() || body[0] == 0 || body[1] == 0 || body[3] < body[2])
                continue; // a size that cannot be drawn is left out
            RFontEntry e;
            e.Family = family;
            e.File = fileIndex;
            e.Position = std::uint32_t(at);
            e.Height = body[0];
            e.RowBytes = body[1];
            e.First = body[2];
            e.Last = body[3];
            e.Spacing = std::int8_t(body[4]);
            e.SpaceWidth = body[5];
            e.Attribute = body[9];
            e.GlyphBytes = std::uint32_t(e.Height) * e.RowBytes;
            found.push_back(std::move(e));
        }
    }
    for (RFontEntry& e : found) entries.push_back(std::move(e));
    return true;
}

std::vector<std::uint8_t> SerializeCache(const Registry& reg) {
    std::vector<std::uint8_t> out;
    std::uint32_t namesLength = 0;
    for (const RFontFile& f : reg.files) namesLength += std::uint32_t(f.Name.size() + 1);
    Put<std::uint32_t>(out, std::uint32_t(reg.files.size()));
    for (std::size_t i = 0; i < reg.files.size(); ++i) {
        const RFontFile& f = reg.files[i];
        Put<std::uint32_t>(out, i == 0 ? namesLength : std::uint32_t(f.Name.size() + 1));
        Put<std::uint32_t>(out, f.Size);
        Put<std::int64_t>(out, f.MTime);
        Put<std::uint32_t>(out, 0);
    }
    for (const RFontFile& f : reg.files) {
        out.insert(out.end(), f.Name.begin(), f.Name.end());
        out.push_back(0);
    }
    Put<std::uint32_t>(out, std::uint32_t(reg.entries.size()));
    for (const RFontEntry& e : reg.entries) {
        Put<std::uint32_t>(out, e.FamilyCount > 0 ? std::uint32_t(e.Family.size()) : 0);
        Put<std::uint32_t>(out, std::uint32_t(e.FamilyCount));
        Put<std::uint32_t>(out, std::uint32_t(e.File));
        Put<std::uint32_t>(out, e.Position);
        for (std::uint8_t v : {e.Height, e.RowBytes, e.First, e.Last, std::uint8_t(e.Spacing),
                               e.SpaceWidth, std::uint8_t(0), e.Attribute})
            out.push_back(v);
        Put<std::uint32_t>(out, e.GlyphBytes);
        for (int i = 0; i < 4; ++i) Put<std::uint32_t>(out, 0); // loaded tables: none in the file
    }
    for (const RFontEntry& e : reg.entries)
        if (e.FamilyCount > 0) {
            out.insert(out.end(), e.Family.begin(), e.Family.end());
            out.push_back(0);
        }
    return out;
}

bool ParseCache(const std::vector<std::uint8_t>& bytes, Registry& reg) {
    CacheReader r{bytes};
    if (!r.Has(4)) return false;
    const std::uint64_t nFiles = r.Get(4);
    if (nFiles > 100000 || !r.Has(nFiles * kFileRecord)) return false;
    std::vector<std::uint32_t> nameLengths(nFiles);
    reg.files.assign(nFiles, RFontFile{});
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < nFiles; ++i) {
        nameLengths[i] = std::uint32_t(r.Get(4));
        reg.files[i].Size = std::uint32_t(r.Get(4));
        reg.files[i].MTime = std::int64_t(r.Get(8));
        if (r.Get(4) != 0) return false;
    }
    // The first record holds the total of all name lengths; the others their own.
    for (std::size_t i = 1; i < nFiles; ++i) total += nameLengths[i];
    if (nFiles > 0) {
        if (nameLengths[0] < total) return false;
        nameLengths[0] = std::uint32_t(nameLengths[0] - total);
    }
    for (std::size_t i = 0; i < nFiles; ++i)
        if (!r.String(nameLengths[i], reg.files[i].Name)) return false;
    if (!r.Has(4)) return false;
    const std::uint64_t nEntries = r.Get(4);
    if (nEntries > 1000000 || !r.Has(nEntries * kEntryRecord)) return false;
    reg.entries.assign(nEntries, RFontEntry{});
    std::vector<std::uint32_t> familyLengths(nEntries);
    for (std::size_t i = 0; i < nEntries; ++i) {
        RFontEntry& e = reg.entries[i];
        familyLengths[i] = std::uint32_t(r.Get(4));
        e.FamilyCount = int(r.Get(4));
        e.File = int(r.Get(4));
        e.Position = std::uint32_t(r.Get(4));
        e.Height = std::uint8_t(r.Get(1));
        e.RowBytes = std::uint8_t(r.Get(1));
        e.First = std::uint8_t(r.Get(1));
        e.Last = std::uint8_t(r.Get(1));
        e.Spacing = std::int8_t(r.Get(1));
        e.SpaceWidth = std::uint8_t(r.Get(1));
        r.Get(1);
        e.Attribute = std::uint8_t(r.Get(1));
        e.GlyphBytes = std::uint32_t(r.Get(4));
        r.at += 16; // tables that exist only once loaded
        if (e.File < 0 || std::uint64_t(e.File) >= nFiles || e.Height == 0 || e.RowBytes == 0 ||
            e.Last < e.First || e.GlyphBytes != std::uint32_t(e.Height) * e.RowBytes)
            return false;
    }
    // Family names follow once per family; each family's first entry says
    // how many entries it has, and those entries follow it.
    std::size_t i = 0;
    while (i < nEntries) {
        const int count = reg.entries[i].FamilyCount;
        if (count < 1 || std::uint64_t(count) > nEntries - i || familyLengths[i] == 0) return false;
        std::string family;
        if (!r.String(std::size_t(familyLengths[i]) + 1, family)) return false;
        for (int k = 0; k < count; ++k) {
            if (k > 0 && (reg.entries[i + std::size_t(k)].FamilyCount != 0 ||
                          familyLengths[i + std::size_t(k)] != 0))
                return false;
            reg.entries[i + std::size_t(k)].Family = family;
        }
        i += std::size_t(count);
    }
    return r.at == bytes.size();
}

Registry LoadRegistry(const std::string& dir, bool* rebuilt) {
    const std::vector<RFontFile> onDisk = ListFontFiles(dir);
    std::vector<std::uint8_t> cache;
    Registry reg;
    if (ReadWholeFile(dir + "fonts.bin", cache) && ParseCache(cache, reg) &&
        SameFiles(reg.files, onDisk)) {
        if (rebuilt) *rebuilt = false;
        return reg;
    }
    reg = Registry{};
    for (const RFontFile& f : onDisk) {
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(dir + f.Name, bytes)) continue;
        // Every file stays in the file list, so the cache matches the
        // directory even when a damaged file contributes no entries.
        const int index = int(reg.files.size());
        reg.files.push_back(f);
        ScanFontFile(bytes, index, reg.entries);
    }
    SortAndCount(reg.entries);
    WriteCache(dir, SerializeCache(reg));
    if (rebuilt) *rebuilt = true;
    return reg;
}

} // namespace pixkit::rfn
