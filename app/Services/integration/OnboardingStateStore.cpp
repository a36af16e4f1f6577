#include "app/Services/integration/OnboardingStateStore.hpp"

namespace brisvane::OnboardingStateStore {

void recordTermsAgreement(const TermsAgreement& agreement, Preferences& userDefaults)
{
    userDefaults.setValue(kTermsAgreedVersionKey, agreement.version);
    userDefaults.setValue(kTermsAgreedAtKey, agreement.agreedAt);
}

} // namespace brisvane::OnboardingStateStore
