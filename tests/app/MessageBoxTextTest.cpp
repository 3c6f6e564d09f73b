// The fonts of the Wine prefix as the interface needs them: a message box of
// the program shows its Chinese text in real glyphs, not boxes, and GDI+
// finds "Arial". The message box is also kept as a screenshot of the display.
#include "res/resource.h"
#include "ui/Gdiplus.h"
#include "ui/ResString.h"

#include "WinTestUtil.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace {

constexpr int kGlyphCell = 48;

struct TextSearch {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK FindTextControl(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<TextSearch*>(param);
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    if (search->text == text) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForMessageBox(DWORD thread)
{
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
        for (HWND window = FindWindowW(L"#32770", L"Vuzizudo"); window != nullptr;
             window = FindWindowExW(nullptr, window, L"#32770", L"Vuzizudo")) {
            if (GetWindowThreadProcessId(window, nullptr) == thread && IsWindowVisible(window)) {
                return window;
            }
        }
        Sleep(20);
    }
    return nullptr;
}

// Each character drawn alone with `font` into a small bitmap; the number of
// different pictures. A font without the glyphs draws one box for them all.
size_t DistinctGlyphPictures(HFONT font, const std::wstring& text)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kGlyphCell, -kGlyphCell, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HGDIOBJ oldFont = SelectObject(memory, font);
    std::set<std::string> pictures;
    const RECT cell{0, 0, kGlyphCell, kGlyphCell};
    for (const wchar_t c : text) {
        FillRect(memory, &cell, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        TextOutW(memory, 4, 4, &c, 1);
        GdiFlush();
        pictures.emplace(static_cast<const char*>(bits), static_cast<size_t>(kGlyphCell) * kGlyphCell * 4);
    }
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pictures.size();
}

TEST(ChineseText, AMessageBoxDrawsEachCharacterOfItsTextAsItsOwnGlyph)
{
    const std::wstring text = LoadResString(IDS_SAVE_SETTINGS_FAILED);
    ASSERT_EQ(text, L"儲存系統設定失敗!");
    // Beside the program in the build folder, which Wine shows as drive Z:.
    const std::wstring screenshot = testutil::ProgramFolder() + L"\\message-box-chinese.png";
    DeleteFileW(screenshot.c_str());

    const DWORD boxThread = GetCurrentThreadId();
    bool boxFound = false;
    bool textFound = false;
    size_t pictures = 0;
    bool screenshotTaken = false;
    std::thread watcher([&] {
        HWND box = WaitForMessageBox(boxThread);
        boxFound = box != nullptr;
        if (!boxFound) {
            return;
        }
        TextSearch search{text};
        EnumChildWindows(box, FindTextControl, reinterpret_cast<LPARAM>(&search));
        textFound = search.found != nullptr;
        if (textFound) {
            const auto font = reinterpret_cast<HFONT>(SendMessageW(search.found, WM_GETFONT, 0, 0));
            pictures = DistinctGlyphPictures(font, text);
        }
        // Other tests' windows share the display: keep the box in front.
        SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        screenshotTaken = testutil::SaveScreenshot(screenshot);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(ShowMessageBox(IDS_SAVE_SETTINGS_FAILED), IDOK);
    watcher.join();

    ASSERT_TRUE(boxFound);
    ASSERT_TRUE(textFound);
    EXPECT_EQ(pictures, std::set<wchar_t>(text.begin(), text.end()).size());
    EXPECT_TRUE(screenshotTaken);
}

TEST(ChineseText, GdiplusFindsArial)
{
    const Gdiplus::FontFamily arial(L"Arial");
    EXPECT_EQ(arial.GetLastStatus(), Gdiplus::Ok);
}

} // namespace
