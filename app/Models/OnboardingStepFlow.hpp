#pragma once

#include <QString>

#include <array>
#include <optional>

namespace brisvane::OnboardingStepFlow {

// The onboarding's steps in the order they are shown; the raw value is the position.
enum class Step {
    welcome = 0,
    accessExplanation = 1,
    cliDetection = 2,
    integrations = 3,
    voiceLineConsent = 4,
    voicevoxInfo = 5,
    terms = 6,
};

inline constexpr std::array<Step, 7> kAllSteps{Step::welcome,      Step::accessExplanation, Step::cliDetection,
                                               Step::integrations, Step::voiceLineConsent,  Step::voicevoxInfo,
                                               Step::terms};

// The counter's divisor: every step counts, also the one a locale skips.
inline constexpr int kStepCount = int(kAllSteps.size());

inline constexpr int rawValue(Step step)
{
    return int(step);
}
// 0 to 6 give a step; anything else none.
std::optional<Step> stepFromRawValue(int rawValue);

// The localised title the sheet's header shows.
QString title(Step step);

// Where the footer's buttons lead; none when there is no such step. The VOICEVOX step exists only
// in a Japanese locale. From none, previous gives the last step and next gives none.
std::optional<Step> next(std::optional<Step> after, bool isJapaneseLocale);
std::optional<Step> previous(std::optional<Step> before, bool isJapaneseLocale);

} // namespace brisvane::OnboardingStepFlow
