#include "ResultRows.h"

#include <vector>

std::string GetRowText(HWND hList, int row, int column)
{
    std::vector<char> buffer(MAX_PATH * 2, '\0');
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    ::SendMessageA(hList, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer.data();
}

void SetRowText(HWND hList, int row, int column, const std::string& text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(hList, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

static int InsertRow(HWND hList, int row, const std::string& name, int image)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<char*>(name.c_str());
    item.iImage = image;
    return static_cast<int>(::SendMessageA(hList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetRowImage(HWND hList, int row, int image)
{
    std::string texts[4];
    for (int column = 0; column < 4; column++)
        texts[column] = GetRowText(hList, row, column);
    ::SendMessageA(hList, LVM_DELETEITEM, row, 0);
    int inserted = InsertRow(hList, row, texts[0], image);
    for (int column = 1; column < 4; column++)
        SetRowText(hList, inserted, column, texts[column]);
}

int AppendRow(HWND hList, const std::string& name, const std::string& folder, int image)
{
    int row = InsertRow(hList, static_cast<int>(::SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0)), name, image);
    if (row >= 0)
        SetRowText(hList, row, RESULT_SOURCE_FOLDER, folder);
    return row;
}
