#pragma once

#include <QAbstractButton>

#include <functional>

namespace brisvane {

// The grid cell that opens another terminal: a dashed outline with a plus and "新規ターミナル".
// A click anywhere in the cell calls `onCreateNew` once. It fills whatever cell it is given.
class NewSessionTileView final : public QAbstractButton {
    Q_OBJECT
public:
    explicit NewSessionTileView(std::function<void()> onCreateNew, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void()> onCreateNew_;
};

} // namespace brisvane
