// An image file opened for an upload to the analysis server. Others may read,
// write or delete the file while we hold it: a temporary copy that its owner
// deletes during the upload goes as soon as the upload lets it go, instead
// of staying on disk because the delete failed.
#pragma once

#include "foundation/Portable.h"

#include <string>

#ifndef _WIN32
#include <fstream>
#endif

class CUploadFile {
public:
    CUploadFile() = default;
    ~CUploadFile();
    CUploadFile(const CUploadFile&) = delete;
    CUploadFile& operator=(const CUploadFile&) = delete;

    // By a narrow path in the thread's ANSI code page, as the service's peers
    // send them (the host takes the bytes as they are).
    bool Open(const std::string& ansiPath);
    // By a wide path, which may hold characters no code page has.
    bool Open(const std::wstring& path);
    bool IsOpen() const;
    void Close();

    // The file's size, or -1 when it cannot be taken or does not fit a LEN;
    // the next read starts at the file's beginning.
    int Size();
    // Reads the next `len` bytes; false when the file ends first or a read fails.
    bool Read(char* out, int len);

private:
#ifdef _WIN32
    HANDLE handle = INVALID_HANDLE_VALUE;
#else
    std::ifstream stream;
#endif
};
