// File-type links on the freedesktop layer: an extension is linked to kv
// when the default application of its MIME type in the user's mimeapps.list
// ($XDG_CONFIG_HOME/mimeapps.list, [Default Applications]) is
// kv's desktop entry. Linking keeps the previous default in the settings
// store (key "Vellumatic", a value named like the extension) so that
// unlinking gives it back. An installed kv has its entry in
// <prefix>/share/applications; a kv run from its build folder writes one of
// the same name into $XDG_DATA_HOME/applications, so the link always names an
// entry that exists. Failures to write are ignored.
#pragma once

#include <string>

namespace kv {

class SettingsStore;

// The application id: the name of the installed desktop entry, AppStream
// component and icon.
inline constexpr char kDesktopId[] = "org.vellumatic.Vellumatic";
inline constexpr char kDesktopFileName[] = "org.vellumatic.Vellumatic.desktop";
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
    // The entry an installation put beside the program directory
    // (<prefix>/lib/vellumatic/kv -> <prefix>/share/applications).
    std::string InstalledDesktopFilePath() const;

  private:
    void WriteDesktopFile(const std::string& mime) const;

    SettingsStore& store_;
    std::string programPath_;
};

} // namespace kv
