#include "msgbox/RixBoxButtons.h"

#include <algorithm>

std::vector<std::string> RixCustomButtonLines(const std::string& text)
{
    std::string clean;
    clean.reserve(text.size() + 1);
    std::copy_if(text.begin(), text.end(), std::back_inserter(clean), [](char c) { return c != '\r'; });
    clean += '\n';
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = clean.find('\n'); end != std::string::npos; end = clean.find('\n', start)) {
        if (end > start) {
            lines.push_back(clean.substr(start, end - start));
            if (static_cast<int>(lines.size()) == RIXBOX_MAX_CUSTOM_BUTTONS)
                break;
        }
        start = end + 1;
    }
    return lines;
}

std::vector<int> RixStandardButtons(DWORD dwStyle, bool& bEscape)
{
    const bool bYesToAll = (dwStyle & RIXMB_YESTOALLBUTTON) != 0;
    const bool bNoToAll = (dwStyle & RIXMB_NOTOALLBUTTON) != 0;
    auto yesNo = [&](bool bCancel) {
        std::vector<int> ids { IDYES };
        if (bYesToAll)
            ids.push_back(RIXID_YESTOALL);
        ids.push_back(IDNO);
        if (bNoToAll)
            ids.push_back(RIXID_NOTOALL);
        if (bCancel)
            ids.push_back(IDCANCEL);
        return ids;
    };
    switch (dwStyle & 0xF) {
    case MB_OK:
        bEscape = true;
        return { IDOK };
    case MB_OKCANCEL:
        bEscape = true;
        return { IDOK, IDCANCEL };
    case MB_ABORTRETRYIGNORE:
        bEscape = false;
        return { IDABORT, IDRETRY, IDIGNORE };
    case MB_YESNOCANCEL:
        bEscape = true;
        return yesNo(true);
    case MB_YESNO:
        bEscape = false;
        return yesNo(false);
    case MB_RETRYCANCEL:
        bEscape = true;
        return { IDRETRY, IDCANCEL };
    case MB_CANCELTRYCONTINUE:
        bEscape = true;
        return { IDCANCEL, IDTRYAGAIN, IDCONTINUE };
    case RIXMB_SET_CONTINUE_ABORT:
        bEscape = false;
        return { IDCONTINUE, IDABORT };
    case RIXMB_SET_SKIP:
        bEscape = true;
        return { RIXID_SKIP, RIXID_SKIPALL, IDCANCEL };
    case RIXMB_SET_IGNORE:
        bEscape = true;
        return { IDIGNORE, RIXID_IGNOREALL, IDCANCEL };
    default:
        bEscape = false;
        return {};
    }
}

RixButtonPlan RixPlanButtons(DWORD dwStyle, const std::string& buttonLines, bool bReport, bool bMore)
{
    RixButtonPlan plan;
    const std::vector<std::string> lines = RixCustomButtonLines(buttonLines);
    for (size_t i = 0; i < lines.size(); ++i) {
        plan.ids.push_back(RIXID_CUSTOM1 + static_cast<int>(i));
        plan.customCaptions.push_back(lines[i]);
    }
    if (plan.ids.empty()) {
        plan.ids = RixStandardButtons(dwStyle, plan.bEscape);
        plan.customCaptions.assign(plan.ids.size(), std::string());
    }
    // Any custom button text turns Escape off, even one that made no button.
    if (!buttonLines.empty())
        plan.bEscape = false;
    auto add = [&](int nId) {
        plan.ids.push_back(nId);
        plan.customCaptions.emplace_back();
    };
    if (dwStyle & MB_HELP)
        add(IDHELP);
    if (bReport)
        add(RIXID_REPORT);
    if (bMore)
        add(RIXID_MORE);
    // A box with nothing that closes it could never be left: Escape and the close box end it then.
    if (std::all_of(plan.ids.begin(), plan.ids.end(), RixButtonStaysOpen))
        plan.bEscape = true;
    return plan;
}

int RixDefaultButtonIndex(DWORD dwStyle, size_t nButtons)
{
    const size_t index = (dwStyle >> 8) & 0xF;
    return index < nButtons ? static_cast<int>(index) : 0;
}

bool RixButtonStaysOpen(int nId)
{
    return nId == IDHELP || nId == RIXID_REPORT || nId == RIXID_MORE || nId == RIXID_LESS;
}

bool RixIsAnswerOf(const RixButtonPlan& plan, DWORD dwAnswer)
{
    const DWORD dwId = dwAnswer & ~RIXMB_CHECKED;
    if (dwId == 0 || dwId > 0xFFFF)
        return false;
    const int nId = static_cast<int>(dwId);
    if (nId == IDCANCEL && plan.bEscape)
        return true;
    return !RixButtonStaysOpen(nId) && std::find(plan.ids.begin(), plan.ids.end(), nId) != plan.ids.end();
}
