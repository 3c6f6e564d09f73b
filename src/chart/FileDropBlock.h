// The clipboard's file drop (CF_HDROP) of one file: a DROPFILES header and
// the path followed by the two zero characters that end it and the list.
#pragma once

#include "ui/ClipboardHandles.h"

#include <windows.h>

#include <string>

// The header that the file list follows; pFiles points just past it.
constexpr size_t FILE_DROP_HEADER_SIZE = 20;

// A movable block for the clipboard. The path goes in the thread's ANSI code
// page, as every reader of file drops understands it, whenever it converts
// there and back unchanged; otherwise as UTF-16 with fWide set, since a
// narrow path would name no file. Empty for an empty path or when the block
// cannot be made.
UniqueGlobal MakeFileDropBlock(const std::wstring& path);
