// The worker reaches the main window through g_pMainDlg and changes only the result list and the
// instruction label, always through synchronous messages.
#include "RepairWorker.h"

#include "../app/RepairDlg.h"
#include "../res/resource.h"
#include "CompoundFile.h"
#include "PathRules.h"
#include "RepairSteps.h"
#include "ResultRows.h"

#include <atomic>
#include <cstdio>

CWinThread* g_pWorker = nullptr;

namespace {

std::atomic<bool> g_bStopRequested{false};

const char* const kTemplateFile = "\\VuzuviViduv.dll";
const char* const kDoneText = "                \r\nFile Reparing Done press Back Button for repair other files";

HWND ResultList()
{
    return g_pMainDlg->GetDlgItem(IDC_RESULT_LIST);
}

void FailRow(int row)
{
    SetRowImage(ResultList(), row, STATUS_FAILED);
    SetRowText(ResultList(), row, RESULT_STATUS, kStatusFailed);
}

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                            LPVOID)
{
    return g_bStopRequested ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// Copies a file, overwriting the target; a stop request cancels it and the system removes the
// partial target, so a copy is either whole or absent.
bool CopyWhole(const std::string& from, const std::string& to)
{
    return ::CopyFileExA(from.c_str(), to.c_str(), &CopyProgress, nullptr, nullptr, 0) != 0;
}

} // namespace

void RequestWorkerStop()
{
    g_bStopRequested = true;
}

bool WorkerStopRequested()
{
    return g_bStopRequested;
}

void ResetWorkerStop()
{
    g_bStopRequested = false;
}

std::string TemporaryFolder()
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    return WithBackslash(temp);
}

UINT RepairThreadProc(LPVOID)
{
    g_pMainDlg->m_bRunning = 1;
    RepairAll();
    g_pMainDlg->m_bRunning = 0;
    return 1;
}

void RepairAll()
{
    const int count = static_cast<int>(::SendMessageA(ResultList(), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; row++) {
        if (g_bStopRequested)
            return;
        RepairRow(row);
    }
    if (!g_bStopRequested)
        ::SendMessageA(g_pMainDlg->GetDlgItem(IDC_INSTRUCTIONS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kDoneText));
}

void RepairRow(int row)
{
    HWND hList = ResultList();
    SetRowImage(hList, row, STATUS_WORKING);
    const std::string name = GetRowText(hList, row, RESULT_SOURCE_NAME);
    const std::string folder = WithBackslash(GetRowText(hList, row, RESULT_SOURCE_FOLDER));
    const std::string source = folder + name;

    ::SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::string workingCopy = TemporaryFolder() + FirstCandidateName(name, g_pMainDlg->m_nNameMode);
    if (g_bStopRequested)
        return;
    if (!CopyWhole(source, workingCopy)) {
        if (!g_bStopRequested)
            FailRow(row);
        return;
    }
    g_pMainDlg->m_strSourceDir = folder;
    RepairFile(workingCopy, row);
}

void RepairFile(const std::string& workingCopy, int row)
{
    CRepairDlg& dlg = *g_pMainDlg;
    HWND hList = ResultList();
    const std::string templatePath = dlg.m_strStartDir + kTemplateFile;

    PatchReport report = PatchWorkingCopy(workingCopy, templatePath);
    if (g_bStopRequested) {
        std::remove(workingCopy.c_str());
        return;
    }
    if (report.result != PatchResult::Patched) {
        FailRow(row);
        std::remove(workingCopy.c_str());
        return;
    }

    if (dlg.m_nLocationMode == LOCATION_SAME)
        CreateFolderPath(OutputFolder(LOCATION_SAME, dlg.m_strSourceDir, dlg.m_strTargetDir));
    const std::string sourceName = GetRowText(hList, row, RESULT_SOURCE_NAME);
    OutputChoice output =
        ChooseOutput(sourceName, dlg.m_nNameMode, dlg.m_nLocationMode, dlg.m_strSourceDir, dlg.m_strTargetDir);
    if (output.path.empty()) {
        // Every name up to the last numbered one is taken: nothing is written.
        FailRow(row);
        std::remove(workingCopy.c_str());
        return;
    }

    bool copied = CopyWhole(workingCopy, output.path);
    if (g_bStopRequested && !copied) {
        std::remove(workingCopy.c_str());
        return;
    }
    if (copied && !CheckCompoundFile(output.path).wellFormed) {
        // Whatever went wrong on the way, a copy that cannot be read is no repaired copy.
        std::remove(output.path.c_str());
        copied = false;
    }
    if (copied) {
        SetRowImage(hList, row, STATUS_REPAIRED);
        SetRowText(hList, row, RESULT_OUTPUT_NAME, output.name);
        SetRowText(hList, row, RESULT_OUTPUT_FOLDER, output.shownFolder);
        SetRowText(hList, row, RESULT_STATUS, kStatusRepaired);
    } else {
        FailRow(row);
    }
    std::remove(workingCopy.c_str());
}
