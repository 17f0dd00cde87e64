#include "FECFileDialog.h"

#include <algorithm>
#include <cstring>
#include <memory>

CFECFileDialog::CFECFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt, const char* lpszFileName, DWORD dwFlags,
    const char* lpszFilter, HWND hWndParent)
    : CFileDialog(bOpenFileDialog, lpszDefExt, lpszFileName, dwFlags, lpszFilter, hWndParent)
    , m_bSpecConverted(0)
    , m_pszFolder(nullptr)
    , m_pszSpec(nullptr)
{
}

CFECFileDialog::~CFECFileDialog()
{
    FreeSelection();
}

void CFECFileDialog::FreeSelection()
{
    delete[] m_pszSpec;
    delete[] m_pszFolder;
    m_pszSpec = nullptr;
    m_pszFolder = nullptr;
    m_bSpecConverted = 0;
}

void CFECFileDialog::OnFileNameChange()
{
    // The hook window is a child of the real dialog, which answers the CDM_ messages.
    HWND hDlg = ::GetParent(m_hWnd);
    // With a one-character buffer the dialog copies nothing useful but tells the size it needs,
    // terminator included.
    char probe[1] = {};
    LRESULT specSize = ::SendMessageA(hDlg, CDM_GETSPEC, 1, reinterpret_cast<LPARAM>(probe));
    LRESULT folderSize = ::SendMessageA(hDlg, CDM_GETFOLDERPATH, 1, reinterpret_cast<LPARAM>(probe));

    // A folder that is no file-system folder (the computer, the desktop's virtual items) has no
    // path: the dialog cannot hand out such a selection anyway, so we keep nothing.
    if (specSize > 0 && folderSize > 0 && static_cast<LRESULT>(m_ofn.nMaxFile) < specSize + folderSize) {
        // More than the dialog asks for, zeroed: a dialog that fills every character it is given
        // (Wine's folder answer does) still leaves a terminated string, and turning a single plain
        // name into a list needs a second terminator behind that one. Both are filled before
        // either member changes, so a failed allocation leaves the old pair whole.
        std::unique_ptr<char[]> nameField(new char[static_cast<size_t>(specSize) + kSpecSlack]());
        std::unique_ptr<char[]> folder(new char[static_cast<size_t>(folderSize) + 1]());
        ::SendMessageA(hDlg, CDM_GETSPEC, static_cast<WPARAM>(specSize), reinterpret_cast<LPARAM>(nameField.get()));
        ::SendMessageA(
            hDlg, CDM_GETFOLDERPATH, static_cast<WPARAM>(folderSize), reinterpret_cast<LPARAM>(folder.get()));
        FreeSelection();
        m_pszSpec = nameField.release();
        m_pszFolder = folder.release();
    } else if (m_pszSpec || m_pszFolder) {
        FreeSelection();
    }
    CFileDialog::OnFileNameChange();
}

INT_PTR CFECFileDialog::DoModal()
{
    FreeSelection();
    INT_PTR result = CFileDialog::DoModal();
    if (result == IDCANCEL && ::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
        if (m_pszSpec)
            return IDOK;
        // The dialog left the size it wanted in the first bytes of the buffer, which the base
        // would read as a name.
        if (m_ofn.lpstrFile && m_ofn.nMaxFile > 0)
            m_ofn.lpstrFile[0] = '\0';
        return result;
    }
    // Cancelled: a selection made before cancelling is no answer.
    if (result != IDOK) {
        FreeSelection();
        return result;
    }
    // Confirmed: the dialog's own buffer normally holds what the user confirmed, all of it. We
    // keep our copy only when it could not have fitted and the buffer is a cut-off copy of it,
    // which is what a dialog that truncates instead of failing (Wine's) leaves behind. A copy
    // that fits, or one the user typed over after selecting, must not stand in for the buffer.
    if (BufferIsCutOffSelection())
        return IDOK;
    FreeSelection();
    // A cut-off list we hold no copy of (names typed rather than selected) has no end inside
    // the buffer: walking it would run past the buffer and yield a cut name. No answer then, as
    // when the dialog reports the buffer too small.
    if (!BufferIsComplete()) {
        if (m_ofn.lpstrFile && m_ofn.nMaxFile > 0)
            m_ofn.lpstrFile[0] = '\0';
        return IDCANCEL;
    }
    return IDOK;
}

bool CFECFileDialog::BufferIsComplete() const
{
    const char* buffer = m_ofn.lpstrFile;
    const size_t capacity = m_ofn.nMaxFile;
    if (!buffer || capacity == 0)
        return false;
    const char* end = static_cast<const char*>(std::memchr(buffer, '\0', capacity));
    if (!end)
        return false;
    // Without multiple selection the buffer holds one path.
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT))
        return true;
    size_t at = static_cast<size_t>(end - buffer) + 1;
    // The empty buffer, or one path alone (whose terminator may be the buffer's last character).
    if (end == buffer || at == capacity || buffer[at] == '\0')
        return true;
    // The folder, then the names: ended by an empty name.
    for (; at + 1 < capacity; at++)
        if (buffer[at] == '\0' && buffer[at + 1] == '\0')
            return true;
    return false;
}

std::string CFECFileDialog::FullBufferLayout() const
{
    std::string layout;
    POSITION pos = GetStartPosition();
    if (!pos || !m_pszFolder)
        return layout;
    const char* first = static_cast<const char*>(pos);
    const char* second = first + std::strlen(first) + 1;
    layout = m_pszFolder;
    if (!*second) {
        // One name: its full path.
        if (layout.empty() || layout.back() != '\\')
            layout += '\\';
        layout += first;
        layout += '\0';
        return layout;
    }
    // Several: the folder, then the names, each ended by a terminator, then one more.
    layout += '\0';
    for (const char* name = first; *name; name += std::strlen(name) + 1) {
        layout += name;
        layout += '\0';
    }
    layout += '\0';
    return layout;
}

bool CFECFileDialog::BufferIsCutOffSelection() const
{
    if (!m_pszSpec || !m_ofn.lpstrFile || m_ofn.nMaxFile == 0)
        return false;
    const std::string layout = FullBufferLayout();
    const size_t capacity = m_ofn.nMaxFile;
    if (layout.empty() || layout.size() <= capacity)
        return false;
    // Compare what must be there even when cut: the folder and the first name (for a single
    // name, its path), as far as the buffer reaches.
    size_t head = layout.find('\0');
    if (head + 1 < layout.size() && layout[head + 1] != '\0')
        head = layout.find('\0', head + 1);
    head = std::min(head + 1, capacity - 1);
    return std::memcmp(m_ofn.lpstrFile, layout.data(), head) == 0;
}

void CFECFileDialog::ConvertSpec() const
{
    // Done in place; the write position never passes the read position, so the text only
    // shrinks, and the one terminator added for a plain name lands in the byte reserved for it.
    char* text = m_pszSpec;
    const size_t length = std::strlen(text);
    const char* r = text;
    while (*r == ' ')
        r++;
    if (*r != '"') {
        // One file selected: the field holds its plain name, without quotes, all of it the name.
        if (length > 0)
            text[length + 1] = '\0';
        return;
    }
    // Several files: "a.xls" "b.xls" ... Each name is what stands between a pair of quotes;
    // blanks between the pairs only separate them.
    char* w = text;
    while (*r) {
        if (*r == ' ') {
            r++;
            continue;
        }
        const char* start;
        size_t n;
        if (*r == '"') {
            start = ++r;
            while (*r && *r != '"')
                r++;
            n = static_cast<size_t>(r - start);
            if (*r == '"')
                r++;
        } else {
            // Stray text outside quotes: up to the next quote, without trailing blanks.
            start = r;
            while (*r && *r != '"')
                r++;
            n = static_cast<size_t>(r - start);
            while (n > 0 && start[n - 1] == ' ')
                n--;
        }
        // An empty name would end the list early.
        if (n == 0)
            continue;
        std::memmove(w, start, n);
        w += n;
        *w++ = '\0';
    }
    *w = '\0';
}

POSITION CFECFileDialog::GetStartPosition() const
{
    if (!m_pszSpec)
        return CFileDialog::GetStartPosition();
    if (m_bSpecConverted != 1) {
        ConvertSpec();
        m_bSpecConverted = 1;
    }
    // A field with no names gives no position, as the base does for an empty buffer.
    return m_pszSpec[0] ? static_cast<POSITION>(m_pszSpec) : nullptr;
}

std::string CFECFileDialog::GetNextPathName(POSITION& pos) const
{
    if (!m_pszSpec)
        return CFileDialog::GetNextPathName(pos);
    const char* name = static_cast<const char*>(pos);
    if (!name)
        return {};
    // The folder as the dialog reports it: a drive root keeps its own backslash, which gives two
    // in a row; the file system reads them as one.
    std::string path = m_pszFolder ? m_pszFolder : "";
    path += '\\';
    path += name;
    name += std::strlen(name) + 1;
    pos = *name ? const_cast<char*>(name) : nullptr;
    return path;
}
