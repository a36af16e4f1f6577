// The find bar, search commands, and copy and paste.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/TerminalFindBarView.hpp"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include <cstdio>

namespace corvix {

// Shortcuts are Ctrl+Shift+key so that Ctrl+key still reaches the program in the terminal.
void TerminalView::setupActions()
{
    auto add = [this](const QKeySequence& keys, auto slot) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    copyAction = add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [this] { copy(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), [this] { paste(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), [this] { selectAll(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), [this] { performFindPanelAction(int(FindAction::showFindInterface)); });
    updateActions();
}

void TerminalView::updateActions()
{
    if (copyAction) copyAction->setEnabled(validateUserInterfaceItem(MenuAction::copy));
}

// ---- Menu commands ----------------------------------------------------------------------------

void TerminalView::performFindPanelAction(int tag)
{
    switch (FindAction(tag)) {
    case FindAction::showFindInterface: showFindBar(true); break;
    case FindAction::next: performFind(true); break;
    case FindAction::previous: performFind(false); break;
    case FindAction::setFindString:
        setFindPasteboardFromSelection();
        showFindBar(true);
        break;
    default: break;
    }
}

void TerminalView::performTextFinderAction(int tag)
{
    if (FindAction(tag) == FindAction::hideFindInterface) {
        if (findBar_) findBar_->hide();
        setFocus();
        return;
    }
    performFindPanelAction(tag);
}

bool TerminalView::validateUserInterfaceItem(MenuAction action, int tag)
{
    const bool selected = selectionActive();
    switch (action) {
    case MenuAction::findPanel:
        return tag == 1 || tag == 2 || tag == 3 || (tag == 7 && selected);
    case MenuAction::textFinder:
        return tag == 1 || tag == 2 || tag == 3 || tag == 11 || tag == 12 || tag == 13 || (tag == 7 && selected);
    case MenuAction::paste:
    case MenuAction::selectAll: return true;
    case MenuAction::copy: return selected;
    case MenuAction::other: break;
    }
    std::puts("Validating User Interface Item: other");
    return false;
}

void TerminalView::copy()
{
    if (!selection) return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(selection->getSelectedText()));
}

void TerminalView::paste()
{
    insertText(QGuiApplication::clipboard()->text(), true);
}

void TerminalView::selectionChanged(Terminal&)
{
    updateActions();
    if (useGpuRenderer && gpuView) {
        Buffer& buffer = terminal->buffer();
        const int last = std::min(buffer.yDisp() + terminal->rows - 1, buffer.lines().count() - 1);
        gpuDirtyRange.reset();
        if (last >= buffer.yDisp()) gpuDirtyRange = std::make_pair(buffer.yDisp(), last);
        queueGpuDisplay();
    } else {
        update();
    }
}

// ---- The find bar -----------------------------------------------------------------------------

TerminalFindBarView* TerminalView::ensureFindBar()
{
    if (findBar_) return findBar_;
    findBar_ = new TerminalFindBarView(this);
    findBar_->hide();
    QPointer<TerminalView> self(this);
    findBar_->onSearchChanged = [self](const QString& text) {
        if (self) self->handleFindBarSearchChanged(text);
    };
    findBar_->onFindNext = [self] {
        if (self) self->performFind(true);
    };
    findBar_->onFindPrevious = [self] {
        if (self) self->performFind(false);
    };
    findBar_->onClose = [self] {
        if (!self) return;
        self->findBar_->hide();
        self->setFocus();
    };
    findBar_->onOptionsChanged = [self](SearchOptions options) {
        if (!self) return;
        self->findBarOptions = options;
        if (!self->findBarTerm.empty())
            self->findNext(QString::fromStdString(self->findBarTerm), options, true);
    };
    layoutChildren();
    return findBar_;
}

void TerminalView::showFindBar(bool prefillSelection)
{
    TerminalFindBarView* bar = ensureFindBar();
    bar->show();
    bar->raise();
    layoutChildren();
    QString text;
    if (prefillSelection && selectionActive()) text = QString::fromStdString(selection->getSelectedText());
    if (text.isEmpty()) text = findPasteboardString();
    if (!text.isEmpty()) {
        // Setting the field reports the change itself; the search runs once.
        const QSignalBlocker blocker(bar->searchField);
        bar->searchField->setText(text);
        handleFindBarSearchChanged(text);
    }
    bar->searchField->setFocus();
}

void TerminalView::handleFindBarSearchChanged(const QString& text)
{
    findBarTerm = text.toStdString();
    if (text.isEmpty()) {
        clearSearch();
        return;
    }
    setFindPasteboardString(text);
    findNext(text, findBarOptions, true);
}

void TerminalView::performFind(bool next)
{
    QString term;
    if (findBar_ && findBar_->isVisible()) {
        term = findBar_->searchField->text();
    } else {
        term = findPasteboardString();
    }
    if (term.isEmpty()) return;
    setFindPasteboardString(term);
    const SearchOptions options = findBar_ ? findBar_->options() : SearchOptions{};
    if (next) {
        findNext(term, options, true);
    } else {
        findPrevious(term, options, true);
    }
}

void TerminalView::setFindPasteboardFromSelection()
{
    if (!selectionActive()) return;
    const std::string text = selection->getSelectedText();
    if (!text.empty()) setFindPasteboardString(QString::fromStdString(text));
}

// ---- Searching --------------------------------------------------------------------------------

bool TerminalView::findNext(const QString& term, const SearchOptions& options, bool scrollToResult)
{
    return find(term, options, scrollToResult, true);
}

bool TerminalView::findPrevious(const QString& term, const SearchOptions& options, bool scrollToResult)
{
    return find(term, options, scrollToResult, false);
}

bool TerminalView::find(const QString& term, const SearchOptions& options, bool scrollToResult, bool next)
{
    if (!search || !selection) return false;
    // The search continues from the current selection, in document order.
    search->lastSelection.reset();
    if (selection->active()) {
        Position a = selection->start;
        Position b = selection->end;
        if (Position::compare(b, a) == Position::CompareResult::before) std::swap(a, b);
        search->lastSelection = SearchSelection{a, b};
    }
    const std::string utf8 = term.toStdString();
    const std::optional<SearchResult> result = next ? search->findNext(utf8, options) : search->findPrevious(utf8, options);
    if (!result) {
        if (selection->active()) selection->clearSelection();
        return false;
    }
    const int cols = std::max(terminal->cols, 1);
    const int64_t endLinear = int64_t(result->row) * cols + result->col + result->size;
    const Position start{result->col, result->row};
    const Position end = result->size == 0 ? start : Position{int(endLinear % cols), int(endLinear / cols)};
    selection->setSelection(start, end);
    if (scrollToResult) scrollToReveal(result->row);
    return true;
}

void TerminalView::clearSearch()
{
    if (search) search->reset();
    if (selectionActive()) selection->clearSelection();
}

std::pair<int, int> TerminalView::searchMatchSummary(const QString& term, const SearchOptions& options, int limit)
{
    if (!search) return {0, 0};
    const std::vector<SearchResult> all = search->findAll(term.toStdString(), options, limit);
    const int total = int(all.size());
    if (search->lastResult && total > 0) {
        for (int i = 0; i < total; i++)
            if (all[size_t(i)].row == search->lastResult->row && all[size_t(i)].col == search->lastResult->col)
                return {i + 1, total};
    }
    return {0, total};
}

void TerminalView::scrollToReveal(int row)
{
    if (terminal->isCurrentBufferAlternate() || terminal->rows <= 0) return;
    Buffer& buffer = terminal->buffer();
    const int yDisp = buffer.yDisp();
    if (row >= yDisp && row <= yDisp + terminal->rows - 1) return;
    const int maxTop = std::max(buffer.lines().count() - terminal->rows, 0);
    scrollTo(std::clamp(row - terminal->rows / 2, 0, maxTop), true);
}

} // namespace corvix
