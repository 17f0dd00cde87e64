// The batch repair, apart from any window: it takes its settings as a value and reports each
// row's progress through IRepairRows, which the main window implements over its result list.
// Paths are wide (see framework/PathText.h).
#pragma once

#include "FileCopy.h"
#include "PathRules.h"
#include "RepairSteps.h"

#include <set>
#include <string>

struct RepairSettings {
    int nameMode = NAME_PREFIX;
    int locationMode = LOCATION_UNSET;
    std::wstring targetDir; // the chosen folder of LOCATION_CHOSEN
    std::wstring startDir; // where the program's companions are; empty when it could not be found
    std::wstring templatePath; // the template's full path; empty when there is none to look for
};

// The settings for a start folder: the template is looked up there, never at a drive root.
RepairSettings MakeRepairSettings(
    int nameMode, int locationMode, const std::wstring& targetDir, const std::wstring& startDir);

// A row's source as the list shows it.
struct RepairSource {
    std::wstring name;
    std::wstring folder;
};

class IRepairRows {
public:
    virtual int RowCount() = 0;
    // Shows the row as being worked on and gives its source.
    virtual RepairSource StartRow(int row) = 0;
    virtual void ShowFailed(int row) = 0;
    // Fails the row because its copy's name would be longer than a file system takes; nothing of
    // the row was written.
    virtual void ShowNameTooLong(int row) = 0;
    virtual void ShowRepaired(int row, const OutputChoice& output) = 0;
    // Written, but only what survived the damage; `lost` says what did not.
    virtual void ShowPartial(int row, const OutputChoice& output, const std::wstring& lost) = 0;
    // Every row has been reached.
    virtual void ShowDone() = 0;

protected:
    ~IRepairRows() = default;
};

// Where the time of a run goes, per stage, in seconds; kept only when asked for.
struct RepairStageTimes {
    double workingCopy = 0; // attributes, temporary folder and the copy into it
    double patch = 0; // header patch, tail block and the structure checks
    double placing = 0; // output folder, free name and the copy to it
    double rows = 0; // row updates in the list
    double cleanup = 0; // removing the working copy
};

// What a batch keeps from row to row: the template's tail block, read once, and the output
// folders it has already cleared of what killed runs left there.
struct RepairBatchState {
    TailBlock tail {};
    bool haveTail = false;
    struct FolderOrder {
        bool operator()(const std::wstring& a, const std::wstring& b) const { return FileNameLess(a, b); }
    };
    std::set<std::wstring, FolderOrder> clearedFolders;
    // Working files are closed, and so removed, beside the next rows' work; all of them are gone
    // when the batch state is.
    BackgroundCloser closer;
};

// Repairs every row in order; a row that fails, even by an exception, never stops the run.
void RunRepairBatch(const RepairSettings& settings, IRepairRows& rows, RepairStageTimes* times = nullptr);
// Makes the working copy of one row and repairs it. Nothing of a source is touched, not even its
// attributes, unless it is a file and the settings say where its copy goes.
void RepairRowOf(const RepairSettings& settings, IRepairRows& rows, int row, RepairStageTimes* times = nullptr,
    RepairBatchState* batch = nullptr);
// Repairs a working copy that the caller made of a source (its folder ending in a backslash) into
// the output folder, records the outcome in the row and removes the working copy.
void RepairWorkingCopy(const RepairSettings& settings, IRepairRows& rows, const std::wstring& workingCopy,
    const RepairSource& source, int row, RepairStageTimes* times = nullptr);

// Workbooks up to this size (nearly all) are read once, repaired in memory and written once, to
// the output; larger ones through a working file in the temporary folder.
constexpr uint64_t kInMemoryLimit = 16ull << 20;

// Asks the run to stop at its next safe point: between the blocks of a copy, or the reads of a
// check or a rebuild.
void RequestWorkerStop();
bool WorkerStopRequested();
// Clears the request before a new run.
void ResetWorkerStop();

// The temporary folder with its trailing backslash, or empty when the system names none that fits.
std::wstring TemporaryFolder();
