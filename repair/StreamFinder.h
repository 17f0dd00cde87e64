// Finds the workbook stream of a compound file whatever is left of its tables: through its
// directory entry where the directory survives, else by the beginning-of-file record that opens
// every workbook; then sector by sector, through the allocation table where its entries are sound
// and by contiguity (as writers lay streams out) where they are not. The map it gives may run past
// the stream's true end when nothing says where that is; the record walk stops at the workbook's
// last end-of-file record.
#pragma once

#include "BiffFormat.h"
#include "ByteSource.h"
#include "CfbTables.h"
#include "StreamMap.h"

#include <functional>
#include <string>
#include <vector>

struct FoundStream {
    bool found = false;
    StreamMap map;
    biff::Version version = biff::Version::Biff8;
    // Its directory entry was found, so the map ends where the stream does.
    bool sized = false;
    // Some of the map was guessed by contiguity.
    bool guessed = false;
};

FoundStream FindWorkbookStream(
    const cfb::CfbTables& tables, const ByteSource& file, const std::function<bool()>& cancelled = nullptr);
FoundStream FindWorkbookStream(const ByteSource& file, const std::function<bool()>& cancelled = nullptr);

// A document summary stream of the root by its name, only when it can be read whole: its
// directory entry, every sector of its chain in the file, and a property set that holds together.
bool ReadWholeSummary(
    const cfb::CfbTables& tables, const ByteSource& file, const std::string& name, std::vector<uint8_t>& bytes);
