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

bool PlaceCursor(int x, int y)
{
    MSG msg;
    int steady = 0;
    for (int i = 0; i < 200 && steady < 3; ++i) {
        POINT now = {};
        ::GetCursorPos(&now);
        if (now.x == x && now.y == y) {
            steady++;
        } else {
            steady = 0;
            if (!::SetCursorPos(x, y))
                return false;
        }
        // Lets the X server's pointer events in without handling any of the thread's messages.
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        ::Sleep(5);
    }
    return steady >= 3;
}
