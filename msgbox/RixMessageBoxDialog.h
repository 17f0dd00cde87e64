// RixMessageBoxDialog: one formatted message box, built at run time from a parameter block, for one
// call. The dialog procedure and its behaviour live in RixMessageBoxDialog.cpp; creating, measuring
// and placing the controls in RixBoxControls.cpp; painting in RixBoxPaint.cpp.
#pragma once

#include "framework/Gdi.h"
#include "markup/RixMarkupRenderer.h"
#include "msgbox/RixMessageBox.h"

#include <string>
#include <utility>
#include <vector>

// Sent by the renderers when the link under the mouse changes: the text bands are drawn again.
constexpr UINT WM_RIXREDRAW = 0x8064;
// The count-down timer.
constexpr UINT_PTR RIXBOX_TIMER_ID = 1;
// The control id of a Cancel button in a box whose Escape is off. The dialog manager sends Escape as
// a command from the control with IDCANCEL's id, so a Cancel that must work while Escape must not
// goes by an id of its own; it still ends the box with IDCANCEL.
constexpr int RIXBOX_QUIET_CANCEL_ID = 0x7002;

class RixMessageBoxDialog {
public:
    explicit RixMessageBoxDialog(const RixBoxParams& params);
    ~RixMessageBoxDialog();
    RixMessageBoxDialog(const RixMessageBoxDialog&) = delete;
    RixMessageBoxDialog& operator=(const RixMessageBoxDialog&) = delete;

    // Runs the box modally; the id of the button that closed it (with RIXMB_CHECKED when the check
    // box was ticked), or IDCANCEL when the dialog cannot be made.
    int DoModal();

    // The box a window belongs to, or null when the window is no formatted box.
    static RixMessageBoxDialog* FromWindow(HWND hWnd);
    // The count-down period in milliseconds; tests make it long and drive WM_TIMER themselves.
    static void SetTimerPeriod(UINT nMilliseconds);

    // What the box shows, for tests and tools: the message markup as given, and the "more" markup.
    const std::string& GetMessageText() const { return m_strText; }
    const std::string& GetMoreText() const { return m_strMoreText; }
    // The message band's markup: the message with its alignment and icon table.
    const std::string& GetMarkup() const { return m_strMarkup; }
    int GetHeaderHeight() const { return m_nHeaderHeight; }
    int GetMessageHeight() const { return m_nMessageHeight; }
    int GetButtonBandHeight() const { return m_nButtonBandHeight; }
    int GetMoreHeight() const { return m_nMoreHeight; }
    bool IsMoreShown() const { return m_bMoreShown; }
    SIZE GetButtonSize() const { return { m_nButtonWidth, m_nButtonHeight }; }
    bool IsEscapeAllowed() const { return m_bEscape; }
    int GetRemainingSeconds() const { return m_nRemaining; }
    HWND GetCheckBox() const { return m_hCheckBox; }
    HWND GetCheckBoxLabel() const { return m_hCheckLabel; }
    // The buttons in creation order: (id, window).
    const std::vector<std::pair<int, HWND>>& GetButtons() const { return m_Buttons; }
    int GetDefaultIndex() const { return m_nDefaultIndex; }
    const RixMarkupRenderer& GetTextRenderer() const { return m_TextRenderer; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(WPARAM wParam);
    void OnTimer();
    BOOL OnSetCursor();
    void OnLButtonDown(POINT point);
    void ToggleMore();
    void EndBox(int nId);
    // Whether a command with this id may end the box now.
    bool CanEndWith(int nId) const;
    void CenterWindow(int nWidth, int nHeight);
    void ShowCount();
    void EnableCloseCommand(bool bEnable);
    void DestroyControls();
    HWND ButtonWindow(int nId) const;
    int DefaultButtonId() const;
    HWND DefaultButton() const;
    // The id the default button's commands come with.
    int DefaultControlId() const;
    // What the default button says when no count is on it: More's caption follows the band.
    std::string DefaultCaption() const;

    // Layout and painting.
    SIZE CreateControlsAndMeasure();
    void PlaceControls();
    void PaintBox(HDC hPaintDC);
    void DrawSeparator(HDC hDC, const RixBoxBand& band, const std::string& text, const RECT& rect);
    void BuildBackground(HDC hDC, const RECT& work);
    std::string ButtonCaption(int nId, size_t nIndex) const;
    std::string ResolveText(LPCSTR lpsz) const;
    std::string Caption(int nId, LPCSTR lpszDefault = nullptr) const;

    RixBoxParams m_Params;
    bool m_bNoStringRes = false;
    HWND m_hWnd = nullptr;

    std::vector<std::pair<int, HWND>> m_Buttons;
    std::vector<std::string> m_CustomCaptions;
    int m_nDefaultIndex = 0;
    bool m_bEscape = false;
    bool m_bCloseGreyed = false;
    HWND m_hCheckBox = nullptr;
    HWND m_hCheckLabel = nullptr;

    gdi::Font m_Font;
    gdi::Icon m_Icon;
    std::string m_strCaption;
    std::string m_strText;
    std::string m_strMarkup;
    std::string m_strHeader;
    std::string m_strMoreText;
    std::string m_strHeaderSeparator;
    std::string m_strButtonsSeparator;
    std::string m_strMoreSeparator;
    std::string m_strCountFormat;
    std::string m_strMoreCaption;
    std::string m_strLessCaption;
    std::string m_strSavedCaption;

    RixMarkupRenderer m_HeaderRenderer;
    RixMarkupRenderer m_TextRenderer;
    RixMarkupRenderer m_MoreRenderer;

    int m_nHeaderHeight = 0;
    int m_nMessageHeight = 0;
    int m_nButtonBandHeight = 0;
    int m_nMoreHeight = 0;
    bool m_bMoreShown = false;
    int m_nButtonWidth = 0;
    int m_nButtonHeight = 0;
    int m_nRemaining = 0;

    gdi::Bitmap m_Background;
    SIZE m_BackgroundSize {};
};
