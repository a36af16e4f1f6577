#pragma once

#include "terminal/screen/TerminalImage.hpp"

#include <memory>
#include <optional>
#include <utility>

namespace corvix {

// Holds one image; releasing the holder releases the image. The sizes start absent.
class ImageCell {
public:
    explicit ImageCell(std::shared_ptr<TerminalImage> image) : image(std::move(image)) {}

    std::shared_ptr<TerminalImage> image;
    std::optional<int> width;
    std::optional<int> height;
};

} // namespace corvix
