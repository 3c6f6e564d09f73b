// The program's command line: the switches "service", "sharp" with a source
// and a target folder, and "file" with an image path. Switches are compared
// exactly (case-sensitive); every word counts for the positions, flags too.
#pragma once

#include "ui/CommandLineInfo.h"

#include <string>

class CCommandParser : public CCommandLineInfo {
public:
    void ParseParam(const wchar_t* param, bool isFlag, bool isLast) override;

    // The path given after "file", when there is one.
    bool GetFilePath(std::wstring& out) const;

    std::wstring sharpArg1;
    std::wstring sharpArg2;
    std::wstring filePath;
    int paramIndex = 0;
    int sharpArg1Index = -1;
    int sharpArg2Index = -1;
    int fileArgIndex = -1;
    bool serviceFlag = false;
    bool sharpFlag = false;
    bool fileFlag = false;
};
