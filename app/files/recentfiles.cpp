#include "recentfiles.h"

#include "platform/settings.h"

#include <algorithm>
#include <cctype>

namespace kv {

namespace {
const char kKey[] = "Software\\KV\\MRU Items";
constexpr int kMaxCapacity = 16;
} // namespace

std::string RecentFiles::EntryText(const std::string& name, int imageNo) {
    return imageNo == 1 ? name : name + ": " + std::to_string(imageNo);
}

RecentFiles::Entry RecentFiles::ParseEntry(const std::string& text) {
    const std::size_t at = text.rfind(": ");
    if (at == std::string::npos || at + 2 >= text.size() || text.size() - at > 12) return {text, 1};
    const std::string digits = text.substr(at + 2);
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return {text, 1};
    const int n = std::stoi(digits);
    return n >= 1 ? Entry{text.substr(0, at), n} : Entry{text, 1};
}

void RecentFiles::SetCapacity(int n) {
    capacity_ = std::clamp(n, 0, kMaxCapacity);
    if (static_cast<int>(items_.size()) > capacity_)
        items_.resize(static_cast<std::size_t>(capacity_));
}

void RecentFiles::Add(const std::string& name, int imageNo) {
    const std::string text = EntryText(name, imageNo);
    items_.erase(std::remove(items_.begin(), items_.end(), text), items_.end());
    items_.insert(items_.begin(), text);
    SetCapacity(capacity_);
}

void RecentFiles::Load(const SettingsStore& store) {
    items_.clear();
    for (int i = 0; i < kMaxCapacity; ++i) {
        const auto item = store.ReadString(kKey, std::to_string(i));
        if (!item || item->empty()) break;
        items_.push_back(*item);
    }
    SetCapacity(capacity_);
}

bool RecentFiles::Save(SettingsStore& store) const {
    for (int i = 0; i < kMaxCapacity; ++i) {
        const std::string value = i < static_cast<int>(items_.size())
                                      ? items_[static_cast<std::size_t>(i)]
                                      : std::string();
        if (!store.WriteString(kKey, std::to_string(i), value)) return false;
    }
    return true;
}

} // namespace kv
