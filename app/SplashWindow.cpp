#include "SplashWindow.h"

#include "../framework/App.h"

BOOL CSplashWindow::c_bShowSplashWnd = FALSE;
CSplashWindow* CSplashWindow::c_pSplashWnd = nullptr;

CSplashWindow::~CSplashWindow()
{
    if (c_pSplashWnd == this)
        c_pSplashWnd = nullptr;
}

void CSplashWindow::EnableSplash(BOOL bEnable)
{
    c_bShowSplashWnd = bEnable;
}

BOOL CSplashWindow::ShowSplash(UINT nPeriodMs, UINT nBitmapId, HWND hWndParent)
{
    if (!c_bShowSplashWnd || c_pSplashWnd)
        return FALSE;
    c_pSplashWnd = new CSplashWindow;
    if (!c_pSplashWnd->Create(nBitmapId, hWndParent)) {
        delete c_pSplashWnd;
        return FALSE;
    }
    ::SetTimer(c_pSplashWnd->m_hWnd, kHideTimer, nPeriodMs, nullptr);
    return TRUE;
}

BOOL CSplashWindow::Create(UINT nBitmapId, HWND hWndParent)
{
    m_bitmap.reset(static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nBitmapId), IMAGE_BITMAP, 0, 0, 0)));
    if (!m_bitmap)
        return FALSE;
    BITMAP bm = {};
    ::GetObjectA(m_bitmap.get(), sizeof(bm), &bm);
    m_size = {bm.bmWidth, bm.bmHeight};

    WNDCLASSA wc = {};
    if (!::GetClassInfoA(::GetModuleHandleA(nullptr), kWindowClass, &wc)) {
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        ::RegisterClassA(&wc);
    }
    if (!CreateEx(0, kWindowClass, nullptr, WS_POPUP | WS_VISIBLE, 0, 0, m_size.cx, m_size.cy, hWndParent, nullptr))
        return FALSE;

    // Centre on the parent's screen area, or on the screen.
    RECT rcArea;
    if (hWndParent && ::IsWindowVisible(hWndParent))
        ::GetWindowRect(hWndParent, &rcArea);
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
    int x = rcArea.left + (rcArea.right - rcArea.left - m_size.cx) / 2;
    int y = rcArea.top + (rcArea.bottom - rcArea.top - m_size.cy) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::UpdateWindow(m_hWnd);
    return TRUE;
}

void CSplashWindow::HideSplash()
{
    if (!c_pSplashWnd)
        return;
    c_pSplashWnd->DestroyWindow();
    if (CWinApp* pApp = CWinApp::GetApp(); pApp && pApp->m_pMainWnd && pApp->m_pMainWnd->m_hWnd)
        ::UpdateWindow(pApp->m_pMainWnd->m_hWnd);
}

BOOL CSplashWindow::FilterSplashMessage(const MSG* pMsg)
{
    if (!c_pSplashWnd)
        return FALSE;
    switch (pMsg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
        HideSplash();
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CSplashWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        gdi::PaintDC dc(m_hWnd);
        gdi::MemoryDC memDC(dc);
        gdi::SelectGuard select(memDC, m_bitmap.get());
        ::BitBlt(dc, 0, 0, m_size.cx, m_size.cy, memDC, 0, 0, SRCCOPY);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kHideTimer) {
            HideSplash();
            return 0;
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CSplashWindow::PostNcDestroy()
{
    delete this;
}
