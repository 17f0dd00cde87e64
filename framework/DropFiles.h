// The paths in a block of dropped files (WM_DROPFILES), read within the block's own bounds: a
// block is data from another program, so its offsets and terminators are checked, never trusted.
#pragma once

#include "Platform.h"

#include <string>
#include <vector>

// The dropped paths in order; none when the block is not one. A name that runs past the block's
// end or past the longest path the system allows is left out, and the list ends there.
std::vector<std::wstring> DroppedPaths(HDROP hDrop);

// True when the handle is a block this process can read as dropped files (then it is released
// with DragFinish once read).
bool IsDropBlock(HDROP hDrop);
