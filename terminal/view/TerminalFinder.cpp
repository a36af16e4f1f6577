// The find bar, search commands, and copy and paste.
#include "terminal/view/TerminalFinder.hpp"

#include "terminal/view/TerminalFindBarView.hpp"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>

namespace corvix {

TerminalFinder::TerminalFinder(TerminalView& view) : view_(view) {}

TerminalFinder::~TerminalFinder()
{
    // The bar calls this part; as the view's child it would outlive it by the widget's teardown.
    delete findBar_.data();
}

// Shortcuts are Ctrl+Shift+key so that Ctrl+key still reaches the program in the terminal.
void TerminalFinder::setupActions()
{
    auto add = [this](const QKeySequence& keys, auto slot) {
        auto* action = new QAction(&view_);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(action, &QAction::triggered, &view_, slot);
        view_.addAction(action);
        return action;
    };
    // Through the view's members, as the menu commands go.
    TerminalView* view = &view_;
    copyAction_ = add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [view] { view->copy(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), [view] { view->paste(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), [view] { view->selectAll(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        [view] { view->performFindPanelAction(int(FindAction::showFindInterface)); });
    updateActions();
}

void TerminalFinder::updateActions()
{
    if (copyAction_) copyAction_->setEnabled(validateUserInterfaceItem(MenuAction::copy, 0));
}

// ---- Menu commands ----------------------------------------------------------------------------

void TerminalFinder::performFindPanelAction(int tag)
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

void TerminalFinder::performTextFinderAction(int tag)
{
    if (FindAction(tag) == FindAction::hideFindInterface) {
        if (findBar_) findBar_->hide();
        view_.setFocus();
        return;
    }
    performFindPanelAction(tag);
}

bool TerminalFinder::validateUserInterfaceItem(MenuAction action, int tag)
{
    const bool selected = view_.selectionActive();
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

void TerminalFinder::copy()
{
    QGuiApplication::clipboard()->setText(QString::fromStdString(view_.selectionService().getSelectedText()));
}

void TerminalFinder::paste()
{
    view_.insertText(QGuiApplication::clipboard()->text(), true);
}

// ---- The find bar -----------------------------------------------------------------------------

TerminalFindBarView* TerminalFinder::ensureFindBar()
{
    if (findBar_) return findBar_;
    findBar_ = new TerminalFindBarView(&view_);
    findBar_->hide();
    // The bar goes with this part (see the destructor), so its callbacks may hold it.
    findBar_->onSearchChanged = [this](const QString& text) { handleFindBarSearchChanged(text); };
    findBar_->onFindNext = [this] { performFind(true); };
    findBar_->onFindPrevious = [this] { performFind(false); };
    findBar_->onClose = [this] {
        findBar_->hide();
        view_.setFocus();
    };
    findBar_->onOptionsChanged = [this](SearchOptions options) {
        findBarOptions_ = options;
        if (!findBarTerm_.empty()) findNext(QString::fromStdString(findBarTerm_), options, true);
    };
    layoutFindBar();
    return findBar_;
}

void TerminalFinder::layoutFindBar()
{
    if (!findBar_) return;
    // Top right, 8 points in, at most 520 wide and never past the left edge.
    const int width = view_.width();
    const int w = std::min({findBar_->sizeHint().width(), 520, std::max(width - 16, 0)});
    findBar_->setGeometry(width - 8 - w, 8, w, findBar_->sizeHint().height());
}

void TerminalFinder::showFindBar(bool prefillSelection)
{
    TerminalFindBarView* bar = ensureFindBar();
    bar->show();
    bar->raise();
    layoutFindBar();
    QString text;
    if (prefillSelection && view_.selectionActive())
        text = QString::fromStdString(view_.selectionService().getSelectedText());
    if (text.isEmpty()) text = findPasteboardString();
    if (!text.isEmpty()) {
        // Setting the field reports the change itself; the search runs once.
        const QSignalBlocker blocker(bar->searchField);
        bar->searchField->setText(text);
        handleFindBarSearchChanged(text);
    }
    bar->searchField->setFocus();
}

void TerminalFinder::handleFindBarSearchChanged(const QString& text)
{
    findBarTerm_ = text.toStdString();
    if (text.isEmpty()) {
        clearSearch();
        return;
    }
    setFindPasteboardString(text);
    findNext(text, findBarOptions_, true);
}

void TerminalFinder::performFind(bool next)
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

void TerminalFinder::setFindPasteboardFromSelection()
{
    if (!view_.selectionActive()) return;
    const std::string text = view_.selectionService().getSelectedText();
    if (!text.empty()) setFindPasteboardString(QString::fromStdString(text));
}

// ---- Searching --------------------------------------------------------------------------------

bool TerminalFinder::findNext(const QString& term, const SearchOptions& options, bool scrollToResult)
{
    return find(term, options, scrollToResult, true);
}

bool TerminalFinder::findPrevious(const QString& term, const SearchOptions& options, bool scrollToResult)
{
    return find(term, options, scrollToResult, false);
}

bool TerminalFinder::find(const QString& term, const SearchOptions& options, bool scrollToResult, bool next)
{
    SearchService* search = view_.searchService();
    if (!search) return false;
    SelectionService& selection = view_.selectionService();
    // The search continues from the current selection, in document order.
    search->lastSelection.reset();
    if (selection.active()) {
        Position a = selection.start;
        Position b = selection.end;
        if (Position::compare(b, a) == Position::CompareResult::before) std::swap(a, b);
        search->lastSelection = SearchSelection{a, b};
    }
    const std::string utf8 = term.toStdString();
    const std::optional<SearchResult> result =
        next ? search->findNext(utf8, options) : search->findPrevious(utf8, options);
    if (!result) {
        if (selection.active()) selection.clearSelection();
        return false;
    }
    const int cols = std::max(view_.getTerminal().cols, 1);
    const int64_t endLinear = int64_t(result->row) * cols + result->col + result->size;
    const Position start{result->col, result->row};
    const Position end = result->size == 0 ? start : Position{int(endLinear % cols), int(endLinear / cols)};
    selection.setSelection(start, end);
    if (scrollToResult) scrollToReveal(result->row);
    return true;
}

void TerminalFinder::clearSearch()
{
    if (SearchService* search = view_.searchService()) search->reset();
    if (view_.selectionActive()) view_.selectionService().clearSelection();
}

std::pair<int, int> TerminalFinder::searchMatchSummary(const QString& term, const SearchOptions& options, int limit)
{
    SearchService* search = view_.searchService();
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

void TerminalFinder::scrollToReveal(int row)
{
    Terminal& terminal = view_.getTerminal();
    if (terminal.isCurrentBufferAlternate() || terminal.rows <= 0) return;
    Buffer& buffer = terminal.buffer();
    const int yDisp = buffer.yDisp();
    if (row >= yDisp && row <= yDisp + terminal.rows - 1) return;
    const int maxTop = std::max(buffer.lines().count() - terminal.rows, 0);
    view_.scrollTo(std::clamp(row - terminal.rows / 2, 0, maxTop), true);
}

} // namespace corvix
