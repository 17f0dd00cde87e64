// What a sound record of a workbook stream looks like, judged from the record alone: a number a
// writer uses, a size its kind allows and, for cells and the other well-known kinds, fields that
// hold together. Damaged stretches (zeros, foreign bytes, the middle of a record) fail it.
#pragma once

#include "BiffFormat.h"

#include <cstdint>

namespace biff {

enum class Fit {
    No, // not a record a writer would write
    Plausible, // could be one
    Strong, // a well-known kind whose fields hold together
};

// Whether a record number lies where writers number their records.
inline bool PlausibleType(uint16_t type)
{
    return (type >= 0x0001 && type <= 0x02FF) || (type >= 0x0400 && type <= 0x04FF) || (type >= 0x0800 && type <= 0x08FF)
        || (type >= 0x1000 && type <= 0x10FF);
}

// The cells met most, judged without a call: a number, an RK number, a shared string, a blank,
// each of its one size with its column and format in range. Fit::No means "ask JudgeRecord".
inline Fit QuickCell(uint16_t type, const uint8_t* body, uint32_t length)
{
    const bool cell = (type == kNumber && length == 14) || ((type == kRk || type == kLabelSst) && length == 10)
        || (type == kBlank && length == 6);
    return cell && Get16(body + 2) < kColumns && Get16(body + 4) < kMaxXfCount ? Fit::Strong : Fit::No;
}

// Judges a whole record. `encrypted`: the body is ciphered (after a FILEPASS record), so only its
// size can be judged.
Fit JudgeRecord(uint16_t type, const uint8_t* body, uint32_t length, Version v, bool encrypted);

// Records that may hold long runs of zeros when sound: pictures and drawing objects.
inline bool ZeroTolerant(uint16_t type)
{
    switch (type) {
    case kMsoDrawingGroup:
    case kMsoDrawing:
    case kMsoDrawingSelection:
    case kObj:
    case kTxo:
    case kImData:
    case kBitmap:
        return true;
    default:
        return false;
    }
}

// Whether a BOOLERR error value is one Excel defines.
bool KnownErrorCode(uint8_t code);

} // namespace biff
