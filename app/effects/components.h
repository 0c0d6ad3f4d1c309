// The components of this run: the scan's result, the two component tools,
// the Effects menu made from the folders, and the component icon of the
// tool panel.
#pragma once

#include "effects/component.h"

#include <pixkit/buffer.h>

#include <memory>

class QMenu;

namespace kv {

class ToolFramework;

class ComponentTools {
  public:
    explicit ComponentTools(EffectHost& host);

    ScanResult Comps;
    P_component Effect;
    P_component_brush Brush;

    // Scans the folders and logs what it finds.
    void Scan(const std::vector<std::string>& roots);
    // One icon (hot key I, eight columns) whose variants are the components
    // with an icon; false when there is none.
    bool RegisterIcons(ToolFramework& tools);
    // A sub-menu per folder: its components, a "Browse" item and a
    // separator; components of the top folder go straight into the menu.
    // choose runs a component (its index), browse opens the effect browser
    // on a folder (its index in Comps.Folders).
    void BuildMenu(QMenu* effects, const std::function<void(int)>& choose,
                   const std::function<void(int)>& browse);
    // One message naming every component that could not be used.
    void ReportProblems() const;
    // A component file written while the program runs (by Make): loaded,
    // described and put into the Effects menu at once, in place of the
    // entry of the same file if there is one. False when the file is not
    // below a component folder or cannot be used.
    bool Add(const std::string& file);

  private:
    std::vector<std::string> roots_;
    QMenu* effects_ = nullptr;
    std::function<void(int)> choose_;
    std::function<void(int)> browse_;
};

} // namespace kv
