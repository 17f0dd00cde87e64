// Shows a formatted message box from a test and hands it, once it is up, to an inspector that looks
// at it and ends it, so that the real modal loop runs unchanged.
#pragma once

#include "msgbox/RixMessageBox.h"
#include "msgbox/RixMessageBoxDialog.h"

#include <functional>
#include <string>

using BoxInspector = std::function<void(HWND, RixMessageBoxDialog&)>;

struct BoxRun {
    int result = 0;
    int shown = 0; // boxes that appeared
};

// Runs RixShowMessageBox. The inspector must end the box: one it leaves open fails the test and is
// ended at once with -99. The count-down period is long unless given, so that only the ticks a test
// sends count.
[[nodiscard]] BoxRun ShowBox(const RixBoxParams& params, const BoxInspector& inspect, UINT timerPeriod = 0x7FFFFFFF);

// The window of a button of the box by id.
HWND Button(HWND hBox, int id);
std::string WindowText(HWND hWnd);
// Offers a key to the box as its modal loop would; returns whether the box ended.
bool PressKey(HWND hBox, UINT vk);
bool Ended(HWND hBox);
// The close box: WM_CLOSE, whose Cancel command the dialog manager posts; returns whether it ended.
bool CloseBox(HWND hBox);
// A click on a button as the user makes it (nothing happens on a disabled one).
void Click(HWND hButton);
// One tick of the count-down.
void Tick(HWND hBox);
bool CloseGreyed(HWND hBox);
// The message font the box uses, for measuring in the tests.
LOGFONTA MessageFont();
// What the markup renderer measures for a text with the message font on the screen.
SIZE MeasureWithMessageFont(const std::string& markup);
SIZE TextExtentWithMessageFont(const std::string& text);
// The main window's parameter block.
RixBoxParams MainWindowParams(const char* more = nullptr);
