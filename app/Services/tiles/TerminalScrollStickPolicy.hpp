#pragma once

#include <cstdint>
#include <optional>

namespace brisvane::TerminalScrollStickPolicy {

// A wheel turn this recent (in seconds) means the user is reading back.
inline constexpr double kRecentUserScrollSeconds = 30.0;
// Output always pulls a view this close to the bottom (in lines) down with it.
inline constexpr int64_t kAlwaysFollowLines = 3;

// What the view looked like just before a chunk of output was fed.
struct ViewState {
    // 0 = top of the scroll-back, 1 = bottom.
    double scrollPosition = 1.0;
    int topVisibleRow = 0;
    int rows = 0;
    bool canScroll = false;
    // Since the last wheel turn over the view; nothing when there was none.
    std::optional<double> secondsSinceUserScroll;
};

// Lines between the shown top row and the bottom: nothing unless 0 < position < 1 and the top
// row is at least 1.
std::optional<int64_t> distanceFromBottomLines(double scrollPosition, int topVisibleRow);
// Whether output should take the view to the bottom: always when it cannot scroll or sits at
// the bottom; never at the top or far up; near the bottom unless the user turned the wheel in
// the last 30 s, so reading back is not interrupted.
bool shouldScrollToBottom(const ViewState& view);

} // namespace brisvane::TerminalScrollStickPolicy
