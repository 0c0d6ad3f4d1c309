// The library's configuration, read once when the library is loaded.
#pragma once

#include <string>

namespace pixkit {

// The user's profile: $XDG_CONFIG_HOME/vellumatic/profile.ini (or
// ~/.config/vellumatic/profile.ini). Its key "config" of section "QVX" names
// the configuration file.
std::string DefaultProfilePath();

// Reads the configuration named by the profile at profilePath: the default
// image size of the named setup and the raster-font directory. Called at
// library load with DefaultProfilePath(); tests call it with their own.
void ReadLibraryConfig(const std::string& profilePath);

// The directory holding libpixkit.so, with a trailing "/".
std::string LibraryDir();

} // namespace pixkit
