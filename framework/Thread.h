// CWinThread: a worker thread started for a task; the object owns the thread handle.
#pragma once

#include "Platform.h"

#include <memory>

class CWinThread {
public:
    using ThreadProc = UINT (*)(LPVOID);

    ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;

    bool IsRunning() const;
    // Waits up to `timeout` ms for the thread to end while serving the messages other threads send
    // to this one (so a worker blocked in SendMessage to our windows can still reach its end) and
    // painting this thread's windows. Input waits in the queue. True when the thread has ended.
    bool WaitServingMessages(DWORD timeout = INFINITE) const;

    // Starts proc(param) on a new thread; null when the thread cannot be created.
    static std::unique_ptr<CWinThread> Begin(
        ThreadProc proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0);

private:
    CWinThread() = default;
    static DWORD WINAPI Start(LPVOID self);

    ThreadProc m_proc = nullptr;
    LPVOID m_param = nullptr;
};
