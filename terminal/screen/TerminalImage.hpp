#pragma once

#include "terminal/screen/LineImageBudget.hpp"

#include <memory>
#include <utility>

namespace corvix {

// An image attached to a buffer line. The host makes them; the screen model only stores them in a
// line's image list, counts lines that hold one and drops the list when the line is cleared.
class TerminalImage {
public:
    // `charge`: the terminal's count of the decoded image this one shows a part of (the strips of
    // one image share it); none for an image that no budget counts.
    explicit TerminalImage(std::shared_ptr<LineImageCharge> charge = nullptr) : charge_(std::move(charge)) {}
    virtual ~TerminalImage() = default;

    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    virtual int col() const = 0;
    virtual void setCol(int col) = 0;

    const LineImageCharge* charge() const { return charge_.get(); }

private:
    std::shared_ptr<LineImageCharge> charge_;
};

} // namespace corvix
