// A list view control of a dialog template, bound by SubclassDlgItem; the
// few list-view operations our dialogs use.
#pragma once

#include "ui/ImageList.h"
#include "ui/Wnd.h"

#include <string>

class CListCtrl : public CWnd {
public:
    // `which` is LVSIL_NORMAL or LVSIL_SMALL; the list stays the caller's.
    void SetImageList(const CImageList& images, int which);
    bool InsertColumn(int column, const std::wstring& title, int format, int width);
    // The index of the new row, or -1.
    int InsertItem(int row, const std::wstring& text, int image);
    int GetItemCount() const;
    std::wstring GetItemText(int row, int column) const;
    void SetItemState(int row, UINT state, UINT mask);
    UINT GetItemState(int row, UINT mask) const;
    int GetSelectionMark() const;
    void SetSelectionMark(int row);
};
