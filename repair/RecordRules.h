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
bool PlausibleType(uint16_t type);

// Judges a whole record. `encrypted`: the body is ciphered (after a FILEPASS record), so only its
// size can be judged.
Fit JudgeRecord(uint16_t type, const uint8_t* body, uint32_t length, Version v, bool encrypted);

// Records that may hold long runs of zeros when sound: pictures and drawing objects.
bool ZeroTolerant(uint16_t type);

// Whether a BOOLERR error value is one Excel defines.
bool KnownErrorCode(uint8_t code);

} // namespace biff
