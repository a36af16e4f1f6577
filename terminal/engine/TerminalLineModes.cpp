// Line render modes, screen alignment and presentation direction (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::setLineRenderMode(BufferLine::RenderLineMode mode)
{
}

void Terminal::cmdScreenAlignmentPattern()
{
}

void Terminal::cmdSelectPresentationDirection(Params pars, Bytes collect)
{
}

} // namespace corvix
