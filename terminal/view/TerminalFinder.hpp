#pragma once

#include "terminal/selection/SearchOptions.hpp"
#include "terminal/view/TerminalFindBarView.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QPointer>
#include <QString>

#include <string>
#include <utility>

class QAction;

namespace corvix {

// The view's find bar and search commands, and its copy, paste and select-all actions. Matches
// show as the selection.
class TerminalFinder {
public:
    using FindAction = TerminalView::FindAction;
    using MenuAction = TerminalView::MenuAction;

    explicit TerminalFinder(TerminalView& view);
    ~TerminalFinder();
    TerminalFinder(const TerminalFinder&) = delete;
    TerminalFinder& operator=(const TerminalFinder&) = delete;

    // The view's shortcuts: Ctrl+Shift+C, V, A and F.
    void setupActions();
    // Copy follows whether there is a selection.
    void updateActions();

    void performFindPanelAction(int tag);
    void performTextFinderAction(int tag);
    bool validateUserInterfaceItem(MenuAction action, int tag);
    void copy();
    void paste();
    bool findNext(const QString& term, const SearchOptions& options, bool scrollToResult);
    bool findPrevious(const QString& term, const SearchOptions& options, bool scrollToResult);
    void clearSearch();
    std::pair<int, int> searchMatchSummary(const QString& term, const SearchOptions& options, int limit);
    TerminalFindBarView* findBar() const { return findBar_; }
    void showFindBar(bool prefillSelection);
    // Places the bar at the view's top right; the view calls it when its size changes.
    void layoutFindBar();

private:
    TerminalFindBarView* ensureFindBar();
    void performFind(bool next);
    void setFindPasteboardFromSelection();
    void handleFindBarSearchChanged(const QString& text);
    void scrollToReveal(int row);
    bool find(const QString& term, const SearchOptions& options, bool scrollToResult, bool next);

    TerminalView& view_;
    QPointer<TerminalFindBarView> findBar_;
    // The last text typed into the bar, and its options.
    std::string findBarTerm_;
    SearchOptions findBarOptions_;
    QAction* copyAction_ = nullptr;
};

} // namespace corvix
