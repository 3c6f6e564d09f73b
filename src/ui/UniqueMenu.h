// A menu owned until it goes: DestroyMenu then.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;
