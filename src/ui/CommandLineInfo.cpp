#include "ui/CommandLineInfo.h"

void ParseCommandLine(const std::vector<std::wstring>& words, CCommandLineInfo& info)
{
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        const bool isFlag = !word.empty() && (word[0] == L'-' || word[0] == L'/');
        const bool isLast = i + 1 == words.size();
        info.ParseParam(isFlag ? word.c_str() + 1 : word.c_str(), isFlag, isLast);
    }
}
