#include "NameSettingDlg.h"

#include "../app/RepairDlg.h"
#include "../res/resource.h"
#include "PathRules.h"
#include "RepairTexts.h"

CNameSettingDlg::CNameSettingDlg(HWND hWndParent)
    : CPictureDialog(IDD_NAME_SETTING, IDB_NAME_SETTING_BACKGROUND, hWndParent)
{
}

CNameSettingDlg::~CNameSettingDlg()
{
    if (m_hWnd)
        DestroyWindow();
}

void CNameSettingDlg::DoDataExchange()
{
    m_radioPrefix.SubclassDlgItem(IDC_PREFIX, this);
    m_radioSuffix.SubclassDlgItem(IDC_SUFFIX, this);
}

BOOL CNameSettingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    g_pMainDlg->SetInstructions(texts::kNameSettingInstructions);
    bool prefix = g_pMainDlg->m_nNameMode == NAME_PREFIX;
    m_radioPrefix.SetCheck(prefix ? BST_CHECKED : BST_UNCHECKED);
    m_radioSuffix.SetCheck(prefix ? BST_UNCHECKED : BST_CHECKED);
    return TRUE;
}

void CNameSettingDlg::OnOK()
{
    g_pMainDlg->m_nNameMode = m_radioPrefix.GetCheck() == BST_CHECKED ? NAME_PREFIX : NAME_SUFFIX;
    g_pMainDlg->SetInstructions(texts::kStepOneUpper);
    EndDialog(IDOK);
}

void CNameSettingDlg::OnCancel()
{
    g_pMainDlg->SetInstructions(texts::kStepOneUpper);
    EndDialog(IDCANCEL);
}
