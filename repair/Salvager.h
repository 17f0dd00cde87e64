// The salvage of one workbook, record by record, in one pass: the globals (SalvageGlobals.cpp),
// then the sheets (SalvageSheets.cpp), then what is left to say and to write (WorkbookSalvage.cpp).
#pragma once

#include "CfbTables.h"
#include "CompoundWriter.h"
#include "LossAccount.h"
#include "RecordWalk.h"
#include "SharedStrings.h"
#include "StreamFinder.h"
#include "WorkbookSalvage.h"

#include <memory>
#include <set>
#include <vector>

class Salvager {
public:
    Salvager(const ByteSource& file, WritableBytes& target, const std::function<bool()>& cancelled);
    SalvageOutcome Run();

private:
    struct Sheet {
        std::vector<uint8_t> name; // as the sheet entry stores it
        uint8_t visibility = 0;
        uint64_t offset = 0; // where its BOF was in the damaged stream
        bool named = true; // from a sheet entry; false: found by its BOF, its name made up
        uint64_t entryPos = 0; // where its entry's offset field is in the copy
        bool entered = false;
        bool ended = false; // its end-of-file record was read
        uint64_t cells = 0;
        uint32_t textLost = 0;
        std::vector<std::pair<uint32_t, uint32_t>> gaps; // rows around each damaged stretch, from 1
        bool gapOpen = false;
        uint32_t gapFrom = 1;
        bool lastRowKnown = false;
        uint32_t lastRow = 0;
    };
    struct Formula {
        bool open = false;
        std::vector<uint8_t> formula;
        uint16_t anchorType = 0;
        std::vector<uint8_t> anchor;
        bool hasString = false;
        bool stringBroken = false;
        std::vector<uint8_t> string;
    };

    // Globals.
    bool Globals(RecordWalk::Event& carried);
    void GlobalsDamage(const RecordWalk::Event& event);
    bool GlobalsRecord(const RecordWalk::Record& r, const uint8_t* body);
    void Copy(const RecordWalk::Record& r, const uint8_t* body);
    void CloseFormats();
    void EnsureFormats();
    void CloseSheetEntries(bool damaged);
    void EnsureSheetEntries();
    void Discover(uint64_t from);
    void FinishGlobals();
    void WriteSst(const RecordWalk::Record& r);

    // Sheets.
    void Sheets(const RecordWalk::Event& carried);
    void SheetEvent(const RecordWalk::Event& event);
    uint64_t CopyCells(uint64_t at, uint64_t to);
    void SheetRecord(const RecordWalk::Record& r, const uint8_t* whole);
    void SheetBody(const RecordWalk::Record& r, const uint8_t* whole);
    int SheetAt(uint64_t pos);
    void OpenSheet(int index);
    void CloseSheet();
    void EnsureDimensions();
    // Writes a cell record: `whole` is its header and body (the header is written as given).
    void KeepCell(const uint8_t* whole, uint16_t length);
    void KeepCell(uint16_t type, const std::vector<uint8_t>& body);
    // The record in the scratch buffer, to be changed before it is written.
    uint8_t* Scratch(const uint8_t* whole, uint16_t length);
    void Bounds(uint32_t row, uint32_t firstCol, uint32_t lastCol);
    uint16_t Xf(uint16_t xf) const { return xf < m_xfKept ? xf : biff::kDefaultCellXf; }
    void FormulaPart(const RecordWalk::Record& r, const uint8_t* body);
    void FinishFormula();
    void ValueOf(const Formula& f);

    // The end.
    void EmptySheets();
    void Account();
    std::wstring NameOf(const Sheet& s) const;

    const ByteSource& m_file;
    CompoundWriter m_out;
    std::function<bool()> m_cancelled;
    cfb::CfbTables m_tables;
    FoundStream m_found;
    biff::Version m_v = biff::Version::Biff8;
    std::unique_ptr<StreamReader> m_reader;
    std::unique_ptr<StreamReader> m_side;
    std::unique_ptr<RecordWalk> m_walk;
    uint64_t m_work = 0;
    bool m_stopped = false;

    // What the globals held, and what of it could be kept.
    bool m_globalsDamaged = false;
    bool m_damageBeforeStrings = false;
    bool m_sawStrings = false;
    bool m_skipContinue = false;
    bool m_inStringTable = false;
    bool m_fontsWritten = false;
    uint32_t m_xfKept = 0; // of the damaged file's formats
    uint32_t m_xfWritten = 0;
    bool m_xfRunStarted = false;
    bool m_formatsClosed = false;
    bool m_formatsLost = false;
    bool m_styleWritten = false;
    bool m_codePage = false;
    bool m_window1 = false;
    bool m_entryRunOpen = false;
    bool m_entriesComplete = false;
    bool m_entriesWritten = false;
    bool m_entryRunDamaged = false;
    uint64_t m_lastEnd = 0; // where the last record handed out ended
    std::vector<Sheet> m_sheets;
    SstSurvey m_sst;
    bool m_haveSst = false;
    uint64_t m_sstTotalPos = 0;
    bool m_formulasKept = false;
    bool m_stringsAsTheyWere = false; // every shared string kept, each under its own number

    // The sheet being written, and the stretch of the stream the last record looked up lay in.
    int m_current = -1;
    int m_rangeSheet = -1;
    uint64_t m_rangeFrom = 1;
    uint64_t m_rangeTo = 0;
    std::vector<uint8_t> m_scratch = std::vector<uint8_t>(biff::kHeaderSize + biff::kMaxBody8);
    int m_depth = 0;
    bool m_afterDamage = false;
    bool m_dimensionsWritten = false;
    uint64_t m_dimensionsPos = 0;
    bool m_window2 = false;
    bool m_boundsSet = false;
    uint32_t m_firstRow = 0, m_lastRow = 0;
    uint32_t m_firstCol = 0, m_lastCol = 0;
    std::set<uint32_t> m_anchors;
    Formula m_formula;
    RecordWalk::Event m_lastDamage;
    bool m_damageSeen = false;
    uint64_t m_cells = 0;
    uint32_t m_labelSst = 0;
    LossAccount m_account;
};
