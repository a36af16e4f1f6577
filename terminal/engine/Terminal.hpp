#pragma once

#include "terminal/bidi/BidiTextSource.hpp"
#include "terminal/engine/CharSets.hpp"
#include "terminal/engine/EngineDiagnostics.hpp"
#include "terminal/engine/EscapeSequenceParser.hpp"
#include "terminal/engine/Executor.hpp"
#include "terminal/engine/GraphemeClusterTable.hpp"
#include "terminal/engine/HyperlinkPayloads.hpp"
#include "terminal/engine/KittyImages.hpp"
#include "terminal/engine/KittyKeyboardProtocol.hpp"
#include "terminal/engine/MouseReports.hpp"
#include "terminal/engine/ParserHandler.hpp"
#include "terminal/engine/SelectionRegistry.hpp"
#include "terminal/engine/SynchronizedOutput.hpp"
#include "terminal/engine/TerminalCursorCommands.hpp"
#include "terminal/engine/TerminalDelegate.hpp"
#include "terminal/engine/TerminalHostState.hpp"
#include "terminal/engine/TerminalModes.hpp"
#include "terminal/engine/TerminalPalette.hpp"
#include "terminal/engine/TerminalPrinter.hpp"
#include "terminal/engine/TerminalReplies.hpp"
#include "terminal/engine/TerminalText.hpp"
#include "terminal/engine/TerminalTypes.hpp"
#include "terminal/engine/TerminalUpdateRanges.hpp"
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
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvix {

// The emulator's engine: two screen buffers, modes, character sets, colours, the parser and the
// host-reported state. Bytes from the child enter through `feed`; replies and events leave
// through the delegate. Single-threaded: everything runs on the thread that owns the terminal.
//
// The state the view, the app and the engine's parts read sits in the bases, one header each
// (modes, dirty ranges, palette and its setters, titles, link payloads, character sets, mouse
// and focus reports, reply introducers, diagnostics, the selections over the rows, the buffers
// read back as text), so its names are the terminal's. Groups of control functions are parts
// of their own (the friends below); the terminal keeps the buffers, the parser's dispatch,
// scrolling and what the parts share.
class Terminal final : public BidiTextSource,
                       public TerminalModes,
                       public TerminalUpdateRanges,
                       public TerminalPalette,
                       public TerminalHostState,
                       public HyperlinkPayloads,
                       public CharacterSetState,
                       public MouseReports,
                       public TerminalReplies,
                       public EngineDiagnostics,
                       public SelectionRegistry,
                       public TerminalText,
                       private ParserHandler {
    // The parser calls the handler operations below on the terminal itself, not through the
    // interface, so the hot ones inline (see EscapeSequenceParserLoop.hpp).
    friend class EscapeSequenceParser;
    // The images on the lines work on the buffers, the cursor and the replies.
    friend class KittyImages;
    // The parts that carry out groups of control functions over the terminal's state.
    friend class RectangularAreas;
    friend class TerminalColors;
    friend class TerminalCursorCommands;
    friend class TerminalEditCommands;
    friend class TerminalLineModes;
    friend class TerminalModeCommands;
    friend class TerminalOsc;
    friend class TerminalPrinter;
    friend class TerminalReports;
    // DECSET 2026's timeout runs on the executor and ends with a redraw.
    friend class SynchronizedOutput;

public:
    static constexpr int MINIMUM_COLS = 2;
    static constexpr int MINIMUM_ROWS = 1;
    // Bounds for sizes a child may request.
    static constexpr int kMaxWindowCells = 2048;
    static constexpr int kMaxWindowPixels = 32768;
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

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
    EscapeSequenceParser& parser() { return *parser_; }

    // ---- Screen -----------------------------------------------------------------------------
    int cols = 80;
    int rows = 25;
    int tabStopWidth = 8;
    TerminalOptions options;
    // The attribute printed cells take.
    Attribute curAttr;

    Buffer& buffer() { return *buffer_; }
    bool isCurrentBufferAlternate() const { return buffer_ == altBuffer_.get(); }
    // A row of the viewport (yDisp + row); nothing outside 0..<rows.
    BufferLine* getLine(int row);
    std::optional<std::u32string> getCharacter(int col, int row);
    // The text of a cell's code: a scalar, or a stored cluster (a space for an unknown code).
    std::u32string getCharacter(const CharData& cell) const { return character(cell.code); }
    std::u32string character(int32_t code) const override { return clusters_.character(code); }
    int64_t maximumBidiParagraphRows() const override { return options.maximumBidiParagraphRows; }
    // The cell code of a character: the scalar below U+10000, else the cluster table's code.
    int32_t code(std::u32string_view character);
    KittyKeyboardFlags keyboardEnhancementFlags() const;
    std::pair<int, int> getCursorLocation() const { return {buffer_->x(), buffer_->y()}; }
    int getTopVisibleRow() const { return buffer_->yDisp(); }
    static std::vector<std::string> getEnvironmentVariables(std::optional<std::string> termName = std::nullopt,
                                                            bool trueColor = true);

    // ---- Host and view ----------------------------------------------------------------------
    void setup(bool isReset = false);
    void resize(int cols, int rows);
    void changeScrollback(std::optional<int64_t> scrollback);
    void changeHistorySize(std::optional<int64_t> scrollback) { changeScrollback(scrollback); }
    // The view tells the terminal whether the user is looking at the scroll-back.
    void setUserScrolling(bool scrolling) { userScrolling = scrolling; }
    // Shows the line ring from `row` (clamped to 0...yBase) at the top of the view.
    void scrollTo(int row);
    // Marks a screen row dirty (see TerminalUpdateRanges). Inline: the print path marks a row
    // for every run.
    void updateRange(int row, bool scrolling = false) { markRow(row, buffer_->yDisp(), scrolling); }
    void refresh(int startRow, int endRow);
    // (startY, endY) of the dirty screen rows, or nothing. After a full-screen update the end is
    // `rows` (one past the last row); it is clamped there, never beyond.
    std::optional<std::pair<int, int>> getUpdateRange() const;
    bool synchronizedOutputActive() const { return synchronizedOutput_.active(); }
    // The link target under a cell of the active buffer: an OSC 8 hyperlink first, then (in
    // `explicitAndImplicit` mode) a URL or path recognised in the text (TerminalLinks.hpp).
    std::optional<std::string> link(LinkLookupLocation at, LinkLookupMode mode);
    std::optional<Position> resolveLinkLocation(LinkLookupLocation location, Buffer& buffer);
    std::optional<LinkMatch> explicitLinkMatch(Position at, Buffer& buffer);
    std::optional<LinkMatch> implicitLinkMatch(Position at, Buffer& buffer);

    // ---- Inline images (KittyImages.hpp) ------------------------------------------------------
    KittyGraphicsState& kittyGraphicsState() { return kittyImages_.kittyGraphicsState(); }
    // Set only while the delegate places the image of a normal Kitty placement.
    const std::optional<KittyPlacementContext>& kittyPlacementContext() const
    {
        return kittyImages_.kittyPlacementContext();
    }
    // What a host calls inside its image call (see KittyImages).
    std::shared_ptr<LineImageCharge> chargeLineImage(int64_t bytes) { return kittyImages_.chargeLineImage(bytes); }
    void attachImageStrips(int cols, int rows,
                           const std::function<std::shared_ptr<KittyPlacementImage>(int strip, int col)>& makeStrip)
    {
        kittyImages_.attachImageStrips(cols, rows, makeStrip);
    }

    // ---- For the engine's parts: replies, scrolling, cursor visibility -----------------------
    void sendResponse(std::span<const uint8_t> data);
    void sendResponse(std::string_view text);
    // Scrolls the region up by one line; `isWrapped` marks the new bottom line as a
    // continuation (auto-wrap).
    void scroll(bool isWrapped = false);
    // Cursor visibility; the delegate hears only of a change.
    void showCursor();
    void hideCursor();

    // ---- For tests and benchmarks: what they check that the view and the app do not read ------
    std::pair<int, int> getDims() const { return {cols, rows}; }
    Buffer& normalBuffer() { return *normalBuffer_; }
    Buffer& altBuffer() { return *altBuffer_; }
    // Rows counted from the first line ever kept; stable while the screen scrolls.
    BufferLine* getScrollInvariantLine(int row);
    std::optional<CharData> getCharData(int col, int row);
    const Attribute& currentAttribute() const { return curAttr; }
    // The cluster table (its size and bounds), its collection, and both code tables' (clusters,
    // hyperlink payloads), which give back what no cell uses. Both run by themselves as the
    // tables grow, and on a full reset or a scroll-back clear.
    const GraphemeClusterTable& clusters() const { return clusters_; }
    void collectClusters();
    void collectUnusedCodes();
    // The images on the lines: the Kitty store and placements, the line-image budget, and the
    // buffer lines looked at so far for Kitty images (work done).
    KittyImages& kittyImages() { return kittyImages_; }
    const LineImageBudget& lineImageBudget() const { return kittyImages_.lineImageBudget(); }
    uint64_t kittyLinesVisited() const { return kittyImages_.kittyLinesVisited(); }

private:
    // The engine's own from here on: what the engine's parts (the friends above) share with it,
    // the control functions the parser dispatches to, and their state.

    void selectionsInvalidateForColumnRestrictedScroll(int top, int bottom, int left, int right);

    // ---- Buffers, modes and bidi ------------------------------------------------------------
    void activateAltBuffer(std::optional<Attribute> fillAttr = std::nullopt);
    void activateNormalBuffer(bool clearAlt);
    void resetToInitialState();
    // DECSTR.
    void softReset();
    void updateFullScreen();
    void resetNormalBuffer();
    void resizeBuffers(int newColumns, int newRows);
    // The erase attribute: default foreground, the current background, nothing else.
    Attribute eraseAttribute() const;
    // The template line that scrolling copies; reused while width and erase attribute match.
    std::shared_ptr<BufferLine> blankLine;
    bool keepScreenOnColumnSwitch_ = false; // DECNCSM
    void applyCurrentBidiStateAtParagraphStart(const BidiStateProperties& properties);

    // ---- Control functions ------------------------------------------------------------------
    // CSI commands take the parameter list (at least one element; an omitted parameter is 0)
    // and the collected private-prefix and intermediate bytes. The separators of the sequence
    // being dispatched (';' or ':' before each parameter after the first) are in
    // `csiParameterSeparators_`.
    // True when the collected private-prefix and intermediate bytes are exactly `text`.
    static bool collectIs(Bytes collect, std::string_view text)
    {
        return std::string_view(reinterpret_cast<const char*>(collect.data()), collect.size()) == text;
    }

    CharData makeCharData(const Attribute& attribute, int32_t code, int size) const;
    void garbageCollectPayload();

    // Character attributes.
    void cmdCsiM(Params pars, Bytes collect);

    // Separators of the CSI sequence being dispatched (';' or ':' before each parameter after
    // the first); empty outside a dispatch.
    Bytes csiParameterSeparators_;

    // ParserHandler: the parser's calls on its terminal. The three made for every coloured
    // character are inline: one printable letter, the clear before a sequence, and SGR.
    void printHandler(std::span<const uint8_t> data) override
    {
        if (data.size() == 1 && isPrintableAscii(data[0]) && printer_.nothingPutBack() && plainAscii()) {
            Buffer& b = *buffer_;
            if (b.insertAsciiCell(data[0], curAttr)) {
                updateRange(b.y());
                return;
            }
        }
        printer_.handlePrint(data);
    }
    void printAsciiHandler(std::span<const uint8_t> data) override
    {
        if (printer_.nothingPutBack() && plainAscii()) {
            printer_.printAsciiRun(data);
        } else {
            printer_.handlePrint(data);
        }
    }
    void printStateReset() override { printer_.resetRun(); }
    void dispatchExecute(uint8_t code) override;
    void handleKittyGraphics(std::span<const uint8_t> data) override { kittyImages_.handleKittyGraphics(data); }
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
        csiParameterSeparators_ = parsTxt;
        if (code == 'm') {
            cmdCsiM(pars, collect);
        } else {
            dispatchCsiTable(code, pars, collect);
        }
        csiParameterSeparators_ = {};
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
    // A control (anything but text or SGR) came: what prints next starts its own cell.
    void endJoinableText() { buffer_->lastBufferStorage.joinable = false; }

    std::unique_ptr<Buffer> makeNormalBuffer();
    void installBufferHooks(Buffer& buffer);

    uint64_t serial_;
    TerminalDelegate* tdel = nullptr;
    Executor* executor_ = nullptr;
    std::unique_ptr<EscapeSequenceParser> parser_;
    std::unique_ptr<Buffer> normalBuffer_;
    std::unique_ptr<Buffer> altBuffer_;
    Buffer* buffer_ = nullptr;
    KittyImages kittyImages_{*this};

    // eraseAttribute() as `scroll` last built it (it depends on the background alone).
    Attribute scrollEraseAttribute_;

    GraphemeClusterTable clusters_;
    // The two parts the parser reaches for every run of text and every line: owned, so a call
    // makes nothing on the stack.
    TerminalPrinter printer_{*this};
    TerminalCursorCommands cursorCommands_{*this};
    // After `executor_`: its destructor cancels the timeout there.
    SynchronizedOutput synchronizedOutput_{*this};

    // Guards against the terminal being destroyed while a posted task is pending.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace corvix
