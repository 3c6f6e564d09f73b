// The window layer under Wine: modal loops, owners, bindings, reflection and
// the exception guard, driven through real windows of this thread.
#include "res/resource.h"
#include "ui/Dialog.h"
#include "ui/ExceptionGuard.h"
#include "ui/ResString.h"
#include "ui/WinApp.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constexpr UINT WM_RUN_STEP = WM_APP + 1;
constexpr UINT WM_THROW_IN_PRETRANSLATE = WM_APP + 2;
constexpr wchar_t kWindowClass[] = L"QuillmereLayerTest";
constexpr RECT kRect{0, 0, 320, 200};
constexpr UINT kBoundMs = 5000;
constexpr WPARAM kReflectMark = 0x5150;

// A dialog that runs `step` once its modal loop pumps, throws from its
// pre-translation when asked, and answers WM_NCHITTEST with the caption
// where the default says client area.
class StepDialog : public CDialogEx {
public:
    explicit StepDialog(std::function<void(StepDialog&)> step = {}, CWnd* parent = nullptr)
        : CDialogEx(IDD_SERVICE_DIALOG, parent), step(std::move(step))
    {
    }

    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_THROW_IN_PRETRANSLATE) {
            throw std::runtime_error("pretranslate");
        }
        return CDialogEx::PreTranslateMessage(msg);
    }

protected:
    BOOL OnInitDialog() override
    {
        PostMessageW(hwnd, WM_RUN_STEP, 0, 0);
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_RUN_STEP && step) {
            step(*this);
            return 0;
        }
        if (message == WM_NCHITTEST) {
            const LRESULT hit = Default();
            return hit == HTCLIENT ? HTCAPTION : hit;
        }
        return CDialogEx::WindowProc(message, wParam, lParam);
    }

private:
    std::function<void(StepDialog&)> step;
};

class RecordingWindow : public CWnd {
public:
    std::vector<UINT> seen;
    bool ncDestroyed = false;
    std::vector<UINT> reflected;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(message);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    // Takes the reflected messages that the test sends, marked by their wParam.
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override
    {
        if (wParam != kReflectMark) {
            return FALSE;
        }
        reflected.push_back(message);
        *result = static_cast<LRESULT>(message) + 1;
        return TRUE;
    }
    void PostNcDestroy() override { ncDestroyed = true; }
};

bool stuck = false;

void CALLBACK EndStuckLoops(HWND, UINT, UINT_PTR, DWORD)
{
    stuck = true;
    PostQuitMessage(0);
}

// DoModal, but a loop that does not end by itself fails the test instead of hanging it.
template <typename Run> auto RunBoundedCall(Run run)
{
    stuck = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, kBoundMs, EndStuckLoops);
    const auto result = run();
    KillTimer(nullptr, timer);
    EXPECT_FALSE(stuck) << "a modal loop did not end by itself";
    return result;
}

INT_PTR RunBounded(CDialogEx& dialog)
{
    return RunBoundedCall([&] { return dialog.DoModal(); });
}

void CALLBACK ThrowingTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    CallGuarded(0, []() -> int { throw std::runtime_error("timer"); });
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found)
{
    wchar_t caption[32] = {};
    GetWindowTextW(window, caption, 32);
    if (IsWindowVisible(window) && caption == LoadResString(IDS_APP_TITLE)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Presses OK in the first message box that this thread shows within the
// bound and gives its text; empty when none showed.
std::future<std::wstring> PressOkInMessageBox()
{
    const DWORD thread = GetCurrentThreadId();
    return std::async(std::launch::async, [thread] {
        HWND box = nullptr;
        for (const ULONGLONG end = GetTickCount64() + kBoundMs; box == nullptr && GetTickCount64() < end; Sleep(20)) {
            EnumThreadWindows(thread, FindMessageBox, reinterpret_cast<LPARAM>(&box));
        }
        wchar_t text[256] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return std::wstring(text);
    });
}

class WindowLayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CWnd::RegisterWindowClass(kWindowClass));
        SetApplicationThread();
    }
    void TearDown() override
    {
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        EXPECT_FALSE(TakeEscapedException());
    }
};

TEST_F(WindowLayerTest, AModalDialogDisablesItsTopLevelOwnerAndEnablesItAgain)
{
    struct Case {
        const char* name;
        bool childAsParent, mainActive, mainIsAppWindow;
    };
    for (const Case& c :
         {Case{"a child control as parent", true, false, false}, Case{"the active window", false, true, false},
          Case{"the application's main window", false, false, true}}) {
        RecordingWindow main;
        ASSERT_TRUE(main.CreateEx(0, kWindowClass, L"main", WS_OVERLAPPEDWINDOW, kRect, nullptr));
        ShowWindow(main.GetSafeHwnd(), c.mainActive ? SW_SHOW : SW_SHOWNA);
        RecordingWindow child;
        ASSERT_TRUE(child.CreateEx(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE, {0, 0, 20, 20}, main.GetSafeHwnd(), 7));
        CWinApp app;
        app.mainWnd = c.mainIsAppWindow ? &main : nullptr;
        bool mainEnabled = true, childEnabled = false, dialogActive = false;
        HWND owner = nullptr;
        StepDialog dialog(
            [&](StepDialog& self) {
                mainEnabled = IsWindowEnabled(main.GetSafeHwnd());
                childEnabled = IsWindowEnabled(child.GetSafeHwnd());
                owner = GetWindow(self.GetSafeHwnd(), GW_OWNER);
                dialogActive = GetActiveWindow() == self.GetSafeHwnd();
                main.seen.clear();
                self.EndDialog(IDOK);
            },
            c.childAsParent ? &child : nullptr);
        EXPECT_EQ(RunBounded(dialog), IDOK) << c.name;
        EXPECT_FALSE(mainEnabled) << c.name;
        EXPECT_TRUE(childEnabled) << c.name;
        EXPECT_EQ(owner, main.GetSafeHwnd()) << c.name;
        EXPECT_TRUE(IsWindowEnabled(main.GetSafeHwnd())) << c.name;
        // Whether the dialog became active, and whether the owner stays
        // active, depends on the display's focus, which other test programs
        // share: the owner must have been activated when the dialog went.
        if (dialogActive) {
            EXPECT_NE(std::find(main.seen.begin(), main.seen.end(), WM_ACTIVATE), main.seen.end()) << c.name;
        }
    }
}

// A dialog of a template at the origin that moves or shows itself during its
// initialisation, or leaves its place to the layer.
class PlacingDialog : public StepDialog {
public:
    enum class Init { LeavePlace, Move, Show };
    static constexpr POINT kMovedTo{37, 29};

    PlacingDialog(Init init, CWnd* parent, std::function<void(StepDialog&)> step)
        : StepDialog(std::move(step), parent), init(init)
    {
    }

protected:
    BOOL OnInitDialog() override
    {
        if (init == Init::Move) {
            SetWindowPos(hwnd, nullptr, kMovedTo.x, kMovedTo.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (init == Init::Show) {
            ShowWindow(hwnd, SW_SHOWNA);
        }
        return StepDialog::OnInitDialog();
    }

private:
    Init init;
};

POINT CentreOf(const RECT& rect)
{
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

TEST_F(WindowLayerTest, ADialogThatLeavesItsPlaceOpenOpensCentredOnItsOwnerOrTheWorkArea)
{
    using Init = PlacingDialog::Init;
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    enum class Expect { OwnerCentre, WorkCentre, MovedTo, OwnerCorner, WorkLeftEdge };
    const struct {
        const char* name;
        RECT owner; // empty: no owner
        bool ownerShown;
        Init init;
        Expect expect;
    } cases[] = {
        {"an owner off the screen's centre", {100, 80, 700, 480}, true, Init::LeavePlace, Expect::OwnerCentre},
        {"no owner", {}, false, Init::LeavePlace, Expect::WorkCentre},
        {"a hidden owner", {100, 80, 700, 480}, false, Init::LeavePlace, Expect::WorkCentre},
        // Centred on it, the dialog would start left of the work area.
        {"an owner mostly off the screen", {-700, 80, -100, 480}, true, Init::LeavePlace, Expect::WorkLeftEdge},
        {"a dialog that moves itself", {100, 80, 700, 480}, true, Init::Move, Expect::MovedTo},
        {"a dialog that shows itself", {100, 80, 700, 480}, true, Init::Show, Expect::OwnerCorner},
    };
    for (const auto& c : cases) {
        RecordingWindow owner;
        const bool hasOwner = !IsRectEmpty(&c.owner);
        if (hasOwner) {
            ASSERT_TRUE(owner.CreateEx(0, kWindowClass, L"owner", WS_OVERLAPPEDWINDOW, c.owner, nullptr));
            ShowWindow(owner.GetSafeHwnd(), c.ownerShown ? SW_SHOWNA : SW_HIDE);
        }
        RECT opened{};
        PlacingDialog dialog(c.init, hasOwner ? &owner : nullptr, [&](StepDialog& self) {
            GetWindowRect(self.GetSafeHwnd(), &opened);
            self.EndDialog(IDOK);
        });
        EXPECT_EQ(RunBounded(dialog), IDOK) << c.name;
        const POINT centre = CentreOf(opened);
        switch (c.expect) {
        case Expect::OwnerCentre:
            EXPECT_NEAR(centre.x, CentreOf(c.owner).x, 1) << c.name;
            EXPECT_NEAR(centre.y, CentreOf(c.owner).y, 1) << c.name;
            break;
        case Expect::WorkCentre:
            EXPECT_NEAR(centre.x, CentreOf(work).x, 1) << c.name;
            EXPECT_NEAR(centre.y, CentreOf(work).y, 1) << c.name;
            break;
        case Expect::WorkLeftEdge:
            EXPECT_EQ(opened.left, work.left) << c.name;
            EXPECT_NEAR(centre.y, CentreOf(c.owner).y, 1) << c.name;
            break;
        case Expect::MovedTo:
            EXPECT_EQ(opened.left, PlacingDialog::kMovedTo.x) << c.name;
            EXPECT_EQ(opened.top, PlacingDialog::kMovedTo.y) << c.name;
            break;
        case Expect::OwnerCorner:
            // Where the dialog manager put it: in the owner's top-left corner.
            EXPECT_LT(std::abs(opened.left - c.owner.left), 40) << c.name;
            EXPECT_LT(std::abs(opened.top - c.owner.top), 60) << c.name;
            break;
        }
    }
}

TEST_F(WindowLayerTest, TheLoopEndsWhenItsWindowIsDestroyedWithItsOwner)
{
    RecordingWindow main;
    ASSERT_TRUE(main.CreateEx(0, kWindowClass, L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kRect, nullptr));
    StepDialog dialog([&](StepDialog&) { DestroyWindow(main.GetSafeHwnd()); }, &main);
    EXPECT_EQ(RunBounded(dialog), -1);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST_F(WindowLayerTest, NestedLoopsEndWithTheirOwnResults)
{
    INT_PTR innerResult = 0;
    StepDialog outer([&](StepDialog& self) {
        StepDialog inner([&](StepDialog& innerSelf) {
            self.EndDialog(7);
            innerSelf.EndDialog(3);
        });
        innerResult = inner.DoModal();
    });
    EXPECT_EQ(RunBounded(outer), 7);
    EXPECT_EQ(innerResult, 3);
}

TEST_F(WindowLayerTest, KeysForTheOwnerThatANestedLoopDisabledReachNeitherItNorItsDialogManager)
{
    int runs = 0;
    StepDialog outer([&](StepDialog& self) {
        if (++runs > 1) {
            self.EndDialog(7);
            return;
        }
        const HWND owner = self.GetSafeHwnd();
        StepDialog inner([owner](StepDialog& innerSelf) {
            // Esc, and Alt+F4, for the owner that still holds the focus.
            PostMessageW(owner, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(owner, WM_KEYUP, VK_ESCAPE, 0xC0000001);
            PostMessageW(owner, WM_SYSKEYDOWN, VK_F4, 0x20000000);
            PostMessageW(innerSelf.GetSafeHwnd(), WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(inner.DoModal(), IDOK);
        PostMessageW(owner, WM_RUN_STEP, 0, 0);
    });
    EXPECT_EQ(RunBounded(outer), 7);
}

TEST_F(WindowLayerTest, AQuitFromANestedLoopEndsEveryLoopAndLeavesAMessageBoxAfterwardsOpen)
{
    INT_PTR innerResult = 0;
    StepDialog outer([&](StepDialog&) {
        StepDialog inner([](StepDialog&) { PostQuitMessage(0); });
        innerResult = inner.DoModal();
    });
    EXPECT_EQ(RunBounded(outer), -1);
    EXPECT_EQ(innerResult, -1);
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    // A loop that ends by EndDialog before it reaches a quit posted with it.
    StepDialog quitAndEnd([](StepDialog& self) {
        PostQuitMessage(0);
        self.EndDialog(IDOK);
    });
    EXPECT_EQ(RunBounded(quitAndEnd), IDOK);
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    auto pressed = PressOkInMessageBox();
    EXPECT_EQ(ShowMessageBox(IDS_SAVE_SETTINGS_FAILED), IDOK);
    EXPECT_EQ(pressed.get(), LoadResString(IDS_SAVE_SETTINGS_FAILED));
}

TEST_F(WindowLayerTest, WindowsOfOurClassSubclassedControlsAndForeignUserDataKeepTheirBindings)
{
    RecordingWindow plain;
    ASSERT_TRUE(plain.CreateEx(0, kWindowClass, L"plain", WS_OVERLAPPEDWINDOW, kRect, nullptr));
    EXPECT_EQ(plain.seen.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(std::count(plain.seen.begin(), plain.seen.end(), WM_CREATE), 1);

    StepDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ShowWindow(dialog.GetSafeHwnd(), SW_SHOW);
    RecordingWindow button;
    ASSERT_TRUE(button.SubclassDlgItem(IDOK, &dialog));
    // A foreign library keeps its own data in the windows' user data.
    int foreignData = 0x5a5a5a5a;
    const HWND foreign =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 9, 9, dialog.GetSafeHwnd(), nullptr, nullptr, nullptr);
    for (const HWND window : {foreign, dialog.GetSafeHwnd(), button.GetSafeHwnd()}) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&foreignData));
    }
    EXPECT_EQ(CWnd::FromHandle(foreign), nullptr);
    EXPECT_EQ(CWnd::FromHandle(dialog.GetSafeHwnd()), &dialog);
    PostMessageW(foreign, WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(CDialogEx::PumpMessage());

    // The control keeps its own default processing; its parent reflects to it.
    button.SetWindowText(L"Go");
    EXPECT_EQ(button.GetWindowText(), L"Go");
    const HWND dialogWindow = dialog.GetSafeHwnd();
    const HWND control = button.GetSafeHwnd();
    NMHDR header{control, IDOK, NM_CLICK};
    DRAWITEMSTRUCT drawItem{ODT_BUTTON, IDOK, 0, ODA_DRAWENTIRE, 0, control, nullptr, {}, 0};
    MEASUREITEMSTRUCT measureItem{ODT_BUTTON, IDOK, 0, 0, 0, 0};
    const std::vector<std::pair<UINT, LPARAM>> toChild{{WM_CTLCOLORBTN, reinterpret_cast<LPARAM>(control)},
                                                       {WM_NOTIFY, reinterpret_cast<LPARAM>(&header)},
                                                       {WM_DRAWITEM, reinterpret_cast<LPARAM>(&drawItem)},
                                                       {WM_MEASUREITEM, reinterpret_cast<LPARAM>(&measureItem)}};
    for (const auto& [message, lParam] : toChild) {
        EXPECT_EQ(SendMessageW(dialogWindow, message, kReflectMark, lParam), static_cast<LRESULT>(message) + 1);
    }
    EXPECT_EQ(button.reflected, (std::vector<UINT>{WM_CTLCOLORBTN, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM}));

    // A handler takes the dialog manager's default result and changes it.
    RECT client;
    GetClientRect(dialogWindow, &client);
    POINT centre{client.right / 2, client.bottom / 2};
    ClientToScreen(dialogWindow, &centre);
    EXPECT_EQ(SendMessageW(dialogWindow, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)), HTCAPTION);

    DestroyWindow(plain.GetSafeHwnd());
    EXPECT_TRUE(plain.ncDestroyed);
    EXPECT_EQ(plain.GetSafeHwnd(), nullptr);
}

// A thread that bound windows must end without damaging the heap the other
// threads share. The damage shows at once when freed memory is poisoned, as
// Wine's heap checking does (window_layer_thread_exit_tests).
TEST_F(WindowLayerTest, ThreadsThatBoundWindowsEndWithTheHeapIntact)
{
    for (int round = 0; round < 5; ++round) {
        std::thread owner([] {
            std::vector<std::unique_ptr<RecordingWindow>> windows;
            for (int i = 0; i < 12; ++i) {
                windows.push_back(std::make_unique<RecordingWindow>());
                ASSERT_TRUE(windows.back()->CreateEx(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, kRect, nullptr));
            }
        });
        owner.join();
    }
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr));
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    for (const HANDLE heap : heaps) {
        EXPECT_TRUE(HeapValidate(heap, 0, nullptr)) << heap;
    }
}

TEST_F(WindowLayerTest, AnExceptionAtAnyEntryPointEndsTheLoopsAndIsKept)
{
    std::thread worker;
    const std::vector<std::pair<std::string, std::function<void(StepDialog&)>>> cases{
        {"handler", [](StepDialog&) { throw std::runtime_error("handler"); }},
        {"timer", [](StepDialog&) { SetTimer(nullptr, 0, 1, ThrowingTimer); }},
        {"pretranslate", [](StepDialog& self) { PostMessageW(self.GetSafeHwnd(), WM_THROW_IN_PRETRANSLATE, 0, 0); }},
        {"thread",
         [&](StepDialog&) {
             worker = std::thread([] { CallGuarded(0, []() -> int { throw std::runtime_error("thread"); }); });
         }},
    };
    for (const auto& [name, step] : cases) {
        StepDialog dialog(step);
        EXPECT_EQ(RunBounded(dialog), -1) << name;
        if (worker.joinable()) {
            worker.join();
        }
        const std::exception_ptr escaped = TakeEscapedException();
        ASSERT_TRUE(escaped) << name;
        try {
            std::rethrow_exception(escaped);
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), name);
        }
    }
}

TEST_F(WindowLayerTest, TheRunRoutineReportsAnEscapedExceptionAndFails)
{
    class ThrowingApp : public CWinApp {
        BOOL InitInstance() override
        {
            StepDialog dialog([](StepDialog&) { throw std::runtime_error("handler"); });
            dialog.DoModal();
            return FALSE;
        }
    } app;
    auto pressed = PressOkInMessageBox();
    EXPECT_EQ(RunBoundedCall([&] { return RunApplication(app); }), kExitAfterException);
    EXPECT_EQ(pressed.get(), LoadResString(IDS_UNEXPECTED_ERROR));
}

} // namespace
