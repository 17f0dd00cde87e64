#include "ResultRows.h"

#include "../framework/Controls.h"

namespace {

// The list's handle is all a CListCtrl holds; every call is a message to the list's thread.
CListCtrl ListOf(HWND hList)
{
    CListCtrl list;
    list.Attach(hList);
    return list;
}

} // namespace

std::wstring GetRowText(HWND hList, int row, int column)
{
    return ListOf(hList).GetItemText(row, column);
}

void SetRowText(HWND hList, int row, int column, const std::wstring& text)
{
    ListOf(hList).SetItemText(row, column, text.c_str());
}

void SetRowText(HWND hList, int row, int column, const char* text)
{
    ListOf(hList).SetItemText(row, column, text);
}

void SetRowImage(HWND hList, int row, int image)
{
    ListOf(hList).SetItemImage(row, image);
}

int AppendRow(HWND hList, const std::wstring& name, const std::wstring& folder, int image)
{
    CListCtrl list = ListOf(hList);
    int row = list.InsertItem(list.GetItemCount(), name.c_str(), image);
    if (row >= 0)
        list.SetItemText(row, RESULT_SOURCE_FOLDER, folder.c_str());
    return row;
}

CListRedrawPause::CListRedrawPause(HWND hList)
    : m_hList(hList)
{
    ::SendMessageA(m_hList, WM_SETREDRAW, FALSE, 0);
}

CListRedrawPause::~CListRedrawPause()
{
    ::SendMessageA(m_hList, WM_SETREDRAW, TRUE, 0);
    // Drawing that was held is not owed by itself: the list is painted once, header included.
    ::RedrawWindow(m_hList, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}
