// Rebuilds the header of a compound file whose header sector was overwritten or lost, from what the
// file's other sectors still say: the allocation-table sectors mark themselves, the directory starts
// with the root entry, and the remaining chains are the mini allocation table's and the streams'.
#pragma once

#include "ByteSource.h"

#include <string>

// Writes rebuilt header fields into the file and keeps them only when the result is a well-formed
// compound file whose "Workbook" (or "Book") stream starts with a BIFF beginning-of-file record.
// Otherwise the file's first bytes are put back as they were and the answer is false. Tries
// 512-byte sectors first, then 4,096-byte ones. Work and memory are bounded by the file's size.
bool RebuildHeader(WritableBytes& target);
// The same on a file, opened for the rebuild.
bool RebuildHeader(const std::wstring& path);
