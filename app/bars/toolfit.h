// Keeps every tool icon on screen in a short window: the icons of a tool
// bar docked at the left or right are laid out in as many columns as the
// window's height needs (two at least). A tool bar that cannot hold its
// panel would hide the whole panel behind its overflow arrow, which on a
// laptop screen or a scaled display leaves no tool to pick.
#pragma once

class QMainWindow;
class QToolBar;
class QWidget;

namespace kv {

// Icons are the panel's buttons named "ToolIcon<n>", placed by n in rows of
// `columns`, each `button` pixels square.
void KeepToolIconsVisible(QMainWindow* window, QToolBar* bar, QWidget* panel, int button);

// The number of columns that fits `count` icons into `height` pixels.
int ToolColumnsFor(int count, int height, int button);

} // namespace kv
