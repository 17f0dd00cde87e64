#include "FileDialog.h"

#include <cwchar>
#include <new>

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt, const wchar_t* lpszFileName, DWORD dwFlags,
                         const char* lpszFilter, HWND hWndParent)
    : m_bOpenFileDialog(bOpenFileDialog)
    , m_szFileName(new wchar_t[kMaxLongPath + 1]())
    , m_nFileBufferSize(kMaxLongPath + 1)
{
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = hWndParent;
    m_ofn.hInstance = ::GetModuleHandleW(nullptr);
    m_ofn.lpstrFile = m_szFileName.get();
    m_ofn.nMaxFile = static_cast<DWORD>(kMaxLongPath);
    m_ofn.Flags = dwFlags | OFN_ENABLEHOOK | OFN_EXPLORER;
    m_ofn.lpfnHook = &CFileDialog::HookProc;
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
    if (lpszDefExt) {
        m_strDefExt = WidenText(lpszDefExt);
        m_ofn.lpstrDefExt = m_strDefExt.c_str();
    }
    if (lpszFileName)
        ::lstrcpynW(m_szFileName.get(), lpszFileName, static_cast<int>(kMaxLongPath));
    if (lpszFilter) {
        // "Name|pattern|Name|pattern|" becomes the NUL-separated list the dialog wants.
        m_strFilter = WidenText(lpszFilter);
        for (wchar_t& c : m_strFilter)
            if (c == L'|')
                c = L'\0';
        m_strFilter.push_back(L'\0');
        m_ofn.lpstrFilter = m_strFilter.c_str();
    }
}

void CFileDialog::SetTitle(const char* lpszTitle)
{
    m_strTitle = WidenText(lpszTitle);
    m_ofn.lpstrTitle = lpszTitle ? m_strTitle.c_str() : nullptr;
}

UINT_PTR CALLBACK CFileDialog::HookProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lParam);
        auto* self = reinterpret_cast<CFileDialog*>(ofn->lCustData);
        self->m_hWnd = hWnd;
        ::SetPropW(hWnd, L"CalveraTessel.FileDialog", self);
        // The real dialog's commands pass us first: Open may carry a name the dialog cannot take.
        ::SetWindowSubclass(::GetParent(hWnd), &CFileDialog::DialogProc, 0, reinterpret_cast<DWORD_PTR>(self));
        return TRUE;
    }
    auto* self = static_cast<CFileDialog*>(::GetPropW(hWnd, L"CalveraTessel.FileDialog"));
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
        ::RemovePropW(hWnd, L"CalveraTessel.FileDialog");
        self->m_hWnd = nullptr;
    }
    return 0;
}

LRESULT CALLBACK CFileDialog::DialogProc(
    HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    auto* self = reinterpret_cast<CFileDialog*>(data);
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED && self->m_hWnd) {
        bool answered = false;
        try {
            answered = self->OnOpenCommand();
        } catch (...) {
            // Nothing may unwind through the dialog; without an answer the dialog goes on as usual.
        }
        if (answered)
            return 0;
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, &CFileDialog::DialogProc, id);
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

std::wstring CFileDialog::DialogText(UINT message) const
{
    HWND hDlg = DialogWindow();
    if (!hDlg)
        return {};
    // With a one-character buffer the dialog tells the size it needs, terminator included.
    wchar_t probe[1] = {};
    const LRESULT size = ::SendMessageW(hDlg, message, 1, reinterpret_cast<LPARAM>(probe));
    if (size <= 1)
        return {};
    // One more than asked for, zeroed: a dialog that fills every character still leaves a terminator.
    std::wstring text(static_cast<size_t>(size) + 1, L'\0');
    ::SendMessageW(hDlg, message, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

void CFileDialog::ReserveFileBuffer(size_t characters)
{
    if (m_ofn.nMaxFile >= characters || m_ofn.lpstrFile != m_szFileName.get())
        return;
    if (characters < m_nFileBufferSize) {
        m_ofn.nMaxFile = static_cast<DWORD>(characters);
        return;
    }
    if (characters >= MAXDWORD / sizeof(wchar_t))
        return;
    std::unique_ptr<wchar_t[]> larger(new (std::nothrow) wchar_t[characters + 1]());
    if (!larger)
        return;
    std::wmemcpy(larger.get(), m_szFileName.get(), m_ofn.nMaxFile);
    m_retiredFileBuffers.push_back(std::move(m_szFileName));
    m_szFileName = std::move(larger);
    m_nFileBufferSize = characters + 1;
    m_ofn.lpstrFile = m_szFileName.get();
    m_ofn.nMaxFile = static_cast<DWORD>(characters);
}

INT_PTR CFileDialog::DoModal()
{
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    m_hWnd = nullptr;
    m_retiredFileBuffers.clear();
    return ok ? IDOK : IDCANCEL;
}

POSITION CFileDialog::GetStartPosition() const
{
    return m_ofn.lpstrFile && m_ofn.lpstrFile[0] ? static_cast<POSITION>(m_ofn.lpstrFile) : nullptr;
}

std::wstring CFileDialog::GetNextPathName(POSITION& pos) const
{
    wchar_t* lpsz = static_cast<wchar_t*>(pos);
    if (!lpsz)
        return {};
    if (lpsz == m_ofn.lpstrFile) {
        if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT)) {
            pos = nullptr;
            return lpsz;
        }
        // The buffer holds the folder, then the names; one path alone means a single selection.
        lpsz += std::wcslen(lpsz) + 1;
        if (*lpsz == L'\0') {
            pos = nullptr;
            return m_ofn.lpstrFile;
        }
    }
    std::wstring path = m_ofn.lpstrFile;
    std::wstring name = lpsz;
    lpsz += name.size() + 1;
    pos = *lpsz ? static_cast<POSITION>(lpsz) : nullptr;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path + name;
}
