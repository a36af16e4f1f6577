#include "app/Views/LayoutPickerPopoverView.hpp"

#include "app/Services/tiles/DashboardStores.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/GridLayoutIconView.hpp"
#include "app/Views/PlainButton.hpp"
#include "app/Views/SymbolGlyph.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace brisvane {

// ---- Row --------------------------------------------------------------------------------------

LayoutPickerRow::LayoutPickerRow(const GridLayoutPreset& preset, const QString& label, QWidget* parent)
    : QAbstractButton(parent), preset_(preset)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(label);
    setText(label);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(10);
    icon_ = new GridLayoutIconView(preset.rows, 32, 24, 1.5, 1.5, DashboardStyle::secondaryText(), this);
    row->addWidget(icon_, 0, Qt::AlignVCenter);
    label_ = new QLabel(label, this);
    label_->setFont(DashboardStyle::font(12));
    row->addWidget(label_, 0, Qt::AlignVCenter);
    row->addSpacing(8);
    row->addStretch(1);
    checkmark_ = new QLabel(SymbolGlyph::text(QStringLiteral("checkmark")), this);
    SymbolGlyph::tag(*checkmark_, QStringLiteral("checkmark"));
    checkmark_->setFont(DashboardStyle::font(11, QFont::DemiBold));
    checkmark_->setStyleSheet(QStringLiteral("color: %1;").arg(DashboardStyle::accent().name()));
    row->addWidget(checkmark_, 0, Qt::AlignVCenter);
    for (QWidget* child : {static_cast<QWidget*>(icon_), static_cast<QWidget*>(label_), static_cast<QWidget*>(checkmark_)})
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
    setSelected(false);
}

void LayoutPickerRow::setSelected(bool selected)
{
    setChecked(selected);
    icon_->setColor(selected ? DashboardStyle::accent() : DashboardStyle::secondaryText());
    label_->setStyleSheet(QStringLiteral("color: %1;").arg(
        (selected ? DashboardStyle::primaryText() : DashboardStyle::secondaryText()).name(QColor::HexArgb)));
    checkmark_->setVisible(selected);
    update();
}

bool LayoutPickerRow::showsCheckmark() const
{
    return !checkmark_->isHidden();
}

QSize LayoutPickerRow::sizeHint() const
{
    return layout()->sizeHint();
}

void LayoutPickerRow::paintEvent(QPaintEvent*)
{
    if (!isChecked()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(DashboardStyle::withOpacity(DashboardStyle::accent(), 0.15));
    painter.drawRoundedRect(QRectF(rect()), 6, 6);
}

// ---- Popover ----------------------------------------------------------------------------------

LayoutPickerPopoverView::LayoutPickerPopoverView(DashboardViewModel& viewModel, QWidget* parent)
    : PopoverFrame(parent), viewModel_(viewModel)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(6, 6, 6, 6);
    stack->setSpacing(2);
    const bool japanese = viewModel_.parameters().isJapaneseLocale;
    for (const GridLayoutPreset& preset : GridLayoutPreset::allCases()) {
        auto* row = new LayoutPickerRow(preset, preset.displayLabel(japanese), this);
        connect(row, &QAbstractButton::clicked, this, [this, preset] { choose(preset); });
        stack->addWidget(row);
        rows_.push_back(row);
    }
    setFixedWidth(200);
    connect(&viewModel_, &DashboardViewModel::layoutPresetChanged, this, &LayoutPickerPopoverView::updateSelection);
    updateSelection();
}

void LayoutPickerPopoverView::choose(const GridLayoutPreset& preset)
{
    viewModel_.setLayoutPreset(preset);
    viewModel_.parameters().userDefaults->setValue(GridLayoutStore::kKey, preset.id);
    dismiss();
}

void LayoutPickerPopoverView::updateSelection()
{
    for (LayoutPickerRow* row : rows_) row->setSelected(row->preset() == viewModel_.layoutPreset());
}

} // namespace brisvane
