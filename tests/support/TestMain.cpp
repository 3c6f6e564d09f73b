// One main for every test program. Under Windows it also brings up what the
// program's own start-up would: common controls, Winsock and GDI+.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include "ui/Gdiplus.h"
#include <winsock2.h>
#endif

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    const int result = RUN_ALL_TESTS();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    WSACleanup();
    return result;
#else
    return RUN_ALL_TESTS();
#endif
}
