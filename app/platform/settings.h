// The settings store: registry-style keys ("Software\KV\TPreferences") and
// typed values kept in an INI file through QSettings, by default
// $XDG_CONFIG_HOME/vellumatic/kv.conf. Key paths are kept as written; in the
// file the backslashes become group separators.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSettings;

namespace kv {

class SettingsStore {
  public:
    // The store at ConfigDir() + "kv.conf".
    SettingsStore();
    explicit SettingsStore(const std::string& iniPath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::string& Path() const { return path_; }

    bool ValueExists(const std::string& key, const std::string& name) const;
    std::optional<bool> ReadBool(const std::string& key, const std::string& name) const;
    std::optional<int> ReadInteger(const std::string& key, const std::string& name) const;
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) const;
    std::optional<std::vector<std::uint8_t>> ReadBinary(const std::string& key,
                                                        const std::string& name) const;

    // Each write returns false when the store cannot be written.
    bool WriteBool(const std::string& key, const std::string& name, bool value);
    bool WriteInteger(const std::string& key, const std::string& name, int value);
    bool WriteString(const std::string& key, const std::string& name, const std::string& value);
    bool WriteBinary(const std::string& key, const std::string& name,
                     const std::vector<std::uint8_t>& value);

    // Writes pending values to the file; false on failure.
    bool Flush();

  private:
    std::string path_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace kv
