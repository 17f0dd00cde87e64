#include "FileDialog.h"

#include <cstring>

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt, const char* lpszFileName, DWORD dwFlags,
                         const char* lpszFilter, HWND hWndParent)
    : m_bOpenFileDialog(bOpenFileDialog)
{
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = hWndParent;
    m_ofn.hInstance = ::GetModuleHandleA(nullptr);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = sizeof(m_szFileTitle);
    m_ofn.Flags = dwFlags | OFN_ENABLEHOOK | OFN_EXPLORER;
    m_ofn.lpfnHook = &CFileDialog::HookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
    if (lpszDefExt) {
        m_strDefExt = lpszDefExt;
        m_ofn.lpstrDefExt = m_strDefExt.c_str();
    }
    if (lpszFileName)
        lstrcpynA(m_szFileName, lpszFileName, MAX_PATH);
    if (lpszFilter) {
        // "Name|pattern|Name|pattern|" becomes the NUL-separated list the dialog wants.
        m_strFilter = lpszFilter;
        for (char& c : m_strFilter)
            if (c == '|')
                c = '\0';
        m_strFilter.push_back('\0');
        m_ofn.lpstrFilter = m_strFilter.c_str();
    }
}

UINT_PTR CALLBACK CFileDialog::HookProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
        auto* self = reinterpret_cast<CFileDialog*>(ofn->lCustData);
        self->m_hWnd = hWnd;
        ::SetPropA(hWnd, "CalveraTessel.FileDialog", self);
        return TRUE;
    }
    auto* self = static_cast<CFileDialog*>(::GetPropA(hWnd, "CalveraTessel.FileDialog"));
    if (!self)
        return 0;
    if (message == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->code == CDN_SELCHANGE) {
            try {
                self->OnFileNameChange();
            } catch (...) {
            }
        }
    } else if (message == WM_DESTROY) {
        ::RemovePropA(hWnd, "CalveraTessel.FileDialog");
        self->m_hWnd = nullptr;
    }
    return 0;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    m_hWnd = nullptr;
    return ok ? IDOK : IDCANCEL;
}

POSITION CFileDialog::GetStartPosition() const
{
    return m_ofn.lpstrFile && m_ofn.lpstrFile[0] ? static_cast<POSITION>(m_ofn.lpstrFile) : nullptr;
}

std::string CFileDialog::GetNextPathName(POSITION& pos) const
{
    char* lpsz = static_cast<char*>(pos);
    if (!lpsz)
        return {};
    if (lpsz == m_ofn.lpstrFile) {
        if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT)) {
            pos = nullptr;
            return lpsz;
        }
        // The buffer holds the folder, then the names; one path alone means a single selection.
        lpsz += std::strlen(lpsz) + 1;
        if (*lpsz == '\0') {
            pos = nullptr;
            return m_ofn.lpstrFile;
        }
    }
    std::string path = m_ofn.lpstrFile;
    std::string name = lpsz;
    lpsz += name.size() + 1;
    pos = *lpsz ? static_cast<POSITION>(lpsz) : nullptr;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    return path + name;
}
