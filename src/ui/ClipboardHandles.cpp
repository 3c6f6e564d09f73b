#include "ui/ClipboardHandles.h"

ClipboardSession::ClipboardSession(HWND owner) : open(OpenClipboard(owner) != FALSE)
{
    const DWORD start = GetTickCount();
    while (!open && GetTickCount() - start < OPEN_WAIT_MS) {
        Sleep(OPEN_RETRY_PAUSE_MS);
        open = OpenClipboard(owner) != FALSE;
    }
}
