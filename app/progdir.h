// Where kv keeps its files: the program directory (the directory of the
// resolved executable) holds the language files and, when it is writable,
// the log; otherwise the log goes to $XDG_STATE_HOME/vellumatic/.
#pragma once

#include <string>

namespace kv {

// Directory of /proc/self/exe with a trailing "/".
std::string ProgramDir();

// Directory for the log file, with a trailing "/": programDir when it is
// writable, else the state directory (created when missing).
std::string LogDir(const std::string& programDir);

// $XDG_STATE_HOME/vellumatic/recovery/ (or under ~/.local/state), with a
// trailing "/": the copies of changed images kept against a crash.
std::string RecoveryDir();

// $XDG_CONFIG_HOME/vellumatic/ or ~/.config/vellumatic/, with a trailing "/".
std::string ConfigDir();

// $XDG_DATA_HOME/vellumatic/shelf/ (or under ~/.local/share), with a
// trailing "/": the brushes of the brush shelf.
std::string ShelfDir();

} // namespace kv
