// The context menu and the chart's commands: the capture toolbar, settings, system test, hot key,
// reference pages and health pages.
#include "chart/ToothStatic.h"

#include "capture/ToolbarDlg.h"
#include "chart/FileDropBlock.h"
#include "chart/HealthPage.h"
#include "chart/RecordTemplateDlg.h"
#include "foundation/JpegFile.h"
#include "foundation/TextFile.h"
#include "foundation/Utf8.h"
#include "res/resource.h"
#include "settings/SettingDlg.h"
#include "settings/TfdaDlg.h"
#include "ui/ClipboardHandles.h"
#include "ui/ResString.h"
#include "ui/ShellOpen.h"
#include "ui/UniqueMenu.h"

#include <iterator>
#include <new>

bool CToothStatic::ShowCaptureToolbar()
{
    if (toolbar == nullptr) {
        // Kept for the rest of the run: the toolbar window lives until the
        // process ends, whatever becomes of the chart.
        toolbar = new (std::nothrow) CToolbarDlg;
        if (toolbar == nullptr) {
            return false;
        }
    }
    if (toolbar->GetSafeHwnd() == nullptr) {
        // No owner: the toolbar floats over every program, not just ours.
        if (!toolbar->CreateToolbar(hwnd, nullptr, toolbarFullMode)) {
            return false;
        }
        RECT chart;
        GetWindowRect(hwnd, &chart);
        SetWindowPos(toolbar->GetSafeHwnd(), nullptr, chart.left, chart.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(toolbar->GetSafeHwnd(), SW_SHOWNA);
    toolbarShown = true;
    return true;
}

namespace {

// The context menu, in its order; the capture-bar item carries a check mark
// while the toolbar shows.
struct ContextMenuItem {
    UINT textId;
    UINT command;
};
constexpr ContextMenuItem ContextMenuItems[] = {
    {IDS_MENU_LOAD_IMAGE, ID_LOAD_IMAGE},           {IDS_MENU_COPY_FINDINGS, ID_COPY_FINDINGS},
    {IDS_MENU_COPY_IMAGE_FILE, ID_COPY_IMAGE_FILE}, {IDS_MENU_EDIT_TEMPLATE, ID_EDIT_RECORD_TEMPLATE},
    {IDS_MENU_CAPTURE_BAR, ID_TOGGLE_CAPTURE_BAR},  {IDS_MENU_USER_SETTINGS, ID_USER_SETTINGS},
};

// One page per finding kind in bit order, from Crown and Bridge to Post;
// Unknown has none. Traditional Chinese where a public-health or
// encyclopaedia page in it covers the subject well.
constexpr const wchar_t* ReferencePages[] = {
    L"https://en.wikipedia.org/wiki/Crown_(dental_restoration)",
    L"https://en.wikipedia.org/wiki/Dental_impaction",
    L"https://en.wikipedia.org/wiki/Tooth_loss",
    L"https://dep.mohw.gov.tw/DOOH/cp-6545-72339-124.html",
    L"https://en.wikipedia.org/wiki/Dental_implant",
    L"https://zh.wikipedia.org/zh-tw/%E9%BE%8B%E9%BD%BF",
    L"https://en.wikipedia.org/wiki/Periapical_periodontitis",
    L"https://en.wikipedia.org/wiki/Root_canal_treatment",
    L"https://en.wikipedia.org/wiki/Amalgam_(dentistry)",
    L"https://en.wikipedia.org/wiki/Dental_extraction",
    L"https://en.wikipedia.org/wiki/Post_and_core",
};
static_assert(std::size(ReferencePages) == ID_OPEN_REFERENCE_LAST - ID_OPEN_REFERENCE_FIRST + 1,
              "one page per reference command");

constexpr char HEALTH_CATALOGUE[] = "Health\\items.dsc";
constexpr wchar_t HEALTH_PAGE_TEMPLATE[] = L"index.tpl";
constexpr wchar_t HEALTH_PAGE[] = L"index.html";
constexpr wchar_t HEALTH_TOOTH_IMAGE[] = L"tooth_img01.jpg";

// The catalogue keeps folders as UTF-8. Every file of a page is reached by
// its wide name, the one the shell is given, so a folder outside the ANSI
// code page holds the crop, the template and the page alike.
std::wstring WideFolder(const std::string& folder)
{
    return Utf8ToWide(folder);
}

} // namespace

bool CToothStatic::OnChartCommand(UINT id)
{
    switch (id) {
    case ID_COPY_IMAGE_FILE:
        OnCopyImageFile();
        return true;
    case ID_EDIT_RECORD_TEMPLATE:
        OnEditRecordTemplate();
        return true;
    case ID_TOGGLE_CAPTURE_BAR:
        OnToggleCaptureBar();
        return true;
    case ID_TOGGLE_SHARPEN:
        OnToggleSharpen();
        return true;
    case ID_TOGGLE_DUAL_SEND:
        OnToggleDualSend();
        return true;
    case ID_USER_SETTINGS:
        OnUserSettings();
        return true;
    case ID_SYSTEM_TEST:
        OnSystemTest();
        return true;
    case ID_TOGGLE_HOTKEY:
        OnToggleHotKey();
        return true;
    case ID_SHOW_HEALTH_MENU:
        OnShowHealthMenu();
        return true;
    default:
        break;
    }
    if (id >= ID_OPEN_REFERENCE_FIRST && id <= ID_OPEN_REFERENCE_LAST) {
        OnOpenReference(id);
        return true;
    }
    if (id >= ID_HEALTH_ITEM_FIRST && id <= ID_HEALTH_ITEM_LAST) {
        OnHealthItem(id);
        return true;
    }
    return false;
}

void CToothStatic::OnRButtonUp(UINT, POINT point)
{
    ShowContextMenu(point);
}

void CToothStatic::ShowContextMenu(const POINT& point)
{
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        return;
    }
    for (const ContextMenuItem& item : ContextMenuItems) {
        const bool checked = item.command == ID_TOGGLE_CAPTURE_BAR && toolbarShown;
        AppendMenuW(menu.get(), MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED), item.command,
                    LoadResString(item.textId).c_str());
    }
    POINT screen = point;
    ClientToScreen(hwnd, &screen);
    TrackPopupMenu(menu.get(), 0, screen.x, screen.y, 0, hwnd, nullptr);
}

void CToothStatic::OnCopyImageFile()
{
    const bool hasImage = currentIndex >= 0 && static_cast<size_t>(currentIndex) < imageFiles.size();
    // Made and filled before the clipboard is opened and emptied, so that a
    // failure leaves the user's clipboard as it was.
    UniqueGlobal block = MakeFileDropBlock(hasImage ? imageFiles[static_cast<size_t>(currentIndex)] : std::wstring());
    if (!block) {
        return;
    }
    ClipboardSession clipboard(hwnd);
    if (!clipboard || !EmptyClipboard()) {
        return;
    }
    if (SetClipboardData(CF_HDROP, block.Get()) != nullptr) {
        block.Release();
        chartClipboard.Settled();
    }
}

void CToothStatic::OnEditRecordTemplate()
{
    CRecordTemplateDlg editor;
    editor.DoModal();
}

void CToothStatic::OnToggleCaptureBar()
{
    if (!toolbarShown) {
        ShowCaptureToolbar();
        return;
    }
    if (toolbar != nullptr) {
        ShowWindow(toolbar->GetSafeHwnd(), SW_HIDE);
    }
    toolbarShown = false;
}

void CToothStatic::OnToggleSharpen()
{
    showSharpened = !showSharpened;
    if (showSharpened && !MakeSharpenedImage()) {
        return;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void CToothStatic::OnToggleDualSend()
{
    sendBoth = !sendBoth;
}

void CToothStatic::OnUserSettings()
{
    CSettingDlg dialog;
    dialog.DoModal();
}

void CToothStatic::OnSystemTest()
{
    CTfdaDlg dialog;
    dialog.serverHost = serverHost;
    dialog.serverPort = serverPort;
    dialog.DoModal();
}

void CToothStatic::OnToggleHotKey()
{
    hotKeyOn = !hotKeyOn;
    if (hotKeyOn) {
        captureHotKey.Arm(hwnd);
    } else {
        captureHotKey.Release();
    }
}

void CToothStatic::OnHotKey(WPARAM id)
{
    if (id == CCaptureHotKey::HOT_KEY_ID && captureHotKey.Armed()) {
        PostMessageW(hwnd, WM_CAPTURE_SCREEN, 0, 0);
    }
}

void CToothStatic::OnOpenReference(UINT id)
{
    ShellOpen(ReferencePages[id - ID_OPEN_REFERENCE_FIRST]);
}

int CToothStatic::FillHealthMenu(HMENU menu)
{
    if (healthItems.Empty()) {
        if (!healthItems.Load(HEALTH_CATALOGUE)) {
            return 0;
        }
        healthItems.NumberCommands(ID_HEALTH_ITEM_FIRST, ID_HEALTH_ITEM_LAST);
    }
    int appended = 0;
    healthItems.ForEach([&](const CHealthInfo& item) {
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.commandId), item.title.c_str());
        ++appended;
    });
    return appended;
}

void CToothStatic::OnShowHealthMenu()
{
    UniqueMenu menu(CreatePopupMenu());
    if (!menu || FillHealthMenu(menu.get()) <= 0) {
        return;
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    TrackPopupMenu(menu.get(), 0, cursor.x, cursor.y, 0, hwnd, nullptr);
}

void CToothStatic::OnHealthItem(UINT id)
{
    const CHealthInfo* found = healthItems.FindCommand(static_cast<int32_t>(id));
    if (found == nullptr) {
        return;
    }
    const CHealthInfo item = *found;
    if (item.kind == HEALTH_PAGE_ITEM) {
        ShowHealthPage(item);
    } else {
        ShellOpen(Utf8ToWide(item.path));
    }
}

bool CToothStatic::SaveToothImage(const std::string& folder)
{
    const CToothInfo* tooth = GetHoveredTooth();
    if (tooth == nullptr) {
        return false;
    }
    const std::wstring file = WideFolder(folder) + HEALTH_TOOTH_IMAGE;
    const RECT& box = tooth->imageBox;
    bool saved = false;
    if (image) {
        GdiplusPtr<Gdiplus::Bitmap> crop(image->Clone(static_cast<INT>(box.left), static_cast<INT>(box.top),
                                                      static_cast<INT>(box.right - box.left),
                                                      static_cast<INT>(box.bottom - box.top), pixelFormat));
        saved = crop && crop->GetLastStatus() == Gdiplus::Ok && SaveImageAsJpeg(crop.get(), file.c_str());
    }
    if (!saved) {
        // An older crop is another tooth's: the page must not show it.
        DeleteFileW(file.c_str());
    }
    return true;
}

bool CToothStatic::ShowHealthPage(const CHealthInfo& item)
{
    if (!SaveToothImage(item.path)) {
        return false;
    }
    const std::wstring folder = WideFolder(item.path);
    std::wstring pageTemplate;
    if (!ReadUtf8File((folder + HEALTH_PAGE_TEMPLATE).c_str(), &pageTemplate)) {
        return false;
    }
    const CToothInfo* tooth = GetHoveredTooth();
    if (tooth == nullptr) {
        return false;
    }
    const std::wstring page = folder + HEALTH_PAGE;
    if (!WriteUtf8File(page.c_str(), FillHealthPage(pageTemplate, tooth->toothNumber))) {
        return false;
    }
    ShellOpen(page);
    return true;
}
