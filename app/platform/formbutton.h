// The push buttons of the program's dialogs: named for the language file,
// never the default button by themselves (Enter is the dialog's own rule).
#pragma once

class QPushButton;
class QWidget;

namespace kv {

// caption and hint are UTF-8; no tooltip without a hint.
QPushButton* FormButton(QWidget* parent, const char* name, const char* caption,
                        const char* hint = nullptr);

} // namespace kv
