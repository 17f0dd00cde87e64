// CHoverButton: a push button that shows a picture, takes the hand cursor and a tool tip, and
// tracks the mouse with capture and a polling timer.
#pragma once

#include "../framework/Controls.h"
#include "../framework/Gdi.h"

#include <string>

class CHoverButton : public CBitmapButton {
public:
    static constexpr const char* kRuntimeClass = "CHoverButton";
    static constexpr UINT_PTR kHoverTimer = 1;
    static constexpr UINT kHoverPeriod = 100;
    static constexpr int kLinkTextSize = 260;
    static constexpr int kHandCursorId = 106;

    CHoverButton();
    ~CHoverButton() override;

    // Shows the picture and takes its size; FALSE, with nothing changed, when it cannot be loaded.
    BOOL LoadImageStrip(UINT nBitmapId);
    int SetLinkText(const char* lpszText);
    void SetToolTipText(const std::string* pText, BOOL bActivate);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    virtual void DrawItem(DRAWITEMSTRUCT* pDis);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    BOOL IsHover() const { return m_bHover; }
    const char* GetLinkText() const { return m_szLinkText; }
    HCURSOR GetLinkCursor() const { return m_hLinkCursor; }
    const CToolTipCtrl& GetToolTip() const { return m_ToolTip; }

private:
    void EnsureToolTip();
    void OnMouseMove(UINT nFlags, POINT point);
    void OnTimer(UINT_PTR nIDEvent);

    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    gdi::Bitmap m_bmpImage;
    BOOL m_bHover = 0;
    char m_szLinkText[kLinkTextSize] = {};
    HCURSOR m_hLinkCursor = nullptr;
    CToolTipCtrl m_ToolTip;
};
