#pragma once

#include "terminal/screen/BidiPresentationState.hpp"
#include "terminal/screen/BufferLine.hpp"
#include "terminal/screen/CellArena.hpp"
#include "terminal/screen/CharData.hpp"
#include "terminal/screen/CircularBufferLineList.hpp"
#include "terminal/screen/Position.hpp"
#include "terminal/screen/TerminalImage.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvix {

// A character-set translation table (a static table of the engine; defined with the tables).
struct CharsetMap;

// One screen of the terminal: the normal screen with its scroll-back, or the alternate screen
// without one. Owns the line ring, the cursor, scroll region, margins, tab stops and saved-cursor
// state, and the two print operations. Single-threaded: used only on its terminal's thread.
//
// Rows of the ring are absolute (0 = oldest kept line); `yBase` is the screen's top row, the
// cursor row `y` counts from it, `yDisp` is the top row displayed.
//
// Fields the owner maintains directly are public; those with assignment rules have accessors.
class Buffer {
public:
    // Where the last print operation wrote (absolute row, column) and the size at that moment.
    struct BufferStorage {
        int y = 0;
        int x = 0;
        int cols = 0;
        int rows = 0;
        // Nothing but text has come since: the cursor still stands right after this cell, so
        // a combining mark or flag half may join it. The owner clears it on every control.
        bool joinable = true;
    };

    static constexpr const char* kScrollNotSetMessage = "This should be set after creating a buffer";

    Buffer(int cols, int rows, int tabStopWidth, std::optional<int64_t> scrollback,
           const BidiPresentationState& bidiState);
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    uint64_t serial() const { return serial_; }

    CircularBufferLineList& lines() { return lines_; }

    // Assigning a negative value to x, y, yDisp, scrollTop or scrollBottom leaves it unchanged.
    // A new column or row is a cursor motion: it ends a pending wrap (see `wrapPending`).
    int x() const { return x_; }
    void setX(int value)
    {
        if (value >= 0) {
            x_ = value;
            wrapPending_ = false;
        }
    }
    int y() const { return y_; }
    void setY(int value)
    {
        if (value >= 0) {
            settleWrap();
            y_ = value;
        }
    }
    // Whether the last character printed reached the right limit with autowrap on, so that the
    // next one starts a new row. The cursor then reads one column past the limit (reports, saves
    // and edits see that column), but it stands on the limit: a cursor that a motion put past
    // the right margin is not pending a wrap, and prints there.
    bool wrapPending() const { return wrapPending_; }
    // Restores a saved or copied cursor: `x` as it was saved, pending or not.
    void setCursorColumn(int x, bool wrapPending)
    {
        x_ = x;
        wrapPending_ = wrapPending;
    }
    // The cursor leaves a pending wrap: it stands on the column last printed to again.
    void settleWrap()
    {
        if (wrapPending_) {
            wrapPending_ = false;
            --x_;
        }
    }
    int yDisp() const { return yDisp_; }
    void setYDisp(int value) { if (value >= 0) yDisp_ = value; }
    int yBase() const { return yBase_; }
    void setYBase(int value) { yBase_ = value; }
    int scrollTop() const { return scrollTop_; }
    void setScrollTop(int value) { if (value >= 0) scrollTop_ = value; }
    int scrollBottom() const { return scrollBottom_; }
    void setScrollBottom(int value) { if (value >= 0) scrollBottom_ = value; }
    int marginLeft() const { return marginLeft_; }
    void setMarginLeft(int value) { marginLeft_ = value; }
    int marginRight() const { return marginRight_; }
    void setMarginRight(int value) { marginRight_ = value; }

    int cols() const { return cols_; }
    int rows() const { return rows_; }
    const std::optional<int64_t>& scrollback() const { return scrollback_; }
    bool hasScrollback() const { return hasScrollback_; }
    bool isReflowEnabled() const { return hasScrollback_; }
    bool hasAnyImages() const { return linesWithImagesCount_ > 0; }
    int linesWithImagesCount() const { return linesWithImagesCount_; }
    int totalLinesTrimmed() const { return linesTop; }
    // Whether lines that scroll into the scroll-back are compacted (`BufferLine::compact`): that
    // costs a copy of each line's text, which pays where the ring would hold much memory at
    // full width, and is a waste where it would not.
    bool compactsScrollback() const
    {
        return int64_t{lines_.maxLength()} * cols_ * int64_t{sizeof(CharData)} > kCompactionThresholdBytes;
    }
    static constexpr int64_t kCompactionThresholdBytes = int64_t{32} << 20;
    // Where compacted lines keep their cells.
    CellArena& scrollbackCells() { return scrollbackCells_; }

    int xDisp = 0;
    int xBase = 0;
    // Lines trimmed off the top; kept by the owner.
    int linesTop = 0;
    std::vector<bool> tabStops;
    int savedX = 0;
    int savedY = 0;
    bool savedWrapPending = false;
    bool savedOriginMode = false;
    bool savedWraparound = false;
    Attribute savedAttr;
    // The saved character set: one of the static translation tables, or none.
    const CharsetMap* savedCharset = nullptr;
    // Attribute of the placeholder and insert-fill cells made by `insertCharacter` (the fill takes
    // the background the caller passes).
    Attribute curAttr = Attribute::empty;
    // Print-time modes (IRM, DECLRMM, DECAWM), kept in step with the terminal's by the owner.
    bool insertMode = false;
    bool marginMode = false;
    bool wraparound = false;
    BidiPresentationState defaultBidiState;
    // The owner's scroll-up hook; the owner installs it right after creating the buffer.
    std::function<void(bool isWrapped)> scroll;
    // The owner's hook told of every image `attachImage` put on a line (with its row), if set.
    std::function<void(TerminalImage& image, int row)> imageAttached;
    BufferStorage lastBufferStorage;

    // Creation and reset.
    int getCorrectBufferLength(int rows) const;
    void clear();
    void softReset();
    void fillViewportRows(const std::optional<Attribute>& attribute = std::nullopt);
    void changeHistorySize(std::optional<int64_t> newSize);

    // Lines and cells.
    std::shared_ptr<BufferLine> getBlankLine(const Attribute& attribute, bool isWrapped = false) const;
    CharData getNullCell(const std::optional<Attribute>& attribute = std::nullopt) const;
    // The cell at (col, yDisp + row); `CharData::Null` for a column outside the line.
    CharData getChar(Position at);
    // The same with `row` an absolute ring index.
    CharData getCharBufferRelative(Position at);
    void clearImagesFromLine(int row);
    void attachImage(std::shared_ptr<TerminalImage> image, int row);
    void recalculateLinesWithImagesCount();

    // Tab stops.
    void setupTabStops(int index, int tabStopWidth);
    void tabSet(int pos);
    void tabClear(int pos);
    int nextTabStop(bool marginMode, int index = -1) const;
    int previousTabStop(int index = -1) const;

    // Resize and reflow.
    // Changes the size: grows or shrinks the ring and the rows, keeps the cursor on the screen and,
    // for a buffer with scroll-back, re-wraps soft-wrapped lines for the new width. The caller
    // passes at least 2 columns and 1 row.
    void resize(int newCols, int newRows);
    // The used length of row `i` of one logical line laid out on `cols` columns: the last row's
    // trimmed length; `cols` - 1 for a row whose blank last cell was left by a wide character
    // pushed onto the next row; otherwise `cols`.
    static int getWrappedLineTrimmedLength(std::span<const CircularBufferLineList::LinePtr> lines, int i, int cols);
    // The row lengths one logical line needs on `newCols` columns (a row is one short where a
    // wide character would straddle the edge).
    static std::vector<int> getNewLineLengths(std::span<const CircularBufferLineList::LinePtr> wrappedLines,
                                              int oldCols, int newCols);

    // Printing.
    // Writes one character (width 1 or 2) at the cursor, wrapping, scrolling and inserting as the
    // modes say. `eraseBackground` colours the blank that insert mode leaves where it pushes a wide
    // character off the last column (the owner passes its current background).
    void insertCharacter(const CharData& ch,
                         Attribute::Color eraseBackground = Attribute::Color::defaultInvertedColor())
    {
        const CharData copy = ch; // the writes below may move or overwrite the cell `ch` names
        insertCharacter(copy.code, copy.width, copy.payload, copy.attribute, eraseBackground);
    }
    // The same for a character given by its fields, written straight into its cell: a cell built
    // on the stack and copied stalls on the reload of its attribute. `attribute` must not be a
    // cell's of this buffer.
    void insertCharacter(int32_t code, int width, TinyAtom payload, const Attribute& attribute,
                         Attribute::Color eraseBackground)
    {
        // Inline: a character that fits before the margin outside insert mode, nearly every one,
        // is written here; wrapping, insert mode, the pending-wrap column and the character that
        // reaches the margin (where the cursor stays without autowrap) go out of line.
        if (insertMode || x_ + width > rightLimit() || x_ >= cols_) [[unlikely]] {
            CharData ch;
            ch.code = code;
            ch.width = static_cast<int8_t>(width);
            ch.payload = payload;
            ch.attribute = attribute;
            insertCharacterAtEdge(ch, eraseBackground);
            return;
        }
        BufferLine& line = lines_[yBase_ + y_];
        lastBufferStorage = BufferStorage{yBase_ + y_, x_, cols_, rows_};
        CharData& cell = line.mutableCell(x_);
        cell.code = code;
        cell.width = static_cast<int8_t>(width);
        cell.payload = payload;
        cell.unused = 0;
        cell.attribute = attribute;
        ++x_;
        placeholdersAfter(line, width, payload);
    }
    // Columns from the cursor that a run of characters, each in a cell of its own, may fill: the
    // run ends before the margin (where the cursor stays without autowrap), outside insert mode.
    // The owner writes the cells, then calls `endCharacterRun`.
    int characterRunRoom() const { return insertMode || x_ >= cols_ ? 0 : rightLimit() - x_; }
    // The cursor moves to `x`, past such a run whose last character starts at `lastX`.
    void endCharacterRun(int lastX, int x)
    {
        x_ = x;
        lastBufferStorage = BufferStorage{yBase_ + y_, lastX, cols_, rows_};
    }
    // Writes a run of printable ASCII bytes with one attribute; returns how many it placed (none
    // in insert mode; without autowrap it stops when the cursor starts past the margin).
    int insertAsciiRun(std::span<const uint8_t> bytes, const Attribute& attribute)
    {
        // Inline: a run that ends before the margin, as the text between two sequences nearly
        // always does, is one write. One that reaches the margin goes out of line, where the
        // cursor stays on the margin without autowrap.
        const int room = rightLimit() - x_ + 1;
        if (!insertMode && room > 0 && !bytes.empty() && bytes.size() < static_cast<size_t>(room)) {
            lines_[yBase_ + y_].writeAsciiRun(x_, bytes, attribute);
            x_ += static_cast<int>(bytes.size());
            lastBufferStorage = BufferStorage{yBase_ + y_, x_ - 1, cols_, rows_};
            return static_cast<int>(bytes.size());
        }
        return insertAsciiRunWrapping(bytes, attribute);
    }

    // One byte of `insertAsciiRun` when it lands before the margin; false (nothing written)
    // otherwise, for the run writer to handle.
    bool insertAsciiCell(uint8_t byte, const Attribute& attribute)
    {
        if (insertMode || x_ >= rightLimit()) {
            return false;
        }
        lines_[yBase_ + y_].writeAsciiCell(x_, byte, attribute);
        ++x_;
        lastBufferStorage = BufferStorage{yBase_ + y_, x_ - 1, cols_, rows_};
        return true;
    }

private:
    void insertCharacterAtEdge(const CharData& ch, Attribute::Color eraseBackground);
    // Writes the character at the cursor, then the placeholder of its right half if it is wide
    // and there is room, and moves the cursor past them.
    void placeCharacter(BufferLine& line, const CharData& ch, int width)
    {
        line.set(x_, ch);
        ++x_;
        placeholdersAfter(line, width, ch.payload);
    }
    // The right half of a character `width` wide just written left of the cursor.
    void placeholdersAfter(BufferLine& line, int width, TinyAtom payload)
    {
        for (int i = 1; i < width && x_ < cols_; ++i) {
            // Written field by field into the cell: one built on the stack and copied stalls on
            // the reload.
            CharData& placeholder = line.mutableCell(x_);
            placeholder.code = 0;
            placeholder.width = 0;
            placeholder.payload = payload; // the right half belongs to the same link
            placeholder.unused = 0;
            placeholder.attribute = curAttr;
            ++x_;
        }
    }
    int insertAsciiRunWrapping(std::span<const uint8_t> bytes, const Attribute& attribute);
    // Rows to insert into the ring at `start` once narrowing has walked every line; `isNull` marks
    // a set that inserts nothing.
    struct InsertionSet {
        std::vector<CircularBufferLineList::LinePtr> lines;
        int start = 0;
        bool isNull = false;
    };

    void reflowWider(int oldCols, int newCols, int newRows);
    void reflowNarrower(int oldCols, int newCols, int newRows);
    // Joins the continuation rows of every logical line (except the cursor's) onto the wider rows
    // and returns the emptied rows as (first row, count) pairs in increasing order.
    std::vector<int> getLinesToRemove(int oldCols, int newCols, int bufferAbsoluteY, const CharData& nullChar);
    // Places the collected insertions in one pass over the ring, dropping the oldest lines that no
    // longer fit.
    // Returns the number of lines that fell off the top of the ring.
    int rearrange(const std::vector<InsertionSet>& toInsert, int countToInsert);

    void setupLinesCallbacks();
    void makeLines();
    int rightLimit() const { return marginMode ? marginRight_ : cols_ - 1; }
    // The last column the cursor may print to: the right margin applies to a cursor at or left
    // of it (or pending a wrap there); one already beyond it prints up to the screen's edge.
    int printLimit() const
    {
        return marginMode && (x_ <= marginRight_ || wrapPending_) ? marginRight_ : cols_ - 1;
    }
    // Moves the cursor to the start of the next row for auto-wrap, scrolling at the region's end.
    void wrapToNextRow();

    uint64_t serial_;
    // Before the lines: they go first, so the arena's blocks are empty when it goes.
    CellArena scrollbackCells_;
    CircularBufferLineList lines_;
    int yDisp_ = 0;
    int x_ = 0;
    int y_ = 0;
    bool wrapPending_ = false;
    int yBase_ = 0;
    int linesWithImagesCount_ = 0;
    int scrollBottom_;
    int scrollTop_ = 0;
    int marginLeft_ = 0;
    int marginRight_;
    bool hasScrollback_;
    int cols_;
    int rows_;
    std::optional<int64_t> scrollback_;
};

} // namespace corvix
