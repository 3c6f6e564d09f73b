// Files and records that the service's end-to-end tests share.
#pragma once

#include "FakeAnalysisServer.h"

#include <windows.h>

#include <string>
#include <vector>

// Writes a small JPEG image whose pixels depend on `seed`.
bool WriteTestJpeg(const std::wstring& path, int seed);
// Writes a JPEG image of noise, which compresses badly: its file takes more
// than half a byte a pixel.
bool WriteNoisyJpeg(const std::wstring& path, int width, int height);

// A path that opens like an image file but never delivers a byte (a named
// pipe that nobody writes to): whoever reads it waits until it goes.
class NeverDeliveredFile {
public:
    NeverDeliveredFile();
    NeverDeliveredFile(const NeverDeliveredFile&) = delete;
    NeverDeliveredFile& operator=(const NeverDeliveredFile&) = delete;
    ~NeverDeliveredFile();

    bool Ready() const { return pipe != INVALID_HANDLE_VALUE; }
    const std::wstring& Path() const { return path; }

private:
    std::wstring path;
    HANDLE pipe = INVALID_HANDLE_VALUE;
};

std::string Narrow(const std::wstring& asciiPath);
std::wstring Widen(const std::string& asciiPath);

// The value of the frame `frame` (a reply), or "" when it is no whole field.
std::string FrameValue(const std::string& frame);

// The scenarios of the fake analysis server; an accepted reply boxes tooth 11
// unless told otherwise.
FakeScenario AcceptWith(const std::string& findingsByTooth, const std::string& toothBoxes = "10,10,5,5,11\n");
FakeScenario Refuse();

// The user's settings file, replaced for a test and put back afterwards.
class SettingsFileOverride {
public:
    explicit SettingsFileOverride(const std::string& contents);
    SettingsFileOverride(const SettingsFileOverride&) = delete;
    SettingsFileOverride& operator=(const SettingsFileOverride&) = delete;
    ~SettingsFileOverride();

private:
    std::wstring path;
    bool existed = false;
    std::string saved;
};
