// Finding tables, rows and cells in a markup text. Every search moves forward and stops at the end of
// the text it is given, so a scan ends however the tags are (or are not) closed.
#include "markup/MarkupTable.h"
#include "markup/MarkupText.h"

#include <algorithm>

namespace {

constexpr std::string_view kTable = "table";
constexpr std::string_view kTableClose = "/table";

// Past a nested table that opens at lt: just after the "<" of its "</table", or the end of the text.
size_t SkipNestedTable(std::string_view text, size_t lt)
{
    const size_t end = FindTableEnd(text, lt + 1 + kTable.size());
    return end >= text.size() ? text.size() : end + 1;
}

} // namespace

size_t NextTagStart(std::string_view text, size_t pos)
{
    for (;;) {
        const size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos || lt + 1 >= text.size())
            return std::string_view::npos;
        if (text[lt + 1] != '<')
            return lt;
        pos = lt + 2;
    }
}

bool TagNameAt(std::string_view text, size_t lt, std::string_view name)
{
    return text.substr(lt + 1, name.size()) == name;
}

size_t FindTagAtLevel(std::string_view text, size_t pos, std::string_view name)
{
    const bool bTable = name == kTable;
    while (pos < text.size()) {
        const size_t lt = NextTagStart(text, pos);
        if (lt == std::string_view::npos)
            break;
        if (TagNameAt(text, lt, name))
            return lt;
        pos = !bTable && TagNameAt(text, lt, kTable) ? SkipNestedTable(text, lt) : lt + 1;
    }
    return std::string_view::npos;
}

namespace {

// Where the element opened just before pos closes: its closing tag at the nesting it opened at, or the
// end of the text. Tables inside it are passed over whole unless it is a table itself.
size_t FindClose(std::string_view text, size_t pos, std::string_view open, std::string_view close)
{
    const bool bTable = open == kTable;
    size_t level = 1;
    while (pos < text.size()) {
        const size_t lt = NextTagStart(text, pos);
        if (lt == std::string_view::npos)
            break;
        if (!bTable && TagNameAt(text, lt, kTable)) {
            pos = SkipNestedTable(text, lt);
            continue;
        }
        if (TagNameAt(text, lt, open))
            ++level;
        else if (TagNameAt(text, lt, close) && --level == 0)
            return lt;
        pos = lt + 1;
    }
    return text.size();
}

} // namespace

size_t FindTableEnd(std::string_view text, size_t pos)
{
    return FindClose(text, pos, kTable, kTableClose);
}

size_t FindRowEnd(std::string_view text, size_t pos)
{
    return FindClose(text, pos, "tr", "/tr");
}

size_t FindCellEnd(std::string_view text, size_t pos)
{
    return std::min(FindTagAtLevel(text, pos, "/td"), text.size());
}

OpeningTag ReadOpeningTag(std::string_view text, size_t lt, RixCloseFinder* pCloseFinder)
{
    OpeningTag tag;
    const size_t gt = pCloseFinder ? pCloseFinder->After(lt) : text.find('>', lt + 1);
    if (gt == std::string_view::npos) {
        // The tokenizer reads no tag here either: nothing follows that belongs to it.
        tag.contentStart = text.size();
        return tag;
    }
    tag.params = SplitTagText(text.substr(lt + 1, gt - lt - 1)).params;
    tag.contentStart = gt + 1;
    return tag;
}

int ReadSpan(const RixValueContext& context, std::string_view value)
{
    // A span of 0 would cover nothing and leave the next cell on the same position.
    return std::clamp(ParseSize(context, value, 1, false), 1, kMaxTableColumns);
}

TableGrid CountTableGrid(std::string_view body, const RixValueContext& context)
{
    TableGrid grid;
    long long sum = 0;
    bool bInRow = false;
    const auto endRow = [&] {
        if (bInRow)
            grid.nColumns
                = static_cast<int>(std::max<long long>(grid.nColumns, std::min<long long>(sum, kMaxTableColumns)));
        bInRow = false;
        sum = 0;
    };
    // Cells whose tags never close each ask where the next ">" is; one search answers them all.
    RixCloseFinder closeFinder(body);
    size_t pos = 0;
    while (pos < body.size()) {
        const size_t lt = NextTagStart(body, pos);
        if (lt == std::string_view::npos)
            break;
        if (TagNameAt(body, lt, kTable)) {
            pos = SkipNestedTable(body, lt);
            continue;
        }
        if (TagNameAt(body, lt, "tr")) {
            endRow();
            bInRow = true;
            if (grid.nRows < kMaxTableCells)
                ++grid.nRows;
        } else if (TagNameAt(body, lt, "/tr")) {
            endRow();
        } else if (bInRow && TagNameAt(body, lt, "td")) {
            const OpeningTag tag = ReadOpeningTag(body, lt, &closeFinder);
            int span = 1;
            size_t at = 0;
            std::string_view name, value;
            while (NextMarkupAttribute(tag.params, at, name, value))
                if (name == "colspan")
                    span = ReadSpan(context, value);
            sum += span;
        }
        pos = lt + 1;
    }
    endRow();
    // Rows past what the table may hold are not laid out.
    if (grid.nColumns > 0)
        grid.nRows = std::min(grid.nRows, kMaxTableCells / grid.nColumns);
    return grid;
}

bool FitTableGrid(TableGrid& grid, long long& cellsLeft)
{
    const long long fixed = kTableRecordCells + grid.nColumns;
    if (cellsLeft < fixed)
        return false;
    const long long perRow = static_cast<long long>(grid.nColumns) + 1;
    grid.nRows = static_cast<int>(std::min<long long>(grid.nRows, (cellsLeft - fixed) / perRow));
    cellsLeft -= fixed + perRow * grid.nRows;
    return true;
}
