// The shared-string table of a BIFF8 workbook (an SST record and the CONTINUE records after it):
// which of its strings can still be read, and a new table of exactly those.
//
// The strings are read in order from the table's start. Where they stop making sense, the ones
// that reach into the last two 512-byte sectors before that point go too (a foreign sector can
// pass for the tail of a string). Past that, the EXTSST record's index (where every n-th string
// starts) picks the reading up again: a group of strings counts only when it is read from the
// position the index gives to exactly the position it gives for the next group.
#pragma once

#include "OutStream.h"
#include "StreamMap.h"

#include <cstdint>
#include <vector>

struct StringSpan {
    uint32_t first = 0; // index of its first string in the original table
    uint32_t count = 0;
    uint64_t pos = 0; // stream position of its first string
    uint64_t record = 0; // stream position of the record that string starts in
};

struct SstSurvey {
    bool found = false; // an SST record was read
    uint32_t unique = 0; // strings the table says it holds
    std::vector<StringSpan> spans; // the strings that can be read, in order
    bool whole = false; // every string, ending exactly where the table's records end
    uint64_t end = 0; // where the table's records end, as far as they go on
    uint32_t Survived() const;
    // The index of a string in the rebuilt table, or kLost.
    static constexpr uint32_t kLost = 0xFFFFFFFF;
    uint32_t Remap(uint32_t index) const;
};

// Reads the table whose SST record starts at `sstPos`, never past `limit`. `salvage` also drops
// strings whose text no writer would write (control characters, broken surrogate pairs), and
// picks up again through the index.
SstSurvey SurveySst(StreamReader& reader, uint64_t sstPos, uint64_t limit, bool salvage);

// Writes the surviving strings as an SST record, its CONTINUE records and an EXTSST record.
// `total` goes into the table's count of uses.
bool WriteSst(StreamReader& reader, const SstSurvey& survey, uint32_t total, OutStream& out);
