#pragma once

// Runs one fuzz input through a Terminal and checks the screen model's invariants after every
// chunk. Shared by the libFuzzer target and by the regression tests that replay the inputs it
// once failed on, so both see exactly the same chunking and resizes.
//
// Input layout: 4 header bytes (columns, rows, scroll-back and flags, seed), then the byte stream.
// One header flag instead compares the stream fed in chunks with the stream fed whole.
// Chunk sizes and the occasional resize come from a small generator seeded by the header, so the
// stream itself stays whole and dictionary entries inside it are not broken up.

#include "terminal/engine/Terminal.hpp"
#include "terminal/selection/SelectionService.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace corvix::fuzz {

// Sizes the driver gives the terminal; requests from the child are clamped to these so that one
// input stays quick to run.
inline constexpr int kMaxCols = 300;
inline constexpr int kMaxRows = 120;
// Longest title the engine should hold: the parser's bound on one OSC string.
inline constexpr size_t kMaxTitleBytes = EscapeSequenceParser::kMaxStringLength;
// What the parser may hold for strings in progress: the large-payload bound plus the vector's
// growth headroom.
inline constexpr size_t kMaxParserStringBytes = 2 * EscapeSequenceParser::kMaxLargeStringLength;

// A host that answers like a real one: it knows its cell size and applies resize requests
// (after the chunk, as a view would on its next turn).
class FuzzDelegate : public TerminalDelegate {
public:
    // Replies are kept only while `keepReplies` (the split comparison reads them).
    bool keepReplies = false;
    std::string replies;
    std::optional<std::pair<int, int>> pendingResize;

    void send(Terminal&, std::span<const uint8_t> data) override
    {
        if (keepReplies) replies.append(data.begin(), data.end());
    }
    std::optional<std::pair<int, int>> cellSizeInPixels(Terminal&) override { return std::pair{9, 18}; }
    std::optional<std::vector<uint8_t>> windowCommand(Terminal&, const WindowManipulationCommand& c) override
    {
        if (c.kind == WindowManipulationCommand::Kind::resizeTerminal) pendingResize = std::pair{c.a, c.b};
        return std::nullopt;
    }
};

// xorshift32: deterministic for a given seed, which is all the driver needs.
class FuzzRandom {
public:
    explicit FuzzRandom(uint32_t seed) : state(seed == 0 ? 0x9e3779b9u : seed) {}
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint32_t state;
};

// The first broken invariant, or nothing. An inactive alternate buffer may have no lines yet: it
// is filled when it is switched to.
inline std::optional<std::string> checkBuffer(Terminal& t, Buffer& b, const char* name)
{
    auto fail = [&](const std::string& what) { return std::optional<std::string>(std::string(name) + ": " + what); };
    const int cols = t.cols;
    const int rows = t.rows;
    if (b.cols() != cols || b.rows() != rows) return fail("size differs from the terminal's");
    auto& ring = b.lines();
    if (ring.count() == 0 && &b != &t.buffer()) return std::nullopt;
    if (ring.count() < rows || ring.count() > ring.maxLength()) {
        return fail("ring count " + std::to_string(ring.count()) + " outside rows..maxLength " +
                    std::to_string(ring.maxLength()));
    }
    if (b.yBase() < 0 || b.yBase() + rows > ring.count()) {
        return fail("yBase " + std::to_string(b.yBase()) + " leaves the ring of " + std::to_string(ring.count()));
    }
    if (b.yDisp() < 0 || b.yDisp() + rows > ring.count()) {
        return fail("yDisp " + std::to_string(b.yDisp()) + " leaves the ring of " + std::to_string(ring.count()));
    }
    if (b.x() < 0 || b.x() > cols) return fail("cursor x " + std::to_string(b.x()));
    if (b.y() < 0 || b.y() >= rows) return fail("cursor y " + std::to_string(b.y()));
    if (b.scrollTop() < 0 || b.scrollTop() > b.scrollBottom() || b.scrollBottom() >= rows) {
        return fail("scroll region " + std::to_string(b.scrollTop()) + ".." + std::to_string(b.scrollBottom()));
    }
    if (b.marginLeft() < 0 || b.marginLeft() > b.marginRight() || b.marginRight() >= cols) {
        return fail("margins " + std::to_string(b.marginLeft()) + ".." + std::to_string(b.marginRight()));
    }
    if (static_cast<int>(b.tabStops.size()) < cols) return fail("fewer tab stops than columns");
    for (int i = 0; i < ring.count(); ++i) {
        const BufferLine& line = ring[i];
        if (line.count() < cols) {
            return fail("line " + std::to_string(i) + " has " + std::to_string(line.count()) + " cells");
        }
        // A line holds a screen width of cells; anything far beyond that is a leak.
        if (line.capacity() > 2 * kMaxCols + 2) {
            return fail("line " + std::to_string(i) + " capacity " + std::to_string(line.capacity()));
        }
        // Widths are 0 (right half or combining), 1 or 2. Editing may leave a lone half of a wide
        // character, even a left half in the last column: readers and reflow must cope with it.
        for (int col = 0; col < cols; ++col) {
            const int width = line[col].width;
            if (width < 0 || width > 2) {
                return fail("line " + std::to_string(i) + " column " + std::to_string(col) + " has width " +
                            std::to_string(width));
            }
        }
    }
    return std::nullopt;
}

inline std::optional<std::string> checkTerminal(Terminal& t)
{
    if (t.cols < Terminal::MINIMUM_COLS || t.rows < Terminal::MINIMUM_ROWS) return "terminal size below the minimum";
    if (auto f = checkBuffer(t, t.normalBuffer(), "normal")) return f;
    if (auto f = checkBuffer(t, t.altBuffer(), "alternate")) return f;
    if (t.altBuffer().yBase() != 0 || t.altBuffer().lines().count() > t.rows) return "alternate buffer has scroll-back";
    if (auto r = t.getUpdateRange()) {
        if (r->first < 0 || r->first > r->second || r->first >= t.rows || r->second > t.rows) {
            return "update range " + std::to_string(r->first) + ".." + std::to_string(r->second);
        }
    }
    if (auto r = t.getScrollInvariantUpdateRange()) {
        if (r->first < 0 || r->first > r->second) {
            return "scroll-invariant range " + std::to_string(r->first) + ".." + std::to_string(r->second);
        }
    }
    if (t.terminalTitleStack.size() > Terminal::kMaxTitleStackDepth ||
        t.terminalIconStack.size() > Terminal::kMaxTitleStackDepth) {
        return "title stack past its bound";
    }
    if (t.terminalTitle.size() > kMaxTitleBytes || t.iconTitle.size() > kMaxTitleBytes) return "title past its bound";
    if (t.parser().stringBufferBytes() > kMaxParserStringBytes) return "parser string buffers past their bound";
    return std::nullopt;
}

// Where two terminals fed the same bytes differ: screen cells of both buffers, cursor, replies.
inline std::optional<std::string> compareTerminals(Terminal& a, FuzzDelegate& da, Terminal& b, FuzzDelegate& db)
{
    if (da.replies != db.replies) return "replies differ";
    if (a.isCurrentBufferAlternate() != b.isCurrentBufferAlternate()) return "active buffers differ";
    for (bool alt : {false, true}) {
        Buffer& ba = alt ? a.altBuffer() : a.normalBuffer();
        Buffer& bb = alt ? b.altBuffer() : b.normalBuffer();
        const std::string name = alt ? "alternate" : "normal";
        if (ba.x() != bb.x() || ba.y() != bb.y() || ba.yBase() != bb.yBase()) return name + ": cursors differ";
        if (ba.lines().count() != bb.lines().count()) return name + ": line counts differ";
        for (int row = 0; row < ba.lines().count(); ++row) {
            const BufferLine& la = ba.lines()[row];
            const BufferLine& lb = bb.lines()[row];
            if (la.isWrapped() != lb.isWrapped()) return name + ": wrap flags differ on line " + std::to_string(row);
            for (int col = 0; col < a.cols; ++col) {
                const CharData& ca = la[col];
                const CharData& cb = lb[col];
                if (ca.width != cb.width || ca.attribute != cb.attribute || ca.hasPayload() != cb.hasPayload() ||
                    a.character(ca.code) != b.character(cb.code)) {
                    return name + ": cells differ at line " + std::to_string(row) + " column " + std::to_string(col);
                }
            }
        }
    }
    return std::nullopt;
}

// The stream fed in random chunks and fed whole must leave the same terminal: input may be split
// anywhere. No resizes here, so that the two runs see the same geometry throughout.
inline std::optional<std::string> runSplitComparison(const TerminalOptions& options, std::span<const uint8_t> stream,
                                                     FuzzRandom& random)
{
    FuzzDelegate chunkedDelegate, wholeDelegate;
    chunkedDelegate.keepReplies = wholeDelegate.keepReplies = true;
    Terminal chunked(&chunkedDelegate, options);
    Terminal whole(&wholeDelegate, options);
    for (size_t at = 0; at < stream.size();) {
        const size_t n = std::min<size_t>(1 + random.below(random.below(4) == 0 ? 64 : 4), stream.size() - at);
        chunked.feed(stream.subspan(at, n));
        at += n;
    }
    whole.feed(stream);
    if (auto f = checkTerminal(chunked)) return "chunked: " + *f;
    if (auto f = compareTerminals(chunked, chunkedDelegate, whole, wholeDelegate)) return "split changes the result: " + *f;
    return std::nullopt;
}

// Feeds the input as described at the top; the first broken invariant ends the run.
inline std::optional<std::string> runInput(std::span<const uint8_t> input)
{
    if (input.size() < 4) return std::nullopt;
    const uint8_t* header = input.data();
    const std::span<const uint8_t> stream = input.subspan(4);

    TerminalOptions options = TerminalOptions::defaults();
    options.cols = Terminal::MINIMUM_COLS + header[0] % (kMaxCols / 2);
    options.rows = Terminal::MINIMUM_ROWS + header[1] % (kMaxRows / 2);
    static constexpr int64_t kScrollbacks[] = {0, 1, 7, 100};
    options.scrollback = kScrollbacks[header[2] & 3];
    if (header[2] & 8) options.regionalIndicatorWidth = RegionalIndicatorWidth::narrow;
    if (header[2] & 16) options.convertEol = true;
    if (header[2] & 32) options.initialBidiState.supportMode = BidiSupportMode::explicit_;
    FuzzRandom random(header[3] | uint32_t(header[2]) << 8 | uint32_t(header[1]) << 16 | uint32_t(header[0]) << 24);

    if (header[2] & 64) return runSplitComparison(options, stream, random);

    FuzzDelegate delegate;
    Terminal terminal(&delegate, options);
    // Diagnostic lines quote hostile bytes: run their formatting too.
    terminal.silentLog = (header[2] & 4) == 0;
    // A selection the user made: scrolling and erasing move or drop it.
    const auto selection = SelectionService::create(terminal);
    if (auto f = checkTerminal(terminal)) return "at creation: " + *f;

    size_t at = 0;
    while (at < stream.size()) {
        // Mostly short chunks (sequences split anywhere), now and then a long run.
        const size_t size = random.below(8) == 0 ? 1 + random.below(4096) : 1 + random.below(16);
        const size_t n = std::min(size, stream.size() - at);
        terminal.feed(stream.subspan(at, n));
        at += n;

        if (delegate.pendingResize) {
            terminal.resize(std::min(delegate.pendingResize->first, kMaxCols),
                            std::min(delegate.pendingResize->second, kMaxRows));
            delegate.pendingResize.reset();
        } else if (random.below(32) == 0) {
            terminal.resize(1 + int(random.below(kMaxCols)), 1 + int(random.below(kMaxRows / 2)));
        }
        if (random.below(16) == 0) {
            // The user looks into the scroll-back, as the view would let them.
            terminal.setUserScrolling(true);
            terminal.scrollTo(int(random.below(uint32_t(terminal.buffer().yBase()) + 1)));
        } else if (random.below(16) == 0) {
            terminal.setUserScrolling(false);
            terminal.scrollTo(terminal.buffer().yBase());
        }
        if (auto f = checkTerminal(terminal)) return "after byte " + std::to_string(4 + at) + ": " + *f;
        if (random.below(4) == 0) terminal.clearUpdateRange();
        // What the user does with the pointer: look up a link, report a click (in whatever mouse
        // mode the child chose), select.
        const int col = int(random.below(uint32_t(terminal.cols)));
        const int row = int(random.below(uint32_t(terminal.rows)));
        const int bufferRow = terminal.buffer().yDisp() + row;
        switch (random.below(64)) {
        case 0: (void)terminal.link(LinkLookupLocation::screen({col, row}), LinkLookupMode::explicitAndImplicit); break;
        case 1: terminal.sendEvent(int(random.below(128)), col, row, col * 9 + 4, row * 18 + 9); break;
        case 2: terminal.sendMotion(int(random.below(128)), col, row, col * 9, row * 18); break;
        case 3: terminal.setTerminalFocus(random.below(2) == 0); break;
        case 4: selection->setSelection({col, bufferRow}, {int(random.below(uint32_t(terminal.cols) + 1)), terminal.buffer().yBase()}); break;
        case 5: selection->selectWordOrExpression({col, bufferRow}, terminal.buffer()); break;
        case 6: (void)selection->getSelectedText(); break;
        default: break;
        }
    }

    // The read paths a view takes after feeding.
    for (int row = 0; row < terminal.rows; ++row) {
        for (int col = 0; col < terminal.cols; ++col) (void)terminal.getCharacter(col, row);
    }
    const int top = terminal.buffer().yBase();
    (void)terminal.getText(Position{0, top}, Position{terminal.cols, top + terminal.rows - 1});
    (void)terminal.getBufferAsData(BufferKind::active, TextEncoding::utf8);
    (void)selection->getSelectedText();
    return std::nullopt;
}

} // namespace corvix::fuzz
