#include "service/TextCodePage.h"

#include <windows.h>

bool AnsiToWide(const std::string& text, std::wstring* out)
{
    out->clear();
    if (text.empty()) {
        return true;
    }
    const int length = MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return false;
    }
    out->resize(static_cast<size_t>(length));
    return MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                               out->data(), length) == length;
}

namespace {

// One conversion into the thread's ANSI code page; `lossy` tells whether a
// character had no exact counterpart. A UTF-8 code page takes neither the
// best-fit flag nor the question, and loses nothing.
int ConvertToAnsi(const std::wstring& text, char* out, int outLen, BOOL* lossy)
{
    *lossy = FALSE;
    const int length = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                           static_cast<int>(text.size()), out, outLen, nullptr, lossy);
    if (length > 0 || (GetLastError() != ERROR_INVALID_FLAGS && GetLastError() != ERROR_INVALID_PARAMETER)) {
        return length;
    }
    return WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), out, outLen, nullptr,
                               nullptr);
}

} // namespace

bool WideToAnsi(const std::wstring& text, std::string* out)
{
    out->clear();
    if (text.empty()) {
        return true;
    }
    BOOL lossy = FALSE;
    const int length = ConvertToAnsi(text, nullptr, 0, &lossy);
    if (length <= 0 || lossy) {
        return false;
    }
    out->resize(static_cast<size_t>(length));
    return ConvertToAnsi(text, out->data(), length, &lossy) == length && !lossy;
}
