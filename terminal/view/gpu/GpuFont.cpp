#include "terminal/view/gpu/GpuFont.hpp"

#include <hb-ot.h>
#include <hb.h>

#include <QByteArray>

#include <cmath>

namespace corvix {

namespace {

// HarfBuzz asks for tables one by one; each comes from the raw font, as Qt's own engine reads it.
hb_blob_t* referenceTable(hb_face_t*, hb_tag_t tag, void* userData)
{
    const auto& font = *static_cast<const QRawFont*>(userData);
    const char name[4] = {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag)};
    auto* bytes = new QByteArray(font.fontTable(name));
    if (bytes->isEmpty()) {
        delete bytes;
        return nullptr;
    }
    return hb_blob_create(bytes->constData(), unsigned(bytes->size()), HB_MEMORY_MODE_READONLY, bytes,
                          [](void* p) { delete static_cast<QByteArray*>(p); });
}

} // namespace

void HarfBuzzFontDeleter::operator()(hb_font_t* font) const
{
    hb_font_destroy(font);
}

HarfBuzzFont makeHarfBuzzFont(const QRawFont& font)
{
    hb_face_t* face = hb_face_create_for_tables(referenceTable, new QRawFont(font),
                                                [](void* p) { delete static_cast<QRawFont*>(p); });
    hb_font_t* hbFont = hb_font_create(face);
    hb_face_destroy(face); // the font holds it
    const int scale = int(std::lround(font.pixelSize() * 64));
    hb_font_set_scale(hbFont, scale, scale);
    return HarfBuzzFont(hbFont);
}

QString postScriptName(hb_font_t* font, const QRawFont& raw)
{
    hb_face_t* face = hb_font_get_face(font);
    char name[256];
    unsigned length = sizeof name;
    if (hb_ot_name_get_utf8(face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &length, name) > 0 && length > 0)
        return QString::fromUtf8(name, qsizetype(length));
    return raw.familyName() + u'-' + raw.styleName();
}

QString postScriptName(const QRawFont& font)
{
    const HarfBuzzFont hb = makeHarfBuzzFont(font);
    return postScriptName(hb.get(), font);
}

GpuFont gpuFont(const QRawFont& font)
{
    return {font, postScriptName(font)};
}

} // namespace corvix
