// The batch run's worker: repairs the result list's rows one after the other.
#pragma once

#include "../framework/Platform.h"
#include "../framework/Thread.h"

#include <string>

extern CWinThread* g_pWorker;

// The worker's entry; the parameter is the main window. Returns 1.
UINT RepairThreadProc(LPVOID pParam);
// Repairs every row of the result list, in order.
void RepairAll();
// Makes the working copy of one row and repairs it.
void RepairRow(int row);
// Repairs one working copy into the output folder and records the outcome in the row.
void RepairFile(const std::string& workingCopy, int row);

// Asks the worker to stop at its next safe point (between the steps of a file).
void RequestWorkerStop();
bool WorkerStopRequested();
// Clears the request before a new run.
void ResetWorkerStop();

// The temporary folder, with its trailing backslash.
std::string TemporaryFolder();
