#pragma once

#include <QDateTime>
#include <QString>

namespace brisvane {

// The terms the user accepted at the end of the onboarding, and when.
struct TermsAgreement {
    QString version;
    QDateTime agreedAt;

    friend bool operator==(const TermsAgreement&, const TermsAgreement&) = default;
};

} // namespace brisvane
