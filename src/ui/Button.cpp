#include "ui/Button.h"

int CButton::GetCheck() const
{
    return static_cast<int>(SendMessageW(hwnd, BM_GETCHECK, 0, 0));
}

void CButton::SetCheck(int state)
{
    SendMessageW(hwnd, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}
