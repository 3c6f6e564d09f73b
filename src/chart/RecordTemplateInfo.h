// The seven texts of a record template, from which the findings text is built.
#pragma once

#include <string>

class CRecordTemplateInfo {
public:
    CRecordTemplateInfo();
    virtual ~CRecordTemplateInfo();

    std::wstring body;         // the text's frame; holds the finding placeholders
    std::wstring periSevere;   // periodontitis on six teeth or more
    std::wstring periModerate; // on four or five
    std::wstring periMild;     // on three or fewer, none included
    std::wstring none;         // in place of a kind that no tooth has
    std::wstring prefix;       // before a list of tooth numbers
    std::wstring postfix;      // after it
};
