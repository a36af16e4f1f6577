#pragma once

#include "app/Models/GridTile.hpp"

#include <QHash>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class QMimeData;

namespace brisvane {

class DashboardViewModel;
class GridRowLayout;
class TerminalGpuSwitch;

// The page of tiles under the top bar: the model's current page laid out in rows by the layout
// preset, 12 pixels apart and from the edges. Each cell is a terminal tile wired to the model or
// the new-terminal tile, and every cell takes the tile headers' drops: the dragged tile moves in
// front of the cell's tile, across all pages. Cell widgets are kept by grid id, so a rebuild
// never re-creates a tile (nor touches its terminal); a tile's widget goes when the tile closes.
class TilePageView final : public QWidget {
    Q_OBJECT
public:
    static constexpr double kSpacing = 12;

    // `gpuSwitch` decides whether the tiles' terminals draw through GL; none: on the CPU.
    explicit TilePageView(DashboardViewModel& viewModel, QWidget* parent = nullptr,
                          std::shared_ptr<TerminalGpuSwitch> gpuSwitch = nullptr);
    ~TilePageView() override;

    // Re-reads the model: the page's cells, their order and every tile's inputs.
    void rebuild();

    // The cell widgets of the current page, in order.
    QList<QWidget*> cells() const;
    // The cell of this grid id, whether or not it is on the current page.
    QWidget* cell(const QString& gridId) const;
    GridRowLayout& rowLayout() const { return *rowLayout_; }

    // A drop on the cell of `targetId`: the first text item is the moved id. False (refused)
    // without one.
    bool dropOnCell(const QString& targetId, const QMimeData* data);
    // The log line for this size ("グリッド描画領域: ...").
    QString gridSizeLogLine(QSize size) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Under the tiles: the focused tile's shadow.
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* tileView(const GridTile& tile);
    void updateTerminalTileView(QWidget& view, const TerminalTile& tile);
    void watchDrops(QWidget& cell);
    void logGridSize(QSize size);

    DashboardViewModel& viewModel_;
    std::shared_ptr<TerminalGpuSwitch> gpuSwitch_;
    GridRowLayout* rowLayout_ = nullptr;
    QHash<QString, QPointer<QWidget>> cells_;
    QList<QString> pageIds_;
    QSize loggedSize_;
};

} // namespace brisvane
