// CSplashWindow: the start-up picture, shown for a while or until the first key press or click.
#pragma once

#include "../framework/Gdi.h"
#include "../framework/Wnd.h"

class CSplashWindow : public CWnd {
public:
    static constexpr const char* kWindowClass = "CalveraTesselSplash";
    static constexpr UINT_PTR kHideTimer = 1;

    static void EnableSplash(BOOL bEnable = TRUE);
    static BOOL ShowSplash(UINT nPeriodMs, UINT nBitmapId, HWND hWndParent);
    static void HideSplash();
    static BOOL FilterSplashMessage(const MSG* pMsg);
    // The splash shown now, or null.
    static CSplashWindow* Current() { return c_pSplashWnd; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void PostNcDestroy() override;

private:
    CSplashWindow() = default;
    ~CSplashWindow() override;
    BOOL Create(UINT nBitmapId, HWND hWndParent);

    gdi::Bitmap m_bitmap;
    SIZE m_size{};

    static BOOL c_bShowSplashWnd;
    static CSplashWindow* c_pSplashWnd;
};
