#include "effects/compscan.h"

#include "effects/kvcrunner.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace kv {

namespace fs = std::filesystem;

namespace {

struct Scanner {
    ScanResult Result;
    KvcRunner Runner;
    const std::function<void(const std::string&)>& Log;
    bool Full = false;

    void Problem(const std::string& file, const std::string& reason) {
        Log(file + " refused: " + reason + ".");
        Result.Problems.push_back(file + ": " + reason);
    }

    void Component(const fs::path& file, int folder) {
        if (static_cast<int>(Result.Components.size()) >= kMaxComponents) {
            if (!Full) Log("More than 128 components: the rest is not loaded.");
            Full = true;
            return;
        }
        const std::string name = file.string();
        Log(name + " found.");
        ComponentRecord rec;
        const std::string why = DescribeComponent(Runner, name, rec);
        if (!why.empty()) return Problem(name, why);
        if (!rec.Desc.Icon.empty() && rec.Icon.empty())
            Log(name + ": its icon " + rec.Desc.Icon + " is missing.");
        rec.Folder = folder;
        Result.Components.push_back(std::move(rec));
    }

    // The folder's components, then its sub-folders, each in name order.
    void Folder(const fs::path& dir, int folder) {
        std::vector<fs::path> files, dirs;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec)) {
            if (e.is_directory(ec))
                dirs.push_back(e.path());
            else if (e.path().extension() == ".kvc")
                files.push_back(e.path());
        }
        std::sort(files.begin(), files.end());
        std::sort(dirs.begin(), dirs.end());
        for (const fs::path& f : files) Component(f, folder);
        for (const fs::path& d : dirs) {
            Log(d.string() + ": directory found.");
            Folder(d, FolderIndex(Result, FolderCaption(d.filename().string())));
        }
    }
};

} // namespace

std::string DescribeComponent(KvcRunner& runner, const std::string& file, ComponentRecord& rec) {
    KvcRunner::Loaded loaded;
    if (!runner.Load(file, loaded)) return runner.Failure();
    rec.File = file;
    const std::string why = ParseDescription(loaded.Desc, rec.Desc);
    if (!why.empty()) return why;
    rec.Icon = std::move(loaded.Icon);
    rec.Values = rec.Desc.Defaults;
    return {};
}

int FolderIndex(ScanResult& result, const std::string& caption) {
    const auto it = std::find(result.Folders.begin(), result.Folders.end(), caption);
    if (it != result.Folders.end()) return static_cast<int>(it - result.Folders.begin());
    result.Folders.push_back(caption);
    return static_cast<int>(result.Folders.size()) - 1;
}

std::optional<int> FolderOfFile(const std::vector<std::string>& roots, const std::string& file,
                                ScanResult& result) {
    std::error_code ec;
    const fs::path dir = fs::weakly_canonical(fs::path(file).parent_path(), ec);
    for (const std::string& root : roots) {
        const fs::path top = fs::weakly_canonical(root, ec);
        if (dir == top) return -1;
        const fs::path rel = dir.lexically_relative(top);
        if (!rel.empty() && *rel.begin() != "..")
            return FolderIndex(result, FolderCaption(dir.filename().string()));
    }
    return std::nullopt;
}

std::string FolderCaption(const std::string& name) {
    std::string out = name;
    bool start = true;
    for (char& c : out) {
        if (start) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        start = c == ' ';
    }
    return out;
}

std::vector<std::string> ComponentRoots(const std::string& programDir) {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr)
        data = std::string(home) + "/.local/share";
    std::vector<std::string> roots{programDir + "Comps"};
    if (!data.empty()) roots.push_back(data + "/vellumatic/Comps");
    return roots;
}

ScanResult ScanComponents(const std::vector<std::string>& roots,
                          const std::function<void(const std::string&)>& log) {
    Scanner s{{}, {}, log};
    log("Scanning for components started.");
    for (const std::string& root : roots) {
        std::error_code ec;
        if (fs::is_directory(root, ec)) s.Folder(root, -1);
    }
    log("Scanning for components finished.");
    return std::move(s.Result);
}

} // namespace kv
