// CTransparentButton: a standard check box or radio button that leaves its dialog's background
// picture visible around its box and text.
#pragma once

#include "../framework/Controls.h"
#include "../framework/Gdi.h"

class CTransparentButton : public CButton {
public:
    CTransparentButton();
    ~CTransparentButton() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    const CToolTipCtrl& GetToolTip() const { return m_ToolTip; }

private:
    CToolTipCtrl m_ToolTip;
    BYTE m_bAcceptInput = 1;
    gdi::Font m_Font;
    COLORREF m_crText;
    COLORREF m_crBack;
    gdi::Brush m_brBack;
    HBRUSH m_brHollow;
    BYTE m_bTransparent = 1;
};
