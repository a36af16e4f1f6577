#include "app/Services/tiles/TerminalScrollStickPolicy.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brisvane::TerminalScrollStickPolicy {

std::optional<int64_t> distanceFromBottomLines(double scrollPosition, int topVisibleRow)
{
    if (!(scrollPosition > 0.0 && scrollPosition < 1.0) || topVisibleRow < 1) return std::nullopt;
    // The position is top / (lines - rows), so this recovers the scrollable line count.
    const double total = std::round(static_cast<double>(topVisibleRow) / scrollPosition);
    if (std::isinf(total)) return std::nullopt;
    const double distance = std::max(0.0, total - topVisibleRow);
    constexpr int64_t kLargest = std::numeric_limits<int64_t>::max();
    if (distance >= static_cast<double>(kLargest)) return kLargest;
    return static_cast<int64_t>(distance);
}

bool shouldScrollToBottom(const ViewState& view)
{
    if (!view.canScroll) return true;
    const double position = view.scrollPosition;
    if (std::isnan(position)) return false;
    if (position >= 1.0) return true;
    if (position <= 0.0) return false;
    const std::optional<int64_t> distance = distanceFromBottomLines(position, view.topVisibleRow);
    if (!distance) return false;
    if (*distance < kAlwaysFollowLines) return true;
    // A quarter of the screen, at least the always-follow distance.
    const int64_t threshold = std::lround(std::max(view.rows, 0) / 4.0);
    if (*distance > std::max(kAlwaysFollowLines, threshold)) return false;
    const bool recentScroll = view.secondsSinceUserScroll && *view.secondsSinceUserScroll <= kRecentUserScrollSeconds;
    return !recentScroll;
}

} // namespace brisvane::TerminalScrollStickPolicy
