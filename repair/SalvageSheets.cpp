// The sheets of a salvaged workbook: each record goes to the sheet whose stretch of the stream it
// lies in, cells are kept whole or not at all, formulas keep their tokens only while everything
// they refer to is there, and a sheet is closed with its bounds as written.
#include "MinimalRecords.h"
#include "Salvager.h"

#include "RecordRules.h"

namespace {

// What a sheet keeps besides its cells: layout and page settings, which refer to nothing lost.
bool KeptAsIs(uint16_t type)
{
    switch (type) {
    case 0x000C: // CALCCOUNT
    case 0x000D: // CALCMODE
    case 0x000F: // REFMODE
    case 0x0010: // DELTA
    case 0x0011: // ITERATION
    case 0x0012: // PROTECT
    case 0x0013: // PASSWORD
    case 0x0014: // HEADER
    case 0x0015: // FOOTER
    case 0x001A: // VERTICALPAGEBREAKS
    case 0x001B: // HORIZONTALPAGEBREAKS
    case 0x001D: // SELECTION
    case 0x0026: // LEFTMARGIN
    case 0x0027: // RIGHTMARGIN
    case 0x0028: // TOPMARGIN
    case 0x0029: // BOTTOMMARGIN
    case 0x002A: // PRINTHEADERS
    case 0x002B: // PRINTGRIDLINES
    case 0x0041: // PANE
    case 0x0055: // DEFCOLWIDTH
    case 0x005F: // SAVERECALC
    case 0x0063: // OBJPROTECT
    case 0x0080: // GUTS
    case 0x0081: // WSBOOL
    case 0x0082: // GRIDSET
    case 0x0083: // HCENTER
    case 0x0084: // VCENTER
    case 0x0099: // STANDARDWIDTH
    case 0x00A0: // SCL
    case 0x00A1: // SETUP
    case 0x00DD: // SCENPROTECT
    case 0x00E5: // MERGEDCELLS
    case 0x0225: // DEFAULTROWHEIGHT
        return true;
    default:
        return false;
    }
}

bool ValueCell(uint16_t type)
{
    return type != biff::kBlank && type != biff::kMulBlank;
}

} // namespace

void Salvager::Sheets(const RecordWalk::Event& carried)
{
    if (carried.kind != RecordWalk::Kind::End)
        SheetEvent(carried);
    for (;;) {
        const RecordWalk::Event event = m_walk->NextRun();
        if (m_walk->Cancelled()) {
            m_stopped = true;
            return;
        }
        if (event.kind == RecordWalk::Kind::End)
            break;
        if (event.kind != RecordWalk::Kind::Run) {
            SheetEvent(event);
            continue;
        }
        // Record by record through the run, where the walk left them; plain cells in bulk.
        for (uint64_t at = event.from; at < event.to;) {
            at = CopyCells(at, event.to);
            if (at >= event.to)
                break;
            const uint8_t* head = m_reader->Bytes(at, biff::kHeaderSize);
            if (!head)
                break;
            RecordWalk::Record r;
            r.pos = at;
            r.type = biff::Get16(head);
            r.length = biff::Get16(head + 2);
            const uint8_t* whole = m_reader->Bytes(at, biff::kHeaderSize + r.length);
            if (!whole)
                break;
            SheetRecord(r, whole);
            at = r.End();
        }
    }
    CloseSheet();
}

// Plain cells of the open sheet that need nothing changed, written on as they stand, many at a
// time: the bulk of any sound stretch. Returns where the first record not taken starts.
uint64_t Salvager::CopyCells(uint64_t at, uint64_t to)
{
    if (m_current < 0 || m_depth != 1 || m_formula.open || m_rangeSheet != m_current || at < m_rangeFrom
        || at >= m_rangeTo || !m_dimensionsWritten)
        return at;
    Sheet& sheet = m_sheets[static_cast<size_t>(m_current)];
    if (sheet.gapOpen)
        return at;
    uint64_t available = 0;
    const uint8_t* window = m_reader->Window(at, available);
    if (!window)
        return at;
    const uint8_t* p = window;
    const uint8_t* end = window + std::min<uint64_t>({ available, to - at, m_rangeTo - at });
    // Kept in locals while the loop runs: the bytes read through `p` could otherwise be taken for
    // these members, and each would be read and written again for every record.
    const uint32_t xfKept = m_xfKept;
    const bool strings = m_stringsAsTheyWere;
    uint64_t cells = 0;
    uint32_t labels = 0;
    uint32_t lastRow = 0;
    bool boundsSet = m_boundsSet;
    uint32_t firstRow = m_firstRow, lastRowSeen = m_lastRow, firstCol = m_firstCol, lastCol = m_lastCol;
    while (end - p >= biff::kHeaderSize) {
        const uint16_t type = biff::Get16(p);
        const uint16_t length = biff::Get16(p + 2);
        if (end - p < biff::kHeaderSize + length)
            break;
        const uint8_t* body = p + biff::kHeaderSize;
        const uint32_t row = biff::Get16(body);
        uint32_t first = biff::Get16(body + 2);
        uint32_t last = first;
        if (type == biff::kNumber || type == biff::kRk || type == biff::kBoolErr) {
            if (biff::Get16(body + 4) >= xfKept)
                break;
            cells++;
        } else if (type == biff::kLabelSst) {
            if (biff::Get16(body + 4) >= xfKept || !strings)
                break;
            cells++;
            labels++;
        } else if (type == biff::kBlank) {
            if (biff::Get16(body + 4) >= xfKept)
                break;
        } else if (type == biff::kMulRk || type == biff::kMulBlank) {
            const uint32_t step = type == biff::kMulRk ? 6 : 2;
            bool formats = true;
            for (uint32_t x = 4; x + step <= length - 2u && formats; x += step)
                formats = biff::Get16(body + x) < xfKept;
            if (!formats)
                break;
            last = biff::Get16(body + length - 2);
            if (type == biff::kMulRk)
                cells += last - first + 1;
        } else {
            break;
        }
        if (!boundsSet) {
            firstRow = lastRowSeen = row;
            firstCol = first;
            lastCol = last;
            boundsSet = true;
        } else {
            firstRow = std::min(firstRow, row);
            lastRowSeen = std::max(lastRowSeen, row);
            firstCol = std::min(firstCol, first);
            lastCol = std::max(lastCol, last);
        }
        lastRow = row;
        p += biff::kHeaderSize + length;
    }
    m_boundsSet = boundsSet;
    m_firstRow = firstRow;
    m_lastRow = lastRowSeen;
    m_firstCol = firstCol;
    m_lastCol = lastCol;
    m_labelSst += labels;
    if (p == window)
        return at;
    m_out.Write(window, static_cast<size_t>(p - window));
    sheet.cells += cells;
    m_cells += cells;
    sheet.lastRowKnown = true;
    sheet.lastRow = lastRow + 1;
    return at + static_cast<uint64_t>(p - window);
}

int Salvager::SheetAt(uint64_t pos)
{
    if (pos >= m_rangeFrom && pos < m_rangeTo)
        return m_rangeSheet;
    int found = -1;
    uint64_t to = UINT64_MAX;
    for (size_t i = 0; i < m_sheets.size(); i++) {
        const uint64_t offset = m_sheets[i].offset;
        if (offset <= pos && (found < 0 || offset > m_sheets[static_cast<size_t>(found)].offset))
            found = static_cast<int>(i);
        if (offset > pos)
            to = std::min(to, offset);
    }
    // Most records fall where the one before did.
    m_rangeSheet = found;
    m_rangeFrom = found >= 0 ? m_sheets[static_cast<size_t>(found)].offset : 0;
    m_rangeTo = to;
    return found;
}

void Salvager::SheetEvent(const RecordWalk::Event& event)
{
    if (event.kind == RecordWalk::Kind::Damage) {
        FinishFormula();
        m_lastDamage = event;
        m_damageSeen = true;
        m_afterDamage = true;
        if (m_current >= 0) {
            Sheet& sheet = m_sheets[static_cast<size_t>(m_current)];
            if (!sheet.gapOpen) {
                sheet.gapOpen = true;
                sheet.gapFrom = sheet.lastRowKnown ? sheet.lastRow : 1;
            }
            m_depth = 1;
            // Where sheet entries are lost, the damage may have hidden the start of a sheet
            // nothing names: what follows cannot be told from this sheet's own.
            if (!m_entriesComplete)
                CloseSheet();
        }
        return;
    }
    const uint8_t* whole = m_walk->Whole(event.record);
    if (whole)
        SheetRecord(event.record, whole);
}

void Salvager::SheetRecord(const RecordWalk::Record& r, const uint8_t* whole)
{
    const uint8_t* body = whole + biff::kHeaderSize;
    const int target = SheetAt(r.pos);
    if (r.type == biff::kBof) {
        const uint16_t kind = biff::BofKind(body, r.length, m_v);
        if (target >= 0 && r.pos == m_sheets[static_cast<size_t>(target)].offset && target != m_current) {
            CloseSheet();
            // Charts and modules are not kept: their sheets stay, empty, under their names.
            if (!m_sheets[static_cast<size_t>(target)].entered && m_sheets[static_cast<size_t>(target)].named
                && (kind == biff::kWorksheet || kind == biff::kMacroSheet))
                OpenSheet(target);
            m_afterDamage = false;
            m_depth = 1;
            return;
        }
        if (m_current >= 0) {
            // A substream inside the sheet: an embedded chart.
            m_depth++;
            return;
        }
        return;
    }
    if (target != m_current) {
        // The sheet's beginning was in the damaged stretch just before: its records are still its own.
        const bool beginningLost = target >= 0 && m_damageSeen && m_sheets[static_cast<size_t>(target)].named
            && !m_sheets[static_cast<size_t>(target)].entered
            && m_lastDamage.from <= m_sheets[static_cast<size_t>(target)].offset
            && m_sheets[static_cast<size_t>(target)].offset < m_lastDamage.to;
        if (!beginningLost)
            return;
        CloseSheet();
        OpenSheet(target);
        m_afterDamage = true;
        // Whatever stood before this record was in the damaged stretch.
        Sheet& sheet = m_sheets[static_cast<size_t>(target)];
        sheet.gapOpen = true;
        sheet.gapFrom = 1;
    }
    if (m_current < 0)
        return;
    if (r.type == biff::kEof) {
        if (m_depth > 1) {
            m_depth--;
            return;
        }
        m_sheets[static_cast<size_t>(m_current)].ended = true;
        CloseSheet();
        return;
    }
    if (m_depth > 1)
        return;
    // Chart records where a sheet's would be: a chart whose beginning was lost.
    if (m_afterDamage && r.type >= 0x1000 && r.type <= 0x10FF) {
        m_depth = 2;
        return;
    }
    SheetBody(r, whole);
}

uint8_t* Salvager::Scratch(const uint8_t* whole, uint16_t length)
{
    std::copy(whole, whole + biff::kHeaderSize + length, m_scratch.begin());
    return m_scratch.data() + biff::kHeaderSize;
}

void Salvager::SheetBody(const RecordWalk::Record& r, const uint8_t* whole)
{
    const uint8_t* body = whole + biff::kHeaderSize;
    switch (r.type) {
    case biff::kContinue:
        if (m_formula.open && m_formula.hasString)
            m_formula.stringBroken = true;
        return;
    case biff::kFormula:
    case biff::kShrFmla:
    case biff::kArray:
    case biff::kTable:
    case biff::kString:
        FormulaPart(r, body);
        return;
    default:
        FinishFormula();
        break;
    }
    switch (r.type) {
    case biff::kNumber:
    case biff::kRk:
    case biff::kLabel:
    case biff::kRString:
    case biff::kBoolErr:
    case biff::kBlank:
        if (biff::Get16(body + 4) < m_xfKept) {
            KeepCell(whole, r.length);
            return;
        }
        biff::Put16(Scratch(whole, r.length) + 4, biff::kDefaultCellXf);
        KeepCell(m_scratch.data(), r.length);
        return;
    case biff::kMulRk:
    case biff::kMulBlank: {
        uint8_t* copy = Scratch(whole, r.length);
        const uint32_t step = r.type == biff::kMulRk ? 6 : 2;
        for (uint32_t at = 4; at + step <= r.length - 2u; at += step)
            biff::Put16(copy + at, Xf(biff::Get16(body + at)));
        KeepCell(m_scratch.data(), r.length);
        return;
    }
    case biff::kLabelSst: {
        const uint32_t original = biff::Get32(body + 6);
        const uint32_t index = m_haveSst ? m_sst.Remap(original) : SstSurvey::kLost;
        if (index == SstSurvey::kLost) {
            m_sheets[static_cast<size_t>(m_current)].textLost++;
            return;
        }
        m_labelSst++;
        if (index == original && biff::Get16(body + 4) < m_xfKept) {
            KeepCell(whole, r.length);
            return;
        }
        uint8_t* copy = Scratch(whole, r.length);
        biff::Put16(copy + 4, Xf(biff::Get16(body + 4)));
        biff::Put32(copy + 6, index);
        KeepCell(m_scratch.data(), r.length);
        return;
    }
    case biff::kDimensions:
        EnsureDimensions();
        return;
    case biff::kRow: {
        EnsureDimensions();
        uint8_t* copy = Scratch(whole, r.length);
        const uint16_t xf = biff::Get16(body + 14);
        biff::Put16(copy + 14, static_cast<uint16_t>((xf & 0xF000) | Xf(xf & 0x0FFF)));
        m_out.Write(m_scratch.data(), biff::kHeaderSize + r.length);
        return;
    }
    case biff::kColInfo:
        biff::Put16(Scratch(whole, r.length) + 6, Xf(biff::Get16(body + 6)));
        m_out.Write(m_scratch.data(), biff::kHeaderSize + r.length);
        return;
    case biff::kWindow2:
        if (!m_window2) {
            m_out.Write(whole, biff::kHeaderSize + r.length);
            m_window2 = true;
        }
        return;
    default:
        if (KeptAsIs(r.type))
            m_out.Write(whole, biff::kHeaderSize + r.length);
        return;
    }
}

void Salvager::OpenSheet(int index)
{
    Sheet& sheet = m_sheets[static_cast<size_t>(index)];
    m_current = index;
    sheet.entered = true;
    uint8_t offset[4];
    biff::Put32(offset, static_cast<uint32_t>(m_out.Position()));
    m_out.Patch(sheet.entryPos, offset, sizeof(offset));
    m_out.Record(biff::kBof, biff::BofBody(m_v, biff::kWorksheet));
    m_depth = 1;
    m_dimensionsWritten = false;
    m_window2 = false;
    m_boundsSet = false;
    m_anchors.clear();
    m_formula = Formula();
}

void Salvager::EnsureDimensions()
{
    if (m_dimensionsWritten)
        return;
    m_dimensionsPos = m_out.Position() + biff::kHeaderSize;
    m_out.Record(biff::kDimensions, biff::DimensionsBody(m_v, 0, 0, 0, 0));
    m_dimensionsWritten = true;
}

void Salvager::CloseSheet()
{
    if (m_current < 0)
        return;
    FinishFormula();
    EnsureDimensions();
    if (!m_window2)
        m_out.Record(biff::kWindow2, biff::Window2Body(m_v, m_current == 0));
    const std::vector<uint8_t> bounds = m_boundsSet
        ? biff::DimensionsBody(m_v, m_firstRow, m_lastRow + 1, static_cast<uint16_t>(m_firstCol),
            static_cast<uint16_t>(m_lastCol + 1))
        : biff::DimensionsBody(m_v, 0, 0, 0, 0);
    m_out.Patch(m_dimensionsPos, bounds.data(), bounds.size());
    m_out.Record(biff::kEof, nullptr, 0);
    Sheet& sheet = m_sheets[static_cast<size_t>(m_current)];
    if (sheet.gapOpen) {
        // Nothing came back after the last damaged stretch.
        sheet.gaps.push_back({ sheet.gapFrom, 0 });
        sheet.gapOpen = false;
    }
    m_current = -1;
    m_depth = 0;
}

void Salvager::Bounds(uint32_t row, uint32_t firstCol, uint32_t lastCol)
{
    if (!m_boundsSet) {
        m_firstRow = m_lastRow = row;
        m_firstCol = firstCol;
        m_lastCol = lastCol;
        m_boundsSet = true;
        return;
    }
    m_firstRow = std::min(m_firstRow, row);
    m_lastRow = std::max(m_lastRow, row);
    m_firstCol = std::min(m_firstCol, firstCol);
    m_lastCol = std::max(m_lastCol, lastCol);
}

void Salvager::KeepCell(uint16_t type, const std::vector<uint8_t>& body)
{
    uint8_t* whole = m_scratch.data();
    biff::Put16(whole, type);
    biff::Put16(whole + 2, static_cast<uint16_t>(body.size()));
    std::copy(body.begin(), body.end(), whole + biff::kHeaderSize);
    KeepCell(whole, static_cast<uint16_t>(body.size()));
}

void Salvager::KeepCell(const uint8_t* whole, uint16_t length)
{
    EnsureDimensions();
    const uint16_t type = biff::Get16(whole);
    const uint8_t* body = whole + biff::kHeaderSize;
    const uint32_t row = biff::Get16(body);
    const uint32_t first = biff::Get16(body + 2);
    const bool multiple = type == biff::kMulRk || type == biff::kMulBlank;
    const uint32_t last = multiple ? biff::Get16(body + length - 2) : first;
    m_out.Write(whole, biff::kHeaderSize + length);
    Bounds(row, first, last);
    Sheet& sheet = m_sheets[static_cast<size_t>(m_current)];
    if (sheet.gapOpen) {
        sheet.gaps.push_back({ sheet.gapFrom, row + 1 });
        sheet.gapOpen = false;
    }
    sheet.lastRowKnown = true;
    sheet.lastRow = row + 1;
    if (ValueCell(type)) {
        const uint64_t count = type == biff::kMulRk ? last - first + 1 : 1;
        sheet.cells += count;
        m_cells += count;
    }
}

void Salvager::FormulaPart(const RecordWalk::Record& r, const uint8_t* body)
{
    if (r.type == biff::kFormula) {
        FinishFormula();
        m_formula.open = true;
        m_formula.formula.assign(body, body + r.length);
        return;
    }
    if (!m_formula.open)
        return;
    if (r.type == biff::kString) {
        const uint8_t* f = m_formula.formula.data();
        if (!m_formula.hasString && biff::Get16(f + 12) == 0xFFFF && f[6] == 0) {
            m_formula.hasString = true;
            m_formula.string.assign(body, body + r.length);
        }
        return;
    }
    if (m_formula.anchor.empty() && !m_formula.hasString) {
        m_formula.anchorType = r.type;
        m_formula.anchor.assign(body, body + r.length);
    }
}

void Salvager::FinishFormula()
{
    if (!m_formula.open)
        return;
    Formula f = std::move(m_formula);
    m_formula = Formula();
    const std::vector<uint8_t>& b = f.formula;
    // A text result whose text did not come with it is lost with its cell.
    if (biff::Get16(b.data() + 12) == 0xFFFF && b[6] == 0 && (!f.hasString || f.stringBroken))
        return;
    const uint16_t tokens = biff::Get16(b.data() + 20);
    const uint8_t* rgce = b.data() + 22;
    const bool biff8 = m_v == biff::Version::Biff8;
    // One token pointing at a shared, array or table formula's cell.
    const bool anchored = tokens == (biff8 ? 5 : 4) && (rgce[0] == 0x01 || rgce[0] == 0x02);
    const uint32_t key = anchored ? (uint32_t(biff::Get16(rgce + 1)) << 8) | rgce[3] : 0;
    const bool anchorHere = anchored && !f.anchor.empty() && f.anchor.size() >= 6
        && (uint32_t(biff::Get16(f.anchor.data())) << 8 | f.anchor[4]) == key;
    const bool keep = m_formulasKept && (!anchored || anchorHere || m_anchors.count(key) > 0);
    if (!keep) {
        ValueOf(f);
        return;
    }
    std::vector<uint8_t> formula = b;
    biff::Put16(formula.data() + 4, Xf(biff::Get16(b.data() + 4)));
    KeepCell(biff::kFormula, formula);
    if (anchorHere) {
        m_out.Record(f.anchorType, f.anchor);
        constexpr size_t kMaxAnchors = 65536;
        if (m_anchors.size() < kMaxAnchors)
            m_anchors.insert(key);
    }
    if (f.hasString)
        m_out.Record(biff::kString, f.string);
}

// A formula's last computed value, as the plain cell that holds it.
void Salvager::ValueOf(const Formula& f)
{
    const std::vector<uint8_t>& b = f.formula;
    std::vector<uint8_t> cell(b.begin(), b.begin() + 6);
    biff::Put16(cell.data() + 4, Xf(biff::Get16(b.data() + 4)));
    if (biff::Get16(b.data() + 12) != 0xFFFF) {
        cell.insert(cell.end(), b.begin() + 6, b.begin() + 14);
        KeepCell(biff::kNumber, cell);
        return;
    }
    switch (b[6]) {
    case 0: // text, in the STRING record that followed
        if (f.string.size() + cell.size() > biff::MaxBody(m_v))
            return;
        cell.insert(cell.end(), f.string.begin(), f.string.end());
        KeepCell(biff::kLabel, cell);
        return;
    case 1: // a logical value
    case 2: // an error
        if (b[6] == 2 && !biff::KnownErrorCode(b[8]))
            return;
        cell.push_back(b[8]);
        cell.push_back(b[6] == 2 ? 1 : 0);
        KeepCell(biff::kBoolErr, cell);
        return;
    case 3: // empty text
        cell.push_back(0);
        cell.push_back(0);
        if (m_v == biff::Version::Biff8)
            cell.push_back(0);
        KeepCell(biff::kLabel, cell);
        return;
    default:
        return;
    }
}
