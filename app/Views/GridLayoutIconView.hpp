#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

namespace brisvane {

// A miniature of a grid layout: one filled rounded rectangle per cell, with the row layout's
// arithmetic. Fixed to its size; hidden from accessibility (the button around it is labelled).
class GridLayoutIconView final : public QWidget {
    Q_OBJECT
public:
    GridLayoutIconView(QList<int> rows, double width, double height, double spacing, double cornerRadius,
                       QColor color, QWidget* parent = nullptr);

    const QList<int>& rows() const { return rows_; }
    void setRows(QList<int> rows);
    QColor color() const { return color_; }
    void setColor(QColor color);
    // The cells as drawn, in widget coordinates.
    QList<QRectF> cellRects() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<int> rows_;
    QSizeF size_;
    double spacing_;
    double cornerRadius_;
    QColor color_;
};

} // namespace brisvane
