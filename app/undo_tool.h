// "Undo Last Action": an immediate tool, so clicking its icon or pressing
// Ctrl+Z runs it while the current tool stays.
#pragma once

#include "tools/icon.h"

#include <functional>
#include <utility>

namespace kv {

class P_undo : public P_icon {
  public:
    explicit P_undo(std::function<void()> undo) : undo_(std::move(undo)) {
        Flags = tfImmediate;
        Undo = 0;
        HelpContext = 3600;
    }
    void Activate() override {
        if (undo_) undo_();
    }

  private:
    std::function<void()> undo_;
};

} // namespace kv
