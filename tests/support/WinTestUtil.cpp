#include "WinTestUtil.h"

#include "ui/Dialog.h"
#include "ui/Gdiplus.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>

namespace testutil {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            CDialogEx::PumpMessage();
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool PumpUntilQueueEmpty(DWORD boundMs)
{
    // The high word tells what waits in the queue now; the input is queued
    // before SendInput or SetCursorPos returns.
    return PumpUntil([] { return HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE)) == 0; }, boundMs);
}

ScratchFolder::ScratchFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    path = std::wstring(temp) + L"quill-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
    RemoveTree(path);
    CreateDirectoryW(path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path);
}

namespace {

std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t value[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(value, length) : std::wstring();
}

} // namespace

TempFolderOverride::TempFolderOverride(const std::wstring& folder)
    : savedTemp(EnvironmentValue(L"TEMP")), savedTmp(EnvironmentValue(L"TMP"))
{
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
    SetEnvironmentVariableW(L"TMP", folder.c_str());
}

TempFolderOverride::~TempFolderOverride()
{
    SetEnvironmentVariableW(L"TEMP", savedTemp.empty() ? nullptr : savedTemp.c_str());
    SetEnvironmentVariableW(L"TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
}

std::vector<std::wstring> TempJpegs()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> found;
    for (const std::wstring& name : EntriesIn(temp)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, L".jpg") == 0) {
            found.push_back(std::wstring(temp) + name);
        }
    }
    return found;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

int CountInPixels(const std::vector<uint32_t>& pixels, int width, int height, const RECT& box, uint32_t colour)
{
    int count = 0;
    for (int y = std::max(0L, box.top); y < std::min<LONG>(height, box.bottom); ++y) {
        for (int x = std::max(0L, box.left); x < std::min<LONG>(width, box.right); ++x) {
            count += pixels[static_cast<size_t>(y) * width + x] == colour ? 1 : 0;
        }
    }
    return count;
}

} // namespace

int CountClientPixels(HWND window, const RECT& box, uint32_t colour)
{
    int width = 0;
    int height = 0;
    const auto pixels = ReadClientPixels(window, &width, &height);
    return CountInPixels(pixels, width, height, box, colour);
}

int ScreenPixels::Count(const RECT& area, uint32_t colour) const
{
    return CountInPixels(pixels, width, height, area, colour);
}

namespace {

// Copies `width` x `height` pixels from `source` at (x, y) into 0xRRGGBB values.
std::vector<uint32_t> CopyPixels(HDC source, int x, int y, int width, int height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    HDC copyDC = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy != nullptr) {
        HGDIOBJ old = SelectObject(copyDC, copy);
        BitBlt(copyDC, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        const auto* copied = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = copied[i] & 0xFFFFFF;
        }
        SelectObject(copyDC, old);
        DeleteObject(copy);
    }
    DeleteDC(copyDC);
    return pixels;
}

} // namespace

std::vector<uint32_t> ReadScreenPixels(const RECT& rect)
{
    // The screen's own context takes screen coordinates, also left of the
    // primary monitor.
    HDC screen = GetDC(nullptr);
    auto pixels = CopyPixels(screen, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    ReleaseDC(nullptr, screen);
    return pixels;
}

ScreenPixels ReadScreen()
{
    ScreenPixels screen;
    screen.width = GetSystemMetrics(SM_CXSCREEN);
    screen.height = GetSystemMetrics(SM_CYSCREEN);
    screen.pixels = ReadScreenPixels(RECT{0, 0, screen.width, screen.height});
    return screen;
}

bool WaitForScreenColour(const RECT& rect, uint32_t colour, DWORD boundMs)
{
    return PumpUntil(
        [&] {
            const auto pixels = ReadScreenPixels(rect);
            return std::all_of(pixels.begin(), pixels.end(), [colour](uint32_t pixel) { return pixel == colour; });
        },
        boundMs);
}

void PressChord(const std::vector<WORD>& keys)
{
    std::vector<INPUT> input;
    for (const WORD key : keys) {
        INPUT stroke{};
        stroke.type = INPUT_KEYBOARD;
        stroke.ki.wVk = key;
        input.push_back(stroke);
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        INPUT stroke{};
        stroke.type = INPUT_KEYBOARD;
        stroke.ki.wVk = *key;
        stroke.ki.dwFlags = KEYEVENTF_KEYUP;
        input.push_back(stroke);
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

bool StartUnixCommand(const std::wstring& commandLine)
{
    std::wstring shellLine = L"/bin/sh -c \"" + commandLine + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, shellLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The picture is written under another name and renamed once complete, so
// that a waiter never reads half a file.
bool SaveScreenshot(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    std::wstring unixPath = path.substr(2);
    std::replace(unixPath.begin(), unixPath.end(), L'\\', L'/');
    const std::wstring partial = unixPath + L".part.png";
    return StartUnixCommand(L"import -window root '" + partial + L"' && mv '" + partial + L"' '" + unixPath + L"'") &&
           PumpUntil([&] { return FileExists(path); }, 20000);
}

std::set<std::wstring> EntriesIn(const std::wstring& folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") {
                names.insert(name);
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return names;
}

std::vector<uint32_t> ReadClientPixels(HWND window, int* width, int* height)
{
    UpdateWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    *width = client.right;
    *height = client.bottom;
    HDC windowDC = GetDC(window);
    auto pixels = CopyPixels(windowDC, 0, 0, *width, *height);
    ReleaseDC(window, windowDC);
    return pixels;
}

bool SaveBitmapAs(Gdiplus::Bitmap& bitmap, const std::wstring& path, const wchar_t* mimeType)
{
    UINT count = 0;
    UINT size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<unsigned char> block(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
    if (size == 0 || Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (std::wcscmp(encoders[i].MimeType, mimeType) == 0) {
            return bitmap.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
        }
    }
    return false;
}

ULONG OneAdapterTable(IP_ADAPTER_INFO* buffer, ULONG* size)
{
    if (buffer == nullptr || *size < sizeof(IP_ADAPTER_INFO)) {
        *size = sizeof(IP_ADAPTER_INFO);
        return ERROR_BUFFER_OVERFLOW;
    }
    *buffer = IP_ADAPTER_INFO{};
    const BYTE mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::memcpy(buffer->Address, mac, sizeof mac);
    buffer->AddressLength = sizeof mac;
    std::strcpy(buffer->GatewayList.IpAddress.String, "192.0.2.1");
    std::strcpy(buffer->IpAddressList.IpAddress.String, "192.0.2.8");
    return NO_ERROR;
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr)) {
        return L"<not opened>";
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::wstring& text)
{
    if (!OpenClipboard(nullptr)) {
        return;
    }
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(GlobalLock(block), text.c_str(), bytes);
        GlobalUnlock(block);
        SetClipboardData(CF_UNICODETEXT, block);
    }
    CloseClipboard();
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

namespace {

std::wstring WindowsFolder(std::wstring folder)
{
    for (auto& c : folder) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return L"Z:" + folder;
}

} // namespace

std::wstring ProgramFolder()
{
    // The test programs lie in folders below the build folder, which holds
    // Quillmere.exe; the build names that folder for us.
    return WindowsFolder(QUILL_BUILD_FOLDER_W);
}

std::wstring ProgramWorkFolder()
{
    return WindowsFolder(QUILL_PROGRAM_WORK_FOLDER_W);
}

std::wstring ProgramPath()
{
    return ProgramFolder() + L"\\Quillmere.exe";
}

namespace {

struct CaptionSearch {
    DWORD process;
    std::set<std::wstring>* captions;
};

BOOL CALLBACK CollectVisibleCaption(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<CaptionSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window)) {
        wchar_t text[512] = {};
        GetWindowTextW(window, text, 512);
        search->captions->insert(text);
    }
    return TRUE;
}

} // namespace

namespace {

BOOL CALLBACK FindCaptureButtonProc(HWND top, LPARAM found)
{
    HWND candidate = FindWindowExW(top, nullptr, L"Button", L"擷取X光");
    if (candidate != nullptr && IsWindowVisible(top)) {
        *reinterpret_cast<HWND*>(found) = candidate;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindCaptureButton()
{
    HWND button = nullptr;
    EnumWindows(FindCaptureButtonProc, reinterpret_cast<LPARAM>(&button));
    return button;
}

HWND FindVisibleWindow(const wchar_t* className, const wchar_t* caption, DWORD processId)
{
    for (HWND window = FindWindowExW(nullptr, nullptr, className, caption); window != nullptr;
         window = FindWindowExW(nullptr, window, className, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

ShellRecorder::ShellRecorder()
    : previous(ReplaceShellOpener([this](const ShellCall& call) {
          opened.push_back(call.target);
          EXPECT_EQ(call.verb, nullptr);
          EXPECT_EQ(call.showCommand, SW_SHOWDEFAULT);
          return true;
      }))
{
}

ShellRecorder::~ShellRecorder()
{
    ReplaceShellOpener(previous);
}

ProgramRun RunProgram(const std::wstring& arguments, DWORD boundMs)
{
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ProgramRun run;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, ProgramWorkFolder().c_str(),
                        &startup, &process)) {
        return run;
    }
    const ULONGLONG deadline = GetTickCount64() + boundMs;
    while (GetTickCount64() < deadline) {
        if (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 10, QS_ALLINPUT) == WAIT_OBJECT_0) {
            run.ended = true;
            break;
        }
        CaptionSearch search{process.dwProcessId, &run.visibleCaptions};
        EnumWindows(CollectVisibleCaption, reinterpret_cast<LPARAM>(&search));
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (!run.ended) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

ProgramProcess::ProgramProcess(const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, ProgramWorkFolder().c_str(),
                       &startup, &info)) {
        CloseHandle(info.hThread);
        process = info.hProcess;
        processId = info.dwProcessId;
    }
}

ProgramProcess::~ProgramProcess()
{
    if (process == nullptr) {
        return;
    }
    if (!Ended()) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

bool ProgramProcess::WaitForEnd(DWORD boundMs)
{
    return process != nullptr && PumpUntil([this] { return Ended(); }, boundMs);
}

bool ProgramProcess::Ended() const
{
    return process != nullptr && WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

DWORD ProgramProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

namespace {

struct WindowSearch {
    DWORD process;
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    if (process == search->process && *search->caption == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND ProgramProcess::WaitForWindow(const std::wstring& caption, DWORD boundMs) const
{
    WindowSearch search{processId, &caption, nullptr};
    PumpUntil(
        [&] {
            EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr || Ended();
        },
        boundMs);
    return search.found;
}

} // namespace testutil
