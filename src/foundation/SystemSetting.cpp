#include "foundation/SystemSetting.h"

#include "foundation/AppendPath.h"
#include "foundation/IniValue.h"

#include <shlobj.h>

#include <cstdint>

CSystemSetting g_systemSetting;

namespace {

const wchar_t kIniFileName[] = L"Setting.ini";
const wchar_t kAppDataFolder[] = L"Vantorel\\Quillmere";
const wchar_t kCaptureSection[] = L"CAPTURE";
const wchar_t kSystemSection[] = L"SYSTEM";
constexpr int kClipboardTokenAbsent = -1;

// A value that is not a decimal integer reads as the key's default, as if absent.
int ReadInteger(const wchar_t* section, const wchar_t* key, int defaultValue, const std::wstring& path)
{
    wchar_t text[64] = {};
    const DWORD length = GetPrivateProfileStringW(section, key, L"", text, 64, path.c_str());
    int32_t value = 0;
    if (length >= 63 || !ParseIniInteger(std::wstring(text, length), value)) {
        return defaultValue;
    }
    return value;
}

bool WriteInteger(const wchar_t* section, const wchar_t* key, int value, const std::wstring& path)
{
    return WritePrivateProfileStringW(section, key, FormatIniInteger(value).c_str(), path.c_str()) != FALSE;
}

// The region is stored as origin and size; wrapping arithmetic keeps any
// stored pair readable and writes it back unchanged.
LONG WrappingAdd(LONG a, LONG b)
{
    return static_cast<LONG>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

LONG WrappingSubtract(LONG a, LONG b)
{
    return static_cast<LONG>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

} // namespace

bool CSystemSetting::Load()
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    cwdIniPath.assign(folder, length);
    AppendPath(kIniFileName, cwdIniPath);

    if (!PrepareAppDataPath()) {
        return false;
    }
    const std::wstring& path = appDataFileExisted ? appDataIniPath : cwdIniPath;

    captureRect.left = ReadInteger(kCaptureSection, L"RECTX", 0, path);
    captureRect.top = ReadInteger(kCaptureSection, L"RECTY", 0, path);
    captureRect.right = WrappingAdd(captureRect.left, ReadInteger(kCaptureSection, L"RECTW", 0, path));
    captureRect.bottom = WrappingAdd(captureRect.top, ReadInteger(kCaptureSection, L"RECTH", 0, path));
    updateNotify = ReadInteger(kSystemSection, L"UPDATENFY", 0, path) != 0 ? 1 : 0;
    missEnd = ReadInteger(kSystemSection, L"MISSEND", 0, path) != 0;
    captureBar = ReadInteger(kSystemSection, L"CAPTUREBAR", 1, path) != 0;

    const int token = ReadInteger(kSystemSection, L"CLIPBOARDTOKEN", kClipboardTokenAbsent, path);
    const bool tokenAbsent = token == kClipboardTokenAbsent;
    clipboardToken = tokenAbsent || token != 0;

    dirty = tokenAbsent || !appDataFileExisted;
    return true;
}

bool CSystemSetting::PrepareAppDataPath()
{
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) {
        return false;
    }
    std::wstring folder = appData;
    AppendPath(kAppDataFolder, folder);
    appDataIniPath = folder;
    AppendPath(kIniFileName, appDataIniPath);

    appDataFileExisted = GetFileAttributesW(appDataIniPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!appDataFileExisted) {
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    }
    return true;
}

bool CSystemSetting::Save()
{
    if (!dirty) {
        return true;
    }
    const std::wstring& path = appDataIniPath;
    bool ok = true;
    ok &= WriteInteger(kCaptureSection, L"RECTX", captureRect.left, path);
    ok &= WriteInteger(kCaptureSection, L"RECTY", captureRect.top, path);
    ok &= WriteInteger(kCaptureSection, L"RECTW", WrappingSubtract(captureRect.right, captureRect.left), path);
    ok &= WriteInteger(kCaptureSection, L"RECTH", WrappingSubtract(captureRect.bottom, captureRect.top), path);
    ok &= WriteInteger(kSystemSection, L"UPDATENFY", updateNotify != 0 ? 1 : 0, path);
    ok &= WriteInteger(kSystemSection, L"MISSEND", missEnd ? 1 : 0, path);
    ok &= WriteInteger(kSystemSection, L"CAPTUREBAR", captureBar ? 1 : 0, path);
    ok &= WriteInteger(kSystemSection, L"CLIPBOARDTOKEN", clipboardToken ? 1 : 0, path);
    dirty = false;
    return ok;
}
