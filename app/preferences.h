// The user's settings, stored under "Software\KV\TPreferences": read at start
// (a value that is absent keeps its default) and written at shutdown.
#pragma once

#include <string>

namespace kv {

class SettingsStore;

inline constexpr char kPreferencesKey[] = "Software\\KV\\TPreferences";
inline constexpr char kToolbarsKey[] = "Software\\KV\\Toolbars";

struct Preferences {
    bool Clipping = false;    // tools paint only into the visible part of the image
    bool OptimBrush = false;  // trim the brush after brush operations
    bool AntiAlias = false;   // smooth brush transforms and text
    bool BackupFiles = false; // keep a backup before overwriting a file
    bool CacheThumbs = false; // keep browser thumbnails in a cache file
    std::string Language;     // language file name without extension; empty = built-in
    int Level = 0;            // 0 Novice, 1 Expert
    int Palette = 0;          // palette size index: 8, 12, 16, 24, 32 entries
    int MRUFiles = 6;         // length of the recent-files list
    // Undo: the memory all images' histories may hold (MiB), the steps each
    // image keeps, and the single-undo mode where Ctrl+Z alternates between
    // undo and redo. Several levels with their own redo key are the default:
    // that is what users of today's paint programs reach for first.
    int UndoMemory = 512;
    int UndoSteps = 100;
    bool ClassicUndo = false;
    // Seconds between the background copies of changed images kept against
    // a crash; 0 switches them off.
    int RecoverySeconds = 60;
    // A graphics tablet's pen pressure sizes the stamps of pens, lines and
    // spray, from MinPressure percent of the brush up to all of it.
    bool TabletPressure = true;
    int MinPressure = 20;
};

// Reads the values in the order Clipping, OptimBrush, AntiAlias,
// BackupFiles, CacheThumbs, Language, Level, Palette, MRUFiles, then the
// undo values.
Preferences ReadPreferences(const SettingsStore& store);

// Writes every value but Language in the order Level, Clipping, OptimBrush,
// AntiAlias, BackupFiles, CacheThumbs, Palette, MRUFiles and the undo
// values; the first failed
// write stops the rest. Returns false after a failure.
bool WritePreferences(SettingsStore& store, const Preferences& prefs);

// "Language" is written on its own, when the user picks another language.
bool WriteLanguage(SettingsStore& store, const std::string& language);

} // namespace kv
