// Whether a workbook reads back whole: its stream parses as BIFF from the globals' beginning-of-
// file record to the last sheet's end-of-file record, every record whole and of a plausible size,
// no record touching a sector of zeros, every sheet's offset landing on that sheet's beginning,
// the shared-string table whole, and every cell's format and string within their tables. It walks
// the records and copies nothing.
#pragma once

#include "ByteSource.h"
#include "StreamFinder.h"

#include <functional>
#include <string>

struct ContentVerdict {
    bool whole = false;
    std::string problem; // why not, in a few words
};

// Judges the workbook stream of a compound file that is well-formed.
ContentVerdict JudgeWorkbook(const ByteSource& file, const std::function<bool()>& cancelled = nullptr);
// The same on a stream already found.
ContentVerdict JudgeWorkbook(
    const ByteSource& file, const FoundStream& found, const std::function<bool()>& cancelled = nullptr);
