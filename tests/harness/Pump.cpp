#include "Pump.h"

static void DispatchPending(CDialog* pDialog)
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (pDialog && pDialog->m_hWnd && pDialog->PreTranslateInLoop(&msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void PumpFor(int ms, CDialog* pDialog)
{
    DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    do {
        DispatchPending(pDialog);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (static_cast<int>(end - ::GetTickCount()) > 0);
    DispatchPending(pDialog);
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs, CDialog* pDialog)
{
    DWORD end = ::GetTickCount() + static_cast<DWORD>(timeoutMs);
    while (!condition()) {
        if (static_cast<int>(end - ::GetTickCount()) <= 0)
            return condition();
        DispatchPending(pDialog);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}
