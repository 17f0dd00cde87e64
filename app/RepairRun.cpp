#include "RepairRun.h"

#include "../repair/RepairTexts.h"
#include "ResultRows.h"
#include "RepairDlg.h"
#include "RowChangeQueue.h"
#include "Texts.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

std::unique_ptr<CWinThread> g_pWorker;

namespace {

std::atomic<RowWakePoster> g_rowWakePoster { &::PostMessageA };

} // namespace

RowWakePoster SetRowWakePoster(RowWakePoster post)
{
    return g_rowWakePoster.exchange(post ? post : &::PostMessageA);
}

RepairSettings SettingsOf(const CRepairDlg& dlg)
{
    return MakeRepairSettings(dlg.m_nNameMode, dlg.m_nLocationMode, dlg.m_strTargetDir, dlg.m_strStartDir);
}

UINT RepairThreadProc(LPVOID)
{
    g_pMainDlg->m_bRunning = 1;
    // Rows fail one by one on their own; this only keeps the thread from taking the process with it.
    try {
        RepairAll();
    } catch (...) {
    }
    g_pMainDlg->m_bRunning = 0;
    return 1;
}

void RepairAll()
{
    RunRepairBatch(SettingsOf(*g_pMainDlg), *g_pMainDlg);
}

void RepairFile(const std::wstring& workingCopy, int row)
{
    CRepairDlg& dlg = *g_pMainDlg;
    RepairSource source;
    dlg.OnWindowThread([&] { source.name = GetRowText(dlg.ResultList().m_hWnd, row, RESULT_SOURCE_NAME); });
    source.folder = dlg.m_strSourceDir;
    RepairWorkingCopy(SettingsOf(dlg), dlg, workingCopy, source, row);
}

// The rows as the worker sees them: the window thread does every list operation itself.

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

void CRepairDlg::PostToWindowThread(std::function<void()> work, int row, bool passing)
{
    if (!m_rowChanges.Add(std::move(work), row, passing))
        return; // the window is awake and takes it with the others
    if (!g_rowWakePoster.load()(m_hWnd, kRowUpdate, 0, 0)) {
        // A full queue: the window is woken all the same, waiting for it.
        ::SendMessageA(m_hWnd, kRowUpdate, 0, 0);
    }
}

// Woken by the worker: the changes so far are made now, and the ones that follow while the window
// paints and takes input are made together when the row timer comes, which is after both.
void CRepairDlg::OnRowUpdate()
{
    std::vector<RowChangeQueue::Change> changes = m_rowChanges.Take(false);
    MakeChanges(changes);
    if (!::SetTimer(m_hWnd, kRowTimer, kRowPeriod, nullptr))
        SleepRowChanges(); // no timer to come back with: every change wakes the window again
}

void CRepairDlg::OnRowTimer()
{
    std::vector<RowChangeQueue::Change> changes = m_rowChanges.Take(true);
    if (changes.empty()) {
        ::KillTimer(m_hWnd, kRowTimer); // asleep until the worker's next change
        return;
    }
    MakeChanges(changes);
}

void CRepairDlg::SleepRowChanges()
{
    for (;;) {
        std::vector<RowChangeQueue::Change> changes = m_rowChanges.Take(true);
        if (changes.empty())
            return;
        MakeChanges(changes);
    }
}

void CRepairDlg::ApplyPendingRowChanges()
{
    std::vector<RowChangeQueue::Change> changes = m_rowChanges.Take(false);
    MakeChanges(changes);
}

// The rows of a run are read once, by the window before the worker starts: nothing changes them
// while it runs, and the worker never waits for the window to hand it a source.
void CRepairDlg::TakeRunSources()
{
    m_runSources.clear();
    for (int row = 0; row < m_resultList.GetItemCount(); row++)
        m_runSources.push_back(
            { m_resultList.GetItemText(row, RESULT_SOURCE_NAME), m_resultList.GetItemText(row, RESULT_SOURCE_FOLDER) });
}

int CRepairDlg::RowCount()
{
    return static_cast<int>(m_runSources.size());
}

// Row changes are posted: the worker goes on at once, and the window makes them in their order.
RepairSource CRepairDlg::StartRow(int row)
{
    const int total = static_cast<int>(m_runSources.size());
    // The count goes in a change of its own, passing like the working image: of the counts that
    // come in one batch only the last is drawn, since the window would draw only that one anyway.
    PostToWindowThread([this, row, total] { ShowRunProgress(row, total); }, RowChangeQueue::kRunCount, true);
    // Working is passing: a row whose outcome comes in the same batch goes straight to it.
    PostToWindowThread([this, row] { SetRowImage(m_resultList.m_hWnd, row, STATUS_WORKING); }, row, true);
    RepairSource source = row < static_cast<int>(m_runSources.size()) ? m_runSources[row] : RepairSource();
    m_strSourceDir = WithBackslash(source.folder);
    return source;
}

void CRepairDlg::ShowFailed(int row)
{
    PostToWindowThread([this, row] {
        SetRowImage(m_resultList.m_hWnd, row, STATUS_FAILED);
        SetRowText(m_resultList.m_hWnd, row, RESULT_STATUS, texts::kStatusFailed);
    }, row);
}

void CRepairDlg::ShowNameTooLong(int row)
{
    PostToWindowThread([this, row] {
        SetRowImage(m_resultList.m_hWnd, row, STATUS_FAILED);
        SetRowText(m_resultList.m_hWnd, row, RESULT_STATUS, texts::kStatusNameTooLong);
    }, row);
}

void CRepairDlg::ShowRepaired(int row, const OutputChoice& output)
{
    PostToWindowThread([this, row, output] {
        HWND hList = m_resultList.m_hWnd;
        SetRowImage(hList, row, STATUS_REPAIRED);
        SetRowText(hList, row, RESULT_OUTPUT_NAME, output.name);
        SetRowText(hList, row, RESULT_OUTPUT_FOLDER, output.shownFolder);
        SetRowText(hList, row, RESULT_STATUS, texts::kStatusRepaired);
    }, row);
}

void CRepairDlg::ShowPartial(int row, const OutputChoice& output, const std::wstring& lost)
{
    PostToWindowThread([this, row, output, lost] {
        HWND hList = m_resultList.m_hWnd;
        SetRowImage(hList, row, STATUS_REPAIRED);
        SetRowText(hList, row, RESULT_OUTPUT_NAME, output.name);
        SetRowText(hList, row, RESULT_OUTPUT_FOLDER, output.shownFolder);
        SetRowText(hList, row, RESULT_STATUS, texts::kStatusPartial);
        SetRowText(hList, row, RESULT_LOST, lost);
    }, row);
}

void CRepairDlg::ShowRunProgress(int done, int total)
{
    char count[64];
    std::snprintf(count, sizeof(count), texts::kRunCount, done + 1, total);
    SetInstructions((std::string(texts::kRepairing) + count).c_str());
    m_taskbar.Show(static_cast<ULONGLONG>(done), static_cast<ULONGLONG>(total));
}

// Waits for the window: when the run ends, every row shows its outcome.
void CRepairDlg::ShowDone()
{
    OnWindowThread([&] {
        ApplyPendingRowChanges();
        m_taskbar.Clear();
        SetInstructions(texts::kRepairDone);
        // Shown once the worker has ended, from the window's own loop: the worker never waits
        // for the user.
        if (m_bShowSummary)
            ::PostMessageA(m_hWnd, kRunSummary, m_nRunSerial, 0);
    });
}
