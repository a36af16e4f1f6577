#include "app/Models/OnboardingStepFlow.hpp"

#include <QCoreApplication>

namespace brisvane::OnboardingStepFlow {

std::optional<Step> stepFromRawValue(int rawValue)
{
    if (rawValue < 0 || rawValue >= kStepCount) return std::nullopt;
    return Step(rawValue);
}

QString title(Step step)
{
    switch (step) {
    case Step::welcome:
        return QCoreApplication::translate("OnboardingStepFlow", "Brisvaneへようこそ");
    case Step::accessExplanation:
        return QCoreApplication::translate("OnboardingStepFlow", "アクセス権について");
    case Step::cliDetection:
        return QCoreApplication::translate("OnboardingStepFlow", "claude コマンドの確認");
    case Step::integrations:
        return QCoreApplication::translate("OnboardingStepFlow", "連携機能の導入");
    case Step::voiceLineConsent:
        return QCoreApplication::translate("OnboardingStepFlow", "音声要約の案内（任意）");
    case Step::voicevoxInfo:
        return QCoreApplication::translate("OnboardingStepFlow", "VOICEVOXについて（任意）");
    case Step::terms:
        return QCoreApplication::translate("OnboardingStepFlow", "利用規約・プライバシーポリシー");
    }
    return {};
}

std::optional<Step> next(std::optional<Step> after, bool isJapaneseLocale)
{
    if (!after) return std::nullopt;
    if (*after == Step::voiceLineConsent && !isJapaneseLocale) return Step::terms;
    return stepFromRawValue(rawValue(*after) + 1);
}

std::optional<Step> previous(std::optional<Step> before, bool isJapaneseLocale)
{
    if (!before) return Step::terms;
    if (*before == Step::terms && !isJapaneseLocale) return Step::voiceLineConsent;
    return stepFromRawValue(rawValue(*before) - 1);
}

} // namespace brisvane::OnboardingStepFlow
