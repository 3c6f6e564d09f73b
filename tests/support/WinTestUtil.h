// Helpers for tests that run Windows code under Wine: scratch folders,
// message pumping with a bound, the program's own executable, the window's
// pixels, the clipboard, image files and a made-up network adapter.
#pragma once

#include <winsock2.h>

#include <iphlpapi.h>
#include <windows.h>

#include "ui/ShellOpen.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace Gdiplus {
class Bitmap;
}

namespace testutil {

// Pumps this thread's messages until `done` holds or `timeoutMs` runs out;
// true when `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Pumps messages for about `ms` milliseconds.
void PumpFor(DWORD ms);

// Pumps this thread's messages until its queue holds none but timers and
// paints. Input that this thread gave (SendInput, SetCursorPos) to its own
// windows has then been handled, and so have the messages it caused, such
// as the command a closed menu posts: a test may then look whether something
// happened. False when the queue did not empty within `boundMs`.
bool PumpUntilQueueEmpty(DWORD boundMs = 10000);

// A new empty folder under the temporary folder, removed with its contents
// when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    const std::wstring& Path() const { return path; }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }

private:
    std::wstring path;
};

// The user's temporary folder (TEMP and TMP) for this process and the
// programs it starts meanwhile, put back afterwards.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const std::wstring& folder);
    TempFolderOverride(const TempFolderOverride&) = delete;
    TempFolderOverride& operator=(const TempFolderOverride&) = delete;
    ~TempFolderOverride();

private:
    std::wstring savedTemp;
    std::wstring savedTmp;
};

// The ".jpg" files in the user's temporary folder.
std::vector<std::wstring> TempJpegs();

void RemoveTree(const std::wstring& path);
bool FileExists(const std::wstring& path);
// The names of the files and folders in `folder`, "." and ".." left out.
std::set<std::wstring> EntriesIn(const std::wstring& folder);
// The client area of `window` as drawn, after UpdateWindow: 0xRRGGBB values,
// row by row from the top. Read from the window's own device context, so a
// window that covers it does not matter (PrintWindow gives white under Wine).
std::vector<uint32_t> ReadClientPixels(HWND window, int* width, int* height);
// How many pixels of `colour` (0xRRGGBB) `window` drew inside `box`, in its
// client coordinates; the part of `box` outside the client area counts none.
int CountClientPixels(HWND window, const RECT& box, uint32_t colour);

// The whole screen as the display shows it, 0xRRGGBB row by row: what lies
// on top is what counts, not what a window drew under another.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // How many pixels of `colour` lie in `area`, in screen coordinates; the
    // part of `area` off the screen counts none.
    int Count(const RECT& area, uint32_t colour) const;
};
ScreenPixels ReadScreen();
// The screen's pixels inside `rect` (screen coordinates), as a person sees
// them: 0xRRGGBB values, row by row from the top.
std::vector<uint32_t> ReadScreenPixels(const RECT& rect);
// Pumps this thread's messages until every pixel of `rect` on the screen is
// `colour` (0xRRGGBB): a window shown is mapped and drawn some time later,
// longer on a busy machine. False when `boundMs` ran out first.
bool WaitForScreenColour(const RECT& rect, uint32_t colour, DWORD boundMs = 10000);

// Presses the keys through the system's input in their order and lets them
// go in the reverse one: a chord such as Alt+F4.
void PressChord(const std::vector<WORD>& keys);

// Starts `commandLine` with the Unix shell. Wine gives back no process to
// wait for: the caller waits for what the command does.
bool StartUnixCommand(const std::wstring& commandLine);

// The whole X display, as ImageMagick's import sees it (what a person would
// see), into `path` on Z:; false when no picture came within 20 s.
bool SaveScreenshot(const std::wstring& path);

// Saves `bitmap` with the GDI+ encoder of `mimeType` ("image/bmp", ...).
bool SaveBitmapAs(Gdiplus::Bitmap& bitmap, const std::wstring& path, const wchar_t* mimeType);

// An adapter table of one adapter that qualifies for the machine id
// (00-1A-2B-3C-4D-5E, with a gateway), in the shape GetAdaptersInfo answers.
ULONG OneAdapterTable(IP_ADAPTER_INFO* buffer, ULONG* size);

// The clipboard's Unicode text; "<not opened>" when the clipboard cannot be
// opened.
std::wstring ClipboardText();
void SetClipboardText(const std::wstring& text);

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

// The folder of the build's Quillmere.exe, where its run-time data lies.
std::wstring ProgramFolder();
std::wstring ProgramPath();
// The working folder the tests start Quillmere.exe in: the shipped "Record",
// "Health" and first-run "Setting.ini", whatever a developer saved from the
// program into its own folder.
std::wstring ProgramWorkFolder();

struct ProgramRun {
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    // The captions of the program's windows seen visible while it ran.
    std::set<std::wstring> visibleCaptions;
};

// Starts Quillmere.exe in its folder with `arguments` and, until it ends or
// `boundMs` runs out (then it is ended), pumps this thread's messages (a
// hand-off is sent to a window of the test) and notes its visible windows.
ProgramRun RunProgram(const std::wstring& arguments, DWORD boundMs = 60000);

// The capture button ("擷取X光") of a visible floating toolbar of the
// program's, or null.
HWND FindCaptureButton();

// The first visible top-level window of process `processId` with this class
// and caption (null matches any), or null. Tests share one display, so a
// lookup by name alone can meet, and then drive, another test's window.
HWND FindVisibleWindow(const wchar_t* className, const wchar_t* caption, DWORD processId = GetCurrentProcessId());

// Stands in for the shell while it lives, then gives the shell back: notes
// the target of every call, and expects each call to take the default verb
// of the target's type and SW_SHOWDEFAULT.
class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    std::vector<std::wstring> opened;

private:
    ShellOpener previous;
};

// Quillmere.exe started in its folder with `arguments`, for a test that
// drives it while it runs; ended if it still runs when the object goes.
class ProgramProcess {
public:
    explicit ProgramProcess(const std::wstring& arguments);
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;
    ~ProgramProcess();

    bool Started() const { return process != nullptr; }
    HANDLE Handle() const { return process; }
    DWORD Id() const { return processId; }
    // Pumps this thread's messages until the program ends or `boundMs` runs
    // out; true when it ended.
    bool WaitForEnd(DWORD boundMs);
    bool Ended() const;
    DWORD ExitCode() const;
    // The program's top-level window with this caption once it exists, or
    // null when `boundMs` runs out first.
    HWND WaitForWindow(const std::wstring& caption, DWORD boundMs) const;

private:
    HANDLE process = nullptr;
    DWORD processId = 0;
};

} // namespace testutil
