#include "terminal/screen/Buffer.hpp"

#include "terminal/screen/Log.hpp"
#include "terminal/screen/Serial.hpp"

#include <algorithm>
#include <climits>
#include <utility>

namespace corvix {

namespace {

int ringCapacity(int rows, const std::optional<int64_t>& scrollback)
{
    if (!scrollback) {
        return rows;
    }
    return static_cast<int>(std::min<int64_t>(int64_t{rows} + *scrollback, INT_MAX));
}

} // namespace

Buffer::Buffer(int cols, int rows, int tabStopWidth, std::optional<int64_t> scrollback,
               const BidiPresentationState& bidiState)
    : defaultBidiState(bidiState)
    , scroll([](bool) { log::fatal(kScrollNotSetMessage); })
    , serial_(nextSerial())
    , lines_(ringCapacity(rows, scrollback))
    , scrollBottom_(rows - 1)
    , marginRight_(cols - 1)
    , hasScrollback_(scrollback.has_value())
    , cols_(cols)
    , rows_(rows)
    , scrollback_(scrollback)
{
    makeLines();
    setupTabStops(-1, tabStopWidth);
}

int Buffer::getCorrectBufferLength(int rows) const
{
    return hasScrollback_ ? ringCapacity(rows, scrollback_.value_or(0)) : rows;
}

void Buffer::makeLines()
{
    // New rows appear as blank lines with the plain attribute; the slot number does not matter.
    lines_.makeEmpty = [this](int) { return getBlankLine(Attribute{}, false); };
    setupLinesCallbacks();
}

void Buffer::setupLinesCallbacks()
{
    // The ring is a member of this buffer and never outlives it, so capturing `this` is safe.
    lines_.onLinePushed = [this](bool hasImages) {
        if (hasImages) {
            ++linesWithImagesCount_;
        }
    };
    lines_.onLineRecycled = [this](bool hadImages) {
        if (hadImages) {
            --linesWithImagesCount_;
        }
    };
}

void Buffer::clear()
{
    yDisp_ = 0;
    linesTop = 0;
    xBase = 0;
    x_ = 0;
    y_ = 0;
    wrapPending_ = false;
    yBase_ = 0;
    lines_ = CircularBufferLineList(getCorrectBufferLength(rows_));
    scrollbackCells_.trim();
    makeLines();
    linesWithImagesCount_ = 0;
    scrollTop_ = 0;
    scrollBottom_ = rows_ - 1;
    marginLeft_ = 0;
    marginRight_ = cols_ - 1;
}

void Buffer::softReset()
{
    savedAttr = Attribute{};
    savedX = 0;
    savedY = 0;
    savedWrapPending = false;
    savedCharset = nullptr;
    savedOriginMode = false;
    savedWraparound = false;
    marginLeft_ = 0;
    marginRight_ = cols_ - 1;
}

void Buffer::fillViewportRows(const std::optional<Attribute>& attribute)
{
    if (lines_.count() != 0) {
        return;
    }
    const Attribute fill = attribute.value_or(Attribute{});
    for (int i = 0; i < rows_; ++i) {
        lines_.push(getBlankLine(fill, false));
    }
}

void Buffer::changeHistorySize(std::optional<int64_t> newSize)
{
    scrollback_ = newSize;
    hasScrollback_ = newSize.has_value();
    const int m = ringCapacity(rows_, newSize);
    if (m == lines_.maxLength()) {
        return;
    }
    if (m < lines_.maxLength()) {
        const int e = lines_.count() - m;
        if (e >= 1) {
            const int dropped = std::min(lines_.count(), e);
            lines_.setStartIndex(lines_.startIndex() + dropped);
            lines_.setCount(lines_.count() - e);
            // Rows counted from the top of the history must keep naming the same lines.
            linesTop += dropped;
            yBase_ = std::max(yBase_ - e, 0);
            yDisp_ = std::max(yDisp_ - e, 0);
            savedY = std::max(savedY - e, 0);
        }
    }
    lines_.setMaxLength(m);
}

std::shared_ptr<BufferLine> Buffer::getBlankLine(const Attribute& attribute, bool isWrapped) const
{
    CharData fill;
    fill.attribute = attribute;
    return std::make_shared<BufferLine>(cols_, fill, isWrapped, defaultBidiState);
}

CharData Buffer::getNullCell(const std::optional<Attribute>& attribute) const
{
    CharData cell;
    cell.code = 0x20;
    cell.attribute = attribute.value_or(Attribute::empty);
    return cell;
}

CharData Buffer::getChar(Position at)
{
    return getCharBufferRelative(Position{at.col, yDisp_ + at.row});
}

CharData Buffer::getCharBufferRelative(Position at)
{
    BufferLine& line = lines_[at.row];
    if (at.col < 0 || at.col >= line.count()) {
        return CharData::Null;
    }
    return line[at.col];
}

void Buffer::clearImagesFromLine(int row)
{
    BufferLine& line = lines_[row];
    if (line.images()) {
        line.setImages(std::nullopt);
        --linesWithImagesCount_;
    }
}

void Buffer::attachImage(std::shared_ptr<TerminalImage> image, int row)
{
    BufferLine& line = lines_[row];
    const bool had = line.images().has_value();
    TerminalImage& attached = *image;
    line.attach(std::move(image));
    if (!had) {
        ++linesWithImagesCount_;
    }
    if (imageAttached) {
        imageAttached(attached, row);
    }
}

void Buffer::recalculateLinesWithImagesCount()
{
    int n = 0;
    for (int i = 0; i < lines_.count(); ++i) {
        if (lines_[i].images()) {
            ++n;
        }
    }
    linesWithImagesCount_ = n;
}

void Buffer::setupTabStops(int index, int tabStopWidth)
{
    // A zero or negative width would never leave the loop below.
    log::check(tabStopWidth > 0, "Buffer.setupTabStops: tab stop width must be positive");
    int start = 0;
    if (index == -1) {
        tabStops.assign(static_cast<size_t>(std::max(cols_, 0)), false);
    } else {
        log::check(tabStops.size() >= static_cast<size_t>(cols_), "Buffer.setupTabStops: tab stop list too short");
        tabStops.resize(static_cast<size_t>(cols_));
        start = std::min(cols_ - 1, index);
        if (start >= 0 && !tabStops[static_cast<size_t>(start)]) {
            start = previousTabStop(start);
        }
    }
    for (int i = std::max(start, 0); i < cols_; i += tabStopWidth) {
        tabStops[static_cast<size_t>(i)] = true;
    }
}

void Buffer::tabSet(int pos)
{
    if (pos >= 0 && static_cast<size_t>(pos) < tabStops.size()) {
        tabStops[static_cast<size_t>(pos)] = true;
    }
}

void Buffer::tabClear(int pos)
{
    if (pos >= 0 && static_cast<size_t>(pos) < tabStops.size()) {
        tabStops[static_cast<size_t>(pos)] = false;
    }
}

int Buffer::nextTabStop(bool marginMode, int index) const
{
    const int s = index == -1 ? x_ : index;
    // A tab from beyond the right margin stops at the screen's edge, never back on the margin.
    const int limit = marginMode && s <= marginRight_ ? marginRight_ : cols_ - 1;
    if (s >= limit) {
        return limit;
    }
    const int end = std::min(limit, static_cast<int>(tabStops.size()) - 1);
    for (int c = s + 1; c <= end; ++c) {
        if (tabStops[static_cast<size_t>(c)]) {
            return c;
        }
    }
    return limit;
}

int Buffer::previousTabStop(int index) const
{
    const int s = index == -1 ? x_ : index;
    for (int c = std::min(s - 1, static_cast<int>(tabStops.size()) - 1); c >= 0; --c) {
        if (tabStops[static_cast<size_t>(c)]) {
            return std::min(c, cols_ - 1);
        }
    }
    return 0;
}

void Buffer::wrapToNextRow()
{
    x_ = marginMode ? marginLeft_ : 0;
    wrapPending_ = false;
    if (y_ >= scrollBottom_) {
        scroll(true);
        return;
    }
    const BidiPresentationState bidi = lines_[yBase_ + y_].bidiState();
    ++y_;
    BufferLine& next = lines_[yBase_ + y_];
    next.setIsWrapped(true);
    next.setBidiState(bidi);
}

void Buffer::insertCharacterAtEdge(const CharData& ch, Attribute::Color eraseBackground)
{
    int right = printLimit();
    if (wrapPending_ || x_ + ch.width - 1 > right) {
        if (!wraparound) {
            if (ch.width == 2) {
                return;
            }
            x_ = right;
            wrapPending_ = false;
        } else {
            wrapToNextRow();
            right = printLimit();
        }
    }
    BufferLine& line = lines_[yBase_ + y_];
    if (insertMode) {
        CharData fill = CharData::Null;
        fill.attribute = curAttr;
        fill.attribute.bg = eraseBackground;
        line.insertCells(x_, ch.width, right, fill);
        // A wide character pushed onto the last column would have lost its right half.
        if (line[std::min(cols_, line.count()) - 1].width == 2) {
            line.set(cols_ - 1, fill);
        }
    }
    lastBufferStorage = BufferStorage{yBase_ + y_, x_, cols_, rows_};
    if (x_ >= cols_) {
        x_ = cols_ - 1;
    }
    placeCharacter(line, ch, ch.width);
    // Without autowrap the cursor stays on the margin, and the next character overwrites it.
    if (x_ > right) {
        if (wraparound) {
            wrapPending_ = true;
        } else {
            x_ = right;
        }
    }
}

int Buffer::insertAsciiRunWrapping(std::span<const uint8_t> bytes, const Attribute& attribute)
{
    if (insertMode || bytes.empty()) {
        return 0;
    }
    int right = printLimit();
    const int total = static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX));
    int written = 0;
    while (written < total) {
        if (x_ > right) {
            if (!wraparound) {
                break;
            }
            wrapToNextRow();
            right = printLimit();
            if (x_ > right) {
                // A left margin right of the right margin: wrapping cannot make room.
                break;
            }
        }
        const int n = std::min(total - written, right - x_ + 1);
        lines_[yBase_ + y_].writeAsciiRun(x_, bytes.subspan(static_cast<size_t>(written), static_cast<size_t>(n)),
                                          attribute);
        x_ += n;
        written += n;
    }
    if (written > 0) {
        lastBufferStorage = BufferStorage{yBase_ + y_, x_ - 1, cols_, rows_};
        if (!wraparound && x_ > right) {
            // Without autowrap the cursor stays on the margin, and every byte past it lands on the
            // margin cell: the run's last byte is the one left there.
            if (written < total) {
                lines_[yBase_ + y_].writeAsciiCell(right, bytes[static_cast<size_t>(total) - 1], attribute);
            }
            x_ = right;
            written = total;
        } else if (x_ > right) {
            wrapPending_ = true;
        }
    }
    return written;
}

} // namespace corvix
