// The batch run's entry points on the main window: they read the window's settings into a value
// and hand them, with the window as the rows' keeper, to the repair in repair/.
#pragma once

#include "../framework/Thread.h"
#include "../repair/RepairJob.h"

#include <memory>
#include <string>

class CRepairDlg;

// The worker of the latest run.
extern std::unique_ptr<CWinThread> g_pWorker;

// How the worker wakes the window for its row changes: posting to the window's queue, which the
// system may refuse (a queue that is full); tests put in one that refuses. Null puts back the
// system's. Returns the one it replaces.
using RowWakePoster = BOOL(WINAPI*)(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
RowWakePoster SetRowWakePoster(RowWakePoster post);

// The settings a run of this window works with.
RepairSettings SettingsOf(const CRepairDlg& dlg);

// The worker's entry; the parameter is the main window. Returns 1.
UINT RepairThreadProc(LPVOID pParam);
// Repairs every row of the result list, in order.
void RepairAll();
// Repairs one working copy into the output folder and records the outcome in the row; the source's
// folder is m_strSourceDir.
void RepairFile(const std::wstring& workingCopy, int row);
