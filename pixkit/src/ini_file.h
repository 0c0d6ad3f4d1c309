// A minimal reader of INI files: "[section]" lines and "key=value" lines.
// Used for the library's configuration; sections and keys are matched
// without regard to case, as profile files always have been.
#pragma once

#include <string>

namespace pixkit {

// The value of key in section of the file at path, or def when the file,
// the section or the key is missing. Values are trimmed of blanks.
std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& def);
int ReadIniInt(const std::string& path, const std::string& section, const std::string& key,
               int def);

} // namespace pixkit
