// CAboutDlg: the product's name, version, copyright and addresses over the About picture.
#pragma once

#include "../controls/TransparentStatic.h"
#include "../framework/Dialog.h"
#include "../framework/Gdi.h"

class CAboutDlg : public CDialog {
public:
    static constexpr int kLabelCount = 5;

    explicit CAboutDlg(HWND hWndParent);
    ~CAboutDlg() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void DoDataExchange() override;

private:
    CTransparentStatic m_labels[kLabelCount];
    gdi::Bitmap m_background;
};
