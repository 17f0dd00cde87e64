#include "AboutDlg.h"

#include "../res/resource.h"

CAboutDlg::CAboutDlg(HWND hWndParent) : CPictureDialog(IDD_ABOUTBOX, IDB_ABOUT_BACKGROUND, hWndParent) {}

CAboutDlg::~CAboutDlg()
{
    if (m_hWnd)
        DestroyWindow();
}

void CAboutDlg::DoDataExchange()
{
    for (int i = 0; i < kLabelCount; i++)
        m_labels[i].SubclassDlgItem(IDC_ABOUT_NAME + i, this);
}
