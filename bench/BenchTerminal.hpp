#pragma once

// What the terminal benchmarks share: a host that drops every reply, feeding in the chunk size a
// pseudo-terminal delivers, and a line image to place.

#include "Payloads.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

namespace corvix::bench {

// One cell of an image on a line, drawing nothing.
class Strip final : public KittyPlacementImage {
public:
    int pixelWidth() const override { return 10; }
    int pixelHeight() const override { return 20; }
    int col() const override { return col_; }
    void setCol(int col) override { col_ = col; }

private:
    int col_ = 0;
};

// Drops every reply, so the figures are the terminal's own.
struct NullDelegate : TerminalDelegate {
    void send(Terminal&, std::span<const uint8_t>) override {}
};

// Places every image as one strip at the cursor through the engine (which records a Kitty
// placement for it), as the view does.
struct PlacingHost : NullDelegate {
    bool createImageFromBitmap(Terminal& t, std::vector<uint8_t>&, int, int) override
    {
        t.attachImageStrips(1, 1, [](int, int col) {
            auto strip = std::make_shared<Strip>();
            strip->setCol(col);
            return strip;
        });
        return true;
    }
};

inline void feedInChunks(Terminal& terminal, std::span<const uint8_t> bytes)
{
    for (size_t at = 0; at < bytes.size(); at += kChunkSize)
        terminal.feed(bytes.subspan(at, std::min(kChunkSize, bytes.size() - at)));
}

} // namespace corvix::bench
