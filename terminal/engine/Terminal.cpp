#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalColors.hpp"

#include "terminal/engine/EscapeSequenceParserLoop.hpp"

#include "terminal/engine/ChildEnvironment.hpp"
#include "terminal/screen/Log.hpp"
#include "terminal/screen/Serial.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <algorithm>
#include <unordered_set>

namespace corvix {

const TerminalModes::BidiStateProperties& TerminalModes::allBidiStateProperties()
{
    static const BidiStateProperties all = {BidiStateProperty::supportMode, BidiStateProperty::autodetectDirection,
                                            BidiStateProperty::fallbackDirection, BidiStateProperty::boxMirroring};
    return all;
}

Terminal::Terminal(TerminalDelegate* delegate, TerminalOptions opts, Executor* executor)
    : options(std::move(opts))
    , serial_(nextSerial())
    , tdel(delegate)
    , executor_(executor)
{
    installedColors = Color::terminalAppColors();
    TerminalColors(*this).rebuildAnsiPalette(false);

    currentBidiState = options.initialBidiState;
    bidiArrowKeySwap = options.initialBidiArrowKeySwap;
    lineFeedMode = options.convertEol;
    blankLine = std::make_shared<BufferLine>(0);

    parser_ = std::make_unique<EscapeSequenceParser>(static_cast<ParserHandler*>(this));

    normalBuffer_ = makeNormalBuffer();
    altBuffer_ = std::make_unique<Buffer>(cols, rows, tabStopWidth, std::nullopt, options.initialBidiState);
    buffer_ = normalBuffer_.get();
    cc.send8bit = false;

    installBufferHooks(*altBuffer_);
    normalBuffer_->setupTabStops(-1, tabStopWidth);
    altBuffer_->setupTabStops(-1, tabStopWidth);

    setup(false);
}

Terminal::~Terminal()
{
    *alive_ = false;
}

std::unique_ptr<Buffer> Terminal::makeNormalBuffer()
{
    std::optional<int64_t> scrollback = options.scrollback;
    auto b = std::make_unique<Buffer>(cols, rows, tabStopWidth, scrollback, currentBidiState);
    installBufferHooks(*b);
    if (b->lines().count() == 0) b->fillViewportRows(Attribute{});
    return b;
}

void Terminal::installBufferHooks(Buffer& b)
{
    // The buffer never outlives its terminal, so a plain pointer is safe here.
    b.scroll = [this](bool isWrapped) { scroll(isWrapped); };
    b.imageAttached = [this, &b](TerminalImage& image, int row) { kittyImages_.kittyImageAttached(b, image, row); };
}

// ---- Input ----------------------------------------------------------------------------------

size_t Terminal::feed(std::span<const uint8_t> buffer)
{
    return parser_->parse(*this, buffer);
}

size_t Terminal::feed(std::string_view text)
{
    return feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void Terminal::deferCurrentString()
{
    parser_->deferString();
}

// ---- Read accessors -------------------------------------------------------------------------

BufferLine* Terminal::getLine(int row)
{
    if (row < 0 || row >= rows) return nullptr;
    return &buffer_->lines()[row + buffer_->yDisp()];
}

BufferLine* Terminal::getScrollInvariantLine(int row)
{
    int top = buffer_->linesTop;
    if (row < top || row >= top + buffer_->lines().count()) return nullptr;
    return &buffer_->lines()[row - top];
}

std::optional<CharData> Terminal::getCharData(int col, int row)
{
    if (col < 0 || col >= cols) return std::nullopt;
    BufferLine* line = getLine(row);
    if (!line || line->count() == 0) return std::nullopt;
    return (*line)[std::min(col, line->count() - 1)];
}

std::optional<std::u32string> Terminal::getCharacter(int col, int row)
{
    auto cell = getCharData(col, row);
    if (!cell) return std::nullopt;
    return character(cell->code);
}

KittyKeyboardFlags Terminal::keyboardEnhancementFlags() const
{
    return isCurrentBufferAlternate() ? keyboardModeAlt.flags : keyboardModeNormal.flags;
}

void Terminal::showCursor()
{
    if (!cursorHidden) return;
    cursorHidden = false;
    if (tdel) tdel->showCursor(*this);
}

void Terminal::hideCursor()
{
    if (cursorHidden) return;
    cursorHidden = true;
    if (tdel) tdel->hideCursor(*this);
}

// ---- Grapheme clusters ----------------------------------------------------------------------

int32_t Terminal::code(std::u32string_view character)
{
    if (clusters_.collectionDue() && !clusters_.hasCode(character)) collectClusters();
    return clusters_.code(character);
}

void Terminal::collectClusters()
{
    clusters_.collect([&](const auto& markHeldCode) {
        for (Buffer* b : {normalBuffer_.get(), altBuffer_.get()}) {
            auto& lines = b->lines();
            for (int i = 0; i < lines.count(); i++) {
                const auto& line = lines.getLine(i);
                if (!line) continue;
                line->forEachHeldCell([&](const CharData& cell) { markHeldCode(cell.code); });
            }
        }
    });
    // The print run's answers hold codes the collection may have handed out again.
    printer_.forgetRunScalars();
}

void Terminal::collectUnusedCodes()
{
    collectClusters();
    garbageCollectPayload();
    payloadCollectionPause_ = 0;
}

// ---- Cells ------------------------------------------------------------------------------------

CharData Terminal::makeCharData(const Attribute& attribute, int32_t code, int size) const
{
    CharData c;
    c.code = code;
    c.width = int8_t(size);
    c.attribute = attribute;
    return c;
}

// ---- Payload collection -----------------------------------------------------------------------

void Terminal::garbageCollectPayload()
{
    if (payloads.count() == 0) return;
    std::unordered_set<uint16_t> inUse;
    // The open link's code is in use even before any cell carries it.
    if (hyperLinkTracking && hyperLinkCode_ != 0) inUse.insert(hyperLinkCode_);
    for (Buffer* b : {normalBuffer_.get(), altBuffer_.get()}) {
        auto& lines = b->lines();
        for (int i = 0; i < lines.count(); i++) {
            const auto& line = lines.getLine(i);
            if (!line) continue;
            line->forEachHeldCell([&](const CharData& cell) {
                if (cell.payload.code != 0) inUse.insert(cell.payload.code);
            });
        }
    }
    for (uint16_t code : payloads.codes())
        if (!inUse.count(code)) payloads.release(code);
}

// ---- Selections -----------------------------------------------------------------------------

void Terminal::selectionsInvalidateForColumnRestrictedScroll(int top, int bottom, int left, int right)
{
    forEachSelection([&](TerminalSelection& s) {
        if (s.dropForColumnRestrictedScroll(top, bottom, left, right) && tdel) tdel->selectionChanged(*this);
    });
}

// ---- Child environment ----------------------------------------------------------------------

std::vector<std::string> Terminal::getEnvironmentVariables(std::optional<std::string> termName, bool trueColor)
{
    return childEnvironmentVariables(std::move(termName), trueColor);
}

// ---- Replies --------------------------------------------------------------------------------

void Terminal::sendResponse(std::span<const uint8_t> data)
{
    if (tdel) tdel->send(*this, data);
}

void Terminal::sendResponse(std::string_view text)
{
    sendResponse(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// ---- Delegate defaults that need the terminal -----------------------------------------------

void TerminalDelegate::setForegroundColor(Terminal& source, const Color& color)
{
    source.setForegroundColor(color);
}

void TerminalDelegate::setBackgroundColor(Terminal& source, const Color& color)
{
    source.setBackgroundColor(color);
}

void TerminalDelegate::setCursorColor(Terminal& source, std::optional<Color> color)
{
    source.setCursorColor(color);
}

std::pair<Color, Color> TerminalDelegate::getColors(Terminal& source)
{
    return {source.foregroundColor(), source.backgroundColor()};
}

} // namespace corvix
