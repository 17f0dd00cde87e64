// Tables of the markup: the records the measure pass leaves for the draw pass, and the scanner that
// finds tables, rows and cells in the text. Every count and size read from a text is bounded here, so
// that no table can ask for more cells, depth or pixels than a message can show.
#pragma once

#include "markup/MarkupValues.h"

#include <string_view>
#include <vector>

// Columns of one table, and the span of one cell.
constexpr int kMaxTableColumns = 1000;
// Cells of one table (rows times columns); rows past it are not laid out.
constexpr int kMaxTableCells = 1 << 16;
// Tables inside tables deeper than this are left out.
constexpr int kMaxTableDepth = 32;
// A column width or row height never grows past this.
constexpr int kMaxTableExtent = 1 << 24;
// What the records of all the tables of one text may hold, in cells: each table's cells, and its rows,
// columns and the record itself counted as cells too. Without it a text of many small tables with wide
// rows would keep records of many times its own size.
constexpr long long kMaxTextTableCells = 4LL * kMaxTableCells;
// The record of a table, in cells, besides its cells, rows and columns.
constexpr long long kTableRecordCells = 4;

struct CellLayout {
    // -1: the position is covered by another cell's span; 0: no cell there.
    int nColSpan = 0;
    int nRowSpan = 0;
    int nContentWidth = 0;
    int nContentHeight = 0;
    // Content (or the width and height asked for) plus padding and border on both sides.
    int nFullWidth = 0;
    int nFullHeight = 0;
    int bFixed = 0;
};

struct TableLayout {
    int nRows = 0;
    int nColumns = 0;
    // Row after row.
    std::vector<CellLayout> cells;
    std::vector<int> columnWidths;
    std::vector<int> rowHeights;
    // 1 where a cell of the column asks for a width: such columns are not stretched.
    std::vector<int> fixedColumns;

    TableLayout() = default;
    TableLayout(int rows, int columns)
        : nRows(rows)
        , nColumns(columns)
        , cells(static_cast<size_t>(rows) * static_cast<size_t>(columns))
        , columnWidths(static_cast<size_t>(columns))
        , rowHeights(static_cast<size_t>(rows))
        , fixedColumns(static_cast<size_t>(columns))
    {
    }
    CellLayout& Cell(int row, int column) { return cells[static_cast<size_t>(row) * nColumns + column]; }
    const CellLayout& Cell(int row, int column) const { return cells[static_cast<size_t>(row) * nColumns + column]; }
};

// The next "<" at or after pos that opens a tag; a doubled "<" is a literal bracket and is passed
// over. npos when there is none. pos must not be inside a run of brackets.
size_t NextTagStart(std::string_view text, size_t pos);
// Whether the tag that opens at lt starts with the name ("<tr" matches "tr").
bool TagNameAt(std::string_view text, size_t lt, std::string_view name);
// The next tag "<name" at the level of pos: tables nested in between are passed over whole. npos when
// there is none.
size_t FindTagAtLevel(std::string_view text, size_t pos, std::string_view name);
// From just after "<table": where the "</table" that closes it starts; the end of the text when none
// does.
size_t FindTableEnd(std::string_view text, size_t pos);
// From just after "<tr": where the "</tr" that closes the row starts (rows inside it counted, nested
// tables passed over); the end of the text when none does.
size_t FindRowEnd(std::string_view text, size_t pos);
// From just after "<td": the next "</td" of the same level, or the end of the text.
size_t FindCellEnd(std::string_view text, size_t pos);

// The tag that opens at lt: its parameter text, and where the content after its ">" begins (the end
// of the text when the tag is never closed).
struct OpeningTag {
    std::string_view params;
    size_t contentStart = 0;
};
class RixCloseFinder;
// With a close finder, tags read one after another through a text cost one search together.
OpeningTag ReadOpeningTag(std::string_view text, size_t lt, RixCloseFinder* pCloseFinder = nullptr);

// A span read from a "colspan" or "rowspan" value: at least 1, at most kMaxTableColumns.
int ReadSpan(const RixValueContext& context, std::string_view value);

// Rows ("<tr" at the table's own level) and columns (the largest sum of "colspan" over one row's
// cells), both within the bounds above.
struct TableGrid {
    int nRows = 0;
    int nColumns = 0;
};
TableGrid CountTableGrid(std::string_view body, const RixValueContext& context);
// Fits a table's grid into what the text's earlier tables left (fewer rows, or none) and takes its
// share; false when not even a record without rows fits.
bool FitTableGrid(TableGrid& grid, long long& cellsLeft);
