// CProgressDlg: a task that may take long, run on a worker thread while a small window says how
// far it has got and offers Cancel. The window shows only once the task has run for a while, so
// a quick task shows nothing; while it runs, the owner takes no input.
#pragma once

#include "../framework/Dialog.h"
#include "../framework/Thread.h"
#include "TaskbarProgress.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class CProgressDlg : public CDialog {
public:
    struct Status {
        std::wstring text;
        unsigned long long done = 0;
        unsigned long long total = 0; // 0: of unknown length
    };
    using Work = std::function<void()>;
    using StatusSource = std::function<Status()>;

    static constexpr UINT kRefreshTimer = 1;
    static constexpr UINT kRefreshPeriod = 100;
    // Posted by the worker when the task has ended.
    static constexpr UINT kWorkDone = WM_APP + 20;

    // `work` runs on the worker and must not throw; `status` is asked on the window thread;
    // `cancel` asks the task to stop at its next safe point.
    CProgressDlg(HWND hWndOwner, Work work, StatusSource status, std::function<void()> cancel, UINT showAfterMs);
    ~CProgressDlg() override;

    // IDOK when the task ended by itself, IDCANCEL when it was cancelled (it has stopped by then),
    // -1 when the window or the worker could not be made (the task did not run).
    INT_PTR DoModal() override;
    bool WasShown() const { return m_bShown; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    bool ShowOnStart() const override { return m_nShowAfter == 0; }

private:
    static UINT WorkerProc(LPVOID pParam);
    void Refresh();
    void Finish();

    HWND m_hWndOwner;
    Work m_work;
    StatusSource m_status;
    std::function<void()> m_cancel;
    UINT m_nShowAfter;
    DWORD m_dwStarted = 0;
    std::unique_ptr<CWinThread> m_worker;
    std::atomic<bool> m_bWorkEnded { false };
    bool m_bCancelled = false;
    bool m_bShown = false;
    std::wstring m_strShownText;
    CTaskbarProgress m_taskbar;
};
