// Folders the system names through a GetTempPath-style call: the buffer is sized from the answer,
// and a failed look-up gives an empty string, never a partial or a root path. Folders are wide.
#pragma once

#include "Platform.h"

#include <functional>
#include <string>

// `lookup(size, buffer)` returns the length written (without the terminator), the size needed
// (with it) when the buffer is too small, or 0 on failure.
std::wstring LookUpFolder(const std::function<DWORD(DWORD size, wchar_t* buffer)>& lookup);

// The current directory, or empty when it cannot be had.
std::wstring CurrentFolder();
