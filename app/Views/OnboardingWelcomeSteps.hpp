#pragma once

class QWidget;

namespace brisvane {
class OnboardingView;
}

// The onboarding's two text-only steps: what the application is, and what it reads of the agent's
// files. Neither has a control; the footer moves on.
namespace brisvane::OnboardingSteps {

QWidget* welcomeStep(OnboardingView& view);
QWidget* accessExplanationStep(OnboardingView& view);

} // namespace brisvane::OnboardingSteps
