#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace corvix {

class Terminal;

// The rectangular-area functions: copy (DECCRA), fill (DECFRA), erase (DECERA, DECSERA)
// and the checksum report (DECRQCRA). Made on demand over
// the terminal's active buffer; they hold nothing of their own.
class RectangularAreas {
public:
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

    explicit RectangularAreas(Terminal& terminal) : terminal_(terminal) {}

    void csiCopyRectangularArea(Params pars, Bytes collect);
    void csiX(Params pars, Bytes collect);
    void cmdDECRQCRA(Params pars, Bytes collect);
    void csiZ(Params pars, Bytes collect);
    void csiOpenBrace(Params pars, Bytes collect);

private:
    // A rectangle of screen cells, zero-based and inclusive; nothing for an empty request.
    struct Rectangle {
        int top = 0;
        int left = 0;
        int bottom = 0;
        int right = 0;
    };
    std::optional<Rectangle> getRectangleFromRequest(Params pars) const;
    void cmdDECERA(Params pars);
    void cmdSelectiveEraseRectangularArea(Params pars);

    Terminal& terminal_;
};

} // namespace corvix
