// File-type links on the freedesktop layer: an extension is linked to kv
// when the default application of its MIME type in the user's mimeapps.list
// ($XDG_CONFIG_HOME/mimeapps.list, [Default Applications]) is
// vellumatic.desktop. Linking keeps the previous default in the settings
// store (key "Vellumatic", a value named like the extension) so that
// unlinking gives it back; it also writes vellumatic.desktop into
// $XDG_DATA_HOME/applications. Failures to write are ignored.
#pragma once

#include <string>

namespace kv {

class SettingsStore;

inline constexpr char kDesktopFileName[] = "vellumatic.desktop";
inline constexpr char kLinkStoreKey[] = "Vellumatic";

class FileTypeLinks {
  public:
    // programPath is what the desktop file runs.
    FileTypeLinks(SettingsStore& store, std::string programPath);

    // ext with its dot, any case (".BMP" tests ".bmp").
    bool IsLinked(const std::string& ext) const;
    void Link(const std::string& ext);
    // Gives an extension linked to kv its previous default back (none when
    // there was none). An extension not linked to kv is left alone.
    void Unlink(const std::string& ext);

    // The MIME type the desktop uses for ext; formats the desktop does not
    // know get "image/x-vellumatic-<ext>".
    static std::string MimeTypeOf(const std::string& ext);
    static std::string MimeAppsPath();
    static std::string DesktopFilePath();

  private:
    void WriteDesktopFile(const std::string& mime) const;

    SettingsStore& store_;
    std::string programPath_;
};

} // namespace kv
