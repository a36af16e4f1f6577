#pragma once

#include <cstdint>
#include <span>

namespace corvix {

class Terminal;

// The Kitty keyboard protocol's commands (CSI ? u, CSI > u, CSI < u, CSI = u) over the flag
// stack of the active screen; the encoder that reads the flags is the view's.
class TerminalKittyKeyboard {
public:
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

    explicit TerminalKittyKeyboard(Terminal& terminal) : terminal_(terminal) {}

    // Query, push, pop or set the flags; false when the sequence is not one of the protocol's.
    bool handle(Params pars, Bytes collect);

private:
    Terminal& terminal_;
};

} // namespace corvix
