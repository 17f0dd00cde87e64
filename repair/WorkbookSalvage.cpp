#include "WorkbookSalvage.h"

#include "MinimalRecords.h"
#include "Salvager.h"

Salvager::Salvager(const ByteSource& file, WritableBytes& target, const std::function<bool()>& cancelled)
    : m_file(file)
    , m_out(target)
    , m_cancelled(cancelled)
    , m_tables(file, cancelled)
{
}

SalvageOutcome Salvager::Run()
{
    SalvageOutcome outcome;
    if (m_cancelled && m_cancelled()) {
        outcome.cancelled = true;
        return outcome;
    }
    m_found = FindWorkbookStream(m_tables, m_file, m_cancelled);
    if (!m_found.found)
        return outcome;
    m_v = m_found.version;
    m_reader = std::make_unique<StreamReader>(m_file, m_found.map);
    m_side = std::make_unique<StreamReader>(m_file, m_found.map);
    m_walk = std::make_unique<RecordWalk>(*m_reader, m_v, m_cancelled);

    RecordWalk::Event carried;
    const bool globals = Globals(carried);
    if (globals)
        Sheets(carried);
    outcome.work = m_walk->Work() + m_work;
    if (m_walk->Cancelled() || m_stopped) {
        outcome.cancelled = true;
        return outcome;
    }
    // A ciphered workbook cannot be read past its globals' first records.
    if (!globals)
        return outcome;
    EmptySheets();
    if (m_haveSst) {
        uint8_t total[4];
        biff::Put32(total, m_labelSst);
        m_out.Patch(m_sstTotalPos, total, sizeof(total));
    }
    Account();
    for (const char* name : { "\005SummaryInformation", "\005DocumentSummaryInformation" }) {
        std::vector<uint8_t> bytes;
        if (ReadWholeSummary(m_tables, m_file, name, bytes))
            m_out.AddStream(name, std::move(bytes));
    }
    const bool written = m_out.Finish(m_v == biff::Version::Biff8 ? "Workbook" : "Book");
    outcome.writeFailed = !written;
    outcome.salvaged = written && m_cells > 0;
    outcome.cells = m_cells;
    outcome.lost = m_account.Text();
    return outcome;
}

// Sheets with nothing left stay as empty sheets under their names: formulas elsewhere that name
// them still read, and the sheet order is the original's.
void Salvager::EmptySheets()
{
    for (size_t i = 0; i < m_sheets.size(); i++) {
        if (m_sheets[i].entered || !m_sheets[i].named)
            continue;
        Sheet& sheet = m_sheets[i];
        uint8_t offset[4];
        biff::Put32(offset, static_cast<uint32_t>(m_out.Position()));
        m_out.Patch(sheet.entryPos, offset, sizeof(offset));
        m_out.Record(biff::kBof, biff::BofBody(m_v, biff::kWorksheet));
        m_out.Record(biff::kDimensions, biff::DimensionsBody(m_v, 0, 0, 0, 0));
        m_out.Record(biff::kWindow2, biff::Window2Body(m_v, i == 0));
        m_out.Record(biff::kEof, nullptr, 0);
    }
}

std::wstring Salvager::NameOf(const Sheet& s) const
{
    return biff::SheetNameText(m_v, s.name);
}

void Salvager::Account()
{
    uint32_t unnamed = 0;
    for (const Sheet& sheet : m_sheets) {
        if (!sheet.named) {
            unnamed++;
            continue;
        }
        const std::wstring name = NameOf(sheet);
        if (!sheet.entered || (sheet.cells == 0 && !sheet.gaps.empty())) {
            m_account.SheetLost(name);
            continue;
        }
        for (const auto& gap : sheet.gaps) {
            if (gap.second == 0)
                m_account.LostFrom(name, gap.first);
            else
                m_account.RowsLost(name, gap.first, gap.second);
        }
        // A sheet cut short with no damaged stretch noted in it: the walk ended inside it.
        if (!sheet.ended && sheet.gaps.empty())
            m_account.LostFrom(name, sheet.lastRowKnown ? sheet.lastRow : 1);
        m_account.TextLost(name, sheet.textLost);
    }
    m_account.UnnamedSheets(unnamed);
    if (m_formatsLost)
        m_account.FormatsLost();
}

SalvageOutcome SalvageWorkbook(const ByteSource& damaged, WritableBytes& target, const std::function<bool()>& cancelled)
{
    Salvager salvager(damaged, target, cancelled);
    return salvager.Run();
}
