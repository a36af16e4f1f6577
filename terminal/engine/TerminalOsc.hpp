#pragma once

#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace corvix {

class Terminal;

// The operating system commands that carry host state: titles, the current document and
// directory, hyperlinks, the clipboard, notifications, progress and the iTerm2 image command.
// Made on demand over the terminal, whose state they change; they hold nothing of their own.
class TerminalOsc {
public:
    using Bytes = std::span<const uint8_t>;

    explicit TerminalOsc(Terminal& terminal) : terminal_(terminal) {}

    // Store the title and tell the delegate.
    void setTitle(const std::string& text);
    void setIconTitle(const std::string& text);
    void oscSetCurrentDocument(Bytes data);
    void oscSetCurrentDirectory(Bytes data);
    void oscHyperlink(Bytes data);
    std::optional<ProgressReport> parseProgressReport(Bytes data);
    void oscClipboard(Bytes data);
    void oscNotification(Bytes data);
    void osciTerm2(Bytes data);
    // Interns a hyperlink payload: one code per distinct value while any cell uses it. When the
    // table is full, its unused codes are collected first; nothing if still full (and, for the
    // next kPayloadCollectionPause calls, nothing without a further collection).
    std::optional<TinyAtom> makePayload(const std::string& value);

private:
    Terminal& terminal_;
};

} // namespace corvix
