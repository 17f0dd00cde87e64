#pragma once

#include "repair/RepairJob.h"

#include <functional>
#include <string>
#include <vector>

// The rows of a run kept in a plain list, for runs of the core without the window.
class ListedRows : public IRepairRows {
public:
    std::vector<RepairSource> sources;
    std::vector<std::string> status;
    int RowCount() override
    {
        status.assign(sources.size(), "queued");
        return static_cast<int>(sources.size());
    }
    RepairSource StartRow(int row) override
    {
        status[row] = "working";
        return sources[row];
    }
    void ShowFailed(int row) override { status[row] = "Failed"; }
    void ShowNameTooLong(int row) override { status[row] = "Name too long"; }
    void ShowRepaired(int row, const OutputChoice&) override { status[row] = "Repaired"; }
    void ShowPartial(int row, const OutputChoice&, const std::wstring&) override { status[row] = "Partly recovered"; }
    void ShowDone() override
    {
        if (onDone)
            onDone();
    }
    std::function<void()> onDone; // looks at the run when it says it is done
};

