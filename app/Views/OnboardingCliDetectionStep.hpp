#pragma once

#include "app/Models/ClaudeCLIDetectionResult.hpp"
#include "app/Services/platform/PathExistenceChecking.hpp"

#include <QProcessEnvironment>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace brisvane {

class OnboardingView;

// Where the agent's command is looked for: the PATH of `environment` (absent PATH: the fixed
// folders alone), the fixed folders under `homeDirectory`, and anything existing at a candidate
// counts (a folder too).
struct ClaudeCLISearch {
    QProcessEnvironment environment;
    QString homeDirectory;
    std::shared_ptr<const PathExistenceChecking> pathExistenceChecker;

    // This process's environment and home, tested through the model's existence checker.
    static ClaudeCLISearch current(std::shared_ptr<const PathExistenceChecking> pathExistenceChecker);
};

// The onboarding's command step: whether `claude` is installed, where, and when it is not, a
// button to the vendor's setup page. The search runs anew each time the step is shown, just
// after it appears; until then the sheet's previous result (or "確認しています…") is shown. The
// result is kept in the sheet's state.
class OnboardingCliDetectionStep final : public QWidget {
    Q_OBJECT
public:
    OnboardingCliDetectionStep(OnboardingView& sheet, ClaudeCLISearch search, QWidget* parent = nullptr);

private:
    void runSearch();
    void showResult(const std::optional<ClaudeCLIDetectionResult>& result);

    OnboardingView& sheet_;
    ClaudeCLISearch search_;
    QLabel* searching_ = nullptr;
    QWidget* found_ = nullptr;
    QLabel* foundPath_ = nullptr;
    QWidget* notFound_ = nullptr;
};

} // namespace brisvane
