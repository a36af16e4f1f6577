// OSC commands (not built yet).
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::oscSetCurrentDocument(Bytes data)
{
}

void Terminal::oscSetCurrentDirectory(Bytes data)
{
}

void Terminal::oscHyperlink(Bytes data)
{
}

std::optional<ProgressReport> Terminal::parseProgressReport(Bytes data)
{
    return std::nullopt;
}

void Terminal::oscClipboard(Bytes data)
{
}

void Terminal::oscNotification(Bytes data)
{
}

void Terminal::osciTerm2(Bytes data)
{
}

} // namespace corvix
