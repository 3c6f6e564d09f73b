// A common-controls image list, owned and destroyed with the object. A list
// view that shows it must have LVS_SHAREIMAGELISTS, else the list view
// destroys it too.
#pragma once

#include <windows.h>

#include <commctrl.h>

class CImageList {
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    ~CImageList();

    // Loads the bitmap resource `bitmapId` cut into images `imageWidth`
    // pixels wide; `transparent` is the colour drawn as background.
    bool Create(UINT bitmapId, int imageWidth, int grow, COLORREF transparent);
    HIMAGELIST GetSafeHandle() const { return list; }
    int GetImageCount() const;

private:
    HIMAGELIST list = nullptr;
};
