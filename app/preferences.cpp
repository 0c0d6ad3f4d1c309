#include "preferences.h"

#include "platform/settings.h"

namespace kv {

Preferences ReadPreferences(const SettingsStore& store) {
    Preferences p;
    const std::string key = kPreferencesKey;
    auto readBool = [&](const char* name, bool& field) {
        if (auto v = store.ReadBool(key, name)) field = *v;
    };
    auto readInt = [&](const char* name, int& field) {
        if (auto v = store.ReadInteger(key, name)) field = *v;
    };
    readBool("Clipping", p.Clipping);
    readBool("OptimBrush", p.OptimBrush);
    readBool("AntiAlias", p.AntiAlias);
    readBool("BackupFiles", p.BackupFiles);
    readBool("CacheThumbs", p.CacheThumbs);
    if (auto v = store.ReadString(key, "Language")) p.Language = *v;
    readInt("Level", p.Level);
    readInt("Palette", p.Palette);
    readInt("MRUFiles", p.MRUFiles);
    readInt("UndoMemory", p.UndoMemory);
    readInt("UndoSteps", p.UndoSteps);
    readBool("ClassicUndo", p.ClassicUndo);
    readInt("RecoverySeconds", p.RecoverySeconds);
    readBool("TabletPressure", p.TabletPressure);
    readInt("MinPressure", p.MinPressure);
    return p;
}

bool WritePreferences(SettingsStore& store, const Preferences& p) {
    const std::string key = kPreferencesKey;
    return store.WriteInteger(key, "Level", p.Level) &&
           store.WriteBool(key, "Clipping", p.Clipping) &&
           store.WriteBool(key, "OptimBrush", p.OptimBrush) &&
           store.WriteBool(key, "AntiAlias", p.AntiAlias) &&
           store.WriteBool(key, "BackupFiles", p.BackupFiles) &&
           store.WriteBool(key, "CacheThumbs", p.CacheThumbs) &&
           store.WriteInteger(key, "Palette", p.Palette) &&
           store.WriteInteger(key, "MRUFiles", p.MRUFiles) &&
           store.WriteInteger(key, "UndoMemory", p.UndoMemory) &&
           store.WriteInteger(key, "UndoSteps", p.UndoSteps) &&
           store.WriteBool(key, "ClassicUndo", p.ClassicUndo) &&
           store.WriteInteger(key, "RecoverySeconds", p.RecoverySeconds) &&
           store.WriteBool(key, "TabletPressure", p.TabletPressure) &&
           store.WriteInteger(key, "MinPressure", p.MinPressure) && store.Flush();
}

bool WriteLanguage(SettingsStore& store, const std::string& language) {
    return store.WriteString(kPreferencesKey, "Language", language) && store.Flush();
}

} // namespace kv
