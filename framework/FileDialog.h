// CFileDialog: the explorer-style open/save dialog with a hook, so that derived dialogs hear about
// selection changes. While the dialog runs, m_hWnd is the hook's child window.
#pragma once

#include "Wnd.h"

#include <string>

class CFileDialog : public CWnd {
public:
    CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt = nullptr, const char* lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* lpszFilter = nullptr,
                HWND hWndParent = nullptr);

    virtual INT_PTR DoModal();
    POSITION GetStartPosition() const;
    std::string GetNextPathName(POSITION& pos) const;

    OPENFILENAMEA m_ofn{};

protected:
    // A selection in the dialog changed.
    virtual void OnFileNameChange() {}

private:
    static UINT_PTR CALLBACK HookProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    BOOL m_bOpenFileDialog;
    std::string m_strFilter;
    std::string m_strDefExt;
    // One more than the dialog may fill, so a full buffer still ends in a terminator.
    char m_szFileName[MAX_PATH + 1] = {};
    char m_szFileTitle[64] = {};
};
