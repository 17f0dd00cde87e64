#include "LocationDlg.h"

#include "../app/RepairDlg.h"
#include "../res/resource.h"
#include "PathRules.h"
#include "RepairTexts.h"

CLocationDlg::CLocationDlg(HWND hWndParent) : CPictureDialog(IDD_LOCATION, IDB_LOCATION_BACKGROUND, hWndParent) {}

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
    g_pMainDlg->SetInstructions(texts::kLocationInstructions);
    return TRUE;
}

bool CLocationDlg::BrowseForFolder(std::string& path)
{
    BROWSEINFOA bi = {};
    bi.lpszTitle = texts::kFolderBrowserTitle;
    bi.ulFlags = BIF_VALIDATE;
    PIDLIST_ABSOLUTE pidl = ::SHBrowseForFolderA(&bi);
    if (!pidl)
        return false;
    char buffer[MAX_PATH] = {};
    if (!::SHGetPathFromIDListA(pidl, buffer))
        buffer[0] = '\0';
    ::CoTaskMemFree(pidl);
    path = buffer;
    return true;
}

void CLocationDlg::OnOK()
{
    CRepairDlg& main = *g_pMainDlg;
    if (m_radioSame.GetCheck() == BST_CHECKED) {
        main.m_nLocationMode = LOCATION_SAME;
    } else {
        std::string path;
        if (!BrowseForFolder(path))
            return; // browser cancelled: the dialog stays open
        if (!path.empty()) {
            main.m_nLocationMode = LOCATION_CHOSEN;
            main.m_strTargetDir = path;
        } else if (main.m_nLocationMode == LOCATION_UNSET) {
            // A virtual folder and no earlier choice: a run must not start without a place to write.
            return;
        }
    }
    main.SetInstructions(texts::kStepOneUpper);
    EndDialog(IDOK);
}

void CLocationDlg::OnCancel()
{
    // Nothing changes, but the label no longer asks for a location.
    g_pMainDlg->SetInstructions(texts::kStepOneUpper);
    EndDialog(IDCANCEL);
}
