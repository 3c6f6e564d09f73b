#include "ui/Sync.h"

CMutex::CMutex(const wchar_t* name) : handle(CreateMutexW(nullptr, FALSE, name)) {}

bool CSingleLock::Lock(DWORD timeoutMs)
{
    if (locked) {
        return true;
    }
    if (mutex.Handle() == nullptr) {
        return false;
    }
    const DWORD wait = WaitForSingleObject(mutex.Handle(), timeoutMs);
    locked = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    return locked;
}

void CSingleLock::Unlock()
{
    if (locked) {
        ReleaseMutex(mutex.Handle());
        locked = false;
    }
}
