// Asks the running main window to close, as its close box does: the program
// then ends through its own stop, which saves the settings and deletes its
// temporary files. The run command uses it when it is interrupted. Ends with
// 0 when a main window took the request, 1 when none runs.
#include "app/AppIds.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const HWND running = FindWindowW(kMainDialogClass, nullptr);
    return running != nullptr && PostMessageW(running, WM_CLOSE, 0, 0) ? 0 : 1;
}
