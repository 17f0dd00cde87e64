#include "Wnd.h"

#include "Menu.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

namespace {

// The property under which a window keeps its object.
const char* const kObjectProp = "CalveraTessel.CWnd";

// The same objects by window, for the look-up every message of our windows starts with: reading a
// window's property may be a round trip to the window manager (it is under Wine), and a list that
// changes a row sends its parent two notifications, each looked up for the parent and the list.
// Every attached window runs StdWndProc, so its entry goes when the window or the object does.
// The table outlives every object (a static window object may go after the table would).
struct ObjectTable {
    std::shared_mutex lock;
    std::unordered_map<HWND, CWnd*> objects;
};
ObjectTable& Objects()
{
    static ObjectTable* table = new ObjectTable;
    return *table;
}

void KeepObject(HWND hWnd, CWnd* pWnd)
{
    ObjectTable& table = Objects();
    std::unique_lock<std::shared_mutex> lock(table.lock);
    table.objects[hWnd] = pWnd;
}

void ForgetObject(HWND hWnd)
{
    ObjectTable& table = Objects();
    std::unique_lock<std::shared_mutex> lock(table.lock);
    table.objects.erase(hWnd);
}

thread_local CWnd* t_pWndInit = nullptr;
thread_local HHOOK t_hHookOldCbtFilter = nullptr;

} // namespace

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        // The object goes before its window: destroy the window while we can still answer it.
        ::DestroyWindow(m_hWnd);
    }
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    ObjectTable& table = Objects();
    std::shared_lock<std::shared_mutex> lock(table.lock);
    auto found = table.objects.find(hWnd);
    return found == table.objects.end() ? nullptr : found->second;
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropA(hWnd, kObjectProp, this);
    KeepObject(hWnd, this);
}

void CWnd::Detach()
{
    if (m_hWnd) {
        ForgetObject(m_hWnd);
        if (::IsWindow(m_hWnd))
            ::RemovePropA(m_hWnd, kObjectProp);
    }
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd))
        return FALSE;
    Attach(hWnd);
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent)
        return FALSE;
    return SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (!hWnd)
        return nullptr;
    if (m_pfnSuper)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Detach();
    return hWnd;
}

LRESULT CALLBACK CWnd::CbtFilterHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && t_pWndInit) {
        CWnd* pWnd = t_pWndInit;
        t_pWndInit = nullptr;
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        pWnd->Attach(hWnd);
        pWnd->PreSubclassWindow();
        pWnd->m_pfnSuper = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc)));
    }
    return ::CallNextHookEx(t_hHookOldCbtFilter, code, wParam, lParam);
}

void CWnd::HookWindowCreate(CWnd* pWnd)
{
    if (!t_hHookOldCbtFilter)
        t_hHookOldCbtFilter = ::SetWindowsHookExA(WH_CBT, &CWnd::CbtFilterHook, nullptr, ::GetCurrentThreadId());
    t_pWndInit = pWnd;
}

BOOL CWnd::UnhookWindowCreate()
{
    if (t_hHookOldCbtFilter) {
        ::UnhookWindowsHookEx(t_hHookOldCbtFilter);
        t_hHookOldCbtFilter = nullptr;
    }
    BOOL attached = t_pWndInit == nullptr;
    t_pWndInit = nullptr;
    return attached;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, const char* lpszClassName, const char* lpszWindowName, DWORD dwStyle, int x,
                    int y, int cx, int cy, HWND hWndParent, HMENU nIDorHMenu)
{
    HookWindowCreate(this);
    HWND hWnd = ::CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, cx, cy, hWndParent,
                                  nIDorHMenu, ::GetModuleHandleA(nullptr), nullptr);
    UnhookWindowCreate();
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    HWND hWndChild = nullptr;
    switch (message) {
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (dis && dis->CtlType == ODT_MENU) {
            // For a menu item the handle is the pop-up's menu handle.
            CMenu* pMenu = CMenu::FromHandlePermanent(reinterpret_cast<HMENU>(dis->hwndItem));
            if (!pMenu)
                return FALSE;
            pMenu->DrawItem(dis);
            *pResult = TRUE;
            return TRUE;
        }
        if (dis)
            hWndChild = dis->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (mis && mis->CtlType == ODT_MENU) {
            // Measuring names no menu: find the pop-up of our menu bar that holds the command.
            CMenu* pMenu = CMenu::FindPopupHolding(::GetMenu(m_hWnd), mis->itemID);
            if (!pMenu)
                return FALSE;
            pMenu->MeasureItem(mis);
            *pResult = TRUE;
            return TRUE;
        }
        if (mis)
            hWndChild = ::GetDlgItem(m_hWnd, static_cast<int>(mis->CtlID));
        break;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
        hWndChild = reinterpret_cast<HWND>(lParam);
        break;
    case WM_COMMAND:
        hWndChild = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr)
            hWndChild = hdr->hwndFrom;
        break;
    }
    default:
        return FALSE;
    }
    if (!hWndChild || hWndChild == m_hWnd)
        return FALSE;
    CWnd* pChild = FromHandlePermanent(hWndChild);
    if (!pChild)
        return FALSE;
    LRESULT result = 0;
    if (!pChild->OnChildNotify(message, wParam, lParam, &result))
        return FALSE;
    *pResult = result;
    return TRUE;
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    LRESULT result = 0;
    try {
        if (!pWnd->ReflectToChild(message, wParam, lParam, &result))
            result = pWnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's code; the message simply goes unanswered.
        result = 0;
    }
    if (message == WM_NCDESTROY) {
        WNDPROC pfnSuper = pWnd->m_pfnSuper;
        if (pfnSuper)
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnSuper));
        pWnd->m_pfnSuper = nullptr;
        ::RemovePropA(hWnd, kObjectProp);
        ForgetObject(hWnd);
        pWnd->m_hWnd = nullptr;
        pWnd->PostNcDestroy();
    }
    return result;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
        if (!(::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return FALSE;
}

std::string CWnd::GetWindowText() const
{
    int len = ::GetWindowTextLengthA(m_hWnd);
    std::string text(static_cast<size_t>(len) + 1, '\0');
    int got = ::GetWindowTextA(m_hWnd, text.data(), len + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}
