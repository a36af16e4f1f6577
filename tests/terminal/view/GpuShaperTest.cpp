// Shaping runs with HarfBuzz over Qt's faces: fallback faces, string indices, glyph ids against
// Qt's own layout, and the cache's keys and eviction.
#include "terminal/view/TerminalFonts.hpp"
#include "terminal/view/gpu/TextShaper.hpp"

#include <gtest/gtest.h>

using namespace corvix;

namespace {

QFont mono(int pixelSize = 13)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(pixelSize);
    return font;
}

std::vector<int> indices(const ShaperRun& run)
{
    return run.stringIndices;
}

TEST(GpuShaper, FallbackFacesSplitTheTextIntoGlyphRuns)
{
    ShaperCache cache;
    const QFont font = mono();
    const QString text = QStringLiteral("a中\U0001F600");
    auto run = cache.shape(text, font);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->glyphRuns.size(), 3u);
    EXPECT_EQ(run->glyphRuns[0].font.postScriptName, "DejaVuSansMono");
    EXPECT_EQ(run->glyphRuns[1].font.postScriptName, "NotoSansCJKjp-Regular");
    // The emoji goes to the face Qt's own fallback picks for it, as on the CPU path.
    const QRawFont emojiFace = TerminalFonts::resolvedFont(QStringLiteral("\U0001F600"), font);
    EXPECT_EQ(run->glyphRuns[2].font.postScriptName, postScriptName(emojiFace));
    EXPECT_EQ(indices(*run), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(run->glyphCount, 3);

    // Each run's face draws its glyphs.
    const char32_t characters[] = {U'a', U'中', U'\U0001F600'};
    for (int i = 0; i < 3; ++i) {
        const ShaperGlyphRun& glyphRun = run->glyphRuns[size_t(i)];
        EXPECT_TRUE(glyphRun.font.raw.supportsCharacter(characters[i])) << i;
        ASSERT_EQ(glyphRun.glyphs.size(), 1u);
        EXPECT_NE(glyphRun.glyphs[0], 0u) << i;
        EXPECT_EQ(glyphRun.stringIndices, std::vector<int>{i});
    }
    // Pen positions run on across the glyph runs.
    EXPECT_EQ(run->positions[0].x(), 0);
    EXPECT_GT(run->positions[1].x(), run->positions[0].x());
    EXPECT_GT(run->positions[2].x(), run->positions[1].x());
}

TEST(GpuShaper, StringIndicesStayInLogicalOrder)
{
    ShaperCache cache;
    struct Case {
        QString text;
        std::vector<int> indices;
    } cases[] = {
        // A combining mark keeps its own index (not its base's).
        {QStringLiteral("x\u0301"), {0, 1}},
        // Hebrew is not reordered.
        {QStringLiteral("שלום"), {0, 1, 2, 3}},
        {QStringLiteral("ab שלום"), {0, 1, 2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        auto run = cache.shape(c.text, mono());
        ASSERT_TRUE(run) << c.text.toStdString();
        EXPECT_EQ(indices(*run), c.indices) << c.text.toStdString();
    }
}

TEST(GpuShaper, GlyphIdsAreTheOnesQtLaysOut)
{
    ShaperCache cache;
    const QFont font = mono();
    for (const QString text : {QStringLiteral("Hello, world"), QStringLiteral("x\u0301"), QStringLiteral("中文"),
                               QStringLiteral("\U0001F600"), QStringLiteral("a中\U0001F600"), QStringLiteral("ﬁ -> ≠")}) {
        auto run = cache.shape(text, font);
        ASSERT_TRUE(run) << text.toStdString();
        std::vector<std::pair<QString, quint32>> ours, qts;
        for (const ShaperGlyphRun& glyphRun : run->glyphRuns) {
            for (quint32 glyph : glyphRun.glyphs) ours.emplace_back(glyphRun.font.raw.familyName(), glyph);
        }
        for (const QGlyphRun& glyphRun : TerminalFonts::cachedCTLine(text, font)) {
            for (quint32 glyph : glyphRun.glyphIndexes()) qts.emplace_back(glyphRun.rawFont().familyName(), glyph);
        }
        EXPECT_EQ(ours, qts) << text.toStdString();
    }
}

TEST(GpuShaper, TheOldestKeyGoesFirstEvenRightAfterAHit)
{
    ShaperCache cache;
    const QFont font = mono();
    auto first = cache.shape(QStringLiteral("k0"), font);
    ASSERT_TRUE(first);
    const QString name = first->glyphRuns[0].font.postScriptName;
    const double size = first->glyphRuns[0].font.raw.pixelSize();
    for (int i = 1; i < int(ShaperCache::maxEntries); ++i) cache.shape(QStringLiteral("k%1").arg(i), font);
    ASSERT_EQ(cache.size(), ShaperCache::maxEntries);
    // A hit returns the stored run and does not renew the key.
    EXPECT_EQ(cache.shape(QStringLiteral("k0"), font), first);

    cache.shape(QStringLiteral("k%1").arg(ShaperCache::maxEntries), font);
    EXPECT_EQ(cache.size(), ShaperCache::maxEntries);
    EXPECT_FALSE(cache.contains({name, size, QStringLiteral("k0")}));
    EXPECT_TRUE(cache.contains({name, size, QStringLiteral("k1")}));
    EXPECT_NE(cache.shape(QStringLiteral("k0"), font), first); // shaped again
}

TEST(GpuShaper, TheSameTextAtTwoSizesIsCachedTwice)
{
    ShaperCache cache;
    auto small = cache.shape(QStringLiteral("abc"), mono(12));
    auto large = cache.shape(QStringLiteral("abc"), mono(24));
    ASSERT_TRUE(small && large);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_NE(small, large);
    EXPECT_NEAR(large->positions[1].x(), 2 * small->positions[1].x(), 2.0 / 64);
    EXPECT_EQ(cache.shape(QStringLiteral("abc"), mono(12)), small);
}

TEST(GpuShaper, SegmentsGiveOneShapedRunPerNonEmptyAttributeRun)
{
    ShaperCache cache;
    const FontSet fonts(mono());
    TextAttributes bold;
    bold.face = FontFace::bold;

    std::vector<ViewLineSegment> segments(4);
    segments[0].text = QString(); // empty string: no segment
    segments[0].runs = {{0, 0, {}}};
    segments[1].column = 2;
    segments[1].text = QStringLiteral("ab cd");
    segments[1].runs = {{0, 0, {}}, {0, 2, {}}, {2, 3, bold}};
    segments[2].text = QStringLiteral("zz"); // only an empty run: dropped
    segments[2].runs = {{1, 0, {}}};
    segments[3].column = 9;
    segments[3].text = QStringLiteral("中");
    segments[3].runs = {{0, 1, {}}};

    const std::vector<ShapedSegment> shaped = buildShapedSegments(segments, fonts, cache);
    ASSERT_EQ(shaped.size(), 2u);
    EXPECT_EQ(shaped[0].segment, &segments[1]);
    ASSERT_EQ(shaped[0].runs.size(), 2u);
    EXPECT_EQ(shaped[0].runs[0].utf16Offset, 0);
    EXPECT_EQ(shaped[0].runs[1].utf16Offset, 2);
    EXPECT_EQ(shaped[0].runs[1].run, &segments[1].runs[2]);
    // Each run is shaped in its own face, and indices count from the run's own start.
    EXPECT_EQ(shaped[0].runs[0].shaperRun->glyphRuns[0].font.postScriptName, "DejaVuSansMono");
    EXPECT_EQ(shaped[0].runs[1].shaperRun->glyphRuns[0].font.postScriptName, "DejaVuSansMono-Bold");
    EXPECT_EQ(shaped[0].runs[1].shaperRun->stringIndices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(shaped[1].segment, &segments[3]);

    // A second row with the same runs shapes nothing new.
    const std::size_t entries = cache.size();
    const auto again = buildShapedSegments(segments, fonts, cache);
    EXPECT_EQ(cache.size(), entries);
    EXPECT_EQ(again[0].runs[1].shaperRun, shaped[0].runs[1].shaperRun);
}

} // namespace
