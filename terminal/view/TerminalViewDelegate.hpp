#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace corvix {

class TerminalView;

// The terminal view's host. The view holds it without owning it; the host clears it (or
// destroys the view) before it goes away.
class TerminalViewDelegate {
public:
    virtual ~TerminalViewDelegate() = default;

    virtual void sizeChanged(TerminalView& source, int newCols, int newRows) = 0;
    virtual void setTerminalTitle(TerminalView& source, const QString& title) = 0;
    virtual void hostCurrentDirectoryUpdate(TerminalView& source, const std::optional<QString>& directory) = 0;
    // Bytes for the program in the terminal.
    virtual void send(TerminalView& source, std::span<const uint8_t> data) = 0;
    // The scroll position, 0 (top of the scroll-back) to 1 (bottom).
    virtual void scrolled(TerminalView& source, double position) = 0;
    // Opens the link as a URL when it parses as one.
    virtual void requestOpenLink(TerminalView& source, const QString& link, const std::map<QString, QString>& params);
    // The platform's beep.
    virtual void bell(TerminalView& source);
    virtual void clipboardCopy(TerminalView& source, std::span<const uint8_t> content) {}
    virtual std::optional<std::vector<uint8_t>> clipboardRead(TerminalView& source) { return std::nullopt; }
    virtual void iTermContent(TerminalView& source, std::span<const uint8_t> content) {}
    virtual void rangeChanged(TerminalView& source, int startY, int endY) = 0;
};

} // namespace corvix
