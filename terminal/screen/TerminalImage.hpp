#pragma once

namespace corvix {

// An image attached to a buffer line. The host makes them; the screen model only stores them in a
// line's image list, counts lines that hold one and drops the list when the line is cleared.
class TerminalImage {
public:
    virtual ~TerminalImage() = default;

    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    virtual int col() const = 0;
    virtual void setCol(int col) = 0;
};

} // namespace corvix
