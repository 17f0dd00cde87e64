// Blocks of dropped files as the shell hands them to a window with WM_DROPFILES.
#pragma once

#include "framework/Platform.h"

#include <string>
#include <vector>

// Wide names, one after the other, ending in an empty one; null when there is no memory for it.
// The receiver of WM_DROPFILES releases it.
HDROP MakeDropBlock(const std::vector<std::wstring>& paths, POINT pt = {});
// Any bytes after a DROPFILES header whose name list starts at `offset`, for hostile blocks.
HDROP MakeRawDropBlock(DWORD offset, BOOL wide, const std::string& bytes);
