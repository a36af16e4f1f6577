#pragma once

#include <QWidget>

class QBoxLayout;

namespace brisvane {

class DashboardViewModel;
class ExternalSessionsIndicatorView;
class PlanUsageGaugeView;

// The strip above the grid: the plan-usage gauge and the grid controls side by side when the
// width offers room for both, else one above the other, and the external-sessions badge at the
// right end over them. Everything it shows is the model's; it holds no state of its own.
class TopBarView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowSpacing = 16;
    static constexpr int kIndicatorTrailingPadding = 16;

    // `gridControls` (optional) is taken over and placed beside or under the gauge.
    explicit TopBarView(DashboardViewModel& model, QWidget* gridControls = nullptr, QWidget* parent = nullptr);

    PlanUsageGaugeView& gauge() const { return *gauge_; }
    ExternalSessionsIndicatorView& indicator() const { return *indicator_; }
    QWidget* gridControls() const { return gridControls_; }
    bool isSingleRow() const { return singleRow_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void updateGauge();
    void updateIndicator();
    bool fitsInOneRow(int width) const;
    void arrange(bool singleRow);
    void placeIndicator();

    DashboardViewModel& model_;
    PlanUsageGaugeView* gauge_;
    QWidget* gridControls_;
    ExternalSessionsIndicatorView* indicator_;
    QBoxLayout* layout_;
    bool singleRow_ = false;
    bool arranged_ = false;
};

} // namespace brisvane
