#pragma once

#include <QAbstractButton>

#include <functional>

namespace brisvane {

// The grid cell that opens another terminal: a dashed outline with a plus and "新規ターミナル".
// A click anywhere in the cell emits `clicked` once. It fills whatever cell it is given.
class NewSessionTileView final : public QAbstractButton {
    Q_OBJECT
public:
    explicit NewSessionTileView(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace brisvane
