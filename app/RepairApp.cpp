#include "RepairApp.h"

#include "../res/resource.h"
#include "RepairDlg.h"
#include "SplashWindow.h"
#include "Texts.h"

#include <winsock.h>

CRepairApp theApp;

BOOL CRepairApp::InitInstance()
{
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    CSplashWindow::EnableSplash(!cmdInfo.m_bRunEmbedded && !cmdInfo.m_bRunAutomated);

    WSADATA wsaData;
    if (::WSAStartup(MAKEWORD(1, 1), &wsaData) != 0) {
        char text[260] = {};
        ::LoadStringA(m_hInstance, IDS_SOCKETS_INIT_FAILED, text, sizeof(text));
        ::MessageBoxA(nullptr, text, texts::kAppTitle, MB_OK);
        return FALSE;
    }

    // Control containment and the 3-D look are the platform's own today; the shell's folder
    // browser wants COM, the list views and tool tips the common controls registered.
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    CRepairDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
