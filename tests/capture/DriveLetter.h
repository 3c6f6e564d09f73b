// A drive letter of the test's own for a folder, so that the folder is the
// root of a drive, as a USB stick is: there a directory search returns no
// "." and ".." entries first. Wine keeps its drive letters as symbolic links
// in the prefix's dosdevices folder (DefineDosDevice is not followed by its
// file system), so the link is made and removed by a Unix program.
#pragma once

#include "WinTestUtil.h"

#include <string>

class DriveLetter {
public:
    // Maps the first free letter from Y: down to `folder` (a Windows path);
    // Root() stays empty when that cannot be done.
    explicit DriveLetter(const std::wstring& folder)
    {
        const std::wstring prefix = Environment(L"WINEPREFIX");
        const std::string target = UnixPath(folder);
        if (prefix.empty() || target.empty()) {
            return;
        }
        const DWORD used = GetLogicalDrives();
        for (wchar_t letter = L'Y'; letter >= L'D'; --letter) {
            const std::wstring root = std::wstring(1, letter) + L":\\";
            // A letter just mapped may not show among the logical drives yet;
            // a link made over it would land inside the folder it names.
            if ((used & (1u << (letter - L'A'))) != 0 || testutil::FileExists(root)) {
                continue;
            }
            link = prefix + L"/dosdevices/" + static_cast<wchar_t>(letter - L'A' + L'a') + L":";
            if (testutil::StartUnixCommand(L"/bin/ln -s '" + std::wstring(target.begin(), target.end()) + L"' '" +
                                           link + L"'") &&
                testutil::PumpUntil([&] { return testutil::FileExists(root); }, 10000)) {
                rootPath = root;
            }
            return;
        }
    }
    ~DriveLetter()
    {
        if (!link.empty() && testutil::StartUnixCommand(L"/bin/rm -f '" + link + L"'") && !rootPath.empty()) {
            testutil::PumpUntil([&] { return !testutil::FileExists(rootPath); }, 10000);
        }
    }
    DriveLetter(const DriveLetter&) = delete;
    DriveLetter& operator=(const DriveLetter&) = delete;

    // "X:\" once mapped.
    const std::wstring& Root() const { return rootPath; }

private:
    static std::wstring Environment(const wchar_t* name)
    {
        wchar_t value[MAX_PATH] = {};
        const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
        return length > 0 && length < MAX_PATH ? value : L"";
    }

    // Wine's own export gives the Unix path of a Windows one.
    static std::string UnixPath(const std::wstring& path)
    {
        using ToUnix = char*(__cdecl*)(const wchar_t*);
        const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
        // Through void(*)(), which any function pointer converts to and from.
        const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(found));
        char* unixPath = toUnix != nullptr ? toUnix(path.c_str()) : nullptr;
        if (unixPath == nullptr) {
            return {};
        }
        std::string result = unixPath;
        HeapFree(GetProcessHeap(), 0, unixPath);
        return result;
    }

    std::wstring link;
    std::wstring rootPath;
};
