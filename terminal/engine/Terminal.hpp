#pragma once

#include "terminal/engine/CharSets.hpp"
#include "terminal/engine/EscapeSequenceParser.hpp"
#include "terminal/engine/Executor.hpp"
#include "terminal/engine/KittyGraphics.hpp"
#include "terminal/engine/KittyLineIndex.hpp"
#include "terminal/engine/KittyKeyboardProtocol.hpp"
#include "terminal/engine/ParserHandler.hpp"
#include "terminal/engine/TerminalDelegate.hpp"
#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/graphics/KittyPayloadLoader.hpp"
#include "terminal/screen/Attribute.hpp"
#include "terminal/screen/BidiPresentationState.hpp"
#include "terminal/screen/Buffer.hpp"
#include "terminal/screen/BufferLine.hpp"
#include "terminal/screen/CharData.hpp"
#include "terminal/screen/Color.hpp"
#include "terminal/screen/Line.hpp"
#include "terminal/screen/Position.hpp"
#include "terminal/screen/TerminalOptions.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace corvix {

class Regex;
class SelectionService;

// The emulator's engine: two screen buffers, modes, character sets, colours, the parser and the
// host-reported state. Bytes from the child enter through `feed`; replies and events leave
// through the delegate. Single-threaded: everything runs on the thread that owns the terminal.
//
// The engine's operations are spread over several source files by concern (TerminalBuffers.cpp,
// TerminalScroll.cpp, ...); this header declares them all.
class Terminal final : private ParserHandler {
    // The parser calls the handler operations below on the terminal itself, not through the
    // interface, so the hot ones inline (see EscapeSequenceParserLoop.hpp).
    friend class EscapeSequenceParser;

public:
    static constexpr int MINIMUM_COLS = 2;
    static constexpr int MINIMUM_ROWS = 1;
    static constexpr int kFirstClusterCode = 0x400001;
    // Bounds of the grapheme-cluster table: scalars in one cluster, and clusters in all.
    static constexpr size_t kMaxClusterScalars = 32;
    static constexpr size_t kMaxClusterCodes = size_t{1} << 20;

    // Per-screen state of the Kitty keyboard protocol: the current flags and the pushed ones.
    struct KeyboardModeState {
        KittyKeyboardFlags flags{};
        std::vector<KittyKeyboardFlags> stack;
        friend bool operator==(const KeyboardModeState&, const KeyboardModeState&) = default;
    };

    // Which member of the bidi state a mode change touches.
    enum class BidiStateProperty : uint8_t { supportMode, autodetectDirection, fallbackDirection, boxMirroring };
    using BidiStateProperties = std::set<BidiStateProperty>;
    static const BidiStateProperties& allBidiStateProperties();

    // `delegate` is not owned and may be null; `executor` (not owned) runs the terminal's one
    // timer and may be null, in which case timed work never fires.
    explicit Terminal(TerminalDelegate* delegate, TerminalOptions options = TerminalOptions::defaults(),
                      Executor* executor = nullptr);
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    uint64_t serial() const { return serial_; }

    TerminalDelegate* delegate() const { return tdel; }
    // The host clears the delegate before it goes away.
    void setDelegate(TerminalDelegate* delegate) { tdel = delegate; }
    Executor* executor() const { return executor_; }

    // ---- Input ------------------------------------------------------------------------------
    // Returns the bytes taken: all of them, unless the delegate deferred a string
    // (deferCurrentString); the caller then feeds the rest later.
    size_t feed(std::span<const uint8_t> buffer);
    size_t feed(std::string_view text);
    size_t feed(const std::vector<uint8_t>& byteArray) { return feed(std::span<const uint8_t>(byteArray)); }
    // Called by the delegate while it handles an OSC string (an inline image it will not decode
    // yet): this feed stops before the string's terminator, and the string is handled again
    // when the rest is fed.
    void deferCurrentString();
    void registerOscHandler(int64_t code, EscapeSequenceParser::OscHandler handler);
    EscapeSequenceParser& parser() { return *parser_; }

    // ---- Geometry and read accessors --------------------------------------------------------
    int cols = 80;
    int rows = 25;
    int tabStopWidth = 8;
    TerminalOptions options;

    std::pair<int, int> getDims() const { return {cols, rows}; }
    Buffer& buffer() { return *buffer_; }
    Buffer& normalBuffer() { return *normalBuffer_; }
    Buffer& altBuffer() { return *altBuffer_; }
    bool isCurrentBufferAlternate() const { return buffer_ == altBuffer_.get(); }

    // A row of the viewport (yDisp + row); nothing outside 0..<rows.
    BufferLine* getLine(int row);
    // Rows counted from the first line ever kept; stable while the screen scrolls.
    BufferLine* getScrollInvariantLine(int row);
    std::optional<CharData> getCharData(int col, int row);
    std::optional<std::u32string> getCharacter(int col, int row);
    const Attribute& currentAttribute() const { return curAttr; }
    KittyKeyboardFlags keyboardEnhancementFlags() const;

    bool bidiSupportEnabled() const { return currentBidiState.supportMode == BidiSupportMode::implicit; }
    bool bidiAutodetectDirection() const { return currentBidiState.autodetectDirection; }
    bool bidiRTLPreference() const { return currentBidiState.fallbackDirection == BidiDirection::rightToLeft; }
    bool bidiBoxMirroring() const { return currentBidiState.boxMirroring; }

    MouseMode mouseMode() const { return mouseMode_; }
    // Stores the mode and tells the delegate.
    void setMouseMode(MouseMode mode);

    // ---- Grapheme clusters ------------------------------------------------------------------
    // The text of a cell's code: a scalar, or a stored cluster (a space for an unknown code).
    std::u32string getCharacter(const CharData& cell) const { return character(cell.code); }
    std::u32string character(int32_t code) const;
    // The same without a copy: a view of the table's entry, or of `scratch` set to the scalar.
    // Valid until the table changes.
    std::u32string_view characterView(int32_t code, char32_t& scratch) const;
    // The cell code of a character: the scalar below U+10000, else the cluster table's code.
    int32_t code(std::u32string_view character);
    // Drops the clusters no cell of either buffer holds any more; their codes are handed out
    // again. Runs by itself as the table grows, and on a full reset or a scroll-back clear.
    void collectClusters();
    // Both code tables (clusters, hyperlink payloads) give back what no cell uses.
    void collectUnusedCodes();
    // Clusters stored before the table is first collected.
    static constexpr size_t kClusterCollectionMinimum = 65536;
    // Clusters stored now.
    size_t clusterCount() const { return charToIndexMap.size(); }

    // ---- Focus ------------------------------------------------------------------------------
    void setTerminalFocus(bool focused);
    void sendFocusReport();

    // ---- Selections -------------------------------------------------------------------------
    void registerSelection(const std::shared_ptr<SelectionService>& selection);
    void selectionsInvalidateForColumnRestrictedScroll(int top, int bottom, int left, int right);
    // Calls `fn` for every registered selection that still exists.
    template <typename Fn>
    void forEachSelection(Fn&& fn)
    {
        for (auto& weak : selections)
            if (auto s = weak.lock()) fn(*s);
    }

    // ---- Text extraction (TerminalText.cpp) ---------------------------------------------------
    // Text of the active buffer from the earlier to the later position (its column exclusive).
    std::string getText(Position start, Position end);
    // Every line of the buffer, oldest first, each followed by a line feed; lines the encoding
    // cannot represent are left out.
    std::vector<uint8_t> getBufferAsData(BufferKind kind, TextEncoding encoding);
    // The selection's rows as lines of fragments; `start` not after `end`, both rows of `buffer`.
    std::vector<Line> _getSelectedLines(Position start, Position end, Buffer& buffer);
    // Row `line` from column `start` up to `end` (-1: the row's end), trailing null cells trimmed,
    // inner ones read as spaces.
    std::string translateBufferLineToString(Buffer& buffer, int line, int start, int end);

    // ---- Child environment ------------------------------------------------------------------
    static std::vector<std::string> getEnvironmentVariables(std::optional<std::string> termName = std::nullopt,
                                                            bool trueColor = true);

    // ---- OSC 8 payload ----------------------------------------------------------------------
    // The link target of "params;uri", or nothing without a ";".
    static std::optional<std::string> parseHyperlinkPayload(std::string_view payload);

    // ---- Link detection (TerminalLinks.cpp) -------------------------------------------------
    // The link target under a cell of the active buffer: an OSC 8 hyperlink first, then (in
    // `explicitAndImplicit` mode) a URL or path recognised in the text.
    std::optional<std::string> link(LinkLookupLocation at, LinkLookupMode mode);
    std::optional<Position> resolveLinkLocation(LinkLookupLocation location, Buffer& buffer);
    std::optional<LinkMatch> explicitLinkMatch(Position at, Buffer& buffer);
    std::optional<LinkMatch> implicitLinkMatch(Position at, Buffer& buffer);
    std::optional<uint16_t> payloadCode(Position at, Buffer& buffer);
    std::optional<LinkRowEdgeInfo> linkRowEdgeInfo(int row, Buffer& buffer);
    bool canJoinImplicitRows(int upper, int lower, Buffer& buffer);
    bool seamContainsImplicitLink(int upper, int lower, int upperLastCol, int lowerFirstCol, Buffer& buffer);
    std::u16string implicitLineSegmentText(const BufferLine& line, int startCol, int endCol);
    // Rows joined to `row` by hard-broken links, walking at most `reach` rows each way.
    std::optional<std::pair<int, int>> heuristicImplicitGroup(int row, Buffer& buffer, int reach = INT_MAX);
    bool isImplicitContinuationRow(int row, int startRow, Buffer& buffer);
    std::optional<ImplicitLineMap> buildImplicitLineMap(Position at, Buffer& buffer);
    // The URL and path pattern (built once per process); null when it does not compile.
    static const Regex* implicitLinkRegex();
    // Characters that may sit on both sides of a row break inside a link.
    static bool isImplicitContinuationCharacter(char32_t c);
    // The hover window: rows looked at on each side of the pointer's row.
    int implicitLinkWindowRows() const;

    // ---- Buffer switching and reset ---------------------------------------------------------
    void setup(bool isReset = false);
    void resetNormalBuffer();
    void activateAltBuffer(std::optional<Attribute> fillAttr = std::nullopt);
    void activateNormalBuffer(bool clearAlt);
    void resizeBuffers(int newColumns, int newRows);
    void resetToInitialState();

    // ---- Update ranges, resize, scroll-back -------------------------------------------------
    // Marks a screen row dirty. The scroll-invariant range widens too unless `scrolling`.
    // Inline: the print path widens the range for every run.
    void updateRange(int row, bool scrolling = false)
    {
        if (!scrolling) {
            // Text arrives a piece at a time on one row: once the row is in both ranges it stays
            // there until they are cleared.
            const int yDisp = buffer_->yDisp();
            if (row == lastMarkedRow_ && yDisp == lastMarkedYDisp_) return;
            lastMarkedRow_ = row;
            lastMarkedYDisp_ = yDisp;
            int invariantRow = row + yDisp;
            if (invariantRow >= 0) {
                scrollInvariantRefreshStart = std::min(scrollInvariantRefreshStart, invariantRow);
                scrollInvariantRefreshEnd = std::max(scrollInvariantRefreshEnd, invariantRow);
            }
        }
        if (row >= 0) {
            refreshStart = std::min(refreshStart, row);
            refreshEnd = std::max(refreshEnd, row);
        }
    }
    void updateFullScreen();
    void refresh(int startRow, int endRow);
    // (startY, endY) of the dirty screen rows, or nothing. After a full-screen update the end is
    // `rows` (one past the last row); it is clamped there, never beyond.
    std::optional<std::pair<int, int>> getUpdateRange() const;
    std::optional<std::pair<int, int>> getScrollInvariantUpdateRange() const;
    void clearUpdateRange();
    std::pair<int, int> getCursorLocation() const { return {buffer_->x(), buffer_->y()}; }
    int getTopVisibleRow() const { return buffer_->yDisp(); }
    void resize(int cols, int rows);
    void changeScrollback(std::optional<int64_t> scrollback);
    void changeHistorySize(std::optional<int64_t> scrollback) { changeScrollback(scrollback); }

    // ---- View support -----------------------------------------------------------------------
    // The view tells the terminal whether the user is looking at the scroll-back.
    void setUserScrolling(bool scrolling) { userScrolling = scrolling; }
    bool isUserScrolling() const { return userScrolling; }
    // Shows the line ring from `row` (clamped to 0...yBase) at the top of the view.
    void scrollTo(int row);

    // ---- Scrolling --------------------------------------------------------------------------
    // Scrolls the region up by one line; `isWrapped` marks the new bottom line as a
    // continuation (auto-wrap).
    void scroll(bool isWrapped = false);
    // The erase attribute: default foreground, the current background, nothing else.
    Attribute eraseAttribute() const;

    // ---- Synchronized output and bidi modes -------------------------------------------------
    bool synchronizedOutputActive() const { return synchronizedOutputActive_; }
    void endSynchronizedOutput();
    void scheduleSynchronizedOutputTimeout();
    void applyCurrentBidiStateAtParagraphStart(const BidiStateProperties& properties);

    // ---- Inline graphics --------------------------------------------------------------------
    // One APC "G" string (the bytes after the "G"): chunks are gathered, then the command runs.
    void handleKittyGraphics(std::span<const uint8_t> data) override;
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

    // Kitty deletion (TerminalKittyDelete.cpp): action "d" or "D", and the selectors it runs. Each
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

    // Kitty placements keeping up with the screen (TerminalKittyMaintenance.cpp). The scroll
    // tells which line left (-1: none) and where the new one came in (-1: appended), so that the
    // index of the Kitty lines follows; placements that follow their lines then catch up.
    void kittyLinesScrolled(int removedRow, int insertedRow);
    // After a scroll of the active screen: its followed records take the rows their images are on
    // now, and relative placements move after their parents.
    void updateKittyRelativePlacementsForCurrentBuffer();
    // Moves the line images of placement `key` by `deltaRow` lines, setting their top row and left
    // column; those that would leave the buffer are dropped.
    void moveKittyPlacementImages(Buffer& buffer, KittyPlacementKey key, int64_t deltaRow, int64_t newTopRow,
                                  int64_t newLeftCol);
    // The placements of one screen go (records with that `isAlternateBuffer`), with the stored
    // images only they used.
    void clearKittyImages(Buffer& buffer, bool isAlternateBuffer);
    // Images off every line of the active and the alternate screen; store and records emptied.
    void clearAllKittyImages();
    // The normal placement `key`, about to be written by the host on the active screen, follows its
    // lines from now on.
    void followKittyPlacement(KittyPlacementKey key);

    // Where the Kitty images on each screen's lines are (TerminalKittyLines.cpp), and the keys of
    // the screen's normal placements whose records follow their lines.
    struct KittyScreen {
        KittyLineIndex lines;
        std::unordered_set<KittyPlacementKey> following;
    };
    KittyScreen& kittyScreen(const Buffer& buffer) { return &buffer == altBuffer_.get() ? kittyAlt_ : kittyNormal_; }
    // The buffer's hook: an image went onto line `row`.
    void kittyImageAttached(Buffer& buffer, TerminalImage& image, int row);
    // Rows of `buffer` in firstLine..<endLine holding Kitty images (of `key`, or of any), top first,
    // at most `limit`. Each is checked against its line: the index is rebuilt when lines moved
    // behind its back. With `syncRectangles`, images whose lines moved since their rectangles were
    // last right have them moved along, for those who read the rectangles.
    std::vector<int> kittyLineRows(Buffer& buffer, std::optional<KittyPlacementKey> key, int firstLine, int endLine,
                                   size_t limit = SIZE_MAX, bool syncRectangles = false);
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
    KittyGraphicsState& kittyGraphicsState() { return *kittyGraphicsState_; }
    // Buffer lines looked at so far for Kitty images (work done, for tests and benchmarks).
    uint64_t kittyLinesVisited() const { return kittyLinesVisited_; }
    // Held only while the delegate places the image of a normal Kitty placement.
    std::optional<KittyPlacementContext> kittyPlacementContext;

    // The Kitty image store (TerminalKittyStore.cpp). Transmission: actions "t" and "T" (`display`).
    // `load` reads the payload once the keys passed their checks.
    void handleKittyTransmit(const KittyGraphicsControl& control, bool display,
                             const std::function<KittyPayloadResult()>& load);
    void handleKittyTransmitPayload(const KittyGraphicsControl& control, KittyGraphicsPayload payload, bool display);
    void storeKittyImage(KittyGraphicsPayload payload, uint32_t imageId, std::optional<uint32_t> imageNumber);
    // The stored image with a fresh access tick; null when none is stored under the id.
    KittyGraphicsImage* updateKittyImageAccess(uint32_t imageId);
    void enforceKittyImageCacheLimit();
    void cleanupUnusedKittyImages();
    // Takes one image out of the store, with its bytes and number entries.
    void removeKittyImage(uint32_t imageId);
    void removeKittyImageNumbers(uint32_t imageId);

    // Kitty placements (TerminalKittyPlacement.cpp). Action "p", and the display half of "T".
    void handleKittyPut(const KittyGraphicsControl& control);
    // True when the command went through; on false its error reply went out.
    bool displayKittyImage(KittyGraphicsPayload payload, const KittyGraphicsControl& control,
                           std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber);
    KittyPlacementOrigin resolveKittyPlacementOrigin(const KittyGraphicsControl& control);
    using KittyPlacementPositions = std::unordered_map<KittyPlacementKey, KittyPlacementPosition>;
    std::optional<KittyPlacementPosition> resolveKittyPlacementPosition(
        KittyPlacementKey key, const KittyPlacementPositions& positions, KittyPlacementPositions& resolved,
        std::unordered_set<KittyPlacementKey>& visiting);
    // Where the line images of each placement lie in `buffer`: its topmost line, its first image's column.
    KittyPlacementPositions collectKittyPlacementPositions(Buffer& buffer);
    bool placeVirtualKittyImage(const KittyGraphicsControl& control, std::optional<uint32_t> imageId);
    // The delegate's cell size in pixels when it knows one of at least 1 x 1.
    std::optional<std::pair<int, int>> kittyCellSize();
    // "X" and "Y" inside the first cell.
    std::pair<int, int> kittyPixelOffsets(const KittyGraphicsControl& control);
    // Whether a record under `key` fits the placement table, dropping the records of placements no
    // line shows any more when it is full; on false the error reply went out.
    bool makeRoomForKittyPlacement(const KittyGraphicsControl& control, KittyPlacementKey key);

    // Images on lines (TerminalLineImages.cpp). A host counts every decoded image it is about to
    // attach (before attaching it); older line images past the budget are removed to make room.
    std::shared_ptr<LineImageCharge> chargeLineImage(int64_t bytes);
    // Places a picture of `cols` x `rows` cells at the cursor, as a host does inside its image
    // call: writes the Kitty placement record (when the context names an image and a placement),
    // then attaches one strip per row from `makeStrip(strip, column)`, top first, with a line feed
    // after each, the column kept. The strips get the context's Kitty fields. The final cursor is
    // the engine's to set afterwards.
    void attachImageStrips(int cols, int rows,
                           const std::function<std::shared_ptr<KittyPlacementImage>(int strip, int col)>& makeStrip);
    const LineImageBudget& lineImageBudget() const { return *lineImageBudget_; }
    // Takes from lines `lineRows` (ascending) of `buffer` the images `take` picks, marks the changed
    // rows of the active screen for redraw, and returns the images taken with their rows.
    std::vector<std::pair<int, std::shared_ptr<TerminalImage>>> takeLineImages(
        Buffer& buffer, std::span<const int> lineRows, const std::function<bool(const TerminalImage&)>& take);
    // The keys of the Kitty images among `images` that have both ids.
    static std::unordered_set<KittyPlacementKey> kittyPlacementKeys(
        const std::vector<std::pair<int, std::shared_ptr<TerminalImage>>>& images);

    // ---- Replies ----------------------------------------------------------------------------
    void sendResponse(std::span<const uint8_t> data);
    void sendResponse(std::string_view text);
    // Reply introducers and terminator: the single C1 byte while `cc.send8bit`, else ESC + byte.
    std::string_view replyCsi() const { return cc.send8bit ? "\x9b" : "\x1b["; }
    std::string_view replyOsc() const { return cc.send8bit ? "\x9d" : "\x1b]"; }
    std::string_view replyDcs() const { return cc.send8bit ? "\x90" : "\x1bP"; }
    std::string_view replyApc() const { return cc.send8bit ? "\x9f" : "\x1b_"; }
    std::string_view replySt() const { return cc.send8bit ? "\x9c" : "\x1b\\"; }

    // ---- Control functions ------------------------------------------------------------------
    // CSI commands take the parameter list (at least one element; an omitted parameter is 0)
    // and the collected private-prefix and intermediate bytes. The separators of the sequence
    // being dispatched (';' or ':' before each parameter after the first) are in `csiParsTxt`.
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;
    // Printable ASCII, the bytes the run writer handles (DEL is not printable).
    static bool isPrintableAscii(uint8_t b) { return b >= 0x20 && b < 0x7F; }
    // True when the collected private-prefix and intermediate bytes are exactly `text`.
    static bool collectIs(Bytes collect, std::string_view text)
    {
        return std::string_view(reinterpret_cast<const char*>(collect.data()), collect.size()) == text;
    }

    // Print path and character sets.
    // Out of line: printHandler's single-cell path then needs no register saves.
    [[gnu::noinline]] void handlePrint(Bytes data);
    // The bytes of the current print run and a UTF-8 sequence cut by the previous run.
    struct ReadingBuffer {
        std::array<uint8_t, 4> putbackBuffer{};
        int putbackCount = 0;
        Bytes rest;
        int idx = 0;
        int count = 0;
        uint8_t at(int i) const { return i < putbackCount ? putbackBuffer[size_t(i)] : rest[size_t(i - putbackCount)]; }
        void putback(uint8_t b);
        void done();
    } readingBuffer;
    CharData makeCharData(const Attribute& attribute, int32_t code, int size) const;
    void garbageCollectPayload();
    void setgLevel(int level);
    void setgCharset(int slot, const CharsetMap* set);
    void selectCharset(Bytes designation);

    // Cursor motion, index and scrolling.
    void restrictCursor(bool limitCols = true);
    void setCursor(int col, int row);
    void cursorForward(int count);
    void cursorBackward(int count);
    void cmdBackspace();
    void cmdCarriageReturn();
    void cmdLineFeedBasic();
    void emitLineFeed();
    void cmdCursorUp(Params pars, Bytes collect);
    void cmdCursorDown(Params pars, Bytes collect);
    void cmdCursorCharAbsolute(Params pars, Bytes collect);
    void cmdCursorPosition(Params pars, Bytes collect);
    void cmdCharPosAbsolute(Params pars, Bytes collect);
    void cmdHPositionRelative(Params pars, Bytes collect);
    void cmdLinePosAbsolute(Params pars, Bytes collect);
    void cmdVPositionRelative(Params pars, Bytes collect);
    void cmdHVPosition(Params pars, Bytes collect);
    void cmdTabClear(Params pars, Bytes collect);
    void cmdIndex();
    void reverseIndex();
    void columnIndex(bool back);
    void columnScroll(bool back, int at);
    void cmdSetScrollRegion(Params pars, Bytes collect);
    void cmdSetMargins(Params pars, Bytes collect);
    void cmdSaveCursor(Params pars, Bytes collect);
    void cmdRestoreCursor(Params pars, Bytes collect);
    void cmdSelectCharacterPath(Params pars, Bytes collect);

    // Erase.
    void cmdEraseInDisplay(Params pars, Bytes collect);
    void cmdEraseInLine(Params pars, Bytes collect);
    void cmdEraseChars(Params pars, Bytes collect);
    // Blanks screen row `y` whole (erase cells, no wrap, single render mode), optionally drops
    // its images and sets its bidi state.
    void resetBufferLine(int y, bool clearImages, std::optional<BidiPresentationState> bidiState);

    // Insert, delete and scroll.
    void cmdInsertChars(Params pars, Bytes collect);
    void cmdDeleteChars(Params pars, Bytes collect);
    void cmdInsertLines(Params pars, Bytes collect);
    void cmdDeleteLines(Params pars, Bytes collect);
    void cmdScrollUp(Params pars, Bytes collect);
    void cmdScrollDown(Params pars);
    void cmdRepeatPrecedingCharacter(Params pars, Bytes collect);
    void cmdDeleteColumns(Params pars, Bytes collect);
    void csiCloseBrace(Params pars, Bytes collect);
    // Clear the wrap flag of lines that now start a block, so paragraphs do not join across it.
    void hardenBidiScrollBoundaries(bool insertedAtTop, int count);
    void hardenBidiLineShiftBoundaries(int firstChangedRow, std::optional<int> firstMovedRow, int lastChangedRow);
    // The shared body of IL and DL, and their dirty rows.
    void shiftLinesAtCursor(int count, bool insert);
    void markLineShiftDirty(int y);
    // The shared body of SU and SD.
    void scrollRegion(int count, bool down);

    // Rectangular areas.
    void csiCopyRectangularArea(Params pars, Bytes collect);
    void csiX(Params pars, Bytes collect);
    void cmdDECRQCRA(Params pars, Bytes collect);
    void csiZ(Params pars, Bytes collect);
    void csiOpenBrace(Params pars, Bytes collect);
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

    // Line render modes, screen alignment, presentation direction.
    void setLineRenderMode(BufferLine::RenderLineMode mode);
    void cmdScreenAlignmentPattern();
    void cmdSelectPresentationDirection(Params pars, Bytes collect);

    // Character attributes.
    void cmdCsiM(Params pars, Bytes collect);

    // Modes.
    void cmdSetMode(Params pars, Bytes collect);
    void cmdResetMode(Params pars, Bytes collect);
    void csiPHandler(Params pars, Bytes collect);
    void cmdSetCursorStyle(Params pars, Bytes collect);
    void setCursorStyle(CursorStyle style);
    void cmdSavePrivateModes(Params pars);
    // XTRESTORE of the bidi private modes (CSI ? Pm r).
    void cmdRestoreBidiPrivateModes(Params pars);
    void softReset();
    // One mode each of SM/RM and DECSET/DECRST, and the mode report (DECRQM).
    void setMode(int par, Bytes collect);
    void resetMode(int par, Bytes collect);
    void cmdDecRqm(Params pars, bool decMode);

    // Kitty keyboard flags; false when the sequence is not one of the protocol's.
    bool handleKittyKeyboardProtocol(Params pars, Bytes collect);

    // Device reports.
    void cmdSendDeviceAttributes(Params pars, Bytes collect);
    void cmdDeviceStatus(Params pars, Bytes collect);
    // The handler of a status-string request (DCS $ q ... ST).
    std::unique_ptr<DcsHandler> makeDecrqssHandler();

    // Mouse and focus reports.
    // The view decides which events to report; these only encode and send them.
    // Button flags: low bits the button (3 = release), 4 Shift, 8 Meta, 16 Control, 32 motion,
    // 64 wheel. Modifier bits only in the modes that report them.
    int encodeButton(int button, bool release, bool shift, bool meta, bool control) const;
    // One report at a zero-based cell (and pixel, for the SGR-pixel encoding).
    void sendEvent(int buttonFlags, int x, int y, int pixelX, int pixelY);
    void sendEvent(int buttonFlags, int x, int y) { sendEvent(buttonFlags, x, y, x, y); }
    void sendMotion(int buttonFlags, int x, int y, int pixelX, int pixelY);
    // Appends one coordinate or button value in the UTF-8 mouse encoding.
    static void encodeMouseUtf(std::vector<uint8_t>& data, int ch);
    // Cursor visibility; the delegate hears only of a change.
    void showCursor();
    void hideCursor();

    // Window operations.
    void csit(Params pars, Bytes collect);
    void cmdWindowOptions(Params pars);
    // Bounds for sizes a child may request and for the title stacks it may grow.
    static constexpr int kMaxWindowCells = 2048;
    static constexpr int kMaxWindowPixels = 32768;
    static constexpr size_t kMaxTitleStackDepth = 10;

    // OSC commands and colours.
    // Store the title and tell the delegate.
    void setTitle(const std::string& text);
    void setIconTitle(const std::string& text);
    void oscSetCurrentDocument(Bytes data);
    void oscSetCurrentDirectory(Bytes data);
    void oscHyperlink(Bytes data);
    std::optional<ProgressReport> parseProgressReport(Bytes data);
    void oscClipboard(Bytes data);
    void oscNotification(Bytes data);
    void osciTerm2(Bytes data);
    void oscChangeOrQueryColorIndex(Bytes data);
    void oscSetColors(Bytes data, int startAt);
    void oscResetColor(Bytes data);
    // Interns a hyperlink payload: one code per distinct value while any cell uses it. When the
    // table is full, its unused codes are collected first; nothing if still full (and, for the
    // next kPayloadCollectionPause calls, nothing without a further collection).
    std::optional<TinyAtom> makePayload(const std::string& value);

    // Palette and default colours: the setters tell the delegate once and, for the Lab palettes
    // (which depend on the default colours), rebuild the palette.
    void installPalette(const std::vector<Color>& colors);
    Ansi256PaletteStrategy ansi256PaletteStrategy() const { return options.ansi256PaletteStrategy; }
    void setAnsi256PaletteStrategy(Ansi256PaletteStrategy strategy);
    const Color& foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(const Color& color);
    const Color& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const Color& color);
    const std::optional<Color>& cursorColor() const { return cursorColor_; }
    void setCursorColor(std::optional<Color> color);
    void resetAllColors();

    // Separators of the CSI sequence being dispatched (';' or ':' before each parameter after
    // the first); empty outside a dispatch.
    Bytes csiParsTxt;

    // ---- Diagnostics ------------------------------------------------------------------------
    // While true (the default) "Info: " lines are suppressed.
    bool silentLog = true;
    // Writes "Info: " + message unless `silentLog`.
    void logInfo(std::string_view message) const;
    // Writes the line unless `silentLog`. Diagnostics are the child's to trigger, so at most
    // kDiagnosticBurst lines go out per kDiagnosticWindow; the rest are counted, and the count is
    // written when the next window opens.
    void logDiagnostic(std::string_view line) const;
    static constexpr int kDiagnosticBurst = 100;
    static constexpr std::chrono::seconds kDiagnosticWindow{1};
    // "[1, 2, 3]": values for diagnostic lines.
    static std::string decimalList(std::span<const uint8_t> bytes);
    static std::string decimalList(std::span<const int32_t> values);

    // ---- State (plain fields; the operations above keep them consistent) -------------------
    // Modes.
    bool applicationKeypad = false;
    bool applicationCursor = false;
    bool cursorHidden = false;
    bool originMode = false;
    bool marginMode = false;
    bool insertMode = false;
    bool wraparound = true;
    bool reverseWraparound = false;
    bool bracketedPasteMode = false;
    bool lineFeedMode = false;
    bool smoothScroll = false;
    bool cursorBlink = false;
    bool allow80To132 = false;
    bool keepScreenOnColumnSwitch = false; // DECNCSM
    bool sendFocus = false;
    bool userScrolling = false;
    MouseProtocolEncoding mouseProtocol = MouseProtocolEncoding::x10;
    bool mouseShiftCapture = false;
    bool reportedFocusState = true;
    TerminalConformance conformance = TerminalConformance::vt500;
    struct CC {
        bool send8bit = false;
    } cc;
    bool xtermTitleSetUtf = false;
    bool xtermTitleSetHex = false;
    bool xtermTitleQueryUtf = false;
    bool xtermTitleQueryHex = false;
    double synchronizedOutputTimeoutSeconds = 1.0;

    // Keyboard.
    KeyboardModeState keyboardModeNormal;
    KeyboardModeState keyboardModeAlt;

    // Bidirectional presentation.
    BidiPresentationState currentBidiState;
    bool bidiArrowKeySwap = false;
    std::map<int, bool> savedBidiPrivateModes;

    // Character sets and the current attribute.
    const CharsetMap* charset = nullptr;
    std::array<const CharsetMap*, 4> gCharsets{};
    int gcharset = 0;
    uint8_t gLevel = 0;
    Attribute curAttr;

    // Hyperlink payloads ("params;uri") by the codes the cells carry. Bounded: a payload longer
    // than kMaxHyperlinkPayloadBytes is not kept, and all of them together hold at most
    // kMaxPayloadBytes.
    static constexpr size_t kMaxHyperlinkPayloadBytes = 8192;
    static constexpr size_t kMaxPayloadBytes = size_t{4} << 20;
    // Failed look-ups that skip the collection after one that made no room.
    static constexpr int kPayloadCollectionPause = 1024;
    TinyAtomTable payloads{kMaxPayloadBytes};
    int payloadCollectionPause = 0;
    std::optional<std::pair<Position, std::string>> hyperLinkTracking;
    // The open link's code, stamped on printed cells while `hyperLinkTracking` is set.
    uint16_t hyperLinkCode = 0;

    // Colours (the default colours are behind setters, above).
    std::vector<Color> installedColors;
    std::vector<Color> defaultAnsiColors;
    std::vector<Color> ansiColors;
    bool settingFgColor = false;
    bool settingBgColor = false;
    bool settingCursorColor = false;

    // Dirty ranges.
    int refreshStart = INT_MAX;
    int refreshEnd = -1;
    int scrollInvariantRefreshStart = INT_MAX;
    int scrollInvariantRefreshEnd = -1;
    // The last row (with its viewport top) that updateRange put in both ranges since they were
    // last set.
    int lastMarkedRow_ = INT_MIN;
    int lastMarkedYDisp_ = INT_MIN;

    // Host-reported state.
    std::string terminalTitle;
    std::string iconTitle;
    std::vector<std::string> terminalTitleStack;
    std::vector<std::string> terminalIconStack;
    std::optional<std::string> hostCurrentDirectory;
    std::optional<std::string> hostCurrentDocument;

    // The template line that scrolling copies; reused while width and erase attribute match.
    std::shared_ptr<BufferLine> blankLine;

private:
    // ParserHandler: the parser's calls on its terminal. The three made for every coloured
    // character are inline: one printable letter, the clear before a sequence, and SGR.
    void printHandler(std::span<const uint8_t> data) override
    {
        if (data.size() == 1 && isPrintableAscii(data[0]) && readingBuffer.putbackCount == 0 && plainAscii()) {
            Buffer& b = *buffer_;
            if (b.insertAsciiCell(data[0], curAttr)) {
                updateRange(b.y());
                return;
            }
        }
        handlePrint(data);
    }
    void printStateReset() override
    {
        readingBuffer.putbackCount = 0;
        readingBuffer.idx = 0;
    }
    void dispatchExecute(uint8_t code) override;
    void dispatchCsi(uint8_t code, std::span<const int32_t> pars, std::span<const uint8_t> parsTxt,
                     std::span<const uint8_t> collect) override
    {
        // A 256-colour foreground or background ("38;5;N", "48;5;N"; a colon after the 5 reads
        // the same), what programs send per character, sets its field here.
        if (code == 'm' && pars.size() == 3 && pars[1] == 5 && (pars[0] == 38 || pars[0] == 48)
            && (parsTxt.empty() || parsTxt[0] != ':') && collect.empty()) {
            (pars[0] == 38 ? curAttr.fg : curAttr.bg) = Attribute::Color::ansi256(uint8_t(std::clamp(pars[2], 0, 255)));
            return;
        }
        csiParsTxt = parsTxt;
        if (code == 'm') {
            cmdCsiM(pars, collect);
        } else {
            dispatchCsiTable(code, pars, collect);
        }
        csiParsTxt = {};
    }
    void dispatchCsiTable(uint8_t code, std::span<const int32_t> pars, std::span<const uint8_t> collect);
    void dispatchEsc(std::span<const uint8_t> collect, uint8_t code) override;
    void dispatchOsc(int64_t code, std::span<const uint8_t> data) override;
    std::unique_ptr<DcsHandler> createDcsHandler(std::span<const uint8_t> collect, uint8_t final) override;
    ParsingState errorHandler(const ParsingState& state) override;
    void escHandlerFallback(std::span<const uint8_t> collect, uint8_t code) override;
    void csiHandlerFallback(std::span<const int32_t> pars, std::span<const uint8_t> collect,
                            uint8_t code) override;
    void oscHandlerFallback(int64_t code, std::span<const uint8_t> data) override;
    void apcHandlerFallback(uint8_t letter, std::span<const uint8_t> data) override;

    // Print path steps.
    bool plainAscii() const
    {
        // An empty translation table maps nothing, so it prints exactly like no table. The run
        // writer makes cells without a payload, so text inside an open link goes cell by cell.
        return (charset == nullptr || charset->empty) && !hyperLinkTracking;
    }
    [[gnu::noinline]] void printRun(Bytes data); // the general path, out of the short runs' way
    bool printWholeSequence(Bytes data, size_t at);
    // Prints the characters from `at` on that each start a cell of their own and fit on the
    // line; returns the bytes taken.
    size_t printOwnCellRun(Bytes data, size_t at);
    // A scalar the BMP width map leaves open, after a character of an own-cell run: its width
    // (0 when it does not take a cell of its own) and cell code. Out of line: the run's loop
    // keeps its registers.
    struct RunScalar;
    [[gnu::noinline]] RunScalar runScalar(char32_t scalar);
    // The cell code of a scalar past U+FFFF.
    int32_t singleScalarCode(char32_t scalar);
    bool printNextCharacter();
    void printByte(uint8_t byte);
    void printScalar(char32_t scalar);
    void printNewCell(char32_t scalar, int width);
    void joinWithPreviousCell(char32_t scalar, int width);
    void joinWithLeftNeighbour(char32_t scalar, int width);
    bool lastPrintedCellValid() const;
    // The last printed cell, when the next scalar may still join it.
    bool lastPrintedCellJoinable() const { return buffer_->lastBufferStorage.joinable && lastPrintedCellValid(); }
    // The cell just before the cursor can still be joined and its text ends in a zero-width
    // joiner: what prints next continues its sequence.
    bool previousCellEndsInJoiner();
    // A control (anything but text or SGR) came: what prints next starts its own cell.
    void endJoinableText() { buffer_->lastBufferStorage.joinable = false; }

    // Mode helpers: screen switches, synchronized-output start, bidi state change, DECRQM values.
    void enterAltScreen();
    void leaveAltScreen(int mode);
    // DECCOLM to `columns` wide.
    void switchColumnMode(int columns);
    // DECLRMM off in the terminal and both buffers, with the left/right margins at full width.
    void resetMarginMode();
    void beginSynchronizedOutput();
    void applyBidiUpdate(const BidiStateProperties& changed);
    int decModeValue(int mode) const;
    int ansiModeValue(int mode) const;

    // Colours.
    void rebuildAnsiPalette(bool notifyDelegate);
    Color foregroundColor_ = Color::defaultForeground();
    Color backgroundColor_ = Color::defaultBackground();
    std::optional<Color> cursorColor_;

    std::unique_ptr<Buffer> makeNormalBuffer();
    void installBufferHooks(Buffer& buffer);

    uint64_t serial_;
    TerminalDelegate* tdel = nullptr;
    Executor* executor_ = nullptr;
    std::unique_ptr<EscapeSequenceParser> parser_;
    std::unique_ptr<Buffer> normalBuffer_;
    std::unique_ptr<Buffer> altBuffer_;
    Buffer* buffer_ = nullptr;
    MouseMode mouseMode_ = MouseMode::off;
    bool synchronizedOutputActive_ = false;
    Executor::TaskId synchronizedOutputTimeoutItem = 0;
    std::vector<std::weak_ptr<SelectionService>> selections;
    std::unique_ptr<KittyGraphicsState> kittyGraphicsState_;
    std::shared_ptr<LineImageBudget> lineImageBudget_ = LineImageBudget::make();
    uint64_t kittyLinesVisited_ = 0;
    KittyScreen kittyNormal_;
    KittyScreen kittyAlt_;
    // Strips the host attached so far for the Kitty placement being made.
    int kittyStripsAttached_ = 0;

    // eraseAttribute() as `scroll` last built it (it depends on the background alone).
    Attribute scrollEraseAttribute_;

    // The grapheme-cluster table: code = kFirstClusterCode + index.
    // Looked up by view, so that a cluster already stored costs no copy.
    struct ClusterHash {
        using is_transparent = void;
        size_t operator()(std::u32string_view text) const { return std::hash<std::u32string_view>{}(text); }
    };
    using ClusterMap = std::unordered_map<std::u32string, int32_t, ClusterHash, std::equal_to<>>;
    ClusterMap charToIndexMap;
    std::unordered_map<char32_t, int32_t> singleScalarCodes; // the same codes, for single scalars
    // The print run's answers for scalars its BMP width map leaves open (pictographs, other
    // planes), which it would otherwise look up in three tables and the map above at each
    // emoji: width after a character of the run, and cell code. Direct-mapped by the low bits;
    // emptied with the cluster table, whose codes it holds.
    struct RunScalar {
        char32_t scalar = 0; // 0 never asks: a control ends the run first
        int32_t code = 0;
        int width = 0;
    };
    std::array<RunScalar, 64> runScalars_{};
    std::vector<std::u32string> indexToCharMap; // a free slot holds the empty string
    std::vector<int32_t> freeClusterIndices_;
    size_t clusterCollectionAt_ = kClusterCollectionMinimum;
    int32_t lastCharIndex = kFirstClusterCode;

    // The diagnostics rate limit (logDiagnostic).
    mutable std::chrono::steady_clock::time_point diagnosticWindowStart_{};
    mutable int diagnosticLines_ = 0;
    mutable uint64_t diagnosticsSuppressed_ = 0;

    // Guards against the terminal being destroyed while a posted task is pending.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace corvix
