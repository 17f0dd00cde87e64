// CWnd: an HWND with a virtual window procedure. The object is found from its window
// through a window property, so one trampoline serves every kind of window.
#pragma once

#include "Platform.h"

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object attached to a window, or null for a window we do not own.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Takes over an existing window (a control of a dialog template).
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // Creates a window of a class whose procedure is the plain default one.
    BOOL CreateEx(DWORD dwExStyle, const char* lpszClassName, const char* lpszWindowName, DWORD dwStyle,
                  int x, int y, int cx, int cy, HWND hWndParent, HMENU nIDorHMenu);
    BOOL DestroyWindow();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void PreSubclassWindow() {}
    // A parent hands owner-draw, colour, command and notify messages of its children back to the
    // child's object first; returning TRUE means the child has answered (*pResult).
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Called after the window is gone; the object may delete itself here.
    virtual void PostNcDestroy() {}

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Offers the message to the windows from its target up to hWndStop, stopping at the
    // first whose PreTranslateMessage takes it.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

    // Small conveniences over the raw calls.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    std::string GetWindowText() const;
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }

    // Gives a reflected message to a child's object; used by WindowProc of parents.
    BOOL ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static LRESULT CALLBACK StdWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Attaches the next window this thread creates to pWnd (used by CreateEx and dialogs).
    static void HookWindowCreate(CWnd* pWnd);
    static BOOL UnhookWindowCreate();

    void Attach(HWND hWnd);
    void Detach();

    WNDPROC m_pfnSuper = nullptr;

private:
    static LRESULT CALLBACK CbtFilterHook(int code, WPARAM wParam, LPARAM lParam);
};
