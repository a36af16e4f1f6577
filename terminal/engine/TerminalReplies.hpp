#pragma once

#include <string_view>

namespace corvix {

// How the terminal's replies begin and end: the single C1 byte while `cc.send8bit` (S8C1T),
// else ESC + byte. The engine's parts build their answers with these.
struct TerminalReplies {
    struct CC {
        bool send8bit = false;
    } cc;

    std::string_view replyCsi() const { return cc.send8bit ? "\x9b" : "\x1b["; }
    std::string_view replyOsc() const { return cc.send8bit ? "\x9d" : "\x1b]"; }
    std::string_view replyDcs() const { return cc.send8bit ? "\x90" : "\x1bP"; }
    std::string_view replyApc() const { return cc.send8bit ? "\x9f" : "\x1b_"; }
    std::string_view replySt() const { return cc.send8bit ? "\x9c" : "\x1b\\"; }
};

} // namespace corvix
