#include "lang.h"

#include "keys.h"
#include "lngcodec.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace fs = std::filesystem;

namespace {

TLang* gLang = nullptr;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// Trailing blanks and control characters.
std::string TrimValue(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(0, e));
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool Ignored(const std::string& line) {
    return line.empty() || line[0] == ';';
}

// programDir/name.lng, or on this case-sensitive file system the entry whose
// name matches ignoring case (the language list shows "English" for
// english.lng).
fs::path FindLanguageFile(const std::string& dir, const std::string& name) {
    const fs::path exact = fs::path(dir) / (name + ".lng");
    std::error_code ec;
    if (fs::exists(exact, ec)) return exact;
    const std::string want = Upper(name + ".lng");
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (Upper(entry.path().filename().string()) == want) return entry.path();
    return exact;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = path.find('.', start);
        parts.push_back(Trim(path.substr(start, dot - start)));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts;
}

constexpr std::string_view kTempPrefix = "KVLNG";

// Removes the unpacked texts left behind by programs that were killed: each
// running program holds a lock on its own file, so an unlocked one that is a
// minute old belongs to no one. The age keeps a file another program has
// just created, and not yet locked, out of reach.
void RemoveAbandonedTexts(const fs::path& dir) {
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != kTempPrefix.size() + 6 || name.rfind(kTempPrefix, 0) != 0) continue;
        std::error_code age;
        const auto written = entry.last_write_time(age);
        if (age || now - written < std::chrono::minutes(1)) continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            std::remove(entry.path().c_str());
        ::close(fd);
    }
}

} // namespace

TLang::TLang(std::string programDir) : programDir_(std::move(programDir)) {}

TLang::~TLang() {
    DropTempFile();
}

void TLang::DropTempFile() {
    if (!TempFileName.empty()) std::remove(TempFileName.c_str());
    TempFileName.clear();
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

bool TLang::LoadLanguage(const std::string& name) {
    // Nothing changes until the new text is read, decoded and written: a
    // file that fails keeps the language in use.
    bool ok = false;
    const std::vector<std::uint8_t> packed = ReadAll(FindLanguageFile(programDir_, name), ok);
    std::string text;
    try {
        if (ok) text = lng::Unpack(packed.data(), packed.size());
    } catch (const lng::LngError&) {
        ok = false;
    }
    if (!ok) {
        MessageBoxKey(key::CantLoadLngFile, key::Error, kExclamation);
        return false;
    }
    // The program directory may be read-only, so the text goes to the
    // system's temporary directory.
    std::error_code ec;
    const fs::path tempDir = fs::temp_directory_path(ec);
    RemoveAbandonedTexts(tempDir);
    std::string temp = (tempDir / (std::string(kTempPrefix) + "XXXXXX")).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    // A second descriptor keeps the file locked for as long as it is in use.
    const int lockFd = fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (lockFd >= 0) ::flock(lockFd, LOCK_EX);
    std::FILE* f = lockFd < 0 ? nullptr : ::fdopen(fd, "w+b");
    if (f == nullptr) {
        if (fd >= 0) ::close(fd);
        if (lockFd >= 0) ::close(lockFd);
        if (fd >= 0) std::remove(temp.c_str());
        MessageBoxKey(key::CantSaveLngFile, key::Err, kExclamation);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written) {
        ::close(lockFd);
        std::remove(temp.c_str());
        MessageBoxKey(key::CantSaveLngFile, key::Err, kExclamation);
        return false;
    }
    DropTempFile();
    TempFileName = temp;
    lockFd_ = lockFd;

    std::ifstream in(TempFileName, std::ios::binary);
    std::string line;
    MessagePos = static_cast<std::int64_t>(text.size());
    while (std::getline(in, line)) {
        if (Upper(Trim(line)) == "[MESSAGES]") {
            MessagePos = static_cast<std::int64_t>(in.tellg());
            if (MessagePos < 0) MessagePos = static_cast<std::int64_t>(text.size());
            break;
        }
    }
    return true;
}

std::string TLang::Translate(std::string_view key) const {
    std::ifstream in(TempFileName, std::ios::binary);
    if (TempFileName.empty() || !in) return std::string(key);
    in.seekg(MessagePos);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (Ignored(line)) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || std::string_view(line).substr(0, eq) != key) continue;
        std::string value = line.substr(eq + 1);
        std::replace(value.begin(), value.end(), '@', ' ');
        return value;
    }
    return std::string(key);
}

Section TLang::ReadSection(std::string_view name) const {
    Section section;
    std::ifstream in(TempFileName, std::ios::binary);
    if (TempFileName.empty() || !in) return section;
    std::string line;
    while (std::getline(in, line))
        if (Trim(line) == name) {
            section.Found = true;
            break;
        }
    while (section.Found && std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') break;
        if (Ignored(Trim(line))) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        SectionLine entry;
        entry.Value = TrimValue(std::string_view(line).substr(eq + 1));
        const std::string path = Trim(std::string_view(line).substr(0, eq));
        entry.SwitchWindow = !path.empty() && path[0] == '>';
        if (!entry.SwitchWindow) entry.Path = SplitPath(path);
        section.Lines.push_back(std::move(entry));
    }
    return section;
}

std::string LanguageDisplayName(std::string stem) {
    for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!stem.empty())
        stem[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(stem[0])));
    return stem;
}

void TLang::SearchLanguages() {
    std::error_code ec;
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(programDir_, ec)) {
        const fs::path& p = entry.path();
        if (entry.is_regular_file(ec) && Upper(p.extension().string()) == ".LNG")
            found.push_back(LanguageDisplayName(p.stem().string()));
    }
    // The directory gives no stable order; sorted names read better.
    std::sort(found.begin(), found.end());
    Languages.insert(Languages.end(), found.begin(), found.end());
}

TLang* Lang() {
    return gLang;
}
void SetLang(TLang* lang) {
    gLang = lang;
}

std::string Translate(std::string_view key) {
    return gLang != nullptr ? gLang->Translate(key) : std::string(key);
}

MsgResult MessageBoxKey(std::string_view textKey, std::string_view captionKey, MsgFlags flags) {
    return ShowMessage(Translate(textKey), Translate(captionKey), flags);
}

} // namespace kv
