#pragma once

#include "ui/Gdiplus.h"

// Saves `image` as JPEG through the first encoder whose MIME type is exactly
// "image/jpeg", with the encoder's default options. False when the image or
// the path is null, no such encoder exists, or the save itself fails.
bool SaveImageAsJpeg(Gdiplus::Image* image, const wchar_t* path);
// As above, written through `file`, a handle opened for writing by its owner,
// who chose how others may share the file meanwhile and closes it.
bool SaveImageAsJpeg(Gdiplus::Image* image, HANDLE file);
