#include "AboutDlg.h"

#include "../framework/PictureBackground.h"
#include "../res/resource.h"

CAboutDlg::CAboutDlg(HWND hWndParent) : CDialog(IDD_ABOUTBOX, hWndParent)
{
    m_background.reset(LoadPicture(IDB_ABOUT_BACKGROUND));
}

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

LRESULT CAboutDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND && PaintPictureBackground(reinterpret_cast<HDC>(wParam), m_background.get()))
        return TRUE;
    return CDialog::WindowProc(message, wParam, lParam);
}
