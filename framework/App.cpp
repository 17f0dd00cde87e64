#include "App.h"

#include <cstring>

CWinApp* CWinApp::s_pApp = nullptr;

CWinApp::CWinApp()
{
    s_pApp = this;
}

CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

void CCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL)
{
    if (!bFlag)
        return;
    if (_stricmp(pszParam, "Embedding") == 0)
        m_bRunEmbedded = TRUE;
    else if (_stricmp(pszParam, "Automation") == 0)
        m_bRunAutomated = TRUE;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) const
{
    for (int i = 1; i < m_argc; i++) {
        const char* pszParam = m_argv[i];
        BOOL bFlag = FALSE;
        if (pszParam[0] == '-' || pszParam[0] == '/') {
            bFlag = TRUE;
            ++pszParam;
        }
        rCmdInfo.ParseParam(pszParam, bFlag, i == m_argc - 1);
    }
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

int RunApplication(HINSTANCE hInstance, int argc, char** argv)
{
    CWinApp* pApp = CWinApp::GetApp();
    if (!pApp)
        return 1;
    pApp->m_hInstance = hInstance;
    pApp->m_argc = argc;
    pApp->m_argv = argv;
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
