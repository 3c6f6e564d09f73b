// The display monitors as the region picker and the capture toolbar see them,
// and the arithmetic both do on them.
#pragma once

#include <windows.h>

#include <vector>

struct SMonitorEntry {
    HMONITOR monitor = nullptr;
    RECT rect{}; // the whole monitor, screen coordinates
};

// The order of the monitor list: by the horizontal centre of the rectangles,
// left first. Equal centres compare equal, so a stable sort keeps the
// system's order for them.
bool CompareMonitorCenterX(const SMonitorEntry& a, const SMonitorEntry& b);

// Sorts `monitors` by CompareMonitorCenterX, keeping the enumeration order of
// monitors with equal centres.
void SortMonitors(std::vector<SMonitorEntry>& monitors);

// The screen position of the virtual-screen photograph's first pixel: the
// smallest left and the smallest top over the monitors; (0, 0) for none.
POINT MonitorOrigin(const std::vector<SMonitorEntry>& monitors);

// The rectangle spanned by two corners given in either order.
RECT SpannedRect(POINT a, POINT b);
