// A long piece of work (a scan) on a worker thread while a window-modal
// progress window with Cancel shows and the event loop keeps running, so the
// window repaints and the user can stop the work.
#pragma once

#include <functional>

class QWidget;

namespace kv {

using ProgressStep = std::function<bool(int percent)>;

// Runs work(step) on a thread of its own; step records the percentage and
// returns false once Cancel was pressed. Returns false when the user
// cancelled; an exception work raises otherwise reaches the caller.
bool RunWithProgressWindow(QWidget* parent, const std::function<void(const ProgressStep&)>& work);

} // namespace kv
