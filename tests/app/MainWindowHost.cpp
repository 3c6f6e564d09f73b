#include "MainWindowHost.h"

#include "app/TarnwickApp.h"
#include "foundation/JpegFile.h"
#include "foundation/TempFiles.h"
#include "ui/Gdiplus.h"

#include <algorithm>

namespace mainwindowtest {

namespace {

constexpr char USER_TEMPLATE[] = "[%BODY_BGN%]C:[%ccc%] F:[%fff%][%BODY_END%][%NONE_BGN%]-[%NONE_END%]";
constexpr DWORD kWatchPollMs = 20;

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

BOOL CALLBACK CollectText(HWND child, LPARAM param)
{
    auto* texts = reinterpret_cast<std::vector<std::wstring>*>(param);
    const std::wstring text = TextOf(child);
    if (!text.empty()) {
        texts->push_back(text);
    }
    return TRUE;
}

struct ThreadDialogs {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (std::wstring(className) == L"#32770" && IsWindowVisible(window)) {
        reinterpret_cast<ThreadDialogs*>(param)->found.push_back(window);
    }
    return TRUE;
}

} // namespace

bool SeenWindow::HasText(const std::wstring& text) const
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

ModalWatcher::ModalWatcher(DWORD uiThread) : uiThread(uiThread), thread([this] { Watch(); }) {}

ModalWatcher::~ModalWatcher()
{
    stopping = true;
    thread.join();
}

std::vector<SeenWindow> ModalWatcher::Seen() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return seen;
}

void ModalWatcher::Watch()
{
    while (!stopping) {
        ThreadDialogs dialogs;
        EnumThreadWindows(uiThread, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
        for (const HWND window : dialogs.found) {
            if (std::find(closing.begin(), closing.end(), window) != closing.end()) {
                continue;
            }
            SeenWindow window_seen;
            window_seen.caption = TextOf(window);
            GetWindowRect(window, &window_seen.place);
            EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&window_seen.texts));
            {
                std::lock_guard<std::mutex> lock(mutex);
                seen.push_back(window_seen);
            }
            closing.push_back(window);
            const int button = GetDlgItem(window, IDCANCEL) != nullptr ? IDCANCEL : IDOK;
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
        }
        Sleep(kWatchPollMs);
    }
}

bool TestMainDlg::AskForImageFile(std::wstring* path)
{
    if (!standInFileDialog) {
        return CTarnwickDlg::AskForImageFile(path);
    }
    ++fileDialogsShown;
    *path = chosenFile;
    return !chosenFile.empty();
}

CToothInfo Tooth(int32_t number, uint32_t mask, RECT imageBox)
{
    CToothInfo tooth;
    tooth.toothNumber = number;
    tooth.findingMask = mask;
    tooth.imageBox = imageBox;
    return tooth;
}

FakeScenario Reply(const std::string& boxes, const std::string& findings)
{
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", boxes}, {"#@DISINFO@#", findings}});
    return scenario;
}

bool WriteJpeg(const std::wstring& path, int width, int height, COLORREF colour)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFF, GetRValue(colour), GetGValue(colour), GetBValue(colour)));
    }
    return SaveImageAsJpeg(&bitmap, path.c_str());
}

void MainWindowTest::SetUp()
{
    ASSERT_TRUE(theApp.RegisterDialogClass());
    ASSERT_TRUE(server.Start(0));
    GetCurrentDirectoryW(MAX_PATH, previousFolder);
    SetCurrentDirectoryW(folder.Path().c_str());
    CreateDirectoryW(folder.File(L"Record").c_str(), nullptr);
    testutil::WriteBytes(folder.File(L"Record\\User.tpl"), USER_TEMPLATE);
    if (createInSetUp) {
        OpenMainDialog();
    }
}

void MainWindowTest::OpenMainDialog()
{
    ASSERT_TRUE(dialog.Create());
    dialog.toothChart.serverHost = "127.0.0.1";
    dialog.toothChart.serverPort = server.Port();
    dialog.toothChart.adapterTable = testutil::OneAdapterTable;
    if (dialog.findingList != nullptr) {
        ASSERT_TRUE(testutil::PumpUntil([this] { return dialog.filterMask != 0; }, 5000));
    }
}

void MainWindowTest::TearDown()
{
    if (dialog.GetSafeHwnd() != nullptr) {
        DestroyWindow(dialog.GetSafeHwnd());
    }
    SetCurrentDirectoryW(previousFolder);
    DeleteTempFiles();
}

std::wstring MainWindowTest::Image(const std::wstring& name, COLORREF colour, int width, int height)
{
    const std::wstring path = folder.File(name);
    EXPECT_TRUE(WriteJpeg(path, width, height, colour));
    return path;
}

RECT MainWindowTest::ChildRect(int id) const
{
    RECT rect{};
    GetWindowRect(dialog.GetDlgItem(id), &rect);
    MapWindowPoints(nullptr, dialog.GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool MainWindowTest::Visible(int id) const
{
    return (GetWindowLongW(dialog.GetDlgItem(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool MainWindowTest::Checked(int id) const
{
    return SendMessageW(dialog.GetDlgItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

} // namespace mainwindowtest
