// Buffer::resize and the reflow of soft-wrapped lines.
#include "terminal/screen/Buffer.hpp"

#include "terminal/screen/CircularList.hpp"
#include "terminal/screen/Log.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace corvix {

using LinePtr = CircularBufferLineList::LinePtr;

void Buffer::resize(int newCols, int newRows)
{
    // Narrowing to one column would never place a wide character.
    log::check(newCols >= 2 && newRows >= 1, "Buffer.resize: at least 2 columns and 1 row");

    // On a new width the column past the old edge is an ordinary column (or is clamped below):
    // nothing is pending there any more.
    if (newCols != cols_) {
        wrapPending_ = false;
        savedWrapPending = false;
    }

    if (newCols - 1 < marginRight_) {
        marginRight_ = newCols - 1;
    }
    if (marginLeft_ >= marginRight_) {
        marginLeft_ = marginRight_;
    }

    const int newMax = getCorrectBufferLength(newRows);
    if (lines_.maxLength() < newMax) {
        lines_.setMaxLength(newMax);
    }

    if (lines_.count() == 0) {
        // The alternate screen is empty until first shown and again after it is left; its ring
        // must still follow the rows, or it would gain a scroll-back once filled.
        lines_.setMaxLength(newMax);
        scrollBottom_ = newRows - 1;
    } else {
        if (cols_ < newCols) {
            for (int i = 0; i < lines_.count(); ++i) {
                lines_[i].resize(newCols, CharData::Null);
            }
        }

        int addToY = 0;
        if (rows_ < newRows) {
            for (int r = rows_; r < newRows; ++r) {
                if (lines_.count() >= newRows + yBase_) {
                    continue;
                }
                if (yBase_ > 0 && lines_.count() <= yBase_ + r + addToY + 1) {
                    // Scroll-back comes back into view before blank rows are added.
                    --yBase_;
                    ++addToY;
                    if (yDisp_ > 0) {
                        --yDisp_;
                    }
                } else {
                    lines_.push(std::make_shared<BufferLine>(newCols, CharData::Null, false, defaultBidiState));
                }
            }
        } else if (rows_ > newRows) {
            for (int r = rows_; r > newRows; --r) {
                if (newRows + yBase_ >= lines_.count()) {
                    continue;
                }
                if (yBase_ + y_ + 1 >= lines_.count()) {
                    // The cursor is on the last line: scroll instead of dropping lines.
                    ++yBase_;
                    ++yDisp_;
                } else {
                    // The last line lies below the cursor; the screen's bottom goes with it.
                    lines_.set(lines_.count() - 1, nullptr);
                    lines_.setCount(lines_.count() - 1);
                }
            }
        }
        if (newMax < lines_.maxLength()) {
            const int e = lines_.count() - newMax;
            if (e >= 1) {
                lines_.setStartIndex(lines_.startIndex() + e);
                lines_.setCount(lines_.count() - e);
                yBase_ = std::max(yBase_ - e, 0);
                yDisp_ = std::max(yDisp_ - e, 0);
                savedY = std::max(savedY - e, 0);
                linesTop += e;
            }
            lines_.setMaxLength(newMax);
        }

        x_ = std::min(x_, newCols - 1);
        y_ = std::min(y_, newRows - 1) + addToY;
        savedX = std::min(savedX, newCols - 1);
        scrollTop_ = 0;
        scrollBottom_ = newRows - 1;
    }

    // New columns get no stops here; the terminal sets them after the resize.
    tabStops.resize(static_cast<size_t>(newCols), false);

    if (hasScrollback_ && cols_ != newCols) {
        if (cols_ < newCols) {
            reflowWider(cols_, newCols, newRows);
        } else {
            reflowNarrower(cols_, newCols, newRows);
        }
        recalculateLinesWithImagesCount();
        if (cols_ > newCols) {
            // Reflow has moved the cells beyond the new width already, except on the cursor's
            // logical line; a wide character cut in half there is blanked.
            for (int i = 0; i < lines_.count(); ++i) {
                BufferLine& line = lines_[i];
                line.resize(newCols, CharData::Null);
                if (line[newCols - 1].width == 2) {
                    line.set(newCols - 1, CharData::Null);
                }
            }
        }
    }

    for (int i = 0; i < lines_.count(); ++i) {
        const int n = lines_[i].count();
        if (n < newCols) {
            log::fatal("stop here newCols=" + std::to_string(newCols) + " but the element has: " + std::to_string(n));
        }
    }

    cols_ = newCols;
    rows_ = newRows;
    // Reflow replaced lines: blocks of compacted lines they emptied go back.
    scrollbackCells_.trim();
}

int Buffer::getWrappedLineTrimmedLength(std::span<const LinePtr> lines, int i, int cols)
{
    const size_t index = static_cast<size_t>(i);
    if (index + 1 == lines.size()) {
        // A wide character cut at the last column counts its missing right half; the row holds
        // no cell there to move.
        return std::min(lines[index]->getTrimmedLength(), cols);
    }
    const BufferLine& line = *lines[index];
    const bool endsInBlank = !line.hasContent(cols - 1) && line.getWidth(cols - 1) == 1;
    const bool nextStartsWide = lines[index + 1]->getWidth(0) == 2;
    return endsInBlank && nextStartsWide ? cols - 1 : cols;
}

std::vector<int> Buffer::getNewLineLengths(std::span<const LinePtr> wrappedLines, int oldCols, int newCols)
{
    const int rowCount = static_cast<int>(wrappedLines.size());
    int cellsNeeded = 0;
    for (int i = 0; i < rowCount; ++i) {
        cellsNeeded += getWrappedLineTrimmedLength(wrappedLines, i, oldCols);
    }
    std::vector<int> lengths;
    int srcCol = 0;
    int srcLine = 0;
    int available = 0;
    while (available < cellsNeeded) {
        if (cellsNeeded - available < newCols) {
            lengths.push_back(cellsNeeded - available);
            break;
        }
        srcCol += newCols;
        const int srcLength = getWrappedLineTrimmedLength(wrappedLines, srcLine, oldCols);
        if (srcCol > srcLength) {
            srcCol -= srcLength;
            ++srcLine;
        }
        // A wide character that would straddle the edge starts the next row instead.
        const bool endsWithWide = wrappedLines[static_cast<size_t>(srcLine)]->getWidth(srcCol - 1) == 2;
        const int length = endsWithWide ? newCols - 1 : newCols;
        if (endsWithWide) {
            --srcCol;
        }
        lengths.push_back(length);
        available += length;
    }
    return lengths;
}

std::vector<int> Buffer::getLinesToRemove(int oldCols, int newCols, int bufferAbsoluteY, const CharData& nullChar)
{
    std::vector<int> toRemove;
    std::vector<LinePtr> wrapped;
    const int count = lines_.count();
    for (int y = 0; y < count - 1; ++y) {
        int i = y + 1;
        if (!lines_[i].isWrapped()) {
            continue;
        }
        wrapped.clear();
        wrapped.push_back(lines_.getLine(y));
        while (i < count && lines_[i].isWrapped()) {
            wrapped.push_back(lines_.getLine(i));
            ++i;
        }
        if (bufferAbsoluteY >= y && bufferAbsoluteY < i) {
            // The application redraws the line it is editing.
            y = i - 1;
            continue;
        }
        const int rowCount = static_cast<int>(wrapped.size());

        int destLine = 0;
        int destCol = getWrappedLineTrimmedLength(wrapped, 0, oldCols);
        int srcLine = 1;
        int srcCol = 0;
        while (srcLine < rowCount) {
            const int srcLength = getWrappedLineTrimmedLength(wrapped, srcLine, oldCols);
            const int n = std::min(srcLength - srcCol, newCols - destCol);
            wrapped[static_cast<size_t>(destLine)]->copyFrom(*wrapped[static_cast<size_t>(srcLine)], srcCol, destCol, n);
            destCol += n;
            if (destCol == newCols) {
                ++destLine;
                destCol = 0;
            }
            srcCol += n;
            if (srcCol == srcLength) {
                ++srcLine;
                srcCol = 0;
            }
            if (destCol == 0 && destLine != 0 && destLine < rowCount) {
                // A wide character cannot end a row: move it to the start of the next one.
                BufferLine& completed = *wrapped[static_cast<size_t>(destLine - 1)];
                if (completed.getWidth(newCols - 1) == 2) {
                    wrapped[static_cast<size_t>(destLine)]->copyFrom(completed, newCols - 1, 0, 1);
                    destCol = 1;
                    completed.set(newCols - 1, nullChar);
                }
            }
        }
        if (destLine < rowCount) {
            wrapped[static_cast<size_t>(destLine)]->replaceCells(destCol, newCols, nullChar);
        }

        int emptied = 0;
        for (int r = rowCount - 1; r > 0; --r) {
            if (r > destLine || wrapped[static_cast<size_t>(r)]->getTrimmedLength() == 0) {
                ++emptied;
            } else {
                break;
            }
        }
        if (emptied > 0) {
            toRemove.push_back(y + rowCount - emptied);
            toRemove.push_back(emptied);
        }
        y = i - 1;
    }
    return toRemove;
}

void Buffer::reflowWider(int oldCols, int newCols, int newRows)
{
    const std::vector<int> toRemove = getLinesToRemove(oldCols, newCols, yBase_ + y_, CharData::Null);
    if (toRemove.empty()) {
        return;
    }

    const int count = lines_.count();
    const int cursorLine = yBase_ + y_;
    CircularList<int> layout(count);
    int countRemoved = 0;
    int removedAbove = 0; // rows joined away above the cursor; those below leave it in place
    size_t nextPair = 0;
    for (int i = 0; i < count; ++i) {
        if (nextPair < toRemove.size() && toRemove[nextPair] == i) {
            const int n = toRemove[nextPair + 1];
            countRemoved += n;
            if (i < cursorLine) {
                removedAbove += n;
            }
            i += n - 1;
            nextPair += 2;
            continue;
        }
        layout.push(i);
    }

    std::vector<LinePtr> kept;
    kept.reserve(static_cast<size_t>(layout.count()));
    for (int i = 0; i < layout.count(); ++i) {
        kept.push_back(lines_.getLine(layout[i]));
    }
    for (int i = 0; i < count; ++i) {
        // Vacated slots are emptied so that no line is held twice by the ring.
        lines_.set(i, i < static_cast<int>(kept.size()) ? std::move(kept[static_cast<size_t>(i)]) : nullptr);
    }
    lines_.setCount(layout.count());

    for (int i = 0; i < countRemoved; ++i) {
        if (yBase_ == 0) {
            if (y_ > 0) {
                --y_;
            }
            if (lines_.count() < newRows) {
                lines_.push(std::make_shared<BufferLine>(newCols, CharData::Null, false, defaultBidiState));
            }
        } else {
            if (yDisp_ == yBase_) {
                --yDisp_;
            }
            --yBase_;
        }
    }
    y_ = std::clamp(cursorLine - removedAbove - yBase_, 0, newRows - 1);
    savedY = std::max(savedY - countRemoved, 0);
}

void Buffer::reflowNarrower(int oldCols, int newCols, int newRows)
{
    std::vector<InsertionSet> toInsert;
    int countToInsert = 0;
    std::vector<LinePtr> wrapped;
    // The cursor's line, followed through the rows inserted above it, places the cursor at the end.
    const int cursorLine = yBase_ + y_;
    int insertedAbove = 0;
    for (int row = lines_.count() - 1; row >= 0; --row) {
        LinePtr line = lines_.getLine(row);
        if (!line->isWrapped() && line->getTrimmedLength() <= newCols) {
            continue;
        }
        // Gather the logical line bottom-up, then put it in order; `row` ends on its first row.
        wrapped.clear();
        wrapped.push_back(line);
        while (line->isWrapped() && row > 0) {
            line = lines_.getLine(--row);
            wrapped.push_back(line);
        }
        std::reverse(wrapped.begin(), wrapped.end());
        const int rowCount = static_cast<int>(wrapped.size());

        // Rows here are those of the ring before any insertion, as `cursorLine` is.
        if (cursorLine >= row && cursorLine < row + rowCount) {
            // The application redraws the line it is editing.
            continue;
        }
        // Programs that draw a status area below the cursor leave lines there; rows added to them
        // move neither the cursor nor the lines above.
        const bool belowCursor = row > cursorLine;

        const int lastLineLength = getWrappedLineTrimmedLength(wrapped, rowCount - 1, oldCols);
        const std::vector<int> destLengths = getNewLineLengths(wrapped, oldCols, newCols);
        if (destLengths.empty()) {
            // A blank continuation row whose first row went off the top: nothing to move.
            continue;
        }
        const int destCount = static_cast<int>(destLengths.size());
        const int linesToAdd = std::max(destCount - rowCount, 0);
        const int trimmedLines = yBase_ == 0 && y_ != lines_.count() - 1
            ? std::max(0, y_ - lines_.maxLength() + linesToAdd)
            : std::max(0, lines_.count() - lines_.maxLength() + linesToAdd);

        if (linesToAdd > 0) {
            InsertionSet set;
            set.start = row + rowCount + countToInsert;
            for (int i = 0; i < linesToAdd; ++i) {
                LinePtr added = getBlankLine(Attribute{}, true);
                added->setBidiState(wrapped.front()->bidiState());
                set.lines.push_back(added);
                wrapped.push_back(std::move(added));
            }
            toInsert.push_back(std::move(set));
            countToInsert += linesToAdd;
        }

        // Copy backwards so that the cells can move within the same rows.
        int destLine = destCount - 1;
        int destCol = destLengths[static_cast<size_t>(destLine)];
        if (destCol == 0 && destLine > 0) {
            --destLine;
            destCol = destLengths[static_cast<size_t>(destLine)];
        }
        int srcLine = rowCount - 1;
        int srcCol = lastLineLength;
        while (srcLine >= 0 && destLine >= 0 && destLine < static_cast<int>(wrapped.size())) {
            const int n = std::min(srcCol, destCol);
            wrapped[static_cast<size_t>(destLine)]->copyFrom(*wrapped[static_cast<size_t>(srcLine)], srcCol - n,
                                                            destCol - n, n);
            destCol -= n;
            if (destCol == 0) {
                --destLine;
                destCol = destLine >= 0 ? destLengths[static_cast<size_t>(destLine)] : 0;
            }
            srcCol -= n;
            if (srcCol == 0) {
                --srcLine;
                srcCol = getWrappedLineTrimmedLength(wrapped, std::max(srcLine, 0), oldCols);
            }
        }

        // The slot a wide character left at the end of a row.
        for (int i = 0; i < std::min(destCount, static_cast<int>(wrapped.size())); ++i) {
            if (destLengths[static_cast<size_t>(i)] < newCols) {
                wrapped[static_cast<size_t>(i)]->set(destLengths[static_cast<size_t>(i)], CharData::Null);
            }
        }

        if (!belowCursor) {
            insertedAbove += linesToAdd;
        }
        for (int k = linesToAdd - trimmedLines; k > 0; --k) {
            // The screen is not full yet and its last row is unused: the new row takes its place
            // (the cursor moves down with the lines above it). A row holding anything stays.
            const int last = lines_.count() - 1;
            auto lastRowUnused = [&] {
                return last > cursorLine && last > row && !lines_[last].isWrapped()
                       && lines_[last].getTrimmedLength() == 0;
            };
            if (yBase_ == 0 && (belowCursor || y_ < newRows - 1) && lastRowUnused()) {
                if (!belowCursor) {
                    ++y_;
                }
                lines_.set(last, nullptr);
                lines_.setCount(last);
            } else if (yBase_ < std::min(lines_.count() + countToInsert, lines_.maxLength()) - newRows) {
                // Scroll only while the ring will hold a full screen below the new top; a screen
                // starting at row 0 is bound by this too, or its last rows would lie past the ring.
                if (yDisp_ == yBase_) {
                    ++yDisp_;
                }
                ++yBase_;
                if (belowCursor && y_ > 0) {
                    --y_; // the cursor's line stays where it was
                }
            }
        }
        savedY = std::min(savedY + linesToAdd, yBase_ + newRows - 1);
    }
    const int dropped = rearrange(toInsert, countToInsert);
    if (countToInsert > 0) {
        y_ = std::clamp(cursorLine + insertedAbove - dropped - yBase_, 0, newRows - 1);
    }
}

int Buffer::rearrange(const std::vector<InsertionSet>& toInsert, int countToInsert)
{
    if (countToInsert == 0) {
        return 0;
    }
    const int formerCount = lines_.count();
    std::vector<LinePtr> former;
    former.reserve(static_cast<size_t>(formerCount));
    for (int i = 0; i < formerCount; ++i) {
        former.push_back(lines_.getLine(i));
    }
    const int total = formerCount + countToInsert;
    const int newCount = std::min(total, lines_.maxLength());
    lines_.setCount(newCount);

    // Fill from the bottom up; the sets were recorded bottom-up too.
    int formerIndex = formerCount - 1;
    int insertedSoFar = 0;
    size_t next = 0;
    for (int i = newCount - 1; i >= 0;) {
        while (next < toInsert.size() && toInsert[next].isNull) {
            ++next;
        }
        const InsertionSet* set = next < toInsert.size() ? &toInsert[next] : nullptr;
        if (set && (formerIndex < 0 || set->start > formerIndex + insertedSoFar)) {
            for (auto it = set->lines.rbegin(); it != set->lines.rend() && i >= 0; ++it) {
                lines_.set(i--, *it);
            }
            insertedSoFar += static_cast<int>(set->lines.size());
            ++next;
        } else {
            lines_.set(i--, std::move(former[static_cast<size_t>(formerIndex--)]));
        }
    }
    // The lines that no longer fit fell off the top.
    linesTop += total - newCount;
    return total - newCount;
}

} // namespace corvix
