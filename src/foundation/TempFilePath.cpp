#include "foundation/TempFilePath.h"

#include "foundation/TextFile.h"

#include <string>

bool ComposeTempFilePath(std::wstring_view folder, const GUID* guid, const wchar_t* extension, wchar_t* out)
{
    std::string guidText;
    if (folder.empty() || extension == nullptr || out == nullptr || !GuidToString(guid, &guidText)) {
        return false;
    }
    const std::wstring_view ext(extension);
    if (folder.size() + guidText.size() + ext.size() > TEMP_PATH_CAPACITY - 1) {
        return false;
    }
    wchar_t* end = out;
    for (wchar_t c : folder) {
        *end++ = c;
    }
    // The GUID text is plain ASCII: each byte is its own wide character.
    for (char c : guidText) {
        *end++ = static_cast<wchar_t>(c);
    }
    for (wchar_t c : ext) {
        *end++ = c;
    }
    *end = L'\0';
    return true;
}
