#include "msgbox/RixMessageBoxDialog.h"

#include "msgbox/RixBoxButtons.h"
#include "msgbox/RixBoxLayout.h"
#include "msgbox/RixBoxMemory.h"
#include "msgbox/RixBoxTexts.h"

#include <cstddef>
#include <cstdio>

namespace {

UINT g_nTimerPeriod = 1000;

constexpr DWORD kTemplateStyle = 0x90C80880; // popup, visible, caption, system menu, centred, modal frame

gdi::Icon LoadBoxIcon(DWORD dwStyle, HINSTANCE hIconModule, LPCSTR lpszIconResource)
{
    LPCSTR system = nullptr;
    switch (dwStyle & MB_ICONMASK) {
    case MB_ICONHAND:
        system = IDI_HAND;
        break;
    case MB_ICONQUESTION:
        system = IDI_QUESTION;
        break;
    case MB_ICONEXCLAMATION:
        system = IDI_EXCLAMATION;
        break;
    case MB_ICONASTERISK:
        system = IDI_ASTERISK;
        break;
    case MB_USERICON:
        if (!lpszIconResource)
            return gdi::Icon();
        return gdi::Icon(
            static_cast<HICON>(::LoadImageA(hIconModule, lpszIconResource, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR)));
    default:
        return gdi::Icon();
    }
    // The system's icons are shared: the box keeps a copy of its own, which it may destroy.
    HICON hShared = ::LoadIconA(nullptr, system);
    return gdi::Icon(hShared ? ::CopyIcon(hShared) : nullptr);
}

gdi::Font CreateMessageFont()
{
    // The size of the structure before the padded border field, which every version of the
    // platform accepts.
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(LOGFONTA), &metrics.lfMessageFont);
    return gdi::Font(::CreateFontIndirectA(&metrics.lfMessageFont));
}

} // namespace

RixMessageBoxDialog::RixMessageBoxDialog(const RixBoxParams& params)
    : m_Params(params)
{
    HINSTANCE hSelf = ::GetModuleHandleA(nullptr);
    if (!m_Params.hStringModule)
        m_Params.hStringModule = hSelf;
    if (!m_Params.hIconModule)
        m_Params.hIconModule = hSelf;
    m_bNoStringRes = (m_Params.dwStyle & RIXMB_NOSTRINGRES) != 0;
    m_strCaption = ResolveText(m_Params.lpszCaption);
    m_Font = CreateMessageFont();
    m_Icon = LoadBoxIcon(m_Params.dwStyle, m_Params.hIconModule, m_Params.lpszIconResource);
    m_strText = ResolveText(m_Params.lpszText);
    m_strMoreText = ResolveText(m_Params.lpszMoreText);
}

RixMessageBoxDialog::~RixMessageBoxDialog() = default;

void RixMessageBoxDialog::SetTimerPeriod(UINT nMilliseconds)
{
    g_nTimerPeriod = nMilliseconds ? nMilliseconds : 1;
}

std::string RixMessageBoxDialog::ResolveText(LPCSTR lpsz) const
{
    return RixResolveText(lpsz, m_Params.hStringModule, m_bNoStringRes);
}

std::string RixMessageBoxDialog::Caption(int nId, LPCSTR lpszDefault) const
{
    return RixResolveCaption(nId, m_Params.pCaptionOverrides, m_Params.hStringModule, m_bNoStringRes, lpszDefault);
}

int RixMessageBoxDialog::DoModal()
{
    // A dialog template of its own: no controls, no menu, class or title; the box sizes itself.
    constexpr size_t kTemplateSize = sizeof(DLGTEMPLATE) + 3 * sizeof(WORD) + 2;
    HGLOBAL hTemplate = ::GlobalAlloc(GMEM_ZEROINIT, kTemplateSize);
    auto* pTemplate = hTemplate ? static_cast<DLGTEMPLATE*>(::GlobalLock(hTemplate)) : nullptr;
    if (!pTemplate) {
        if (hTemplate)
            ::GlobalFree(hTemplate);
        return IDCANCEL;
    }
    pTemplate->style = kTemplateStyle;
    pTemplate->cx = 100;
    pTemplate->cy = 100;
    const INT_PTR result = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), pTemplate, m_Params.hwndOwner,
        &RixMessageBoxDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    ::GlobalUnlock(hTemplate);
    ::GlobalFree(hTemplate);
    return result == -1 ? IDCANCEL : static_cast<int>(result);
}

RixMessageBoxDialog* RixMessageBoxDialog::FromWindow(HWND hWnd)
{
    if (!hWnd || ::GetWindowLongPtrA(hWnd, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&DialogProc))
        return nullptr;
    return reinterpret_cast<RixMessageBoxDialog*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

INT_PTR CALLBACK RixMessageBoxDialog::DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* pBox = reinterpret_cast<RixMessageBoxDialog*>(lParam);
        ::SetWindowLongPtrA(hDlg, GWLP_USERDATA, lParam);
        pBox->m_hWnd = hDlg;
        pBox->OnInitDialog();
        // The focus is on the default button already.
        return FALSE;
    }
    auto* pBox = reinterpret_cast<RixMessageBoxDialog*>(::GetWindowLongPtrA(hDlg, GWLP_USERDATA));
    if (!pBox || pBox->m_hWnd != hDlg)
        return FALSE;
    return pBox->OnMessage(message, wParam, lParam);
}

INT_PTR RixMessageBoxDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        gdi::PaintDC dc(m_hWnd);
        PaintBox(dc);
        return TRUE;
    }
    case WM_RIXREDRAW:
        PaintBox(nullptr);
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ERASEBKGND:
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        // The check box label shows the band behind it.
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
    case WM_COMMAND:
        OnCommand(wParam);
        return TRUE;
    case WM_CLOSE:
        // The close box is Escape: the same Cancel command, under the same rule, at once.
        OnCommand(MAKEWPARAM(IDCANCEL, BN_CLICKED));
        return TRUE;
    case WM_TIMER:
        if (wParam == RIXBOX_TIMER_ID)
            OnTimer();
        return TRUE;
    case WM_SETCURSOR: {
        const BOOL bHand = OnSetCursor();
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, bHand);
        return bHand;
    }
    case WM_LBUTTONDOWN:
        OnLButtonDown({ static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) });
        return TRUE;
    case WM_DESTROY:
        ::KillTimer(m_hWnd, RIXBOX_TIMER_ID);
        DestroyControls();
        return FALSE;
    default:
        return FALSE;
    }
}

void RixMessageBoxDialog::OnInitDialog()
{
    if (m_Params.nDisableSeconds > 0)
        m_nRemaining = m_Params.nDisableSeconds;
    if (m_Params.nAutoCloseSeconds > 0)
        m_nRemaining = m_Params.nAutoCloseSeconds;

    for (RixMarkupRenderer* pRenderer : { &m_HeaderRenderer, &m_TextRenderer, &m_MoreRenderer })
        pRenderer->SetHoverTarget(m_hWnd, WM_RIXREDRAW, 0);

    m_strMarkup = m_strText;
    if (m_Params.dwStyle & MB_RIGHT)
        m_strMarkup = "<right>" + m_strMarkup + "</right>";
    if (m_Icon) {
        char head[128];
        std::snprintf(head, sizeof(head), "<table cellpadding=%d><tr><td width=%d><icon handle=0x%X></td><td>",
            RIXBOX_TEXT_INSET, ::GetSystemMetrics(SM_CXICON),
            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_Icon.get())));
        m_strMarkup = head + m_strMarkup + "</td></tr></table>";
    }

    const SIZE size = CreateControlsAndMeasure();

    const bool bCaptionCount = m_Params.nDisableSeconds > 0 && m_Params.bCountdownInCaption;
    if (bCaptionCount) {
        m_strCountFormat = Caption(RIXID_COUNTDOWN_FORMAT);
        ::SetWindowTextA(m_hWnd, RixFormatCount(m_strCountFormat, m_strCaption, m_nRemaining).c_str());
    } else {
        ::SetWindowTextA(m_hWnd, m_strCaption.c_str());
    }

    if (!m_bEscape || bCaptionCount || (m_Params.nDisableSeconds > 0 && DefaultButtonId() == IDCANCEL))
        EnableCloseCommand(false);

    CenterWindow(size.cx, size.cy);
    PlaceControls();

    if (m_Params.dwStyle & MB_TOPMOST)
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    if (m_Params.dwStyle & MB_SETFOREGROUND)
        ::SetForegroundWindow(m_hWnd);

    if (m_nRemaining != 0)
        ::SetTimer(m_hWnd, RIXBOX_TIMER_ID, g_nTimerPeriod, nullptr);
}

void RixMessageBoxDialog::CenterWindow(int nWidth, int nHeight)
{
    RECT r = { 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN) };
    if (HWND hParent = ::GetParent(m_hWnd))
        ::GetWindowRect(hParent, &r);
    const int left = r.left + (r.right - nWidth - r.left) / 2;
    const int top = r.top + (r.bottom - nHeight - r.top) / 2;
    ::SetWindowPos(m_hWnd, nullptr, left, top, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void RixMessageBoxDialog::EnableCloseCommand(bool bEnable)
{
    m_bCloseGreyed = !bEnable;
    if (HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE))
        ::EnableMenuItem(hMenu, SC_CLOSE, MF_BYCOMMAND | (bEnable ? MF_ENABLED : MF_GRAYED));
}

HWND RixMessageBoxDialog::ButtonWindow(int nId) const
{
    for (const auto& [id, hWnd] : m_Buttons)
        if (id == nId)
            return hWnd;
    return nullptr;
}

int RixMessageBoxDialog::DefaultButtonId() const
{
    return m_Buttons.empty() ? 0 : m_Buttons[static_cast<size_t>(m_nDefaultIndex)].first;
}

HWND RixMessageBoxDialog::DefaultButton() const
{
    return m_Buttons.empty() ? nullptr : m_Buttons[static_cast<size_t>(m_nDefaultIndex)].second;
}

int RixMessageBoxDialog::DefaultControlId() const
{
    HWND hDefault = DefaultButton();
    return hDefault ? ::GetDlgCtrlID(hDefault) : 0;
}

std::string RixMessageBoxDialog::DefaultCaption() const
{
    if (DefaultButtonId() == RIXID_MORE)
        return m_bMoreShown ? m_strLessCaption : m_strMoreCaption;
    return m_strSavedCaption;
}

bool RixMessageBoxDialog::CanEndWith(int nId) const
{
    if (nId == IDCANCEL && !m_bEscape)
        return false;
    if (HWND hButton = ButtonWindow(nId))
        return ::IsWindowEnabled(hButton) != FALSE;
    // Escape and the close box send IDCANCEL without a Cancel button; while the close command is
    // greyed they do nothing. Ids of buttons the box does not have (Enter's IDOK in a Yes/No box)
    // never end it.
    return nId == IDCANCEL && !m_bCloseGreyed;
}

void RixMessageBoxDialog::OnCommand(WPARAM wParam)
{
    const int nId = LOWORD(wParam);
    if (nId == 0)
        return;
    switch (nId) {
    case RIXBOX_QUIET_CANCEL_ID:
        // The Cancel button of a box whose Escape is off: a visible, enabled button always ends the
        // box with its own id.
        if (HWND hCancel = ButtonWindow(IDCANCEL); hCancel && ::IsWindowEnabled(hCancel))
            EndBox(IDCANCEL);
        return;
    case IDHELP: {
        if (!ButtonWindow(IDHELP))
            return;
        char path[MAX_PATH + 8] = {};
        ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string helpFile = path;
        const size_t dot = helpFile.find_last_of('.');
        if (dot != std::string::npos)
            helpFile.erase(dot);
        helpFile += ".hlp";
        if (m_Params.dwHelpContext)
            ::WinHelpA(m_hWnd, helpFile.c_str(), HELP_CONTEXT, m_Params.dwHelpContext);
        else
            ::WinHelpA(m_hWnd, helpFile.c_str(), HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(""));
        return;
    }
    case RIXID_REPORT:
        if (ButtonWindow(RIXID_REPORT))
            ::SendMessageA(m_Params.hwndOwner, m_Params.nReportMessage, 0, 0);
        return;
    case RIXID_LESS:
    case RIXID_MORE:
        if (ButtonWindow(RIXID_MORE))
            ToggleMore();
        return;
    default:
        if (CanEndWith(nId))
            EndBox(nId);
        return;
    }
}

void RixMessageBoxDialog::EndBox(int nId)
{
    ::KillTimer(m_hWnd, RIXBOX_TIMER_ID);
    int nResult = nId;
    if (m_hCheckBox && ::SendMessageA(m_hCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        nResult |= static_cast<int>(m_Params.dwStyle & RIXMB_CHECKED);
        if (RixUsesMemory(m_Params))
            RixRememberAnswer(m_Params, static_cast<DWORD>(nResult));
    }
    ::EndDialog(m_hWnd, nResult);
}

void RixMessageBoxDialog::ToggleMore()
{
    HWND hMore = ButtonWindow(RIXID_MORE);
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    const int nDelta = m_bMoreShown ? -m_nMoreHeight : m_nMoreHeight;
    m_bMoreShown = !m_bMoreShown;
    ::SetWindowTextA(hMore, m_bMoreShown ? m_strLessCaption.c_str() : m_strMoreCaption.c_str());
    // Counting down on More, the count stays on its new caption.
    if (hMore == DefaultButton() && m_nRemaining > 0 && !(m_Params.nDisableSeconds > 0 && m_Params.bCountdownInCaption))
        ShowCount();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top + nDelta,
        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void RixMessageBoxDialog::ShowCount()
{
    if (m_Params.nDisableSeconds > 0 && m_Params.bCountdownInCaption)
        ::SetWindowTextA(m_hWnd, RixFormatCount(m_strCountFormat, m_strCaption, m_nRemaining).c_str());
    else if (HWND hDefault = DefaultButton())
        ::SetWindowTextA(hDefault, RixFormatCount("%s = %d", DefaultCaption(), m_nRemaining).c_str());
}

void RixMessageBoxDialog::OnTimer()
{
    if (m_nRemaining > 0) {
        --m_nRemaining;
        if (m_nRemaining > 0) {
            ShowCount();
            return;
        }
    }
    ::KillTimer(m_hWnd, RIXBOX_TIMER_ID);
    HWND hDefault = DefaultButton();
    if (m_Params.nDisableSeconds > 0) {
        if (m_bEscape)
            EnableCloseCommand(true);
        if (m_Params.bCountdownInCaption) {
            ::SetWindowTextA(m_hWnd, m_strCaption.c_str());
            for (const auto& [id, hWnd] : m_Buttons)
                if (hWnd != hDefault)
                    ::EnableWindow(hWnd, TRUE);
        } else if (hDefault) {
            ::SetWindowTextA(hDefault, DefaultCaption().c_str());
        }
        if (hDefault) {
            ::EnableWindow(hDefault, TRUE);
            ::SendMessageA(hDefault, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            ::SendMessageA(m_hWnd, DM_SETDEFID, static_cast<WPARAM>(DefaultControlId()), 0);
        }
    } else if (m_Params.nAutoCloseSeconds > 0 && hDefault) {
        ::SetWindowTextA(hDefault, DefaultCaption().c_str());
        ::SendMessageA(m_hWnd, WM_COMMAND, static_cast<WPARAM>(DefaultControlId()) | 0x80000000u, 0);
    }
}

BOOL RixMessageBoxDialog::OnSetCursor()
{
    POINT point;
    ::GetCursorPos(&point);
    ::ScreenToClient(m_hWnd, &point);
    const std::pair<RixMarkupRenderer*, int> bands[] = { { &m_HeaderRenderer, m_nHeaderHeight },
        { &m_TextRenderer, m_nMessageHeight }, { &m_MoreRenderer, m_nMoreHeight } };
    for (const auto& [pRenderer, nHeight] : bands)
        if (nHeight != 0 && pRenderer->OnLinkHover(point))
            return TRUE;
    return FALSE;
}

void RixMessageBoxDialog::OnLButtonDown(POINT point)
{
    const std::pair<RixMarkupRenderer*, int> bands[] = { { &m_HeaderRenderer, m_nHeaderHeight },
        { &m_TextRenderer, m_nMessageHeight }, { &m_MoreRenderer, m_nMoreHeight } };
    for (const auto& [pRenderer, nHeight] : bands)
        if (nHeight != 0)
            pRenderer->OnLinkClick(point);
}

void RixMessageBoxDialog::DestroyControls()
{
    for (auto& [id, hWnd] : m_Buttons)
        if (hWnd)
            ::DestroyWindow(hWnd);
    m_Buttons.clear();
    if (m_hCheckBox)
        ::DestroyWindow(m_hCheckBox);
    if (m_hCheckLabel)
        ::DestroyWindow(m_hCheckLabel);
    m_hCheckBox = m_hCheckLabel = nullptr;
}
