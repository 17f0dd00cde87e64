// CNameSettingDlg: prefix or suffix for the names of repaired copies.
#pragma once

#include "../controls/TransparentButton.h"
#include "../framework/Dialog.h"
#include "../framework/Gdi.h"

class CNameSettingDlg : public CDialog {
public:
    explicit CNameSettingDlg(HWND hWndParent);
    ~CNameSettingDlg() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    CTransparentButton m_radioPrefix;
    CTransparentButton m_radioSuffix;
    gdi::Bitmap m_background;
};
