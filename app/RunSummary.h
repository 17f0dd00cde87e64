// The summary at the end of a run in the window: how many workbooks came back whole, partly or not
// at all, the first few names of each, and what the user may do next (open the folder of the
// copies, save the report, or close it).
#pragma once

#include "../framework/Platform.h"

#include <string>
#include <vector>

struct RunTally {
    // Source names, in the list's order.
    std::vector<std::wstring> repaired;
    std::vector<std::wstring> partial;
    std::vector<std::wstring> failed;
    // The folder of the first copy written, without a backslash at its end (but for a drive's
    // root); empty when no copy was written.
    std::wstring outputFolder;
};

// How many names of each kind the summary shows before "and N more".
constexpr size_t kSummaryNames = 3;

// The result list's rows, counted by their status. Rows not yet reached count nowhere.
RunTally TallyResultRows(HWND hList);

// The summary's markup: the three counts, each followed by its first names where it has any.
// Names are the user's: never read as tags or entities.
std::string RunSummaryMarkup(const RunTally& tally);
