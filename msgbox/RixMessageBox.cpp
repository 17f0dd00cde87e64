#include "msgbox/RixMessageBox.h"

#include "msgbox/RixBoxButtons.h"
#include "msgbox/RixBoxMemory.h"
#include "msgbox/RixBoxTexts.h"
#include "msgbox/RixMessageBoxDialog.h"

#include <string>

int RixMessageBox(HWND hwndOwner, LPCSTR lpszText, LPCSTR lpszCaption, DWORD dwStyle, const RixBoxParams* pParams)
{
    RixBoxParams params;
    if (pParams)
        params = *pParams;
    params.hwndOwner = hwndOwner;
    params.lpszText = lpszText;
    params.lpszCaption = lpszCaption;
    params.dwStyle = dwStyle;
    return RixShowMessageBox(&params);
}

int RixShowMessageBox(const RixBoxParams* pParams)
{
    RixBoxParams params = pParams ? *pParams : RixBoxParams {};
    if (!params.hwndOwner) {
        params.hwndOwner = ::GetActiveWindow();
        if (params.hwndOwner)
            params.hwndOwner = ::GetLastActivePopup(params.hwndOwner);
    }

    // The caption is resolved here so that the owner's text and "Error" can stand in for it.
    HINSTANCE hStrings = params.hStringModule ? params.hStringModule : ::GetModuleHandleA(nullptr);
    std::string caption = RixResolveText(params.lpszCaption, hStrings, (params.dwStyle & RIXMB_NOSTRINGRES) != 0);
    if (caption.empty() && params.hwndOwner) {
        char buffer[261] = {};
        ::SendMessageA(params.hwndOwner, WM_GETTEXT, 260, reinterpret_cast<LPARAM>(buffer));
        caption = buffer;
    }
    if (caption.empty())
        caption = "Error";
    params.lpszCaption = caption.c_str();

    // A remembered answer stands for a click on one of the box's buttons; a value that no button of
    // this box gives (another box's, or one written by someone else) asks again.
    if (RixUsesMemory(params)) {
        if (const DWORD dwRemembered = RixReadRememberedAnswer(params)) {
            const bool bNoStrings = (params.dwStyle & RIXMB_NOSTRINGRES) != 0;
            const bool bReport = params.nReportMessage != 0 && params.hwndOwner != nullptr;
            const bool bMore = !RixResolveText(params.lpszMoreText, hStrings, bNoStrings).empty();
            const RixButtonPlan plan = RixPlanButtons(
                params.dwStyle, RixResolveText(params.lpszButtonLines, hStrings, bNoStrings), bReport, bMore);
            if (RixIsAnswerOf(plan, dwRemembered))
                return static_cast<int>(dwRemembered);
        }
    }
    if (!(params.dwStyle & RIXMB_SILENT))
        ::MessageBeep(params.dwStyle & MB_ICONMASK);

    RixMessageBoxDialog box(params);
    return box.DoModal();
}
