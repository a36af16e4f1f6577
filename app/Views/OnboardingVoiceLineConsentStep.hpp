#pragma once

#include "app/Services/integration/ClaudeMdEditor.hpp"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace brisvane {

class OnboardingView;

// The onboarding's optional voice-summary step: shows the exact block that would be appended to
// the agent's CLAUDE.md, adds it once the user ticks that they have read it, and removes it again.
// The file changes only through the sheet's `ClaudeMdEditor`; the installed flag, the checkbox and
// the last error live in the sheet's state. Each time the step is made (each time it is shown) it
// reads the file for the block's start marker; an unreadable or non-UTF-8 file reads as without.
class OnboardingVoiceLineConsentStep final : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingVoiceLineConsentStep(OnboardingView& sheet, QWidget* parent = nullptr);

    // Runs one change of the editor: a failure shows its message and leaves the installed flag as
    // it was; a success clears the message and reads the file again.
    void performClaudeMdChange(const std::function<ClaudeMdEditor::Outcome()>& change);

    // `text` with every ASCII punctuation character escaped, so that Markdown shows it as written.
    static QString markdownEscaped(const QString& text);

private:
    void readInstalledState();
    void showState();

    OnboardingView& sheet_;
    QWidget* installed_ = nullptr;
    QWidget* notInstalled_ = nullptr;
    QCheckBox* confirmation_ = nullptr;
    QPushButton* add_ = nullptr;
    QLabel* error_ = nullptr;
};

} // namespace brisvane
