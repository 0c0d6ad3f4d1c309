// The component scan at start-up: every "*.kvc" below the component
// folders, loaded one at a time in the runner (so a component that crashes
// or hangs while loading costs only that runner), described and sorted into
// folders. Plain C++: the menus are made from the result.
#pragma once

#include "effects/kvcdesc.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class KvcRunner;

inline constexpr int kMaxComponents = 128;

struct ComponentRecord {
    std::string File;
    ComponentDesc Desc;
    std::vector<std::uint8_t> Icon; // BMP bytes; empty without icon
    int Folder = -1;                // index in ScanResult::Folders; -1: top level
    int IconTool = -1;              // tool-table index of its brush tool
    // The values last sent; the defaults until the dialog was first built.
    std::array<ParamValue, kMaxComponentParams> Values;
    ValueBlock Block{};
    bool Remembered = false;
};

struct ScanResult {
    std::vector<std::string> Folders; // names as shown: each word capitalised
    std::vector<ComponentRecord> Components;
    std::vector<std::string> Problems; // "file: reason", for one message
};

// "blur and sharpen" -> "Blur And Sharpen".
std::string FolderCaption(const std::string& name);
// The component folders in scan order: "Comps" in the program folder, then
// the user's folder $XDG_DATA_HOME/vellumatic/Comps (~/.local/share/...).
std::vector<std::string> ComponentRoots(const std::string& programDir);
// Loads one component in runner and describes it into rec (file,
// description, icon, default values). Empty on success, else why the file
// cannot be used.
std::string DescribeComponent(KvcRunner& runner, const std::string& file, ComponentRecord& rec);
// The index of the folder shown as caption, added when new.
int FolderIndex(ScanResult& result, const std::string& caption);
// The folder a component file below one of the roots belongs to (-1: the
// root itself), as the scan would sort it; nothing outside the roots.
std::optional<int> FolderOfFile(const std::vector<std::string>& roots, const std::string& file,
                                ScanResult& result);
// Scans the roots; log gets a line per folder, file and problem.
ScanResult ScanComponents(const std::vector<std::string>& roots,
                          const std::function<void(const std::string&)>& log);

} // namespace kv
