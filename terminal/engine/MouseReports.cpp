// Mouse reports in the X10, UTF-8, SGR, urxvt and SGR-pixel encodings.
#include "terminal/engine/MouseReports.hpp"

#include "terminal/engine/Terminal.hpp"

#include <algorithm>
#include <string>

namespace corvix {

namespace {

// Negative values would wrap into arbitrary bytes in the single-byte encodings, and huge ones
// would overflow the offsets added below; no screen comes near this bound.
int bounded(int value)
{
    return std::clamp(value, 0, 1 << 24);
}

// Appends one coordinate or button value in the UTF-8 mouse encoding.
void encodeMouseUtf(std::vector<uint8_t>& data, int ch)
{
    if (ch == 2047) {
        data.push_back(0);
    } else if (ch <= 126) {
        data.push_back(uint8_t(std::max(ch, 0)));
    } else {
        int w = std::min(ch, 2047);
        data.push_back(uint8_t(0xC0 | (w >> 6)));
        data.push_back(uint8_t(0x80 | (w & 0x3F)));
    }
}

} // namespace

Terminal& MouseReports::terminal()
{
    // Only Terminal makes one, as its base.
    return static_cast<Terminal&>(*this);
}

void MouseReports::setMouseMode(MouseMode mode)
{
    mouseMode_ = mode;
    if (TerminalDelegate* delegate = terminal().delegate()) delegate->mouseModeChanged(terminal());
}

int MouseReports::encodeButton(int button, bool release, bool shift, bool meta, bool control) const
{
    int value = 0;
    if (release) {
        value = 3;
    } else {
        switch (button) {
        case 1: value = 1; break;
        case 2: value = 2; break;
        case 4: value = 64; break;
        case 5: value = 65; break;
        default: value = 0; break;
        }
    }
    // X10 mode reports bare buttons.
    if (sendsModifiers(mouseMode_)) {
        if (shift) value |= 4;
        if (meta) value |= 8;
        if (control) value |= 16;
    }
    return value;
}

void MouseReports::sendEvent(int buttonFlags, int x, int y, int pixelX, int pixelY)
{
    buttonFlags = bounded(buttonFlags);
    x = bounded(x);
    y = bounded(y);
    pixelX = bounded(pixelX);
    pixelY = bounded(pixelY);

    std::vector<uint8_t> out;
    auto append = [&out](std::string_view text) { out.insert(out.end(), text.begin(), text.end()); };
    append(terminal().replyCsi());
    switch (mouseProtocol) {
    case MouseProtocolEncoding::x10:
        append("M");
        out.push_back(uint8_t(std::min(buttonFlags + 32, 255)));
        out.push_back(uint8_t(std::min(x + 33, 255)));
        out.push_back(uint8_t(std::min(y + 33, 255)));
        break;
    case MouseProtocolEncoding::utf8:
        append("M");
        encodeMouseUtf(out, buttonFlags + 32);
        encodeMouseUtf(out, x + 33);
        encodeMouseUtf(out, y + 33);
        break;
    case MouseProtocolEncoding::sgr:
    case MouseProtocolEncoding::sgrPixel: {
        const bool pixels = mouseProtocol == MouseProtocolEncoding::sgrPixel;
        const int px = pixels ? pixelX : x + 1;
        const int py = pixels ? pixelY : y + 1;
        // A release without motion reports button 0 and ends in "m".
        const bool release = (buttonFlags & 0x23) == 3;
        const int b = release ? (buttonFlags & ~0x23) : buttonFlags;
        append("<" + std::to_string(b) + ";" + std::to_string(px) + ";" + std::to_string(py) + (release ? "m" : "M"));
        break;
    }
    case MouseProtocolEncoding::urxvt:
        append(std::to_string(buttonFlags + 32) + ";" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "M");
        break;
    }
    terminal().sendResponse(std::span<const uint8_t>(out));
}

void MouseReports::sendMotion(int buttonFlags, int x, int y, int pixelX, int pixelY)
{
    sendEvent(bounded(buttonFlags) + 32, x, y, pixelX, pixelY);
}

void MouseReports::setTerminalFocus(bool focused)
{
    reportedFocusState_ = focused;
    if (terminal().sendFocus) sendFocusReport();
}

void MouseReports::sendFocusReport()
{
    Terminal& t = terminal();
    if (!t.delegate()) return;
    std::string report(t.replyCsi());
    report += reportedFocusState_ ? 'I' : 'O';
    t.sendResponse(report);
}

} // namespace corvix
