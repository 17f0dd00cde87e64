#include "Controls.h"

#include "PathText.h"

#include <cwchar>
#include <vector>

BOOL CToolTipCtrl::Create(HWND hWndParent, DWORD dwStyle)
{
    HWND hWnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, hWndParent, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!hWnd)
        return FALSE;
    return SubclassWindow(hWnd);
}

bool CToolTipCtrl::EnsureCreated(HWND hWndOwner, DWORD dwStyle, BOOL bActive, int maxTipWidth)
{
    if (m_hWnd)
        return true;
    if (!hWndOwner || !Create(hWndOwner, dwStyle))
        return false;
    Activate(bActive);
    if (maxTipWidth > 0)
        SetMaxTipWidth(maxTipWidth);
    return true;
}

void CToolTipCtrl::SetControlTip(HWND hWndControl, const char* text, UINT_PTR nIDTool)
{
    if (GetToolCount() == 0) {
        RECT rc = {};
        ::GetClientRect(hWndControl, &rc);
        AddTool(hWndControl, text, rc, nIDTool);
    }
    UpdateTipText(hWndControl, text, nIDTool);
}

BOOL CToolTipCtrl::AddTool(HWND hWndOwner, const char* text, const RECT& rc, UINT_PTR nIDTool)
{
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE; // understood by every version of the common controls
    ti.hwnd = hWndOwner;
    ti.uId = nIDTool;
    ti.rect = rc;
    ti.lpszText = const_cast<char*>(text ? text : LPSTR_TEXTCALLBACKA);
    return static_cast<BOOL>(::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::UpdateTipText(HWND hWndOwner, const char* text, UINT_PTR nIDTool)
{
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE; // understood by every version of the common controls
    ti.hwnd = hWndOwner;
    ti.uId = nIDTool;
    ti.lpszText = const_cast<char*>(text);
    ::SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}

std::string CToolTipCtrl::GetText(HWND hWndOwner, UINT_PTR nIDTool) const
{
    char buffer[1024] = {};
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE; // understood by every version of the common controls
    ti.hwnd = hWndOwner;
    ti.uId = nIDTool;
    ti.lpszText = buffer;
    ::SendMessageA(m_hWnd, TTM_GETTEXTA, sizeof(buffer), reinterpret_cast<LPARAM>(&ti));
    return buffer;
}

int CListCtrl::InsertColumn(int nCol, const char* heading, int nFormat, int nWidth)
{
    LVCOLUMNA col = {};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = nFormat;
    col.cx = nWidth;
    col.pszText = const_cast<char*>(heading);
    col.iSubItem = nCol;
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, nCol, reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int nItem, const wchar_t* text, int nImage)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = nItem;
    item.pszText = const_cast<wchar_t*>(text);
    item.iImage = nImage;
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const wchar_t* text)
{
    LVITEMW item = {};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<wchar_t*>(text);
    return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_SETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const char* text)
{
    return SetItemText(nItem, nSubItem, WidenText(text).c_str());
}

std::wstring CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    // The list copies at most the buffer less its terminator and says how much it copied: a text
    // that fills the buffer may have been cut, so the buffer grows until one does not.
    std::vector<wchar_t> buffer(512, L'\0');
    for (;;) {
        LVITEMW item = {};
        item.iSubItem = nSubItem;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const LRESULT n = ::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, nItem, reinterpret_cast<LPARAM>(&item));
        // The list may point at a whole text of its own instead of filling ours.
        if (item.pszText && item.pszText != buffer.data())
            return item.pszText;
        if (n < 0 || static_cast<size_t>(n) + 1 < buffer.size() || buffer.size() >= 2 * kMaxLongPath)
            return std::wstring(buffer.data(), std::wcslen(buffer.data()));
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

BOOL CListCtrl::SetItemImage(int nItem, int nImage)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = nItem;
    item.iImage = nImage;
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::GetItemImage(int nItem) const
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = nItem;
    if (!::SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return -1;
    return item.iImage;
}

int CListCtrl::GetColumnCount() const
{
    HWND hHeader = ListView_GetHeader(m_hWnd);
    return hHeader ? Header_GetItemCount(hHeader) : 0;
}

std::string CListCtrl::GetColumnText(int nCol) const
{
    char buffer[260] = {};
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT;
    col.pszText = buffer;
    col.cchTextMax = sizeof(buffer);
    ::SendMessageA(m_hWnd, LVM_GETCOLUMNA, nCol, reinterpret_cast<LPARAM>(&col));
    return buffer;
}
