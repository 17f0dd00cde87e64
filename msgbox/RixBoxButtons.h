// Which buttons a box gets, in order, and whether Escape and the close box may end it.
#pragma once

#include "msgbox/RixMessageBox.h"

#include <string>
#include <vector>

struct RixButtonPlan {
    std::vector<int> ids;
    // Caption of each custom button (ids 23 to 26); empty for the others.
    std::vector<std::string> customCaptions;
    bool bEscape = false;
};

// At most this many custom buttons.
constexpr int RIXBOX_MAX_CUSTOM_BUTTONS = 4;

// The non-empty lines of a custom button text, at most four; carriage returns are dropped.
std::vector<std::string> RixCustomButtonLines(const std::string& text);

// The buttons of the style's set (low four bits) with the optional Yes to all and No to all.
std::vector<int> RixStandardButtons(DWORD dwStyle, bool& bEscape);

// The whole row: custom buttons or the standard set, then Help, Report and More as asked.
RixButtonPlan RixPlanButtons(DWORD dwStyle, const std::string& buttonLines, bool bReport, bool bMore);

// Index of the default button: the style's index, or the first when the index names no button.
int RixDefaultButtonIndex(DWORD dwStyle, size_t nButtons);

// Help, Report and More act in place; no other button is needed to close the box.
bool RixButtonStaysOpen(int nId);

// Whether an answer is one this row of buttons can give: the id of a button that ends the box, or
// Escape's Cancel where Escape ends it, with or without RIXMB_CHECKED.
bool RixIsAnswerOf(const RixButtonPlan& plan, DWORD dwAnswer);
