#include "Thread.h"

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

DWORD WINAPI CWinThread::Start(LPVOID self)
{
    auto* thread = static_cast<CWinThread*>(self);
    return thread->m_proc(thread->m_param);
}

std::unique_ptr<CWinThread> CWinThread::Begin(ThreadProc proc, LPVOID param, int priority, UINT stackSize)
{
    std::unique_ptr<CWinThread> thread(new CWinThread);
    thread->m_proc = proc;
    thread->m_param = param;
    thread->m_hThread
        = ::CreateThread(nullptr, stackSize, &CWinThread::Start, thread.get(), CREATE_SUSPENDED, &thread->m_nThreadID);
    if (!thread->m_hThread)
        return nullptr;
    ::SetThreadPriority(thread->m_hThread, priority);
    ::ResumeThread(thread->m_hThread);
    return thread;
}

bool CWinThread::IsRunning() const
{
    return m_hThread && ::WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT;
}

bool CWinThread::WaitServingMessages(DWORD timeout) const
{
    if (!m_hThread)
        return true;
    const DWORD start = ::GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (timeout != INFINITE) {
            const DWORD elapsed = ::GetTickCount() - start;
            left = elapsed >= timeout ? 0 : timeout - elapsed;
        }
        const DWORD woken
            = ::MsgWaitForMultipleObjectsEx(1, &m_hThread, left, QS_SENDMESSAGE | QS_PAINT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken != WAIT_OBJECT_0 + 1)
            return !IsRunning();
        MSG msg;
        // Peeking delivers the messages sent to this thread's windows; only paints are taken off.
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (::PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT))
            ::DispatchMessageA(&msg);
    }
}
