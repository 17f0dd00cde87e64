#include "FECFileDialog.h"

#include "../framework/PathText.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

CFECFileDialog::CFECFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt, const wchar_t* lpszFileName, DWORD dwFlags,
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
    m_bTakenOver = false;
}

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The names of a name field: several in double quotes, or one plain name (all of it).
std::vector<std::wstring> FieldNames(const std::wstring& field)
{
    std::vector<std::wstring> names;
    size_t at = field.find_first_not_of(L' ');
    if (at == std::wstring::npos)
        return names;
    if (field[at] != L'"') {
        names.push_back(field.substr(at));
        return names;
    }
    while (at < field.size()) {
        const size_t open = field.find(L'"', at);
        if (open == std::wstring::npos)
            break;
        const size_t close = std::min(field.find(L'"', open + 1), field.size());
        if (close > open + 1)
            names.push_back(field.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return names;
}

// Where a typed name points, as the dialog would resolve it: a full path as it is, a path from the
// root on the folder's drive, anything else inside the folder.
std::wstring ResolveTyped(const std::wstring& folder, std::wstring name)
{
    for (wchar_t& c : name)
        if (c == L'/')
            c = L'\\';
    const bool full = (name.size() >= 3 && name[1] == L':' && name[2] == L'\\') || name.rfind(L"\\\\", 0) == 0;
    if (full)
        return name;
    if (!name.empty() && name[0] == L'\\')
        return (folder.size() >= 2 && folder[1] == L':' ? folder.substr(0, 2) : std::wstring()) + name;
    if (!folder.empty() && IsSeparator(folder.back()))
        return folder + name;
    return folder + L'\\' + name;
}

} // namespace

bool CFECFileDialog::OnOpenCommand()
{
    HWND hDlg = DialogWindow();
    const std::wstring field = DialogText(CDM_GETSPEC);
    const std::wstring folder = DialogText(CDM_GETFOLDERPATH);
    const std::vector<std::wstring> names = FieldNames(field);
    std::vector<std::wstring> paths;
    bool tooLong = false;
    for (const std::wstring& name : names) {
        paths.push_back(ResolveTyped(folder, name));
        tooLong = tooLong || paths.back().size() >= MAX_PATH;
    }
    // Names the dialog can take are its own business; its buffer is made to hold what it will
    // write for them (typed names raise no selection change to make room before).
    if (!hDlg || !tooLong) {
        ReserveFileBuffer(field.size() + folder.size() + 3);
        return false;
    }
    // The selection we keep is a folder and names in it: typed paths that lead into different
    // folders, or into a folder to be opened, cannot be kept that way. The dialog cannot go that
    // deep either, so Open does nothing then.
    std::wstring common;
    std::wstring quoted;
    for (const std::wstring& path : paths) {
        const size_t cut = path.rfind(L'\\');
        const std::wstring pathFolder = path.substr(0, cut);
        const std::wstring name = path.substr(cut + 1);
        const DWORD attributes = ::GetFileAttributesW(LongPathForm(path).c_str());
        const bool isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (cut == std::wstring::npos || name.empty() || isFolder || (!quoted.empty() && pathFolder != common)) {
            ::MessageBeep(MB_ICONWARNING);
            return true;
        }
        common = pathFolder;
        quoted += (quoted.empty() ? L"\"" : L" \"") + name + L"\"";
    }
    std::unique_ptr<wchar_t[]> nameField(new wchar_t[quoted.size() + 1 + kNameFieldSlack]());
    std::unique_ptr<wchar_t[]> keptFolder(new wchar_t[common.size() + 1]());
    std::wmemcpy(nameField.get(), quoted.data(), quoted.size());
    std::wmemcpy(keptFolder.get(), common.data(), common.size());
    FreeSelection();
    m_pszSpec = nameField.release();
    m_pszFolder = keptFolder.release();
    m_bTakenOver = true;
    // Closed as if cancelled: the dialog never acts on the names.
    ::PostMessageW(
        hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDCANCEL)));
    return true;
}

void CFECFileDialog::OnFileNameChange()
{
    // Open has been answered; what the closing dialog still reports is no selection.
    if (m_bTakenOver)
        return;
    // The hook window is a child of the real dialog, which answers the CDM_ messages.
    HWND hDlg = ::GetParent(m_hWnd);
    // With a one-character buffer the dialog copies nothing useful but tells the size it needs,
    // terminator included.
    wchar_t probe[1] = {};
    LRESULT fieldSize = ::SendMessageW(hDlg, CDM_GETSPEC, 1, reinterpret_cast<LPARAM>(probe));
    LRESULT folderSize = ::SendMessageW(hDlg, CDM_GETFOLDERPATH, 1, reinterpret_cast<LPARAM>(probe));

    // A folder that is no file-system folder (the computer, the desktop's virtual items) has no
    // path: the dialog cannot hand out such a selection anyway, so we keep nothing.
    if (fieldSize > 0 && folderSize > 0 && static_cast<LRESULT>(m_ofn.nMaxFile) < fieldSize + folderSize) {
        // More than the dialog asks for, zeroed: a dialog that fills every character it is given
        // (Wine's folder answer does) still leaves a terminated string, and turning a single plain
        // name into a list needs a second terminator behind that one. Both are filled before
        // either member changes, so a failed allocation leaves the old pair whole.
        std::unique_ptr<wchar_t[]> nameField(new wchar_t[static_cast<size_t>(fieldSize) + kNameFieldSlack]());
        std::unique_ptr<wchar_t[]> folder(new wchar_t[static_cast<size_t>(folderSize) + 1]());
        ::SendMessageW(hDlg, CDM_GETSPEC, static_cast<WPARAM>(fieldSize), reinterpret_cast<LPARAM>(nameField.get()));
        ::SendMessageW(
            hDlg, CDM_GETFOLDERPATH, static_cast<WPARAM>(folderSize), reinterpret_cast<LPARAM>(folder.get()));
        FreeSelection();
        m_pszSpec = nameField.release();
        m_pszFolder = folder.release();
    } else if (m_pszSpec || m_pszFolder) {
        FreeSelection();
    }
    // The dialog's own buffer is made to hold the selection too: a dialog that writes a long list
    // past the end of the buffer instead of reporting it too small (Wine's, for wide names) then
    // has the room, and the whole list comes back through it.
    if (fieldSize > 0 && folderSize > 0)
        ReserveFileBuffer(static_cast<size_t>(fieldSize) + static_cast<size_t>(folderSize) + 2);
    CFileDialog::OnFileNameChange();
}

INT_PTR CFECFileDialog::DoModal()
{
    FreeSelection();
    INT_PTR result = CFileDialog::DoModal();
    if (m_bTakenOver && m_pszSpec)
        return IDOK;
    if (result == IDCANCEL && ::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
        if (m_pszSpec)
            return IDOK;
        // The dialog left the size it wanted in the first bytes of the buffer, which the base
        // would read as a name.
        if (m_ofn.lpstrFile && m_ofn.nMaxFile > 0)
            m_ofn.lpstrFile[0] = L'\0';
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
            m_ofn.lpstrFile[0] = L'\0';
        return IDCANCEL;
    }
    return IDOK;
}

bool CFECFileDialog::BufferIsComplete() const
{
    const wchar_t* buffer = m_ofn.lpstrFile;
    const size_t capacity = m_ofn.nMaxFile;
    if (!buffer || capacity == 0)
        return false;
    const wchar_t* end = std::wmemchr(buffer, L'\0', capacity);
    if (!end)
        return false;
    // Without multiple selection the buffer holds one path.
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT))
        return true;
    size_t at = static_cast<size_t>(end - buffer) + 1;
    // The empty buffer, or one path alone (whose terminator may be the buffer's last character).
    if (end == buffer || at == capacity || buffer[at] == L'\0')
        return true;
    // The folder, then the names: ended by an empty name.
    for (; at + 1 < capacity; at++)
        if (buffer[at] == L'\0' && buffer[at + 1] == L'\0')
            return true;
    return false;
}

std::wstring CFECFileDialog::FullBufferLayout() const
{
    std::wstring layout;
    POSITION pos = GetStartPosition();
    if (!pos || !m_pszFolder)
        return layout;
    const wchar_t* first = static_cast<const wchar_t*>(pos);
    const wchar_t* second = first + std::wcslen(first) + 1;
    layout = m_pszFolder;
    if (!*second) {
        // One name: its full path.
        if (layout.empty() || layout.back() != L'\\')
            layout += L'\\';
        layout += first;
        layout += L'\0';
        return layout;
    }
    // Several: the folder, then the names, each ended by a terminator, then one more.
    layout += L'\0';
    for (const wchar_t* name = first; *name; name += std::wcslen(name) + 1) {
        layout += name;
        layout += L'\0';
    }
    layout += L'\0';
    return layout;
}

bool CFECFileDialog::BufferIsCutOffSelection() const
{
    if (!m_pszSpec || !m_ofn.lpstrFile || m_ofn.nMaxFile == 0)
        return false;
    const std::wstring layout = FullBufferLayout();
    const size_t capacity = m_ofn.nMaxFile;
    if (layout.empty() || layout.size() <= capacity)
        return false;
    // Compare what must be there even when cut: the folder and the first name (for a single
    // name, its path), as far as the buffer reaches.
    size_t head = layout.find(L'\0');
    if (head + 1 < layout.size() && layout[head + 1] != L'\0')
        head = layout.find(L'\0', head + 1);
    head = std::min(head + 1, capacity - 1);
    return std::wmemcmp(m_ofn.lpstrFile, layout.data(), head) == 0;
}

void CFECFileDialog::ConvertSpec() const
{
    // Done in place; the write position never passes the read position, so the text only
    // shrinks, and the one terminator added for a plain name lands in the character reserved for it.
    wchar_t* text = m_pszSpec;
    const size_t length = std::wcslen(text);
    const wchar_t* r = text;
    while (*r == L' ')
        r++;
    if (*r != L'"') {
        // One file selected: the field holds its plain name, without quotes, all of it the name.
        if (length > 0)
            text[length + 1] = L'\0';
        return;
    }
    // Several files: "a.xls" "b.xls" ... Each name is what stands between a pair of quotes;
    // blanks between the pairs only separate them.
    wchar_t* w = text;
    while (*r) {
        if (*r == L' ') {
            r++;
            continue;
        }
        const wchar_t* start;
        size_t n;
        if (*r == L'"') {
            start = ++r;
            while (*r && *r != L'"')
                r++;
            n = static_cast<size_t>(r - start);
            if (*r == L'"')
                r++;
        } else {
            // Stray text outside quotes: up to the next quote, without trailing blanks.
            start = r;
            while (*r && *r != L'"')
                r++;
            n = static_cast<size_t>(r - start);
            while (n > 0 && start[n - 1] == L' ')
                n--;
        }
        // An empty name would end the list early.
        if (n == 0)
            continue;
        std::wmemmove(w, start, n);
        w += n;
        *w++ = L'\0';
    }
    *w = L'\0';
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

std::wstring CFECFileDialog::GetNextPathName(POSITION& pos) const
{
    if (!m_pszSpec)
        return CFileDialog::GetNextPathName(pos);
    const wchar_t* name = static_cast<const wchar_t*>(pos);
    if (!name)
        return {};
    // The folder as the dialog reports it: a drive root keeps its own backslash, which gives two
    // in a row; the file system reads them as one.
    std::wstring path = m_pszFolder ? m_pszFolder : L"";
    path += L'\\';
    path += name;
    name += std::wcslen(name) + 1;
    pos = *name ? const_cast<wchar_t*>(name) : nullptr;
    return path;
}
