#include "HoverButton.h"

#include "../framework/ModuleCursor.h"

#include <cstring>
#include <utility>

CHoverButton::CHoverButton() = default;

CHoverButton::~CHoverButton()
{
    // The hand is our own copy.
    if (m_hLinkCursor)
        ::DestroyCursor(m_hLinkCursor);
}

BOOL CHoverButton::LoadImageStrip(UINT nBitmapId)
{
    gdi::Bitmap bmpImage(static_cast<HBITMAP>(::LoadImageA(
        ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nBitmapId), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS)));
    BITMAP bm = {};
    // Without a picture the button keeps the one and the size it had, rather than shrinking to nothing.
    if (!bmpImage || !::GetObjectA(bmpImage.get(), sizeof(bm), &bm))
        return FALSE;
    m_bmpImage = std::move(bmpImage);
    m_nImageWidth = bm.bmWidth;
    m_nImageHeight = bm.bmHeight;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_nImageWidth, m_nImageHeight, SWP_NOMOVE | SWP_NOOWNERZORDER);
    return TRUE;
}

int CHoverButton::SetLinkText(const char* lpszText)
{
    if (!lpszText) {
        std::memset(m_szLinkText, 0, sizeof(m_szLinkText));
        return 0;
    }
    lstrcpynA(m_szLinkText, lpszText, kLinkTextSize);
    // The hand lives in the old help program, where a system still has it.
    if (!m_hLinkCursor)
        m_hLinkCursor = CopyHelpProgramCursor(kHandCursorId);
    return 0;
}

void CHoverButton::EnsureToolTip()
{
    m_ToolTip.EnsureCreated(m_hWnd, 0, FALSE, 0);
}

void CHoverButton::SetToolTipText(const std::string* pText, BOOL bActivate)
{
    if (!pText || !m_ToolTip.EnsureCreated(m_hWnd, 0, FALSE, 0))
        return;
    m_ToolTip.SetControlTip(m_hWnd, pText->c_str(), 1);
    m_ToolTip.Activate(bActivate);
}

BOOL CHoverButton::PreTranslateMessage(MSG* pMsg)
{
    EnsureToolTip();
    if (m_ToolTip.m_hWnd)
        m_ToolTip.RelayEvent(pMsg);
    return CBitmapButton::PreTranslateMessage(pMsg);
}

void CHoverButton::DrawItem(DRAWITEMSTRUCT* pDis)
{
    if (!pDis || !pDis->hDC || !m_bmpImage)
        return;
    gdi::MemoryDC memDC(pDis->hDC);
    gdi::SelectGuard select(memDC, m_bmpImage.get());
    // Pressed, a strip shows its second frame, right of the first. A picture of one frame has none:
    // it shows itself pressed too, not the empty space past its right edge.
    BITMAP bm = {};
    ::GetObjectA(m_bmpImage.get(), sizeof(bm), &bm);
    const bool bHasPressedFrame = bm.bmWidth >= 2 * m_nImageWidth;
    int srcX = (pDis->itemState & ODS_SELECTED) && bHasPressedFrame ? m_nImageWidth : 0;
    ::BitBlt(pDis->hDC, 0, 0, m_nImageWidth, m_nImageHeight, memDC, srcX, 0, SRCCOPY);
}

BOOL CHoverButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult)
{
    if (message != WM_DRAWITEM)
        return FALSE;
    DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    *pResult = TRUE;
    return TRUE;
}

void CHoverButton::OnMouseMove(UINT nFlags, POINT point)
{
    if ((nFlags & MK_LBUTTON) && !m_bHover)
        return;
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (!hOwner)
        hOwner = ::GetParent(m_hWnd);
    if (::GetCapture() != m_hWnd && hOwner) {
        m_bHover = 1;
        ::SetTimer(m_hWnd, kHoverTimer, kHoverPeriod, nullptr);
        ::SetCapture(m_hWnd);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return;
    }
    ::ClientToScreen(m_hWnd, &point);
    HWND hUnder = ::WindowFromPoint(point);
    if (hUnder && hUnder != m_hWnd) {
        if (m_bHover == 1) {
            m_bHover = 0;
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
        }
        if (!(nFlags & MK_LBUTTON))
            ::ReleaseCapture();
    }
}

void CHoverButton::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kHoverTimer)
        return;
    DWORD pos = ::GetMessagePos();
    POINT pt = { static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos)) };
    ::ScreenToClient(m_hWnd, &pt);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    if (!::PtInRect(&rc, pt)) {
        m_bHover = 0;
        ::KillTimer(m_hWnd, kHoverTimer);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
}

LRESULT CHoverButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE: {
        LRESULT result = CBitmapButton::WindowProc(message, wParam, lParam);
        POINT pt = { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
        OnMouseMove(static_cast<UINT>(wParam), pt);
        return result;
    }
    case WM_MOUSELEAVE:
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        return 0;
    case WM_MOUSEHOVER:
        return 0;
    case WM_SETCURSOR:
        if (m_hLinkCursor) {
            ::SetCursor(m_hLinkCursor);
            return TRUE;
        }
        break;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    default:
        break;
    }
    return CBitmapButton::WindowProc(message, wParam, lParam);
}
