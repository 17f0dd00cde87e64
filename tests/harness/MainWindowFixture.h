// A real main window, created in the test's thread and driven with messages.
#pragma once

#include "Pump.h"
#include "app/RepairDlg.h"
#include "app/SplashWindow.h"

#include <gtest/gtest.h>

#include <memory>

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CSplashWindow::EnableSplash(WithSplash());
        dlg = std::make_unique<CRepairDlg>();
        ASSERT_TRUE(dlg->Create());
        // A run's summary box would wait for an answer: only the tests that answer it keep it.
        if (!WithSummary())
            dlg->m_bShowSummary = false;
        PumpFor(50, dlg.get());
    }
    void TearDown() override
    {
        dlg.reset();
        CSplashWindow::EnableSplash(FALSE);
        PumpFor(20);
    }
    virtual BOOL WithSplash() const { return FALSE; }
    virtual bool WithSummary() const { return false; }

    HWND Item(int id) const { return ::GetDlgItem(dlg->m_hWnd, id); }
    // Sends a command as a button or a menu would.
    void Command(int id) const { ::SendMessageA(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool SelectAllTicked() const
    {
        return ::SendMessageA(::GetDlgItem(dlg->m_hWnd, 1014), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void Pump(int ms) { PumpFor(ms, dlg.get()); }

    std::unique_ptr<CRepairDlg> dlg;
};
