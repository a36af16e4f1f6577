// Inline images: sizing a picture from its requests and attaching it to lines as cell-row strips.
#include "terminal/view/TerminalView.hpp"

#include "terminal/engine/KittyGraphics.hpp"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace corvix {

namespace {

// The largest side of a placed picture in device pixels, as the graphics protocols allow.
constexpr double kMaxSidePixels = 10'000;

double targetSide(ImageSizeRequest request, double cell, double frame, double natural)
{
    switch (request.kind) {
    case ImageSizeRequest::Kind::cells: return cell * request.value;
    case ImageSizeRequest::Kind::pixels: return double(request.value);
    case ImageSizeRequest::Kind::percent: return request.value * 0.01 * frame;
    case ImageSizeRequest::Kind::automatic: break;
    }
    return natural;
}

} // namespace

TerminalView::AppleImage::AppleImage(std::shared_ptr<LineImageCharge> charge, std::shared_ptr<const QImage> image,
                                     QRectF imageRect, int stripIndex, int pixelWidth, int pixelHeight, int col)
    : KittyPlacementImage(std::move(charge)), image_(std::move(image)), imageRect_(imageRect), stripIndex_(stripIndex),
      pixelWidth_(pixelWidth), pixelHeight_(pixelHeight), col_(col)
{
}

QRectF TerminalView::AppleImage::stripRect(double cellWidth, double lineTop, double scale, bool withOffsets) const
{
    const double dx = withOffsets ? kittyPixelOffsetX / scale : 0;
    const double dy = withOffsets ? kittyPixelOffsetY / scale : 0;
    return QRectF(cellWidth * col_ + dx, lineTop + dy, pixelWidth_, pixelHeight_);
}

QRectF TerminalView::AppleImage::laidOutRect(const QRectF& strip) const
{
    // The placement's box has its top `stripIndex` strips above this one.
    return imageRect_.translated(strip.left(), strip.top() - double(stripIndex_) * strip.height());
}

std::optional<QImage> TerminalView::kittyImageFromRgba(std::span<const uint8_t> bytes, int width, int height)
{
    if (width < 1 || height < 1 || bytes.size() != size_t(width) * size_t(height) * 4) return std::nullopt;
    const QImage wrapped(bytes.data(), width, height, width * 4, QImage::Format_RGBA8888_Premultiplied);
    QImage image = wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    return image;
}

QRectF TerminalView::kittyAspectFitRect(QSizeF imageSize, const QRectF& rect)
{
    if (!(imageSize.width() > 0 && imageSize.height() > 0 && rect.width() > 0 && rect.height() > 0)) return rect;
    const double s = std::min(rect.width() / imageSize.width(), rect.height() / imageSize.height());
    const QSizeF fitted = imageSize * s;
    return QRectF(rect.left() + (rect.width() - fitted.width()) * 0.5, rect.top() + (rect.height() - fitted.height()) * 0.5,
                  fitted.width(), fitted.height());
}

bool TerminalView::createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height)
{
    const std::optional<QImage> image = kittyImageFromRgba(bytes, width, height);
    if (!image) return false;
    if (const auto& context = source.kittyPlacementContext())
        return insertImage(*image, context->widthRequest, context->heightRequest, context->preserveAspectRatio);
    // Sixel: as wide as the view at most, its own size otherwise.
    const ImageSizeRequest w = this->width() < width ? ImageSizeRequest{ImageSizeRequest::Kind::percent, 100}
                                                     : ImageSizeRequest{};
    return insertImage(*image, w, ImageSizeRequest{}, true);
}

bool TerminalView::createImage(Terminal& source, std::span<const uint8_t> data, ImageSizeRequest width,
                               ImageSizeRequest height, bool preserveAspectRatio)
{
    // Decoding takes the GUI thread: within one delivery slice, after the first image, no more
    // pixels than the budget (read from the header, nothing decoded yet). A Kitty command is
    // never stopped half done.
    if (session_->deliveringSlice() && !source.kittyPlacementContext()) {
        QBuffer header;
        header.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())));
        const QSize size = QImageReader(&header).size();
        const int64_t pixels = size.isValid() ? int64_t(size.width()) * size.height() : 0;
        if (!session_->admitSliceImage(pixels)) {
            source.deferCurrentString();
            return false;
        }
    }
    QImage image = QImage::fromData(QByteArrayView(data.data(), qsizetype(data.size())));
    if (image.isNull()) return false;
    return insertImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied), width, height, preserveAspectRatio);
}

bool TerminalView::insertImage(const QImage& image, ImageSizeRequest widthRequest, ImageSizeRequest heightRequest,
                               bool preserveAspectRatio)
{
    if (!fonts_.cellDimension() || image.isNull()) return false;
    const QSizeF cell = cellSize();
    const double scale = devicePixelRatioF();
    // A bitmap's size in points is its size in pixels.
    const QSizeF natural(image.width(), image.height());
    double w = targetSide(widthRequest, cell.width(), width(), natural.width() / scale);
    double h = targetSide(heightRequest, cell.height(), height(), natural.height() / scale);
    const bool autoWidth = widthRequest.kind == ImageSizeRequest::Kind::automatic;
    const bool autoHeight = heightRequest.kind == ImageSizeRequest::Kind::automatic;
    QRectF imageRect;
    if (preserveAspectRatio && !autoWidth && autoHeight) h = w * natural.height() / natural.width();
    if (preserveAspectRatio && autoWidth && !autoHeight) w = h * natural.width() / natural.height();
    // A program can ask for any size: one past the bounds (or more strips than the buffer holds
    // lines) is refused whole, before anything is made.
    if (!(w * scale <= kMaxSidePixels && h * scale <= kMaxSidePixels)) return false;
    // Both sides given with the aspect kept: the picture is fitted and centred in the box, with
    // clear margins; otherwise it fills the box.
    imageRect = preserveAspectRatio && !autoWidth && !autoHeight ? kittyAspectFitRect(natural, QRectF(0, 0, w, h))
                                                                 : QRectF(0, 0, w, h);
    const int rows = int(std::ceil(h / cell.height()));
    const int cols = int(std::ceil(w / cell.width()));
    if (rows < 1 || w < 1 || rows > terminal->buffer().lines().maxLength()) return false;

    // Counted before anything is attached, so that making room never takes this picture.
    auto picture = std::make_shared<const QImage>(image);
    const std::shared_ptr<LineImageCharge> charge = terminal->chargeLineImage(int64_t(image.sizeInBytes()));
    Buffer& buffer = terminal->buffer();
    const int yBaseBefore = buffer.yBase();
    const int linesTopBefore = buffer.linesTop;
    terminal->attachImageStrips(cols, rows, [&](int strip, int col) {
        return std::make_shared<AppleImage>(charge, picture, imageRect, strip, int(w), int(cell.height()), col);
    });
    // A placement that scrolled the screen moved every row.
    if (buffer.yBase() != yBaseBefore || buffer.linesTop != linesTopBefore) markWholeScreenDirty();
    return true;
}

std::optional<QImage> TerminalView::kittyPayloadImage(const KittyGraphicsPayload& payload)
{
    if (payload.kind == KittyGraphicsPayload::Kind::rgba)
        return kittyImageFromRgba(payload.bytes, payload.width, payload.height);
    const QImage decoded = QImage::fromData(QByteArrayView(payload.bytes.data(), qsizetype(payload.bytes.size())));
    if (decoded.isNull()) return std::nullopt;
    return decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::unordered_map<uint32_t, std::vector<KittyPlacementRecord>> TerminalView::virtualPlacementsByImageId()
{
    std::unordered_map<uint32_t, std::vector<KittyPlacementRecord>> placements;
    const bool alternate = terminal->isCurrentBufferAlternate();
    for (const auto& [key, record] : terminal->kittyGraphicsState().placementsByKey)
        if (record.isVirtual && record.isAlternateBuffer == alternate) placements[key.imageId].push_back(record);
    // The store's order is its hash's: sorted, a cell with placement id 0 picks the same one everywhere.
    for (auto& [id, list] : placements)
        std::sort(list.begin(), list.end(),
                  [](const KittyPlacementRecord& a, const KittyPlacementRecord& b) { return a.placementId < b.placementId; });
    return placements;
}

std::optional<QRectF> TerminalView::kittyPlaceholderArea(const std::vector<KittyPlacementRecord>& placements,
                                                         const KittyPlaceholderCell& cell, QSizeF cellSize,
                                                         double rowTop, double scale)
{
    for (const KittyPlacementRecord& record : placements) {
        if (cell.placementId != 0 && record.placementId != cell.placementId) continue;
        if (record.cols < 1 || record.rows < 1 || cell.placeholderCol >= record.cols ||
            cell.placeholderRow >= record.rows)
            continue;
        // The whole placement, laid out from this cell's place in it; the pixel offsets move it
        // right and down.
        const double cw = cellSize.width();
        const double h = cellSize.height();
        const QRectF area(record.pixelOffsetX / scale + cw * (cell.col - cell.placeholderCol),
                          record.pixelOffsetY / scale + rowTop - h * cell.placeholderRow, cw * record.cols,
                          h * record.rows);
        if (area.width() <= 0 || area.height() <= 0) return std::nullopt;
        return area;
    }
    return std::nullopt;
}

std::optional<QImage> TerminalView::kittyPlaceholderImage(uint32_t imageId, std::unordered_map<uint32_t, QImage>& cache)
{
    if (auto it = cache.find(imageId); it != cache.end()) return it->second;
    const auto& images = terminal->kittyGraphicsState().imagesById;
    auto it = images.find(imageId);
    if (it == images.end()) return std::nullopt;
    std::optional<QImage> image = kittyPayloadImage(it->second.payload);
    if (!image) return std::nullopt;
    cache.emplace(imageId, *image);
    return image;
}

} // namespace corvix
