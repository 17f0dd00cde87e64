#include "ProgressDlg.h"

#include "../res/resource.h"

namespace {

constexpr int kBarRange = 1000;

} // namespace

CProgressDlg::CProgressDlg(
    HWND hWndOwner, Work work, StatusSource status, std::function<void()> cancel, UINT showAfterMs)
    : CDialog(IDD_PROGRESS, hWndOwner)
    , m_hWndOwner(hWndOwner)
    , m_work(std::move(work))
    , m_status(std::move(status))
    , m_cancel(std::move(cancel))
    , m_nShowAfter(showAfterMs)
{
}

CProgressDlg::~CProgressDlg()
{
    // The task is never left running with nothing to wait for it.
    if (m_worker && m_worker->IsRunning()) {
        if (m_cancel)
            m_cancel();
        m_worker->WaitServingMessages();
    }
    if (m_hWnd)
        DestroyWindow();
}

INT_PTR CProgressDlg::DoModal()
{
    const INT_PTR result = CDialog::DoModal();
    if (result == -1 || !m_worker)
        return -1;
    // The window ends only once the task has; this only collects the thread.
    m_worker->WaitServingMessages();
    return m_bCancelled ? IDCANCEL : IDOK;
}

UINT CProgressDlg::WorkerProc(LPVOID pParam)
{
    auto* self = static_cast<CProgressDlg*>(pParam);
    try {
        self->m_work();
    } catch (...) {
        // The task reports its own failures; nothing may end the thread's caller with it.
    }
    self->m_bWorkEnded = true;
    ::PostMessageA(self->m_hWnd, kWorkDone, 0, 0);
    return 0;
}

BOOL CProgressDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, kBarRange);
    m_taskbar.Attach(m_hWnd);
    m_dwStarted = ::GetTickCount();
    Refresh();
    m_worker = CWinThread::Begin(&CProgressDlg::WorkerProc, this);
    if (!m_worker) {
        EndDialog(-1);
        return TRUE;
    }
    ::SetTimer(m_hWnd, kRefreshTimer, kRefreshPeriod, nullptr);
    return TRUE;
}

void CProgressDlg::Refresh()
{
    if (!m_bShown && ::GetTickCount() - m_dwStarted >= m_nShowAfter) {
        m_bShown = true;
        ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    }
    const Status status = m_status ? m_status() : Status();
    if (status.text != m_strShownText) {
        m_strShownText = status.text;
        ::SetDlgItemTextW(m_hWnd, IDC_PROGRESS_TEXT, status.text.c_str());
    }
    HWND hBar = ::GetDlgItem(m_hWnd, IDC_PROGRESS_BAR);
    const LONG_PTR style = ::GetWindowLongPtrA(hBar, GWL_STYLE);
    if (status.total == 0) {
        // A bar that moves without a measure, for work whose length is not known.
        if (!(style & PBS_MARQUEE)) {
            ::SetWindowLongPtrA(hBar, GWL_STYLE, style | PBS_MARQUEE);
            ::SendMessageA(hBar, PBM_SETMARQUEE, TRUE, 0);
        }
    } else {
        if (style & PBS_MARQUEE) {
            ::SendMessageA(hBar, PBM_SETMARQUEE, FALSE, 0);
            ::SetWindowLongPtrA(hBar, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
        }
        const unsigned long long done = status.done < status.total ? status.done : status.total;
        ::SendMessageA(hBar, PBM_SETPOS, static_cast<WPARAM>(done * kBarRange / status.total), 0);
    }
    if (m_bShown)
        m_taskbar.Show(status.done, status.total);
}

void CProgressDlg::Finish()
{
    ::KillTimer(m_hWnd, kRefreshTimer);
    m_taskbar.Clear();
    EndDialog(m_bCancelled ? IDCANCEL : IDOK);
}

void CProgressDlg::OnCancel()
{
    if (m_bCancelled)
        return;
    m_bCancelled = true;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), FALSE);
    if (m_cancel)
        m_cancel();
    // The window stays until the task has stopped: nothing of it may outlive the answer.
    if (m_bWorkEnded)
        Finish();
}

LRESULT CProgressDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kRefreshTimer) {
            Refresh();
            return 0;
        }
        break;
    case kWorkDone:
        Finish();
        return 0;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
