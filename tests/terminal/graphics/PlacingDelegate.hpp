#pragma once

// A host that places images the way the terminal view does, without drawing: the contract the
// engine's image calls rely on.

#include "GraphicsTestSupport.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/support/RecordingDelegate.hpp"
#include "terminal/graphics/GraphicsCodec.hpp"
#include "terminal/graphics/KittyGraphicsPayload.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace corvix::test {

// One cell row of a placed image. The strips of one image share its decoded pixels and its
// budget charge, as the view's do.
class FakeStrip final : public KittyPlacementImage {
public:
    FakeStrip(std::shared_ptr<LineImageCharge> charge, std::shared_ptr<const std::vector<uint8_t>> pixels, int width,
              int height, int col)
        : KittyPlacementImage(std::move(charge)), pixels(std::move(pixels)), width_(width), height_(height), col_(col)
    {
    }

    int pixelWidth() const override { return width_; }
    int pixelHeight() const override { return height_; }
    int col() const override { return col_; }
    void setCol(int col) override { col_ = col; }

    std::shared_ptr<const std::vector<uint8_t>> pixels;
    // Which cell row of its image this is, from 0.
    int strip = 0;

private:
    int width_;
    int height_;
    int col_;
};

// Places images at scale 1 in a frame of the terminal's size: sizes the image from its requests
// (the Kitty context's when set), counts its decoded bytes, writes the record of a Kitty
// placement with both ids, attaches one strip per cell row with a basic line feed after each
// (the column kept), and leaves the cursor there for the engine.
class PlacingDelegate : public RecordingDelegate {
public:
    // What the engine handed over, with the placement context of that moment.
    struct Received {
        int width = 0;
        int height = 0;
        bool png = false;
        std::optional<KittyPlacementContext> context;
        // The RGBA bytes, while `keepBytes`.
        std::vector<uint8_t> bytes;
    };

    std::optional<std::pair<int, int>> cellSize = std::pair{10, 20};
    // Refuses every image (as the view does with one it cannot make).
    bool refuse = false;
    bool keepBytes = false;
    std::vector<Received> received;

    std::optional<std::pair<int, int>> cellSizeInPixels(Terminal&) override { return cellSize; }

    bool createImageFromBitmap(Terminal& t, std::vector<uint8_t>& bytes, int width, int height) override
    {
        received.push_back({width, height, false, t.kittyPlacementContext(), keepBytes ? bytes : std::vector<uint8_t>()});
        if (refuse || width < 1 || height < 1) return false;
        ImageSizeRequest w;
        ImageSizeRequest h;
        bool keepAspect = true;
        if (const auto& context = t.kittyPlacementContext()) {
            w = context->widthRequest;
            h = context->heightRequest;
            keepAspect = context->preserveAspectRatio;
        }
        return insertImage(t, std::make_shared<const std::vector<uint8_t>>(std::move(bytes)), width, height, w, h,
                           keepAspect);
    }

    bool createImage(Terminal& t, std::span<const uint8_t> data, ImageSizeRequest w, ImageSizeRequest h,
                     bool keepAspect) override
    {
        auto decoded = GraphicsCodec::standard().decodePng(data, KittyGraphicsPayload::kMaxSide);
        received.push_back({decoded ? decoded->width : 0, decoded ? decoded->height : 0, true, t.kittyPlacementContext(), {}});
        if (refuse || !decoded) return false;
        return insertImage(t, std::make_shared<const std::vector<uint8_t>>(std::move(decoded->bytes)),
                           decoded->width, decoded->height, w, h, keepAspect);
    }

private:
    bool insertImage(Terminal& t, std::shared_ptr<const std::vector<uint8_t>> pixels, int imageWidth,
                     int imageHeight, ImageSizeRequest widthRequest, ImageSizeRequest heightRequest, bool keepAspect)
    {
        const auto [cellWidth, cellHeight] = cellSize.value_or(std::pair{10, 20});
        const auto target = [](ImageSizeRequest request, int cell, int frame, int natural) {
            switch (request.kind) {
            case ImageSizeRequest::Kind::cells: return double(cell) * request.value;
            case ImageSizeRequest::Kind::pixels: return double(request.value);
            case ImageSizeRequest::Kind::percent: return request.value * 0.01 * frame;
            default: return double(natural);
            }
        };
        double w = target(widthRequest, cellWidth, t.cols * cellWidth, imageWidth);
        double h = target(heightRequest, cellHeight, t.rows * cellHeight, imageHeight);
        const bool autoWidth = widthRequest.kind == ImageSizeRequest::Kind::automatic;
        const bool autoHeight = heightRequest.kind == ImageSizeRequest::Kind::automatic;
        if (keepAspect && !autoWidth && autoHeight) h = w * imageHeight / imageWidth;
        if (keepAspect && autoWidth && !autoHeight) w = h * imageWidth / imageHeight;
        const int rows = int(std::ceil(h / cellHeight));
        const int cols = int(std::ceil(w / cellWidth));
        if (rows < 1) return false;

        // Counted before anything is attached, so that making room never takes this image.
        const std::shared_ptr<LineImageCharge> charge = t.chargeLineImage(int64_t(pixels->size()));
        t.attachImageStrips(cols, rows, [&](int strip, int col) {
            auto image = std::make_shared<FakeStrip>(charge, pixels, int(w), cellHeight, col);
            image->strip = strip;
            return image;
        });
        return true;
    }
};

// The pixels of a w x h image whose pixel (x, y) is x, y, 7, 255 (x and y below 256).
inline std::vector<uint8_t> gridPixels(int w, int h)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) bytes.insert(bytes.end(), {uint8_t(x), uint8_t(y), 7, 255});
    }
    return bytes;
}

// A command sending gridPixels(w, h) as RGBA, after the keys given.
inline std::string rgbaCommand(const std::string& keys, int w, int h)
{
    return keys + ",f=32,s=" + std::to_string(w) + ",v=" + std::to_string(h) + ";" + base64(gridPixels(w, h));
}

// A 20 x 10 terminal with a placing host.
struct PlacingTerminal {
    static TerminalOptions smallScreen()
    {
        TerminalOptions o;
        o.cols = 20;
        o.rows = 10;
        return o;
    }

    PlacingDelegate host;
    Terminal t;

    explicit PlacingTerminal(TerminalOptions options = smallScreen()) : t(&host, std::move(options)) {}

    // Sends APC "G" + text and returns the replies it caused.
    std::string command(const std::string& text)
    {
        host.sent.clear();
        t.feed("\x1b_G" + text + "\x1b\\");
        return host.sent;
    }
    KittyGraphicsState& state() { return t.kittyGraphicsState(); }
    std::pair<int, int> cursor() { return t.getCursorLocation(); }
    void moveTo(int col, int row) { t.feed("\x1b[" + std::to_string(row + 1) + ";" + std::to_string(col + 1) + "H"); }
    // The strips attached to absolute line `row` of the active screen.
    std::vector<const FakeStrip*> strips(int row)
    {
        std::vector<const FakeStrip*> out;
        if (const auto& images = t.buffer().lines()[row].images()) {
            for (const auto& image : *images) out.push_back(dynamic_cast<const FakeStrip*>(image.get()));
        }
        return out;
    }
    // Absolute rows of the active screen that hold images.
    std::vector<int> rowsWithImages()
    {
        std::vector<int> out;
        for (int row = 0; row < t.buffer().lines().count(); row++) {
            if (t.buffer().lines()[row].images()) out.push_back(row);
        }
        return out;
    }
};

// A Kitty line image's ids as (image id, placement id), 0 for an absent one.
using KeyPair = std::pair<uint32_t, uint32_t>;

// Every Kitty line image of `b` by its ids, with the rows it lies on, found by walking every line.
inline std::map<KeyPair, std::vector<int>> kittyLinesOf(Buffer& b)
{
    std::map<KeyPair, std::vector<int>> found;
    for (int row = 0; row < b.lines().count(); row++) {
        const auto& images = b.lines()[row].images();
        if (!images) continue;
        for (const auto& image : *images) {
            const auto* kitty = dynamic_cast<const KittyPlacementImage*>(image.get());
            if (!kitty || !kitty->kittyIsKitty) continue;
            auto& rows = found[{kitty->kittyImageId.value_or(0), kitty->kittyPlacementId.value_or(0)}];
            if (rows.empty() || rows.back() != row) rows.push_back(row);
        }
    }
    return found;
}

// The keys of the Kitty line images of both screens.
inline std::set<KeyPair> kittyKeysOnLines(Terminal& t)
{
    std::set<KeyPair> keys;
    for (Buffer* b : {&t.normalBuffer(), &t.altBuffer()}) {
        for (const auto& [key, rows] : kittyLinesOf(*b)) keys.insert(key);
    }
    return keys;
}

inline std::set<KeyPair> recordKeys(Terminal& t)
{
    std::set<KeyPair> keys;
    for (const auto& [key, record] : t.kittyGraphicsState().placementsByKey) keys.insert({key.imageId, key.placementId});
    return keys;
}

inline std::set<uint32_t> storedIds(Terminal& t)
{
    std::set<uint32_t> ids;
    for (const auto& [id, image] : t.kittyGraphicsState().imagesById) ids.insert(id);
    return ids;
}

// The reply framing around a text.
inline std::string apc(const std::string& text)
{
    return "\x1b_" + text + "\x1b\\";
}

} // namespace corvix::test
