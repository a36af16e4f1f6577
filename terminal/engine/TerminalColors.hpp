#pragma once

#include <cstdint>
#include <span>

namespace corvix {

class Terminal;

// The colour commands (OSC 4, 10-19, 104-119) and the palette they change. The palette and the
// default colours are the terminal's; its setters and these commands keep them consistent.
class TerminalColors {
public:
    using Bytes = std::span<const uint8_t>;

    explicit TerminalColors(Terminal& terminal) : terminal_(terminal) {}

    void oscChangeOrQueryColorIndex(Bytes data);
    void oscSetColors(Bytes data, int startAt);
    void oscResetColor(Bytes data);
    // The 256-colour palette from the installed colours and the strategy; tells the delegate
    // when `notifyDelegate`.
    void rebuildAnsiPalette(bool notifyDelegate);
    // Every palette entry back to its default (OSC 104 without indexes, a full reset).
    void resetAllColors();

private:
    Terminal& terminal_;
};

} // namespace corvix
