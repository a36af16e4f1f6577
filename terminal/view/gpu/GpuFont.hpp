#pragma once

#include <QRawFont>
#include <QString>

#include <memory>

struct hb_font_t;

namespace corvix {

// A raw font with the name the GPU renderer's caches know its face by.
struct GpuFont {
    QRawFont raw;
    // The face's PostScript name, else its family and style.
    QString postScriptName;
};

// The PostScript name from the font's name table (id 6); family and style when it has none.
QString postScriptName(const QRawFont& font);
GpuFont gpuFont(const QRawFont& font);

struct HarfBuzzFontDeleter {
    void operator()(hb_font_t* font) const;
};
using HarfBuzzFont = std::unique_ptr<hb_font_t, HarfBuzzFontDeleter>;

// A HarfBuzz font over the raw font's own tables (so glyph ids are the ones Qt draws), scaled so
// that positions come out in 1/64 of the raw font's pixels.
HarfBuzzFont makeHarfBuzzFont(const QRawFont& font);
// The PostScript name of a font made by `makeHarfBuzzFont`, read from its face.
QString postScriptName(hb_font_t* font, const QRawFont& raw);

} // namespace corvix
