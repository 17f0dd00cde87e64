// Copies that leave a whole file or none: a copy that fails part way (a full disk, a source that
// goes away, a stop request) removes what it wrote, and never a file it did not write.
#pragma once

#include "../framework/Platform.h"

#include <cstdint>
#include <functional>
#include <string>

enum class CopyTarget {
    Replace, // an existing file of that name is replaced, as CopyFile does
    New, // the copy fails when the name is taken, so whatever it leaves is ours
};

// Copies `from` to `to` with the source's last write time. `cancelled` is asked between blocks.
// Fails without touching `to` when the source cannot be opened.
bool CopyWhole(const std::string& from, const std::string& to, CopyTarget target,
    const std::function<bool()>& cancelled = nullptr);

// Every block a copy writes goes through this; tests put in one that fills the disk part way.
using CopyBlockWriter = bool (*)(HANDLE hFile, const uint8_t* data, DWORD count);
CopyBlockWriter SetCopyBlockWriter(CopyBlockWriter writer);
