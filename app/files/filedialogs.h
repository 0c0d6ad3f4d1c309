// The dialogs of the file commands, reached through replaceable functions:
// the program shows Qt dialogs, tests answer in their place. Every function
// returns nothing when the user cancels.
#pragma once

#include "platform/scanner.h"

#include <pixkit/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace kv {

struct OpenRequest {
    std::string Title;     // translated
    std::string Filter;    // "description|masks|...", see BuildFilter
    std::string Directory; // empty: the working directory
    int FilterIndex = 0;   // 1-based entry shown first
};
struct OpenChoice {
    std::string FileName;
    int FilterIndex = 0; // the entry in use when the user confirmed
    int ImageNo = 1;     // image within a multi-image file
};

struct SaveRequest {
    std::string Title;
    std::string Filter;
    std::string Directory;
    std::string FileName; // the document's name; empty for a new one
    int FilterIndex = 0;
};
struct SaveChoice {
    std::string FileName;
    int FilterIndex = 0;
};

struct FileDialogs {
    std::function<std::optional<OpenChoice>(const OpenRequest&)> Open;
    std::function<std::optional<SaveChoice>(const SaveRequest&)> Save;
    // Width and height for "&New...", offered with the last ones.
    std::function<std::optional<pixkit::Pair<int>>(pixkit::Pair<int> offered)> NewSize;
    // The name of the scanner to use, offered with the current one.
    std::function<std::optional<std::string>(const std::vector<ScanDevice>& devices,
                                             const std::string& current)>
        SelectSource;
    // Runs work off the GUI thread while a progress window with Cancel
    // keeps the program responsive. work gets a step function taking the
    // percentage done, which returns false once the user cancelled. False
    // when cancelled; work's exceptions reach the caller. Empty: work runs
    // on the caller's thread without a window.
    std::function<bool(const std::function<void(const std::function<bool(int)>&)>& work)>
        RunCancellable;
};

// The dialogs on screen, centred over parent.
FileDialogs ScreenDialogs(QWidget* parent);

// The name filters QFileDialog takes for a "description|masks|" filter: each
// entry's description followed by its masks in both cases in parentheses.
std::vector<std::string> QtNameFilters(const std::string& filter);

} // namespace kv
