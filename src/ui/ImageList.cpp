#include "ui/ImageList.h"

CImageList::~CImageList()
{
    if (list != nullptr) {
        ImageList_Destroy(list);
    }
}

bool CImageList::Create(UINT bitmapId, int imageWidth, int grow, COLORREF transparent)
{
    if (list != nullptr) {
        return false;
    }
    list = ImageList_LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId), imageWidth, grow, transparent,
                                IMAGE_BITMAP, LR_CREATEDIBSECTION);
    return list != nullptr;
}

int CImageList::GetImageCount() const
{
    return list != nullptr ? ImageList_GetImageCount(list) : 0;
}
