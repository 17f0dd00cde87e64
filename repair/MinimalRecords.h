// The records a rebuilt workbook writes of its own where the damaged one lost them: beginnings of
// substreams, the default font, the 15 style formats and the default cell format, the Normal
// style, window settings, a sheet's bounds, and sheet entries of the globals.
#pragma once

#include "BiffFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace biff {

std::vector<uint8_t> BofBody(Version v, uint16_t kind);
std::vector<uint8_t> CodePageBody(Version v);
// Arial, 10 points.
std::vector<uint8_t> DefaultFontBody(Version v);
// Format 0 to 14 are style formats, 15 the default cell format.
std::vector<uint8_t> XfBody(Version v, bool style);
// "Normal", built in, on style format 0.
std::vector<uint8_t> NormalStyleBody();
std::vector<uint8_t> Window1Body();
std::vector<uint8_t> Window2Body(Version v, bool selected);
// Rows [firstRow, endRow) and columns [firstCol, endCol) hold cells; all zero for none.
std::vector<uint8_t> DimensionsBody(Version v, uint32_t firstRow, uint32_t endRow, uint16_t firstCol, uint16_t endCol);
// A worksheet entry of the globals: `name` as the record stores it (its length byte, in BIFF8 its
// flag byte, then its characters).
std::vector<uint8_t> BoundSheetBody(uint32_t offset, uint8_t visibility, const std::vector<uint8_t>& name);
// A name of plain ASCII characters as a sheet entry stores it.
std::vector<uint8_t> SheetNameBytes(Version v, const std::string& name);
// The characters of a stored sheet name, for the account of what was lost (8-bit names are read
// as Latin-1).
std::wstring SheetNameText(Version v, const std::vector<uint8_t>& stored);

} // namespace biff
