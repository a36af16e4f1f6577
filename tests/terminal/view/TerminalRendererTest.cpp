// What a renderer is handed: one frame built by the view, drawn through the renderer interface by
// a renderer that records instead of painting.
#include "terminal/view/TerminalRenderer.hpp"

#include "terminal/graphics/Base64.hpp"
#include "terminal/view/CaretView.hpp"

#include <QApplication>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;

namespace {

// A run as a renderer sees it: screen row and column, text and attributes.
struct RecordedRun {
    int row = 0;
    int col = 0;
    QString text;
    TextAttributes attributes;
};

struct RecordedImage {
    enum class Layer { below, above, other } layer;
    int col = 0;
    std::optional<uint32_t> imageId;
};

class RecordingRenderer final : public TerminalRenderer {
public:
    std::vector<int> rows;
    std::vector<RecordedRun> runs;
    std::vector<RecordedImage> images;
    std::vector<RenderPlaceholder> placeholders;
    std::optional<RenderCursor> cursor;
    std::unordered_map<uint32_t, QImage> placeholderImages;

    void drawFrame(const RenderFrame& frame) override
    {
        cursor = frame.cursor;
        placeholderImages = frame.placeholderImages;
        for (const RenderRow& row : frame.rows) {
            const int screenRow = row.row - frame.bufferOffset;
            rows.push_back(screenRow);
            for (const ViewLineSegment& s : row.info.segments)
                for (const TextRun& r : s.runs)
                    runs.push_back({screenRow, s.column + s.utf16ToCellOrdinal[size_t(r.start)] * s.columnWidth,
                                    s.text.mid(r.start, r.length), r.attributes});
            const auto record = [&](const auto& list, RecordedImage::Layer layer) {
                for (const TerminalView::AppleImage* image : list)
                    images.push_back({layer, image->col(), image->kittyImageId});
            };
            record(row.imagesBelow, RecordedImage::Layer::below);
            record(row.imagesAbove, RecordedImage::Layer::above);
            record(row.otherImages, RecordedImage::Layer::other);
            placeholders.insert(placeholders.end(), row.placeholders.begin(), row.placeholders.end());
        }
    }

    // The run whose text starts with `text` on a screen row.
    const RecordedRun* run(int row, const QString& text) const
    {
        for (const RecordedRun& r : runs)
            if (r.row == row && r.text.startsWith(text)) return &r;
        return nullptr;
    }
};

struct RendererFixture : ::testing::Test {
    TerminalView view{QRect(0, 0, 900, 500), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};
    RecordingRenderer recorder;

    void SetUp() override { view.resizeGrid(80, 24); }

    Buffer& buffer() { return view.getTerminal().buffer(); }

    // One frame of `dirty` (the whole view by default), drawn through the interface.
    void draw(std::optional<QRect> dirty = std::nullopt)
    {
        TerminalRenderer& renderer = recorder;
        renderer.drawFrame(view.renderFrame(dirty.value_or(view.rect()), buffer().yDisp()));
    }

    QColor palette(int i)
    {
        const Color& c = view.getTerminal().ansiColors[size_t(i)];
        return QColor(c.red >> 8, c.green >> 8, c.blue >> 8);
    }
};

TEST_F(RendererFixture, RunsCarryTheEnginesAttributes)
{
    view.feed("\x1b[1;3mbi\x1b[0m \x1b[4:3;58;2;255;0;0mcurly\x1b[0m \x1b[9;38;2;0;0;255mstruck\x1b[0m "
              "\x1b[4:2;48;5;196mtwo\x1b[0m \x1b[4mone\x1b[0m\r\nplain");
    view.selectionService().setSelection(Position{0, 1}, Position{2, 1});
    draw();

    struct Expected {
        const char* text;
        int col;
        FontFace face;
        UnderlineStyle underline;
        bool strikethrough;
    };
    const Expected expected[] = {
        {"bi", 0, FontFace::boldItalic, UnderlineStyle::none, false},
        {"curly", 3, FontFace::normal, UnderlineStyle::curly, false},
        {"struck", 9, FontFace::normal, UnderlineStyle::none, true},
        {"two", 16, FontFace::normal, UnderlineStyle::double_, false},
        // The underline bit alone is a single underline.
        {"one", 20, FontFace::normal, UnderlineStyle::single, false},
    };
    for (const Expected& e : expected) {
        const RecordedRun* r = recorder.run(0, e.text);
        ASSERT_NE(r, nullptr) << e.text;
        EXPECT_EQ(r->col, e.col) << e.text;
        EXPECT_EQ(r->attributes.face, e.face) << e.text;
        EXPECT_EQ(r->attributes.underlineStyle, e.underline) << e.text;
        EXPECT_EQ(r->attributes.strikethrough, e.strikethrough) << e.text;
        EXPECT_EQ(r->attributes.hasDecorations(), e.underline != UnderlineStyle::none || e.strikethrough) << e.text;
    }
    // Decoration colours: the cell's own underline colour, else the text colour.
    EXPECT_EQ(recorder.run(0, "curly")->attributes.underlineColor, QColor(255, 0, 0));
    const TextAttributes& struck = recorder.run(0, "struck")->attributes;
    EXPECT_EQ(struck.foreground, QColor(0, 0, 255));
    EXPECT_EQ(struck.strikethroughColor, QColor(0, 0, 255));
    const TextAttributes& two = recorder.run(0, "two")->attributes;
    EXPECT_EQ(two.underlineColor, two.foreground);
    EXPECT_EQ(two.background, palette(196));
    EXPECT_EQ(recorder.run(0, "bi")->attributes.background, view.nativeBackgroundColor());

    // The selection is in the runs: "pl" selected, "ain" not.
    const RecordedRun* selected = recorder.run(1, "pl");
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->text, "pl");
    EXPECT_EQ(selected->attributes.selectionBackground, view.selectedTextBackgroundColor());
    EXPECT_EQ(selected->attributes.foreground, view.selectedTextForegroundColor());
    ASSERT_NE(recorder.run(1, "ain"), nullptr);
    EXPECT_FALSE(recorder.run(1, "ain")->attributes.selectionBackground.has_value());
}

TEST_F(RendererFixture, CursorAndDirtyRows)
{
    // The cursor on a wide character in row 1.
    view.feed("ab\r\n\xe6\xbc\xa2x\x1b[2;1H");
    draw();
    EXPECT_EQ(recorder.rows.size(), 24u);
    ASSERT_TRUE(recorder.cursor.has_value());
    EXPECT_EQ(recorder.cursor->col, 0);
    EXPECT_EQ(recorder.cursor->row, buffer().yBase() + 1);
    EXPECT_EQ(recorder.cursor->columnWidth, 2);
    EXPECT_EQ(recorder.cursor->style, view.caret()->style());
    EXPECT_EQ(recorder.cursor->color, view.caretColor());

    // A dirty rectangle inside row 0 gives that row alone, without the cursor of row 1.
    recorder = RecordingRenderer();
    const QSizeF cell = view.cellSize();
    draw(QRect(0, 1, view.width(), int(cell.height()) - 2));
    EXPECT_EQ(recorder.rows, std::vector<int>{0});
    EXPECT_FALSE(recorder.cursor.has_value());

    // A hidden cursor is in no frame.
    view.feed("\x1b[?25l");
    recorder = RecordingRenderer();
    draw();
    EXPECT_FALSE(recorder.cursor.has_value());
}

TEST_F(RendererFixture, ImagesByLayerAndPlaceholderPieces)
{
    // Raw RGBA pictures of 4 x 2 pixels, each on row 0 without moving the cursor: id 1 below the
    // text at column 0, id 2 (z 3) at column 4 and id 3 (z 2) at column 8 above it.
    const std::vector<uint8_t> rgba(4 * 2 * 4, 0xff);
    const std::string pixels = Base64::encode(rgba);
    const auto place = [&](int col, int id, int z) {
        view.feed("\x1b[1;" + std::to_string(col + 1) + "H\x1b_Ga=T,f=32,s=4,v=2,C=1,i=" + std::to_string(id)
                  + ",z=" + std::to_string(z) + ";" + pixels + "\x1b\\");
    };
    place(0, 1, -1);
    place(4, 2, 3);
    place(8, 3, 2);
    // A Sixel picture at column 12.
    view.feed("\x1b[1;13H\x1bPq#1;2;100;0;0#1!4~\x1b\\");
    // Row 2: two placeholder cells showing image 5 through a virtual placement of 2 x 1 cells.
    view.feed("\x1b_Ga=T,f=32,s=4,v=2,i=5,U=1,c=2,r=1,q=2;" + pixels + "\x1b\\");
    view.feed("\x1b[3;1H\x1b[38;5;5m\xf4\x8e\xbb\xae\xcc\x85\xcc\x85\xf4\x8e\xbb\xae\x1b[0m");
    draw();

    using Layer = RecordedImage::Layer;
    ASSERT_EQ(recorder.images.size(), 4u);
    // Below, then above in z order (id 3 before id 2), then the others.
    EXPECT_EQ(recorder.images[0].layer, Layer::below);
    EXPECT_EQ(recorder.images[0].imageId, 1u);
    EXPECT_EQ(recorder.images[1].layer, Layer::above);
    EXPECT_EQ(recorder.images[1].imageId, 3u);
    EXPECT_EQ(recorder.images[1].col, 8);
    EXPECT_EQ(recorder.images[2].layer, Layer::above);
    EXPECT_EQ(recorder.images[2].imageId, 2u);
    EXPECT_EQ(recorder.images[3].layer, Layer::other);
    EXPECT_EQ(recorder.images[3].col, 12);

    // Both cells show a piece of one picture laid out over the placement's two cells.
    ASSERT_EQ(recorder.placeholders.size(), 2u);
    EXPECT_EQ(recorder.placeholders[0].col, 0);
    EXPECT_EQ(recorder.placeholders[1].col, 1);
    EXPECT_EQ(recorder.placeholders[0].imageId, 5u);
    EXPECT_EQ(recorder.placeholders[0].target, recorder.placeholders[1].target);
    const QSizeF cell = view.cellSize();
    const QRectF placement(0, cell.height() * 2, cell.width() * 2, cell.height());
    EXPECT_EQ(recorder.placeholders[0].target, TerminalView::kittyAspectFitRect(QSizeF(4, 2), placement));
    ASSERT_TRUE(recorder.placeholderImages.contains(5));
    EXPECT_EQ(recorder.placeholderImages.at(5).size(), QSize(4, 2));
}

} // namespace
