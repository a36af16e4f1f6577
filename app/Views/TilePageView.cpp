#include "app/Views/TilePageView.hpp"

#include "app/Services/tiles/GridCellSizeCalculator.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "app/Views/GridRowLayout.hpp"
#include "app/Views/NewSessionTileView.hpp"
#include "app/Views/TerminalTileView.hpp"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QStringList>

namespace brisvane {

Q_LOGGING_CATEGORY(lcTilePage, "brisvane.DashboardView")

namespace {

const char* const kGridIdProperty = "gridId";

// A header's drag carries its tile id as text; dropped files (which may carry text too) belong
// to the terminal beneath.
bool isTileDrag(const QMimeData* data)
{
    return data && data->hasText() && !data->hasUrls();
}

} // namespace

TilePageView::TilePageView(DashboardViewModel& viewModel, QWidget* parent, std::shared_ptr<TerminalGpuSwitch> gpuSwitch)
    : QWidget(parent), viewModel_(viewModel), gpuSwitch_(std::move(gpuSwitch))
{
    rowLayout_ = new GridRowLayout(viewModel_.layoutPreset().rows, kSpacing, this);
    rowLayout_->setContentsMargins(int(kSpacing), int(kSpacing), int(kSpacing), int(kSpacing));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    for (auto changed : {&DashboardViewModel::terminalTilesChanged, &DashboardViewModel::gridOrderingChanged,
                         &DashboardViewModel::pageIndexChanged, &DashboardViewModel::layoutPresetChanged,
                         &DashboardViewModel::focusedTerminalTileIdChanged, &DashboardViewModel::liveShellCwdsChanged,
                         &DashboardViewModel::isConclusionReadingDefaultEnabledChanged})
        connect(&viewModel_, changed, this, &TilePageView::rebuild);
    // Every tile's terminal, those of other pages too.
    connect(&viewModel_, &DashboardViewModel::terminalFontSizeChanged, this, [this] {
        for (const QPointer<QWidget>& cell : std::as_const(cells_))
            if (auto* tile = qobject_cast<TerminalTileView*>(cell.data()))
                tile->setTerminalFontSize(viewModel_.terminalFontSize());
    });
    connect(&viewModel_, &DashboardViewModel::terminalRedrawRequested, this, [this] {
        for (const QPointer<QWidget>& cell : std::as_const(cells_))
            if (auto* tile = qobject_cast<TerminalTileView*>(cell.data())) tile->redrawTerminal();
    });
    rebuild();
}

TilePageView::~TilePageView()
{
    // The tiles go before the layout, each handing its terminal back to its controller.
    for (const QPointer<QWidget>& cell : std::as_const(cells_)) delete cell.data();
}

void TilePageView::rebuild()
{
    const QList<GridTile> page = viewModel_.currentPage();
    QStringList live;
    for (const TerminalTile& tile : viewModel_.terminalTiles()) live << GridTile::of(tile).id();
    live << GridTile::kNewSessionId;

    rowLayout_->clear();
    rowLayout_->setRows(viewModel_.layoutPreset().rows);
    pageIds_.clear();
    for (const GridTile& tile : page) {
        QWidget* widget = tileView(tile);
        rowLayout_->addWidget(widget);
        pageIds_ << tile.id();
    }
    // Tiles of other pages wait hidden; closed tiles go. Later, not now: a tile's own close
    // button may be what closed it.
    for (auto it = cells_.begin(); it != cells_.end();) {
        QWidget* widget = it.value();
        if (!widget) {
            it = cells_.erase(it);
            continue;
        }
        if (pageIds_.contains(it.key())) {
            widget->show();
        } else {
            widget->hide();
            if (!live.contains(it.key())) {
                widget->deleteLater();
                it = cells_.erase(it);
                continue;
            }
        }
        ++it;
    }
    rowLayout_->activate();
}

QWidget* TilePageView::tileView(const GridTile& tile)
{
    const QString id = tile.id();
    QWidget* widget = cells_.value(id);
    if (!tile.terminal) {
        if (!widget) {
            auto* newSession = new NewSessionTileView(this);
            connect(newSession, &QAbstractButton::clicked, this, [this] {
                const QUuid created = viewModel_.createTerminalTile();
                // The keyboard goes to the new shell, so a Space or Return typed next does not
                // press this tile again and open more terminals.
                const GridTile grid = GridTile::of(TerminalTile{created, {}, {}, {}, {}});
                if (auto* tile = qobject_cast<TerminalTileView*>(cells_.value(grid.id())))
                    if (BrisvaneTerminalView* terminal = tile->terminalView()) terminal->setFocus(Qt::OtherFocusReason);
            });
            widget = newSession;
            widget->setProperty(kGridIdProperty, id);
            cells_.insert(id, widget);
        }
    } else {
        if (!widget) {
            const QUuid tileId = tile.terminal->id;
            auto* view = new TerminalTileView(*tile.terminal, nullptr, this);
            view->setProperty(kGridIdProperty, id);
            const DashboardViewModel::Parameters& p = viewModel_.parameters();
            view->setLinkServices({p.homeDirectory, p.pathExistenceChecker, p.fileOpener, p.clock});
            view->setGpuSwitch(gpuSwitch_);
            connect(view, &TerminalTileView::conclusionReadingToggleRequested, this, [this, tileId] {
                const bool current = viewModel_.tileConclusionReadingEnabled().value(
                    tileId, viewModel_.isConclusionReadingDefaultEnabled());
                viewModel_.setConclusionReadingEnabled(!current, tileId);
                rebuild();
            });
            connect(view, &TerminalTileView::pinProjectRequested, this,
                    [this](const QString& path) { viewModel_.addPinnedProject(path); });
            connect(view, &TerminalTileView::closeRequested, this,
                    [this, tileId] { viewModel_.closeTerminalTile(tileId); });
            widget = view;
            cells_.insert(id, widget);
        }
        updateTerminalTileView(*widget, *tile.terminal);
    }
    watchDrops(*widget);
    return widget;
}

void TilePageView::updateTerminalTileView(QWidget& widget, const TerminalTile& tile)
{
    auto& view = static_cast<TerminalTileView&>(widget);
    view.setTile(tile);
    view.setTerminalFontSize(viewModel_.terminalFontSize());
    const auto& controllers = viewModel_.terminalControllers();
    const auto controller = controllers.find(tile.id);
    view.setController(controller == controllers.end() ? nullptr : controller->second.get());
    view.setFocused(viewModel_.focusedTerminalTileId() == tile.id);
    view.setConclusionReadingEnabled(
        viewModel_.tileConclusionReadingEnabled().value(tile.id, viewModel_.isConclusionReadingDefaultEnabled()));
    const auto cwd = viewModel_.liveShellCwds().constFind(tile.id);
    view.setCurrentCwd(cwd == viewModel_.liveShellCwds().constEnd() ? std::nullopt : std::optional<QString>(*cwd));
}

// The cell and every drop target inside it (the terminal takes dropped files) see tile drags
// first, so a header dropped anywhere in the cell counts.
void TilePageView::watchDrops(QWidget& cell)
{
    cell.setAcceptDrops(true);
    cell.installEventFilter(this);
    for (QWidget* child : cell.findChildren<QWidget*>())
        if (child->acceptDrops()) child->installEventFilter(this);
}

QList<QWidget*> TilePageView::cells() const
{
    QList<QWidget*> result;
    for (const QString& id : pageIds_) result << cells_.value(id);
    return result;
}

QWidget* TilePageView::cell(const QString& gridId) const
{
    return cells_.value(gridId);
}

bool TilePageView::dropOnCell(const QString& targetId, const QMimeData* data)
{
    if (!data || !data->hasText()) return false;
    const QString moved = data->text().section(u'\n', 0, 0);
    if (moved.isEmpty()) return false;
    viewModel_.moveTile(moved, targetId);
    return true;
}

bool TilePageView::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QWidget::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    if (!isTileDrag(drop->mimeData())) return QWidget::eventFilter(watched, event);
    QString target;
    for (QObject* object = watched; object && object != this; object = object->parent()) {
        const QVariant id = object->property(kGridIdProperty);
        if (id.isValid()) {
            target = id.toString();
            break;
        }
    }
    if (target.isEmpty()) return QWidget::eventFilter(watched, event);
    if (type == QEvent::Drop) {
        if (dropOnCell(target, drop->mimeData())) drop->acceptProposedAction();
        else drop->ignore();
    } else {
        drop->acceptProposedAction();
    }
    return true;
}

QString TilePageView::gridSizeLogLine(QSize size) const
{
    const QSizeF region(size.width() - 2 * kSpacing, size.height() - 2 * kSpacing);
    QStringList rows;
    for (const auto& row : GridCellSizeCalculator::rowLayouts(region, viewModel_.layoutPreset().rows, kSpacing))
        rows << QStringLiteral("%1x%2(%3列)").arg(qint64(row.cellWidth)).arg(qint64(row.height)).arg(row.columnCount);
    return QStringLiteral("グリッド描画領域: size=%1x%2 行別セル=[%3] レイアウト=%4")
        .arg(size.width())
        .arg(size.height())
        .arg(rows.join(u','), viewModel_.layoutPreset().displayLabel(viewModel_.parameters().isJapaneseLocale));
}

void TilePageView::logGridSize(QSize size)
{
    if (size == loggedSize_) return;
    loggedSize_ = size;
    qCInfo(lcTilePage).noquote() << gridSizeLogLine(size);
}

void TilePageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    for (const QObject* child : children()) {
        const auto* tile = qobject_cast<const TerminalTileView*>(child);
        if (tile && tile->isVisible() && tile->focusProgress() > 0 &&
            event->region().intersects(tile->focusShadowRegion()))
            tile->paintFocusShadow(painter);
    }
}

void TilePageView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isVisible()) logGridSize(size());
}

void TilePageView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    logGridSize(size());
}

} // namespace brisvane
