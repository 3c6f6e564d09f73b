// The chart's life: creation, state, drawing tools, the image list, layout and message dispatch.
#include "chart/ToothStatic.h"

#include "capture/ToolbarDlg.h"
#include "chart/MultiSelMenu.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "res/resource.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <new>

namespace {

constexpr Gdiplus::ARGB BACKGROUND_COLOR = 0xFF808080;
constexpr Gdiplus::ARGB BOX_COLOR = 0xFF808080;
constexpr Gdiplus::ARGB HOVER_COLOR = 0xFF00FF00;
constexpr Gdiplus::ARGB NUMBER_COLOR = 0xFFFF0000;
constexpr Gdiplus::REAL BOX_PEN_WIDTH = 2.0f;
constexpr Gdiplus::REAL NUMBER_FONT_POINTS = 12.0f;
constexpr wchar_t NUMBER_FONT_FACE[] = L"Arial";

constexpr int TIP_INITIAL_DELAY_MS = 200;
constexpr int TIP_AUTOPOP_DELAY_MS = 30000;
constexpr int TIP_MAX_WIDTH = 500;
constexpr LONG TIP_FONT_HEIGHT = 36;
constexpr wchar_t TIP_FONT_FACE[] = L"Arial";

// The tooltips' font: large, bold and italic.
LOGFONTW TipFont()
{
    LOGFONTW font{};
    font.lfHeight = TIP_FONT_HEIGHT;
    font.lfWeight = FW_BOLD;
    font.lfItalic = TRUE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    font.lfPitchAndFamily = FF_MODERN | VARIABLE_PITCH;
    wcsncpy(font.lfFaceName, TIP_FONT_FACE, LF_FACESIZE - 1);
    return font;
}

// An image coordinate on the chart: the float product truncated toward zero,
// moved by the drawing rectangle's origin, and held to the range of the
// result so that a wild box from the server cannot overflow it.
int32_t ToChart(int32_t coordinate, float scale, int32_t origin)
{
    const double moved = std::trunc(static_cast<double>(static_cast<float>(coordinate) * scale)) + origin;
    return static_cast<int32_t>(std::clamp<double>(moved, INT32_MIN, INT32_MAX));
}

float Scale(int32_t drawn, int32_t image)
{
    // An image without pixels maps nothing rather than dividing by zero.
    return image > 0 ? static_cast<float>(drawn) / static_cast<float>(image) : 0.0f;
}

template <typename T> GdiplusPtr<T> Usable(GdiplusPtr<T> object)
{
    if (object && object->GetLastStatus() != Gdiplus::Ok) {
        object.reset();
    }
    return object;
}

} // namespace

CToothStatic::CToothStatic()
{
    backgroundColor = INITIAL_BACKGROUND;
    ResetState();
}

CToothStatic::~CToothStatic()
{
    ReleaseResources();
}

bool CToothStatic::Create(DWORD style, const RECT& rect, CWnd* parent, UINT toolbarMode, UINT id)
{
    toolbarFullMode = toolbarMode;
    return CStatic::Create(style, rect, parent, id);
}

void CToothStatic::ResetState()
{
    currentIndex = -1;
    boxPen.reset();
    hoverPen.reset();
    numberBrush.reset();
    hoverBrush.reset();
    numberFont.reset();
    image.reset();
    sharpenedImage.reset();
    ForgetStretchedImage();
    listener = nullptr;
    toolbar = nullptr;
    hoveredKey = 0;
    displayFilter = DEFAULT_DISPLAY_FILTER;
    pixelFormat = PixelFormat24bppRGB;
    showSharpened = false;
    hotKeyOn = false;
    toolbarShown = false;
    sendBoth = false;
    serverHost.clear();
    serverPort = 0;
}

bool CToothStatic::InitControl()
{
    ResetState();
    if (!memoryDC) {
        memoryDC = UniqueMemoryDC::CompatibleWith(ClientDC(hwnd).Get());
        MakeBackBuffer({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    }
    CreateDrawingTools();
    if (!toolTipCtrl.Create(this, TTS_ALWAYSTIP | TTS_NOPREFIX)) {
        return false;
    }
    toolTipCtrl.Activate(true);
    toolTipCtrl.SetDelayTime(TTDT_INITIAL, TIP_INITIAL_DELAY_MS);
    toolTipCtrl.SetDelayTime(TTDT_AUTOPOP, TIP_AUTOPOP_DELAY_MS);
    toolTipCtrl.SetMaxTipWidth(TIP_MAX_WIDTH);
    const LOGFONTW tipFont = TipFont();
    tooltipFont.Reset(CreateFontIndirectW(&tipFont));
    toolTipCtrl.SetFont(tooltipFont.Get(), true);
    toolbarShown = g_systemSetting.captureBar;
    if (toolbarShown) {
        ShowCaptureToolbar();
    } else if (toolbar != nullptr) {
        ShowWindow(toolbar->GetSafeHwnd(), SW_HIDE);
        toolbarShown = false;
    }
    return true;
}

void CToothStatic::CreateDrawingTools()
{
    lastClientRect = RECT{};
    backgroundColor = BACKGROUND_COLOR;
    marginLeft = marginRight = marginTop = marginBottom = 0;
    drawLeft = drawTop = drawWidth = drawHeight = 0;
    ForgetSprites();

    boxPen = Usable(MakeGdiplus<Gdiplus::Pen>(Gdiplus::Color(BOX_COLOR), BOX_PEN_WIDTH));
    if (boxPen) {
        boxPen->SetDashStyle(Gdiplus::DashStyleDash);
    }
    hoverPen = Usable(MakeGdiplus<Gdiplus::Pen>(Gdiplus::Color(HOVER_COLOR), BOX_PEN_WIDTH));
    if (hoverPen) {
        hoverPen->SetDashStyle(Gdiplus::DashStyleDash);
    }
    numberBrush = Usable(MakeGdiplus<Gdiplus::SolidBrush>(Gdiplus::Color(NUMBER_COLOR)));
    hoverBrush = Usable(MakeGdiplus<Gdiplus::SolidBrush>(Gdiplus::Color(HOVER_COLOR)));

    const Gdiplus::FontFamily arial(NUMBER_FONT_FACE);
    if (arial.IsAvailable()) {
        numberFont = Usable(
            MakeGdiplus<Gdiplus::Font>(&arial, NUMBER_FONT_POINTS, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint));
    }
    const Gdiplus::FontFamily* sansSerif = numberFont ? nullptr : Gdiplus::FontFamily::GenericSansSerif();
    // With neither family the numbers are not drawn.
    if (sansSerif != nullptr) {
        numberFont = Usable(
            MakeGdiplus<Gdiplus::Font>(sansSerif, NUMBER_FONT_POINTS, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint));
    }
}

void CToothStatic::ReleaseResources()
{
    // The images go first, so that none holds a file the list deletes below.
    image.reset();
    sharpenedImage.reset();
    ForgetStretchedImage();
    boxPen.reset();
    hoverPen.reset();
    numberBrush.reset();
    hoverBrush.reset();
    numberFont.reset();
    ForgetSprites();
    if (!loader.useConstTeethMap && loader.teethMap != nullptr) {
        loader.teethMap->clear();
    }
    imageFiles.clear();
    displayedTeeth.clear();
    BeginNewTeeth();
    DeleteTempFiles();
}

bool CToothStatic::SetImageFiles(const std::vector<std::wstring>& files)
{
    if (files.size() > MAX_IMAGE_FILES) {
        return false;
    }
    loader.teethMap = &parsedTeeth;
    loader.constTeethMap = nullptr;
    loader.useConstTeethMap = false;
    // The tools of the teeth about to go would otherwise stay behind.
    RemoveToothTips();
    parsedTeeth.clear();
    displayedTeeth.clear();
    BeginNewTeeth();
    imageFiles = files;
    currentIndex = files.empty() ? -1 : 0;
    LoadCurrentImage();
    return true;
}

void CToothStatic::LoadCurrentImage()
{
    // The owner empties the map before it loads another image of the list.
    BeginNewTeeth();
    ForgetAnalysis();
    image.reset();
    sharpenedImage.reset();
    ForgetStretchedImage();
    imageWidth = 0;
    imageHeight = 0;
    if (currentIndex < 0 || static_cast<size_t>(currentIndex) >= imageFiles.size()) {
        return;
    }
    image = MakeGdiplus<Gdiplus::Bitmap>(imageFiles[static_cast<size_t>(currentIndex)].c_str(), FALSE);
    if (!image) {
        return;
    }
    if (image->GetLastStatus() == Gdiplus::Ok) {
        imageWidth = static_cast<int32_t>(image->GetWidth());
        imageHeight = static_cast<int32_t>(image->GetHeight());
        pixelFormat = image->GetPixelFormat();
    }
    if (imageWidth <= 0 || imageHeight <= 0) {
        // A file that cannot be decoded shows as no image, so that the
        // previous picture does not stay under the new file's name.
        image.reset();
        imageWidth = 0;
        imageHeight = 0;
        pixelFormat = 0;
    }
    UpdateLayout(nullptr);
    // With the sharpened view on, the new image shows sharpened at once. A
    // copy that cannot be made still repaints: the plain new image, never the
    // previous file's frame.
    if (showSharpened) {
        MakeSharpenedImage();
    }
    if (hwnd != nullptr) {
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}

void CToothStatic::BeginNewTeeth()
{
    ++displayGeneration;
    CMultiSelMenu::EndTracking(this);
}

void CToothStatic::UpdateLayout(const RECT* clientRect)
{
    if (clientRect != nullptr) {
        lastClientRect = *clientRect;
    }
    drawLeft = lastClientRect.left + marginLeft;
    drawTop = lastClientRect.top + marginTop;
    drawWidth = lastClientRect.right - marginRight - lastClientRect.left - marginLeft;
    drawHeight = lastClientRect.bottom - marginBottom - lastClientRect.top - marginTop;
    scaleX = Scale(drawWidth, imageWidth);
    scaleY = Scale(drawHeight, imageHeight);
    for (auto& entry : displayedTeeth) {
        entry.second.screenBox = ScreenBoxOf(entry.second.imageBox);
    }
}

RECT CToothStatic::ScreenBoxOf(const RECT& imageBox) const
{
    return {ToChart(imageBox.left, scaleX, drawLeft), ToChart(imageBox.top, scaleY, drawTop),
            ToChart(imageBox.right, scaleX, drawLeft), ToChart(imageBox.bottom, scaleY, drawTop)};
}

LRESULT CToothStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CREATE:
        if (Default() == -1) {
            return -1;
        }
        return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_DESTROY:
        Default();
        OnDestroy();
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case ID_COPY_FINDINGS:
            OnCopyFindings();
            return 0;
        case ID_EDIT_FINDINGS:
            OnEditFindings();
            return 0;
        case ID_LOAD_IMAGE:
            OnLoadImage();
            return 0;
        default:
            return OnChartCommand(LOWORD(wParam)) ? 0 : Default();
        }
    case WM_RBUTTONUP:
        OnRButtonUp(static_cast<UINT>(wParam), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_HOTKEY:
        OnHotKey(wParam);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MENUSELECT:
        // The menu loop may send the selection only here, never to the hook.
        if (g_multiSelOwner == this) {
            NoteMultiSelMenuSelect(wParam, lParam);
        }
        return Default();
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header != nullptr && header->code == TTN_NEEDTEXTW) {
            LRESULT result = 0;
            OnToolTipNeedText(static_cast<UINT>(wParam), header, &result);
            return result;
        }
        return Default();
    }
    case WM_CAPTURE_SCREEN:
        return OnCaptureScreen(wParam, lParam);
    case WM_ERASEBKGND:
        return OnEraseBkgnd();
    default:
        return Default();
    }
}

int CToothStatic::OnCreate(CREATESTRUCTW*)
{
    chartClipboard.Attach(hwnd, TIMER_CLIPBOARD_RETRY);
    return InitControl() ? 0 : -1;
}

void CToothStatic::OnDestroy()
{
    // The watch ends with the window, and the flag with it.
    captureHotKey.Release();
    hotKeyOn = false;
    chartClipboard.Detach();
    ReleaseResources();
}
