#pragma once

#include "terminal/screen/BufferLine.hpp"

#include <cstdint>
#include <span>

namespace corvix {

class Terminal;

// Line render modes (DECDHL, DECDWL, DECSWL), the screen alignment pattern (DECALN) and the
// presentation direction (SPD). Made on demand over the terminal's active buffer.
class TerminalLineModes {
public:
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

    explicit TerminalLineModes(Terminal& terminal) : terminal_(terminal) {}

    void setLineRenderMode(BufferLine::RenderLineMode mode);
    void cmdScreenAlignmentPattern();
    void cmdSelectPresentationDirection(Params pars, Bytes collect);

private:
    Terminal& terminal_;
};

} // namespace corvix
