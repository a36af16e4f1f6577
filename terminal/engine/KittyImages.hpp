#pragma once

#include "terminal/engine/KittyGraphics.hpp"
#include "terminal/engine/KittyLineIndex.hpp"
#include "terminal/graphics/KittyGraphicsControl.hpp"
#include "terminal/graphics/KittyPayloadLoader.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"
#include "terminal/screen/LineImageBudget.hpp"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace corvix {

class Buffer;
class Terminal;
class TerminalImage;

// The images of one terminal that live on its lines: the Kitty graphics protocol's store, its
// placements and, per screen, where the Kitty images on the lines are; and the budget every line
// image (Sixel and OSC 1337 too) is held to. The engine calls the few entry points below; the
// rest is this object's own. Its operations are spread over the TerminalKitty*.cpp files and
// TerminalLineImages.cpp by concern.
class KittyImages {
public:
    // `terminal` owns this object and outlives it.
    explicit KittyImages(Terminal& terminal) : terminal_(terminal) {}
    KittyImages(const KittyImages&) = delete;
    KittyImages& operator=(const KittyImages&) = delete;

    // ---- What the engine calls --------------------------------------------------------------
    // One APC "G" string (the bytes after the "G"): chunks are gathered, then the command runs.
    void handleKittyGraphics(std::span<const uint8_t> data);
    // The active screen scrolled: the line that left (-1: none) and where the new one came in
    // (-1: appended), so that the index of the Kitty lines follows; placements that follow their
    // lines then catch up.
    void kittyLinesScrolled(int removedRow, int insertedRow);
    // The buffer's hook: an image went onto line `row`.
    void kittyImageAttached(Buffer& buffer, TerminalImage& image, int row);
    // A screen switch: the placements of one screen go (records with that `isAlternateBuffer`),
    // with the stored images only they used.
    void clearKittyImages(Buffer& buffer, bool isAlternateBuffer);
    // A reset: images off every line of the active and the alternate screen; store and records
    // emptied.
    void clearAllKittyImages();

    // ---- What the host and the view use -----------------------------------------------------
    // A host counts every decoded image it is about to attach (before attaching it); older line
    // images past the budget are removed to make room.
    std::shared_ptr<LineImageCharge> chargeLineImage(int64_t bytes);
    // Places a picture of `cols` x `rows` cells at the cursor, as a host does inside its image
    // call: writes the Kitty placement record (when the context names an image and a placement),
    // then attaches one strip per row from `makeStrip(strip, column)`, top first, with a line feed
    // after each, the column kept. The strips get the context's Kitty fields. The final cursor is
    // the engine's to set afterwards.
    void attachImageStrips(int cols, int rows,
                           const std::function<std::shared_ptr<KittyPlacementImage>(int strip, int col)>& makeStrip);
    const LineImageBudget& lineImageBudget() const { return *lineImageBudget_; }
    KittyGraphicsState& kittyGraphicsState() { return state_; }
    const KittyGraphicsState& kittyGraphicsState() const { return state_; }
    // Held only while the delegate places the image of a normal Kitty placement.
    const std::optional<KittyPlacementContext>& kittyPlacementContext() const { return kittyPlacementContext_; }
    // Buffer lines looked at so far for Kitty images (work done, for tests and benchmarks).
    uint64_t kittyLinesVisited() const { return kittyLinesVisited_; }

    // ---- Test seam: the index and the placement geometry, read as the engine reads them -----
    // Where the Kitty images on each screen's lines are, and the keys of the screen's normal
    // placements whose records follow their lines.
    struct KittyScreen {
        KittyLineIndex lines;
        std::unordered_set<KittyPlacementKey> following;
    };
    KittyScreen& kittyScreen(const Buffer& buffer);
    // Rows of `buffer` in firstLine..<endLine holding Kitty images (of `key`, or of any), top first,
    // at most `limit`. Each is checked against its line: the index is rebuilt when lines moved
    // behind its back. With `syncRectangles`, images whose lines moved since their rectangles were
    // last right have them moved along, for those who read the rectangles.
    std::vector<int> kittyLineRows(Buffer& buffer, std::optional<KittyPlacementKey> key, int firstLine, int endLine,
                                   size_t limit = SIZE_MAX, bool syncRectangles = false);
    using KittyPlacementPositions = std::unordered_map<KittyPlacementKey, KittyPlacementPosition>;
    // Where the line images of each placement lie in `buffer`: its topmost line, its first image's column.
    KittyPlacementPositions collectKittyPlacementPositions(Buffer& buffer);
    std::optional<KittyPlacementPosition> resolveKittyPlacementPosition(
        KittyPlacementKey key, const KittyPlacementPositions& positions, KittyPlacementPositions& resolved,
        std::unordered_set<KittyPlacementKey>& visiting);
    // Stored images that neither a line image nor a placement record shows go.
    void cleanupUnusedKittyImages();

private:
    // Runs one complete command.
    void processKittyGraphics(const KittyGraphicsControl& control, std::span<const uint8_t> base64Payload);
    // Runs the command of a finished chunked transfer (always inline data), decoding its text as
    // it is joined.
    void processKittyTransfer(KittyGraphicsPending transfer);
    // The text a chunked transfer may hold: the image budget (the store's cache limit).
    size_t kittyTransferLimit() const;
    // The protocol's replies; nothing is sent while the command asked for quiet ("q" not 0).
    void sendKittyOk(const KittyGraphicsControl& control, std::optional<uint32_t> imageId,
                     std::optional<uint32_t> imageNumber, std::optional<uint32_t> placementId);
    void sendKittyError(const KittyGraphicsControl& control, std::string_view message);

    // Deletion (TerminalKittyDelete.cpp): action "d" or "D", and the selectors it runs. Each
    // removes the line images and the records it selects, then every other image of the removed
    // records. Cell coordinates are the protocol's, 1-based screen positions.
    void handleKittyDelete(const KittyGraphicsControl& control);
    void deletePlacementsVisibleOnScreen();
    void deletePlacementsByImageId(uint32_t imageId, std::optional<uint32_t> placementId);
    void deletePlacementsAtCell(int64_t x, int64_t y, std::optional<int64_t> zIndex);
    void deletePlacementsInColumn(int64_t x);
    void deletePlacementsInRow(int64_t y);
    void deletePlacementsWithZIndex(int64_t zIndex);
    void deletePlacementsByImageIdRange(uint32_t minId, uint32_t maxId);
    using KittyImageTest = std::function<bool(const KittyPlacementImage&)>;
    using KittyRecordTest = std::function<bool(const KittyPlacementRecord&)>;
    // The line pass over `buffers` (lines firstLine..<endLine), the record pass, and the rest.
    void deleteKittyPlacements(std::initializer_list<Buffer*> buffers, int firstLine, int endLine,
                               const KittyImageTest& image, const KittyRecordTest& record);
    // Removes the Kitty line images that pass `test` from lines firstLine..<endLine (clamped) of
    // `buffer`; returns the keys of those that had both ids.
    std::unordered_set<KittyPlacementKey> removeKittyPlacements(Buffer& buffer, int firstLine, int endLine,
                                                                const KittyImageTest& test);
    // Removes the records that pass `test`; returns their keys.
    std::unordered_set<KittyPlacementKey> removePlacementRecords(const KittyRecordTest& test);
    // Removes the line images of `keys` from both screens; returns the keys found.
    std::unordered_set<KittyPlacementKey> removeKittyPlacementsByKey(const std::unordered_set<KittyPlacementKey>& keys);
    // Removes one placement: its line images on both screens and its record.
    void removeKittyPlacement(uint32_t imageId, uint32_t placementId);

    // Keeping up with the screen (TerminalKittyMaintenance.cpp).
    // After a scroll of the active screen: its followed records take the rows their images are on
    // now, and relative placements move after their parents.
    void updateKittyRelativePlacementsForCurrentBuffer();
    // Moves the line images of placement `key` by `deltaRow` lines, setting their top row and left
    // column; those that would leave the buffer are dropped.
    void moveKittyPlacementImages(Buffer& buffer, KittyPlacementKey key, int64_t deltaRow, int64_t newTopRow,
                                  int64_t newLeftCol);
    // The normal placement `key`, about to be written by the host on the active screen, follows its
    // lines from now on.
    void followKittyPlacement(KittyPlacementKey key);

    // The line index (TerminalKittyLines.cpp).
    // Walks the lines the index lists for `key` (every key when absent), top first, checking each
    // against its line; `found(row, image)`, with the first image of the key there, says whether to
    // go on. An index found out of date is rebuilt and the walk starts over after `restart()`.
    template <typename Restart, typename Found>
    void walkKittyLines(Buffer& buffer, std::optional<KittyPlacementKey> key, bool syncRectangles, Restart restart,
                        Found found);
    enum class KittyLineCheck : uint8_t { holds, gone, moved };
    // Whether line `line.row` still holds images of `line.key` (`image`: the first), or lost them,
    // or is another line now.
    KittyLineCheck checkKittyLine(Buffer& buffer, const KittyLineIndex::Line& line, bool syncRectangles,
                                  const TerminalImage*& image);
    void rebuildKittyLines(Buffer& buffer);
    // The top line of placement `key`'s images and the column of the first one on it.
    std::optional<KittyPlacementPosition> kittyPlacementPosition(Buffer& buffer, KittyPlacementKey key);

    // The store (TerminalKittyStore.cpp). Transmission: actions "t" and "T" (`display`).
    // `load` reads the payload once the keys passed their checks.
    void handleKittyTransmit(const KittyGraphicsControl& control, bool display,
                             const std::function<KittyPayloadResult()>& load);
    void handleKittyTransmitPayload(const KittyGraphicsControl& control, KittyGraphicsPayload payload, bool display);
    void storeKittyImage(KittyGraphicsPayload payload, uint32_t imageId, std::optional<uint32_t> imageNumber);
    // The stored image with a fresh access tick; null when none is stored under the id.
    KittyGraphicsImage* updateKittyImageAccess(uint32_t imageId);
    void enforceKittyImageCacheLimit();
    // Takes one image out of the store, with its bytes and number entries.
    void removeKittyImage(uint32_t imageId);
    void removeKittyImageNumbers(uint32_t imageId);

    // Placements (TerminalKittyPlacement.cpp). Action "p", and the display half of "T".
    void handleKittyPut(const KittyGraphicsControl& control);
    // True when the command went through; on false its error reply went out.
    bool displayKittyImage(KittyGraphicsPayload payload, const KittyGraphicsControl& control,
                           std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber);
    KittyPlacementOrigin resolveKittyPlacementOrigin(const KittyGraphicsControl& control);
    bool placeVirtualKittyImage(const KittyGraphicsControl& control, std::optional<uint32_t> imageId);
    // The delegate's cell size in pixels when it knows one of at least 1 x 1.
    std::optional<std::pair<int, int>> kittyCellSize();
    // "X" and "Y" inside the first cell.
    std::pair<int, int> kittyPixelOffsets(const KittyGraphicsControl& control);
    // Whether a record under `key` fits the placement table, dropping the records of placements no
    // line shows any more when it is full; on false the error reply went out.
    bool makeRoomForKittyPlacement(const KittyGraphicsControl& control, KittyPlacementKey key);

    // Images on lines (TerminalLineImages.cpp).
    // Takes from lines `lineRows` (ascending) of `buffer` the images `take` picks, marks the changed
    // rows of the active screen for redraw, and returns the images taken with their rows.
    std::vector<std::pair<int, std::shared_ptr<TerminalImage>>> takeLineImages(
        Buffer& buffer, std::span<const int> lineRows, const std::function<bool(const TerminalImage&)>& take);
    // The keys of the Kitty images among `images` that have both ids.
    static std::unordered_set<KittyPlacementKey> kittyPlacementKeys(
        const std::vector<std::pair<int, std::shared_ptr<TerminalImage>>>& images);

    Terminal& terminal_;
    KittyGraphicsState state_;
    KittyScreen kittyNormal_;
    KittyScreen kittyAlt_;
    std::optional<KittyPlacementContext> kittyPlacementContext_;
    // Strips the host attached so far for the Kitty placement being made.
    int kittyStripsAttached_ = 0;
    std::shared_ptr<LineImageBudget> lineImageBudget_ = LineImageBudget::make();
    uint64_t kittyLinesVisited_ = 0;
};

} // namespace corvix
