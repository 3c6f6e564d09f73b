#include "settings/TransferLog.h"

void CTransferLog::Append(const std::wstring& more)
{
    text += more;
    if (text.size() <= MAX_CHARS) {
        return;
    }
    const size_t excess = text.size() - MAX_CHARS;
    const size_t lineEnd = text.find(L'\n', excess - 1);
    const size_t cut = lineEnd != std::wstring::npos && lineEnd + 1 < text.size() ? lineEnd + 1 : excess;
    text.erase(0, cut);
}
