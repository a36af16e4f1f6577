// The view's keyboard and text input, handed to its keyboard part.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/TerminalKeyboardInput.hpp"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace corvix {

void TerminalView::keyPressEvent(QKeyEvent* event)
{
    if (!keyboardInput_->keyPress(*event)) QWidget::keyPressEvent(event);
}

void TerminalView::keyReleaseEvent(QKeyEvent* event)
{
    keyboardInput_->keyRelease(*event);
    QWidget::keyReleaseEvent(event);
}

void TerminalView::inputMethodEvent(QInputMethodEvent* event)
{
    keyboardInput_->inputMethodEvent(*event);
    event->accept();
}

bool TerminalView::focusNextPrevChild(bool next)
{
    // Tab and Shift+Tab are keys for the program while the view has the focus.
    if (QWidget::hasFocus()) return false;
    return QWidget::focusNextPrevChild(next);
}

QVariant TerminalView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The input method places its candidates at the caret.
    if (query == Qt::ImCursorRectangle) return caretFrame();
    return QWidget::inputMethodQuery(query);
}

void TerminalView::insertText(const QString& text, bool isPaste)
{
    keyboardInput_->insertText(text, isPaste);
}

void TerminalView::doCommand(std::string_view selector)
{
    keyboardInput_->doCommand(selector);
}

void TerminalView::setMarkedText(const QString& text, TextRange selectedRange)
{
    keyboardInput_->setMarkedText(text, selectedRange);
}

void TerminalView::unmarkText()
{
    keyboardInput_->unmarkText();
}

bool TerminalView::hasMarkedText() const
{
    return keyboardInput_->hasMarkedText();
}

TerminalView::TextRange TerminalView::markedRange() const
{
    return keyboardInput_->markedRange();
}

} // namespace corvix
