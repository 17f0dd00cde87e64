// CWinApp: the one application object; WinMain hands the process to it.
#pragma once

#include "Platform.h"

class CWnd;

// The switches the standard command-line parser understands.
class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;
    // Called once per argument; bFlag is TRUE when it started with '/' or '-' (then without it).
    virtual void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast);

    BOOL m_bRunEmbedded = FALSE;
    BOOL m_bRunAutomated = FALSE;
};

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns FALSE to end the process once it returns.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    virtual int Run();

    void ParseCommandLine(CCommandLineInfo& rCmdInfo) const;

    HINSTANCE m_hInstance = nullptr;
    int m_argc = 0;
    char** m_argv = nullptr;
    CWnd* m_pMainWnd = nullptr;

    static CWinApp* GetApp() { return s_pApp; }

private:
    static CWinApp* s_pApp;
};

// What WinMain does: starts the application object and returns the process's exit code.
int RunApplication(HINSTANCE hInstance, int argc, char** argv);
