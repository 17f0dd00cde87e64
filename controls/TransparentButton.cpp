#include "TransparentButton.h"

#include <uxtheme.h>

namespace {
constexpr int kMaxTipWidth = 400;
}

CTransparentButton::CTransparentButton()
    : m_crText(::GetSysColor(COLOR_WINDOWTEXT))
    , m_crBack(::GetSysColor(COLOR_WINDOW))
    , m_brBack(::CreateSolidBrush(m_crBack))
    , m_brHollow(static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)))
{
}

CTransparentButton::~CTransparentButton() = default;

BOOL CTransparentButton::PreTranslateMessage(MSG* pMsg)
{
    if (m_ToolTip.EnsureCreated(m_hWnd, 0, TRUE, kMaxTipWidth))
        m_ToolTip.RelayEvent(pMsg);
    return CButton::PreTranslateMessage(pMsg);
}

// Visual styles would draw this control with the theme's own text colour and box; it keeps the
// classic drawing, whose colours come from our WM_CTLCOLOR answer, so the dialog bitmap shows through.
// A blank theme name matches no theme class (Wine refuses the empty names Windows also accepts).
void CTransparentButton::PreSubclassWindow()
{
    ::SetWindowTheme(m_hWnd, L" ", L" ");
    CButton::PreSubclassWindow();
}

LRESULT CTransparentButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!m_bAcceptInput)
            return 0;
        break;
    case WM_ERASEBKGND:
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        break;
    default:
        break;
    }
    return CButton::WindowProc(message, wParam, lParam);
}

BOOL CTransparentButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* pResult)
{
    if (message != WM_CTLCOLORBTN && message != WM_CTLCOLORSTATIC)
        return FALSE;
    HDC hDC = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(hDC, m_crText);
    if (m_bTransparent) {
        ::SetBkMode(hDC, TRANSPARENT);
        *pResult = reinterpret_cast<LRESULT>(m_brHollow);
    } else {
        ::SetBkMode(hDC, OPAQUE);
        ::SetBkColor(hDC, m_crBack);
        *pResult = reinterpret_cast<LRESULT>(m_brBack.get());
    }
    return TRUE;
}
