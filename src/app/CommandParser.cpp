#include "app/CommandParser.h"

void CCommandParser::ParseParam(const wchar_t* param, bool isFlag, bool isLast)
{
    const std::wstring word = param;
    if (!isFlag) {
        if (sharpFlag && paramIndex == sharpArg1Index) {
            sharpArg1 = word;
        } else if (sharpFlag && paramIndex == sharpArg2Index) {
            sharpArg2 = word;
        }
        if (fileFlag && paramIndex == fileArgIndex) {
            filePath = word;
        }
    } else if (word == L"service") {
        serviceFlag = true;
    } else if (word == L"sharp") {
        sharpFlag = true;
        sharpArg1Index = paramIndex + 1;
        sharpArg2Index = paramIndex + 2;
    } else if (word == L"file") {
        fileFlag = true;
        fileArgIndex = paramIndex + 1;
    }
    paramIndex = isLast ? 0 : paramIndex + 1;
}

bool CCommandParser::GetFilePath(std::wstring& out) const
{
    if (!fileFlag || filePath.empty()) {
        return false;
    }
    out = filePath;
    return true;
}
