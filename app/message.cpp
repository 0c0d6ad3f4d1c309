#include "message.h"

#include <utility>

namespace kv {

namespace {
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}
} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

MsgResult ShowMessage(const std::string& text, const std::string& caption, MsgFlags flags) {
    if (Handler()) return Handler()(text, caption, flags);
    return flags.Buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
}

} // namespace kv
