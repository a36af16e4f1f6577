#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalColors.hpp"

#include "terminal/engine/EscapeSequenceParserLoop.hpp"

#include "terminal/engine/ChildEnvironment.hpp"
#include "terminal/screen/Log.hpp"
#include "terminal/screen/Serial.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <algorithm>

namespace corvix {

const Terminal::BidiStateProperties& Terminal::allBidiStateProperties()
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
    if (executor_ && synchronizedOutputTimeoutItem) executor_->cancel(synchronizedOutputTimeoutItem);
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

void Terminal::setMouseMode(MouseMode mode)
{
    mouseMode_ = mode;
    if (tdel) tdel->mouseModeChanged(*this);
}

// ---- Grapheme clusters ----------------------------------------------------------------------

std::u32string Terminal::character(int32_t code) const
{
    if (code <= 0x400000) {
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return U" ";
        return std::u32string(1, char32_t(code));
    }
    size_t index = size_t(code - kFirstClusterCode);
    if (index < indexToCharMap.size()) return indexToCharMap[index];
    return U" ";
}

std::u32string_view Terminal::characterView(int32_t code, char32_t& scratch) const
{
    if (code > 0x400000) {
        const size_t index = size_t(code - kFirstClusterCode);
        if (index < indexToCharMap.size()) return indexToCharMap[index];
        scratch = U' ';
    } else {
        scratch = code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? U' ' : char32_t(code);
    }
    return {&scratch, 1};
}

int32_t Terminal::code(std::u32string_view ch)
{
    if (ch.size() == 1 && ch[0] < 0x10000) return int32_t(ch[0]);
    if (ch == U"\r\n") return 10;
    if (auto it = charToIndexMap.find(ch); it != charToIndexMap.end()) return it->second;
    std::u32string key(ch);
    if (charToIndexMap.size() >= clusterCollectionAt_) collectClusters();
    int32_t assigned;
    if (!freeClusterIndices_.empty()) {
        assigned = kFirstClusterCode + freeClusterIndices_.back();
        freeClusterIndices_.pop_back();
        indexToCharMap[size_t(assigned - kFirstClusterCode)] = key;
    } else {
        assigned = lastCharIndex++;
        indexToCharMap.push_back(key);
    }
    charToIndexMap.emplace(std::move(key), assigned);
    return assigned;
}

void Terminal::collectClusters()
{
    std::vector<bool> inUse(indexToCharMap.size());
    for (Buffer* b : {normalBuffer_.get(), altBuffer_.get()}) {
        auto& lines = b->lines();
        for (int i = 0; i < lines.count(); i++) {
            const auto& line = lines.getLine(i);
            if (!line) continue;
            line->forEachHeldCell([&](const CharData& cell) {
                const size_t index = size_t(cell.code) - size_t(kFirstClusterCode);
                if (cell.code >= kFirstClusterCode && index < inUse.size()) inUse[index] = true;
            });
        }
    }
    // A free slot holds the empty string: a stored cluster never is.
    for (size_t index = 0; index < indexToCharMap.size(); index++) {
        if (inUse[index] || indexToCharMap[index].empty()) continue;
        charToIndexMap.erase(indexToCharMap[index]);
        std::u32string().swap(indexToCharMap[index]);
    }
    std::erase_if(singleScalarCodes_, [&](const auto& entry) { return !inUse[size_t(entry.second - kFirstClusterCode)]; });
    runScalars_.fill({});
    while (!indexToCharMap.empty() && indexToCharMap.back().empty()) indexToCharMap.pop_back();
    indexToCharMap.shrink_to_fit();
    lastCharIndex = kFirstClusterCode + int32_t(indexToCharMap.size());
    freeClusterIndices_.clear();
    for (size_t index = 0; index < indexToCharMap.size(); index++)
        if (indexToCharMap[index].empty()) freeClusterIndices_.push_back(int32_t(index));
    freeClusterIndices_.shrink_to_fit();
    // The next collection waits until the table has at least doubled, so the scans cost little
    // per stored cluster however many stay in use.
    const size_t live = charToIndexMap.size();
    clusterCollectionAt_ = live + std::max(live, kClusterCollectionMinimum);
    if (live == 0) {
        ClusterMap().swap(charToIndexMap);
        std::unordered_map<char32_t, int32_t>().swap(singleScalarCodes_);
    }
}

void Terminal::collectUnusedCodes()
{
    collectClusters();
    garbageCollectPayload();
    payloadCollectionPause_ = 0;
}

// ---- Focus ----------------------------------------------------------------------------------

void Terminal::setTerminalFocus(bool focused)
{
    reportedFocusState = focused;
    if (sendFocus) sendFocusReport();
}

void Terminal::sendFocusReport()
{
    if (!tdel) return;
    std::string report(replyCsi());
    report += reportedFocusState ? 'I' : 'O';
    sendResponse(report);
}

// ---- Selections -----------------------------------------------------------------------------

void Terminal::registerSelection(const std::shared_ptr<TerminalSelection>& selection)
{
    std::erase_if(selections, [](const std::weak_ptr<TerminalSelection>& w) { return w.expired(); });
    for (auto& weak : selections)
        if (weak.lock() == selection) return;
    selections.push_back(selection);
}

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

// ---- OSC 8 payload --------------------------------------------------------------------------

std::optional<std::string> Terminal::parseHyperlinkPayload(std::string_view payload)
{
    size_t semicolon = payload.find(';');
    if (semicolon == std::string_view::npos) return std::nullopt;
    return std::string(payload.substr(semicolon + 1));
}

// ---- Replies and diagnostics ----------------------------------------------------------------

void Terminal::sendResponse(std::span<const uint8_t> data)
{
    if (tdel) tdel->send(*this, data);
}

void Terminal::sendResponse(std::string_view text)
{
    sendResponse(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void Terminal::logInfo(std::string_view message) const
{
    if (silentLog) return;
    std::string line = "Info: ";
    line += message;
    logDiagnostic(line);
}

void Terminal::logDiagnostic(std::string_view line) const
{
    if (silentLog) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - diagnosticWindowStart_ >= kDiagnosticWindow) {
        if (diagnosticsSuppressed_ > 0)
            log::write(log::Category::engine, log::Level::info,
                       "Info: " + std::to_string(diagnosticsSuppressed_) + " diagnostic lines suppressed");
        diagnosticWindowStart_ = now;
        diagnosticLines_ = 0;
        diagnosticsSuppressed_ = 0;
    }
    if (diagnosticLines_ >= kDiagnosticBurst) {
        ++diagnosticsSuppressed_;
        return;
    }
    ++diagnosticLines_;
    log::write(log::Category::engine, log::Level::info, line);
}

std::string Terminal::decimalList(std::span<const uint8_t> bytes)
{
    std::string s = "[";
    for (size_t i = 0; i < bytes.size(); i++) {
        if (i) s += ", ";
        s += std::to_string(bytes[i]);
    }
    return s + "]";
}

std::string Terminal::decimalList(std::span<const int32_t> values)
{
    std::string s = "[";
    for (size_t i = 0; i < values.size(); i++) {
        if (i) s += ", ";
        s += std::to_string(values[i]);
    }
    return s + "]";
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
