// Gives back what survives of a damaged workbook: a fresh compound file whose workbook stream
// holds every cell whose record (and, for shared strings, whose string) survived, with the records
// readers need around them, and nothing made up. Sheets whose data is wholly lost stay as empty
// sheets under their names; formulas whose shared or array formula is lost, or whose workbook
// tables may be, keep their last computed value instead; cells whose format is lost take the
// default format. Work and memory are bounded by the file's size: the file is read through a
// window and the copy is written as it is made.
#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <functional>
#include <string>

struct SalvageOutcome {
    bool salvaged = false; // a copy was written that holds at least one cell
    std::wstring lost; // what was lost, in words
    uint64_t cells = 0; // cells in the copy
    uint64_t work = 0; // record positions judged: at most a small multiple of the file's size
    bool cancelled = false;
    bool writeFailed = false;
};

// Reads `damaged` and writes the salvaged compound file into `target` (from offset 0; nothing is
// written when not even the workbook stream can be found).
SalvageOutcome SalvageWorkbook(
    const ByteSource& damaged, WritableBytes& target, const std::function<bool()>& cancelled = nullptr);
