#pragma once

#include "terminal/graphics/KittyImageUses.hpp"
#include "terminal/screen/TerminalImage.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace corvix {

// A line image that may belong to a Kitty placement. The host's strips are these; the strips of
// one normal placement carry its key and its rectangle (cells; the row absolute), which is how
// the engine finds, moves and removes placements on the lines.
class KittyPlacementImage : public TerminalImage {
public:
    using TerminalImage::TerminalImage;

    bool kittyIsKitty = false;
    std::optional<uint32_t> kittyImageId;
    // Counts this image as a use of the stored image `kittyImageId` while it lives.
    std::shared_ptr<const KittyImageUse> kittyImageUse;
    std::optional<uint32_t> kittyImageNumber;
    std::optional<uint32_t> kittyPlacementId;
    int64_t kittyZIndex = 0;
    int kittyCol = 0;
    int kittyRow = 0;
    int kittyCols = 0;
    int kittyRows = 0;
    int kittyPixelOffsetX = 0;
    int kittyPixelOffsetY = 0;
};

} // namespace corvix
