#pragma once

#include "terminal/view/TerminalFonts.hpp"
#include "terminal/view/ViewLineInfo.hpp"
#include "terminal/view/gpu/GpuFont.hpp"

#include <QFont>
#include <QPointF>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

struct hb_buffer_t;

namespace corvix {

// Shaped text is keyed by the face's name, its pixel size and the exact text.
struct ShaperKey {
    QString fontName;
    double fontSize = 0;
    QString text;
};

// The glyphs of one face in a shaped text: the primary face, or the fallback face Qt draws a
// range of it with.
struct ShaperGlyphRun {
    GpuFont font;
    std::vector<quint32> glyphs;
    // The glyph origin in the font's logical pixels from the start of the shaped text, y up
    // from the baseline.
    std::vector<QPointF> positions;
    // UTF-16 offsets into the shaped text, ascending: the text is laid out left to right.
    std::vector<int> stringIndices;
};

struct ShaperRun {
    std::vector<ShaperGlyphRun> glyphRuns;
    // Every glyph run's positions and indices, in order.
    std::vector<QPointF> positions;
    std::vector<int> stringIndices;
    int glyphCount = 0;
};

// One attribute run of a segment and its shaped text.
struct ShapedRun {
    const TextRun* run = nullptr;
    int utf16Offset = 0; // where the run starts in the segment's text
    std::shared_ptr<const ShaperRun> shaperRun;
};

struct ShapedSegment {
    const ViewLineSegment* segment = nullptr;
    std::vector<ShapedRun> runs;
};

// Shaped runs for every distinct (face, size, text), the oldest dropped first once full. One
// per renderer; font changes and atlas resets leave it alone. GUI thread only.
class ShaperCache {
public:
    static constexpr std::size_t maxEntries = 2048;

    ShaperCache();
    ~ShaperCache();
    ShaperCache(const ShaperCache&) = delete;
    ShaperCache& operator=(const ShaperCache&) = delete;

    // `text` shaped strictly left to right in `font`, or from the cache; nothing for empty text
    // or text that gives no glyphs (neither is cached). A hit leaves the eviction order alone.
    std::shared_ptr<const ShaperRun> shape(QStringView text, const QFont& font);
    void insert(ShaperKey key, std::shared_ptr<const ShaperRun> run);

    std::size_t size() const { return cache.size(); }
    bool contains(const ShaperKey& key) const;

private:
    struct Face {
        GpuFont font;
        HarfBuzzFont harfBuzz;
    };
    // A key over borrowed text, so that a hit copies nothing.
    struct KeyView {
        QStringView fontName;
        double fontSize;
        QStringView text;
        KeyView(QStringView fontName, double fontSize, QStringView text)
            : fontName(fontName), fontSize(fontSize), text(text)
        {
        }
        KeyView(const ShaperKey& key) : fontName(key.fontName), fontSize(key.fontSize), text(key.text) {}
    };
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(const KeyView& key) const noexcept;
    };
    struct KeyEqual {
        using is_transparent = void;
        bool operator()(const KeyView& a, const KeyView& b) const noexcept;
    };
    struct FontHash {
        std::size_t operator()(const QFont& font) const noexcept { return qHash(font); }
    };
    struct RawFontHash {
        std::size_t operator()(const QRawFont& font) const noexcept { return qHash(font); }
    };

    friend std::vector<ShapedSegment> buildShapedSegments(const std::vector<ViewLineSegment>& segments,
                                                          const FontSet& fonts, ShaperCache& cache);

    Face& face(const QRawFont& raw);
    Face& primaryFace(const QFont& font);
    // The face of a font set's face, remembered for the set last asked about.
    Face& primaryFace(const FontSet& fonts, FontFace which);
    std::shared_ptr<const ShaperRun> shape(QStringView text, const QFont& font, Face& primary);
    std::shared_ptr<const ShaperRun> shapeNew(QStringView text, const QFont& font, Face& primary);
    void shapeRange(ShaperRun& run, Face& face, QStringView text, int start, int length, double& penX);

    std::unordered_map<ShaperKey, std::shared_ptr<const ShaperRun>, KeyHash, KeyEqual> cache;
    std::deque<ShaperKey> order;
    std::unordered_map<QRawFont, std::unique_ptr<Face>, RawFontHash> faces;
    std::unordered_map<QFont, Face*, FontHash> primaryFaces;
    std::optional<std::uint64_t> fontSetSerial;
    std::array<Face*, 4> fontSetFaces{};
    hb_buffer_t* buffer;
};

// Every non-empty attribute run of the segments shaped in its face (`fonts.face(run's face)`).
// Segments with an empty text or no shaped run are left out. The result points into `segments`.
std::vector<ShapedSegment> buildShapedSegments(const std::vector<ViewLineSegment>& segments, const FontSet& fonts,
                                               ShaperCache& cache);

} // namespace corvix
