// The process-wide settings and their file "Setting.ini": the user's copy
// under the application-data folder, and a preset in the working directory
// that a first run reads while the user's copy does not exist yet.
#pragma once

#include <windows.h>

#include <string>

class CSystemSetting {
public:
    CSystemSetting() = default;
    CSystemSetting(const CSystemSetting&) = delete;
    CSystemSetting& operator=(const CSystemSetting&) = delete;
    virtual ~CSystemSetting() = default;

    virtual bool Load();
    // Writes the user's copy, all keys, when `dirty` is set.
    virtual bool Save();

    bool PrepareAppDataPath();

    std::wstring cwdIniPath;
    std::wstring appDataIniPath;
    RECT captureRect{};
    int updateNotify = 0;
    bool missEnd = false;
    bool captureBar = false;
    bool clipboardToken = false;
    bool dirty = false;
    bool appDataFileExisted = false;
};

extern CSystemSetting g_systemSetting;
