// The splash picture in front of a starting main window.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"

namespace {

class Splash : public MainWindowTest {
protected:
    BOOL WithSplash() const override { return TRUE; }

    // Presses and releases the left button over a control, as the mouse would.
    void ClickOn(int id)
    {
        HWND button = Item(id);
        ::PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ::PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        Pump(150);
    }
};

} // namespace

TEST_F(Splash, ShowsThePictureCentredOverTheWindow)
{
    CSplashWindow* splash = CSplashWindow::Current();
    ASSERT_NE(splash, nullptr);
    ASSERT_TRUE(::IsWindowVisible(splash->m_hWnd));
    char klass[64] = {};
    ::GetClassNameA(splash->m_hWnd, klass, sizeof(klass));
    EXPECT_STREQ(klass, CSplashWindow::kWindowClass);
    EXPECT_EQ(::GetWindowLongA(splash->m_hWnd, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_BORDER), LONG(WS_POPUP));
    RECT rc;
    ::GetWindowRect(splash->m_hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 359);
    EXPECT_EQ(rc.bottom - rc.top, 182);
    EXPECT_FALSE(CSplashWindow::ShowSplash(4000, 177, dlg->m_hWnd)) << "one splash at a time";
}

TEST_F(Splash, ClickOnlyHidesTheSplashAndNeverReachesTheControl)
{
    ASSERT_NE(CSplashWindow::Current(), nullptr);
    ModalAnswerer answer({ModalAnswerer::Press(IDCANCEL)});
    ClickOn(1000);
    EXPECT_EQ(CSplashWindow::Current(), nullptr);
    EXPECT_EQ(answer.Count(), 0u) << "Add Files must not have been pressed";
    // The next click is the control's again.
    ClickOn(1000);
    EXPECT_EQ(answer.Count(), 1u);
}

TEST_F(Splash, KeyPressHidesTheSplashAndIsSwallowed)
{
    ASSERT_NE(CSplashWindow::Current(), nullptr);
    ::SetFocus(Item(1006));
    ::PostMessageA(Item(1006), WM_KEYDOWN, VK_RETURN, 1);
    Pump(100);
    EXPECT_EQ(CSplashWindow::Current(), nullptr);
}

TEST_F(Splash, GoesAwayByItselfAfterFourSeconds)
{
    ASSERT_NE(CSplashWindow::Current(), nullptr);
    Pump(3000);
    EXPECT_NE(CSplashWindow::Current(), nullptr) << "still shown before its time";
    EXPECT_TRUE(PumpUntil([] { return CSplashWindow::Current() == nullptr; }, 4000, dlg.get()));
}

TEST_F(MainWindowTest, NoSplashWhenNotEnabled)
{
    EXPECT_EQ(CSplashWindow::Current(), nullptr);
}
