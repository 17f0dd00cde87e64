// CDialog: a dialog from a template, run by our own modal loop so that every message of the
// thread passes the PreTranslateMessage chain before the dialog manager sees it.
#pragma once

#include "Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, HWND hWndParent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; returns the value given to EndDialog, or -1 when it cannot be created.
    virtual INT_PTR DoModal();
    // Creates the dialog without running a loop (tests drive it with PumpMessage).
    BOOL Create(HWND hWndParent = nullptr);
    void EndDialog(int nResult);

    // Takes one message from the queue through the same path the modal loop uses.
    // Returns FALSE on WM_QUIT.
    BOOL PumpMessage();
    // Offers a message as the modal loop does; TRUE when it was consumed.
    BOOL PreTranslateInLoop(MSG* pMsg);

    BOOL IsEnding() const { return m_bEndModal; }
    int GetResult() const { return m_nModalResult; }
    UINT GetTemplateId() const { return m_nIDTemplate; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    virtual BOOL OnInitDialog();
    // Binds the template's controls to their objects; called first by OnInitDialog.
    virtual void DoDataExchange() {}
    virtual void OnOK();
    virtual void OnCancel();
    // Whether DoModal shows a template that is not visible itself; a dialog that shows itself
    // later (or never, when its work ends first) says no.
    virtual bool ShowOnStart() const { return true; }

    UINT m_nIDTemplate;
    HWND m_hWndParent;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    BOOL CreateFromTemplate(HWND hWndParent);

    bool m_bEndModal = false;
    int m_nModalResult = -1;
};
