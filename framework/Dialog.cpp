#include "Dialog.h"

CDialog::CDialog(UINT nIDTemplate, HWND hWndParent) : m_nIDTemplate(nIDTemplate), m_hWndParent(hWndParent) {}

CDialog::~CDialog() = default;

INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM)
{
    // Every message reaches our WindowProc first; what is left is the dialog manager's.
    return FALSE;
}

BOOL CDialog::CreateFromTemplate(HWND hWndParent)
{
    HINSTANCE hInst = ::GetModuleHandleA(nullptr);
    HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!hRes)
        return FALSE;
    HGLOBAL hGlobal = ::LoadResource(hInst, hRes);
    auto* pTemplate = hGlobal ? static_cast<LPCDLGTEMPLATEA>(::LockResource(hGlobal)) : nullptr;
    if (!pTemplate)
        return FALSE;
    m_bEndModal = false;
    m_nModalResult = -1;
    HookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParamA(hInst, pTemplate, hWndParent, &CDialog::DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    if (!UnhookWindowCreate() && hWnd && !m_hWnd) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return hWnd != nullptr;
}

BOOL CDialog::Create(HWND hWndParent)
{
    if (hWndParent)
        m_hWndParent = hWndParent;
    return CreateFromTemplate(m_hWndParent);
}

INT_PTR CDialog::DoModal()
{
    HWND hWndOwner = m_hWndParent;
    bool ownerWasEnabled = false;
    if (hWndOwner && ::IsWindowEnabled(hWndOwner)) {
        ::EnableWindow(hWndOwner, FALSE);
        ownerWasEnabled = true;
    }
    if (!CreateFromTemplate(hWndOwner)) {
        if (ownerWasEnabled)
            ::EnableWindow(hWndOwner, TRUE);
        return -1;
    }
    // The dialog may have ended during its own initialisation.
    if (!m_bEndModal && ShowOnStart() && !(::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_VISIBLE))
        ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    while (!m_bEndModal && m_hWnd) {
        if (!PumpMessage())
            break;
    }
    if (ownerWasEnabled)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWndOwner && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hWndOwner);
    if (m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        ::DestroyWindow(m_hWnd);
    }
    return m_nModalResult;
}

BOOL CDialog::PreTranslateInLoop(MSG* pMsg)
{
    if (WalkPreTranslateTree(m_hWnd, pMsg))
        return TRUE;
    // Messages of other top-level windows of the thread (a splash, say) still pass the dialog.
    if (!pMsg->hwnd || ::GetAncestor(pMsg->hwnd, GA_ROOT) != m_hWnd)
        return PreTranslateMessage(pMsg);
    return FALSE;
}

BOOL CDialog::PumpMessage()
{
    MSG msg;
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        return FALSE;
    }
    if (got == -1)
        return FALSE;
    if (!PreTranslateInLoop(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return TRUE;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEndModal = true;
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0); // wake the loop
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
        return ::IsDialogMessageA(m_hWnd, pMsg);
    return FALSE;
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
            OnOK();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == BN_CLICKED) {
            OnCancel();
            return 0;
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
