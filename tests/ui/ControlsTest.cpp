// The second part of the window layer under Wine: the static control of our
// own class, the tooltip control and the handle owners.
#include "ui/ClipboardHandles.h"
#include "ui/Dialog.h"
#include "ui/GdiHandles.h"
#include "ui/GdiplusPtr.h"
#include "ui/Static.h"
#include "ui/ToolTipCtrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr wchar_t kOwnerClass[] = L"QuillmereControlsTest";
constexpr UINT_PTR kToolId = 1011;

class Chart : public CStatic {
public:
    explicit Chart(LRESULT createResult = 0) : createResult(createResult) {}
    std::vector<UINT> seen;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(message);
        if (message == WM_CREATE) {
            Default();
            return createResult;
        }
        return CStatic::WindowProc(message, wParam, lParam);
    }

private:
    LRESULT createResult;
};

// A top-level window that answers its tooltip's text requests.
class Owner : public CWnd {
public:
    int textRequests = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == TTN_NEEDTEXTW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            textRequests += info->hdr.idFrom == kToolId ? 1 : 0;
            info->lpszText = const_cast<wchar_t*>(L"Crown and Bridge");
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class ControlsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CWnd::RegisterWindowClass(kOwnerClass));
        ASSERT_TRUE(
            owner.CreateEx(WS_EX_TOPMOST, kOwnerClass, L"owner", WS_POPUP | WS_VISIBLE, {700, 500, 900, 640}, nullptr));
    }

    Owner owner;
};

TEST_F(ControlsTest, AStaticOfOurClassSeesItsCreationAndCanRefuseIt)
{
    for (const LRESULT createResult : {0, -1}) {
        Chart chart(createResult);
        EXPECT_EQ(chart.Create(WS_VISIBLE | SS_NOTIFY, {0, 0, 100, 50}, &owner, 0xFFFF), createResult == 0);
        ASSERT_FALSE(chart.seen.empty());
        EXPECT_EQ(chart.seen.front(), static_cast<UINT>(WM_NCCREATE));
        EXPECT_EQ(std::count(chart.seen.begin(), chart.seen.end(), WM_CREATE), 1);
        if (createResult == 0) {
            EXPECT_EQ(GetDlgCtrlID(chart.GetSafeHwnd()), 0xFFFF);
            EXPECT_EQ(GetParent(chart.GetSafeHwnd()), owner.GetSafeHwnd());
        }
    }
}

TEST_F(ControlsTest, MouseMessagesRelayedToTheTooltipShowTheToolsTip)
{
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&owner, TTS_ALWAYSTIP | TTS_NOPREFIX));
    tips.Activate(true);
    tips.SetDelayTime(TTDT_INITIAL, 10);
    tips.SetDelayTime(TTDT_AUTOPOP, 30000);
    tips.SetMaxTipWidth(500);
    tips.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    ASSERT_TRUE(tips.AddTool(&owner, {10, 10, 60, 60}, kToolId));
    EXPECT_EQ(tips.GetToolCount(), 1);

    // The control checks the pointer's place before it shows a tip; another
    // test program on the display may move the pointer, so try again then.
    POINT inside{20, 20};
    ClientToScreen(owner.GetSafeHwnd(), &inside);
    for (int attempt = 0; attempt < 3 && owner.textRequests == 0; ++attempt) {
        SetCursorPos(inside.x, inside.y);
        MSG move{owner.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 20), GetTickCount(), inside};
        tips.RelayEvent(&move);
        const ULONGLONG end = GetTickCount64() + 1000;
        while (owner.textRequests == 0 && GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        }
    }
    EXPECT_EQ(owner.textRequests, 1);
    EXPECT_TRUE(IsWindowVisible(tips.GetSafeHwnd()));
    tips.Pop();
    EXPECT_FALSE(IsWindowVisible(tips.GetSafeHwnd()));
    tips.DelTool(&owner, kToolId);
    EXPECT_EQ(tips.GetToolCount(), 0);
}

TEST_F(ControlsTest, TheOwnersReleaseWhatTheyHoldAndSelectTheOldObjectBack)
{
    UniqueMemoryDC memory = UniqueMemoryDC::CompatibleWith(nullptr);
    ASSERT_TRUE(memory);
    const HGDIOBJ original = GetCurrentObject(memory.Get(), OBJ_BITMAP);
    UniqueBitmap bitmap(CreateCompatibleBitmap(ClientDC(owner.GetSafeHwnd()).Get(), 8, 8));
    {
        const ObjectSelection selected(memory.Get(), bitmap.Get());
        EXPECT_TRUE(selected);
        EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BITMAP), bitmap.Get());
    }
    EXPECT_EQ(GetCurrentObject(memory.Get(), OBJ_BITMAP), original);

    UniqueFont font(CreateFontW(36, 0, 0, 0, FW_BOLD, TRUE, 0, 0, DEFAULT_CHARSET, OUT_TT_ONLY_PRECIS, 0, 0,
                                FF_MODERN | VARIABLE_PITCH, L"Arial"));
    UniqueFont moved(std::move(font));
    EXPECT_EQ(font.Get(), nullptr);
    const std::vector<std::pair<HGDIOBJ, DWORD>> objects{
        {memory.Get(), OBJ_MEMDC}, {bitmap.Get(), OBJ_BITMAP}, {moved.Get(), OBJ_FONT}};
    for (const auto& [handle, type] : objects) {
        EXPECT_EQ(GetObjectType(handle), type);
    }
    memory.Reset();
    bitmap.Reset();
    moved.Reset();
    for (const auto& object : objects) {
        EXPECT_EQ(GetObjectType(object.first), 0u);
    }

    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, 16));
    {
        const GlobalLockScope locked(block.Get());
        EXPECT_NE(locked.Data(), nullptr);
        EXPECT_EQ(GlobalFlags(block.Get()) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(block.Get()) & GMEM_LOCKCOUNT, 0u);
    {
        // Another test program may hold the clipboard for a moment.
        std::optional<ClipboardSession> clipboard;
        for (int attempt = 0; attempt < 50 && !(clipboard.emplace(owner.GetSafeHwnd())); ++attempt) {
            Sleep(20);
        }
        EXPECT_TRUE(*clipboard);
        EXPECT_EQ(GetOpenClipboardWindow(), owner.GetSafeHwnd());
    }
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);

    const GdiplusPtr<Gdiplus::Pen> pen = MakeGdiplus<Gdiplus::Pen>(Gdiplus::Color(0xFF808080), 2.0f);
    ASSERT_NE(pen, nullptr);
    EXPECT_EQ(pen->GetLastStatus(), Gdiplus::Ok);
}

} // namespace
