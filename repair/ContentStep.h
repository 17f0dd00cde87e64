// After the header patch, the rebuild and the tail block: the copy counts as repaired only when
// its workbook reads back whole. Otherwise what survives is salvaged from the copy as it was
// before the tail block went over its last bytes.
#pragma once

#include "../framework/Platform.h"
#include "ByteSource.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class ContentResult {
    Whole, // the patched copy reads back whole
    Partial, // a salvaged copy holds what survived
    Nothing, // nothing survived
    Stopped, // a stop was asked for
};

struct ContentStep {
    ContentResult result = ContentResult::Nothing;
    std::wstring lost; // what was lost, for a partial copy
};

// The last bytes of a copy, which the tail block may go over: kept for the salvage.
std::vector<uint8_t> TailBytes(const ByteSource& copy);

// A copy in memory: `image` is the patched copy, `wellFormed` whether it is a well-formed
// compound file, `tail` its last bytes before the patch. A salvaged copy replaces `image`.
ContentStep JudgeOrSalvage(std::vector<uint8_t>& image, bool wellFormed, const std::vector<uint8_t>& tail,
    const std::function<bool()>& cancelled);

// A copy in an open file (a large workbook): what survives is written into the file that
// `openSalvage` opens when a salvage is needed (its handle, or INVALID_HANDLE_VALUE).
ContentStep JudgeOrSalvageOpenFile(HANDLE hCopy, bool wellFormed, const std::vector<uint8_t>& tail,
    const std::function<HANDLE()>& openSalvage, const std::function<bool()>& cancelled);
