#include "terminal/view/TerminalFindBarView.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace corvix {

namespace {

QString& findString()
{
    static QString text;
    return text;
}

QToolButton* makeButton(QWidget* parent, const QString& symbol, const QString& tip)
{
    auto* button = new QToolButton(parent);
    button->setText(symbol);
    button->setToolTip(tip);
    button->setAccessibleDescription(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QCheckBox* makeToggle(QWidget* parent, const QString& title, const QString& tip)
{
    auto* toggle = new QCheckBox(title, parent);
    toggle->setToolTip(tip);
    QFont font = toggle->font();
    font.setPointSize(11);
    toggle->setFont(font);
    toggle->setFocusPolicy(Qt::NoFocus);
    return toggle;
}

} // namespace

QString findPasteboardString()
{
    return findString();
}

void setFindPasteboardString(const QString& text)
{
    findString() = text;
}

TerminalFindBarView::TerminalFindBarView(QWidget* parent) : QFrame(parent)
{
    setup();
}

void TerminalFindBarView::setup()
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("corvix--TerminalFindBarView { border-radius: 8px; }"));

    searchField = new QLineEdit(this);
    searchField->setPlaceholderText(QStringLiteral("Find"));
    searchField->setMinimumWidth(200);
    searchField->installEventFilter(this);
    previousButton = makeButton(this, QStringLiteral("\u2303"), QStringLiteral("Previous"));
    nextButton = makeButton(this, QStringLiteral("\u2304"), QStringLiteral("Next"));
    closeButton = makeButton(this, QStringLiteral("\u2715"), QStringLiteral("Close"));
    caseSensitiveButton = makeToggle(this, QStringLiteral("Aa"), QStringLiteral("Case Sensitive"));
    regexButton = makeToggle(this, QStringLiteral(".*"), QStringLiteral("Regex"));
    wholeWordButton = makeToggle(this, QStringLiteral("Word"), QStringLiteral("Whole Word"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(6);
    for (QWidget* w : std::initializer_list<QWidget*>{searchField, previousButton, nextButton, caseSensitiveButton,
                                                       regexButton, wholeWordButton, closeButton})
        row->addWidget(w, 0, Qt::AlignVCenter);

    connect(searchField, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (onSearchChanged) onSearchChanged(text);
    });
    connect(previousButton, &QToolButton::clicked, this, [this] {
        if (onFindPrevious) onFindPrevious();
    });
    connect(nextButton, &QToolButton::clicked, this, [this] {
        if (onFindNext) onFindNext();
    });
    connect(closeButton, &QToolButton::clicked, this, [this] {
        if (onClose) onClose();
    });
    for (QCheckBox* toggle : {caseSensitiveButton, regexButton, wholeWordButton})
        connect(toggle, &QCheckBox::toggled, this, [this] {
            if (onOptionsChanged) onOptionsChanged(options());
        });
}

SearchOptions TerminalFindBarView::options() const
{
    return {caseSensitiveButton->isChecked(), regexButton->isChecked(), wholeWordButton->isChecked()};
}

// Escape closes; Return finds the next match, Shift+Return the previous one.
bool TerminalFindBarView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == searchField && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (onClose) onClose();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier) {
                if (onFindPrevious) onFindPrevious();
            } else if (onFindNext) {
                onFindNext();
            }
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace corvix
