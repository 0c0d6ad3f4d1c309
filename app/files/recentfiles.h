// The recent-files list of the File menu's "Reopen" submenu: most recent
// first, without duplicates, at most Capacity entries, kept in the settings
// store under "Software\KV" as "MRU Items".
#pragma once

#include <string>
#include <vector>

namespace kv {

class SettingsStore;

class RecentFiles {
  public:
    // "name", or "name: n" for image n of a multi-image file when n is not 1.
    static std::string EntryText(const std::string& name, int imageNo);
    struct Entry {
        std::string Name;
        int ImageNo = 1;
    };
    // The inverse of EntryText.
    static Entry ParseEntry(const std::string& text);

    const std::vector<std::string>& Items() const { return items_; }
    int Capacity() const { return capacity_; }
    // Drops the oldest entries beyond n (0 to 16).
    void SetCapacity(int n);
    // Puts the entry first, removing an equal one further down.
    void Add(const std::string& name, int imageNo);

    void Load(const SettingsStore& store);
    bool Save(SettingsStore& store) const;

  private:
    std::vector<std::string> items_;
    int capacity_ = 6;
};

} // namespace kv
