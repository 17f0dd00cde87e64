// Cursors borrowed from another program's module. The module is opened as data only, so none of
// its code runs in our process, whatever the file holds.
#pragma once

#include "Platform.h"

#include <string>

// A copy of the module's cursor resource `id` (ours to destroy), or null.
HCURSOR CopyModuleCursor(const std::wstring& modulePath, UINT id);

// The hand cursor that the system's old help program ("\winhlp32.exe" in the Windows folder) holds
// as resource 106.
constexpr UINT kHelpProgramHand = 106;

// A copy of a cursor of the old help program; null where the system has none. Never looked for at
// a drive root.
HCURSOR CopyHelpProgramCursor(UINT id);
