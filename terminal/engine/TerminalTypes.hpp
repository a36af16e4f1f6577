#pragma once

#include <cstdint>
#include <optional>

namespace corvix {

// Small value types declared with the terminal object.

enum class MouseMode : uint8_t { off, x10, vt200, buttonEventTracking, anyEvent };

inline bool sendsModifiers(MouseMode m)
{
    return m == MouseMode::vt200 || m == MouseMode::buttonEventTracking || m == MouseMode::anyEvent;
}
inline bool sendMotionEvent(MouseMode m) { return m == MouseMode::anyEvent; }

enum class MouseProtocolEncoding : uint8_t { x10, utf8, sgr, urxvt, sgrPixel };

enum class TerminalConformance : uint8_t { vt100, vt200, vt300, vt400, vt500 };

enum class BufferKind : uint8_t { active, normal, alt };
// Encodings `Terminal::getBufferAsData` can produce.
enum class TextEncoding : uint8_t { utf8, ascii };

enum class LinkLookupMode : uint8_t { explicitOnly, explicitAndImplicit };

enum class ProgressReportState : uint8_t { remove = 0, set = 1, error = 2, indeterminate = 3, pause = 4 };

inline std::optional<ProgressReportState> progressReportStateFromRaw(int raw)
{
    if (raw < 0 || raw > 4) return std::nullopt;
    return ProgressReportState(raw);
}

struct ProgressReport {
    ProgressReportState state = ProgressReportState::remove;
    std::optional<uint8_t> progress;
    friend bool operator==(const ProgressReport&, const ProgressReport&) = default;
};

// A requested image dimension of an inline image.
struct ImageSizeRequest {
    enum class Kind : uint8_t { cells, pixels, percent, automatic };
    Kind kind = Kind::automatic;
    int value = 0;
    friend bool operator==(const ImageSizeRequest&, const ImageSizeRequest&) = default;
};

// A window operation requested by the child (CSI ... t), for the host to carry out or answer.
struct WindowManipulationCommand {
    enum class Kind : uint8_t {
        moveWindowTo,          // x, y
        resizeWindowTo,        // width, height (pixels)
        resizeTo,              // cols, rows
        resizeTerminal,        // cols, rows
        resizeToLines,         // lines (in a)
        deiconifyWindow,
        iconifyWindow,
        bringToFront,
        sendToBack,
        refreshWindow,
        restoreMaximizedWindow,
        maximizeWindow,
        maximizeWindowVertically,
        maximizeWindowHorizontally,
        undoFullScreen,
        switchToFullScreen,
        toggleFullScreen,
        reportTerminalState,
        reportTerminalPosition,
        reportTextAreaPosition,
        reportTextAreaPixelDimension,
        reportTerminalWindowPixelDimension,
        reportSizeOfScreenInPixels,
        reportCellSizeInPixels,
        reportTextAreaCharacters,
        reportScreenSizeCharacters,
        reportIconLabel,
        reportWindowTitle,
    };
    Kind kind = Kind::refreshWindow;
    int a = 0;
    int b = 0;
    friend bool operator==(const WindowManipulationCommand&, const WindowManipulationCommand&) = default;
};

} // namespace corvix
