// Thin wrappers of the standard controls our windows bind by id.
#pragma once

#include "Wnd.h"

#include <string>

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int nCheck) { ::SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0); }
};

class CStatic : public CWnd { };

// The framework's bitmap button; our hover button draws its own picture and uses none of the four
// bitmaps a bitmap button may hold.
class CBitmapButton : public CButton { };

// A tool-tip control owned by a control; created on first use.
class CToolTipCtrl : public CWnd {
public:
    BOOL Create(HWND hWndParent, DWORD dwStyle = 0);
    // Creates the control for its owner on first use, active or not and with a maximum tip width
    // (0: none); true once it exists.
    bool EnsureCreated(HWND hWndOwner, DWORD dwStyle, BOOL bActive, int maxTipWidth);
    // The one tool of a control, covering its client rectangle, added on first use; then its text.
    void SetControlTip(HWND hWndControl, const char* text, UINT_PTR nIDTool);
    BOOL AddTool(HWND hWndOwner, const char* text, const RECT& rc, UINT_PTR nIDTool);
    void UpdateTipText(HWND hWndOwner, const char* text, UINT_PTR nIDTool);
    std::string GetText(HWND hWndOwner, UINT_PTR nIDTool) const;
    int GetToolCount() const { return static_cast<int>(::SendMessageA(m_hWnd, TTM_GETTOOLCOUNT, 0, 0)); }
    void Activate(BOOL bActivate) { ::SendMessageA(m_hWnd, TTM_ACTIVATE, bActivate, 0); }
    void SetMaxTipWidth(int width) { ::SendMessageA(m_hWnd, TTM_SETMAXTIPWIDTH, 0, width); }
    void RelayEvent(MSG* pMsg) { ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg)); }
};

// A list view in report view, used through its handle. Row texts are wide: the rows hold users'
// file and folder names. Headings, and the program's own texts written into rows, are ANSI.
class CListCtrl {
public:
    HWND m_hWnd = nullptr;
    void Attach(HWND hWnd) { m_hWnd = hWnd; }

    int GetItemCount() const { return ListView_GetItemCount(m_hWnd); }
    int InsertColumn(int nCol, const char* heading, int nFormat, int nWidth);
    // Inserts a row with its first column's text and image; returns its index or -1.
    int InsertItem(int nItem, const wchar_t* text, int nImage);
    BOOL SetItemText(int nItem, int nSubItem, const wchar_t* text);
    // One of the program's own texts (a size, a time, a status).
    BOOL SetItemText(int nItem, int nSubItem, const char* text);
    // The whole text, however long.
    std::wstring GetItemText(int nItem, int nSubItem) const;
    int GetItemImage(int nItem) const;
    // Changes a row's image where it is: its texts, state and place stay.
    BOOL SetItemImage(int nItem, int nImage);
    BOOL DeleteItem(int nItem) { return ListView_DeleteItem(m_hWnd, nItem); }
    BOOL DeleteAllItems() { return ListView_DeleteAllItems(m_hWnd); }
    BOOL GetCheck(int nItem) const { return ListView_GetCheckState(m_hWnd, static_cast<UINT>(nItem)) != 0; }
    void SetCheck(int nItem, BOOL bCheck) { ListView_SetCheckState(m_hWnd, static_cast<UINT>(nItem), bCheck); }
    void SetExtendedStyle(DWORD dwExStyle) { ListView_SetExtendedListViewStyle(m_hWnd, dwExStyle); }
    HIMAGELIST SetImageList(HIMAGELIST hList, int nType) { return ListView_SetImageList(m_hWnd, hList, nType); }
    int GetColumnCount() const;
    std::string GetColumnText(int nCol) const;
    int GetColumnWidth(int nCol) const { return ListView_GetColumnWidth(m_hWnd, nCol); }
};
