#include "NameSettingDlg.h"

#include "../res/resource.h"
#include "PathRules.h"
#include "RepairTexts.h"

CNameSettingDlg::CNameSettingDlg(HWND hWndParent, int nNameMode, InstructionSink setInstructions)
    : CPictureDialog(IDD_NAME_SETTING, IDB_NAME_SETTING_BACKGROUND, hWndParent)
    , m_nNameMode(nNameMode)
    , m_setInstructions(std::move(setInstructions))
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
    m_setInstructions(texts::kNameSettingInstructions);
    bool prefix = m_nNameMode == NAME_PREFIX;
    m_radioPrefix.SetCheck(prefix ? BST_CHECKED : BST_UNCHECKED);
    m_radioSuffix.SetCheck(prefix ? BST_UNCHECKED : BST_CHECKED);
    return TRUE;
}

void CNameSettingDlg::OnOK()
{
    m_nNameMode = m_radioPrefix.GetCheck() == BST_CHECKED ? NAME_PREFIX : NAME_SUFFIX;
    m_setInstructions(texts::kStepOneUpper);
    EndDialog(IDOK);
}

void CNameSettingDlg::OnCancel()
{
    m_setInstructions(texts::kStepOneUpper);
    EndDialog(IDCANCEL);
}
