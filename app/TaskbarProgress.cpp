#include "TaskbarProgress.h"

namespace {

ITaskbarList3* PlatformTaskbar()
{
    ITaskbarList3* pTaskbar = nullptr;
    if (FAILED(::CoCreateInstance(
            CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, reinterpret_cast<void**>(&pTaskbar))))
        return nullptr;
    return pTaskbar;
}

CTaskbarProgress::Factory g_factory = &PlatformTaskbar;

} // namespace

CTaskbarProgress::Factory CTaskbarProgress::SetFactory(Factory factory)
{
    Factory previous = g_factory;
    g_factory = factory ? factory : &PlatformTaskbar;
    return previous;
}

CTaskbarProgress::CTaskbarProgress(HWND hWnd)
    : m_hWnd(hWnd)
{
}

CTaskbarProgress::~CTaskbarProgress()
{
    Clear();
    if (m_pTaskbar)
        m_pTaskbar->Release();
}

bool CTaskbarProgress::Ready()
{
    if (!m_bAsked && m_hWnd) {
        m_bAsked = true;
        m_pTaskbar = g_factory();
        if (m_pTaskbar && FAILED(m_pTaskbar->HrInit())) {
            m_pTaskbar->Release();
            m_pTaskbar = nullptr;
        }
    }
    return m_pTaskbar != nullptr && ::IsWindow(m_hWnd);
}

void CTaskbarProgress::Show(ULONGLONG done, ULONGLONG total)
{
    if (!Ready())
        return;
    m_bShown = true;
    if (total == 0) {
        m_pTaskbar->SetProgressState(m_hWnd, TBPF_INDETERMINATE);
        return;
    }
    m_pTaskbar->SetProgressState(m_hWnd, TBPF_NORMAL);
    m_pTaskbar->SetProgressValue(m_hWnd, done < total ? done : total, total);
}

void CTaskbarProgress::Clear()
{
    if (m_bShown && Ready())
        m_pTaskbar->SetProgressState(m_hWnd, TBPF_NOPROGRESS);
    m_bShown = false;
}
