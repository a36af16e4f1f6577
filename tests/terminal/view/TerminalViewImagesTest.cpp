#include "terminal/view/TerminalView.hpp"
#include "terminal/view/TestImages.hpp"

#include "terminal/view/CaretView.hpp"

#include <QApplication>
#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace corvix;

using corvix::testing::pngBase64;
using corvix::testing::solid;

namespace {

struct ImageFixture : ::testing::Test {
    TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override
    {
        view.show();
        QApplication::processEvents();
    }

    Buffer& buffer() { return view.getTerminal().buffer(); }

    // The image strips on absolute line `row`.
    std::vector<const TerminalView::AppleImage*> strips(int row)
    {
        std::vector<const TerminalView::AppleImage*> out;
        if (const auto& images = buffer().lines()[row].images())
            for (const auto& image : *images) out.push_back(dynamic_cast<const TerminalView::AppleImage*>(image.get()));
        return out;
    }

    QImage grab()
    {
        view.updateDisplay(false);
        view.caret()->hide();
        QImage image = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QDir().mkpath("artifacts");
        return image;
    }
};

TEST_F(ImageFixture, InlineImageIsCutIntoCellRowStrips)
{
    // 10 cells wide, aspect kept: a 100 x 25 picture becomes 10 cell widths by a quarter of that.
    const QSizeF cell = view.cellSize();
    view.feed("\x1b[3;5H\x1b]1337;File=inline=1;width=10:" + pngBase64(solid(100, 25, Qt::red)) + "\x07");
    const double w = cell.width() * 10;
    const double h = w * 25 / 100;
    const int rows = int(std::ceil(h / cell.height()));
    for (int i = 0; i < rows; i++) {
        const auto lineStrips = strips(buffer().yBase() + 2 + i);
        ASSERT_EQ(lineStrips.size(), 1u) << i;
        EXPECT_EQ(lineStrips[0]->pixelWidth(), int(w));
        EXPECT_EQ(lineStrips[0]->pixelHeight(), int(cell.height()));
        EXPECT_EQ(lineStrips[0]->col(), 4);
        EXPECT_FALSE(lineStrips[0]->kittyIsKitty);
    }
    EXPECT_TRUE(strips(buffer().yBase() + 2 + rows).empty());
    // The cursor ends on the row below the picture, at its start column.
    EXPECT_EQ(buffer().y(), 2 + rows);
    EXPECT_EQ(buffer().x(), 4);

    const QImage shot = grab();
    shot.save("artifacts/inline-image.png");
    const QPoint inside(int(cell.width() * 5), int(cell.height() * 2 + h / 2));
    EXPECT_EQ(shot.pixelColor(inside), QColor(Qt::red));
    // Below the picture, inside its last strip, the strip is clear.
    if (rows * cell.height() > h + 2) {
        EXPECT_NE(shot.pixelColor(inside.x(), int(cell.height() * 2 + h + 1)), QColor(Qt::red));
    }
}

TEST_F(ImageFixture, UndecodableDataPlacesNothing)
{
    view.feed("\x1b]1337;File=inline=1:bm90IGFuIGltYWdl\x07");
    for (int row = 0; row < buffer().lines().count(); row++) EXPECT_TRUE(strips(row).empty());
    EXPECT_EQ(buffer().y(), 0);
}

TEST_F(ImageFixture, SixelWiderThanTheViewFitsItsWidth)
{
    // 1000 pixels wide: wider than the 800-point view, so placed at 100 % of the view's width.
    std::string sixel = "\x1bPq#1;2;100;0;0#1!1000~\x1b\\";
    view.feed(sixel);
    const auto first = strips(buffer().yBase());
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]->pixelWidth(), view.width());
}

TEST_F(ImageFixture, KittyImageOrderAndOffsets)
{
    const QSizeF cell = view.cellSize();
    // A blue picture below the text (z -1) and a green one above it (z 0), both over "XXXX".
    view.feed("XXXX\r");
    const std::string blue = pngBase64(solid(int(cell.width() * 4), int(cell.height()), Qt::blue));
    view.feed("\x1b_Ga=T,f=100,i=1,z=-1,C=1;" + blue + "\x1b\\");
    const std::string green = pngBase64(solid(int(cell.width() * 2), int(cell.height()), Qt::green));
    // The second sits two cells in, its picture moved 4 pixels down inside its first cell.
    view.feed("\x1b[1;3H\x1b_Ga=T,f=100,i=2,z=0,Y=4,C=1;" + green + "\x1b\\");
    const QImage shot = grab();
    shot.save("artifacts/kitty-z-order.png");

    // Text shows over the blue picture; the green one covers the text.
    const int midY = int(cell.height() / 2);
    int textPixels = 0;
    for (int x = 0; x < int(cell.width() * 2); x++)
        for (int y = 0; y < int(cell.height()); y++)
            if (shot.pixelColor(x, y).red() > 100) textPixels++;
    EXPECT_GT(textPixels, 5);
    EXPECT_EQ(shot.pixelColor(int(cell.width() * 0.5), 1), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(int(cell.width() * 2.5), midY + 4), QColor(Qt::green));
    // Moved down, not up: the top pixels of its cell are not green.
    EXPECT_NE(shot.pixelColor(int(cell.width() * 2.5), 1), QColor(Qt::green));
}

TEST(TerminalViewImageHelpers, AspectFitAndRgba)
{
    EXPECT_EQ(TerminalView::kittyAspectFitRect(QSizeF(20, 10), QRectF(0, 0, 100, 100)), QRectF(0, 25, 100, 50));
    EXPECT_EQ(TerminalView::kittyAspectFitRect(QSizeF(0, 10), QRectF(1, 2, 3, 4)), QRectF(1, 2, 3, 4));
    const std::vector<uint8_t> rgba{255, 0, 0, 255, 0, 0, 255, 255};
    const std::optional<QImage> image = TerminalView::kittyImageFromRgba(rgba, 2, 1);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(image->pixelColor(1, 0), QColor(Qt::blue));
    EXPECT_FALSE(TerminalView::kittyImageFromRgba(rgba, 3, 1).has_value());
}

} // namespace

namespace {

TEST_F(ImageFixture, PlaceholderCellsShowTheirPieceOfAVirtualPlacement)
{
    const QSizeF cell = view.cellSize();
    // Image 5: left half red, right half blue, shown through a virtual placement of 2 x 1 cells.
    QImage picture(40, 20, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(20, 0, 20, 20, Qt::blue);
    view.feed("\x1b_Ga=T,f=100,i=5,U=1,c=2,r=1,q=2;" + pngBase64(picture) + "\x1b\\");
    // Two placeholder cells naming image 5 by their colour; the second continues the first.
    view.feed("\x1b[38;5;5m\xf4\x8e\xbb\xae\xcc\x85\xcc\x85\xf4\x8e\xbb\xae\x1b[0m");
    const ViewLineInfo info = view.buildAttributedString(buffer().yBase(), buffer().lines()[buffer().yBase()],
                                                         view.getTerminal().cols);
    ASSERT_EQ(info.kittyPlaceholders.size(), 2u);
    EXPECT_EQ(info.kittyPlaceholders[1].placeholderCol, 1);

    const QImage shot = grab();
    shot.save("artifacts/kitty-placeholders.png");
    const int y = int(cell.height() / 2);
    EXPECT_EQ(shot.pixelColor(int(cell.width() * 0.5), y), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(int(cell.width() * 1.5), y), QColor(Qt::blue));
}

} // namespace

namespace {

TEST_F(ImageFixture, OversizedRequestsAreRefusedWhole)
{
    const QSizeF cell = view.cellSize();
    const std::string png = pngBase64(solid(4, 4, Qt::red));
    // At most 10,000 device pixels a side (scale 1 here), and no more strips than lines held.
    const int widest = int(10000 / cell.width());
    const int capacity = buffer().lines().maxLength();
    ASSERT_LT(capacity * cell.height(), 10000.0);
    struct Case {
        int cols;
        int rows;
        bool placed;
    };
    const Case cases[] = {
        {widest, 1, true}, {widest + 1, 1, false}, {1, capacity, true}, {1, capacity + 1, false}, {10000, 10000, false},
    };
    for (const Case& c : cases) {
        view.feed("\x1b[H");
        const int x = buffer().x();
        const int y = buffer().y();
        const int linesBefore = buffer().lines().count();
        view.feed("\x1b_Ga=T,f=100,q=2,c=" + std::to_string(c.cols) + ",r=" + std::to_string(c.rows) + ";" + png +
                  "\x1b\\");
        const bool placed = !strips(buffer().yBase()).empty() || buffer().lines().count() != linesBefore;
        EXPECT_EQ(placed, c.placed) << c.cols << " x " << c.rows;
        if (!c.placed) {
            EXPECT_EQ(buffer().x(), x);
            EXPECT_EQ(buffer().y(), y);
        }
        view.feed("\x1b[2J\x1b[3J\x1b_Ga=d,q=2\x1b\\");
    }
}

TEST_F(ImageFixture, StripsOfAPictureTwoAndAHalfRowsHigh)
{
    const QSizeF cell = view.cellSize();
    const int h = int(cell.height() * 2.5);
    view.feed("\x1b]1337;File=inline=1;width=" + std::to_string(int(cell.width() * 4)) + "px;height=" + std::to_string(h) +
              "px;preserveAspectRatio=0:" + pngBase64(solid(8, 8, Qt::red)) + "\x07");
    for (int i = 0; i < 3; i++) EXPECT_EQ(strips(buffer().yBase() + i).size(), 1u) << i;
    EXPECT_TRUE(strips(buffer().yBase() + 3).empty());
    const QImage shot = grab();
    const int x = int(cell.width());
    EXPECT_EQ(shot.pixelColor(x, int(cell.height() * 2.25)), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(x, int(cell.height() * 2.75)), QColor(Qt::red));
}

TEST_F(ImageFixture, PlacingOnTheBottomRowScrollsOncePerStrip)
{
    const int rows = view.getTerminal().rows;
    view.feed("top\x1b[" + std::to_string(rows) + ";1H");
    const int yBase = buffer().yBase();
    const std::string h = std::to_string(int(view.cellSize().height() * 3)) + "px";
    view.feed("\x1b]1337;File=inline=1;width=20px;height=" + h + ";preserveAspectRatio=0:" + pngBase64(solid(4, 4, Qt::red)) +
              "\x07");
    EXPECT_EQ(buffer().yBase(), yBase + 3);
    EXPECT_EQ(buffer().y(), rows - 1);
    EXPECT_EQ(buffer().x(), 0);
}

TEST_F(ImageFixture, KittyPlacementLeavesTheCursorRightOfTheImage)
{
    view.feed("\x1b[2;3H\x1b_Ga=T,f=100,c=3,r=2,q=2;" + pngBase64(solid(8, 8, Qt::red)) + "\x1b\\");
    EXPECT_EQ(buffer().x(), 2 + 3);
    EXPECT_EQ(buffer().y(), 1 + 2);
}

} // namespace

TEST_F(ImageFixture, InlineImagesDecodedPerDeliverySliceStayWithinTheBudget)
{
    // Output delivered in slices: past the pixel budget (the slice's first image always decodes)
    // the feed stops before the next inline image, which waits for the next slice. The text, the
    // pictures and the cursor end where one whole feed puts them; data that does not decode
    // stops nothing and moves nothing.
    const auto image = [](int side, QColor color) {
        return "\x1b]1337;File=inline=1;width=6;height=2;preserveAspectRatio=0:" + pngBase64(solid(side, side, color)) +
               "\x07";
    };
    const std::string undecodable = "\x1b]1337;File=inline=1:bm90IGFuIGltYWdl\x07";
    std::string smallImages;
    for (int i = 0; i < 10; i++) smallImages += image(100, Qt::blue) + "s";
    const struct {
        const char* name;
        std::string output;
        int slices;
        int64_t largestImagePixels;
    } cases[] = {
        {"two images of the budget, then a small one",
         "a" + image(2000, Qt::red) + "b" + image(2000, Qt::green) + "c" + image(100, Qt::blue) + "d" + undecodable + "e", 3,
         2000 * 2000},
        {"small images together", "a" + smallImages + "b", 1, 100 * 100},
        {"undecodable data between text", "a" + undecodable + "b" + undecodable + "c", 1, 0},
    };
    const auto strips = [](TerminalView& v) {
        std::vector<size_t> perLine;
        auto& lines = v.getTerminal().buffer().lines();
        for (int row = 0; row < lines.count(); row++)
            perLine.push_back(lines[row].images() ? lines[row].images()->size() : 0);
        return perLine;
    };
    const auto text = [](TerminalView& v) {
        return v.getTerminal().getText(Position{0, 0}, Position{v.getTerminal().cols, v.getTerminal().rows - 1});
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalView whole{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
        whole.feed(c.output);
        TerminalView sliced{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
        std::string_view rest = c.output;
        int slices = 0;
        size_t placed = 0;
        while (!rest.empty() && slices < 100) {
            slices++;
            const size_t taken = sliced.feedSlice([&] { sliced.feed(rest); }, rest.size());
            rest.remove_prefix(taken);
            // Pixels decoded in this slice: the budget, or one image past it.
            const size_t nowPlaced = sliced.getTerminal().lineImageBudget().chargeCount();
            const int64_t decoded = int64_t(nowPlaced - placed) * c.largestImagePixels;
            EXPECT_LE(decoded, std::max(TerminalView::kImagePixelsPerSlice, c.largestImagePixels)) << "slice " << slices;
            placed = nowPlaced;
        }
        EXPECT_EQ(slices, c.slices);
        EXPECT_EQ(sliced.getTerminal().getCursorLocation(), whole.getTerminal().getCursorLocation());
        EXPECT_EQ(text(sliced), text(whole));
        EXPECT_EQ(strips(sliced), strips(whole));
        EXPECT_EQ(sliced.getTerminal().lineImageBudget().chargeCount(), whole.getTerminal().lineImageBudget().chargeCount());
    }
}
