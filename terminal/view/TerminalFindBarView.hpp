#pragma once

#include "terminal/selection/SearchOptions.hpp"

#include <QFrame>

#include <functional>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace corvix {

// The floating find panel at the top right of a terminal: a search field, previous, next and
// close buttons, and three option toggles. It reports through its callbacks.
class TerminalFindBarView : public QFrame {
    Q_OBJECT
public:
    explicit TerminalFindBarView(QWidget* parent);

    std::function<void(const QString&)> onSearchChanged;
    std::function<void()> onFindNext;
    std::function<void()> onFindPrevious;
    std::function<void()> onClose;
    std::function<void(SearchOptions)> onOptionsChanged;

    QLineEdit* searchField = nullptr;
    QToolButton* previousButton = nullptr;
    QToolButton* nextButton = nullptr;
    QToolButton* closeButton = nullptr;
    QCheckBox* caseSensitiveButton = nullptr;
    QCheckBox* regexButton = nullptr;
    QCheckBox* wholeWordButton = nullptr;

    SearchOptions options() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setup();
};

// The application's find string: shared by every terminal, standing in for a system find buffer.
QString findPasteboardString();
void setFindPasteboardString(const QString& text);

} // namespace corvix
