#include "app/Views/NewSessionTileView.hpp"

#include "app/Views/DashboardStyle.hpp"
#include "app/Views/PlainButton.hpp"
#include "app/Views/SymbolGlyph.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace brisvane {

namespace {

const QString kSymbol = QStringLiteral("plus.circle");

} // namespace

NewSessionTileView::NewSessionTileView(QWidget* parent)
    : QAbstractButton(parent)
{
    setText(tr("新規ターミナル"));
    setAccessibleName(tr("新規ターミナル"));
    SymbolGlyph::tag(*this, kSymbol);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize NewSessionTileView::sizeHint() const
{
    return QSize(160, 120);
}

QSize NewSessionTileView::minimumSizeHint() const
{
    return QSize(0, 0);
}

void NewSessionTileView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The outline sits inside the border: half the line width in from every edge.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    QPen dashed(DashboardStyle::white(0.15), 1);
    dashed.setDashPattern({4, 3});
    dashed.setMiterLimit(10);
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);

    // A plus over the title, 10 apart, centred as one block.
    const QFont symbolFont = DashboardStyle::font(32);
    const QFont titleFont = DashboardStyle::font(14, QFont::DemiBold);
    const QFontMetrics symbolMetrics(symbolFont);
    const QFontMetrics titleMetrics(titleFont);
    const int blockHeight = symbolMetrics.height() + 10 + titleMetrics.height();
    const int top = (height() - blockHeight) / 2;
    painter.setPen(DashboardStyle::secondaryText());
    painter.setFont(symbolFont);
    painter.drawText(QRect(0, top, width(), symbolMetrics.height()), Qt::AlignCenter, SymbolGlyph::text(kSymbol));
    painter.setFont(titleFont);
    painter.drawText(QRect(0, top + symbolMetrics.height() + 10, width(), titleMetrics.height()), Qt::AlignCenter,
                     text());
}

} // namespace brisvane
