// Drives the next popup menu of the test's UI thread from a second thread
// with real input: optionally a right click that opens it, then, once the
// menu shows, a note of its items and clicks on some of them, and Esc into
// the menu's own queue if it is still open then. The UI thread pumps its
// messages meanwhile.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace charttest {

struct PopupItem {
    std::wstring text;
    UINT command = 0;
    bool checked = false;
};

class PopupDriver {
public:
    static constexpr int CLOSE_WITH_ESCAPE = -1;

    // `rightClickAt` in screen coordinates; `choose` is an item's position.
    PopupDriver(std::optional<POINT> rightClickAt, int choose);
    // Clicks the items at `clicks` (positions) in turn, as in a menu whose
    // clicks toggle marks and leave it open; when `clickWhen` is given, not
    // before it holds.
    PopupDriver(std::optional<POINT> rightClickAt, std::vector<int> clicks,
                const std::atomic<bool>* clickWhen = nullptr);
    PopupDriver(const PopupDriver&) = delete;
    PopupDriver& operator=(const PopupDriver&) = delete;
    ~PopupDriver() { Join(); }

    void Join();
    // Pumps the calling thread's messages until the driver is done and the
    // command it chose has been dispatched; false when it never finished.
    bool PumpUntilDone();

    std::atomic<bool> opened{false};
    std::atomic<bool> done{false};
    std::atomic<bool> closedWithEscape{false}; // the menu was still open after the clicks
    std::vector<PopupItem> items; // read after Join or PumpUntilDone

private:
    void Drive(std::optional<POINT> rightClickAt, const std::vector<int>& clicks, const std::atomic<bool>* clickWhen);

    std::thread thread;
};

// The popup menu window once one shows, or null after `boundMs`.
HWND VisibleMenuWindow(DWORD boundMs);

// One mouse event at `at` (screen coordinates) through SendInput.
void SendMouse(DWORD flags, POINT at);

// A left click on the centre of the item at `position` of the open `menu`.
void ClickMenuItem(HMENU menu, int position);

} // namespace charttest
