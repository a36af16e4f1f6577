#pragma once

#include "terminal/screen/Position.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

// Small value types declared with the terminal object.

// Printable ASCII, the bytes the print path's run writer handles (DEL is not printable).
inline bool isPrintableAscii(uint8_t b) { return b >= 0x20 && b < 0x7F; }

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

// Link detection: where a lookup points and what it finds.
struct LinkLookupLocation {
    enum class Kind : uint8_t { buffer, screen };
    Kind kind = Kind::buffer;
    // A buffer row (scroll-back included), or a screen row counted from the buffer's yDisp.
    Position position;
    static LinkLookupLocation buffer(Position p) { return {Kind::buffer, p}; }
    static LinkLookupLocation screen(Position p) { return {Kind::screen, p}; }
};

// Columns lowerBound..<upperBound.
struct ColumnRange {
    int lowerBound = 0;
    int upperBound = 0;
    bool empty() const { return upperBound <= lowerBound; }
    friend bool operator==(const ColumnRange&, const ColumnRange&) = default;
};

struct LinkMatch {
    struct RowRange {
        int row = 0;
        ColumnRange range;
        friend bool operator==(const RowRange&, const RowRange&) = default;
    };
    std::string text;     // the link target (UTF-8)
    int row = 0;          // the row looked up
    ColumnRange range;    // the link's columns on `row`
    bool isExplicit = false;
    std::vector<RowRange> rowRanges; // ascending by row
};

// The cell one character of an implicit logical line came from (width at least 1).
struct ImplicitCellRef {
    int row = 0;
    int col = 0;
    int width = 1;
};

// A logical line assembled for implicit link detection: UTF-16 text, one cell per character.
struct ImplicitLineMap {
    std::u16string text;
    std::vector<ImplicitCellRef> cells;
    // UTF-16 offset where each cell's character starts, plus the text's length at the end.
    std::vector<int32_t> charStarts;
    int row = 0;
    int col = 0;
};

// The first and last non-whitespace cells of a row and their characters.
struct LinkRowEdgeInfo {
    int firstCol = 0;
    std::u32string firstCharacter;
    int lastCol = 0;
    std::u32string lastCharacter;
};

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
