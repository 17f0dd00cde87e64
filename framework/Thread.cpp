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
    thread->m_hThread = ::CreateThread(nullptr, stackSize, &CWinThread::Start, thread.get(), CREATE_SUSPENDED,
                                       &thread->m_nThreadID);
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

void CWinThread::WaitServingMessages() const
{
    if (!m_hThread)
        return;
    while (::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG msg;
        // Peeking delivers the messages sent to this thread's windows; nothing is taken off the queue.
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
}
