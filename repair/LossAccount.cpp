#include "LossAccount.h"

LossAccount::Sheet& LossAccount::Of(const std::wstring& sheet)
{
    for (Sheet& s : m_sheets) {
        if (s.name == sheet)
            return s;
    }
    m_sheets.push_back({ sheet, {}, false });
    return m_sheets.back();
}

void LossAccount::SheetLost(const std::wstring& sheet)
{
    Sheet& s = Of(sheet);
    s.whole = true;
    s.parts.clear();
}

void LossAccount::RowsLost(const std::wstring& sheet, uint32_t firstRow, uint32_t lastRow)
{
    Sheet& s = Of(sheet);
    if (s.whole)
        return;
    s.parts.push_back(firstRow >= lastRow ? L"row " + std::to_wstring(firstRow)
                                          : L"rows " + std::to_wstring(firstRow) + L"-" + std::to_wstring(lastRow));
}

void LossAccount::LostFrom(const std::wstring& sheet, uint32_t row)
{
    Sheet& s = Of(sheet);
    if (s.whole)
        return;
    if (row <= 1) {
        SheetLost(sheet);
        return;
    }
    s.parts.push_back(L"from row " + std::to_wstring(row) + L" on");
}

void LossAccount::TextLost(const std::wstring& sheet, uint32_t cells)
{
    if (cells == 0)
        return;
    Sheet& s = Of(sheet);
    if (s.whole)
        return;
    s.parts.push_back(L"text of " + std::to_wstring(cells) + (cells == 1 ? L" cell" : L" cells"));
}

std::wstring LossAccount::Text() const
{
    std::wstring text;
    for (const Sheet& s : m_sheets) {
        if (!text.empty())
            text += L", ";
        text += s.name;
        for (size_t i = 0; i < s.parts.size(); i++)
            text += (i == 0 ? L" " : L" and ") + s.parts[i];
    }
    if (m_unnamed > 0)
        text += (text.empty() ? L"" : L", ") + std::to_wstring(m_unnamed)
            + (m_unnamed == 1 ? L" sheet whose name was lost" : L" sheets whose names were lost");
    if (m_formats)
        text += text.empty() ? L"cell formats" : L", cell formats";
    // Every cell came back; what a salvaged copy never holds is still worth a word.
    if (text.empty())
        text = L"no cells; objects left out";
    return text;
}
