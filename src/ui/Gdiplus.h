// GDI+ with what it needs from COM, which the lean Windows headers leave out.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
