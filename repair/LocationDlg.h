// CLocationDlg: repaired copies beside their sources, or in one chosen folder.
#pragma once

#include "../controls/TransparentButton.h"
#include "../controls/TransparentStatic.h"
#include "../framework/PictureDialog.h"

#include <string>

class CLocationDlg : public CPictureDialog {
public:
    explicit CLocationDlg(HWND hWndParent);
    ~CLocationDlg() override;

    // The shell's folder browser: false when it was cancelled, else the chosen folder's file-system
    // path (empty for a virtual folder such as the computer itself).
    static bool BrowseForFolder(std::string& path);

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    CTransparentStatic m_group;
    CTransparentButton m_radioSame;
    CTransparentButton m_radioOther;
};
