// Pumping the thread's messages while a test waits for something to happen.
#pragma once

#include "framework/Dialog.h"

#include <functional>

// Dispatches messages for about ms milliseconds; with a dialog, through its pre-translation chain.
void PumpFor(int ms, CDialog* pDialog = nullptr);
// Pumps until the condition holds or the time is up; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs, CDialog* pDialog = nullptr);
// Puts the cursor at a point of the screen and waits until it stays there. Under Wine the position
// comes back from the X server, and pointer events still on their way may move it back for a
// moment, even to where an earlier move put it; on Windows it is there at once. False when it does
// not stay there within about 2 s.
bool PlaceCursor(int x, int y);
