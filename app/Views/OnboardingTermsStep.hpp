#pragma once

#include "app/Views/LegalDocument.hpp"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QPlainTextEdit;

namespace brisvane {

// The onboarding's last step: the terms and the privacy policy, one shown at a time, and the
// agreement checkbox that enables the sheet's finish button. The shown document and the
// agreement are the sheet's state for as long as it is open: keep this widget while the sheet
// lives (or carry the two values over with the setters); switching documents leaves the
// agreement as it is, since one agreement covers both.
class OnboardingTermsStep final : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingTermsStep(bool isJapaneseLocale, QWidget* parent = nullptr);

    bool isTermsAgreed() const;
    void setTermsAgreed(bool agreed);
    LegalDocument legalDocument() const { return legalDocument_; }
    void setLegalDocument(LegalDocument document);

signals:
    void termsAgreedChanged(bool agreed);
    void legalDocumentChanged(LegalDocument document);

private:
    bool isJapaneseLocale_;
    LegalDocument legalDocument_ = LegalDocument::terms;
    QButtonGroup* documentPicker_ = nullptr;
    QPlainTextEdit* documentText_ = nullptr;
    QCheckBox* agreement_ = nullptr;
};

} // namespace brisvane
