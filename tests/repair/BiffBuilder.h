// Builds workbook streams record by record for the tests, as a writer lays them out, and remembers
// where every record went so that a test can damage exactly one; reads the cells of a workbook
// file back with a plain walk of its records.
#pragma once

#include "CfbWriter.h"
#include "repair/BiffFormat.h"

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

class BiffBuilder {
public:
    explicit BiffBuilder(biff::Version v = biff::Version::Biff8);

    uint64_t Record(uint16_t type, const std::vector<uint8_t>& body);
    // The globals: beginning, code page, window, 4 fonts, 16 formats (and `extraXfs` more cell
    // formats), the Normal style, an entry per sheet, the shared strings in an SST record and
    // CONTINUE records of at most `chunk` bytes, their index (every 8th string), the end.
    void Globals(const std::vector<std::string>& sheets, const std::vector<std::string>& strings = {},
        uint32_t chunk = biff::kMaxBody8, uint32_t extraXfs = 0);
    // A worksheet's beginning (its entry's offset filled in) and end.
    void BeginSheet(int sheet);
    void EndSheet();

    uint64_t Number(uint16_t row, uint16_t col, double value, uint16_t xf = 15);
    uint64_t Text(uint16_t row, uint16_t col, uint32_t string, uint16_t xf = 15); // a shared string
    uint64_t Label(uint16_t row, uint16_t col, const std::string& text);
    uint64_t Bool(uint16_t row, uint16_t col, bool value);
    // A formula with its cached number; its tokens add 1 to A1 of its own sheet.
    uint64_t Formula(uint16_t row, uint16_t col, double value);
    // A formula of a shared range anchored at (anchorRow, anchorCol); `withAnchor` also writes
    // the SHRFMLA record after it (as the range's first formula has).
    uint64_t SharedFormula(uint16_t row, uint16_t col, double value, uint16_t anchorRow, uint16_t anchorCol,
        bool withAnchor);
    // A formula whose cached result is text, with the STRING record after it.
    uint64_t TextFormula(uint16_t row, uint16_t col, const std::string& text);

    std::vector<uint8_t> Bytes() const& { return m_bytes; }
    std::vector<uint8_t> Bytes() && { return std::move(m_bytes); }
    // Room for a stream of about this many bytes, grown once instead of step by step.
    void Reserve(uint64_t size) { m_bytes.reserve(static_cast<size_t>(size)); }
    biff::Version Version() const { return m_v; }
    uint64_t Size() const { return m_bytes.size(); }
    // Where each sheet begins, and where the records of each kind start.
    std::vector<uint64_t> sheetStarts;
    std::vector<std::pair<uint64_t, uint16_t>> records; // (position, type)
    std::vector<uint64_t> stringStarts; // where each shared string's header is
    // Large books for runs and benchmarks need no list of their records.
    void KeepRecords(bool keep) { m_keepRecords = keep; }

private:
    std::vector<uint8_t> Cell(uint16_t row, uint16_t col, uint16_t xf);
    std::vector<uint8_t> XString(const std::string& text, bool shortLength) const;
    biff::Version m_v;
    std::vector<uint8_t> m_bytes;
    std::vector<uint64_t> m_entryOffsets; // where each sheet entry's offset field is
    bool m_keepRecords = true;
};

// A workbook of one sheet of numbers whose stream is close to `size` bytes (never more).
std::vector<uint8_t> NumbersWorkbook(uint64_t size);

// A stream put into a version 3 compound file as the test's writer lays it out (tables first),
// under `name`; the file's other streams are `extras` (name, size).
CfbImage BuildWorkbookFile(const std::vector<uint8_t>& stream, const std::string& name = "Workbook",
    const std::vector<std::pair<std::string, uint64_t>>& extras = {}, const CfbLayout* layout = nullptr);
// Puts bytes into a stream of a built file, through its chain.
void PutStream(CfbImage& image, const std::string& path, const std::vector<uint8_t>& bytes);

// The cells of a workbook file, read with a plain walk of its records: (sheet, row, column) ->
// "n:<number>", "s:<text>", "b:<0|1>", "e:<code>" ("f" before the value for a formula).
using Cells = std::map<std::tuple<std::string, int, int>, std::string>;
Cells ReadCells(const std::vector<uint8_t>& file);
// The sheet names, in order, and the number of format records of a workbook file.
std::vector<std::string> SheetNames(const std::vector<uint8_t>& file);
uint32_t FormatCount(const std::vector<uint8_t>& file);
// The strings of an SST record and the CONTINUE records after it.
std::vector<std::string> SstStrings(const std::vector<uint8_t>& records);
