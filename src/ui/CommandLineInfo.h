// The walk over the program's arguments: each word goes to ParseParam as a
// flag (it began with '-' or '/', which is dropped) or as a value.
// Portable: it holds no Windows type.
#pragma once

#include <string>
#include <vector>

class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;
    virtual void ParseParam(const wchar_t* param, bool isFlag, bool isLast) = 0;
};

// `words` are the arguments after the program's name.
void ParseCommandLine(const std::vector<std::wstring>& words, CCommandLineInfo& info);
