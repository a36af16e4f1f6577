// What the terminal asks of the inline graphics protocols. Until the protocols exist no image
// can be placed, so these keep the text side consistent and change nothing else.
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::handleKittyGraphics(std::span<const uint8_t> data)
{
}

void Terminal::updateKittyRelativePlacementsForCurrentBuffer()
{
}

void Terminal::clearKittyImages(Buffer& b, bool isAlternateBuffer)
{
    if (!b.hasAnyImages()) return;
    for (int row = 0; row < b.lines().count(); row++) b.clearImagesFromLine(row);
}

void Terminal::clearAllKittyImages()
{
    clearKittyImages(*buffer_, isCurrentBufferAlternate());
    Buffer& other = isCurrentBufferAlternate() ? *normalBuffer_ : *altBuffer_;
    clearKittyImages(other, !isCurrentBufferAlternate());
    updateRange(buffer_->scrollTop());
    updateRange(buffer_->scrollBottom());
}

} // namespace corvix
