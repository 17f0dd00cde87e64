// What a salvaged workbook lost, in words a user reads in the result list:
// "Sheet1 rows 40-52, Sheet2 from row 118 on, Sheet3"; when every cell came back, that pictures,
// comments and the like (which a salvaged copy leaves out) are all it lacks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class LossAccount {
public:
    // Rows are counted from 1, as a spreadsheet shows them.
    void SheetLost(const std::wstring& sheet);
    void RowsLost(const std::wstring& sheet, uint32_t firstRow, uint32_t lastRow);
    void LostFrom(const std::wstring& sheet, uint32_t row);
    void TextLost(const std::wstring& sheet, uint32_t cells);
    // Sheets found whose names (and so whose cells) are lost.
    void UnnamedSheets(uint32_t count) { m_unnamed += count; }
    void FormatsLost() { m_formats = true; }
    bool Empty() const { return m_sheets.empty() && !m_formats && m_unnamed == 0; }
    std::wstring Text() const;

private:
    struct Sheet {
        std::wstring name;
        std::vector<std::wstring> parts; // empty: the whole sheet
        bool whole = false;
    };
    Sheet& Of(const std::wstring& sheet);
    std::vector<Sheet> m_sheets;
    bool m_formats = false;
    uint32_t m_unnamed = 0;
};
