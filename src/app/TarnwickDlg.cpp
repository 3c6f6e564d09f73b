#include "app/TarnwickDlg.h"

#include "analysis/AnalysisServer.h"
#include "analysis/FindingKind.h"
#include "app/AboutDlg.h"
#include "app/AppIds.h"
#include "res/resource.h"
#include "ui/DialogPlacement.h"
#include "ui/ExceptionGuard.h"
#include "ui/ResString.h"
#include "ui/WindowFront.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace {

// Kinds that the finding list names: every kind but Healthy.
constexpr uint32_t LIST_MASK = FILTER_ALL_FINDINGS;
// Kinds whose check box may show: every kind that is present.
constexpr uint32_t CHECK_BOX_MASK = 0xFFFFFFFF;
// The filter from the end of the initialisation on.
constexpr uint32_t START_FILTER = FILTER_ALL_FINDINGS;

// The finding list's columns share its width in tenths.
constexpr int kIdColumnTenths = 2;
constexpr int kInformationColumnTenths = 8;

// The check box of the kind of bit 2^k is control 1006 + k; the members hold
// them in the order 1007 to 1017, then 1006, then 1018.
constexpr UINT FilterCheckId(size_t bitIndex)
{
    return IDC_CHECK_OTHERS + static_cast<UINT>(bitIndex);
}

size_t FilterCheckSlot(UINT id)
{
    if (id == IDC_CHECK_OTHERS) {
        return CTarnwickDlg::FILTER_CHECK_COUNT - 2;
    }
    if (id == IDC_CHECK_UNKNOWN) {
        return CTarnwickDlg::FILTER_CHECK_COUNT - 1;
    }
    return id - IDC_CHECK_CROWN_BRIDGE;
}

// Where each button's four state images come from: "<name>_<state>.png".
struct ButtonImages {
    CImageButton CTarnwickDlg::*button;
    const wchar_t* name;
};
constexpr ButtonImages kButtonImages[] = {
    {&CTarnwickDlg::loadButton, L"Load"},
    {&CTarnwickDlg::prevButton, L"Prev"},
    {&CTarnwickDlg::nextButton, L"Next"},
    {&CTarnwickDlg::analyseButton, L"Analyse"},
};
constexpr const wchar_t* kStateSuffixes[] = {L"Normal", L"Highlight", L"Click", L"Disable"};
constexpr wchar_t kBackgroundImage[] = L"BK";

// "<folder>\Button\<name>.png", or an empty text when it would not fit in a
// path of MAX_PATH characters: such an image is skipped like a missing file
// rather than loaded from a cut path.
std::wstring ButtonImagePath(const wchar_t* folder, const std::wstring& name)
{
    std::wstring path = std::wstring(folder) + L"\\Button\\" + name + L".png";
    if (path.size() >= MAX_PATH) {
        return {};
    }
    return path;
}

// The file dialog's filter: pairs of texts that the string table separates
// by '|'.
std::wstring FileDialogFilter(UINT id)
{
    std::wstring filter = LoadResString(id);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.push_back(L'\0');
    return filter;
}

// The file dialog would open in the screen's corner, under the top-most
// capture toolbar; once laid out, and before it shows, it is placed as every
// other dialog, centred on its owner.
UINT_PTR CALLBACK PlaceFileDialog(HWND child, UINT message, WPARAM, LPARAM lParam)
{
    return CallGuarded<UINT_PTR>(0, [&] {
        if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
            CentreOnOwner(GetParent(child));
        }
        return UINT_PTR{0};
    });
}

// The finding list is used through its handle alone: every message to a
// subclassed control costs a look-up of its subclass under Wine, and the
// list takes dozens of them on every refresh.
void InsertListColumn(HWND list, int column, std::wstring title, int width)
{
    LVCOLUMNW info{};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    info.cx = width;
    info.pszText = title.data();
    info.iSubItem = column;
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
}

void InsertListRow(HWND list, int row, std::wstring text)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = text.data();
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void SetListText(HWND list, int row, int column, std::wstring text)
{
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

int32_t ToothIndexOf(uint32_t key)
{
    // Keys are image index x 256 + tooth number; the shift is arithmetic.
    return static_cast<int32_t>(key) >> 8;
}

} // namespace

CTarnwickDlg::CTarnwickDlg()
    : CDialogEx(IDD_TARNWICK_DIALOG), hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
}

LRESULT CTarnwickDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam));
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return Default();
    case WM_DISPLAYCHANGE:
        OnDisplayChange(LOWORD(lParam), HIWORD(lParam));
        return Default();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(hIcon);
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
            const UINT id = LOWORD(wParam);
            switch (id) {
            case IDC_BTN_LOAD:
                OnBnClickedLoad();
                return 0;
            case IDC_BTN_NEXT:
                OnBnClickedNext();
                return 0;
            case IDC_BTN_PREV:
                OnBnClickedPrev();
                return 0;
            case IDC_BTN_ANALYSE:
                OnBnClickedAnalyse();
                return 0;
            default:
                if (id >= IDC_CHECK_OTHERS && id <= IDC_CHECK_UNKNOWN) {
                    OnFilterCheck(id);
                    return 0;
                }
                break;
            }
        }
        return CDialogEx::WindowProc(message, wParam, lParam);
    case WM_ERASEBKGND:
        return TRUE;
    case WM_NOTIFY: {
        // Nothing here wants a notice per row when the finding list is
        // emptied; under Wine each costs the dialog a look-up of its subclass.
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->hwndFrom == findingList && header->code == LVN_DELETEALLITEMS) {
            return TRUE;
        }
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
    case WM_TIMER:
        OnTimer(wParam);
        return Default();
    case WM_POSTINIT:
        return OnPostInit();
    case WM_BRING_TO_FRONT:
        OnBringToFront();
        return 0;
    case WM_CLOSE:
        OnClose();
        return Default();
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    case WM_COPYDATA:
        OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return Default();
    default:
        return CDialogEx::WindowProc(message, wParam, lParam);
    }
}

BOOL CTarnwickDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    loadButton.SubclassDlgItem(IDC_BTN_LOAD, this);
    prevButton.SubclassDlgItem(IDC_BTN_PREV, this);
    nextButton.SubclassDlgItem(IDC_BTN_NEXT, this);
    analyseButton.SubclassDlgItem(IDC_BTN_ANALYSE, this);
    for (UINT id = IDC_CHECK_CROWN_BRIDGE; id <= IDC_CHECK_POST; ++id) {
        FilterCheck(id)->SubclassDlgItem(id, this);
    }
    FilterCheck(IDC_CHECK_OTHERS)->SubclassDlgItem(IDC_CHECK_OTHERS, this);
    FilterCheck(IDC_CHECK_UNKNOWN)->SubclassDlgItem(IDC_CHECK_UNKNOWN, this);

    if (HMENU systemMenu = GetSystemMenu(hwnd, FALSE)) {
        const std::wstring about = LoadResString(IDS_ABOUT_MENU);
        if (!about.empty()) {
            AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));

    toothChart.Create(WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_NOTIFY | SS_CENTERIMAGE, RECT{0, 0, 1, 1}, this, 0,
                      0xFFFF);
    toothChart.serverHost = kAnalysisServerHost;
    toothChart.serverPort = ANALYSIS_SERVER_PORT;
    toothChart.listener = this;

    if (!backgroundDC) {
        ClientDC client(hwnd);
        backgroundDC = UniqueMemoryDC::CompatibleWith(client.Get());
        MakeBackground(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
    if (!LoadButtonImages()) {
        return FALSE;
    }
    findingList = GetDlgItem(IDC_FINDING_LIST);
    pageLabel = GetDlgItem(IDC_PAGE_LABEL);
    LayoutControls();
    UpdateNavigation();
    InvalidateRect(hwnd, nullptr, TRUE);
    PostMessageW(hwnd, WM_POSTINIT, 0, 0);
    if (!pendingFilePath.empty()) {
        StartOpenFileTimer();
    }
    return TRUE;
}

CTransCheckBox* CTarnwickDlg::FilterCheck(UINT id)
{
    if (id < IDC_CHECK_OTHERS || id > IDC_CHECK_UNKNOWN) {
        return nullptr;
    }
    return &filterChecks[FilterCheckSlot(id)];
}

void CTarnwickDlg::LayoutControls()
{
    LayoutForClient(FitToScreen());
    RECT listRect{-1, -1, 0, 0};
    SetupFindingList(listRect);
    LayoutButtons();
    laidOut = true;
}

RECT CTarnwickDlg::FitToScreen()
{
    SetWindowPos(hwnd, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER | SWP_NOREDRAW);
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    RECT client{};
    GetClientRect(hwnd, &client);
    return client;
}

// The client area changes after the first layout: a window manager frames the
// maximised window a moment later, and a new screen size re-maximises it.
void CTarnwickDlg::OnSize(UINT type, int width, int height)
{
    if (type == SIZE_MINIMIZED || !laidOut) {
        return;
    }
    // A larger screen, which Wine announces by no WM_DISPLAYCHANGE.
    if (backgroundDC && (width > backgroundSize.cx || height > backgroundSize.cy)) {
        MakeBackground(std::max<int>(width, backgroundSize.cx), std::max<int>(height, backgroundSize.cy));
    }
    LayoutForClient(RECT{0, 0, width, height});
    if (filterStripLaidOut) {
        LayoutFilterChecks();
    }
    // The background around the chart only: painted over, the chart's
    // picture would be gone until the chart paints again at its new size.
    RECT chart{};
    GetWindowRect(toothChart.GetSafeHwnd(), &chart);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&chart), 2);
    UniqueRegion around(CreateRectRgn(0, 0, width, height));
    UniqueRegion chartArea(CreateRectRgnIndirect(&chart));
    CombineRgn(around.Get(), around.Get(), chartArea.Get(), RGN_DIFF);
    InvalidateRgn(hwnd, around.Get(), FALSE);
    InvalidateRect(toothChart.GetSafeHwnd(), nullptr, TRUE);
}

void CTarnwickDlg::OnDisplayChange(int width, int height)
{
    if (backgroundDC) {
        MakeBackground(width, height);
    }
}

// The background is tiled once into a bitmap at least as large as the client
// area; past it, the window would show what the bitmap never had.
void CTarnwickDlg::MakeBackground(int width, int height)
{
    ClientDC client(hwnd);
    backgroundBitmap.Reset(CreateCompatibleBitmap(client.Get(), width, height));
    backgroundSize = {width, height};
    backgroundDrawn = false;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void CTarnwickDlg::OnBringToFront()
{
    BringToFront(hwnd);
}

void CTarnwickDlg::LayoutForClient(const RECT& client)
{
    clientRect = client;
    unitX = (client.right - client.left) / kLayoutUnitsPerSide;
    unitY = (client.bottom - client.top) / kLayoutUnitsPerSide;
    SetWindowPos(toothChart.GetSafeHwnd(), nullptr, unitX, unitY, kChartWidthUnits * unitX, kChartHeightUnits * unitY,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    filterRowTop = kFilterRowTopUnits * unitY;
    filterRowBottom = clientRect.bottom;
}

void CTarnwickDlg::SetupFindingList(RECT& rect)
{
    if (findingList == nullptr) {
        return;
    }
    const HWND list = findingList;
    SetWindowPos(list, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    ListView_SetExtendedListViewStyle(list, ListView_GetExtendedListViewStyle(list) | LVS_EX_FULLROWSELECT);
    GetClientRect(list, &rect);
    const int tenth = (rect.right - rect.left) / 10;
    InsertListColumn(list, 0, L"ID", kIdColumnTenths * tenth);
    InsertListColumn(list, 1, L"Information", kInformationColumnTenths * tenth);
}

void CTarnwickDlg::LayoutButtons()
{
    // Parked as one-pixel controls outside the client area: out of sight, yet
    // the buttons keep their tab stops and take Enter.
    const HWND parked[] = {pageLabel, analyseButton.GetSafeHwnd(), nextButton.GetSafeHwnd(), prevButton.GetSafeHwnd(),
                           loadButton.GetSafeHwnd()};
    for (const HWND control : parked) {
        if (control != nullptr) {
            SetWindowPos(control, nullptr, -1, -1, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
}

bool CTarnwickDlg::LoadButtonImages()
{
    const DWORD length =
        moduleFileName ? moduleFileName(programFolder, MAX_PATH) : GetModuleFileNameW(nullptr, programFolder, MAX_PATH);
    if (length == 0) {
        programFolder[0] = L'\0';
        return false;
    }
    // A path that fills the buffer was cut, and its folder may be another's:
    // no image is loaded from it, as if none were there.
    if (length >= MAX_PATH) {
        programFolder[0] = L'\0';
        background.reset();
        return true;
    }
    programFolder[length] = L'\0';
    wchar_t* lastSeparator = std::wcsrchr(programFolder, L'\\');
    if (lastSeparator == nullptr) {
        return false;
    }
    *lastSeparator = L'\0';

    for (const ButtonImages& images : kButtonImages) {
        for (int state = 0; state < static_cast<int>(std::size(kStateSuffixes)); ++state) {
            const std::wstring path =
                ButtonImagePath(programFolder, std::wstring(images.name) + L"_" + kStateSuffixes[state]);
            if (!path.empty()) {
                (this->*images.button).SetStateImage(state, path.c_str());
            }
        }
    }
    const std::wstring backgroundPath = ButtonImagePath(programFolder, kBackgroundImage);
    background.reset();
    if (!backgroundPath.empty()) {
        background = MakeGdiplus<Gdiplus::Image>(backgroundPath.c_str(), FALSE);
    }
    return true;
}

void CTarnwickDlg::OnPaint()
{
    if (IsIconic(hwnd)) {
        PaintDC paint(hwnd);
        SendMessageW(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Get()), 0);
        RECT client{};
        GetClientRect(hwnd, &client);
        const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(paint.Get(), x, y, hIcon);
        return;
    }
    PaintDC paint(hwnd);
    if (!backgroundDC || !backgroundBitmap) {
        return;
    }
    ObjectSelection selected(backgroundDC.Get(), backgroundBitmap.Get());
    if (!backgroundDrawn) {
        DrawBackground(backgroundDC.Get());
        backgroundDrawn = true;
    }
    // Only what needs painting: the strip's check boxes ask for small parts.
    const RECT& area = paint.PaintRect();
    BitBlt(paint.Get(), area.left, area.top, area.right - area.left, area.bottom - area.top, backgroundDC.Get(),
           area.left, area.top, SRCCOPY);
}

void CTarnwickDlg::DrawBackground(HDC dc)
{
    if (!background) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    const int width = static_cast<int>(background->GetWidth());
    const int height = static_cast<int>(background->GetHeight());
    // A file that was missing or unreadable gives an image of no size.
    if (width <= 0 || height <= 0) {
        return;
    }
    Gdiplus::Graphics graphics(dc);
    for (int y = client.top; y < client.bottom; y += height) {
        for (int x = client.left; x < client.right; x += width) {
            graphics.DrawImage(background.get(), x, y, width, height);
        }
    }
}

void CTarnwickDlg::UpdateNavigation()
{
    const int n = static_cast<int>(toothChart.imageFiles.size());
    const int i = toothChart.currentIndex;
    const HWND prev = prevButton.GetSafeHwnd();
    const HWND next = nextButton.GetSafeHwnd();
    EnableWindow(prev, i != -1 && i != 0);
    EnableWindow(next, i != -1 && i + 1 < n);
    EnableWindow(analyseButton.GetSafeHwnd(), n > 0);
    if (pageLabel != nullptr) {
        ::SetWindowTextW(pageLabel, n > 0 ? (std::to_wstring(i + 1) + L" / " + std::to_wstring(n)).c_str() : L"");
    }
    if (GetFocus() == nullptr) {
        if (IsWindowEnabled(prev)) {
            SetFocus(prev);
        } else if (IsWindowEnabled(next)) {
            SetFocus(next);
        } else {
            SetFocus(loadButton.GetSafeHwnd());
        }
    }
    std::wstring title = LoadResString(IDS_MAIN_TITLE);
    if (i >= 0 && i < n && !toothChart.imageFiles[static_cast<size_t>(i)].empty()) {
        title += L" - " + toothChart.imageFiles[static_cast<size_t>(i)];
    }
    SetWindowText(title);
}

bool CTarnwickDlg::AskForImageFile(std::wstring* path)
{
    const std::wstring filter = FileDialogFilter(IDS_JPEG_FILTER);
    std::vector<wchar_t> chosen(MAX_PATH, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = hwnd;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = chosen.data();
    request.nMaxFile = static_cast<DWORD>(chosen.size());
    request.Flags =
        OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLEHOOK;
    request.lpfnHook = PlaceFileDialog;
    if (!GetOpenFileNameW(&request)) {
        return false;
    }
    *path = chosen.data();
    return !path->empty();
}

void CTarnwickDlg::OnBnClickedLoad()
{
    std::wstring path;
    if (!AskForImageFile(&path)) {
        return;
    }
    toothChart.SetImageFiles({path});
    RefreshFindingList();
    UpdateNavigation();
}

void CTarnwickDlg::OnBnClickedNext()
{
    const int i = toothChart.currentIndex;
    if (i != -1 && i + 1 < static_cast<int>(toothChart.imageFiles.size())) {
        toothChart.currentIndex = i + 1;
        toothChart.RemoveToothTips();
        toothChart.displayedTeeth.clear();
        toothChart.LoadCurrentImage();
    }
    RefreshFindingList();
    UpdateNavigation();
}

void CTarnwickDlg::OnBnClickedPrev()
{
    const int i = toothChart.currentIndex;
    if (i > 0) {
        toothChart.currentIndex = i - 1;
        toothChart.RemoveToothTips();
        toothChart.displayedTeeth.clear();
        toothChart.LoadCurrentImage();
    }
    RefreshFindingList();
    UpdateNavigation();
}

void CTarnwickDlg::OnBnClickedAnalyse()
{
    if (!toothChart.AnalyzeCurrentImage()) {
        ReportAnalysisNotStarted();
    }
    RefreshFindingList();
}

void CTarnwickDlg::ReportAnalysisNotStarted()
{
    ShowMessageBox(IDS_CANNOT_START_ANALYSIS, MB_OK | MB_ICONERROR);
}

// Enter runs the focused button; the main window never ends on it.
void CTarnwickDlg::OnOK()
{
    const HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != hwnd) {
        return;
    }
    switch (GetDlgCtrlID(focus)) {
    case IDC_BTN_LOAD:
        OnBnClickedLoad();
        break;
    case IDC_BTN_PREV:
        OnBnClickedPrev();
        break;
    case IDC_BTN_NEXT:
        OnBnClickedNext();
        break;
    case IDC_BTN_ANALYSE:
        OnBnClickedAnalyse();
        break;
    default:
        break;
    }
}

LRESULT CTarnwickDlg::OnSysCommand(UINT command)
{
    if ((command & 0xFFF0) != IDM_ABOUTBOX) {
        return Default();
    }
    CAboutDlg about(this);
    about.DoModal();
    return 0;
}

void CTarnwickDlg::OnToothChartEvent(int event, int)
{
    switch (event) {
    case CHART_EVENT_FINDINGS_EDITED:
        RefreshFindingList();
        break;
    case CHART_EVENT_LOAD_IMAGE:
        OnBnClickedLoad();
        if (!toothChart.AnalyzeCurrentImage()) {
            ReportAnalysisNotStarted();
        }
        RefreshFindingList();
        break;
    default:
        break;
    }
}

void CTarnwickDlg::OnOpenImage(const std::wstring& path)
{
    toothChart.SetImageFiles({path});
    toothChart.AnalyzeCurrentImage();
    RefreshFindingList();
    UpdateNavigation();
}

bool CTarnwickDlg::StartOpenFileTimer()
{
    if (openFileTimerId != 0) {
        return true;
    }
    openFileTimerId = SetTimer(hwnd, TIMER_OPEN_FILE, kOpenFileDelayMs, nullptr);
    return openFileTimerId != 0;
}

void CTarnwickDlg::StopOpenFileTimer()
{
    if (openFileTimerId != 0) {
        KillTimer(hwnd, openFileTimerId);
        openFileTimerId = 0;
    }
}

void CTarnwickDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId == openFileTimerId && openFileTimerId != 0) {
        // Opening runs nested message loops, in which the next hand-off may
        // arrive: it must find no pending path and no timer of this one.
        const std::wstring path = std::move(pendingFilePath);
        pendingFilePath.clear();
        StopOpenFileTimer();
        static_cast<CToothStaticListener*>(this)->OnOpenImage(path);
    }
}

void CTarnwickDlg::OnClose()
{
    StopOpenFileTimer();
}

// Ends the window now, as the close ends it later: the chart lets go of the
// patient's picture and deletes its copies before the process is ended.
void CTarnwickDlg::OnEndSession(bool ending)
{
    if (ending) {
        OnClose();
        DestroyWindow(hwnd);
    }
}

BOOL CTarnwickDlg::OnCopyData(HWND, const COPYDATASTRUCT* data)
{
    if (data == nullptr || data->dwData != 0 || data->lpData == nullptr) {
        return FALSE;
    }
    // The text ends at its first NUL but never beyond cbData bytes.
    const auto* text = static_cast<const wchar_t*>(data->lpData);
    const size_t maxUnits = data->cbData / sizeof(wchar_t);
    size_t length = 0;
    while (length < maxUnits && text[length] != L'\0') {
        ++length;
    }
    // An empty text names nothing and must not displace a pending path.
    if (length == 0) {
        return FALSE;
    }
    pendingFilePath.assign(text, length);
    StartOpenFileTimer();
    return TRUE;
}

LRESULT CTarnwickDlg::OnPostInit()
{
    filterMask = START_FILTER;
    return 0;
}

void CTarnwickDlg::RefreshFindingList()
{
    if (findingList == nullptr) {
        return;
    }
    // The list is rebuilt row by row; it repaints once, afterwards.
    const HWND list = findingList;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    currentTeeth.clear();
    for (const auto& [key, tooth] : toothChart.displayedTeeth) {
        if (ToothIndexOf(key) == toothChart.currentIndex) {
            currentTeeth[static_cast<uint32_t>(tooth.toothNumber)] = tooth;
        }
    }
    int row = 0;
    for (const auto& [number, tooth] : currentTeeth) {
        const uint32_t listed = tooth.findingMask & LIST_MASK;
        if (listed == 0) {
            continue;
        }
        InsertListRow(list, row, std::to_wstring(tooth.toothNumber));
        bool first = true;
        for (const FindingKindInfo& kind : FindingKindsInBitOrder) {
            if ((listed & kind.kind) == 0) {
                continue;
            }
            if (!first) {
                ++row;
                InsertListRow(list, row, L"");
            }
            first = false;
            SetListText(list, row, 1, LoadResString(kind.stringId));
        }
        ++row;
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    HandFilterToChart();
    LayoutFilterChecks();
}

void CTarnwickDlg::HandFilterToChart()
{
    toothChart.displayFilter = filterMask;
    toothChart.RemoveToothTips();
    toothChart.AddToothTips();
    InvalidateRect(toothChart.GetSafeHwnd(), nullptr, TRUE);
}

void CTarnwickDlg::LayoutFilterChecks()
{
    uint32_t present = 0;
    for (const auto& entry : toothChart.displayedTeeth) {
        present |= entry.second.findingMask;
    }
    const uint32_t shown = present & CHECK_BOX_MASK;
    filterStripLaidOut = true;

    const int slotWidth = kFilterSlotWidthUnits * unitX;
    const int slotHeight = kFilterSlotHeightUnits * unitY;
    RECT slot{unitX, filterRowTop, unitX + slotWidth, filterRowTop + slotHeight};
    RECT repaint{};
    for (size_t bitIndex = 0; bitIndex < FILTER_CHECK_COUNT; ++bitIndex) {
        const uint32_t bit = uint32_t{1} << bitIndex;
        CTransCheckBox* check = FilterCheck(FilterCheckId(bitIndex));
        const HWND box = check->GetSafeHwnd();
        if ((shown & bit) == 0) {
            ShowWindow(box, SW_HIDE);
            continue;
        }
        // A shown box moves without redrawing: the place it leaves must be
        // painted again too, or its old label stays there. Erased, so that
        // the chart, where the place lies over it, draws its picture again.
        if ((GetWindowLongW(box, GWL_STYLE) & WS_VISIBLE) != 0) {
            RECT left{};
            GetWindowRect(box, &left);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&left), 2);
            InvalidateRect(hwnd, &left, TRUE);
        }
        SetWindowPos(box, nullptr, slot.left, slot.top, slot.right - slot.left, slot.bottom - slot.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        check->SetCheck((filterMask & bit) != 0 ? BST_CHECKED : BST_UNCHECKED);
        // The box's own place needs the background under its white label.
        UnionRect(&repaint, &repaint, &slot);
        slot.top = slot.bottom + unitY;
        slot.bottom = slot.top + slotHeight;
        if (slot.bottom > filterRowBottom) {
            slot.top = filterRowTop;
            slot.bottom = filterRowTop + slotHeight;
            slot.left = slot.right + unitX;
            slot.right = slot.left + slotWidth;
        }
        ShowWindow(box, SW_SHOWNA);
    }
    InvalidateRect(hwnd, &repaint, FALSE);
}

void CTarnwickDlg::OnFilterCheck(UINT id)
{
    CTransCheckBox* check = FilterCheck(id);
    if (check == nullptr) {
        return;
    }
    const uint32_t bit = uint32_t{1} << (id - IDC_CHECK_OTHERS);
    if (check->GetCheck() == BST_CHECKED) {
        filterMask |= bit;
    } else {
        filterMask &= ~bit;
    }
    HandFilterToChart();
}
