#include "analysis/UploadFile.h"

#ifndef _WIN32
#include "foundation/Utf8.h"
#endif

#include <climits>

#ifdef _WIN32

CUploadFile::~CUploadFile()
{
    Close();
}

bool CUploadFile::Open(const std::string& ansiPath)
{
    Close();
    if (ansiPath.empty() || ansiPath.size() > INT_MAX) {
        return false;
    }
    const int size = static_cast<int>(ansiPath.size());
    const int length = MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, ansiPath.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    std::wstring path(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, ansiPath.data(), size, path.data(), length) !=
        length) {
        return false;
    }
    return Open(path);
}

bool CUploadFile::Open(const std::wstring& path)
{
    Close();
    handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return IsOpen();
}

bool CUploadFile::IsOpen() const
{
    return handle != INVALID_HANDLE_VALUE;
}

void CUploadFile::Close()
{
    if (IsOpen()) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
}

int CUploadFile::Size()
{
    LARGE_INTEGER size{};
    if (!IsOpen() || !GetFileSizeEx(handle, &size) || size.QuadPart > INT_MAX ||
        !SetFilePointerEx(handle, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
        return -1;
    }
    return static_cast<int>(size.QuadPart);
}

bool CUploadFile::Read(char* out, int len)
{
    while (len > 0) {
        DWORD got = 0;
        if (!IsOpen() || !ReadFile(handle, out, static_cast<DWORD>(len), &got, nullptr) || got == 0) {
            return false;
        }
        out += got;
        len -= static_cast<int>(got);
    }
    return true;
}

#else

CUploadFile::~CUploadFile() = default;

bool CUploadFile::Open(const std::string& ansiPath)
{
    Close();
    stream.open(ansiPath, std::ios::binary);
    return IsOpen();
}

bool CUploadFile::Open(const std::wstring& path)
{
    return Open(WideToUtf8(path));
}

bool CUploadFile::IsOpen() const
{
    return stream.is_open();
}

void CUploadFile::Close()
{
    if (stream.is_open()) {
        stream.close();
    }
    stream.clear();
}

int CUploadFile::Size()
{
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    stream.seekg(0, std::ios::beg);
    if (!stream || size < 0 || size > INT_MAX) {
        return -1;
    }
    return static_cast<int>(size);
}

bool CUploadFile::Read(char* out, int len)
{
    return static_cast<bool>(stream.read(out, len));
}

#endif
