// CNameSettingDlg: prefix or suffix for the names of repaired copies.
#pragma once

#include "../controls/TransparentButton.h"
#include "../framework/PictureDialog.h"

class CNameSettingDlg : public CPictureDialog {
public:
    explicit CNameSettingDlg(HWND hWndParent);
    ~CNameSettingDlg() override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    CTransparentButton m_radioPrefix;
    CTransparentButton m_radioSuffix;
};
