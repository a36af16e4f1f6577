#include "app/Views/OnboardingView.hpp"

#include "app/Services/integration/OnboardingStateStore.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/OnboardingCliDetectionStep.hpp"
#include "app/Views/OnboardingComponents.hpp"
#include "app/Views/OnboardingIntegrationsStep.hpp"
#include "app/Views/OnboardingTermsStep.hpp"
#include "app/Views/OnboardingVoiceLineConsentStep.hpp"
#include "app/Views/OnboardingVoicevoxInfoStep.hpp"
#include "app/Views/OnboardingWelcomeSteps.hpp"
#include "app/Views/PlainButton.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <array>

namespace brisvane {

namespace {

using Step = OnboardingStepFlow::Step;
using StepFactory = QWidget* (*)(OnboardingView&);

QWidget* cliDetectionStep(OnboardingView& view)
{
    return new OnboardingCliDetectionStep(view, view.cliSearch());
}

QWidget* integrationsStep(OnboardingView& view)
{
    return new OnboardingIntegrationsStep(view.viewModel());
}

QWidget* voiceLineConsentStep(OnboardingView& view)
{
    return new OnboardingVoiceLineConsentStep(view);
}

QWidget* voicevoxInfoStep(OnboardingView& view)
{
    return new OnboardingVoicevoxInfoStep(view.viewModel(), view.fileOpener());
}

// The terms step's widget starts from the sheet's state and writes its changes back, so a return to
// the step finds the document and the agreement as they were left.
QWidget* termsStep(OnboardingView& view)
{
    auto* step = new OnboardingTermsStep(view.isJapaneseLocale());
    step->setLegalDocument(view.state().legalDocument);
    step->setTermsAgreed(view.isTermsAgreed());
    QObject::connect(step, &OnboardingTermsStep::termsAgreedChanged, &view, &OnboardingView::setTermsAgreed);
    QObject::connect(step, &OnboardingTermsStep::legalDocumentChanged, &view,
                     [&view](LegalDocument document) { view.state().legalDocument = document; });
    return step;
}

// Each step's content, by raw value.
constexpr std::array<StepFactory, OnboardingStepFlow::kStepCount> kStepFactories{
    &OnboardingSteps::welcomeStep,
    &OnboardingSteps::accessExplanationStep,
    &cliDetectionStep,
    &integrationsStep,
    &voiceLineConsentStep,
    &voicevoxInfoStep,
    &termsStep,
};

QPalette darkPalette(QPalette palette)
{
    const QColor background(24, 24, 24);
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, QColor(36, 36, 36));
    palette.setColor(QPalette::AlternateBase, QColor(44, 44, 44));
    palette.setColor(QPalette::Button, QColor(58, 58, 60));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Active, role, OnboardingComponents::primaryText());
        palette.setColor(QPalette::Inactive, role, OnboardingComponents::primaryText());
        palette.setColor(QPalette::Disabled, role, DashboardStyle::tertiaryText());
    }
    palette.setColor(QPalette::Highlight, OnboardingComponents::blue());
    palette.setColor(QPalette::HighlightedText, DashboardStyle::white());
    return palette;
}

} // namespace

OnboardingView::OnboardingView(DashboardViewModel& model, Dependencies dependencies, QWidget* parent)
    : QDialog(parent)
    , model_(model)
    , dependencies_(std::move(dependencies))
{
    setObjectName(QStringLiteral("onboardingSheet"));
    setFixedSize(kWidth, kHeight);
    setPalette(darkPalette(palette()));
    setAutoFillBackground(true);

    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(makeHeader());
    body->addWidget(DashboardStyle::makeDivider(this));

    content_ = new QScrollArea(this);
    content_->setWidgetResizable(true);
    content_->setFrameShape(QFrame::NoFrame);
    content_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    body->addWidget(content_, 1);

    body->addWidget(DashboardStyle::makeDivider(this));
    body->addWidget(makeFooter());

    // Postponing, completing, and anything else that clears the flag closes the sheet.
    connect(&model_, &DashboardViewModel::isOnboardingPresentedChanged, this, [this] {
        if (!model_.isOnboardingPresented()) close();
    });

    setStep(Step::welcome);
}

OnboardingView::~OnboardingView() = default;

OnboardingView* OnboardingView::present(DashboardViewModel& model, Dependencies dependencies, QWidget* parent)
{
    auto* view = new OnboardingView(model, std::move(dependencies), parent);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowModality(Qt::WindowModal);
    QPointer<DashboardViewModel> guarded(&model);
    connect(view, &QDialog::finished, view, [guarded] {
        if (guarded) guarded->setOnboardingPresented(false);
    });
    view->open();
    return view;
}

QWidget* OnboardingView::makeHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 10, 16, 10);

    title_ = DashboardStyle::makeLabel(QString(), DashboardStyle::font(13, QFont::DemiBold),
                                       OnboardingComponents::primaryText(), header);
    row->addWidget(title_);
    row->addStretch(1);
    counter_ =
        DashboardStyle::makeLabel(QString(), DashboardStyle::font(11), OnboardingComponents::secondaryText(), header);
    row->addWidget(counter_);

    postpone_ = PlainButton::make(tr("後で"), 11, QFont::Normal, OnboardingComponents::secondaryText(), header);
    // Only the model's flag: nothing is recorded, so the sheet comes back at the next start.
    connect(postpone_, &QPushButton::clicked, this, [this] { model_.setOnboardingPresented(false); });
    row->addWidget(postpone_);
    return header;
}

QWidget* OnboardingView::makeFooter()
{
    auto* footer = new QWidget(this);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(16, 12, 16, 12);

    back_ = new QPushButton(tr("戻る"), footer);
    back_->setAutoDefault(false);
    connect(back_, &QPushButton::clicked, this, &OnboardingView::goBack);
    row->addWidget(back_);
    row->addStretch(1);

    next_ = new QPushButton(tr("次へ"), footer);
    next_->setDefault(true);
    connect(next_, &QPushButton::clicked, this, &OnboardingView::goNext);
    row->addWidget(next_);

    finish_ = new QPushButton(tr("同意して完了"), footer);
    finish_->setDefault(true);
    connect(finish_, &QPushButton::clicked, this, [this] {
        if (isTermsAgreed_) completeOnboarding();
    });
    row->addWidget(finish_);
    return footer;
}

void OnboardingView::openSettings() const
{
    if (dependencies_.openSettings) dependencies_.openSettings();
}

void OnboardingView::openURL(const QUrl& url) const
{
    if (dependencies_.openURL) dependencies_.openURL(url);
}

bool OnboardingView::isJapaneseLocale() const
{
    return model_.parameters().isJapaneseLocale;
}

void OnboardingView::setTermsAgreed(bool agreed)
{
    isTermsAgreed_ = agreed;
    updateChrome();
}

void OnboardingView::setStep(Step step)
{
    step_ = step;
    if (QWidget* old = content_->takeWidget()) {
        old->hide();
        // Later: the step may be in the middle of one of its own signals.
        old->deleteLater();
    }
    auto* page = new QWidget;
    auto* padding = new QVBoxLayout(page);
    padding->setContentsMargins(20, 20, 20, 20);
    padding->setSpacing(0);
    QWidget* stepWidget = kStepFactories[size_t(OnboardingStepFlow::rawValue(step))](*this);
    stepWidget->setObjectName(QStringLiteral("onboardingStepContent"));
    padding->addWidget(stepWidget);
    padding->addStretch(1);
    content_->setWidget(page);
    content_->verticalScrollBar()->setValue(0);
    updateChrome();
}

QWidget* OnboardingView::stepContent() const
{
    QWidget* page = content_->widget();
    return page ? page->findChild<QWidget*>(QStringLiteral("onboardingStepContent"), Qt::FindDirectChildrenOnly)
                : nullptr;
}

QString OnboardingView::stepTitle() const
{
    return OnboardingStepFlow::title(step_);
}

QString OnboardingView::stepCounterText() const
{
    return tr("%1 / %2").arg(OnboardingStepFlow::rawValue(step_) + 1).arg(OnboardingStepFlow::kStepCount);
}

void OnboardingView::goBack()
{
    if (std::optional<Step> previous = OnboardingStepFlow::previous(step_, isJapaneseLocale())) setStep(*previous);
}

void OnboardingView::goNext()
{
    if (std::optional<Step> next = OnboardingStepFlow::next(step_, isJapaneseLocale())) setStep(*next);
}

void OnboardingView::updateChrome()
{
    setWindowTitle(stepTitle());
    title_->setText(stepTitle());
    counter_->setText(stepCounterText());
    back_->setVisible(step_ != Step::welcome);
    next_->setVisible(step_ != Step::terms);
    finish_->setVisible(step_ == Step::terms);
    finish_->setEnabled(isTermsAgreed_);
}

void OnboardingView::completeOnboarding()
{
    using namespace OnboardingStateStore;
    recordTermsAgreement(TermsAgreement{kCurrentTermsVersion, dependencies_.clock()}, *dependencies_.userDefaults);
    dependencies_.userDefaults->setValue(kOnboardingCompletedVersionKey, kCompletedVersion);
    model_.setOnboardingPresented(false);
}

} // namespace brisvane
