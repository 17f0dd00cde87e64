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
    CListCtrl list = ListOf(hList);
    std::wstring texts[4];
    for (int column = 0; column < 4; column++)
        texts[column] = list.GetItemText(row, column);
    list.DeleteItem(row);
    int inserted = list.InsertItem(row, texts[0].c_str(), image);
    for (int column = 1; column < 4; column++)
        list.SetItemText(inserted, column, texts[column].c_str());
}

int AppendRow(HWND hList, const std::wstring& name, const std::wstring& folder, int image)
{
    CListCtrl list = ListOf(hList);
    int row = list.InsertItem(list.GetItemCount(), name.c_str(), image);
    if (row >= 0)
        list.SetItemText(row, RESULT_SOURCE_FOLDER, folder.c_str());
    return row;
}
