#include "app/Views/TopBarView.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/ExternalSessionsIndicatorView.hpp"
#include "app/Views/PlanUsageGaugeView.hpp"

#include <QBoxLayout>
#include <QEvent>
#include <QResizeEvent>

namespace brisvane {

TopBarView::TopBarView(DashboardViewModel& model, QWidget* gridControls, QWidget* parent)
    : QWidget(parent),
      model_(model),
      gauge_(new PlanUsageGaugeView(this)),
      gridControls_(gridControls),
      indicator_(new ExternalSessionsIndicatorView(this)),
      layout_(new QBoxLayout(QBoxLayout::TopToBottom, this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    if (gridControls_) gridControls_->setParent(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    arrange(false);

    connect(&model_, &DashboardViewModel::planUsageChanged, this, &TopBarView::updateGauge);
    connect(&model_, &DashboardViewModel::usageSummaryChanged, this, &TopBarView::updateGauge);
    connect(&model_, &DashboardViewModel::isInlineCostDisplayEnabledChanged, this, &TopBarView::updateGauge);
    connect(&model_, &DashboardViewModel::tilesChanged, this, &TopBarView::updateIndicator);
    updateGauge();
    updateIndicator();
}

// The gauge's countdown is as of this moment; it moves with the next change of the model.
void TopBarView::updateGauge()
{
    const DashboardViewModel::Parameters& parameters = model_.parameters();
    gauge_->setValues({model_.planUsage(), model_.usageSummary(), parameters.clock(), parameters.calendar,
                       model_.isInlineCostDisplayEnabled(), parameters.isJapaneseLocale});
}

void TopBarView::updateIndicator()
{
    indicator_->setSessions(model_.tiles());
    // The badge appearing or growing can leave the gauge and the controls no room in one row.
    arrange(fitsInOneRow(width()));
    placeIndicator();
}

// One row when the gauge and the controls fit side by side at their natural widths; else two
// rows, the gauge across the full width and the controls centred under it.
void TopBarView::arrange(bool singleRow)
{
    if (arranged_ && singleRow == singleRow_) return;
    arranged_ = true;
    singleRow_ = singleRow;
    while (QLayoutItem* item = layout_->takeAt(0)) delete item; // widgets stay children
    if (singleRow) {
        layout_->setDirection(QBoxLayout::LeftToRight);
        layout_->setSpacing(kRowSpacing);
        gauge_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        layout_->addWidget(gauge_, 0, Qt::AlignVCenter);
        if (gridControls_) layout_->addWidget(gridControls_, 0, Qt::AlignVCenter);
        layout_->addStretch(1);
    } else {
        layout_->setDirection(QBoxLayout::TopToBottom);
        layout_->setSpacing(0);
        gauge_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        layout_->addWidget(gauge_);
        if (gridControls_) layout_->addWidget(gridControls_, 0, Qt::AlignHCenter);
    }
    updateGeometry();
}

bool TopBarView::fitsInOneRow(int width) const
{
    int needed = gauge_->sizeHint().width();
    if (gridControls_) needed += kRowSpacing + gridControls_->sizeHint().width();
    // The badge stands at the trailing edge of the row: it needs its room too.
    if (indicator_->isVisibleTo(this)) needed += kRowSpacing + indicator_->sizeHint().width() + kIndicatorTrailingPadding;
    return needed <= width;
}

void TopBarView::placeIndicator()
{
    // In two rows the gauge takes the whole first row: the badge goes beside the centred controls.
    int centreY = height() / 2;
    if (!singleRow_ && gridControls_) {
        layout_->activate();
        centreY = gridControls_->geometry().center().y();
    }
    const QSize hint = indicator_->sizeHint();
    indicator_->setGeometry(width() - kIndicatorTrailingPadding - hint.width(), centreY - hint.height() / 2,
                            hint.width(), hint.height());
    indicator_->raise();
}

void TopBarView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange(fitsInOneRow(event->size().width()));
    placeIndicator();
}

bool TopBarView::event(QEvent* event)
{
    // A child's natural size changed (new texts, fewer controls): decide the arrangement again.
    if (event->type() != QEvent::LayoutRequest) return QWidget::event(event);
    arrange(fitsInOneRow(width()));
    const bool handled = QWidget::event(event);
    placeIndicator();
    return handled;
}

} // namespace brisvane
