#pragma once

#include "app/Models/ClaudeCLIDetectionResult.hpp"
#include "app/Models/OnboardingStepFlow.hpp"
#include "app/Services/integration/ClaudeMdEditor.hpp"
#include "app/Services/platform/Preferences.hpp"
#include "app/Services/tiles/FileOpening.hpp"
#include "app/Views/LegalDocument.hpp"
#include "app/Views/OnboardingCliDetectionStep.hpp"

#include <QDateTime>
#include <QDialog>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QScrollArea;

namespace brisvane {

class DashboardViewModel;

// The first-run onboarding: a fixed 640 x 580 sheet with a header (step title, counter, "後で"), the
// current step's content scrolling between two dividers, and a footer (back, next, finish). A new
// one is made for every presentation, so all its view state starts fresh.
//
// Each step's content is made by a function of the step table in OnboardingView.cpp. The content is
// made anew each time its step is shown, so work a step does when shown (a search, a file check)
// belongs in its making; what must outlive a visit lives in `state()`.
class OnboardingView final : public QDialog {
    Q_OBJECT

public:
    using Step = OnboardingStepFlow::Step;

    // View state the steps keep while the sheet is open. The agreement flag is apart because the
    // footer follows it: see `setTermsAgreed`.
    struct State {
        std::optional<ClaudeCLIDetectionResult> cliDetection;
        bool isClaudeMdBlockInstalled = false;
        bool hasConfirmedClaudeMdText = false;
        std::optional<QString> claudeMdErrorMessage;
        LegalDocument legalDocument = LegalDocument::terms;
    };

    // What the sheet and its steps act through.
    struct Dependencies {
        ClaudeMdEditor claudeMdEditor;
        std::shared_ptr<Preferences> userDefaults;
        std::shared_ptr<const FileOpening> fileOpener;
        // Opens the settings window on the model's selected tab. May be empty.
        std::function<void()> openSettings;
        // Opens a web page in the default browser.
        std::function<void(const QUrl&)> openURL;
        // The time the terms agreement records.
        std::function<QDateTime()> clock;
        // Where the command step looks for the agent's command.
        ClaudeCLISearch cliSearch;
    };

    OnboardingView(DashboardViewModel& model, Dependencies dependencies, QWidget* parent = nullptr);
    ~OnboardingView() override;

    // Makes a sheet, opens it window-modal over `parent` and returns it; it deletes itself when
    // closed. It closes when the model's `isOnboardingPresented` becomes false, and closing it
    // otherwise (Esc) sets that flag to false.
    static OnboardingView* present(DashboardViewModel& model, Dependencies dependencies, QWidget* parent);

    // ---- What the steps use ---------------------------------------------------------------------
    DashboardViewModel& viewModel() const { return model_; }
    const ClaudeMdEditor& claudeMdEditor() const { return dependencies_.claudeMdEditor; }
    Preferences& userDefaults() const { return *dependencies_.userDefaults; }
    const std::shared_ptr<const FileOpening>& fileOpener() const { return dependencies_.fileOpener; }
    const ClaudeCLISearch& cliSearch() const { return dependencies_.cliSearch; }
    void openSettings() const;
    void openURL(const QUrl& url) const;
    // The locale flag that picks steps, texts and voices.
    bool isJapaneseLocale() const;

    State& state() { return state_; }
    const State& state() const { return state_; }
    bool isTermsAgreed() const { return isTermsAgreed_; }
    // Also enables or disables the finish button.
    void setTermsAgreed(bool agreed);

    // ---- Steps ----------------------------------------------------------------------------------
    Step step() const { return step_; }
    // Shows `step`, making its content anew, and updates the header and footer.
    void setStep(Step step);
    // The current step's localised title.
    QString stepTitle() const;
    // "1 / 7": the step's position over all seven steps.
    QString stepCounterText() const;

    // Records the agreement to the current terms, marks the onboarding completed and closes the
    // sheet, in that order.
    void completeOnboarding();

    // ---- Widgets, for the tests -----------------------------------------------------------------
    QLabel* titleLabel() const { return title_; }
    QLabel* counterLabel() const { return counter_; }
    QPushButton* postponeButton() const { return postpone_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* finishButton() const { return finish_; }
    QScrollArea* contentArea() const { return content_; }
    // The current step's content widget.
    QWidget* stepContent() const;

    static constexpr int kWidth = 640;
    static constexpr int kHeight = 580;

private:
    QWidget* makeHeader();
    QWidget* makeFooter();
    void goBack();
    void goNext();
    void updateChrome();

    DashboardViewModel& model_;
    Dependencies dependencies_;
    State state_;
    Step step_ = Step::welcome;
    bool isTermsAgreed_ = false;

    QLabel* title_ = nullptr;
    QLabel* counter_ = nullptr;
    QPushButton* postpone_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
    QScrollArea* content_ = nullptr;
};

} // namespace brisvane
