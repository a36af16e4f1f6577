#pragma once

#include <QColor>
#include <QLabel>

namespace brisvane {

// A filled circle of one colour: the state and status dots of tiles, session rows, popovers and
// settings. Its colour is also the "dotColor" property, which tests read.
class ColorDot final : public QLabel {
    Q_OBJECT

public:
    explicit ColorDot(int diameter, const QColor& color = QColor(), QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
};

} // namespace brisvane
