#pragma once

#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/screen/Color.hpp"
#include "terminal/screen/TerminalOptions.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace corvix {

class Terminal;

// The terminal's callbacks to its host. Only `send` must be implemented; every other operation
// has a default. The terminal holds its delegate without owning it; the host clears it (or
// destroys the terminal) before the delegate goes away.
class TerminalDelegate {
public:
    virtual ~TerminalDelegate() = default;

    virtual void showCursor(Terminal& source) {}
    virtual void hideCursor(Terminal& source) {}
    virtual void setTerminalTitle(Terminal& source, const std::string& title) {}
    virtual void setTerminalIconTitle(Terminal& source, const std::string& title) {}
    // Reply bytes for a report, or nothing to let the terminal answer itself.
    virtual std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                               const WindowManipulationCommand& command)
    {
        return std::nullopt;
    }
    virtual void sizeChanged(Terminal& source) {}
    // Bytes for the child: every reply and report.
    virtual void send(Terminal& source, std::span<const uint8_t> data) = 0;
    virtual void scrolled(Terminal& source, int yDisp) {}
    virtual void linefeed(Terminal& source) {}
    virtual void bufferActivated(Terminal& source) {}
    virtual void synchronizedOutputChanged(Terminal& source, bool active) {}
    virtual void bell(Terminal& source) {}
    virtual void selectionChanged(Terminal& source) {}
    virtual bool isProcessTrusted(Terminal& source) { return true; }
    // (width, height) of a cell in pixels, or nothing while unknown.
    virtual std::optional<std::pair<int, int>> cellSizeInPixels(Terminal& source) { return std::nullopt; }
    virtual void mouseModeChanged(Terminal& source) {}
    virtual void cursorStyleChanged(Terminal& source, CursorStyle newStyle) {}
    virtual void hostCurrentDirectoryUpdated(Terminal& source) {}
    virtual void hostCurrentDocumentUpdated(Terminal& source) {}
    // A palette entry changed; no index means the whole palette.
    virtual void colorChanged(Terminal& source, std::optional<int> idx) {}
    // The defaults keep the colour in the terminal.
    virtual void setForegroundColor(Terminal& source, const Color& color);
    virtual void setBackgroundColor(Terminal& source, const Color& color);
    virtual void setCursorColor(Terminal& source, std::optional<Color> color);
    // (foreground, background) for colour queries.
    virtual std::pair<Color, Color> getColors(Terminal& source);
    virtual void iTermContent(Terminal& source, std::span<const uint8_t> content) {}
    virtual void clipboardCopy(Terminal& source, std::span<const uint8_t> content) {}
    virtual std::optional<std::vector<uint8_t>> clipboardRead(Terminal& source) { return std::nullopt; }
    virtual void notify(Terminal& source, const std::string& title, const std::string& body) {}
    virtual void progressReport(Terminal& source, const ProgressReport& report) {}
    // Inline images placed at the cursor: `bytes` are width x height x 4 premultiplied RGBA
    // (Sixel, Kitty; the callee may take them), `data` an encoded image with its size requests
    // (OSC 1337, Kitty PNG). The host counts the decoded image with `Terminal::chargeLineImage`
    // before attaching it, attaches one strip per cell row with a basic line feed after each (the
    // column kept) and returns true when it attached anything; on false it moved no cursor. While
    // `source.kittyPlacementContext` is set, the strips carry the context's Kitty properties, a
    // context with both an image id and a placement id gets its record, and the engine places the
    // cursor afterwards.
    virtual bool createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height)
    {
        return false;
    }
    virtual bool createImage(Terminal& source, std::span<const uint8_t> data, ImageSizeRequest width,
                             ImageSizeRequest height, bool preserveAspectRatio)
    {
        return false;
    }
};

} // namespace corvix
