// The widget side of the language table: window sections applied to the Qt
// object tree, and the message box shown on screen. docs/languages.md
// describes how section lines map to widgets.
#pragma once

#include "lang.h"

#include <string_view>

class QObject;
class QString;

namespace kv {

// Applies the lines of a window section ("[Translations]", "[Preferences]")
// to the application's windows.
void TranslateSection(const TLang& lang, std::string_view section);

// Sets one property of obj from a section value; unknown names are ignored.
void SetTranslatedProperty(QObject* obj, const QString& property, const QString& value);

// Loads the language named by the "Language" preference and translates
// "[Translations]" from the built-in texts, and Qt's own texts with Qt's
// catalogue; an empty name keeps the built-in English texts. False (with
// the message shown) when the file cannot be read.
bool ApplyLanguage(TLang& lang, const std::string& language);

// Puts back every built-in text a section replaced.
void RestoreOriginalTexts();

// Installs the handler that shows messages in a QMessageBox.
void InstallScreenMessageBox();

} // namespace kv
