#include "RecordRules.h"

namespace biff {

namespace {

// A cell's row, column and format: the column within the sheet, the format within what a
// workbook can hold.
bool CellFits(const uint8_t* body)
{
    return Get16(body + 2) < kColumns && Get16(body + 4) < kMaxXfCount;
}

// A string of 8-bit or 16-bit characters: the flag byte allows nothing else.
uint32_t CharBytes(uint32_t count, uint8_t flags)
{
    return count * ((flags & 1) ? 2 : 1);
}

Fit Exactly(bool fits)
{
    return fits ? Fit::Strong : Fit::No;
}

// A run of cells in one row: row, first column, `width` bytes a cell (its XF index first), last
// column; the count of cells must match the columns named.
Fit CellRun(const uint8_t* body, uint32_t length, uint32_t width)
{
    if (length < 6 + width || (length - 6) % width != 0)
        return Fit::No;
    const uint32_t first = Get16(body + 2);
    const uint32_t last = Get16(body + length - 2);
    if (last < first || last >= kColumns || (last - first + 1) * width + 6 != length)
        return Fit::No;
    for (uint32_t at = 4; at + width <= length - 2; at += width) {
        if (Get16(body + at) >= kMaxXfCount)
            return Fit::No;
    }
    return Fit::Strong;
}

Fit BoolErr(const uint8_t* body, uint32_t length)
{
    if (length != 8 || !CellFits(body))
        return Fit::No;
    const uint8_t value = body[6];
    const uint8_t isError = body[7];
    if (isError == 0)
        return Exactly(value <= 1);
    return Exactly(isError == 1 && KnownErrorCode(value));
}

Fit Formula(const uint8_t* body, uint32_t length)
{
    if (length < 22 || !CellFits(body))
        return Fit::No;
    const uint32_t tokens = Get16(body + 20);
    if (22 + tokens > length)
        return Fit::No;
    // A result that is not a number names its kind in the first byte.
    if (Get16(body + 12) == 0xFFFF && body[6] > 3)
        return Fit::No;
    return Fit::Strong;
}

Fit Label(const uint8_t* body, uint32_t length, Version v)
{
    if (v == Version::Biff8) {
        if (length < 9 || !CellFits(body) || (body[8] & 0xFE) != 0)
            return Fit::No;
        return Exactly(length == 9 + CharBytes(Get16(body + 6), body[8]));
    }
    return Exactly(length >= 8 && CellFits(body) && length == 8u + Get16(body + 6));
}

Fit StringResult(const uint8_t* body, uint32_t length, Version v)
{
    if (v == Version::Biff8) {
        if (length < 3 || (body[2] & 0xFE) != 0)
            return Fit::No;
        const uint32_t whole = 3 + CharBytes(Get16(body), body[2]);
        // A long string goes on in CONTINUE records.
        return length == whole ? Fit::Strong : (length < whole ? Fit::Plausible : Fit::No);
    }
    if (length < 2)
        return Fit::No;
    const uint32_t whole = 2u + Get16(body);
    return length == whole ? Fit::Strong : (length < whole ? Fit::Plausible : Fit::No);
}

Fit Font(const uint8_t* body, uint32_t length, Version v)
{
    if (v == Version::Biff8)
        return Exactly(length >= 16 && (body[15] & 0xFE) == 0 && length == 16 + CharBytes(body[14], body[15]));
    return Exactly(length >= 15 && length == 15u + body[14]);
}

Fit Format(const uint8_t* body, uint32_t length, Version v)
{
    if (v == Version::Biff8)
        return Exactly(length >= 5 && (body[4] & 0xFE) == 0 && length == 5 + CharBytes(Get16(body + 2), body[4]));
    return Exactly(length >= 3 && length == 3u + body[2]);
}

Fit BoundSheet(const uint8_t* body, uint32_t length, Version v)
{
    if (v == Version::Biff8) {
        if (length < 9 || body[6] == 0 || (body[7] & 0xFE) != 0)
            return Fit::No;
        return Exactly(length == 8 + CharBytes(body[6], body[7]));
    }
    return Exactly(length >= 8 && body[6] != 0 && length == 7u + body[6]);
}

Fit Row(const uint8_t* body, uint32_t length)
{
    return Exactly(length == 16 && Get16(body + 2) <= Get16(body + 4) && Get16(body + 4) <= kColumns);
}

Fit Dimensions(const uint8_t* body, uint32_t length, Version v)
{
    if (v == Version::Biff8)
        return Exactly(length == 14 && Get32(body) <= Get32(body + 4) && Get16(body + 8) <= Get16(body + 10)
            && Get16(body + 10) <= kColumns);
    return Exactly(length == 10 && Get16(body) <= Get16(body + 2) && Get16(body + 4) <= Get16(body + 6)
        && Get16(body + 6) <= kColumns);
}

Fit SharedFormula(const uint8_t* body, uint32_t length)
{
    if (length < 10 || Get16(body) > Get16(body + 2) || body[4] > body[5])
        return Fit::No;
    return Exactly(10u + Get16(body + 8) <= length);
}

Fit ArrayFormula(const uint8_t* body, uint32_t length)
{
    if (length < 14 || Get16(body) > Get16(body + 2) || body[4] > body[5])
        return Fit::No;
    return Exactly(14u + Get16(body + 12) <= length);
}

} // namespace

bool KnownErrorCode(uint8_t code)
{
    switch (code) {
    case 0x00: // #NULL!
    case 0x07: // #DIV/0!
    case 0x0F: // #VALUE!
    case 0x17: // #REF!
    case 0x1D: // #NAME?
    case 0x24: // #NUM!
    case 0x2A: // #N/A
    case 0x2B: // #GETTING_DATA
        return true;
    default:
        return false;
    }
}

Fit JudgeRecord(uint16_t type, const uint8_t* body, uint32_t length, Version v, bool encrypted)
{
    if (!PlausibleType(type) || length > MaxBody(v))
        return Fit::No;
    // The beginning of a substream is never ciphered.
    if (type == kBof)
        return Exactly(length >= 4 && length <= 20 && BofKind(body, length, v) != 0);
    if (type == kEof)
        return Exactly(length == 0);
    if (encrypted) {
        switch (type) {
        case kNumber:
            return Exactly(length == 14);
        case kRk:
        case kLabelSst:
            return Exactly(length == 10);
        case kBlank:
            return Exactly(length == 6);
        case kBoolErr:
            return Exactly(length == 8);
        case kRow:
            return Exactly(length == 16);
        default:
            return Fit::Plausible;
        }
    }
    switch (type) {
    case kNumber:
        return Exactly(length == 14 && CellFits(body));
    case kRk:
    case kLabelSst:
        return Exactly(length == 10 && CellFits(body));
    case kBlank:
        return Exactly(length == 6 && CellFits(body));
    case kBoolErr:
        return BoolErr(body, length);
    case kMulRk:
        return CellRun(body, length, 6);
    case kMulBlank:
        return CellRun(body, length, 2);
    case kLabel:
        return Label(body, length, v);
    case kRString:
        return length >= 8 && CellFits(body) ? Fit::Plausible : Fit::No;
    case kFormula:
        return Formula(body, length);
    case kString:
        return StringResult(body, length, v);
    case kShrFmla:
        return SharedFormula(body, length);
    case kArray:
        return ArrayFormula(body, length);
    case kTable:
        return Exactly(length == 16);
    case kRow:
        return Row(body, length);
    case kDimensions:
        return Dimensions(body, length, v);
    case kDbCell:
        return Exactly(length >= 4 && length % 2 == 0);
    case kIndex:
        return (v == Version::Biff8 ? length >= 16 && (length - 16) % 4 == 0 : length >= 12 && (length - 12) % 4 == 0)
            ? Fit::Plausible
            : Fit::No;
    case kXf:
        return Exactly(length == (v == Version::Biff8 ? 20u : 16u));
    case kFont:
        return Font(body, length, v);
    case kFormat:
        return Format(body, length, v);
    case kStyle:
        return length >= 4 ? Fit::Plausible : Fit::No;
    case kBoundSheet:
        return BoundSheet(body, length, v);
    case kWindow1:
        return Exactly(length == 18);
    case kWindow2:
        return Exactly(length == 10 || (v == Version::Biff8 && length == 18));
    case kCodePage:
        return Exactly(length == 2);
    case kColInfo:
        return (length == 12 || length == 11) && Get16(body) <= Get16(body + 2) && Get16(body + 2) <= kColumns
            ? Fit::Plausible
            : Fit::No;
    case kMergedCells:
        return length >= 2 && length == 2u + 8u * Get16(body) ? Fit::Plausible : Fit::No;
    case kSst:
        // Writers disagree on the total of uses, so only the header's size is judged.
        return length >= 8 ? Fit::Plausible : Fit::No;
    case kExtSst:
        return length >= 2 && (length - 2) % 8 == 0 ? Fit::Plausible : Fit::No;
    default:
        return Fit::Plausible;
    }
}

} // namespace biff
