// The Kitty keyboard flag stack: query, push, pop and set of the active screen's flags.
#include "terminal/engine/TerminalKittyKeyboard.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>
#include <string>

namespace corvix {

namespace {

// A child that pushes without popping must not grow the stack without bound.
constexpr size_t kMaxStackDepth = 16;

} // namespace

bool TerminalKittyKeyboard::handle(Params pars, Bytes collect)
{
    if (collect.size() != 1) return false;
    Terminal::KeyboardModeState& s =
        terminal_.isCurrentBufferAlternate() ? terminal_.keyboardModeAlt : terminal_.keyboardModeNormal;
    const int p0 = pars.empty() ? 0 : pars[0];

    switch (collect[0]) {
    case '?': {
        std::string reply(terminal_.replyCsi());
        reply += '?' + std::to_string(s.flags.rawValue) + 'u';
        terminal_.sendResponse(reply);
        return true;
    }
    case '>':
        if (s.stack.size() >= kMaxStackDepth) s.stack.erase(s.stack.begin());
        s.stack.push_back(s.flags);
        s.flags = {p0 & KittyKeyboardFlags::knownMask};
        return true;
    case '<': {
        const size_t n = size_t(std::max(p0, 1));
        if (s.stack.size() >= n) {
            s.flags = s.stack[s.stack.size() - n];
            s.stack.resize(s.stack.size() - n);
        } else {
            s.stack.clear();
            s.flags = {};
        }
        return true;
    }
    case '=': {
        const KittyKeyboardFlags f{p0 & KittyKeyboardFlags::knownMask};
        // The parser hands 0 for an omitted mode; the protocol's default mode is 1.
        const int m = pars.size() > 1 && pars[1] != 0 ? pars[1] : 1;
        switch (m) {
        case 1: s.flags = f; break;
        case 2: s.flags |= f; break;
        case 3: s.flags &= ~f; break;
        default: break;
        }
        return true;
    }
    default: return false;
    }
}

} // namespace corvix
