#include "capture/MonitorEntry.h"

#include <algorithm>

namespace {

// The centre in 64 bits: two rectangles near the ends of the coordinate range
// must not overflow their sum.
long long CenterX(const RECT& rect)
{
    return (static_cast<long long>(rect.left) + rect.right) / 2;
}

} // namespace

bool CompareMonitorCenterX(const SMonitorEntry& a, const SMonitorEntry& b)
{
    return CenterX(a.rect) < CenterX(b.rect);
}

void SortMonitors(std::vector<SMonitorEntry>& monitors)
{
    std::stable_sort(monitors.begin(), monitors.end(), CompareMonitorCenterX);
}

POINT MonitorOrigin(const std::vector<SMonitorEntry>& monitors)
{
    if (monitors.empty()) {
        return POINT{0, 0};
    }
    POINT origin{monitors.front().rect.left, monitors.front().rect.top};
    for (const SMonitorEntry& entry : monitors) {
        origin.x = std::min(origin.x, entry.rect.left);
        origin.y = std::min(origin.y, entry.rect.top);
    }
    return origin;
}

RECT SpannedRect(POINT a, POINT b)
{
    return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}
