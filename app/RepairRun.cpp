#include "RepairRun.h"

#include "../repair/RepairTexts.h"
#include "../repair/ResultRows.h"
#include "RepairDlg.h"

#include <exception>

std::unique_ptr<CWinThread> g_pWorker;

RepairSettings SettingsOf(const CRepairDlg& dlg)
{
    return MakeRepairSettings(dlg.m_nNameMode, dlg.m_nLocationMode, dlg.m_strTargetDir, dlg.m_strStartDir);
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
    RunRepairBatch(SettingsOf(*g_pMainDlg), *g_pMainDlg);
}

void RepairFile(const std::string& workingCopy, int row)
{
    CRepairDlg& dlg = *g_pMainDlg;
    RepairSource source;
    dlg.OnWindowThread([&] { source.name = GetRowText(dlg.ResultList().m_hWnd, row, RESULT_SOURCE_NAME); });
    source.folder = dlg.m_strSourceDir;
    RepairWorkingCopy(SettingsOf(dlg), dlg, workingCopy, source, row);
}

// The rows as the worker sees them: each change is one synchronous message to the window thread,
// which then does the list operations itself.

void CRepairDlg::OnWindowThread(const std::function<void()>& work)
{
    SentWork call { &work, nullptr };
    ::SendMessageA(m_hWnd, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&call));
    if (call.failure)
        std::rethrow_exception(call.failure);
}

LRESULT CRepairDlg::RunSentWork(LPARAM lParam)
{
    auto* call = reinterpret_cast<SentWork*>(lParam);
    // Nothing may unwind through the window procedure: the failure goes back to the sender.
    try {
        (*call->work)();
    } catch (...) {
        call->failure = std::current_exception();
    }
    return 0;
}

int CRepairDlg::RowCount()
{
    int count = 0;
    OnWindowThread([&] { count = m_resultList.GetItemCount(); });
    return count;
}

RepairSource CRepairDlg::StartRow(int row)
{
    RepairSource source;
    OnWindowThread([&] {
        SetRowImage(m_resultList.m_hWnd, row, STATUS_WORKING);
        source.name = m_resultList.GetItemText(row, RESULT_SOURCE_NAME);
        source.folder = m_resultList.GetItemText(row, RESULT_SOURCE_FOLDER);
        m_strSourceDir = WithBackslash(source.folder);
    });
    return source;
}

void CRepairDlg::ShowFailed(int row)
{
    OnWindowThread([&] {
        SetRowImage(m_resultList.m_hWnd, row, STATUS_FAILED);
        SetRowText(m_resultList.m_hWnd, row, RESULT_STATUS, texts::kStatusFailed);
    });
}

void CRepairDlg::ShowRepaired(int row, const OutputChoice& output)
{
    OnWindowThread([&] {
        HWND hList = m_resultList.m_hWnd;
        SetRowImage(hList, row, STATUS_REPAIRED);
        SetRowText(hList, row, RESULT_OUTPUT_NAME, output.name);
        SetRowText(hList, row, RESULT_OUTPUT_FOLDER, output.shownFolder);
        SetRowText(hList, row, RESULT_STATUS, texts::kStatusRepaired);
    });
}

void CRepairDlg::ShowDone()
{
    OnWindowThread([&] { SetInstructions(texts::kRepairDone); });
}
