// CAboutDlg: the product's name, version, copyright and addresses over the About picture.
#pragma once

#include "../controls/TransparentStatic.h"
#include "../framework/PictureDialog.h"

class CAboutDlg : public CPictureDialog {
public:
    static constexpr int kLabelCount = 5;

    explicit CAboutDlg(HWND hWndParent);
    ~CAboutDlg() override;

protected:
    void DoDataExchange() override;

private:
    CTransparentStatic m_labels[kLabelCount];
};
