#include "ui/ResString.h"

#include "res/resource.h"

std::wstring LoadResString(UINT id)
{
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return std::wstring(text, static_cast<size_t>(length));
}

int ShowMessageBox(UINT textId, UINT type)
{
    if ((type & MB_ICONMASK) == 0) {
        type |= MB_ICONEXCLAMATION;
    }
    return MessageBoxW(GetActiveWindow(), LoadResString(textId).c_str(), LoadResString(IDS_APP_TITLE).c_str(), type);
}
