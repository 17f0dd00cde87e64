// The remembered "Do not show again" answers under HKEY_CURRENT_USER.
#pragma once

#include "msgbox/RixMessageBox.h"

#include <string>

// The name part (with extension) of the running program's full path.
std::string RixProgramFileName();

// "Software\<company>\<program>\RixMessageBox", or without the company level when it is empty.
std::string RixMemoryKeyPath(const std::string& company, const std::string& programName);

// Whether the block asks for a remembered answer at all (a check box and a value prefix).
bool RixUsesMemory(const RixBoxParams& params);

// The remembered answer, or 0 when there is none ("ask"): a missing key or value, another type or
// size, or a key that cannot be read.
DWORD RixReadRememberedAnswer(const RixBoxParams& params);

// Stores the answer; returns false when the key or value cannot be written (it is then simply not
// remembered).
bool RixRememberAnswer(const RixBoxParams& params, DWORD dwAnswer);
