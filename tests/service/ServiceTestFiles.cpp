#include "ServiceTestFiles.h"

#include "WinTestUtil.h"
#include "analysis/AnalysisServer.h"
#include "analysis/TextField.h"
#include "foundation/JpegFile.h"

#include <shlobj.h>

#include <memory>

bool WriteTestJpeg(const std::wstring& path, int seed)
{
    constexpr int width = 96;
    constexpr int height = 64;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const BYTE level = static_cast<BYTE>((x * 255 / width + y * 2 + seed * 37) % 256);
            bitmap.SetPixel(x, y, Gdiplus::Color(level, static_cast<BYTE>(255 - level), static_cast<BYTE>(y * 4)));
        }
    }
    return SaveImageAsJpeg(&bitmap, path.c_str());
}

bool WriteNoisyJpeg(const std::wstring& path, int width, int height)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat24bppRGB, &data) != Gdiplus::Ok) {
        return false;
    }
    uint32_t state = 2463534242u;
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        for (int x = 0; x < width * 3; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            row[x] = static_cast<BYTE>(state);
        }
    }
    bitmap.UnlockBits(&data);
    return SaveImageAsJpeg(&bitmap, path.c_str());
}

NeverDeliveredFile::NeverDeliveredFile()
    : path(L"\\\\.\\pipe\\quillmere-never-delivered-" + std::to_wstring(GetCurrentProcessId()))
{
    pipe = CreateNamedPipeW(path.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
}

NeverDeliveredFile::~NeverDeliveredFile()
{
    if (Ready()) {
        CloseHandle(pipe);
    }
}

std::string Narrow(const std::wstring& asciiPath)
{
    return std::string(asciiPath.begin(), asciiPath.end());
}

std::wstring Widen(const std::string& asciiPath)
{
    return std::wstring(asciiPath.begin(), asciiPath.end());
}

std::string FrameValue(const std::string& frame)
{
    TextField field;
    if (!ReadField(frame.data(), static_cast<int>(frame.size()), &field)) {
        return "";
    }
    return std::string(field.value, static_cast<size_t>(field.valueLen));
}

FakeScenario AcceptWith(const std::string& findingsByTooth, const std::string& toothBoxes)
{
    FakeScenario scenario;
    scenario.reply = ReportFrame({{KEY_RETCODE, "1"}, {KEY_POSINFO, toothBoxes}, {KEY_DISINFO, findingsByTooth}});
    return scenario;
}

FakeScenario Refuse()
{
    FakeScenario scenario;
    scenario.reply = ReportFrame({{KEY_RETCODE, "0"}});
    return scenario;
}

SettingsFileOverride::SettingsFileOverride(const std::string& contents)
{
    wchar_t appData[MAX_PATH];
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    const std::wstring folder = std::wstring(appData) + L"\\Vantorel\\Quillmere";
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    path = folder + L"\\Setting.ini";
    existed = testutil::FileExists(path);
    if (existed) {
        saved = testutil::ReadBytes(path);
    }
    testutil::WriteBytes(path, contents);
}

SettingsFileOverride::~SettingsFileOverride()
{
    if (existed) {
        testutil::WriteBytes(path, saved);
    } else {
        DeleteFileW(path.c_str());
    }
}
