// The source list of step 1: adding, ticking and removing workbooks.
#include "../controls/FECFileDialog.h"
#include "../framework/DropFiles.h"
#include "../framework/PathText.h"
#include "../repair/LocationDlg.h"
#include "../repair/PathRules.h"
#include "../res/resource.h"
#include "FileTexts.h"
#include "ProgressDlg.h"
#include "RepairDlg.h"
#include "Texts.h"

#include <array>
#include <cstdio>
#include <set>

namespace {

constexpr DWORD kAddFilesFlags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_NODEREFERENCELINKS;

enum SourceColumn { COL_NAME, COL_FOLDER, COL_SIZE, COL_CREATED, COL_ACCESSED, COL_WRITTEN, COL_TYPE };

} // namespace

void CRepairDlg::OnAddFiles()
{
    if (m_nStep == 2)
        return;
    CFECFileDialog dialog(TRUE, nullptr, nullptr, kAddFilesFlags, texts::kExcelFilter, m_hWnd);
    dialog.SetTitle(texts::kAppTitle);
    // It opens where workbooks were last added from.
    if (!m_strAddFolder.empty())
        dialog.m_ofn.lpstrInitialDir = m_strAddFolder.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    POSITION pos = dialog.GetStartPosition();
    std::wstring first;
    while (pos) {
        const std::wstring path = dialog.GetNextPathName(pos);
        if (first.empty())
            first = path;
        AddSourceFile(path);
    }
    // The folder the files came from is where Add Folder starts next time.
    std::wstring folder, name;
    if (SplitPath(first, folder, name) && !folder.empty()) {
        m_strAddFolder = folder.size() == 2 ? folder + L"\\" : folder;
        SaveSettings();
    }
}

void CRepairDlg::AddSourceFile(const std::wstring& path)
{
    std::wstring folder;
    std::wstring name;
    SplitPath(path, folder, name);

    std::array<std::string, 4> details;
    bool opened = false;
    // Only the attributes are read, and every kind of sharing allowed: a workbook open in another
    // program, even for writing, still shows its size and times. A device is never opened.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE hFile = IsDeviceName(name) ? INVALID_HANDLE_VALUE
                                      : ::CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info = {};
        if (::GetFileInformationByHandle(hFile, &info)) {
            opened = true;
            uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
            details = { FormatSizeText(size), FormatFileTimeText(info.ftCreationTime),
                FormatFileTimeText(info.ftLastAccessTime), FormatFileTimeText(info.ftLastWriteTime) };
        }
        ::CloseHandle(hFile);
    }
    InsertSourceRow(name, folder, opened ? &details : nullptr);
}

const CRepairDlg::ShellLook& CRepairDlg::LookOf(const std::wstring& name)
{
    // By name and attributes only, the shell looks at nothing but the extension: one question per
    // extension answers every file that has it.
    const size_t dot = name.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    if (!extension.empty())
        ::CharLowerBuffW(extension.data(), static_cast<DWORD>(extension.size()));
    auto known = m_shellLooks.find(extension);
    if (known != m_shellLooks.end())
        return known->second;
    // A name is never too long for the shell where a path may be.
    const std::wstring asked = L"a" + extension;
    ShellLook look;
    SHFILEINFOW sfi = {};
    ::SHGetFileInfoW(asked.c_str(), FILE_ATTRIBUTE_NORMAL, &sfi, sizeof(sfi),
                     SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    look.icon = sfi.iIcon;
    SHFILEINFOW typeInfo = {};
    ::SHGetFileInfoW(asked.c_str(), FILE_ATTRIBUTE_NORMAL, &typeInfo, sizeof(typeInfo),
                     SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    look.type = typeInfo.szTypeName;
    return m_shellLooks.emplace(std::move(extension), std::move(look)).first->second;
}

int CRepairDlg::InsertSourceRow(
    const std::wstring& name, const std::wstring& folder, const std::array<std::string, 4>* details)
{
    const ShellLook& look = LookOf(name);
    int row = m_sourceList.InsertItem(m_sourceList.GetItemCount(), name.c_str(), look.icon);
    if (row < 0)
        return row;
    m_sourceList.SetItemText(row, COL_FOLDER, folder.c_str());
    if (details) {
        for (int i = 0; i < 4; i++)
            m_sourceList.SetItemText(row, COL_SIZE + i, (*details)[i].c_str());
    }
    m_sourceList.SetItemText(row, COL_TYPE, look.type.c_str());
    return row;
}

void CRepairDlg::OnAddFolder()
{
    if (m_nStep == 2)
        return;
    std::wstring folder;
    if (!CLocationDlg::BrowseForFolder(m_hWnd, folder, texts::kAddFolderTitle, m_strAddFolder) || folder.empty())
        return;
    m_strAddFolder = folder;
    SaveSettings();
    AddPaths({ folder });
}

void CRepairDlg::OnDropFiles(HDROP hDrop)
{
    // Anything else is not a block of the shell's: nothing is read or released.
    if (!IsDropBlock(hDrop))
        return;
    const std::vector<std::wstring> paths = DroppedPaths(hDrop);
    ::DragFinish(hDrop);
    // The list keeps still while a run's results are shown, as it does for Add Files.
    if (m_nStep == 2 || m_bRunning)
        return;
    ::SetForegroundWindow(m_hWnd);
    AddPaths(paths);
}

AddOutcome CRepairDlg::AddPaths(const std::vector<std::wstring>& paths)
{
    AddOutcome outcome;
    if (m_nStep == 2 || paths.empty())
        return outcome;
    WorkbookScan scan;
    ScanProgress progress;
    CProgressDlg scanning(
        m_hWnd, [&] { scan = ScanForWorkbooks(paths, &progress); },
        [&] {
            char text[160];
            std::snprintf(text, sizeof(text), texts::kScanProgress, progress.found.load(), progress.folders.load());
            return CProgressDlg::Status { WidenText(text), 0, 0 };
        },
        [&] { progress.cancel = true; }, kScanProgressAfter);
    if (scanning.DoModal() == -1)
        scan = ScanForWorkbooks(paths); // no window or thread to spare: the scan runs here

    AddFoundWorkbooks(scan.found, outcome);
    for (const std::wstring& path : scan.notWorkbooks) {
        std::wstring folder, name;
        SplitPath(path, folder, name);
        outcome.notWorkbooks.push_back(name);
    }
    outcome.missing = scan.missing;
    const std::string notice = scan.cancelled && outcome.duplicates.empty() && outcome.notWorkbooks.empty()
            && outcome.missing.empty()
        ? std::string()
        : AddNoticeText(outcome);
    if (!notice.empty())
        ShowMessage(notice.c_str(), MB_ICONINFORMATION);
    return outcome;
}

void CRepairDlg::AddFoundWorkbooks(const std::vector<FoundWorkbook>& found, AddOutcome& outcome)
{
    std::set<std::wstring, bool (*)(const std::wstring&, const std::wstring&)> listed(&FileNameLess);
    const int rows = m_sourceList.GetItemCount();
    for (int i = 0; i < rows; i++)
        listed.insert(m_sourceList.GetItemText(i, COL_FOLDER) + L"\\" + m_sourceList.GetItemText(i, COL_NAME));
    // Many rows go in at once: the list draws once, when they are all there.
    const bool many = found.size() > 50;
    if (many) {
        ::SendMessageW(m_sourceList.m_hWnd, WM_SETREDRAW, FALSE, 0);
        ::SendMessageW(m_sourceList.m_hWnd, LVM_SETITEMCOUNT, rows + found.size(), LVSICF_NOINVALIDATEALL);
    }
    for (const FoundWorkbook& book : found) {
        if (!listed.insert(book.Path()).second) {
            outcome.duplicates.push_back(book.name);
            continue;
        }
        const std::array<std::string, 4> details = { FormatSizeText(book.size), FormatFileTimeText(book.created),
            FormatFileTimeText(book.accessed), FormatFileTimeText(book.written) };
        if (InsertSourceRow(book.name, book.folder, &details) >= 0)
            outcome.added++;
    }
    if (many) {
        ::SendMessageW(m_sourceList.m_hWnd, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(m_sourceList.m_hWnd, nullptr, TRUE);
    }
}

void CRepairDlg::OnRemoveAll()
{
    if (m_nStep == 2)
        return;
    if (m_sourceList.GetItemCount() == 0)
        ShowMessage(texts::kNoItemToRemove, MB_ICONINFORMATION, texts::kInstructionMore);
    m_sourceList.DeleteAllItems();
    m_chkSelectAll.SetCheck(BST_UNCHECKED);
}

void CRepairDlg::OnRemoveSelected()
{
    if (m_nStep == 2)
        return;
    m_chkSelectAll.SetCheck(BST_UNCHECKED);
    if (m_sourceList.GetItemCount() == 0) {
        ShowMessage(texts::kNoItemToRemove, MB_ICONINFORMATION, texts::kInstructionMore);
        return;
    }
    if (!AnySourceTicked()) {
        ShowMessage(texts::kNoItemSelectedForRemove, MB_ICONINFORMATION, texts::kInstructionMore);
        return;
    }
    // A deleted row pulls the next one up into its index, so the same index is tested again.
    for (int i = 0; i < m_sourceList.GetItemCount();) {
        if (m_sourceList.GetCheck(i))
            m_sourceList.DeleteItem(i);
        else
            i++;
    }
}

bool CRepairDlg::AnySourceTicked() const
{
    for (int i = 0; i < m_sourceList.GetItemCount(); i++)
        if (m_sourceList.GetCheck(i))
            return true;
    return false;
}

void CRepairDlg::OnSelectAll()
{
    int count = m_sourceList.GetItemCount();
    if (count == 0) {
        m_chkSelectAll.SetCheck(BST_UNCHECKED);
        return;
    }
    BOOL tick = m_chkSelectAll.GetCheck() == BST_CHECKED;
    for (int i = 0; i < count; i++)
        m_sourceList.SetCheck(i, tick);
}

void CRepairDlg::OnSourceClick(const NMHDR* pNotify)
{
    auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(pNotify);
    LVHITTESTINFO hit = {};
    hit.pt = activate->ptAction;
    int row = static_cast<int>(::SendMessageA(m_sourceList.m_hWnd, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row >= 0 && (hit.flags & LVHT_ONITEMLABEL))
        m_sourceList.SetCheck(row, !m_sourceList.GetCheck(row));
}
