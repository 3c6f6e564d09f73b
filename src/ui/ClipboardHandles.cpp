#include "ui/ClipboardHandles.h"

ClipboardSession::ClipboardSession(HWND owner, DWORD waitMs) : open(OpenClipboard(owner) != FALSE)
{
    const DWORD start = GetTickCount();
    while (!open && GetTickCount() - start < waitMs) {
        Sleep(OPEN_RETRY_PAUSE_MS);
        open = OpenClipboard(owner) != FALSE;
    }
}
