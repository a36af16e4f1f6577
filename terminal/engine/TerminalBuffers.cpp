// Switching between the normal and alternate screens, and bringing the terminal back to its
// starting state.
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::setup(bool isReset)
{
    cols = int(std::max<int64_t>(options.cols, MINIMUM_COLS));
    rows = int(std::max<int64_t>(options.rows, MINIMUM_ROWS));
    if (!isReset) {
        normalBuffer_->resize(cols, rows);
        altBuffer_->resize(cols, rows);
    } else {
        resetNormalBuffer();
        activateNormalBuffer(false);
    }

    cursorHidden = false;
    applicationKeypad = false;
    applicationCursor = false;
    originMode = false;
    marginMode = normalBuffer_->marginMode = altBuffer_->marginMode = false;
    insertMode = normalBuffer_->insertMode = altBuffer_->insertMode = false;
    wraparound = normalBuffer_->wraparound = altBuffer_->wraparound = true;
    bracketedPasteMode = false;

    keyboardModeNormal = {};
    keyboardModeAlt = {};

    gCharsets = {};
    charset = gCharsets[0];
    gcharset = 0;
    curAttr = Attribute{};

    setMouseMode(MouseMode::off);
    mouseShiftCapture = false;

    buffer_->setScrollTop(0);
    buffer_->setScrollBottom(rows - 1);
    buffer_->setMarginLeft(0);
    buffer_->setMarginRight(cols - 1);

    cc.send8bit = false;
    conformance = TerminalConformance::vt500;
    allow80To132 = false;
    keepScreenOnColumnSwitch_ = false;
    xtermTitleSetUtf = xtermTitleSetHex = xtermTitleQueryUtf = xtermTitleQueryHex = false;
    hyperLinkTracking.reset();
    cursorBlink = false;
    hostCurrentDirectory.reset();
    lineFeedMode = options.convertEol;
}

void Terminal::resetNormalBuffer()
{
    normalBuffer_ = makeNormalBuffer();
    normalBuffer_->setupTabStops(-1, tabStopWidth);
}

void Terminal::activateAltBuffer(std::optional<Attribute> fillAttr)
{
    if (isCurrentBufferAlternate()) return;
    altBuffer_->setY(normalBuffer_->y());
    altBuffer_->setCursorColumn(normalBuffer_->x(), normalBuffer_->wrapPending());
    if (altBuffer_->lines().count() == 0) altBuffer_->fillViewportRows(fillAttr.value_or(Attribute{}));
    buffer_ = altBuffer_.get();
    kittyImages_.clearKittyImages(*altBuffer_, true);
}

void Terminal::activateNormalBuffer(bool clearAlt)
{
    if (buffer_ == normalBuffer_.get()) return;
    normalBuffer_->setY(altBuffer_->y());
    normalBuffer_->setCursorColumn(altBuffer_->x(), altBuffer_->wrapPending());
    if (clearAlt) {
        kittyImages_.clearKittyImages(*altBuffer_, true);
        altBuffer_->clear();
    }
    buffer_ = normalBuffer_.get();
}

void Terminal::resizeBuffers(int newColumns, int newRows)
{
    int d = normalBuffer_->savedY - normalBuffer_->y();
    normalBuffer_->resize(newColumns, newRows);
    normalBuffer_->savedY = normalBuffer_->y() + d;
    altBuffer_->resize(newColumns, newRows);
}

void Terminal::resetToInitialState()
{
    currentBidiState = options.initialBidiState;
    normalBuffer_->defaultBidiState = currentBidiState;
    altBuffer_->defaultBidiState = currentBidiState;
    applyCurrentBidiStateAtParagraphStart(allBidiStateProperties());
    updateFullScreen();

    bidiArrowKeySwap = options.initialBidiArrowKeySwap;
    savedBidiPrivateModes.clear();
    synchronizedOutput_.end();

    options.rows = rows;
    options.cols = cols;

    bool hidden = cursorHidden;
    setup(true);
    kittyImages_.clearAllKittyImages();
    cursorHidden = hidden;

    updateRange(0);
    updateRange(rows - 1);
}

} // namespace corvix
