// A named mutex and a lock that holds it.
#pragma once

#include "ui/Handles.h"

class CMutex {
public:
    // Creates or opens the named mutex, not initially owned.
    explicit CMutex(const wchar_t* name);

    HANDLE Handle() const { return handle.Get(); }

private:
    UniqueHandle handle;
};

class CSingleLock {
public:
    explicit CSingleLock(CMutex& mutex) : mutex(mutex) {}
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;
    ~CSingleLock() { Unlock(); }

    // Takes the mutex within the time-out; one left abandoned by an ended
    // process counts as taken.
    bool Lock(DWORD timeoutMs);
    void Unlock();
    bool IsLocked() const { return locked; }

private:
    CMutex& mutex;
    bool locked = false;
};
