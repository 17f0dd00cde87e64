// CNameSettingDlg: prefix or suffix for the names of repaired copies. It opens with the caller's
// mode and, after OK, holds the chosen one; the caller stores it.
#pragma once

#include "../controls/TransparentButton.h"
#include "../framework/PictureDialog.h"

#include <functional>

class CNameSettingDlg : public CPictureDialog {
public:
    using InstructionSink = std::function<void(const char*)>;

    // `setInstructions` shows a text in the main window's instruction label.
    CNameSettingDlg(HWND hWndParent, int nNameMode, InstructionSink setInstructions);
    ~CNameSettingDlg() override;

    int m_nNameMode;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    InstructionSink m_setInstructions;
    CTransparentButton m_radioPrefix;
    CTransparentButton m_radioSuffix;
};
