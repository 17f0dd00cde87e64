// CLocationDlg: repaired copies beside their sources, or in one chosen folder. It opens with the
// caller's choice and, after OK, holds the new one; the caller stores it.
#pragma once

#include "../controls/TransparentButton.h"
#include "../controls/TransparentStatic.h"
#include "../framework/PictureDialog.h"

#include <functional>
#include <string>

class CLocationDlg : public CPictureDialog {
public:
    using InstructionSink = std::function<void(const char*)>;

    // `setInstructions` shows a text in the main window's instruction label.
    CLocationDlg(HWND hWndParent, int nLocationMode, const std::wstring& strTargetDir, InstructionSink setInstructions);
    ~CLocationDlg() override;

    int m_nLocationMode;
    std::wstring m_strTargetDir;

    // The shell's folder browser over its owner: false when it was cancelled, else the chosen
    // folder's file-system path (empty for a virtual folder such as the computer itself).
    static bool BrowseForFolder(HWND hWndOwner, std::wstring& path);
    // The same with a title of the caller's and the browser opened at a folder (when not empty).
    static bool BrowseForFolder(
        HWND hWndOwner, std::wstring& path, const char* title, const std::wstring& initialFolder);

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    InstructionSink m_setInstructions;
    CTransparentStatic m_group;
    CTransparentButton m_radioSame;
    CTransparentButton m_radioOther;
};
