// The view's find, copy and paste commands, handed to its find part.
#include "terminal/view/TerminalView.hpp"

#include "terminal/view/TerminalFinder.hpp"

#include <algorithm>

namespace corvix {

void TerminalView::performFindPanelAction(int tag)
{
    finder_->performFindPanelAction(tag);
}

void TerminalView::performTextFinderAction(int tag)
{
    finder_->performTextFinderAction(tag);
}

bool TerminalView::validateUserInterfaceItem(MenuAction action, int tag)
{
    return finder_->validateUserInterfaceItem(action, tag);
}

void TerminalView::copy()
{
    finder_->copy();
}

void TerminalView::paste()
{
    finder_->paste();
}

bool TerminalView::findNext(const QString& term, const SearchOptions& options, bool scrollToResult)
{
    return finder_->findNext(term, options, scrollToResult);
}

bool TerminalView::findPrevious(const QString& term, const SearchOptions& options, bool scrollToResult)
{
    return finder_->findPrevious(term, options, scrollToResult);
}

void TerminalView::clearSearch()
{
    finder_->clearSearch();
}

std::pair<int, int> TerminalView::searchMatchSummary(const QString& term, const SearchOptions& options, int limit)
{
    return finder_->searchMatchSummary(term, options, limit);
}

TerminalFindBarView* TerminalView::findBar() const
{
    return finder_->findBar();
}

void TerminalView::showFindBar(bool prefillSelection)
{
    finder_->showFindBar(prefillSelection);
}

void TerminalView::selectionChanged(Terminal&)
{
    finder_->updateActions();
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

} // namespace corvix
