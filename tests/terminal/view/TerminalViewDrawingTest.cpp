#include "terminal/view/TerminalView.hpp"

#include "terminal/view/CaretView.hpp"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace corvix;

namespace {

// A shown view of 80x24 cells in DejaVu Sans Mono, grabbed as an image after a script is fed.
struct DrawingFixture : ::testing::Test {
    TerminalView view{QRect(0, 0, 900, 500), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override
    {
        view.show();
        view.resizeGrid(80, 24);
        QApplication::processEvents();
    }

    QImage render(std::string_view script, const char* artefact)
    {
        view.feed(script);
        view.updateDisplay(false);
        view.caret()->hide();
        QImage image = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Kept for a person to look at.
        QDir().mkpath("artifacts");
        image.save(QStringLiteral("artifacts/%1.png").arg(artefact));
        return image;
    }

    QPoint cellCentre(int col, int row) const
    {
        const QSizeF c = view.cellSize();
        return QPoint(int(c.width() * (col + 0.5)), int(c.height() * (row + 0.5)));
    }

    // How many pixels of a cell are (nearly) the given colour.
    int pixelsOf(const QImage& image, int col, int row, QColor color, int cols = 1) const
    {
        const QSizeF c = view.cellSize();
        int n = 0;
        for (int y = int(c.height() * row); y < int(c.height() * (row + 1)); y++)
            for (int x = int(c.width() * col); x < int(c.width() * (col + cols)); x++) {
                const QColor p = image.pixelColor(x, y);
                if (std::abs(p.red() - color.red()) < 40 && std::abs(p.green() - color.green()) < 40
                    && std::abs(p.blue() - color.blue()) < 40)
                    n++;
            }
        return n;
    }
};

TEST_F(DrawingFixture, ColoursReachTheirCellsAndBackgroundsTheRightEdge)
{
    const QImage image = render("\x1b[41m 16 \x1b[0m\x1b[48;5;196m 256 \x1b[0m\x1b[48;2;10;200;30m true \x1b[0m\r\n"
                                "\x1b[31mred\x1b[0m \x1b[38;2;0;0;255mblue\x1b[0m\r\n"
                                "\x1b[44m\x1b[80G@\x1b[0m",
                                "colours");
    const Terminal& t = view.getTerminal();
    const auto palette = [&](int i) {
        const Color& c = t.ansiColors[size_t(i)];
        return QColor(c.red >> 8, c.green >> 8, c.blue >> 8);
    };
    EXPECT_EQ(image.pixelColor(cellCentre(0, 0)), palette(1));
    EXPECT_EQ(image.pixelColor(cellCentre(4, 0)), palette(196));
    EXPECT_EQ(image.pixelColor(cellCentre(9, 0)), QColor(10, 200, 30));
    EXPECT_GT(pixelsOf(image, 0, 1, palette(1), 3), 5);
    EXPECT_GT(pixelsOf(image, 4, 1, QColor(0, 0, 255), 4), 5);
    // The last column's background runs on past the columns to the view's edge.
    const int beyond = int(view.cellSize().width() * 80) + 2;
    ASSERT_LT(beyond, view.width() - view.scrollerWidth());
    EXPECT_EQ(image.pixelColor(beyond, cellCentre(0, 2).y()), palette(4));
    EXPECT_EQ(image.pixelColor(beyond, cellCentre(0, 1).y()), view.nativeBackgroundColor());
}

TEST_F(DrawingFixture, StylesAndDecorations)
{
    const QImage image = render("\x1b[1mbold\x1b[0m \x1b[3mitalic\x1b[0m\r\n"
                                "\x1b[4mone\x1b[0m \x1b[4:2mtwo\x1b[0m \x1b[4:3mcurly\x1b[0m \x1b[4:4mdots\x1b[0m "
                                "\x1b[4:5mdash\x1b[0m \x1b[9mstrike\x1b[0m\r\n"
                                "\x1b[58;2;255;0;0m\x1b[4mred underline\x1b[0m",
                                "styles");
    const QColor fg = view.nativeForegroundColor();
    const QSizeF c = view.cellSize();
    // An underline or strikethrough is a line of ink across the whole word: some pixel row of
    // the word's cells is lit almost from end to end.
    auto longestLine = [&](int col, int row, int cols) {
        int best = 0;
        for (int y = int(c.height() * row); y < int(c.height() * (row + 1)); y++) {
            int lit = 0;
            for (int x = int(c.width() * col); x < int(c.width() * (col + cols)); x++)
                if (image.pixelColor(x, y).lightness() > 40) lit++;
            best = std::max(best, lit);
        }
        return best;
    };
    struct Word {
        const char* what;
        int col;
        int row;
        int cols;
        bool decorated;
    };
    const Word words[] = {
        {"bold", 0, 0, 4, false},  {"one", 0, 1, 3, true},   {"two", 4, 1, 3, true},
        {"curly", 8, 1, 5, true},  {"dots", 14, 1, 4, true}, {"dash", 19, 1, 4, true},
        {"strike", 24, 1, 6, true},
    };
    for (const Word& w : words) {
        const int width = int(c.width() * w.cols);
        // Dots and dashes leave gaps: half the word's width is enough for them.
        const int expected = w.decorated ? width / 2 : width * 3 / 4;
        if (w.decorated) {
            EXPECT_GE(longestLine(w.col, w.row, w.cols), expected) << w.what;
        } else {
            EXPECT_LT(longestLine(w.col, w.row, w.cols), expected) << w.what;
        }
    }
    // The underline takes its own colour.
    EXPECT_GT(pixelsOf(image, 0, 2, QColor(255, 0, 0), 13), int(c.width() * 8));
    // Bold and italic words are drawn.
    EXPECT_GT(pixelsOf(image, 0, 0, fg, 4), 10);
}

TEST_F(DrawingFixture, BoxDrawingWideCharactersAndLineModes)
{
    const QImage image = render("\x1b[32m\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x90\x1b[0m \xe6\xbc\xa2\xe5\xad\x97\r\n"
                                "\x1b#6wide\r\n"
                                "\x1b#3TALL\r\n"
                                "\x1b#4TALL",
                                "glyphs");
    const Terminal& t = view.getTerminal();
    const Color& g = t.ansiColors[2];
    const QColor green(g.red >> 8, g.green >> 8, g.blue >> 8);
    // The horizontal stroke of the box runs across its whole cell.
    EXPECT_GE(pixelsOf(image, 1, 0, green), int(view.cellSize().width()));
    // The CJK characters take two cells each and are drawn.
    EXPECT_GT(pixelsOf(image, 4, 0, view.nativeForegroundColor(), 2), 5);
    EXPECT_GT(pixelsOf(image, 6, 0, view.nativeForegroundColor(), 2), 5);
    // A double-width line spreads "wide" over eight cells.
    EXPECT_GT(pixelsOf(image, 6, 1, view.nativeForegroundColor(), 2), 3);
    // The double-height halves each show part of the letters.
    EXPECT_GT(pixelsOf(image, 0, 2, view.nativeForegroundColor(), 8), 5);
    EXPECT_GT(pixelsOf(image, 0, 3, view.nativeForegroundColor(), 8), 5);
}

TEST_F(DrawingFixture, OnlyDirtyRowsAreDrawn)
{
    view.feed("first\r\nsecond");
    view.updateDisplay(false);
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    const QSizeF c = view.cellSize();
    // A rectangle inside row 1 draws row 1 and nothing of row 0.
    view.drawTerminalContents(QRect(0, int(c.height() * 1) + 1, view.width(), int(c.height()) - 2), painter, 0);
    painter.end();
    EXPECT_EQ(image.pixelColor(cellCentre(0, 0)), QColor(Qt::magenta));
    EXPECT_NE(image.pixelColor(cellCentre(0, 1)), QColor(Qt::magenta));
}

} // namespace
