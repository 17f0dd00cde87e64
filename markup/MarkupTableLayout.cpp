// Laying out tables in the two passes: the measure pass finds the grid, measures every cell and
// resolves column widths and row heights; the draw pass stretches the table to its room and draws
// fills, borders and the cells' content from those records.
#include "markup/RixMarkupRenderer.h"

#include <algorithm>
#include <numeric>

namespace {

// As far as any coordinate of the layout goes; sums of a few of them still fit an int.
constexpr long long kMaxCoordinate = 1 << 28;

int ClampCoordinate(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, -kMaxCoordinate, kMaxCoordinate));
}

int ClampExtent(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, 0, kMaxTableExtent));
}

long long Sum(const std::vector<int>& values)
{
    return std::accumulate(values.begin(), values.end(), 0LL);
}

// Gaps between and around the cells, and the frame, on top of the columns (or rows).
long long Overhead(int count, int spacing, int frame)
{
    return static_cast<long long>(count + 1) * spacing + std::max(count - 1, 0) + 2LL * frame;
}

int FillEffectByName(std::string_view value)
{
    static constexpr std::string_view kNames[]
        = { "solid", "hgradient", "vgradient", "hcgradient", "vcgradient", "3hgradient", "3vgradient", "noise",
              "diagshade", "hshade", "vshade", "hbump", "vbump", "softbump", "hardbump", "metal" };
    if (value == "transparent")
        return RIXFX_TRANSPARENT;
    for (size_t i = 0; i < std::size(kNames); ++i)
        if (value == kNames[i])
            return static_cast<int>(i);
    return -2;
}

// Columns first, cells of span 1 before wider ones, then rows likewise: a spanning cell only adds
// what the columns (rows) it spans still lack.
void ResolveGrid(TableLayout& table)
{
    std::vector<int> order;
    for (int i = 0; i < static_cast<int>(table.cells.size()); ++i)
        if (table.cells[i].nColSpan >= 1)
            order.push_back(i);
    std::stable_sort(
        order.begin(), order.end(), [&](int a, int b) { return table.cells[a].nColSpan < table.cells[b].nColSpan; });
    for (int index : order) {
        const CellLayout& cell = table.cells[index];
        const int first = index % table.nColumns, span = std::min(cell.nColSpan, table.nColumns - first);
        long long sum = 0;
        for (int c = first; c < first + span; ++c) {
            table.fixedColumns[c] |= cell.bFixed;
            sum += table.columnWidths[c];
        }
        if (sum >= cell.nFullWidth)
            continue;
        const long long shortfall = cell.nFullWidth - sum;
        for (int c = first; c < first + span; ++c)
            table.columnWidths[c] = ClampExtent(table.columnWidths[c] + shortfall / span);
        const int last = first + span - 1;
        table.columnWidths[last] = ClampExtent(table.columnWidths[last] + shortfall % span);
    }

    order.clear();
    for (int i = 0; i < static_cast<int>(table.cells.size()); ++i)
        if (table.cells[i].nRowSpan >= 1)
            order.push_back(i);
    std::stable_sort(
        order.begin(), order.end(), [&](int a, int b) { return table.cells[a].nRowSpan < table.cells[b].nRowSpan; });
    for (int index : order) {
        const CellLayout& cell = table.cells[index];
        const int first = index / table.nColumns, span = std::min(cell.nRowSpan, table.nRows - first);
        long long sum = 0;
        for (int r = first; r < first + span; ++r)
            sum += table.rowHeights[r];
        if (sum >= cell.nFullHeight)
            continue;
        const long long shortfall = cell.nFullHeight - sum;
        for (int r = first; r < first + span; ++r)
            table.rowHeights[r] = ClampExtent(table.rowHeights[r] + shortfall / span);
        table.rowHeights[first] = ClampExtent(table.rowHeights[first] + shortfall % span);
    }
}

// Where each column (row) starts, from the first cell's edge: the widths before it plus a gap and a
// pixel each.
std::vector<long long> Starts(const std::vector<int>& extents, int spacing)
{
    std::vector<long long> starts(extents.size() + 1, 0);
    for (size_t i = 0; i < extents.size(); ++i)
        starts[i + 1] = starts[i] + spacing + extents[i] + 1;
    return starts;
}

} // namespace

struct RixMarkupRenderer::TableGeometry {
    RECT inner {};
    int nSpacing = 0;
    std::vector<long long> columnStarts;
    std::vector<long long> rowStarts;
};

SIZE RixMarkupRenderer::LayoutBlocks(std::string_view text, const RECT& rect)
{
    // Paragraphs and tables one below the other.
    long long width = 0, height = 0;
    RECT piece = rect;
    const auto place = [&](SIZE size) {
        width = std::max<long long>(width, size.cx);
        height += size.cy;
        piece.top = ClampCoordinate(rect.top + height);
    };
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t table = FindTagAtLevel(text, pos, "table");
        const size_t end = std::min(table, text.size());
        if (end > pos)
            place(LayoutParagraph(text.substr(pos, end - pos), piece));
        if (table == std::string_view::npos)
            break;
        // The rest, its "</table>" first, is the next paragraph, where that tag is unknown.
        pos = FindTableEnd(text, table + 6);
        place(LayoutTable(text.substr(table, pos - table), piece));
    }
    return SIZE { ClampCoordinate(width), ClampCoordinate(height) };
}

SIZE RixMarkupRenderer::LayoutTable(std::string_view text, const RECT& rect)
{
    // Deeper tables are left out in both passes alike, so that the records still match.
    if (m_nTableDepth >= kMaxTableDepth)
        return SIZE { 0, 0 };
    ++m_nTableDepth;
    const OpeningTag tag = ReadOpeningTag(text, 0);
    const std::string_view body = text.substr(tag.contentStart);
    const int index = ++m_nTableCounter;
    // Records pair up with tables in text order: once one table keeps none, no later one does.
    if (m_bMeasuring && index == static_cast<int>(m_Tables.size())) {
        TableGrid grid = CountTableGrid(body, ValueContext());
        if (FitTableGrid(grid, m_nTableCellsLeft))
            m_Tables.emplace_back(grid.nRows, grid.nColumns);
    }
    // Nested tables add records while this one is worked on.
    TableLayout table;
    if (index < static_cast<int>(m_Tables.size()))
        table = std::move(m_Tables[index]);

    const TableLevel level = OpenTableLevel("table", tag.params, TablePart::Table, nullptr);
    const TextStyle style = m_Style;
    const int frame = style.nBorderStyle == RIXLINE_DOUBLE ? 3 : style.nBorderWidth;
    const int spacing = style.nPadding;
    SIZE size { 0, 0 };

    TableGeometry geometry;
    geometry.inner = rect;
    geometry.nSpacing = spacing;
    if (!m_bMeasuring) {
        long long width = Sum(table.columnWidths) + Overhead(table.nColumns, spacing, frame);
        const long long height = Sum(table.rowHeights) + Overhead(table.nRows, spacing, frame);
        const long long available = static_cast<long long>(rect.right) - rect.left;
        if (width < available) {
            // The spare width goes to the columns without a width of their own, the later ones
            // taking the larger shares.
            long long spare = available - width;
            int open = static_cast<int>(std::count(table.fixedColumns.begin(), table.fixedColumns.end(), 0));
            for (int c = 0; c < table.nColumns && open > 0; ++c) {
                if (table.fixedColumns[c])
                    continue;
                const long long share = spare / open--;
                table.columnWidths[c] = ClampExtent(table.columnWidths[c] + share);
                spare -= share;
                width += share;
            }
        }
        long long left = rect.left;
        if (width < available) {
            if (style.nHorzAlign == RIXALIGN_CENTER)
                left += (available - width) / 2;
            else if (style.nHorzAlign == RIXALIGN_RIGHT)
                left = rect.right - width;
        }
        const RECT tableRect { ClampCoordinate(left), rect.top, ClampCoordinate(left + width),
            ClampCoordinate(rect.top + height) };
        DrawTableDecoration(tableRect, style);
        geometry.inner
            = RECT { tableRect.left + frame, tableRect.top + frame, tableRect.right - frame, tableRect.bottom - frame };
        geometry.columnStarts = Starts(table.columnWidths, spacing);
        geometry.rowStarts = Starts(table.rowHeights, spacing);
        size = SIZE { tableRect.right - tableRect.left, tableRect.bottom - tableRect.top };
    }

    size_t pos = 0;
    for (int row = 0; row < table.nRows; ++row) {
        const size_t lt = FindTagAtLevel(body, pos, "tr");
        if (lt == std::string_view::npos)
            break;
        pos = FindRowEnd(body, lt + 3);
        LayoutTableRow(body.substr(lt, pos - lt), table, row, geometry);
    }

    if (m_bMeasuring) {
        if (table.nColumns > 0)
            ResolveGrid(table);
        size.cx = ClampCoordinate(Sum(table.columnWidths) + Overhead(table.nColumns, spacing, frame));
        size.cy = ClampCoordinate(Sum(table.rowHeights) + Overhead(table.nRows, spacing, frame));
    }

    if (index < static_cast<int>(m_Tables.size()))
        m_Tables[index] = std::move(table);
    CloseTableLevel(level);
    --m_nTableDepth;
    return size;
}

void RixMarkupRenderer::LayoutTableRow(
    std::string_view text, TableLayout& table, int row, const TableGeometry& geometry)
{
    const OpeningTag tag = ReadOpeningTag(text, 0);
    const TableLevel level = OpenTableLevel("tr", tag.params, TablePart::Row, nullptr);
    const int columns = table.nColumns;
    int column = 0;
    size_t pos = tag.contentStart;
    while (column < columns) {
        const size_t lt = FindTagAtLevel(text, pos, "td");
        if (lt == std::string_view::npos)
            break;
        pos = FindCellEnd(text, lt + 3);
        // Positions covered by a span from the left or from above are passed over.
        while (column < columns && table.Cell(row, column).nColSpan < 0)
            ++column;
        if (column >= columns)
            break;
        CellLayout& cell = table.Cell(row, column);
        RECT rect = geometry.inner;
        if (!m_bMeasuring) {
            const int colspan = std::clamp(cell.nColSpan, 1, columns - column);
            const int rowspan = std::clamp(cell.nRowSpan, 1, table.nRows - row);
            const std::vector<long long>& x = geometry.columnStarts;
            const std::vector<long long>& y = geometry.rowStarts;
            const long long left = geometry.inner.left + geometry.nSpacing + x[column];
            const long long top = geometry.inner.top + geometry.nSpacing + y[row];
            rect = RECT { ClampCoordinate(left), ClampCoordinate(top),
                ClampCoordinate(left + x[column + colspan] - x[column] - (geometry.nSpacing + 1)),
                ClampCoordinate(top + y[row + rowspan] - y[row] - (geometry.nSpacing + 1)) };
        }
        LayoutTableCell(text.substr(lt, pos - lt), rect, cell);
        if (m_bMeasuring) {
            cell.nColSpan = std::min(cell.nColSpan, columns - column);
            cell.nRowSpan = std::min(cell.nRowSpan, table.nRows - row);
            // The whole block the cell spans is covered, so that no later cell lands inside it.
            for (int r = row; r < row + cell.nRowSpan; ++r)
                for (int c = column; c < column + cell.nColSpan; ++c)
                    if (r != row || c != column)
                        table.Cell(r, c).nColSpan = table.Cell(r, c).nRowSpan = -1;
        }
        column += std::max(cell.nColSpan, 1);
    }
    CloseTableLevel(level);
}

void RixMarkupRenderer::LayoutTableCell(std::string_view text, const RECT& rect, CellLayout& cell)
{
    const OpeningTag tag = ReadOpeningTag(text, 0);
    if (m_bMeasuring) {
        cell.nContentWidth = cell.nContentHeight = 0;
        cell.nColSpan = cell.nRowSpan = 1;
    }
    const TableLevel level = OpenTableLevel("td", tag.params, TablePart::Cell, m_bMeasuring ? &cell : nullptr);
    const std::string_view content = text.substr(tag.contentStart);
    const int width = m_Style.nWidth, height = m_Style.nHeight;
    const long long inset = static_cast<long long>(m_Style.nMargin) + m_Style.nBorderWidth;
    if (m_bMeasuring) {
        cell.nContentWidth = width;
        cell.bFixed = width > 0;
        // Without a width of its own nothing in the cell wraps.
        const SIZE size
            = LayoutBlocks(content, RECT { rect.left, rect.top, ClampCoordinate(rect.left + width), rect.top });
        cell.nContentWidth = ClampExtent(std::max<long long>(cell.nContentWidth, size.cx));
        cell.nContentHeight = ClampExtent(size.cy);
        cell.nFullWidth = ClampExtent(std::max(width, cell.nContentWidth) + 2 * inset);
        cell.nFullHeight = ClampExtent(std::max(height, cell.nContentHeight) + 2 * inset);
    } else {
        if (m_Style.nFillEffect >= 0)
            DrawTableFill(rect, m_Style);
        // Sunk into the table: the dark edge at the top left.
        const COLORREF dark = m_bNormalColours ? m_Style.crBorderDark : m_crDisabledText;
        const COLORREF light = m_bNormalColours ? m_Style.crBorderLight : m_crDisabledText;
        if (m_Style.nBorderWidth > 0)
            RixEffectPainter::DrawBorder(m_hDC, rect, dark, light, m_Style.nBorderStyle, 1);
        RECT inner { ClampCoordinate(rect.left + inset), ClampCoordinate(rect.top + inset),
            ClampCoordinate(rect.right - inset), ClampCoordinate(rect.bottom - inset) };
        // Wrapped text must break where it broke when measured, or the lines recorded then no longer
        // match: in a column widened by another cell, content keeps the width its cell asked for.
        if (m_nWrapWidth != 0 && width > 0)
            inner.right = std::min<LONG>(inner.right, ClampCoordinate(static_cast<long long>(inner.left) + width));
        if (m_Style.nVertAlign == RIXVALIGN_CENTER)
            inner.top = ClampCoordinate(
                inner.top + (static_cast<long long>(inner.bottom) - inner.top - cell.nContentHeight) / 2);
        else if (m_Style.nVertAlign == RIXVALIGN_BOTTOM)
            inner.top = ClampCoordinate(static_cast<long long>(inner.bottom) - cell.nContentHeight);
        LayoutBlocks(content, inner);
    }
    CloseTableLevel(level);
}

RixMarkupRenderer::TableLevel RixMarkupRenderer::OpenTableLevel(
    const char* name, std::string_view params, TablePart part, CellLayout* cell)
{
    const TableLevel level { m_StyleStack.size(), m_nStyleOverflow };
    m_Style.strName = name;
    m_StyleStack.push_back(m_Style);
    m_StyleSheet.Apply(name, m_Style, ValueContext());
    if (part == TablePart::Cell)
        m_Style.nWidth = m_Style.nHeight = 0;
    ApplyTableAttributes(params, part, cell);
    SelectStyleFont();
    return level;
}

void RixMarkupRenderer::CloseTableLevel(const TableLevel& level)
{
    // Whatever the content left open closes with it.
    if (level.nDepth < m_StyleStack.size()) {
        m_Style = std::move(m_StyleStack[level.nDepth]);
        m_StyleStack.resize(level.nDepth);
    }
    m_nStyleOverflow = level.nOverflow;
    m_Style.strName.clear();
    SelectStyleFont();
}

void RixMarkupRenderer::ApplyTableAttributes(std::string_view params, TablePart part, CellLayout* cell)
{
    const RixValueContext context = ValueContext();
    TextStyle& style = m_Style;
    const bool bTable = part == TablePart::Table;
    size_t pos = 0;
    std::string_view name, value;
    while (NextMarkupAttribute(params, pos, name, value)) {
        if (name == "cellpadding") {
            if (bTable)
                style.nMargin = ParseSize(context, value, style.nMargin, false);
        } else if (name == "cellspacing") {
            if (bTable)
                style.nPadding = ParseSize(context, value, style.nPadding, false);
        } else if (name == "background") {
            // A value longer than any path names no picture; saved with every level inside the
            // table, it would only take room.
            if (bTable)
                style.strBackgroundImage = value.size() <= kMaxPicturePath + 8 ? value : std::string_view();
        } else if (name == "colspan" || name == "rowspan") {
            if (cell)
                (name == "colspan" ? cell->nColSpan : cell->nRowSpan) = ReadSpan(context, value);
        } else if (name == "border") {
            style.nBorderWidth = ParseSize(context, value, style.nBorderWidth, false);
            if (style.nBorderWidth == 0)
                style.nBorderStyle = RIXLINE_NONE;
            else if (style.nBorderStyle == RIXLINE_NONE)
                style.nBorderStyle = RIXLINE_SOLID;
        } else if (name == "borderstyle") {
            if (const int borderStyle = ParseBorderStyleKeyword(value); borderStyle >= 0)
                style.nBorderStyle = borderStyle;
            if (style.nBorderStyle != RIXLINE_NONE && style.nBorderWidth == 0)
                style.nBorderWidth = 1;
        } else if (name == "bordercolor") {
            style.crBorderLight = ParseColour(context.colours, value, style.crBorderLight);
            style.crBorderDark = ParseColour(context.colours, value, style.crBorderDark);
        } else if (name == "bordercolorlight") {
            style.crBorderLight = ParseColour(context.colours, value, style.crBorderLight);
        } else if (name == "bordercolordark") {
            style.crBorderDark = ParseColour(context.colours, value, style.crBorderDark);
        } else if (!m_bNormalColours && name.substr(0, 2) == "bg") {
            // Fills keep what they had while colours are off.
        } else if (name == "bgcolor") {
            style.crBackground = ParseColour(context.colours, value, style.crBackground);
            if (style.nFillEffect == RIXFX_TRANSPARENT)
                style.nFillEffect = RIXFX_SOLID;
        } else if (name == "bgmidcolor") {
            style.crFillMiddle = ParseColour(context.colours, value, style.crFillMiddle);
        } else if (name == "bgendcolor") {
            style.crFillEnd = ParseColour(context.colours, value, style.crFillEnd);
        } else if (name == "bgeffect") {
            if (const int effect = FillEffectByName(value); effect >= RIXFX_TRANSPARENT)
                style.nFillEffect = effect;
            else if (!value.empty())
                style.nFillEffect = ParseSize(context, value, style.nFillEffect, false);
        } else if (name == "align") {
            if (const int align = ParseAlignKeyword(value); align >= 0)
                style.nHorzAlign = align;
        } else if (name == "valign") {
            if (const int align = ParseVerticalAlignKeyword(value); align >= 0)
                style.nVertAlign = align;
        } else if (name == "width") {
            style.nWidth = ParseSize(context, value, style.nWidth, false);
        } else if (name == "height") {
            style.nHeight = ParseSize(context, value, style.nHeight, false);
        }
    }
    if (style.nBorderStyle == RIXLINE_NONE || style.nBorderWidth <= 0) {
        style.nBorderStyle = RIXLINE_NONE;
        style.nBorderWidth = 0;
    } else if (style.nBorderStyle != RIXLINE_SOLID || part != TablePart::Table) {
        style.nBorderWidth = 1;
    } else {
        // A pen's cost grows with its width; no table needs one wider than this.
        style.nBorderWidth = std::min(style.nBorderWidth, kMaxRuleThickness);
    }
}
