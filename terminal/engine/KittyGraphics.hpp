#pragma once

namespace corvix {

// State of the Kitty graphics protocol held by a terminal for its whole life: image table,
// image numbers, placements and a pending chunked transfer. The protocol itself is not built
// yet; the terminal already calls the operations that keep images in step with the text, and
// they change nothing while no image can exist.
struct KittyGraphicsState {
};

// Where the next Kitty placement is anchored.
struct KittyPlacementContext {
};

} // namespace corvix
