#include "LocationDlg.h"

#include "../framework/PathText.h"
#include "../res/resource.h"
#include "PathRules.h"
#include "RepairTexts.h"

#include <memory>

CLocationDlg::CLocationDlg(
    HWND hWndParent, int nLocationMode, const std::wstring& strTargetDir, InstructionSink setInstructions)
    : CPictureDialog(IDD_LOCATION, IDB_LOCATION_BACKGROUND, hWndParent)
    , m_nLocationMode(nLocationMode)
    , m_strTargetDir(strTargetDir)
    , m_setInstructions(std::move(setInstructions))
{
}

CLocationDlg::~CLocationDlg()
{
    if (m_hWnd)
        DestroyWindow();
}

void CLocationDlg::DoDataExchange()
{
    m_group.SubclassDlgItem(IDC_LOCATION_GROUP, this);
    m_radioSame.SubclassDlgItem(IDC_SAME_LOCATION, this);
    m_radioOther.SubclassDlgItem(IDC_OTHER_LOCATION, this);
}

BOOL CLocationDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Always opens with a different location chosen, whatever was chosen before.
    m_radioSame.SetCheck(BST_UNCHECKED);
    m_radioOther.SetCheck(BST_CHECKED);
    m_setInstructions(texts::kLocationInstructions);
    return TRUE;
}

namespace {

// Opens the browser at the folder the caller named.
int CALLBACK SelectInitialFolder(HWND hWnd, UINT message, LPARAM, LPARAM lpData)
{
    if (message == BFFM_INITIALIZED && lpData)
        ::SendMessageW(hWnd, BFFM_SETSELECTIONW, TRUE, lpData);
    return 0;
}

} // namespace

bool CLocationDlg::BrowseForFolder(HWND hWndOwner, std::wstring& path)
{
    return BrowseForFolder(hWndOwner, path, texts::kFolderBrowserTitle, std::wstring());
}

bool CLocationDlg::BrowseForFolder(
    HWND hWndOwner, std::wstring& path, const char* title, const std::wstring& initialFolder)
{
    const std::wstring wideTitle = WidenText(title);
    BROWSEINFOW bi = {};
    // Owned by the dialog, which it disables while it is open: a second OK cannot open a second one.
    bi.hwndOwner = hWndOwner;
    bi.lpszTitle = wideTitle.c_str();
    bi.ulFlags = BIF_VALIDATE;
    if (!initialFolder.empty()) {
        bi.lpfn = &SelectInitialFolder;
        bi.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
    }
    PIDLIST_ABSOLUTE pidl = ::SHBrowseForFolderW(&bi);
    if (!pidl)
        return false;
    // A folder's path may be longer than MAX_PATH.
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[kMaxLongPath]());
    if (!::SHGetPathFromIDListEx(pidl, buffer.get(), static_cast<DWORD>(kMaxLongPath), GPFIDL_DEFAULT))
        buffer[0] = L'\0';
    ::CoTaskMemFree(pidl);
    path = buffer.get();
    return true;
}

void CLocationDlg::OnOK()
{
    if (m_radioSame.GetCheck() == BST_CHECKED) {
        m_nLocationMode = LOCATION_SAME;
    } else {
        std::wstring path;
        // The browser opens at the folder chosen last.
        if (!BrowseForFolder(m_hWnd, path, texts::kFolderBrowserTitle, m_strTargetDir))
            return; // browser cancelled: the dialog stays open
        if (!path.empty()) {
            m_nLocationMode = LOCATION_CHOSEN;
            m_strTargetDir = path;
        } else if (m_nLocationMode == LOCATION_UNSET) {
            // A virtual folder and no earlier choice: a run must not start without a place to write.
            return;
        }
    }
    m_setInstructions(texts::kStepOneUpper);
    EndDialog(IDOK);
}

void CLocationDlg::OnCancel()
{
    // Nothing changes, but the label no longer asks for a location.
    m_setInstructions(texts::kStepOneUpper);
    EndDialog(IDCANCEL);
}
