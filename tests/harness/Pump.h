// Pumping the thread's messages while a test waits for something to happen.
#pragma once

#include "framework/Dialog.h"

#include <functional>

// Dispatches messages for about ms milliseconds; with a dialog, through its pre-translation chain.
void PumpFor(int ms, CDialog* pDialog = nullptr);
// Pumps until the condition holds or the time is up; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs, CDialog* pDialog = nullptr);
