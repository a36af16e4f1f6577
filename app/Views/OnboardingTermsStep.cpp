#include "app/Views/OnboardingTermsStep.hpp"

#include "app/Services/integration/OnboardingStateStore.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/OnboardingComponents.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisvane {

OnboardingTermsStep::OnboardingTermsStep(bool isJapaneseLocale, QWidget* parent)
    : QWidget(parent), isJapaneseLocale_(isJapaneseLocale)
{
    QVBoxLayout* stack = OnboardingComponents::makeStepLayout(*this);
    stack->addWidget(OnboardingComponents::makeLeadText(
        tr("最後に、利用規約とプライバシーポリシーへの同意をお願いします（版 %1）。").arg(OnboardingStateStore::kCurrentTermsVersion)));

    // A segmented control: one checkable button per document, exactly one checked.
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    documentPicker_ = new QButtonGroup(this);
    documentPicker_->setExclusive(true);
    for (LegalDocument document : allLegalDocuments()) {
        auto* segment = new QPushButton(label(document));
        segment->setObjectName(QStringLiteral("document.") + rawValue(document));
        segment->setCheckable(true);
        segment->setChecked(document == legalDocument_);
        documentPicker_->addButton(segment, int(document));
        segments->addWidget(segment);
    }
    segments->addStretch(1);
    stack->addLayout(segments);
    connect(documentPicker_, &QButtonGroup::idClicked, this,
            [this](int id) { setLegalDocument(LegalDocument(id)); });

    documentText_ = new QPlainTextEdit(legalText(legalDocument_, isJapaneseLocale_));
    documentText_->setObjectName(QStringLiteral("legalText"));
    documentText_->setReadOnly(true);
    documentText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    documentText_->setFixedHeight(260);
    QFont textFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    textFont.setPixelSize(10);
    documentText_->setFont(textFont);
    // A style sheet cuts the widget off from the window's dark palette: its text colour is set here
    // too, or the platform's light-theme text (near black) lands on the dark box.
    documentText_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: rgba(0, 0, 0, 77); color: %1; border: none; border-radius: 8px;"
                       " padding: 8px; }")
            .arg(DashboardStyle::secondaryText().name(QColor::HexArgb)) +
        DashboardStyle::scrollBarStyleSheet(Qt::transparent, DashboardStyle::white(0.3)));
    stack->addWidget(documentText_);

    agreement_ = new QCheckBox(tr("利用規約およびプライバシーポリシーの内容に同意します。"));
    agreement_->setObjectName(QStringLiteral("termsAgreement"));
    QFont agreementFont = agreement_->font();
    agreementFont.setPixelSize(11);
    agreement_->setFont(agreementFont);
    stack->addWidget(agreement_);
    connect(agreement_, &QCheckBox::toggled, this, &OnboardingTermsStep::termsAgreedChanged);
}

bool OnboardingTermsStep::isTermsAgreed() const
{
    return agreement_->isChecked();
}

void OnboardingTermsStep::setTermsAgreed(bool agreed)
{
    agreement_->setChecked(agreed);
}

void OnboardingTermsStep::setLegalDocument(LegalDocument document)
{
    if (QAbstractButton* segment = documentPicker_->button(int(document))) segment->setChecked(true);
    if (document == legalDocument_) return;
    legalDocument_ = document;
    documentText_->setPlainText(legalText(document, isJapaneseLocale_));
    emit legalDocumentChanged(document);
}

} // namespace brisvane
