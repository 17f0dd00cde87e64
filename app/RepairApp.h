// CRepairApp: prepares the process and runs the main window.
#pragma once

#include "../framework/App.h"

class CRepairApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override { return m_nExitCode; }

private:
    int m_nExitCode = 0;
};
