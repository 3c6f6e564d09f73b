// The main dialog under Wine: its layout, parked controls, navigation and
// title, the buttons behind Enter, the file dialog, the about box, the
// hand-off, and start-up without its program folder or images.
#include "MainWindowHost.h"

#include "analysis/FindingKind.h"
#include "app/AppIds.h"
#include "chart/ToothStaticListener.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace mainwindowtest;

namespace {

constexpr wchar_t CANNOT_START[] = L"無法啟動辨識程序。";
constexpr wchar_t JPEG_FILTER[] = L"JPEG Files (*.jpg;*.jpeg;*.jpe)";

RECT ChildRectIn(HWND parent, HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Enter as the dialog's modal loop hands it over, with `focus` focused.
void PressEnterOn(HWND dialog, HWND focus)
{
    SetFocus(focus);
    MSG msg{focus, WM_KEYDOWN, VK_RETURN, 0, GetTickCount(), {}};
    if (!IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

TEST_F(MainWindowTest, TheLayoutFollowsTheClientAreaInHundredths)
{
    const struct {
        LONG width, height;
        int unitX, unitY;
        RECT chart; // left, top, right, bottom in the client
        int filterRowTop;
    } cases[] = {
        {1900, 1000, 19, 10, {19, 10, 19 + 1881, 10 + 960}, 980},
        {1600, 900, 16, 9, {16, 9, 16 + 1584, 9 + 864}, 882},
        {100, 100, 1, 1, {1, 1, 100, 97}, 98},
        // 99 pixels or less give a unit of 0: the chart has no size.
        {99, 1000, 0, 10, {0, 10, 0, 970}, 980},
        {1000, 99, 10, 0, {10, 0, 1000, 0}, 0},
    };
    for (const auto& c : cases) {
        dialog.LayoutForClient(RECT{0, 0, c.width, c.height});
        EXPECT_EQ(dialog.unitX, c.unitX) << c.width;
        EXPECT_EQ(dialog.unitY, c.unitY) << c.height;
        const RECT chart = ChildRectIn(dialog.GetSafeHwnd(), dialog.toothChart.GetSafeHwnd());
        EXPECT_TRUE(EqualRect(&chart, &c.chart)) << c.width << "x" << c.height << ": " << chart.left << "," << chart.top
                                                 << "," << chart.right << "," << chart.bottom;
        EXPECT_EQ(dialog.filterRowTop, c.filterRowTop);
        EXPECT_EQ(dialog.filterRowBottom, c.height);
    }
}

TEST_F(MainWindowTest, TheWindowFillsTheScreen)
{
    RECT window{};
    GetWindowRect(dialog.GetSafeHwnd(), &window);
    EXPECT_TRUE(IsZoomed(dialog.GetSafeHwnd()));
    RECT client{};
    GetClientRect(dialog.GetSafeHwnd(), &client);
    EXPECT_TRUE(EqualRect(&client, &dialog.clientRect));
    EXPECT_EQ(dialog.unitX, client.right / 100);
    EXPECT_EQ(dialog.unitY, client.bottom / 100);
}

TEST_F(MainWindowTest, ANewClientAreaLaysTheChartAndTheShownFilterBoxesOutAgainInsideIt)
{
    const HWND window = dialog.GetSafeHwnd();
    int32_t number = 11;
    for (const uint32_t kind : {FINDING_MISSING, FINDING_CAVITY, FINDING_FILLING, FINDING_UNKNOWN, FINDING_POST}) {
        dialog.toothChart.displayedTeeth[ToothKey(0, number)] = Tooth(number, kind);
        ++number;
    }
    dialog.RefreshFindingList();
    // A window manager's frame takes a little of the screen; a smaller
    // screen takes much.
    for (const SIZE size : {SIZE{1594, 875}, SIZE{1000, 560}, SIZE{1600, 900}}) {
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_TRUE(EqualRect(&client, &dialog.clientRect)) << size.cx;
        EXPECT_EQ(dialog.unitY, client.bottom / 100) << size.cx;
        RECT inside{};
        for (const int id :
             {0xFFFF, IDC_CHECK_MISSING, IDC_CHECK_CAVITY, IDC_CHECK_FILLING, IDC_CHECK_UNKNOWN, IDC_CHECK_POST}) {
            const RECT rect = ChildRect(id);
            EXPECT_TRUE(Visible(id) && IntersectRect(&inside, &rect, &client) && EqualRect(&inside, &rect))
                << size.cx << "x" << size.cy << " " << id << ": " << rect.bottom << " in " << client.bottom;
        }
    }
}

TEST_F(MainWindowTest, TheListLabelAndButtonsAreParkedYetTheButtonsKeepTheirTabStops)
{
    for (const int id : {IDC_FINDING_LIST, IDC_PAGE_LABEL, IDC_BTN_LOAD, IDC_BTN_PREV, IDC_BTN_NEXT, IDC_BTN_ANALYSE}) {
        const RECT rect = ChildRect(id);
        const RECT parked{-1, -1, 0, 0};
        EXPECT_TRUE(EqualRect(&rect, &parked)) << id;
        EXPECT_TRUE(Visible(id)) << id;
    }
    for (const int id : {IDC_BTN_LOAD, IDC_BTN_PREV, IDC_BTN_NEXT, IDC_BTN_ANALYSE}) {
        EXPECT_TRUE(GetWindowLongW(dialog.GetDlgItem(id), GWL_STYLE) & WS_TABSTOP) << id;
    }
    // The list keeps its two columns and full-row selection.
    const HWND list = dialog.GetDlgItem(IDC_FINDING_LIST);
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 2);
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(list) & LVS_EX_FULLROWSELECT);
}

TEST_F(MainWindowTest, NavigationStatesFollowTheImagesAndTheCurrentIndex)
{
    const struct {
        std::vector<std::wstring> files;
        int index;
        bool prev, next, analyse;
        const wchar_t* label;
        const wchar_t* title;
    } cases[] = {
        {{}, -1, false, false, false, L"", L"Quillmere"},
        {{L"C:\\a.jpg"}, 0, false, false, true, L"1 / 1", L"Quillmere - C:\\a.jpg"},
        {{L"C:\\a.jpg", L"C:\\b.jpg", L"C:\\c.jpg"}, 0, false, true, true, L"1 / 3", L"Quillmere - C:\\a.jpg"},
        {{L"C:\\a.jpg", L"C:\\b.jpg", L"C:\\c.jpg"}, 1, true, true, true, L"2 / 3", L"Quillmere - C:\\b.jpg"},
        {{L"C:\\a.jpg", L"C:\\b.jpg", L"C:\\c.jpg"}, 2, true, false, true, L"3 / 3", L"Quillmere - C:\\c.jpg"},
        // Images but none current: the label counts from 0, no path in the title.
        {{L"C:\\a.jpg", L"C:\\b.jpg"}, -1, false, false, true, L"0 / 2", L"Quillmere"},
        {{L""}, 0, false, false, true, L"1 / 1", L"Quillmere"},
    };
    for (const auto& c : cases) {
        dialog.toothChart.imageFiles = c.files;
        dialog.toothChart.currentIndex = c.index;
        dialog.UpdateNavigation();
        const std::wstring at = std::to_wstring(c.files.size()) + L"/" + std::to_wstring(c.index);
        EXPECT_EQ(IsWindowEnabled(dialog.GetDlgItem(IDC_BTN_PREV)) != FALSE, c.prev) << at;
        EXPECT_EQ(IsWindowEnabled(dialog.GetDlgItem(IDC_BTN_NEXT)) != FALSE, c.next) << at;
        EXPECT_EQ(IsWindowEnabled(dialog.GetDlgItem(IDC_BTN_ANALYSE)) != FALSE, c.analyse) << at;
        EXPECT_TRUE(IsWindowEnabled(dialog.GetDlgItem(IDC_BTN_LOAD))) << at;
        wchar_t label[64] = {};
        GetDlgItemTextW(dialog.GetSafeHwnd(), IDC_PAGE_LABEL, label, 64);
        EXPECT_STREQ(label, c.label) << at;
        EXPECT_EQ(dialog.GetWindowText(), c.title) << at;
    }
}

TEST_F(MainWindowTest, WithoutAFocusNavigationFocusesPreviousThenNextThenLoad)
{
    const struct {
        int index;
        int focused;
    } cases[] = {{1, IDC_BTN_PREV}, {0, IDC_BTN_NEXT}, {-1, IDC_BTN_LOAD}};
    for (const auto& c : cases) {
        dialog.toothChart.imageFiles = {L"C:\\a.jpg", L"C:\\b.jpg", L"C:\\c.jpg"};
        dialog.toothChart.currentIndex = c.index;
        SetFocus(nullptr);
        dialog.UpdateNavigation();
        EXPECT_EQ(GetFocus(), dialog.GetDlgItem(c.focused)) << c.index;
    }
    // A focus that exists is left where it is.
    SetFocus(dialog.GetDlgItem(IDC_BTN_ANALYSE));
    dialog.toothChart.currentIndex = 1;
    dialog.UpdateNavigation();
    EXPECT_EQ(GetFocus(), dialog.GetDlgItem(IDC_BTN_ANALYSE));
}

TEST_F(MainWindowTest, EnterRunsTheFocusedButtonAndNeverEndsTheDialog)
{
    const std::wstring a = Image(L"a.jpg");
    const std::wstring b = Image(L"b.jpg");
    const std::wstring c = Image(L"c.jpg");
    server.SetScenario(Reply("50,50,40,40,11\n", "11,c\n"));
    dialog.standInFileDialog = true;

    const struct {
        int button;
        int startIndex;
        int endIndex;
        int fileDialogs;
        size_t requests;
    } cases[] = {
        {IDC_BTN_LOAD, 1, 1, 1, 0},
        {IDC_BTN_NEXT, 1, 2, 0, 0},
        {IDC_BTN_PREV, 1, 0, 0, 0},
        {IDC_BTN_ANALYSE, 1, 1, 0, 1},
    };
    for (const auto& row : cases) {
        ASSERT_TRUE(dialog.toothChart.SetImageFiles({a, b, c}));
        dialog.toothChart.currentIndex = row.startIndex;
        dialog.toothChart.LoadCurrentImage();
        dialog.UpdateNavigation();
        dialog.fileDialogsShown = 0;
        const size_t requestsBefore = server.Requests().size();

        PressEnterOn(dialog.GetSafeHwnd(), dialog.GetDlgItem(row.button));

        EXPECT_EQ(dialog.toothChart.currentIndex, row.endIndex) << row.button;
        EXPECT_EQ(dialog.fileDialogsShown, row.fileDialogs) << row.button;
        EXPECT_EQ(server.Requests().size() - requestsBefore, row.requests) << row.button;
        EXPECT_TRUE(IsWindow(dialog.GetSafeHwnd()));
        EXPECT_TRUE(IsWindowVisible(dialog.GetSafeHwnd()));
    }
}

TEST_F(MainWindowTest, EnterOnLoadOpensTheFileDialogForJpegFilesCentredOnTheWindow)
{
    ModalWatcher watcher(GetCurrentThreadId());
    PressEnterOn(dialog.GetSafeHwnd(), dialog.GetDlgItem(IDC_BTN_LOAD));
    const auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].HasText(JPEG_FILTER));
    RECT window{};
    GetWindowRect(dialog.GetSafeHwnd(), &window);
    const RECT& opened = seen[0].place;
    EXPECT_NEAR((opened.left + opened.right) / 2, (window.left + window.right) / 2, 2);
    EXPECT_NEAR((opened.top + opened.bottom) / 2, (window.top + window.bottom) / 2, 2);
    // Cancelled: nothing changed.
    EXPECT_TRUE(dialog.toothChart.imageFiles.empty());
    EXPECT_EQ(dialog.GetWindowText(), L"Quillmere");
}

TEST_F(MainWindowTest, LoadingAFileShowsItWithoutAnalysingIt)
{
    const std::wstring path = Image(L"chosen.jpg");
    dialog.standInFileDialog = true;
    dialog.chosenFile = path;
    dialog.OnBnClickedLoad();
    EXPECT_EQ(dialog.toothChart.imageFiles, std::vector<std::wstring>{path});
    EXPECT_EQ(dialog.GetWindowText(), L"Quillmere - " + path);
    EXPECT_TRUE(server.Requests().empty());
}

// The chart's load-image command goes through the file dialog and then
// analyses whatever is shown; cancelled with no image, that analysis cannot
// start and only then the user is told.
TEST_F(MainWindowTest, TheChartsLoadCommandCancelledAnalysesTheImageShownOrReportsNone)
{
    server.SetScenario(Reply("50,50,40,40,11\n", "11,c\n"));
    const struct {
        bool imageShown;
        size_t requests;
        bool reported;
    } cases[] = {{true, 1, false}, {false, 0, true}};
    for (const auto& c : cases) {
        if (c.imageShown) {
            ASSERT_TRUE(dialog.toothChart.SetImageFiles({Image(L"shown.jpg")}));
        } else {
            ASSERT_TRUE(dialog.toothChart.SetImageFiles({}));
        }
        const size_t before = server.Requests().size();
        std::vector<SeenWindow> seen;
        {
            ModalWatcher watcher(GetCurrentThreadId());
            SendMessageW(dialog.toothChart.GetSafeHwnd(), WM_COMMAND, ID_LOAD_IMAGE, 0);
            seen = watcher.Seen();
        }
        ASSERT_GE(seen.size(), 1u) << c.imageShown;
        EXPECT_TRUE(seen[0].HasText(JPEG_FILTER)) << c.imageShown;
        EXPECT_EQ(server.Requests().size() - before, c.requests) << c.imageShown;
        const bool reported = seen.size() == 2 && seen[1].caption == L"Vuzizudo" && seen[1].HasText(CANNOT_START);
        EXPECT_EQ(reported, c.reported) << c.imageShown;
        EXPECT_EQ(seen.size(), c.reported ? 2u : 1u) << c.imageShown;
    }
}

TEST_F(MainWindowTest, AnalyseReportsAnAnalysisThatCannotStart)
{
    dialog.toothChart.imageFiles = {folder.File(L"missing.jpg")};
    dialog.toothChart.currentIndex = 0;
    ModalWatcher watcher(GetCurrentThreadId());
    dialog.OnBnClickedAnalyse();
    const auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].HasText(CANNOT_START));
}

TEST_F(MainWindowTest, TheSystemMenuOpensTheAboutBox)
{
    wchar_t item[64] = {};
    GetMenuStringW(GetSystemMenu(dialog.GetSafeHwnd(), FALSE), IDM_ABOUTBOX, item, 64, MF_BYCOMMAND);
    EXPECT_STREQ(item, L"About Quillmere...");

    ModalWatcher watcher(GetCurrentThreadId());
    SendMessageW(dialog.GetSafeHwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    const auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, L"About Quillmere");
    EXPECT_TRUE(seen[0].HasText(L"Quillmere, Version G0.9-Vozoz2021-1023-2-s-a-x86"));
    EXPECT_TRUE(seen[0].HasText(L"OK"));
}

TEST_F(MainWindowTest, TwoHandOffsWithinTheTimerOpenAndAnalyseOnlyTheSecond)
{
    server.SetScenario(Reply("50,50,40,40,11\n", "11,c\n"));
    const std::wstring first = Image(L"first.jpg");
    const std::wstring second = Image(L"second.jpg");
    for (const std::wstring& path : {first, second}) {
        std::vector<wchar_t> text(path.begin(), path.end());
        text.push_back(L'\0');
        COPYDATASTRUCT data{0, static_cast<DWORD>(text.size() * sizeof(wchar_t)), text.data()};
        SendMessageW(dialog.GetSafeHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    ASSERT_TRUE(testutil::PumpUntil([this] { return !dialog.toothChart.displayedTeeth.empty(); }, 5000));
    // No later open is due: the timer is gone and what the open posted is handled.
    EXPECT_FALSE(KillTimer(dialog.GetSafeHwnd(), TIMER_OPEN_FILE));
    ASSERT_TRUE(testutil::PumpUntilQueueEmpty());
    EXPECT_EQ(dialog.toothChart.imageFiles, std::vector<std::wstring>{second});
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(dialog.GetWindowText(), L"Quillmere - " + second);
    EXPECT_EQ(ListView_GetItemCount(dialog.findingList), 1);
}

// Start-up without a program folder: the dialog runs, but its
// initialisation ends before the layout, the list and the pending open.
class NoProgramFolderTest : public MainWindowTest {
protected:
    NoProgramFolderTest() { createInSetUp = false; }
};

TEST_F(NoProgramFolderTest, TheInitialisationEndsEarly)
{
    const struct {
        const char* name;
        std::wstring path;
        DWORD result;
    } cases[] = {
        {"failed", L"", 0},
        {"no backslash", L"Quillmere.exe", 13},
    };
    for (const auto& c : cases) {
        TestMainDlg local;
        local.moduleFileName = [&c](wchar_t* buffer, DWORD capacity) {
            const size_t copied = std::min<size_t>(c.path.size(), capacity);
            std::copy_n(c.path.c_str(), copied, buffer);
            if (copied < capacity) {
                buffer[copied] = L'\0';
            }
            return c.result;
        };
        local.pendingFilePath = L"C:\\waiting.jpg";
        ASSERT_TRUE(local.Create()) << c.name;
        // Nothing was posted for later, and no open waits for its timer.
        ASSERT_TRUE(testutil::PumpUntilQueueEmpty()) << c.name;
        EXPECT_FALSE(KillTimer(local.GetSafeHwnd(), TIMER_OPEN_FILE)) << c.name;
        EXPECT_EQ(local.findingList, nullptr) << c.name;
        EXPECT_EQ(local.filterMask, 0u) << c.name;
        EXPECT_EQ(local.unitX, 0) << c.name;
        EXPECT_EQ(local.pendingFilePath, L"C:\\waiting.jpg") << c.name;
        // No list: a refresh changes nothing, and "Unknown" keeps its template state.
        local.toothChart.displayedTeeth[ToothKey(0, 11)] = Tooth(11, FINDING_CAVITY);
        local.RefreshFindingList();
        EXPECT_EQ(local.toothChart.displayFilter, 0xFFFFu) << c.name;
        EXPECT_TRUE(GetWindowLongW(local.GetDlgItem(IDC_CHECK_UNKNOWN), GWL_STYLE) & WS_VISIBLE) << c.name;
        EXPECT_FALSE(GetWindowLongW(local.GetDlgItem(IDC_CHECK_CAVITY), GWL_STYLE) & WS_VISIBLE) << c.name;
        DestroyWindow(local.GetSafeHwnd());
    }
}

// GetModuleFileNameW as it answers for a program at `program`.
ModuleFileNameQuery ProgramAt(const std::wstring& program)
{
    return [program](wchar_t* buffer, DWORD capacity) -> DWORD {
        if (program.size() >= capacity) {
            std::copy_n(program.c_str(), capacity, buffer);
            return capacity;
        }
        std::copy_n(program.c_str(), program.size() + 1, buffer);
        return static_cast<DWORD>(program.size());
    };
}

// The program folder's images: what is there is used, what is missing or
// would need a cut path is skipped, and the dialog runs either way.
class ProgramFolderImagesTest : public MainWindowTest {
protected:
    ProgramFolderImagesTest() { createInSetUp = false; }

    void StartIn(const std::wstring& programFolder)
    {
        dialog.moduleFileName = ProgramAt(programFolder + L"\\Quillmere.exe");
        OpenMainDialog();
    }

    uint32_t StripPixel()
    {
        int width = 0;
        int height = 0;
        const auto pixels = testutil::ReadClientPixels(dialog.GetSafeHwnd(), &width, &height);
        // Left of the first check box, inside the strip under the chart.
        return pixels[static_cast<size_t>(height - 2) * width + 2];
    }
};

TEST_F(ProgramFolderImagesTest, TheBackgroundTilesTheClientArea)
{
    CreateDirectoryW(folder.File(L"Button").c_str(), nullptr);
    Gdiplus::Bitmap tile(7, 5, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&tile);
        graphics.Clear(Gdiplus::Color(0xFF, 0x40, 0x80, 0xC0));
    }
    ASSERT_TRUE(testutil::SaveBitmapAs(tile, folder.File(L"Button\\BK.png"), L"image/png"));
    StartIn(folder.Path());
    EXPECT_STREQ(dialog.programFolder, folder.Path().c_str());
    ASSERT_NE(dialog.findingList, nullptr);
    EXPECT_EQ(StripPixel(), 0x4080C0u);
}

TEST_F(ProgramFolderImagesTest, WithoutImagesTheDialogRunsOnAnEmptyBackground)
{
    StartIn(folder.Path());
    ASSERT_NE(dialog.findingList, nullptr);
    ASSERT_NE(dialog.background, nullptr);
    EXPECT_EQ(dialog.background->GetWidth(), 0u);
    EXPECT_EQ(StripPixel(), 0u);
    EXPECT_EQ(dialog.GetWindowText(), L"Quillmere");
}

TEST_F(ProgramFolderImagesTest, AProgramPathThatFillsTheBufferLoadsNoImagesYetTheDialogRuns)
{
    // Cut at the buffer's end, the path still has a backslash in it.
    StartIn(L"C:\\" + std::wstring(MAX_PATH, L'x'));
    EXPECT_STREQ(dialog.programFolder, L"");
    EXPECT_EQ(dialog.background, nullptr);
    EXPECT_NE(dialog.findingList, nullptr);
    EXPECT_EQ(dialog.filterMask, FILTER_ALL_FINDINGS);
}

TEST_F(ProgramFolderImagesTest, AnImagePathThatWouldNotFitIsNotLoaded)
{
    // "\Button\BK.png" is 14 characters; a path needs room for its NUL too.
    const struct {
        size_t folderLength;
        bool loaded;
    } cases[] = {{MAX_PATH - 15, true}, {MAX_PATH - 14, false}};
    for (const auto& c : cases) {
        const std::wstring deep = L"C:\\" + std::wstring(c.folderLength - 3, L'd');
        TestMainDlg local;
        local.moduleFileName = ProgramAt(deep + L"\\Q.exe");
        ASSERT_TRUE(local.Create());
        EXPECT_EQ(std::wstring(local.programFolder), deep);
        EXPECT_NE(local.findingList, nullptr);
        EXPECT_EQ(local.background != nullptr, c.loaded) << c.folderLength;
        DestroyWindow(local.GetSafeHwnd());
    }
}

} // namespace
