#pragma once

#include "app/Models/TermsAgreement.hpp"
#include "app/Services/platform/Preferences.hpp"

#include <QString>

namespace brisvane::OnboardingStateStore {

// The version of the terms the onboarding shows and records.
inline const QString kCurrentTermsVersion = QStringLiteral("1.0");

inline const QString kOnboardingCompletedVersionKey = QStringLiteral("Brisvane.onboardingCompletedVersion");
inline const QString kTermsAgreedVersionKey = QStringLiteral("Brisvane.termsAgreedVersion");
inline const QString kTermsAgreedAtKey = QStringLiteral("Brisvane.termsAgreedAt");

// The completion version the onboarding writes; a stored value below it shows the onboarding.
inline constexpr int kCompletedVersion = 1;

// Stores the version, then the time as a date value.
void recordTermsAgreement(const TermsAgreement& agreement, Preferences& userDefaults);

} // namespace brisvane::OnboardingStateStore
