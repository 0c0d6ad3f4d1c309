// The optional diagnostic log KV.LOG. Each line is appended by opening the
// file, writing "[%06.2f] %s\n" (seconds since logging was switched on, the
// message) and closing it again, so the log survives a crash up to its last
// line. A line that cannot be written is dropped silently.
#pragma once

#include <string>

namespace kv {

// Switches logging on: deletes an existing log at path, takes the start tick
// and writes "Program started.".
void StartLog(const std::string& path);
// Switches logging off (tests run several programs in one process).
void StopLog();
bool LogEnabled();
const std::string& LogPath();

// Appends one line when logging is on.
void LogLine(const std::string& message);

// One line as written: "[003.25] message\n" for 3.25 seconds.
std::string FormatLogLine(double seconds, const std::string& message);

} // namespace kv
