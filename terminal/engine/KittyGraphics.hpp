#pragma once

#include "terminal/graphics/KittyGraphicsPending.hpp"

#include <optional>

namespace corvix {

// State of the Kitty graphics protocol held by a terminal for its whole life: image table,
// image numbers, placements and a pending chunked transfer. Commands are parsed, gathered and
// answered; images are not stored or placed yet, so the operations that keep them in step with
// the text change nothing while no Kitty image can exist.
struct KittyGraphicsState {
    // An unfinished chunked transfer.
    std::optional<KittyGraphicsPending> pending;
};

// Where the next Kitty placement is anchored.
struct KittyPlacementContext {
};

} // namespace corvix
