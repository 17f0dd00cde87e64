#include "RepairApp.h"

#include "../res/resource.h"
#include "CommandLine.h"
#include "RepairDlg.h"
#include "SplashWindow.h"
#include "Texts.h"

#include <winsock.h>

CRepairApp theApp;

BOOL CRepairApp::InitInstance()
{
    // "/repair" and "/?" run without the window and end with an exit code.
    const CommandLineRequest request = ParseRepairCommandLine(ProcessArguments());
    if (request.kind != CommandLineRequest::WINDOW) {
        // The progress window's bar and the taskbar button want these, as the window does.
        ::OleInitialize(nullptr);
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_nExitCode = RunCommandLine(request);
        return FALSE;
    }

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
