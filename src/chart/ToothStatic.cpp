#include "chart/ToothStatic.h"

#include "capture/ToolbarDlg.h"
#include "chart/FindingsText.h"
#include "chart/RecordTemplate.h"
#include "chart/ToothLabel.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "res/resource.h"
#include "ui/ClipboardHandles.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
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
        CToothInfo& tooth = entry.second;
        tooth.screenBox.left = Truncate(static_cast<float>(tooth.imageBox.left) * scaleX) + drawLeft;
        tooth.screenBox.right = Truncate(static_cast<float>(tooth.imageBox.right) * scaleX) + drawLeft;
        tooth.screenBox.top = Truncate(static_cast<float>(tooth.imageBox.top) * scaleY) + drawTop;
        tooth.screenBox.bottom = Truncate(static_cast<float>(tooth.imageBox.bottom) * scaleY) + drawTop;
    }
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
        if (LOWORD(wParam) == ID_COPY_FINDINGS) {
            OnCopyFindings();
            return 0;
        }
        return Default();
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
    UniqueBitmap picture(CreateCompatibleBitmap(ClientDC(hwnd).Get(), drawWidth, drawHeight));
    if (!picture) {
        return nullptr;
    }
    {
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
