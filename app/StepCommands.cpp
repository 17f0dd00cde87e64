// Next and Back between the two steps, the batch run's start and stop, and the naming setting.
#include "../repair/LocationDlg.h"
#include "../repair/NameSettingDlg.h"
#include "../repair/RepairTexts.h"
#include "../res/resource.h"
#include "RepairDlg.h"
#include "RepairRun.h"
#include "ResultRows.h"
#include "Texts.h"

#include <algorithm>
#include <memory>

void CRepairDlg::OnSettings()
{
    if (m_nStep == 2)
        return;
    CNameSettingDlg dlg(m_hWnd, m_nNameMode, [this](const char* text) { SetInstructions(text); });
    if (dlg.DoModal() == IDOK) {
        m_nNameMode = dlg.m_nNameMode;
        SaveSettings();
    }
}

void CRepairDlg::ShowStepControls(int step)
{
    const int one = step == 1 ? SW_SHOW : SW_HIDE;
    const int two = step == 1 ? SW_HIDE : SW_SHOW;
    m_btnBack.ShowWindow(two);
    m_btnNext.ShowWindow(one);
    ::ShowWindow(m_sourceList.m_hWnd, one);
    ::ShowWindow(m_resultList.m_hWnd, two);
    m_chkSelectAll.ShowWindow(one);
    m_lblSelectAll.ShowWindow(one);
}

void CRepairDlg::OnNext()
{
    // A stopped worker that has not yet reached its end still counts as running.
    if (m_bRunning || (g_pWorker && g_pWorker->IsRunning()))
        return;
    m_resultList.DeleteAllItems();
    if (!AnySourceTicked()) {
        ShowMessage(texts::kNoFileSelected, MB_ICONINFORMATION, texts::kInstructionMore);
        return;
    }
    CLocationDlg location(m_hWnd, m_nLocationMode, m_strTargetDir, [this](const char* text) { SetInstructions(text); });
    if (location.DoModal() != IDOK)
        return;
    m_nLocationMode = location.m_nLocationMode;
    m_strTargetDir = location.m_strTargetDir;
    SaveSettings();

    m_nStep = 2;
    m_nRunSerial++;
    SetInstructions(texts::kRepairing);
    ShowStepControls(2);

    {
        CListRedrawPause pause(m_resultList.m_hWnd);
        for (int i = 0; i < m_sourceList.GetItemCount(); i++) {
            if (m_sourceList.GetCheck(i))
                AppendRow(m_resultList.m_hWnd, m_sourceList.GetItemText(i, 0), m_sourceList.GetItemText(i, 1),
                    STATUS_QUEUED);
        }
    }
    TakeRunSources();
    // The step's window is drawn, its controls too, before the worker starts: drawn while the
    // worker runs, it would hold back the first rows' outcomes for as long as it takes.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

    // The previous worker has ended (Next is refused while one runs); its object goes now.
    g_pWorker.reset();
    ResetWorkerStop();
    // Marked before the thread starts, so a second Next in between cannot start another run.
    m_bRunning = 1;
    g_pWorker = CWinThread::Begin(&RepairThreadProc, this);
    if (!g_pWorker)
        m_bRunning = 0; // the rows stay queued
}

bool CRepairDlg::StopWorker(DWORD timeout)
{
    if (!g_pWorker || !g_pWorker->IsRunning())
        return true;
    RequestWorkerStop();
    // The worker sees the request before its next read or block; a read that blocks (a share that
    // stopped answering) is cancelled, again every little while in case one has just begun.
    const DWORD start = ::GetTickCount();
    bool ended = false;
    for (;;) {
        ::CancelSynchronousIo(g_pWorker->m_hThread);
        const DWORD elapsed = ::GetTickCount() - start;
        const DWORD left = timeout == INFINITE ? INFINITE : (elapsed >= timeout ? 0 : timeout - elapsed);
        ended = g_pWorker->WaitServingMessages(std::min<DWORD>(left, kStopRetry));
        if (ended || left <= kStopRetry)
            break;
    }
    // What the worker did before it stopped shows now, before anything else can touch the rows.
    ApplyPendingRowChanges();
    if (ended) {
        m_taskbar.Clear();
        m_bRunning = 0;
    }
    return ended;
}

void CRepairDlg::OnBack()
{
    if (m_bRunning) {
        if (ShowMessage(texts::kAbortQuestion, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        // A worker that does not end in time ends on its own; Next waits for it.
        StopWorker(kStopWait);
        m_bRunning = 0;
    }
    ShowStepControls(1);
    m_nStep = 1;
    SetInstructions(texts::kStepOne);
}
