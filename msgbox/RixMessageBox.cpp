#include "RixMessageBox.h"

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
    RixBoxParams params = pParams ? *pParams : RixBoxParams{};
    HWND hwndOwner = params.hwndOwner;
    if (!hwndOwner) {
        hwndOwner = ::GetActiveWindow();
        if (hwndOwner)
            hwndOwner = ::GetLastActivePopup(hwndOwner);
    }
    std::string caption = params.lpszCaption ? params.lpszCaption : "";
    if (caption.empty() && hwndOwner) {
        char buffer[261] = {};
        ::SendMessageA(hwndOwner, WM_GETTEXT, 260, reinterpret_cast<LPARAM>(buffer));
        caption = buffer;
    }
    if (caption.empty())
        caption = "Error";
    // Until the formatted box draws its own bands, the platform's box shows the text and, below it,
    // the expandable text.
    std::string text = params.lpszText ? params.lpszText : "";
    if (params.lpszMoreText && *params.lpszMoreText)
        text += std::string("\r\n\r\n") + params.lpszMoreText;
    UINT style = params.dwStyle & (MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK | MB_HELP | MB_SETFOREGROUND | MB_TOPMOST |
                                   MB_RIGHT);
    return ::MessageBoxA(hwndOwner, text.c_str(), caption.c_str(), style);
}
