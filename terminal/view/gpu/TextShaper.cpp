#include "terminal/view/gpu/TextShaper.hpp"

#include <hb.h>

#include <QTextBoundaryFinder>

namespace corvix {

std::size_t ShaperCache::KeyHash::operator()(const KeyView& key) const noexcept
{
    // Few faces against many texts: the name is left to the equality test.
    return qHash(key.text, qHash(key.fontSize));
}

bool ShaperCache::KeyEqual::operator()(const KeyView& a, const KeyView& b) const noexcept
{
    return a.fontSize == b.fontSize && a.text == b.text && a.fontName == b.fontName;
}

ShaperCache::ShaperCache() : buffer(hb_buffer_create()) {}

ShaperCache::~ShaperCache()
{
    hb_buffer_destroy(buffer);
}

bool ShaperCache::contains(const ShaperKey& key) const
{
    return cache.contains(key);
}

ShaperCache::Face& ShaperCache::face(const QRawFont& raw)
{
    auto it = faces.find(raw);
    if (it == faces.end()) {
        auto face = std::make_unique<Face>();
        face->harfBuzz = makeHarfBuzzFont(raw);
        face->font = {raw, postScriptName(face->harfBuzz.get(), raw)};
        it = faces.emplace(raw, std::move(face)).first;
    }
    return *it->second;
}

ShaperCache::Face& ShaperCache::primaryFace(const QFont& font)
{
    auto it = primaryFaces.find(font);
    if (it == primaryFaces.end()) it = primaryFaces.emplace(font, &face(QRawFont::fromFont(font))).first;
    return *it->second;
}

ShaperCache::Face& ShaperCache::primaryFace(const FontSet& fonts, FontFace which)
{
    if (fontSetSerial != fonts.serial) {
        fontSetSerial = fonts.serial;
        fontSetFaces.fill(nullptr);
    }
    Face*& slot = fontSetFaces[std::size_t(which)];
    if (!slot) slot = &primaryFace(fonts.face(which));
    return *slot;
}

std::shared_ptr<const ShaperRun> ShaperCache::shape(QStringView text, const QFont& font)
{
    if (text.isEmpty()) return nullptr;
    return shape(text, font, primaryFace(font));
}

std::shared_ptr<const ShaperRun> ShaperCache::shape(QStringView text, const QFont& font, Face& primary)
{
    if (text.isEmpty()) return nullptr;
    const double size = primary.font.raw.pixelSize();
    if (auto it = cache.find(KeyView(primary.font.postScriptName, size, text)); it != cache.end()) return it->second;
    auto run = shapeNew(text, font, primary);
    if (run) insert({primary.font.postScriptName, size, text.toString()}, run);
    return run;
}

void ShaperCache::insert(ShaperKey key, std::shared_ptr<const ShaperRun> run)
{
    auto [it, inserted] = cache.try_emplace(key, run);
    if (!inserted) {
        it->second = std::move(run);
        return;
    }
    order.push_back(std::move(key));
    while (order.size() > maxEntries) {
        cache.erase(order.front());
        order.pop_front();
    }
}

std::shared_ptr<const ShaperRun> ShaperCache::shapeNew(QStringView text, const QFont& font, Face& primary)
{
    // Each character cluster goes to the primary face when it covers all of it, else to the face
    // Qt falls back to for it (the CPU path's choice); neighbouring clusters of one face are
    // shaped together.
    auto run = std::make_shared<ShaperRun>();
    double penX = 0;
    Face* rangeFace = nullptr;
    int rangeStart = 0;
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text.data(), int(text.size()));
    int start = 0;
    for (int end = int(clusters.toNextBoundary()); end > 0; start = end, end = int(clusters.toNextBoundary())) {
        const QStringView cluster = text.mid(start, end - start);
        bool covered = true;
        for (char32_t c : cluster.toUcs4()) covered = covered && primary.font.raw.supportsCharacter(c);
        Face* clusterFace =
            covered ? &primary : &face(TerminalFonts::resolvedFont(cluster.toString(), font));
        if (clusterFace != rangeFace) {
            if (rangeFace) shapeRange(*run, *rangeFace, text, rangeStart, start - rangeStart, penX);
            rangeFace = clusterFace;
            rangeStart = start;
        }
    }
    if (rangeFace) shapeRange(*run, *rangeFace, text, rangeStart, int(text.size()) - rangeStart, penX);
    if (run->glyphRuns.empty()) return nullptr;
    run->glyphCount = int(run->positions.size());
    return run;
}

void ShaperCache::shapeRange(ShaperRun& run, Face& face, QStringView text, int start, int length, double& penX)
{
    hb_buffer_clear_contents(buffer);
    // The whole text is the context and the range the item, so clusters are offsets into the
    // text; a combining mark keeps its own offset.
    hb_buffer_set_cluster_level(buffer, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_CHARACTERS);
    hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(text.utf16()), int(text.size()), unsigned(start),
                        length);
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(face.harfBuzz.get(), buffer, nullptr, 0);

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    if (count == 0) return;
    ShaperGlyphRun glyphRun;
    glyphRun.font = face.font;
    glyphRun.glyphs.reserve(count);
    glyphRun.positions.reserve(count);
    glyphRun.stringIndices.reserve(count);
    constexpr double unit = 1.0 / 64;
    for (unsigned i = 0; i < count; ++i) {
        glyphRun.glyphs.push_back(infos[i].codepoint);
        glyphRun.positions.emplace_back(penX + positions[i].x_offset * unit, positions[i].y_offset * unit);
        glyphRun.stringIndices.push_back(int(infos[i].cluster));
        penX += positions[i].x_advance * unit;
    }
    run.positions.insert(run.positions.end(), glyphRun.positions.begin(), glyphRun.positions.end());
    run.stringIndices.insert(run.stringIndices.end(), glyphRun.stringIndices.begin(), glyphRun.stringIndices.end());
    run.glyphRuns.push_back(std::move(glyphRun));
}

std::vector<ShapedSegment> buildShapedSegments(const std::vector<ViewLineSegment>& segments, const FontSet& fonts,
                                               ShaperCache& cache)
{
    std::vector<ShapedSegment> shaped;
    shaped.reserve(segments.size());
    for (const ViewLineSegment& segment : segments) {
        if (segment.text.isEmpty()) continue;
        ShapedSegment out{&segment, {}};
        out.runs.reserve(segment.runs.size());
        const QStringView text(segment.text);
        for (const TextRun& run : segment.runs) {
            if (run.length <= 0 || run.start < 0 || run.start + run.length > text.size()) continue;
            const FontFace face = run.attributes.face;
            auto shaperRun = cache.shape(text.mid(run.start, run.length), fonts.face(face), cache.primaryFace(fonts, face));
            if (shaperRun) out.runs.push_back({&run, run.start, std::move(shaperRun)});
        }
        if (!out.runs.empty()) shaped.push_back(std::move(out));
    }
    return shaped;
}

} // namespace corvix
