// The chart's context menu driven with real clicks, its commands, and the
// capture hot key.
#include "ChartTestHost.h"
#include "PopupDriver.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "capture/ToolbarDlg.h"
#include "chart/CaptureHotKey.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace charttest;

namespace {

using testutil::ClipboardText;
using testutil::SetClipboardText;

constexpr RECT HOST_RECT = {600, 300, 1000, 600};
constexpr char USER_TEMPLATE[] = "[%BODY_BGN%]C:[%ccc%][%BODY_END%][%NONE_BGN%]-[%NONE_END%]";

struct RecordingListener : CToothStaticListener {
    void OnToothChartEvent(int event, int) override { events.push_back(event); }
    void OnOpenImage(const std::wstring& path) override { paths.push_back(path); }
    std::vector<int> events;
    std::vector<std::wstring> paths;
};

// A grey ramp with stripes: the sharpened view levels and sharpens it into
// other pixels.
bool WriteRampImage(const std::wstring& path, int width, int height)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int x = 0; x < width; ++x) {
        const BYTE level = static_cast<BYTE>(60 + x * 60 / width + ((x / 10) % 2) * 8);
        for (int y = 0; y < height; ++y) {
            bitmap.SetPixel(x, y, Gdiplus::Color(level, level, level));
        }
    }
    return SaveAsBmp(bitmap, path);
}

// The clipboard's file drop, byte for byte; empty when there is none.
std::string ClipboardFileDrop()
{
    std::string bytes;
    if (!OpenClipboard(nullptr)) {
        return bytes;
    }
    if (HANDLE data = GetClipboardData(CF_HDROP)) {
        if (const auto* block = static_cast<const char*>(GlobalLock(data))) {
            bytes.assign(block, GlobalSize(data));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return bytes;
}

std::string LittleEndian(uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

class ChartCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCaptureBar = g_systemSetting.captureBar;
        savedRegion = g_systemSetting.captureRect;
        g_systemSetting.captureBar = false;
        host = std::make_unique<ChartHost>(HOST_RECT);
        ASSERT_TRUE(host->created);
        SetWindowPos(host->GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        image = folder.File(L"image.bmp");
        ASSERT_TRUE(WriteRampImage(image, 400, 300));
        ASSERT_TRUE(Chart().SetImageFiles({image}));
        Chart().listener = &listener;
        GetCurrentDirectoryW(MAX_PATH, previousFolder);
        SetCurrentDirectoryW(folder.Path().c_str());
        CreateDirectoryW(folder.File(L"Record").c_str(), nullptr);
        testutil::WriteBytes(folder.File(L"Record\\User.tpl"), USER_TEMPLATE);
    }
    void TearDown() override
    {
        if (Chart().toolbar != nullptr) {
            ShowWindow(Chart().toolbar->GetSafeHwnd(), SW_HIDE);
        }
        host.reset();
        SetCurrentDirectoryW(previousFolder);
        g_systemSetting.captureBar = savedCaptureBar;
        g_systemSetting.captureRect = savedRegion;
        DeleteTempFiles();
    }

    CToothStatic& Chart() { return host->chart; }
    HWND ChartWindow() { return host->chart.GetSafeHwnd(); }
    void Command(UINT id) { SendMessageW(ChartWindow(), WM_COMMAND, id, 0); }

    // Right-clicks the chart at `client` and chooses the item at `choose`.
    std::vector<PopupItem> ChooseFromContextMenu(int choose, POINT client = {150, 120})
    {
        POINT screen = client;
        ClientToScreen(ChartWindow(), &screen);
        PopupDriver driver(screen, choose);
        EXPECT_TRUE(driver.PumpUntilDone());
        EXPECT_TRUE(driver.opened);
        return driver.items;
    }

    testutil::ScratchFolder folder;
    std::unique_ptr<ChartHost> host;
    std::wstring image;
    RecordingListener listener;
    // Every shell call takes the default verb of the target's type.
    testutil::ShellRecorder shell;
    wchar_t previousFolder[MAX_PATH] = {};
    bool savedCaptureBar = false;
    RECT savedRegion{};
};

TEST_F(ChartCommandsTest, TheContextMenuOffersSixItemsAndItsFifthShowsAndHidesTheToolbarWithoutTheSetting)
{
    const std::vector<std::wstring> texts = {L"載入全口X光片", L"複製牙齒病徵資訊至剪貼簿", L"複製影像檔至剪貼簿",
                                             L"編輯病例模板",  L"顯示擷取工作列",           L"顯示使用者設定"};
    const std::vector<UINT> commands = {ID_LOAD_IMAGE,           ID_COPY_FINDINGS,      ID_COPY_IMAGE_FILE,
                                        ID_EDIT_RECORD_TEMPLATE, ID_TOGGLE_CAPTURE_BAR, ID_USER_SETTINGS};
    const struct {
        const char* step;
        bool checkedAtOpen;
        bool shownAfter;
    } steps[] = {
        {"no toolbar yet: unchecked, choosing shows it", false, true},
        {"shown: checked, choosing hides it", true, false},
        {"hidden: unchecked, choosing shows it again", false, true},
    };
    for (const auto& s : steps) {
        const std::vector<PopupItem> items = ChooseFromContextMenu(4);
        ASSERT_EQ(items.size(), 6u) << s.step;
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].text, texts[i]) << s.step;
            EXPECT_EQ(items[i].command, commands[i]) << s.step;
            EXPECT_EQ(items[i].checked, i == 4 && s.checkedAtOpen) << s.step;
        }
        EXPECT_EQ(Chart().toolbarShown, s.shownAfter) << s.step;
        ASSERT_NE(Chart().toolbar, nullptr) << s.step;
        EXPECT_EQ(IsWindowVisible(Chart().toolbar->GetSafeHwnd()) != FALSE, s.shownAfter) << s.step;
        EXPECT_FALSE(g_systemSetting.captureBar) << s.step;
    }
}

TEST_F(ChartCommandsTest, TheFirstItemAsksForAnImageAndTheDialogCommandsRunTheirDialogsModally)
{
    ChooseFromContextMenu(0);
    EXPECT_EQ(listener.events, std::vector<int>{CHART_EVENT_LOAD_IMAGE});

    const struct {
        const char* name;
        const wchar_t* caption;
        int menuItem; // -1: the command has no menu item and is sent
        UINT command;
    } dialogs[] = {
        {"template editor", L"病例模板編輯", 3, 0},
        {"settings", L"設定", 5, 0},
        {"system test", L"系統測試", -1, ID_SYSTEM_TEST},
    };
    for (const auto& d : dialogs) {
        // The dialog's modal loop runs inside the command; it is closed from here.
        std::atomic<bool> dialogSeen{false};
        std::thread closer([&] {
            const DWORD start = GetTickCount();
            while (GetTickCount() - start < 10000) {
                HWND dialog = testutil::FindVisibleWindow(L"#32770", d.caption);
                if (dialog != nullptr) {
                    dialogSeen = true;
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                    return;
                }
                Sleep(20);
            }
        });
        if (d.menuItem >= 0) {
            ChooseFromContextMenu(d.menuItem);
        } else {
            Command(d.command);
        }
        testutil::PumpUntil([&] { return dialogSeen.load(); }, 10000);
        closer.join();
        EXPECT_TRUE(dialogSeen) << d.name;
    }
}

TEST_F(ChartCommandsTest, TheCopyItemsPutTheFindingsTextAndTheImageFileOnTheClipboard)
{
    // As an accepted analysis files it.
    Chart().displayedTeeth[ToothKey(0, 36)] = Tooth(36, FINDING_CAVITY, {50, 50, 100, 100});
    Chart().analysedGeneration = Chart().displayGeneration;
    SetClipboardText(L"previous");
    ChooseFromContextMenu(1);
    EXPECT_EQ(ClipboardText(), L"C:36");

    ChooseFromContextMenu(2);
    const std::string drop = ClipboardFileDrop();
    ASSERT_GE(drop.size(), 22u);
    EXPECT_EQ(drop.substr(0, 4), LittleEndian(20));
    const auto* header = reinterpret_cast<const DROPFILES*>(drop.data());
    std::wstring named;
    if (header->fWide) {
        named = reinterpret_cast<const wchar_t*>(drop.data() + 20);
    } else {
        const std::string narrow(drop.c_str() + 20);
        named.resize(narrow.size());
        named.resize(
            static_cast<size_t>(MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                                    named.data(), static_cast<int>(named.size()))));
    }
    EXPECT_EQ(named, image);
}

TEST_F(ChartCommandsTest, TheFileDropOfAnEightBytePathIsThirtyBytesLaidOutAsTheHeaderThePathAndTwoZeros)
{
    Chart().imageFiles = {L"C:\\a.bmp"};
    Chart().currentIndex = 0;
    Command(ID_COPY_IMAGE_FILE);
    const std::string expected = LittleEndian(20) + LittleEndian(0) + LittleEndian(0) + LittleEndian(0) +
                                 LittleEndian(0) + std::string("C:\\a.bmp") + std::string(2, '\0');
    EXPECT_EQ(ClipboardFileDrop(), expected);
}

TEST_F(ChartCommandsTest, APathOutsideTheAnsiCodePageGoesAsAWideFileDrop)
{
    if (GetACP() == CP_UTF8) {
        GTEST_SKIP() << "every path converts to a UTF-8 code page";
    }
    const std::wstring path = L"C:\\\U0001F9B7\\牙.bmp";
    Chart().imageFiles = {path};
    Chart().currentIndex = 0;
    Command(ID_COPY_IMAGE_FILE);
    const std::string drop = ClipboardFileDrop();
    const std::string widePath(reinterpret_cast<const char*>(path.data()), path.size() * sizeof(wchar_t));
    EXPECT_EQ(drop, LittleEndian(20) + LittleEndian(0) + LittleEndian(0) + LittleEndian(0) + LittleEndian(1) +
                        widePath + std::string(4, '\0'));
}

TEST_F(ChartCommandsTest, WithoutAnImageOrWithTheClipboardHeldTheCopyLeavesTheClipboardAlone)
{
    SetClipboardText(L"previous");
    Chart().currentIndex = -1;
    Command(ID_COPY_IMAGE_FILE);
    EXPECT_EQ(ClipboardText(), L"previous");

    Chart().currentIndex = 0;
    ASSERT_TRUE(OpenClipboard(host->GetSafeHwnd()));
    Command(ID_COPY_IMAGE_FILE);
    CloseClipboard();
    EXPECT_EQ(ClipboardText(), L"previous");
    EXPECT_TRUE(ClipboardFileDrop().empty());
}

TEST_F(ChartCommandsTest, TheSharpenedViewIsMadeOnceAndKeptWhileItIsSwitchedOffAndOnAgain)
{
    const Frame plain = ReadFrame(ChartWindow());
    ASSERT_EQ(Chart().sharpenedImage, nullptr);

    Command(ID_TOGGLE_SHARPEN);
    ASSERT_TRUE(Chart().showSharpened);
    Gdiplus::Bitmap* const copy = Chart().sharpenedImage.get();
    ASSERT_NE(copy, nullptr);
    const Frame sharpened = ReadFrame(ChartWindow());
    EXPECT_NE(sharpened.pixels, plain.pixels);

    Command(ID_TOGGLE_SHARPEN);
    EXPECT_FALSE(Chart().showSharpened);
    EXPECT_EQ(Chart().sharpenedImage.get(), copy);
    EXPECT_EQ(ReadFrame(ChartWindow()).pixels, plain.pixels);

    Command(ID_TOGGLE_SHARPEN);
    EXPECT_EQ(Chart().sharpenedImage.get(), copy);
    EXPECT_EQ(ReadFrame(ChartWindow()).pixels, sharpened.pixels);
}

TEST_F(ChartCommandsTest, ElevenKindsOpenTheirOwnWebPageAndUnknownHasNone)
{
    for (UINT id = ID_OPEN_REFERENCE_FIRST - 1; id <= ID_OPEN_REFERENCE_LAST + 1; ++id) {
        Command(id);
    }
    ASSERT_EQ(shell.opened.size(), 11u);
    for (size_t i = 0; i < shell.opened.size(); ++i) {
        EXPECT_EQ(shell.opened[i].rfind(L"https://", 0), 0u) << i;
        for (size_t j = 0; j < i; ++j) {
            EXPECT_NE(shell.opened[i], shell.opened[j]) << i << " " << j;
        }
    }
}

// A hot key of the test's own thread.
constexpr int PROBE_ID = 77;

// Whether another window could take the combination now.
bool CombinationFree()
{
    UINT modifiers = 0;
    UINT key = 0;
    if (!CCaptureHotKey::Combination(&modifiers, &key)) {
        return false;
    }
    if (!RegisterHotKey(nullptr, PROBE_ID, modifiers, key)) {
        return false;
    }
    UnregisterHotKey(nullptr, PROBE_ID);
    return true;
}

void PressCombination()
{
    UINT modifiers = 0;
    UINT key = 0;
    ASSERT_TRUE(CCaptureHotKey::Combination(&modifiers, &key));
    std::vector<WORD> keys;
    if ((modifiers & MOD_CONTROL) != 0) {
        keys.push_back(VK_CONTROL);
    }
    if ((modifiers & MOD_ALT) != 0) {
        keys.push_back(VK_MENU);
    }
    if ((modifiers & MOD_SHIFT) != 0) {
        keys.push_back(VK_SHIFT);
    }
    keys.push_back(static_cast<WORD>(key));
    testutil::PressChord(keys);
}

TEST_F(ChartCommandsTest, TheArmedHotKeyTurnsEachPressIntoACaptureRequestUntilItIsReleased)
{
    g_systemSetting.captureRect = {10, 10, 90, 70};
    UINT modifiers = 0;
    UINT key = 0;
    ASSERT_TRUE(CCaptureHotKey::Combination(&modifiers, &key));
    EXPECT_EQ(modifiers, UINT{MOD_CONTROL | MOD_ALT});
    EXPECT_EQ(key, UINT{'Q'});
    ASSERT_TRUE(CombinationFree());

    Command(ID_TOGGLE_HOTKEY);
    ASSERT_TRUE(Chart().hotKeyOn);
    EXPECT_FALSE(CombinationFree());
    PressCombination();
    EXPECT_TRUE(testutil::PumpUntil([&] { return listener.paths.size() == 1; }, 5000));
    PressCombination();
    EXPECT_TRUE(testutil::PumpUntil([&] { return listener.paths.size() == 2; }, 5000));

    Command(ID_TOGGLE_HOTKEY);
    EXPECT_FALSE(Chart().hotKeyOn);
    EXPECT_TRUE(CombinationFree());
    // Released, the combination goes to whoever takes it next: here the test
    // itself, so that its arrival tells the press was handled.
    ASSERT_TRUE(RegisterHotKey(nullptr, PROBE_ID, modifiers, key));
    PressCombination();
    MSG probe{};
    const auto probeArrived = [&] {
        return PeekMessageW(&probe, reinterpret_cast<HWND>(-1), WM_HOTKEY, WM_HOTKEY, PM_REMOVE) != FALSE;
    };
    EXPECT_TRUE(testutil::PumpUntil(probeArrived, 5000));
    UnregisterHotKey(nullptr, PROBE_ID);
    EXPECT_TRUE(testutil::PumpUntilQueueEmpty());
    EXPECT_EQ(listener.paths.size(), 2u);
}

TEST_F(ChartCommandsTest, TheHotKeyIsReleasedWhenTheChartGoes)
{
    Command(ID_TOGGLE_HOTKEY);
    ASSERT_FALSE(CombinationFree());
    DestroyWindow(ChartWindow());
    EXPECT_TRUE(CombinationFree());
}

} // namespace
