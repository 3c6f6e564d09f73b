// The analysis road: the sharpened copy, the upload, the parsed teeth, the findings text on the
// clipboard, and the screen capture that feeds it.
#include "chart/ToothStatic.h"

#include "analysis/ToothDetect.h"
#include "capture/HideWindowForCapture.h"
#include "capture/SCatpure.h"
#include "capture/SEffect.h"
#include "capture/ToolbarDlg.h"
#include "chart/FindingsText.h"
#include "chart/RecordTemplate.h"
#include "foundation/JpegFile.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "foundation/TextFile.h"
#include "ui/WindowFront.h"

#include <objbase.h>

#include <cstdint>

namespace {

// The sharpened view's effects: auto-level, then an unsharp mask.
constexpr double LEVEL_LOW_FRACTION = 0.1;
constexpr double LEVEL_HIGH_CLIP_FRACTION = 0.01;
constexpr float SHARPEN_AMOUNT = 1.5f;
constexpr float SHARPEN_RADIUS = 20.0f;

constexpr wchar_t TEMP_JPEG_EXTENSION[] = L".jpg";

GdiplusPtr<Gdiplus::Bitmap> Copy24Bit(Gdiplus::Bitmap& image, int32_t width, int32_t height)
{
    GdiplusPtr<Gdiplus::Bitmap> copy(image.Clone(0, 0, width, height, PixelFormat24bppRGB));
    if (copy && copy->GetLastStatus() != Gdiplus::Ok) {
        copy.reset();
    }
    return copy;
}

} // namespace

void CToothStatic::OnCopyFindings()
{
    // Without an accepted analysis of these teeth the text of an empty chart
    // would report "nothing found" for a patient never analysed.
    if (analysedGeneration != displayGeneration) {
        return;
    }
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
    return text.empty() || chartClipboard.PutText(text);
}

void CToothStatic::ForgetAnalysis()
{
    findingsText.clear();
    chartClipboard.Forget();
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
    // By their wide paths: a patient's folder may hold characters no code page has.
    const bool answered = detect.Detect(guidText, machineId, first, second, &accepted, &posInfo, &disInfo);
    // The tools belong to the teeth about to be replaced.
    RemoveToothTips();
    loader.teethMap = &parsedTeeth;
    loader.constTeethMap = nullptr;
    loader.useConstTeethMap = false;
    parsedTeeth.clear();
    const bool read =
        answered && accepted && loader.ReadReply(posInfo.c_str(), disInfo.c_str(), g_systemSetting.missEnd);

    RECT client{};
    GetClientRect(hwnd, &client);
    if (!EqualRect(&client, &lastClientRect)) {
        UpdateLayout(&client);
    }
    DisplayParsedTeeth();
    if (read) {
        analysedGeneration = displayGeneration;
    }
    AddToothTips();
    if (!read) {
        // The text of an empty chart would read as "nothing found" for a
        // patient who was never analysed, and the previous patient's text
        // must not be pasted for this one either.
        ForgetAnalysis();
    } else if (CRecordTemplateInfo recordTemplate; LoadUserTemplate(&recordTemplate)) {
        CopyFindingsText(&displayedTeeth, &recordTemplate, &findingsText);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
    return true;
}

void CToothStatic::DisplayParsedTeeth()
{
    displayedTeeth.clear();
    BeginNewTeeth();
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
    // Registered before the capture is saved, so that a half-written file goes too.
    AddTempFile(path);
    CSCatpure capture;
    if (!capture.CaptureRectToFile(&g_systemSetting.captureRect, path)) {
        ForgetTempFile(path);
        return;
    }
    if (listener != nullptr) {
        listener->OnOpenImage(path);
    }
    if (toolbar != nullptr) {
        toolbar->capturedImagePath = path;
        toolbar->findingsText = findingsText;
    }
    BringToFront(GetAncestor(hwnd, GA_ROOT));
}
