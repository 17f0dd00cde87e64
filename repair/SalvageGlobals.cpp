// The globals of a salvaged workbook: what survived is copied, what cells need and was lost is
// written anew (fonts, the 16 formats every workbook has, the Normal style, the sheet entries),
// and the shared strings are written again from those that can still be read.
#include "MinimalRecords.h"
#include "Salvager.h"

#include <algorithm>

namespace {

// Records that make sense only with every record before them: formulas refer to names, external
// sheets and their books by position, and the extended formats refer to formats by position.
bool NeedsWholeGlobals(uint16_t type)
{
    switch (type) {
    case biff::kName:
    case biff::kExternSheet:
    case biff::kExternName:
    case biff::kSupBook:
    case 0x0059: // XCT
    case 0x005A: // CRN
    case 0x087C: // XFCRC
    case 0x087D: // XFEXT
    case 0x0892: // STYLEEXT
    case 0x088D: // DXF
    case 0x088E: // TABLESTYLES
    case 0x0896: // THEME
        return true;
    default:
        return false;
    }
}

// Records only a sheet holds: met in the globals after a damaged stretch, they say the globals'
// end was in it.
bool SheetOnly(uint16_t type)
{
    switch (type) {
    case biff::kNumber:
    case biff::kRk:
    case biff::kMulRk:
    case biff::kLabelSst:
    case biff::kLabel:
    case biff::kRString:
    case biff::kBoolErr:
    case biff::kBlank:
    case biff::kMulBlank:
    case biff::kFormula:
    case biff::kString:
    case biff::kShrFmla:
    case biff::kArray:
    case biff::kTable:
    case biff::kRow:
    case biff::kDimensions:
    case biff::kDbCell:
    case biff::kIndex:
    case biff::kWindow2:
    case biff::kColInfo:
    case biff::kMergedCells:
    case 0x001D: // SELECTION
    case 0x0041: // PANE
    case 0x00A0: // SCL
        return true;
    default:
        return false;
    }
}

bool IsSheetKind(uint16_t kind)
{
    return kind == biff::kWorksheet || kind == biff::kMacroSheet || kind == biff::kChart || kind == biff::kVbModule;
}

} // namespace

void Salvager::Copy(const RecordWalk::Record& r, const uint8_t* body)
{
    m_out.Record(r.type, body, r.length);
}

// Runs through the globals. A sheet's beginning met before the globals' end is handed back.
bool Salvager::Globals(RecordWalk::Event& carried)
{
    m_out.Record(biff::kBof, biff::BofBody(m_v, biff::kGlobals));
    bool first = true;
    for (;;) {
        const RecordWalk::Event event = m_walk->Next();
        if (m_walk->Cancelled())
            return false;
        if (event.kind == RecordWalk::Kind::End)
            break;
        if (event.kind == RecordWalk::Kind::Damage) {
            first = false;
            GlobalsDamage(event);
            if (event.cut)
                break;
            // Picked up again past the first sheet's beginning: the globals ended in the damage.
            const bool intoSheets = std::any_of(
                m_sheets.begin(), m_sheets.end(), [&](const Sheet& s) { return s.offset < event.to; });
            if (intoSheets) {
                carried = event;
                break;
            }
            continue;
        }
        const RecordWalk::Record& r = event.record;
        const uint8_t* body = m_walk->Body(r);
        if (!body)
            break;
        m_lastEnd = r.End();
        if (r.type == biff::kBof) {
            const uint16_t kind = biff::BofKind(body, r.length, m_v);
            if (first && kind == biff::kGlobals) {
                first = false;
                continue;
            }
            if (IsSheetKind(kind)) {
                carried = event;
                break;
            }
            continue;
        }
        first = false;
        if (r.type == biff::kEof)
            break;
        if (m_globalsDamaged && SheetOnly(r.type)) {
            carried = event;
            break;
        }
        if (!GlobalsRecord(r, body))
            return false;
    }
    FinishGlobals();
    return true;
}

void Salvager::GlobalsDamage(const RecordWalk::Event& event)
{
    if (m_entryRunOpen)
        CloseSheetEntries(true);
    // Formats are numbered by their place: after a gap, none of the rest can be placed.
    if (!m_formatsClosed)
        m_formatsLost = true;
    m_globalsDamaged = true;
    if (!m_sawStrings)
        m_damageBeforeStrings = true;
    m_skipContinue = true;
    m_lastEnd = event.to;
    m_lastDamage = event;
    m_damageSeen = true;
}

bool Salvager::GlobalsRecord(const RecordWalk::Record& r, const uint8_t* body)
{
    if (r.type != biff::kBoundSheet && m_entryRunOpen)
        CloseSheetEntries(false);
    if (r.type == biff::kContinue) {
        if (!m_skipContinue && !m_inStringTable)
            Copy(r, body);
        return true;
    }
    m_skipContinue = false;
    if (m_inStringTable && r.type != biff::kExtSst)
        m_inStringTable = false;
    if (m_xfRunStarted && !m_formatsClosed && r.type != biff::kXf)
        CloseFormats();
    switch (r.type) {
    case biff::kFilePass:
        // Ciphered: nothing after this can be read without the password.
        return false;
    case biff::kFont:
        if (!m_globalsDamaged && !m_formatsClosed) {
            Copy(r, body);
            m_fontsWritten = true;
        }
        return true;
    case biff::kXf:
        m_xfRunStarted = true;
        if (m_globalsDamaged || m_formatsClosed)
            return true;
        if (!m_fontsWritten) {
            for (int i = 0; i < 4; i++)
                m_out.Record(biff::kFont, biff::DefaultFontBody(m_v));
            m_fontsWritten = true;
        }
        Copy(r, body);
        m_xfKept++;
        m_xfWritten++;
        return true;
    case biff::kStyle:
        CloseFormats();
        if (!m_globalsDamaged && (biff::Get16(body) & 0x0FFF) < m_xfKept) {
            Copy(r, body);
            m_styleWritten = true;
        }
        return true;
    case biff::kBoundSheet:
        if (!m_entryRunOpen) {
            EnsureFormats();
            m_entryRunOpen = true;
            m_entryRunDamaged = m_globalsDamaged;
        }
        {
            Sheet sheet;
            sheet.offset = biff::Get32(body);
            sheet.visibility = body[4] & 0x03;
            sheet.name.assign(body + 6, body + r.length);
            if (!m_entriesWritten)
                m_sheets.push_back(sheet);
        }
        return true;
    case biff::kSst:
        if (m_v == biff::Version::Biff8 && !m_haveSst) {
            m_sawStrings = true;
            EnsureFormats();
            EnsureSheetEntries();
            WriteSst(r);
        }
        return true;
    case biff::kExtSst:
    case biff::kIndex:
    case biff::kDbCell:
        return true;
    case biff::kMsoDrawingGroup:
        m_skipContinue = true;
        return true;
    case biff::kCodePage:
        m_codePage = true;
        Copy(r, body);
        return true;
    case biff::kWindow1:
        m_window1 = true;
        Copy(r, body);
        return true;
    default:
        if (NeedsWholeGlobals(r.type) && m_globalsDamaged)
            return true;
        Copy(r, body);
        return true;
    }
}

// The formats end: at least the 15 style formats and the default cell format, with a font for
// them to use. Formats past the ones that survived are the default's.
void Salvager::CloseFormats()
{
    if (m_formatsClosed)
        return;
    m_formatsClosed = true;
    if (!m_fontsWritten) {
        for (int i = 0; i < 4; i++)
            m_out.Record(biff::kFont, biff::DefaultFontBody(m_v));
        m_fontsWritten = true;
    }
    while (m_xfWritten < biff::kMinimumXfCount) {
        m_out.Record(biff::kXf, biff::XfBody(m_v, m_xfWritten < biff::kDefaultCellXf));
        m_xfWritten++;
    }
}

void Salvager::EnsureFormats()
{
    CloseFormats();
    if (!m_styleWritten) {
        m_out.Record(biff::kStyle, biff::NormalStyleBody());
        m_styleWritten = true;
    }
}

void Salvager::CloseSheetEntries(bool damaged)
{
    m_entryRunOpen = false;
    m_entriesComplete = !damaged && !m_entryRunDamaged;
    EnsureSheetEntries();
}

// The sheet entries, written once, with their offsets filled in as the sheets are written. When
// some may be lost, the sheets' own beginnings say which there are.
void Salvager::EnsureSheetEntries()
{
    if (m_entriesWritten)
        return;
    if (m_entryRunOpen) {
        CloseSheetEntries(false);
        return;
    }
    EnsureFormats();
    if (!m_entriesComplete)
        Discover(m_lastEnd);
    m_entriesWritten = true;
    for (Sheet& sheet : m_sheets) {
        if (!sheet.named)
            continue;
        sheet.entryPos = m_out.Position() + biff::kHeaderSize;
        m_out.Record(biff::kBoundSheet, biff::BoundSheetBody(0, sheet.visibility, sheet.name));
    }
}

// Walks the rest of the stream for the beginnings of worksheets (charts inside sheets begin the
// same way, and are left out). Those no sheet entry names mark where the named ones end; their
// names are lost, and a name is not made up, so their cells are not kept.
void Salvager::Discover(uint64_t from)
{
    StreamReader reader(m_file, m_found.map);
    RecordWalk walk(reader, m_v, m_cancelled, from);
    std::vector<uint64_t> found;
    for (;;) {
        const RecordWalk::Event event = walk.Next();
        if (event.kind == RecordWalk::Kind::End || walk.Cancelled())
            break;
        if (event.kind != RecordWalk::Kind::Record || event.record.type != biff::kBof)
            continue;
        const uint8_t* body = walk.Body(event.record);
        const uint16_t kind = body ? biff::BofKind(body, event.record.length, m_v) : 0;
        if (kind == biff::kWorksheet || kind == biff::kMacroSheet)
            found.push_back(event.record.pos);
    }
    m_work += walk.Work();
    for (uint64_t pos : found) {
        if (std::any_of(m_sheets.begin(), m_sheets.end(), [&](const Sheet& s) { return s.offset == pos; }))
            continue;
        Sheet sheet;
        sheet.offset = pos;
        sheet.named = false;
        m_sheets.push_back(sheet);
    }
}

void Salvager::WriteSst(const RecordWalk::Record& r)
{
    // The table lies before the first sheet.
    uint64_t limit = m_found.map.Length();
    for (const Sheet& sheet : m_sheets) {
        if (sheet.offset > r.pos)
            limit = std::min(limit, sheet.offset);
    }
    m_sst = SurveySst(*m_side, r.pos, limit, true);
    if (!m_sst.found)
        return;
    m_haveSst = true;
    m_inStringTable = true;
    m_sstTotalPos = m_out.Position() + biff::kHeaderSize;
    ::WriteSst(*m_side, m_sst, 0, m_out);
}

void Salvager::FinishGlobals()
{
    if (m_entryRunOpen)
        CloseSheetEntries(false);
    EnsureFormats();
    EnsureSheetEntries();
    if (!m_codePage)
        m_out.Record(biff::kCodePage, biff::CodePageBody(m_v));
    if (!m_window1)
        m_out.Record(biff::kWindow1, biff::Window1Body());
    m_out.Record(biff::kEof, nullptr, 0);
    m_rangeTo = 0; // the sheets are known now
    if (!m_sawStrings)
        m_damageBeforeStrings = m_globalsDamaged;
    // Formulas keep their tokens only when every table they may refer to is there.
    m_formulasKept = !m_damageBeforeStrings && m_entriesComplete;
    m_stringsAsTheyWere = m_haveSst && m_sst.spans.size() == 1 && m_sst.spans[0].first == 0;
}
