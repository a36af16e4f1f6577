#include "app/Views/DisplaySettingsTab.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/SettingsForm.hpp"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace brisvane {

DisplaySettingsTab::DisplaySettingsTab(DashboardViewModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    QVBoxLayout* form = SettingsForm::makeForm(*this);
    QGroupBox* section = SettingsForm::addSection(*form, QString());
    inlineCostSwitch_ = new QCheckBox(tr("使用量の詳細をゲージ横に常時表示する"));
    inlineCostSwitch_->setObjectName(QStringLiteral("inlineCostSwitch"));
    section->layout()->addWidget(inlineCostSwitch_);
    section->layout()->addWidget(SettingsForm::makeCaption(
        tr("ONにすると、画面上部のプラン使用率ゲージの横に「今日」のトークン数（コストが発生している場合は金額も）を常時表示します。OFFのときはこれまでどおり、ゲージをクリックすると開くポップオーバーでのみ確認できます。サブスクリプション契約では課金額が記録されないため、コストが$0.00のときは金額を表示しません。")));

    // `clicked` comes from the user only: showing the model's value never calls the setter.
    connect(inlineCostSwitch_, &QCheckBox::clicked, &model_, &DashboardViewModel::setInlineCostDisplayEnabled);
    const auto show = [this] { inlineCostSwitch_->setChecked(model_.isInlineCostDisplayEnabled()); };
    connect(&model_, &DashboardViewModel::isInlineCostDisplayEnabledChanged, this, show);
    show();
}

} // namespace brisvane
