// RixMessageBox: the one way the program shows a message.
#pragma once

#include "../framework/Platform.h"

#include <map>

// Style bits beyond the platform's MB_ ones.
constexpr DWORD RIXMB_CHECKBOX = 0x01000000;
constexpr DWORD RIXMB_CHECKED = 0x02000000;
constexpr DWORD RIXMB_CHECKBOXBELOW = 0x04000000;
constexpr DWORD RIXMB_YESTOALLBUTTON = 0x08000000;
constexpr DWORD RIXMB_NOTOALLBUTTON = 0x10000000;
constexpr DWORD RIXMB_NOSTRINGRES = 0x20000000;
constexpr DWORD RIXMB_SILENT = 0x40000000;
constexpr DWORD RIXMB_SET_CONTINUE_ABORT = 7;
constexpr DWORD RIXMB_SET_SKIP = 8;
constexpr DWORD RIXMB_SET_IGNORE = 9;

// Button ids beyond the platform's.
constexpr int RIXID_SKIP = 14;
constexpr int RIXID_SKIPALL = 15;
constexpr int RIXID_IGNOREALL = 16;
constexpr int RIXID_YESTOALL = 19;
constexpr int RIXID_NOTOALL = 20;
constexpr int RIXID_REPORT = 21;
constexpr int RIXID_CUSTOM1 = 23;
constexpr int RIXID_CUSTOM2 = 24;
constexpr int RIXID_CUSTOM3 = 25;
constexpr int RIXID_CUSTOM4 = 26;
constexpr int RIXID_LESS = 30;
constexpr int RIXID_MORE = 31;

// Background effect numbers of the drawing effects.
constexpr int RIX_EFFECT_NONE = -1;
constexpr int RIX_EFFECT_VBUMP = 12;

// One band of the box: its separator line and its background.
struct RixBoxBand {
    int nSeparator = 0;      // 0 none, 1 etched, 2 black, 3 white
    int nSeparatorAlign = 0; // 0 left, 1 right, 2 centre
    LPCSTR lpszSeparatorText = nullptr;
    int nEffect = RIX_EFFECT_NONE;
    COLORREF crColor1 = ::GetSysColor(COLOR_BTNFACE);
    COLORREF crColor2 = ::GetSysColor(COLOR_BTNFACE);
    COLORREF crColor3 = ::GetSysColor(COLOR_BTNFACE);
};

// Button id to caption (a text, or a string resource id cast to a pointer).
using RixCaptionMap = std::map<int, LPCSTR>;

struct RixBoxParams {
    HWND hwndOwner = nullptr;
    HINSTANCE hStringModule = nullptr;
    HINSTANCE hIconModule = nullptr;
    LPCSTR lpszCaption = nullptr;
    LPCSTR lpszRegValuePrefix = nullptr;
    LPCSTR lpszRegCompany = nullptr;
    int nRegValueId = 0;
    UINT nReportMessage = 0;
    RixBoxBand bkBox;
    int nHeaderHeight = 0;
    LPCSTR lpszHeader = nullptr;
    RixBoxBand bkHeader;
    LPCSTR lpszText = nullptr;
    int nButtonAlign = 2;
    DWORD dwStyle = 0x30;
    RixBoxBand bkButtons;
    LPCSTR lpszMoreText = nullptr;
    RixBoxBand bkMore;
    int nAutoCloseSeconds = 0;
    int nDisableSeconds = 0;
    BOOL bCountdownInCaption = FALSE;
    DWORD dwHelpContext = 0;
    LPCSTR lpszIconResource = nullptr;
    LPCSTR lpszButtonLines = nullptr;
    LPCSTR lpszCheckBoxText = nullptr;
    const RixCaptionMap* pCaptionOverrides = nullptr;
};

// Shows a message; returns the id of the button that closed the box.
int RixMessageBox(HWND hwndOwner, LPCSTR lpszText, LPCSTR lpszCaption, DWORD dwStyle,
                  const RixBoxParams* pParams = nullptr);
int RixShowMessageBox(const RixBoxParams* pParams);
