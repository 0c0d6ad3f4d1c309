// The language table: every user-visible text is looked up by key in the
// current language file (*.lng in the program directory), and window
// sections of that file set properties of controls (see docs/languages.md).
//
// A language file is unpacked into a temporary text file in the system's
// temporary directory; every lookup opens that file and scans it from the
// line after "[Messages]", so no index is held in memory.
#pragma once

#include "message.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// One line of a window section: "path=value" or ">=window".
struct SectionLine {
    bool SwitchWindow = false;     // the ">" form: Value names the window
    std::vector<std::string> Path; // component names, then the property name
    std::string Value;             // trailing blanks removed, "@" not yet replaced
};

struct Section {
    bool Found = false;
    std::vector<SectionLine> Lines;
};

class TLang {
  public:
    explicit TLang(std::string programDir);
    ~TLang();
    TLang(const TLang&) = delete;
    TLang& operator=(const TLang&) = delete;

    // Full path of the unpacked text of the current language; empty when no
    // language was loaded.
    std::string TempFileName;
    // File position just after the "[Messages]" line of that text.
    std::int64_t MessagePos = 0;
    // Names of the language files found by SearchLanguages ("English").
    std::vector<std::string> Languages;

    // Loads programDir + name + ".lng". Reports "Can't Load Language File"
    // or "CantSaveLngFile" and returns false when that fails.
    bool LoadLanguage(const std::string& name);
    // The translation of key, or key itself.
    std::string Translate(std::string_view key) const;
    // The lines of a window section such as "[Translations]".
    Section ReadSection(std::string_view name) const;
    // Fills Languages from the *.lng files directly in the program directory.
    void SearchLanguages();

    const std::string& ProgramDir() const { return programDir_; }

  private:
    void DropTempFile();
    std::string programDir_;
    int lockFd_ = -1; // holds a lock on TempFileName while it is in use
};

// The language table of the running program (null before it is created).
TLang* Lang();
void SetLang(TLang* lang);

// Translate through the program's table; the key itself without one.
std::string Translate(std::string_view key);

// The application's message box with translated text and caption.
MsgResult MessageBoxKey(std::string_view textKey, std::string_view captionKey, MsgFlags flags);

// "english" -> "English": lower case with a capital first letter.
std::string LanguageDisplayName(std::string stem);

} // namespace kv
