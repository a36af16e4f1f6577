#pragma once

#include "app/Models/GridLayoutPreset.hpp"
#include "app/Views/PopoverFrame.hpp"

#include <QAbstractButton>
#include <QList>

class QLabel;

namespace brisvane {

class DashboardViewModel;
class GridLayoutIconView;

// One preset in the layout picker: its miniature, its label and, when it is the current layout,
// a check mark on an accent background. Checked exactly when selected (the accessible state).
class LayoutPickerRow final : public QAbstractButton {
    Q_OBJECT
public:
    LayoutPickerRow(const GridLayoutPreset& preset, const QString& label, QWidget* parent = nullptr);

    const GridLayoutPreset& preset() const { return preset_; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);
    bool showsCheckmark() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override {}

private:
    GridLayoutPreset preset_;
    GridLayoutIconView* icon_;
    QLabel* label_;
    QLabel* checkmark_;
};

// Lists every layout preset; a choice becomes the dashboard's layout, is stored as the user's
// preference ("Brisvane.gridLayoutPreset", the one place that writes it) and closes the popover.
class LayoutPickerPopoverView final : public PopoverFrame {
    Q_OBJECT
public:
    explicit LayoutPickerPopoverView(DashboardViewModel& viewModel, QWidget* parent = nullptr);

    const QList<LayoutPickerRow*>& rows() const { return rows_; }
    void choose(const GridLayoutPreset& preset);

private:
    void updateSelection();

    DashboardViewModel& viewModel_;
    QList<LayoutPickerRow*> rows_;
};

} // namespace brisvane
