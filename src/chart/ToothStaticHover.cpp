// The chart under the pointer: hover, tooltips and the findings menu.
#include "chart/ToothStatic.h"

#include "chart/MultiSelMenu.h"
#include "res/resource.h"
#include "ui/ResString.h"

#include <cstdint>

namespace {

// Tooltip tools are identified by the tooth number alone, as number + this;
// only numbers in this range get one.
constexpr int32_t TIP_TOOTH_OFFSET = 1010;
constexpr int32_t TIP_FIRST_TOOTH = -999;
constexpr int32_t TIP_LAST_TOOTH = 60;

bool HasTipTool(int32_t toothNumber)
{
    return toothNumber >= TIP_FIRST_TOOTH && toothNumber <= TIP_LAST_TOOTH;
}

// The findings menu offers the kinds of bits 2^1 to 2^12: item k has the
// command ID_FINDING_CROWN_BRIDGE - 1 + k and the text IDS_FINDING_HEALTHY + k.
constexpr int FIRST_MENU_KIND = 1;
constexpr int LAST_MENU_KIND = 12;

UINT MenuCommandOfKind(int k)
{
    return static_cast<UINT>(ID_FINDING_CROWN_BRIDGE - FIRST_MENU_KIND + k);
}

std::wstring KindName(int k)
{
    return LoadResString(static_cast<UINT>(IDS_FINDING_HEALTHY + k));
}

} // namespace

BOOL CToothStatic::PreTranslateMessage(MSG* msg)
{
    switch (msg->message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        toolTipCtrl.RelayEvent(msg);
        break;
    default:
        break;
    }
    return CStatic::PreTranslateMessage(msg);
}

bool CToothStatic::PassesFilter(const CToothInfo& tooth) const
{
    return (tooth.findingMask & displayFilter) != 0;
}

CToothInfo* CToothStatic::GetHoveredTooth()
{
    if (hoveredKey == 0) {
        return nullptr;
    }
    const auto found = displayedTeeth.find(hoveredKey);
    return found == displayedTeeth.end() ? nullptr : &found->second;
}

void CToothStatic::OnMouseMove(UINT, POINT point)
{
    heardPointer = point;
    ClientToScreen(hwnd, &heardPointer);
    pointerUnheard = false;
    TrackMouseLeave();
    bool changed = false;
    if (CToothInfo* hovered = GetHoveredTooth()) {
        if (PassesFilter(*hovered) && PtInRect(&hovered->screenBox, point)) {
            WatchPointer();
            return;
        }
        hovered->flags &= ~TOOTH_HOVER;
        changed = true;
    }
    hoveredKey = 0;
    for (auto& [key, tooth] : displayedTeeth) {
        if (PassesFilter(tooth) && PtInRect(&tooth.screenBox, point)) {
            tooth.flags |= TOOTH_HOVER;
            hoveredKey = key;
            changed = true;
            break;
        }
    }
    if (changed) {
        toolTipCtrl.Pop();
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    WatchPointer();
}

void CToothStatic::TrackMouseLeave()
{
    // A move sent while the pointer is elsewhere (another program driving
    // the chart) would otherwise be undone at once by the leave it asks for.
    POINT cursor{};
    if (trackingLeave || !GetCursorPos(&cursor) || WindowFromPoint(cursor) != hwnd) {
        return;
    }
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd;
    trackingLeave = TrackMouseEvent(&track) != FALSE;
}

// Wine reports the leave only when the pointer leaves the chart's rectangle,
// never when a window over the chart (the capture toolbar, a dialog, a window
// of a program Wine does not know) takes it: while a tooth is hovered, the
// pointer is watched. Nothing else needs watching, so no timer runs meanwhile.
void CToothStatic::WatchPointer()
{
    if (hoveredKey != 0 && trackingLeave) {
        SetTimer(hwnd, TIMER_POINTER_WATCH, POINTER_WATCH_MS, nullptr);
    } else {
        KillTimer(hwnd, TIMER_POINTER_WATCH);
    }
}

void CToothStatic::OnTimer(UINT_PTR timerId)
{
    if (timerId == TIMER_CLIPBOARD_RETRY) {
        chartClipboard.OnRetryTimer();
        return;
    }
    POINT cursor{};
    if (timerId != TIMER_POINTER_WATCH || !GetCursorPos(&cursor)) {
        return;
    }
    const HWND under = WindowFromPoint(cursor);
    if (under == toolTipCtrl.GetSafeHwnd()) {
        return;
    }
    // Over a window Wine does not know, Wine still names the chart as the
    // window under the pointer, but the pointer moves without the chart
    // hearing of it. A move it hears a moment later is only late: the leave
    // waits for a second look.
    if (under == hwnd) {
        const bool unheard = cursor.x != heardPointer.x || cursor.y != heardPointer.y;
        if (!unheard || !pointerUnheard) {
            pointerUnheard = unheard;
            return;
        }
    }
    TRACKMOUSEEVENT cancel{};
    cancel.cbSize = sizeof cancel;
    cancel.dwFlags = TME_CANCEL | TME_LEAVE;
    cancel.hwndTrack = hwnd;
    TrackMouseEvent(&cancel);
    OnMouseLeave();
}

void CToothStatic::OnMouseLeave()
{
    trackingLeave = false;
    pointerUnheard = false;
    KillTimer(hwnd, TIMER_POINTER_WATCH);
    // A menu opened on the chart takes the pointer over its own window; its
    // commands still act on the tooth the pointer was on.
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (GetGUIThreadInfo(GetCurrentThreadId(), &thread) && (thread.flags & GUI_INMENUMODE) != 0) {
        return;
    }
    CToothInfo* hovered = GetHoveredTooth();
    hoveredKey = 0;
    if (hovered != nullptr) {
        hovered->flags &= ~TOOTH_HOVER;
        toolTipCtrl.Pop();
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void CToothStatic::OnLButtonUp(UINT, POINT point)
{
    const CToothInfo* hovered = GetHoveredTooth();
    if (hovered != nullptr && PassesFilter(*hovered) && PtInRect(&hovered->screenBox, point)) {
        OnEditFindings();
    }
}

void CToothStatic::OnEditFindings()
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(hwnd, &point);
    ShowFindingMenu(point);
}

void CToothStatic::ShowFindingMenu(const POINT& point)
{
    const CToothInfo* tooth = GetHoveredTooth();
    if (tooth == nullptr) {
        return;
    }
    const uint32_t key = hoveredKey;
    const uint32_t checked = tooth->findingMask == FINDING_HEALTHY ? 0 : tooth->findingMask;
    CMultiSelMenu menu;
    if (!menu.CreatePopupMenu()) {
        return;
    }
    for (int k = FIRST_MENU_KIND; k <= LAST_MENU_KIND; ++k) {
        const uint32_t bit = 1u << k;
        if ((bit & FILTER_ALL_FINDINGS) != 0) {
            menu.AppendCheckItem(MenuCommandOfKind(k), KindName(k), (checked & bit) != 0);
        }
    }
    POINT screen = point;
    ClientToScreen(hwnd, &screen);
    const uint32_t generation = displayGeneration;
    if (!menu.Track(this, screen)) {
        return;
    }
    // The menu's loop went on dispatching messages: a hand-off, a capture or
    // the timer may have shown another patient's teeth meanwhile, filed under
    // the same keys. The marks were meant for the teeth the menu opened on.
    if (displayGeneration != generation) {
        return;
    }
    const auto edited = displayedTeeth.find(key);
    if (edited == displayedTeeth.end()) {
        return;
    }
    uint32_t mask = 0;
    for (int k = FIRST_MENU_KIND; k <= LAST_MENU_KIND; ++k) {
        if (menu.IsChecked(MenuCommandOfKind(k))) {
            mask |= 1u << k;
        }
    }
    edited->second.findingMask = mask != 0 ? mask : FINDING_HEALTHY;
    OnCopyFindings();
    if (listener != nullptr) {
        listener->OnToothChartEvent(CHART_EVENT_FINDINGS_EDITED, 0);
    }
}

void CToothStatic::AddToothTips()
{
    for (const auto& entry : displayedTeeth) {
        const CToothInfo& tooth = entry.second;
        if (PassesFilter(tooth) && HasTipTool(tooth.toothNumber)) {
            toolTipCtrl.AddTool(this, tooth.screenBox, static_cast<UINT_PTR>(tooth.toothNumber + TIP_TOOTH_OFFSET));
        }
    }
}

void CToothStatic::RemoveToothTips()
{
    if (toolTipCtrl.GetSafeHwnd() == nullptr) {
        return;
    }
    for (const auto& entry : displayedTeeth) {
        if (HasTipTool(entry.second.toothNumber)) {
            toolTipCtrl.DelTool(this, static_cast<UINT_PTR>(entry.second.toothNumber + TIP_TOOTH_OFFSET));
        }
    }
}

BOOL CToothStatic::OnToolTipNeedText(UINT, NMHDR* header, LRESULT*)
{
    const CToothInfo* tooth = GetHoveredTooth();
    if (tooth == nullptr || !HasTipTool(tooth->toothNumber)) {
        return FALSE;
    }
    tooltipText.clear();
    const uint32_t kinds = tooth->findingMask & FILTER_ALL_FINDINGS;
    for (int k = FIRST_MENU_KIND; k <= LAST_MENU_KIND; ++k) {
        if ((kinds & (1u << k)) != 0) {
            if (!tooltipText.empty()) {
                tooltipText += L'\n';
            }
            tooltipText += KindName(k);
        }
    }
    // The notification's own buffer holds 79 characters, fewer than the
    // names of eight kinds: the control reads the whole text from here, which
    // stays until the next request.
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->hinst = nullptr;
    info->szText[0] = L'\0';
    info->lpszText = tooltipText.data();
    return TRUE;
}
