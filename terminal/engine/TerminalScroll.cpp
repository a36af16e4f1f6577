// Scrolling the region up by one line: what every line feed at the bottom margin does.
#include "terminal/engine/Terminal.hpp"

#include "terminal/screen/Log.hpp"

#include <string>

namespace corvix {

Attribute Terminal::eraseAttribute() const
{
    Attribute a;
    a.bg = curAttr.bg;
    return a;
}

void Terminal::scroll(bool isWrapped)
{
    Buffer& b = *buffer_;
    auto& lines = b.lines();
    const int topRow = b.yBase() + b.scrollTop();
    const int bottomRow = b.yBase() + b.scrollBottom();
    // Kept between scrolls: building the attribute anew each time stalls on its reload.
    if (scrollEraseAttribute_.bg != curAttr.bg) scrollEraseAttribute_ = eraseAttribute();
    const Attribute& erase = scrollEraseAttribute_;

    // 1. The new line's bidi state.
    BidiPresentationState bidi = currentBidiState;
    if (isWrapped && bottomRow < lines.count()) bidi = lines[bottomRow].bidiState();

    // 2. The blank template line, for the paths that copy it (a full ring recycles its oldest
    // line instead, the common case).
    auto blankTemplate = [&]() -> const BufferLine& {
        if (blankLine->count() != cols || (*blankLine)[0].attribute != erase) blankLine = b.getBlankLine(erase, false);
        blankLine->setIsWrapped(isWrapped);
        blankLine->setBidiState(bidi);
        return *blankLine;
    };

    // How the lines moved, for the Kitty placements that follow them: the line that left (-1:
    // none) and where the new line came in (-1: appended at the end).
    int removedRow = -1;
    int insertedRow = -1;
    const bool columnRestricted = marginMode && (b.marginLeft() >= 1 || b.marginRight() < cols - 1);
    if (columnRestricted) {
        // 3. Only the columns between the margins move; the ring stays as it is.
        const int left = b.marginLeft(), right = b.marginRight();
        const int len = right - left + 1;
        for (int row = topRow; row < bottomRow; row++) {
            lines[row].copyFrom(lines[row + 1], left, left, len);
            b.clearImagesFromLine(row);
        }
        BufferLine& bottom = lines[bottomRow];
        CharData blank = CharData::Null;
        blank.attribute = erase;
        bottom.replaceCells(left, right + 1, blank);
        bottom.setIsWrapped(false);
        bottom.setBidiState(currentBidiState);
        bottom.setRenderMode(BufferLine::RenderLineMode::single);
        b.clearImagesFromLine(bottomRow);
        selectionsInvalidateForColumnRestrictedScroll(topRow, bottomRow, left, right);
    } else if (b.scrollTop() == 0) {
        // 4. Region at the top: the top line goes into the scroll-back.
        const bool ringFull = lines.count() == lines.maxLength();
        bool grew = false;
        bool dropped = false;
        // Where the ring is large enough for it to pay, the line that goes into the scroll-back
        // keeps only the cells it uses, in the buffer's arena, and its full-width storage serves
        // the new line (the recycled oldest one, or a new one), so steady scrolling allocates
        // nothing. Not when the top line is itself the one dropped.
        BufferLine::CellStorage spare;
        if (!(ringFull && topRow == 0) && b.compactsScrollback()) {
            spare = lines[topRow].compact(&b.scrollbackCells());
        }
        if (bottomRow == lines.count() - 1) {
            if (ringFull) {
                lines.recycle(erase, std::move(spare));
                BufferLine& newest = lines[lines.count() - 1];
                newest.setIsWrapped(isWrapped);
                newest.setBidiState(bidi);
                // The recycled line may have been a double-width one; a new line is plain.
                newest.setRenderMode(BufferLine::RenderLineMode::single);
                dropped = true;
                removedRow = 0;
            } else {
                lines.push(std::make_shared<BufferLine>(blankTemplate(), std::move(spare)));
                grew = true;
            }
        } else {
            const int before = lines.count();
            auto copy = std::make_shared<BufferLine>(blankTemplate(), std::move(spare));
            lines.splice(bottomRow + 1, 0, {&copy, 1}, [&](int index) { updateRange(index - b.yBase()); });
            if (ringFull)
                dropped = true;
            else
                grew = lines.count() > before;
            // A full ring dropped its oldest line, which brought the new one up to `bottomRow`.
            removedRow = dropped ? 0 : -1;
            insertedRow = dropped ? bottomRow : bottomRow + 1;
        }
        if (grew) {
            b.setYBase(b.yBase() + 1);
            if (!userScrolling) b.setYDisp(b.yDisp() + 1);
        }
        if (dropped) {
            if (b.hasScrollback()) b.linesTop++;
            const int last = lines.count() - 1;
            forEachSelection([&](TerminalSelection& s) { s.adjustForInPlaceScroll(0, last, 1); });
            if (userScrolling) b.setYDisp(std::max(b.yDisp() - 1, 0));
        }
    } else {
        // 5. Region below the top: move its lines up inside the ring.
        if (bottomRow >= lines.count()) {
            log::write(log::Category::engine, log::Level::warning,
                       "scroll: bottomRow " + std::to_string(bottomRow) + " >= lines.count "
                           + std::to_string(lines.count()) + ", state: yBase=" + std::to_string(b.yBase())
                           + " scrollTop=" + std::to_string(b.scrollTop())
                           + " scrollBottom=" + std::to_string(b.scrollBottom())
                           + " isAlternate=" + (isCurrentBufferAlternate() ? "true" : "false"));
            return;
        }
        // The line leaving the region at the top is reused as the new bottom line, so nothing is
        // allocated per scrolled line. Its images go through the buffer, which counts them.
        b.clearImagesFromLine(topRow);
        auto leaving = lines.getLine(topRow);
        if (!lines.shiftElements(topRow + 1, bottomRow - topRow, -1)) {
            log::write(log::Category::engine, log::Level::warning,
                       "Assertion on scroll, state was: bottomRow=" + std::to_string(bottomRow)
                           + " topRow=" + std::to_string(topRow) + " yDisp=" + std::to_string(b.yDisp())
                           + " linesTop=" + std::to_string(b.linesTop)
                           + " isAlternate=" + (isCurrentBufferAlternate() ? "true" : "false"));
        }
        if (leaving.use_count() > 1) {
            lines.set(bottomRow, std::make_shared<BufferLine>(blankTemplate()));
        } else {
            leaving->copyFrom(blankTemplate());
            leaving->setRenderMode(BufferLine::RenderLineMode::single);
            lines.set(bottomRow, std::move(leaving));
        }
        forEachSelection([&](TerminalSelection& s) { s.adjustForInPlaceScroll(topRow, bottomRow, 1); });
        removedRow = topRow;
        insertedRow = bottomRow;
    }

    // 6. The view follows the output unless the user is scrolling back.
    if (!userScrolling) b.setYDisp(b.yBase());

    // 7. Dirty rows.
    refreshStart = std::min(refreshStart, b.scrollTop());
    refreshEnd = std::max(refreshEnd, b.scrollBottom());
    const bool fullScreenRegion = b.scrollTop() == 0 && b.scrollBottom() == rows - 1;
    if (!(fullScreenRegion && b.hasScrollback())) {
        updateRange(b.scrollTop());
        updateRange(b.scrollBottom());
    }

    // 8. Kitty placements follow their lines.
    kittyImages_.kittyLinesScrolled(removedRow, insertedRow);

    // 9.
    if (tdel) tdel->scrolled(*this, b.yDisp());
}

} // namespace corvix
