#include "settings.h"

#include "../progdir.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

namespace kv {

namespace {

// "Software\KV\TPreferences" + "Clipping" -> "Software/KV/TPreferences/Clipping"
QString FullName(const std::string& key, const std::string& name) {
    QString k = QString::fromStdString(key);
    k.replace('\\', '/');
    while (k.startsWith('/')) k.remove(0, 1);
    return k + '/' + QString::fromStdString(name);
}

} // namespace

SettingsStore::SettingsStore() : SettingsStore(ConfigDir() + "kv.conf") {}

SettingsStore::SettingsStore(const std::string& iniPath)
    : path_(iniPath), settings_(std::make_unique<QSettings>(QString::fromStdString(iniPath),
                                                            QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::ValueExists(const std::string& key, const std::string& name) const {
    return settings_->contains(FullName(key, name));
}

std::optional<bool> SettingsStore::ReadBool(const std::string& key, const std::string& name) const {
    if (!ValueExists(key, name)) return std::nullopt;
    return settings_->value(FullName(key, name)).toBool();
}

std::optional<int> SettingsStore::ReadInteger(const std::string& key,
                                              const std::string& name) const {
    if (!ValueExists(key, name)) return std::nullopt;
    bool ok = false;
    const int v = settings_->value(FullName(key, name)).toInt(&ok);
    if (!ok) return std::nullopt;
    return v;
}

std::optional<std::string> SettingsStore::ReadString(const std::string& key,
                                                     const std::string& name) const {
    if (!ValueExists(key, name)) return std::nullopt;
    return settings_->value(FullName(key, name)).toString().toStdString();
}

std::optional<std::vector<std::uint8_t>> SettingsStore::ReadBinary(const std::string& key,
                                                                   const std::string& name) const {
    if (!ValueExists(key, name)) return std::nullopt;
    const QByteArray bytes = settings_->value(FullName(key, name)).toByteArray();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

bool SettingsStore::WriteBool(const std::string& key, const std::string& name, bool value) {
    if (!settings_->isWritable()) return false;
    settings_->setValue(FullName(key, name), value);
    return true;
}

bool SettingsStore::WriteInteger(const std::string& key, const std::string& name, int value) {
    if (!settings_->isWritable()) return false;
    settings_->setValue(FullName(key, name), value);
    return true;
}

bool SettingsStore::WriteString(const std::string& key, const std::string& name,
                                const std::string& value) {
    if (!settings_->isWritable()) return false;
    settings_->setValue(FullName(key, name), QString::fromStdString(value));
    return true;
}

bool SettingsStore::WriteBinary(const std::string& key, const std::string& name,
                                const std::vector<std::uint8_t>& value) {
    if (!settings_->isWritable()) return false;
    settings_->setValue(FullName(key, name), QByteArray(reinterpret_cast<const char*>(value.data()),
                                                        static_cast<qsizetype>(value.size())));
    return true;
}

bool SettingsStore::Flush() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

} // namespace kv
