#include "TransparentStatic.h"

#include <uxtheme.h>

// Visual styles would draw this control with the theme's own text colour and box; it keeps the
// classic drawing, whose colours come from our WM_CTLCOLOR answer, so the dialog bitmap shows through.
// A blank theme name matches no theme class (Wine refuses the empty names Windows also accepts).
void CTransparentStatic::PreSubclassWindow()
{
    ::SetWindowTheme(m_hWnd, L" ", L" ");
    CStatic::PreSubclassWindow();
}

LRESULT CTransparentStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        LRESULT result = CStatic::WindowProc(message, wParam, lParam);
        // We paint no background, so the parent must repaint under us or the old letters stay.
        HWND hParent = ::GetParent(m_hWnd);
        if (hParent) {
            RECT rc;
            ::GetWindowRect(m_hWnd, &rc);
            ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
            ::InvalidateRect(hParent, &rc, TRUE);
            ::UpdateWindow(hParent);
        }
        return result;
    }
    return CStatic::WindowProc(message, wParam, lParam);
}

BOOL CTransparentStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* pResult)
{
    if (message != WM_CTLCOLORSTATIC)
        return FALSE;
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    *pResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    return TRUE;
}
