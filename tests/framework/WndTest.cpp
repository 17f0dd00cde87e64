// The window layer: objects found from their windows, reflection to controls, the pre-translation
// chain and the modal loop.
#include "MainWindowFixture.h"
#include "Pump.h"

#include <vector>

namespace {

std::vector<std::string> g_order;

class Recorder : public CWnd {
public:
    Recorder(std::string name, bool consume) : m_name(std::move(name)), m_consume(consume) {}
    BOOL PreTranslateMessage(MSG*) override
    {
        g_order.push_back(m_name);
        return m_consume;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_USER + 7)
            return 1234;
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int destroyed = 0;

protected:
    void PostNcDestroy() override { destroyed++; }

private:
    std::string m_name;
    bool m_consume;
};

} // namespace

TEST(Wnd, CreatedWindowFindsItsObjectAndLetsGoWhenDestroyed)
{
    Recorder wnd("w", false);
    ASSERT_TRUE(wnd.CreateEx(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    HWND hWnd = wnd.m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);
    EXPECT_EQ(::SendMessageA(hWnd, WM_USER + 7, 0, 0), 1234);
    ::DestroyWindow(hWnd);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.destroyed, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

// The objects are looked up without asking the window manager; a window of another thread is found
// the same way, and is forgotten when that thread destroys it.
TEST(Wnd, WindowOfAnotherThreadIsFoundUntilItIsDestroyed)
{
    struct Shared {
        Recorder wnd { "other", false };
        HWND hWnd = nullptr;
        HANDLE hCreated = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE hDestroy = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    } shared;
    HANDLE hThread = ::CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            auto* s = static_cast<Shared*>(param);
            if (s->wnd.CreateEx(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr))
                s->hWnd = s->wnd.m_hWnd;
            ::SetEvent(s->hCreated);
            ::WaitForSingleObject(s->hDestroy, INFINITE);
            ::DestroyWindow(s->hWnd);
            return 0;
        },
        &shared, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    ASSERT_EQ(::WaitForSingleObject(shared.hCreated, 10000), WAIT_OBJECT_0);
    ASSERT_NE(shared.hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(shared.hWnd), &shared.wnd);
    ::SetEvent(shared.hDestroy);
    ASSERT_EQ(::WaitForSingleObject(hThread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(CWnd::FromHandlePermanent(shared.hWnd), nullptr);
    EXPECT_EQ(shared.wnd.destroyed, 1);
    ::CloseHandle(hThread);
    ::CloseHandle(shared.hCreated);
    ::CloseHandle(shared.hDestroy);
}

TEST(Wnd, SubclassAndUnsubclassRestoreTheWindowProcedure)
{
    HWND hWnd = ::CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    LONG_PTR original = ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
    {
        Recorder wnd("w", false);
        ASSERT_TRUE(wnd.SubclassWindow(hWnd));
        EXPECT_FALSE(Recorder("again", false).SubclassWindow(hWnd)) << "one object per window";
        EXPECT_EQ(::SendMessageA(hWnd, WM_USER + 7, 0, 0), 1234);
        char text[8] = {};
        ::GetWindowTextA(hWnd, text, sizeof(text));
        EXPECT_STREQ(text, "x") << "what we do not handle reaches the original procedure";
        EXPECT_EQ(wnd.UnsubclassWindow(), hWnd);
    }
    EXPECT_EQ(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    ::DestroyWindow(hWnd);
}

TEST(Wnd, PreTranslationWalksFromTheTargetUpToTheStopWindow)
{
    Recorder parent("parent", false), child("child", false), grandchild("grandchild", false);
    ASSERT_TRUE(parent.CreateEx(0, "STATIC", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
    ASSERT_TRUE(child.CreateEx(0, "STATIC", "", WS_CHILD, 0, 0, 40, 40, parent.m_hWnd, nullptr));
    ASSERT_TRUE(grandchild.CreateEx(0, "STATIC", "", WS_CHILD, 0, 0, 30, 30, child.m_hWnd, nullptr));
    MSG msg = {};
    msg.hwnd = grandchild.m_hWnd;
    msg.message = WM_KEYDOWN;
    g_order.clear();
    EXPECT_FALSE(CWnd::WalkPreTranslateTree(parent.m_hWnd, &msg));
    EXPECT_EQ(g_order, (std::vector<std::string>{"grandchild", "child", "parent"}));
    g_order.clear();
    EXPECT_FALSE(CWnd::WalkPreTranslateTree(child.m_hWnd, &msg));
    EXPECT_EQ(g_order, (std::vector<std::string>{"grandchild", "child"}));

    Recorder consumer("consumer", true);
    ASSERT_TRUE(consumer.CreateEx(0, "STATIC", "", WS_CHILD, 0, 0, 30, 30, parent.m_hWnd, nullptr));
    msg.hwnd = consumer.m_hWnd;
    g_order.clear();
    EXPECT_TRUE(CWnd::WalkPreTranslateTree(parent.m_hWnd, &msg));
    EXPECT_EQ(g_order, (std::vector<std::string>{"consumer"}));
}

TEST_F(MainWindowTest, ColourRequestsOfBoundLabelsComeBackTransparent)
{
    gdi::WindowDC dc(Item(1015));
    ::SetBkMode(dc, OPAQUE);
    LRESULT brush = ::SendMessageA(dlg->m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
                                   reinterpret_cast<LPARAM>(Item(1015)));
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
}

TEST(Dialog, ModalLoopEndsWithTheResultAndDestroysTheWindow)
{
    CRepairDlg dlg;
    static CRepairDlg* s_dlg;
    s_dlg = &dlg;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
        if (s_dlg->m_hWnd && ::IsWindowVisible(s_dlg->m_hWnd))
            s_dlg->EndDialog(42);
    });
    EXPECT_EQ(dlg.DoModal(), 42);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}
