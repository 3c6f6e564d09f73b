#include "ui/ListCtrl.h"

#include <commctrl.h>

#include <vector>

void CListCtrl::SetImageList(const CImageList& images, int which)
{
    ListView_SetImageList(hwnd, images.GetSafeHandle(), which);
}

bool CListCtrl::InsertColumn(int column, const std::wstring& title, int format, int width)
{
    LVCOLUMNW info{};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    info.fmt = format;
    info.cx = width;
    std::wstring text = title;
    info.pszText = text.data();
    return ListView_InsertColumn(hwnd, column, &info) >= 0;
}

int CListCtrl::InsertItem(int row, const std::wstring& text, int image)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    std::wstring copy = text;
    item.pszText = copy.data();
    return static_cast<int>(SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::GetItemCount() const
{
    return ListView_GetItemCount(hwnd);
}

std::wstring CListCtrl::GetItemText(int row, int column) const
{
    // The list view copies at most the buffer's size; a row's text here is short.
    std::vector<wchar_t> buffer(256, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const LRESULT length = SendMessageW(hwnd, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return std::wstring(buffer.data(), static_cast<size_t>(length > 0 ? length : 0));
}

void CListCtrl::SetItemState(int row, UINT state, UINT mask)
{
    ListView_SetItemState(hwnd, row, state, mask);
}

UINT CListCtrl::GetItemState(int row, UINT mask) const
{
    return ListView_GetItemState(hwnd, row, mask);
}

int CListCtrl::GetSelectionMark() const
{
    return ListView_GetSelectionMark(hwnd);
}

void CListCtrl::SetSelectionMark(int row)
{
    ListView_SetSelectionMark(hwnd, row);
}
