// The source list of step 1: adding, ticking and removing workbooks.
#include "../controls/FECFileDialog.h"
#include "../framework/PathText.h"
#include "../repair/PathRules.h"
#include "../res/resource.h"
#include "FileTexts.h"
#include "RepairDlg.h"
#include "Texts.h"

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
    if (dialog.DoModal() != IDOK)
        return;
    POSITION pos = dialog.GetStartPosition();
    while (pos)
        AddSourceFile(dialog.GetNextPathName(pos));
}

void CRepairDlg::AddSourceFile(const std::wstring& path)
{
    std::wstring folder;
    std::wstring name;
    SplitPath(path, folder, name);

    // By name and attributes only: the extension is all the shell looks at, and a name is never
    // too long for it where a path may be.
    SHFILEINFOW sfi = {};
    ::SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &sfi, sizeof(sfi),
                     SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    int row = m_sourceList.InsertItem(m_sourceList.GetItemCount(), name.c_str(), sfi.iIcon);
    if (row < 0)
        return;
    m_sourceList.SetItemText(row, COL_FOLDER, folder.c_str());

    // Only the attributes are read, and every kind of sharing allowed: a workbook open in another
    // program, even for writing, still shows its size and times. A device is never opened.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE hFile = IsDeviceName(name) ? INVALID_HANDLE_VALUE
                                      : ::CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info = {};
        if (::GetFileInformationByHandle(hFile, &info)) {
            uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
            m_sourceList.SetItemText(row, COL_SIZE, FormatSizeText(size).c_str());
            m_sourceList.SetItemText(row, COL_CREATED, FormatFileTimeText(info.ftCreationTime).c_str());
            m_sourceList.SetItemText(row, COL_ACCESSED, FormatFileTimeText(info.ftLastAccessTime).c_str());
            m_sourceList.SetItemText(row, COL_WRITTEN, FormatFileTimeText(info.ftLastWriteTime).c_str());
        }
        ::CloseHandle(hFile);
    }

    SHFILEINFOW typeInfo = {};
    ::SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &typeInfo, sizeof(typeInfo),
                     SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    m_sourceList.SetItemText(row, COL_TYPE, typeInfo.szTypeName);
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
