// The calling thread in a COM apartment of the given model while the object
// lives, when the system lets it in; a thread that was in one already stays
// in it.
#pragma once

#include <objbase.h>

class ComApartment {
public:
    explicit ComApartment(DWORD model) : entered(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
    ~ComApartment()
    {
        if (entered) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool entered;
};
