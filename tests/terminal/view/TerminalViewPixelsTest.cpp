// Where the ink lands: a corpus of rows, one script or feature per row, fed to a view, drawn
// through its own paint path and read pixel by pixel. Runs at the display scale the process has
// (ctest runs it at 1 and again with QT_SCALE_FACTOR=2); the pictures are kept in artifacts/.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"

#include <QApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace corvix;

namespace {

struct CorpusRow {
    const char* what;
    std::string text;
    // Cells of right-to-left scripts are reordered on screen: only the row's span is checked.
    bool rightToLeft = false;
    // A double-height pair: this row and the next show one line of text.
    bool doubleHeight = false;
    // Every character of the row beyond ASCII is an emoji picture.
    bool emoji = false;
};

constexpr int kCols = 40;
const std::string kGreen = "\x1b[38;2;0;255;0m";
const std::string kPlain = "\x1b[0m";

std::vector<CorpusRow> corpus()
{
    return {
        {"ascii", "ASCII Hello, world! {[()]} |x"},
        {"accents precomposed", "\xc3\xa9 \xc3\xa0 \xc3\xbc \xc3\xb1 \xc3\x85 \xc3\xa7 |x"},
        {"accents combining", "e\xcc\x81 a\xcc\x80 u\xcc\x88 n\xcc\x83 A\xcc\x8a c\xcc\xa7 |x"},
        {"cjk", "\xe6\xbc\xa2\xe5\xad\x97 \xe4\xb8\xad\xe6\x96\x87 |x"},
        {"kana", "\xe3\x81\x8b\xe3\x81\xaa \xe3\x82\xab\xe3\x83\x8a |x"},
        {"hangul", "a \xed\x95\x9c\xea\xb8\x80 |x"},
        {"hebrew", "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d", true},
        {"arabic", "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7", true},
        // Emoji rows are written in a green pen: a picture drawn as text would be green.
        {"emoji presentation", kGreen + "\xf0\x9f\x98\x80 \xf0\x9f\x8e\x89 \xe2\x9a\xa1 \xf0\x9f\x9a\x80 |x" + kPlain, false, false, true},
        {"text style", "\xe2\x9c\x94 \xe2\x98\xba \xe2\x9d\xa4 |x"},
        {"text style with VS16", kGreen + "\xe2\x9c\x94\xef\xb8\x8f \xe2\x98\xba\xef\xb8\x8f \xe2\x9d\xa4\xef\xb8\x8f "
                                     "\xe2\x98\x80\xef\xb8\x8f |x" + kPlain, false, false, true},
        {"joiner family", kGreen + "c \xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7 |x" + kPlain, false, false, true},
        {"flags", kGreen + "d \xf0\x9f\x87\xaf\xf0\x9f\x87\xb5 \xf0\x9f\x87\xac\xf0\x9f\x87\xa7 |x" + kPlain, false, false, true},
        {"fallback symbols", "\xe2\x9c\x94 \xe2\x9c\xbb \xe2\x8f\xba \xe2\x8e\xbf \xe2\x98\x85 \xe2\x9a\xa1 |x"},
        {"box drawing", "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\xac\xe2\x94\x80\xe2\x94\x90 \xe2\x94\x82 \xe2\x95\x8b |x"},
        {"block elements", "\xe2\x96\x88 \xe2\x96\x80 \xe2\x96\x84 \xe2\x96\x8c \xe2\x96\x90 \xe2\x96\x91 \xe2\x96\x92 "
                           "\xe2\x96\x93 |x"},
        {"powerline", "\xee\x82\xb0 \xee\x82\xb2 \xee\x82\xb4 \xee\x82\xb6 |x"},
        {"wide in the last column", "last\x1b[" + std::to_string(kCols - 1) + "G\xe6\xbc\xa2"},
        {"double width", "\x1b#6wide |x"},
        {"double height", "\x1b#3TALL |x\x1b[B\r\x1b#4TALL |x", false, true},
        {"bold and italic", "\x1b[1mbold\x1b[0m \x1b[3mitalic\x1b[0m \x1b[1;3mboth\x1b[0m |x"},
    };
}

// The screen row (0-based) of corpus row k: every row has a blank row above and below; a
// double-height pair takes two rows.
int screenRow(const std::vector<CorpusRow>& rows, size_t k)
{
    int row = 1;
    for (size_t i = 0; i < k; i++) row += rows[i].doubleHeight ? 3 : 2;
    return row;
}

double scaleUnderTest()
{
    const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
    return factor.isEmpty() ? 1.0 : factor.toDouble();
}

struct PixelFixture : ::testing::Test {
    TerminalView view{QRect(0, 0, 10, 10), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
    const std::vector<CorpusRow> rows = corpus();

    void SetUp() override
    {
        view.show();
        ASSERT_DOUBLE_EQ(view.devicePixelRatioF(), scaleUnderTest());
        sizeFor(QFont(QStringLiteral("DejaVu Sans Mono"), 12));
    }

    // A frame that holds the corpus in kCols columns at the largest font the test uses.
    void sizeFor(const QFont& largest)
    {
        TerminalView probe{QRect(0, 0, 10, 10), largest};
        const QSizeF cell = probe.cellSize();
        view.resize(int(std::ceil(cell.width() * kCols)) + view.scrollerWidth() + 4,
                    int(std::ceil(cell.height() * (screenRow(rows, rows.size()) + 2))));
        QApplication::processEvents();
        ASSERT_GE(view.getTerminal().cols, kCols);
        view.resizeGrid(kCols, view.getTerminal().rows);
    }

    // Feeds corpus rows [from, to), each at its own row.
    void feedRows(size_t from, size_t to)
    {
        for (size_t k = from; k < to; k++) {
            view.feed("\x1b[" + std::to_string(screenRow(rows, k) + 1) + ";1H");
            view.feed(rows[k].text);
        }
    }

    QImage render(const QString& artefact)
    {
        view.updateDisplay(false);
        view.caret()->hide();
        QImage image = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QDir().mkpath("artifacts");
        image.save(QStringLiteral("artifacts/%1-scale%2.png").arg(artefact).arg(int(scaleUnderTest())));
        return image;
    }

    // Device pixels of one cell.
    double cellW() const { return view.cellSize().width() * scaleUnderTest(); }
    double cellH() const { return view.cellSize().height() * scaleUnderTest(); }

    // Ink: a pixel at least about half-way from the background to the text (a glyph's faintest
    // anti-aliased fringe is not counted).
    bool isInk(QRgb pixel) const
    {
        const QColor bg = view.nativeBackgroundColor();
        return std::max({std::abs(qRed(pixel) - bg.red()), std::abs(qGreen(pixel) - bg.green()),
                         std::abs(qBlue(pixel) - bg.blue())})
            > 110;
    }

    // Whether anything at all is drawn in an area (light shades included).
    bool anyInk(const QImage& image, QRect area) const
    {
        area &= image.rect();
        const QRgb bg = view.nativeBackgroundColor().rgb();
        for (int y = area.top(); y <= area.bottom(); y++)
            for (int x = area.left(); x <= area.right(); x++)
                if (image.pixel(x, y) != bg) return true;
        return false;
    }

    // The box of the ink inside a rectangle of device pixels; empty without ink.
    QRect inkBox(const QImage& image, QRect area) const
    {
        area &= image.rect();
        QRect box;
        for (int y = area.top(); y <= area.bottom(); y++)
            for (int x = area.left(); x <= area.right(); x++)
                if (isInk(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
        return box;
    }

    // The device-pixel rectangle of screen rows [first, first + count) over all columns.
    QRect band(const QImage& image, int first, int count) const
    {
        const int top = int(std::lround(cellH() * first));
        const int bottom = int(std::lround(cellH() * (first + count)));
        return QRect(0, top, image.width(), bottom - top);
    }

    // The columns [column, column + width) of a row, as device pixels over the whole image height.
    QRect columns(const QImage& image, int column, int width) const
    {
        const int left = int(std::lround(cellW() * column));
        const int right = int(std::lround(cellW() * (column + width)));
        return QRect(left, 0, right - left, image.height());
    }

    // The left edges of the separate pieces of ink in an area (pixels touching, diagonals
    // included, are one piece): where each glyph, or each part of one, starts.
    std::vector<int> pieceStarts(const QImage& image, QRect area) const
    {
        area &= image.rect();
        std::vector<char> seen(size_t(area.width()) * size_t(area.height()), 0);
        auto at = [&](int x, int y) -> char& { return seen[size_t(y - area.top()) * size_t(area.width()) + size_t(x - area.left())]; };
        std::vector<int> starts;
        std::vector<QPoint> stack;
        for (int x = area.left(); x <= area.right(); x++)
            for (int y = area.top(); y <= area.bottom(); y++) {
                if (at(x, y) || !isInk(image.pixel(x, y))) continue;
                int left = x;
                at(x, y) = 1;
                stack.push_back(QPoint(x, y));
                while (!stack.empty()) {
                    const QPoint p = stack.back();
                    stack.pop_back();
                    left = std::min(left, p.x());
                    for (int dy = -1; dy <= 1; dy++)
                        for (int dx = -1; dx <= 1; dx++) {
                            const QPoint q(p.x() + dx, p.y() + dy);
                            if (!area.contains(q) || at(q.x(), q.y()) || !isInk(image.pixel(q))) continue;
                            at(q.x(), q.y()) = 1;
                            stack.push_back(q);
                        }
                }
                starts.push_back(left);
            }
        return starts;
    }

    // Every row: no ink in the blank rows around it (one pixel of tolerance, and as much for the
    // neighbours' ink); each cell's ink starts inside its own columns; an emoji fills most of the
    // cell height, in colour, inside its two cells.
    void checkCorpus(const QImage& image)
    {
        Terminal& terminal = view.getTerminal();
        Buffer& buffer = terminal.buffer();
        // One pixel of the view (two device pixels at scale 2).
        const int tolerance = int(std::lround(scaleUnderTest()));
        const int screenRight = columns(image, 0, kCols).right();
        for (size_t k = 0; k < rows.size(); k++) {
            const CorpusRow& row = rows[k];
            SCOPED_TRACE(row.what);
            const int r = screenRow(rows, k);
            const int span = row.doubleHeight ? 2 : 1;
            const QRect rowBand = band(image, r, span);
            const QRect around = band(image, r - 1, span + 2).adjusted(0, tolerance + 1, 0, -tolerance - 1);
            const QRect ink = inkBox(image, QRect(0, around.top(), screenRight + 1 + tolerance, around.height()));
            ASSERT_FALSE(ink.isEmpty());
            EXPECT_GE(ink.top(), rowBand.top() - tolerance) << "ink above the row";
            EXPECT_LE(ink.bottom(), rowBand.bottom() + tolerance) << "ink below the row";
            const int scroller = int(std::lround((view.width() - view.scrollerWidth()) * scaleUnderTest()));
            const int beyond = screenRight + 1 + tolerance;
            EXPECT_EQ(inkBox(image, QRect(beyond, around.top(), scroller - beyond, around.height())), QRect())
                << "ink right of the last column";

            const BufferLine& line = buffer.lines()[buffer.yDisp() + r];
            const int stretch = line.renderMode() == BufferLine::RenderLineMode::single ? 1 : 2;
            if (row.rightToLeft) {
                // Reordered and shaped: the word takes no more columns than its cells.
                int used = 0;
                while (used < kCols && line[used].code != 0) used++;
                EXPECT_LE(ink.width(), columns(image, 0, used).width() + tolerance);
                continue;
            }
            const std::vector<int> starts = pieceStarts(image, rowBand);
            int previousEnd = 0;
            for (int c = 0; c < kCols; c++) {
                const CharData& cell = line[c];
                if (cell.width < 1 || cell.code == 0 || cell.code == ' ') continue;
                const std::u32string text = terminal.getCharacter(cell);
                const QString shown = QString::fromUcs4(text.data(), qsizetype(text.size()));
                SCOPED_TRACE(("column " + std::to_string(c) + " " + shown.toStdString()).c_str());
                const int first = c * stretch;
                const int width = cell.width * stretch;
                const QRect own = columns(image, first, width) & rowBand;
                EXPECT_TRUE(anyInk(image, own)) << "no ink in the cell";
                // Pieces starting after the previous drawn cell and before this one's end are
                // this cell's: none may start in the blank columns before it. (A piece that
                // starts in the previous cell is that cell's, however far it reaches.)
                const int from = columns(image, previousEnd, 1).left();
                for (int x : starts)
                    if (x >= from && x <= own.right())
                        EXPECT_GE(x, own.left() - tolerance) << "ink starts left of its cell";
                previousEnd = first + width;
                if (row.emoji && cell.code > 0x7f) checkEmoji(image, own, shown);
            }
        }
    }

    void checkEmoji(const QImage& image, const QRect& cells, const QString& shown)
    {
        // Within the two cells (a pixel of tolerance each way), at least 70% of the height.
        const QRect box = inkBox(image, cells.adjusted(-1, -1, 1, 1));
        EXPECT_GE(box.left(), cells.left() - 1);
        EXPECT_LE(box.right(), cells.right() + 1);
        // Flags are wider than tall: in two cells no wider than a cell is high they fill most of
        // the width instead (the emoji face draws them at about 5/6 of its square's width and
        // 2/3 of its height).
        const bool flag = shown.size() == 4 && shown.front().isHighSurrogate()
            && QChar::surrogateToUcs4(shown[0], shown[1]) >= 0x1F1E6 && QChar::surrogateToUcs4(shown[0], shown[1]) <= 0x1F1FF;
        if (flag) {
            EXPECT_GE(box.width(), 0.8 * cells.width()) << "flag " << box.width() << " of two cells of " << cells.width();
            EXPECT_GE(box.height(), 0.5 * cellH()) << "flag " << box.height() << " of a cell of " << cellH();
        } else {
            EXPECT_GE(box.height(), 0.7 * cellH()) << "emoji " << box.height() << " of a cell of " << cellH();
        }
        // In the picture's own colours, not the green pen's.
        int unlikePen = 0;
        for (int y = box.top(); y <= box.bottom(); y++)
            for (int x = box.left(); x <= box.right(); x++) {
                const QRgb p = image.pixel(x, y);
                unlikePen += qRed(p) > 60 || qBlue(p) > 60;
            }
        EXPECT_GE(unlikePen, box.width() * box.height() / 5) << "emoji drawn in the pen's colour";
    }
};

TEST_F(PixelFixture, CorpusInkStaysInItsRowsAndCells)
{
    feedRows(0, rows.size());
    const QImage image = render(QStringLiteral("terminal-corpus"));
    checkCorpus(image);
}

TEST_F(PixelFixture, FontStepBetweenTwoFeedsKeepsModesAndColours)
{
    // The second feed starts with a row in the current colour.
    const size_t half = 9;
    ASSERT_EQ(std::string(rows[half].what), "text style");
    feedRows(0, half);
    // What a full-screen program sets up: application cursor keys, insert mode, origin mode, a
    // hidden cursor, a palette colour of its own and a current colour. (A scroll region does not
    // outlive a change of the row count, font change or not.)
    view.feed("\x1b[?1h\x1b[4h\x1b[?6h\x1b[?25l");
    view.feed("\x1b]4;1;rgb:ff/80/00\x1b\\\x1b[31m");
    Terminal& terminal = view.getTerminal();

    // One step of the dashboard's font-size buttons.
    view.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 12));
    ASSERT_GT(view.cellSize().height(), 0);

    EXPECT_TRUE(terminal.applicationCursor);
    EXPECT_TRUE(terminal.insertMode);
    EXPECT_TRUE(terminal.originMode);
    EXPECT_TRUE(terminal.cursorHidden);
    EXPECT_EQ(terminal.ansiColors[1].red >> 8, 0xff);
    EXPECT_EQ(terminal.ansiColors[1].green >> 8, 0x80);
    EXPECT_EQ(terminal.currentAttribute().fg, Attribute::Color::ansi256(1));

    // The second half is drawn in the program's colour, in the new font, where it belongs.
    feedRows(half, rows.size());
    view.feed("\x1b[0m");
    const QImage image = render(QStringLiteral("terminal-corpus-font-step"));
    checkCorpus(image);
    const QRect ascii = band(image, screenRow(rows, half), 1);
    int orange = 0;
    for (int y = ascii.top(); y <= ascii.bottom(); y++)
        for (int x = 0; x < image.width(); x++) {
            const QRgb p = image.pixel(x, y);
            orange += qRed(p) > 200 && qGreen(p) > 90 && qGreen(p) < 170 && qBlue(p) < 80;
        }
    EXPECT_GT(orange, 10) << "the palette colour set before the font change is gone";
}

} // namespace
