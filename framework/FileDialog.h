// CFileDialog: the explorer-style open/save dialog with a hook, so that derived dialogs hear about
// selection changes. While the dialog runs, m_hWnd is the hook's child window. The names it returns
// are wide (see PathText.h); its filter, extension and title are the program's own ANSI texts.
#pragma once

#include "PathText.h"
#include "Wnd.h"

#include <memory>
#include <string>
#include <vector>

class CFileDialog : public CWnd {
public:
    CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt = nullptr, const wchar_t* lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* lpszFilter = nullptr,
                HWND hWndParent = nullptr);

    virtual INT_PTR DoModal();
    POSITION GetStartPosition() const;
    std::wstring GetNextPathName(POSITION& pos) const;
    // The dialog's caption.
    void SetTitle(const char* lpszTitle);

    OPENFILENAMEW m_ofn{};

protected:
    // A selection in the dialog changed.
    virtual void OnFileNameChange() {}
    // Open was pressed (or Enter typed), before the dialog itself acts on it; true when it was
    // answered here and the dialog must not see it.
    virtual bool OnOpenCommand() { return false; }
    // The real dialog while it runs (the hook's parent), or null.
    HWND DialogWindow() const { return m_hWnd ? ::GetParent(m_hWnd) : nullptr; }
    // A text the dialog answers through a CDM_ message (CDM_GETSPEC, CDM_GETFOLDERPATH), whole.
    std::wstring DialogText(UINT message) const;
    // Lets the name buffer hold at least `characters`, terminators included, keeping what it holds.
    // Only the buffer this class owns grows; one the caller put in m_ofn is the caller's.
    void ReserveFileBuffer(size_t characters);

private:
    static UINT_PTR CALLBACK HookProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DialogProc(
        HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);

    BOOL m_bOpenFileDialog;
    std::wstring m_strFilter;
    std::wstring m_strDefExt;
    std::wstring m_strTitle;
    // Room for one path of the longest kind the platform allows, and one more character, so a full
    // buffer still ends in a terminator. A name's title is not asked for: the path holds it.
    std::unique_ptr<wchar_t[]> m_szFileName;
    size_t m_nFileBufferSize; // characters allocated in m_szFileName
    // Buffers the name buffer outgrew while the dialog ran: kept until it ends, in case the dialog
    // still points at one.
    std::vector<std::unique_ptr<wchar_t[]>> m_retiredFileBuffers;
};
