#include "extens.h"

#include <algorithm>

namespace kv {

std::vector<std::string> ExtensionsOf(const std::string& mask) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= mask.size()) {
        const std::size_t end = std::min(mask.find(';', start), mask.size());
        if (end == start) break;
        out.push_back(mask.substr(start + 1, end - start - 1));
        start = end + 1;
    }
    return out;
}

LinkState FormatLinkState(const std::string& mask,
                          const std::function<bool(const std::string&)>& isLinked) {
    std::size_t linked = 0;
    const std::vector<std::string> exts = ExtensionsOf(mask);
    for (const std::string& e : exts)
        if (isLinked(e)) ++linked;
    if (linked == 0) return LinkState::None;
    return linked == exts.size() ? LinkState::All : LinkState::Some;
}

void ApplyLinkState(const std::string& mask, LinkState initial, LinkState chosen,
                    const std::function<void(const std::string&)>& link,
                    const std::function<void(const std::string&)>& unlink) {
    if (chosen == initial || chosen == LinkState::Some) return;
    for (const std::string& e : ExtensionsOf(mask)) (chosen == LinkState::All ? link : unlink)(e);
}

} // namespace kv
