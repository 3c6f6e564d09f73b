#include "chart/ToothStatic.h"

#include "analysis/ToothDetect.h"
#include "settings/SettingDlg.h"
#include "settings/TfdaDlg.h"
#include "capture/HideWindowForCapture.h"
#include "capture/SCatpure.h"
#include "capture/SEffect.h"
#include "capture/ToolbarDlg.h"
#include "chart/AreaShrink.h"
#include "chart/FileDropBlock.h"
#include "chart/FindingsText.h"
#include "chart/HealthPage.h"
#include "chart/MultiSelMenu.h"
#include "chart/RecordTemplate.h"
#include "chart/RecordTemplateDlg.h"
#include "chart/ToothLabel.h"
#include "foundation/JpegFile.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "foundation/TextFile.h"
#include "foundation/Utf8.h"
#include "res/resource.h"
#include "ui/ClipboardHandles.h"
#include "ui/ResString.h"
#include "ui/ShellOpen.h"
#include "ui/UniqueMenu.h"

#include <objbase.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>

namespace {

constexpr WORD BACK_BUFFER_BITS = 32;
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

// Truncation toward zero of a float product, held to the range of the
// result so that a wild box from the server cannot overflow it.
int32_t Truncate(float value)
{
    if (value <= static_cast<float>(INT32_MIN)) {
        return INT32_MIN;
    }
    if (value >= static_cast<float>(INT32_MAX)) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(value);
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

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Tooltip tools are identified by the tooth number alone, as number + this;
// only numbers in this range get one.
constexpr int32_t TIP_TOOTH_OFFSET = 1010;
constexpr int32_t TIP_FIRST_TOOTH = -999;
constexpr int32_t TIP_LAST_TOOTH = 60;

bool HasTipTool(int32_t toothNumber)
{
    return toothNumber >= TIP_FIRST_TOOTH && toothNumber <= TIP_LAST_TOOTH;
}

// The findings menu offers the kinds of bits 2^1 to 2^12: item k has the
// command ID_FINDING_CROWN_BRIDGE - 1 + k and the text IDS_FINDING_HEALTHY + k.
constexpr int FIRST_MENU_KIND = 1;
constexpr int LAST_MENU_KIND = 12;

UINT MenuCommandOfKind(int k)
{
    return static_cast<UINT>(ID_FINDING_CROWN_BRIDGE - FIRST_MENU_KIND + k);
}

std::wstring KindName(int k)
{
    return LoadResString(static_cast<UINT>(IDS_FINDING_HEALTHY + k));
}

// The sharpened view's effects: auto-level, then an unsharp mask.
constexpr double LEVEL_LOW_FRACTION = 0.1;
constexpr double LEVEL_HIGH_CLIP_FRACTION = 0.01;
constexpr float SHARPEN_AMOUNT = 1.5f;
constexpr float SHARPEN_RADIUS = 20.0f;

constexpr wchar_t TEMP_JPEG_EXTENSION[] = L".jpg";

// The upload opens files by narrow names in the thread's code page; a name
// with characters outside it cannot be opened, and the request then fails.
std::string ThreadCodePageName(const std::wstring& path)
{
    if (path.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string name(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, path.c_str(), static_cast<int>(path.size()), name.data(), size, nullptr,
                        nullptr);
    return name;
}

GdiplusPtr<Gdiplus::Bitmap> Copy24Bit(Gdiplus::Bitmap& image, int32_t width, int32_t height)
{
    GdiplusPtr<Gdiplus::Bitmap> copy(image.Clone(0, 0, width, height, PixelFormat24bppRGB));
    if (copy && copy->GetLastStatus() != Gdiplus::Ok) {
        copy.reset();
    }
    return copy;
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

void CToothStatic::CreateDrawingTools()
{
    lastClientRect = RECT{};
    backgroundColor = BACKGROUND_COLOR;
    marginLeft = marginRight = marginTop = marginBottom = 0;
    drawLeft = drawTop = drawWidth = drawHeight = 0;
    sprites.clear();

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
    sprites.clear();
    if (!loader.useConstTeethMap && loader.teethMap != nullptr) {
        loader.teethMap->clear();
    }
    imageFiles.clear();
    displayedTeeth.clear();
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
    imageFiles = files;
    currentIndex = files.empty() ? -1 : 0;
    LoadCurrentImage();
    return true;
}

void CToothStatic::LoadCurrentImage()
{
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
    if (hwnd != nullptr) {
        InvalidateRect(hwnd, nullptr, TRUE);
    }
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
    return {Truncate(static_cast<float>(imageBox.left) * scaleX) + drawLeft,
            Truncate(static_cast<float>(imageBox.top) * scaleY) + drawTop,
            Truncate(static_cast<float>(imageBox.right) * scaleX) + drawLeft,
            Truncate(static_cast<float>(imageBox.bottom) * scaleY) + drawTop};
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
    case WM_PREPARE_HOVER_DRAWINGS:
        OnPrepareHoverDrawings();
        return 0;
    case WM_ERASEBKGND:
        return OnEraseBkgnd();
    default:
        return Default();
    }
}

int CToothStatic::OnCreate(CREATESTRUCTW*)
{
    return InitControl() ? 0 : -1;
}

void CToothStatic::OnDestroy()
{
    // The watch ends with the window, and the flag with it.
    captureHotKey.Release();
    hotKeyOn = false;
    ReleaseResources();
}

BOOL CToothStatic::OnEraseBkgnd()
{
    RECT client{};
    GetClientRect(hwnd, &client);
    CoverWithBackBuffer(client);
    DrawBackground(client);
    return TRUE;
}

void CToothStatic::OnPaint()
{
    PaintDC paint(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    if (CoverWithBackBuffer(client)) {
        // A new back buffer holds nothing yet.
        DrawBackground(client);
    }
    if (!memoryDC || !backBuffer) {
        return;
    }
    DrawToothBoxes();
    ObjectSelection selected(memoryDC.Get(), backBuffer.Get());
    BitBlt(paint.Get(), client.left, client.top, client.right - client.left, client.bottom - client.top, memoryDC.Get(),
           client.left, client.top, SRCCOPY);
}

bool CToothStatic::CoverWithBackBuffer(const RECT& client)
{
    if (!memoryDC || (client.right <= backBufferSize.cx && client.bottom <= backBufferSize.cy)) {
        return false;
    }
    return MakeBackBuffer({std::max(backBufferSize.cx, client.right), std::max(backBufferSize.cy, client.bottom)});
}

bool CToothStatic::MakeBackBuffer(SIZE size)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = BACK_BUFFER_BITS;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap buffer(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!buffer) {
        return false;
    }
    backBuffer = std::move(buffer);
    backBufferPixels = static_cast<uint32_t*>(bits);
    backBufferSize = size;
    return true;
}

void CToothStatic::DrawBackground(const RECT& client)
{
    if (!memoryDC || !backBuffer) {
        return;
    }
    ObjectSelection selected(memoryDC.Get(), backBuffer.Get());
    if (!image) {
        const Gdiplus::Color colour(backgroundColor);
        UniqueGdiObject<HBRUSH> brush(CreateSolidBrush(RGB(colour.GetR(), colour.GetG(), colour.GetB())));
        FillRect(memoryDC.Get(), &client, brush.Get());
        // The boxes are laid over the same memory next.
        GdiFlush();
        return;
    }
    if (!SameRect(client, lastClientRect)) {
        UpdateLayout(&client);
    }
    Gdiplus::Image* source = showSharpened && sharpenedImage ? sharpenedImage.get() : image.get();
    HBITMAP picture = StretchedImage(source);
    if (picture == nullptr) {
        return;
    }
    UniqueMemoryDC pictureDC = UniqueMemoryDC::CompatibleWith(memoryDC.Get());
    ObjectSelection pictureSelected(pictureDC.Get(), picture);
    BitBlt(memoryDC.Get(), drawLeft, drawTop, drawWidth, drawHeight, pictureDC.Get(), 0, 0, SRCCOPY);
    GdiFlush();
}

namespace {

// The picture shrunk by block averages into a new 32-bit bitmap of `width` x
// `height`: a new picture's first frame would otherwise wait for GDI+ to
// resample it, which takes a good part of a second for a panoramic picture.
// Null when the picture is not larger in both directions or cannot be read;
// GDI+ stretches it then.
UniqueBitmap ShrunkPicture(Gdiplus::Image* source, int32_t width, int32_t height)
{
    auto* bitmap = dynamic_cast<Gdiplus::Bitmap*>(source);
    if (bitmap == nullptr || width > static_cast<int32_t>(bitmap->GetWidth()) ||
        height > static_cast<int32_t>(bitmap->GetHeight())) {
        return {};
    }
    Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap->GetWidth()), static_cast<INT>(bitmap->GetHeight()));
    Gdiplus::BitmapData pixels{};
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &pixels) != Gdiplus::Ok) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap shrunk(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const bool done =
        shrunk && ShrinkByAreaAverage(static_cast<const uint8_t*>(pixels.Scan0), whole.Width, whole.Height,
                                      pixels.Stride, static_cast<uint32_t*>(bits), width, height);
    bitmap->UnlockBits(&pixels);
    return done ? std::move(shrunk) : UniqueBitmap();
}

} // namespace

HBITMAP CToothStatic::StretchedImage(Gdiplus::Image* source)
{
    if (stretched && stretchedSource == source && stretchedSize.cx == drawWidth && stretchedSize.cy == drawHeight) {
        return stretched.Get();
    }
    ForgetStretchedImage();
    if (drawWidth <= 0 || drawHeight <= 0) {
        return nullptr;
    }
    // Stretching the whole image on every erase costs far more than a frame;
    // the stretched copy is drawn 1:1 instead.
    UniqueBitmap picture = ShrunkPicture(source, drawWidth, drawHeight);
    if (!picture) {
        picture.Reset(CreateCompatibleBitmap(ClientDC(hwnd).Get(), drawWidth, drawHeight));
        if (!picture) {
            return nullptr;
        }
        UniqueMemoryDC pictureDC = UniqueMemoryDC::CompatibleWith(memoryDC.Get());
        ObjectSelection selected(pictureDC.Get(), picture.Get());
        Gdiplus::Graphics graphics(pictureDC.Get());
        graphics.DrawImage(source, Gdiplus::Rect(0, 0, drawWidth, drawHeight));
    }
    stretched = std::move(picture);
    stretchedSource = source;
    stretchedSize = {drawWidth, drawHeight};
    return stretched.Get();
}

void CToothStatic::ForgetStretchedImage()
{
    stretched.Reset();
    stretchedSource = nullptr;
    stretchedSize = SIZE{};
}

void CToothStatic::DrawToothBoxes()
{
    if (backBufferPixels == nullptr) {
        return;
    }
    const CToothInfo* hovered = nullptr;
    uint32_t hoveredKeyInMap = 0;
    for (const auto& [key, tooth] : displayedTeeth) {
        if ((tooth.findingMask & displayFilter) == 0) {
            continue;
        }
        if ((tooth.flags & TOOTH_HOVER) != 0) {
            hovered = &tooth;
            hoveredKeyInMap = key;
            continue;
        }
        SpriteFor(key, tooth, false).DrawOver(backBufferPixels, backBufferSize.cx, backBufferSize.cy);
    }
    // Last, so that it lies over any box it overlaps.
    if (hovered != nullptr) {
        SpriteFor(hoveredKeyInMap, *hovered, true).DrawOver(backBufferPixels, backBufferSize.cx, backBufferSize.cy);
    }
    ForgetSpritesOfGoneTeeth();
}

const CToothSprite& CToothStatic::SpriteFor(uint32_t key, const CToothInfo& tooth, bool hovered)
{
    CachedSprite& cached = sprites[{key, hovered}];
    if (!cached.rendered || !SameRect(cached.box, tooth.screenBox) || cached.number != tooth.toothNumber) {
        cached.box = tooth.screenBox;
        cached.number = tooth.toothNumber;
        cached.rendered = true;
        cached.sprite.Render(tooth.screenBox, ToothLabel(tooth.toothNumber), hovered ? hoverPen.get() : boxPen.get(),
                             numberFont.get(), hovered ? hoverBrush.get() : numberBrush.get());
    }
    return cached.sprite;
}

void CToothStatic::ForgetSpritesOfGoneTeeth()
{
    if (sprites.size() <= 2 * displayedTeeth.size()) {
        return;
    }
    for (auto it = sprites.begin(); it != sprites.end();) {
        it = displayedTeeth.count(it->first.first) == 0 ? sprites.erase(it) : std::next(it);
    }
}

BOOL CToothStatic::PreTranslateMessage(MSG* msg)
{
    switch (msg->message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        toolTipCtrl.RelayEvent(msg);
        break;
    default:
        break;
    }
    return CStatic::PreTranslateMessage(msg);
}

void CToothStatic::OnCopyFindings()
{
    CRecordTemplateInfo recordTemplate;
    if (LoadUserTemplate(&recordTemplate)) {
        CopyFindingsText(&displayedTeeth, &recordTemplate, nullptr);
    }
}

bool CToothStatic::CopyFindingsText(const ToothInfoMap* teeth, const CRecordTemplateInfo* recordTemplate,
                                    std::wstring* out)
{
    if (out != nullptr) {
        out->clear();
    }
    if (teeth == nullptr || recordTemplate == nullptr) {
        return false;
    }
    std::wstring text = BuildFindingsText(*teeth, *recordTemplate, g_systemSetting.clipboardToken);
    if (!CopyTextToClipboard(text)) {
        return false;
    }
    if (out != nullptr) {
        *out = std::move(text);
    }
    return true;
}

bool CToothStatic::CopyTextToClipboard(const std::wstring& text)
{
    if (text.empty()) {
        return true;
    }
    // The block is filled before the clipboard is opened and emptied, so
    // that no failure can leave the user's clipboard empty.
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
    if (!block) {
        return false;
    }
    {
        GlobalLockScope locked(block.Get());
        if (locked.Data() == nullptr) {
            return false;
        }
        std::memcpy(locked.Data(), text.c_str(), bytes);
    }
    ClipboardSession clipboard(hwnd);
    if (!clipboard || !EmptyClipboard()) {
        return false;
    }
    if (SetClipboardData(CF_UNICODETEXT, block.Get()) == nullptr) {
        return false;
    }
    // The clipboard owns the block now.
    block.Release();
    return true;
}

bool CToothStatic::SaveTempJpeg(wchar_t path[TEMP_PATH_CAPACITY], bool* made)
{
    *made = false;
    if (!image) {
        return false;
    }
    if (pixelFormat == PixelFormat24bppRGB) {
        return true;
    }
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid)) || !MakeTempFilePath(&guid, TEMP_JPEG_EXTENSION, path)) {
        return false;
    }
    GdiplusPtr<Gdiplus::Bitmap> copy = Copy24Bit(*image, imageWidth, imageHeight);
    if (!copy) {
        return false;
    }
    // Registered before the save, so that a half-written file goes too.
    AddTempFile(path);
    *made = SaveImageAsJpeg(copy.get(), path);
    return *made;
}

bool CToothStatic::MakeSharpenedImage()
{
    if (sharpenedImage) {
        return true;
    }
    if (!image) {
        return false;
    }
    GdiplusPtr<Gdiplus::Bitmap> copy = Copy24Bit(*image, imageWidth, imageHeight);
    if (!copy) {
        return false;
    }
    bool sharpened = false;
    {
        CSEffect effect;
        sharpened = effect.Attach(copy.get()) && effect.LockBits() &&
                    effect.AutoLevel(LEVEL_LOW_FRACTION, LEVEL_HIGH_CLIP_FRACTION) &&
                    effect.Sharpen(SHARPEN_AMOUNT, SHARPEN_RADIUS);
        effect.UnlockBits();
    }
    if (sharpened) {
        sharpenedImage = std::move(copy);
    }
    return sharpened;
}

bool CToothStatic::SaveSharpenedCopy(const wchar_t* path)
{
    // Without the copy the upload would name a file that was never written
    // and fail only after connecting.
    if (!MakeSharpenedImage()) {
        return false;
    }
    AddTempFile(path);
    return SaveImageAsJpeg(sharpenedImage.get(), path);
}

bool CToothStatic::MachineId(std::string* out) const
{
    const bool read = adapterTable ? g_macAddressUtil.MacAddressString(adapterTable, out) : GetMacAddressString(out);
    return read && !out->empty();
}

bool CToothStatic::AnalyzeCurrentImage()
{
    if (currentIndex < 0 || static_cast<size_t>(currentIndex) >= imageFiles.size()) {
        return false;
    }
    GUID guid{};
    wchar_t sharpenedPath[TEMP_PATH_CAPACITY] = {};
    if (FAILED(CoCreateGuid(&guid)) || !MakeTempFilePath(&guid, TEMP_JPEG_EXTENSION, sharpenedPath)) {
        return false;
    }
    wchar_t copyPath[TEMP_PATH_CAPACITY] = {};
    bool copyMade = false;
    if (!SaveTempJpeg(copyPath, &copyMade)) {
        return false;
    }
    if ((showSharpened || sendBoth) && !SaveSharpenedCopy(sharpenedPath)) {
        return false;
    }
    const std::wstring& file = imageFiles[static_cast<size_t>(currentIndex)];
    std::wstring first = copyMade ? copyPath : file;
    std::wstring second;
    if (sendBoth) {
        first = file;
        second = sharpenedPath;
    } else if (showSharpened) {
        first = sharpenedPath;
    }
    std::string guidText;
    std::string machineId;
    if (!GuidToString(&guid, &guidText) || !MachineId(&machineId)) {
        return false;
    }

    CToothDetect detect;
    detect.SetServer(serverHost, serverPort);
    bool accepted = false;
    std::string posInfo;
    std::string disInfo;
    const bool answered = detect.Detect(guidText, machineId, ThreadCodePageName(first), ThreadCodePageName(second),
                                        &accepted, &posInfo, &disInfo);
    // The tools belong to the teeth about to be replaced.
    RemoveToothTips();
    loader.teethMap = &parsedTeeth;
    loader.constTeethMap = nullptr;
    loader.useConstTeethMap = false;
    parsedTeeth.clear();
    if (answered && accepted) {
        loader.loaderMode = TOOTH_BOXES;
        bool read = loader.ParseText(posInfo.c_str());
        loader.loaderMode = FINDINGS_BY_TOOTH;
        loader.onlyExisting = true;
        read = read && loader.ParseText(disInfo.c_str());
        if (!read) {
            parsedTeeth.clear();
        } else if (!g_systemSetting.missEnd) {
            loader.RemoveMissingWisdomTeeth();
        }
    }

    RECT client{};
    GetClientRect(hwnd, &client);
    if (!SameRect(client, lastClientRect)) {
        UpdateLayout(&client);
    }
    DisplayParsedTeeth();
    AddToothTips();
    CRecordTemplateInfo recordTemplate;
    if (LoadUserTemplate(&recordTemplate)) {
        CopyFindingsText(&displayedTeeth, &recordTemplate, &findingsText);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
    PostMessageW(hwnd, WM_PREPARE_HOVER_DRAWINGS, 0, 0);
    return true;
}

void CToothStatic::OnPrepareHoverDrawings()
{
    for (const auto& [key, tooth] : displayedTeeth) {
        if (PassesFilter(tooth)) {
            SpriteFor(key, tooth, true);
        }
    }
}

void CToothStatic::DisplayParsedTeeth()
{
    displayedTeeth.clear();
    for (const auto& entry : parsedTeeth) {
        CToothInfo tooth = entry.second;
        tooth.flags = 0;
        tooth.screenBox = ScreenBoxOf(tooth.imageBox);
        displayedTeeth[ToothKey(static_cast<uint32_t>(currentIndex), tooth.toothNumber)] = tooth;
    }
}

void CToothStatic::OnLoadImage()
{
    if (listener != nullptr) {
        listener->OnToothChartEvent(CHART_EVENT_LOAD_IMAGE, 0);
    }
}

LRESULT CToothStatic::OnCaptureScreen(WPARAM, LPARAM)
{
    const bool wasShown = toolbarShown;
    if (wasShown) {
        if (toolbar != nullptr) {
            // The toolbar must not be in the picture of the region it floats over.
            HideWindowForCapture(toolbar->GetSafeHwnd(), g_systemSetting.captureRect);
        }
        toolbarShown = false;
    }
    CaptureAndOpen();
    if (wasShown) {
        ShowCaptureToolbar();
    }
    return 0;
}

void CToothStatic::CaptureAndOpen()
{
    GUID guid{};
    wchar_t path[TEMP_PATH_CAPACITY] = {};
    if (FAILED(CoCreateGuid(&guid)) || !MakeTempFilePath(&guid, TEMP_JPEG_EXTENSION, path)) {
        return;
    }
    CSCatpure capture;
    if (!capture.CaptureRectToFile(&g_systemSetting.captureRect, path)) {
        return;
    }
    AddTempFile(path);
    if (listener != nullptr) {
        listener->OnOpenImage(path);
    }
    if (toolbar != nullptr) {
        toolbar->capturedImagePath = path;
        toolbar->findingsText = findingsText;
    }
    SetForegroundWindow(hwnd);
}

bool CToothStatic::PassesFilter(const CToothInfo& tooth) const
{
    return (tooth.findingMask & displayFilter) != 0;
}

CToothInfo* CToothStatic::GetHoveredTooth()
{
    if (hoveredKey == 0) {
        return nullptr;
    }
    const auto found = displayedTeeth.find(hoveredKey);
    return found == displayedTeeth.end() ? nullptr : &found->second;
}

void CToothStatic::OnMouseMove(UINT, POINT point)
{
    bool changed = false;
    if (CToothInfo* hovered = GetHoveredTooth()) {
        if (PassesFilter(*hovered) && PtInRect(&hovered->screenBox, point)) {
            return;
        }
        hovered->flags &= ~TOOTH_HOVER;
        changed = true;
    }
    hoveredKey = 0;
    for (auto& [key, tooth] : displayedTeeth) {
        if (PassesFilter(tooth) && PtInRect(&tooth.screenBox, point)) {
            tooth.flags |= TOOTH_HOVER;
            hoveredKey = key;
            changed = true;
            break;
        }
    }
    if (changed) {
        toolTipCtrl.Pop();
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void CToothStatic::OnLButtonUp(UINT, POINT point)
{
    const CToothInfo* hovered = GetHoveredTooth();
    if (hovered != nullptr && PassesFilter(*hovered) && PtInRect(&hovered->screenBox, point)) {
        OnEditFindings();
    }
}

void CToothStatic::OnEditFindings()
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(hwnd, &point);
    ShowFindingMenu(point);
}

void CToothStatic::ShowFindingMenu(const POINT& point)
{
    const CToothInfo* tooth = GetHoveredTooth();
    if (tooth == nullptr) {
        return;
    }
    const uint32_t key = hoveredKey;
    const uint32_t checked = tooth->findingMask == FINDING_HEALTHY ? 0 : tooth->findingMask;
    CMultiSelMenu menu;
    if (!menu.CreatePopupMenu()) {
        return;
    }
    for (int k = FIRST_MENU_KIND; k <= LAST_MENU_KIND; ++k) {
        const uint32_t bit = 1u << k;
        if ((bit & FILTER_ALL_FINDINGS) != 0) {
            menu.AppendCheckItem(MenuCommandOfKind(k), KindName(k), (checked & bit) != 0);
        }
    }
    POINT screen = point;
    ClientToScreen(hwnd, &screen);
    if (!menu.Track(this, screen)) {
        return;
    }
    // The menu's loop went on dispatching messages; a hand-off may have
    // rebuilt the map, and then the edited tooth is gone.
    const auto edited = displayedTeeth.find(key);
    if (edited == displayedTeeth.end()) {
        return;
    }
    uint32_t mask = 0;
    for (int k = FIRST_MENU_KIND; k <= LAST_MENU_KIND; ++k) {
        if (menu.IsChecked(MenuCommandOfKind(k))) {
            mask |= 1u << k;
        }
    }
    edited->second.findingMask = mask != 0 ? mask : FINDING_HEALTHY;
    OnCopyFindings();
    if (listener != nullptr) {
        listener->OnToothChartEvent(CHART_EVENT_FINDINGS_EDITED, 0);
    }
}

void CToothStatic::AddToothTips()
{
    for (const auto& entry : displayedTeeth) {
        const CToothInfo& tooth = entry.second;
        if (PassesFilter(tooth) && HasTipTool(tooth.toothNumber)) {
            toolTipCtrl.AddTool(this, tooth.screenBox, static_cast<UINT_PTR>(tooth.toothNumber + TIP_TOOTH_OFFSET));
        }
    }
}

void CToothStatic::RemoveToothTips()
{
    if (toolTipCtrl.GetSafeHwnd() == nullptr) {
        return;
    }
    for (const auto& entry : displayedTeeth) {
        if (HasTipTool(entry.second.toothNumber)) {
            toolTipCtrl.DelTool(this, static_cast<UINT_PTR>(entry.second.toothNumber + TIP_TOOTH_OFFSET));
        }
    }
}

BOOL CToothStatic::OnToolTipNeedText(UINT, NMHDR* header, LRESULT*)
{
    const CToothInfo* tooth = GetHoveredTooth();
    if (tooth == nullptr || !HasTipTool(tooth->toothNumber)) {
        return FALSE;
    }
    tooltipText.clear();
    const uint32_t kinds = tooth->findingMask & FILTER_ALL_FINDINGS;
    for (int k = FIRST_MENU_KIND; k <= LAST_MENU_KIND; ++k) {
        if ((kinds & (1u << k)) != 0) {
            if (!tooltipText.empty()) {
                tooltipText += L'\n';
            }
            tooltipText += KindName(k);
        }
    }
    // The notification's own buffer holds 79 characters, fewer than the
    // names of eight kinds: the control reads the whole text from here, which
    // stays until the next request.
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->hinst = nullptr;
    info->szText[0] = L'\0';
    info->lpszText = tooltipText.data();
    return TRUE;
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
