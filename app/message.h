// The application's message box, reachable from model code. The widget layer
// installs a handler that shows a real dialog; tests install one that records
// the messages and answers them.
#pragma once

#include <functional>
#include <string>

namespace kv {

enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Exclamation, Question, Error };
enum class MsgResult { Ok, Cancel, Yes, No };

struct MsgFlags {
    MsgButtons Buttons = MsgButtons::Ok;
    MsgIcon Icon = MsgIcon::None;
};

inline constexpr MsgFlags kExclamation{MsgButtons::Ok, MsgIcon::Exclamation};

using MessageBoxHandler =
    std::function<MsgResult(const std::string& text, const std::string& caption, MsgFlags)>;

// Replaces the handler and returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Shows text with caption as given (no translation). Without a handler the
// answer is Ok (or Cancel for questions).
MsgResult ShowMessage(const std::string& text, const std::string& caption, MsgFlags flags);

} // namespace kv
