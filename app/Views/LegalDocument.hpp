#pragma once

#include <QList>
#include <QString>

namespace brisvane {

// The two documents the user agrees to at the end of the onboarding.
enum class LegalDocument {
    terms,
    privacy,
};

// Every document, in the picker's order.
const QList<LegalDocument>& allLegalDocuments();
// "terms", "privacy".
QString rawValue(LegalDocument document);
// "利用規約", "プライバシーポリシー": localised.
QString label(LegalDocument document);
// The document's full text, shown as it stands: Japanese or English.
QString legalText(LegalDocument document, bool isJapaneseLocale);

} // namespace brisvane
