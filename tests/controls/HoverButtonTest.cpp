// The picture link: its size and picture, pressed or not; its cursor and link text; its single
// tool tip; and how it follows the mouse with capture and a timer.
#include "controls/HoverButton.h"
#include "Dib.h"
#include "MainWindowFixture.h"
#include "framework/ModuleCursor.h"
#include "framework/PathText.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr POINT kAway = { 1270, 1010 };

std::string TipText(const CToolTipCtrl& tip, HWND hWndOwner, UINT_PTR id)
{
    return tip.GetText(hWndOwner, id);
}

class LinkTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ::SetWindowPos(dlg->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetForegroundWindow(dlg->m_hWnd);
        PlaceCursor(kAway.x, kAway.y);
        Pump(50);
        link = dynamic_cast<CHoverButton*>(CWnd::FromHandlePermanent(Item(IDC_HOME_LINK)));
        ASSERT_NE(link, nullptr);
    }
    void TearDown() override
    {
        ::ReleaseCapture();
        PlaceCursor(kAway.x, kAway.y);
        MainWindowTest::TearDown();
    }

    // The link as the dialog shows it.
    std::unique_ptr<Dib> Shot()
    {
        ::RedrawWindow(link->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT rc;
        ::GetClientRect(link->m_hWnd, &rc);
        auto dib = std::make_unique<Dib>(rc.right, rc.bottom);
        CaptureClient(link->m_hWnd, *dib);
        return dib;
    }

    // A client point of the link that lies over the dialog itself.
    POINT OverTheDialog() const
    {
        RECT rc;
        ::GetWindowRect(link->m_hWnd, &rc);
        const POINT screen = { rc.left - 30, rc.top + 20 };
        EXPECT_EQ(::WindowFromPoint(screen), dlg->m_hWnd);
        POINT client = screen;
        ::ScreenToClient(link->m_hWnd, &client);
        return client;
    }

    // Waits for the link's timer without handing it on; TRUE when its timer 1 is due.
    bool TimerDue()
    {
        ::Sleep(2 * CHoverButton::kHoverPeriod);
        MSG msg;
        return ::PeekMessageA(&msg, link->m_hWnd, WM_TIMER, WM_TIMER, PM_NOREMOVE) && msg.wParam == 1;
    }
    // Hands the link its due timer message (and only that one).
    void RunTimer()
    {
        ::Sleep(2 * CHoverButton::kHoverPeriod);
        MSG msg;
        ASSERT_TRUE(::PeekMessageA(&msg, link->m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE));
        ::DispatchMessageA(&msg);
    }
    void Move(WPARAM keys, POINT client)
    {
        ::SendMessageA(link->m_hWnd, WM_MOUSEMOVE, keys, MAKELPARAM(client.x, client.y));
    }

    CHoverButton* link = nullptr;
};

} // namespace

// The link takes the size of its picture and shows it; pressed, it still shows its picture, as
// the strip has no second frame.
TEST_F(LinkTest, TakesTheSizeOfItsPictureAndShowsIt)
{
    RECT rc;
    ::GetWindowRect(link->m_hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 132);
    EXPECT_EQ(rc.bottom - rc.top, 59);

    gdi::Bitmap picture(static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_HOME_LINK),
        IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS | LR_CREATEDIBSECTION)));
    ASSERT_TRUE(picture);
    BITMAP bm = {};
    ::GetObjectA(picture.get(), sizeof(bm), &bm);
    ASSERT_EQ(bm.bmWidth, 132) << "one frame only";
    Dib frame(bm.bmWidth, bm.bmHeight);
    {
        gdi::MemoryDC src(nullptr);
        gdi::SelectGuard select(src, picture.get());
        ::BitBlt(frame.dc(), 0, 0, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCCOPY);
    }
    auto differing = [&](const Dib& shot) {
        if (shot.width() != bm.bmWidth || shot.height() != bm.bmHeight)
            return "a shot of " + std::to_string(shot.width()) + " by " + std::to_string(shot.height());
        int wrong = 0;
        std::string first;
        for (int y = 0; y < 59; y++)
            for (int x = 0; x < 132; x++)
                if (shot.Pixel(x, y) != frame.Pixel(x, y) && ++wrong == 1)
                    first = std::to_string(x) + "," + std::to_string(y) + ": " + ColourText(shot.Pixel(x, y)) + " not "
                        + ColourText(frame.Pixel(x, y));
        return std::to_string(wrong) + (wrong ? " differ, first at " + first : "");
    };
    EXPECT_EQ(differing(*Shot()), "0");
    ::SendMessageA(link->m_hWnd, BM_SETSTATE, TRUE, 0);
    ASSERT_TRUE(::SendMessageA(link->m_hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(differing(*Shot()), "0");
    ::SendMessageA(link->m_hWnd, BM_SETSTATE, FALSE, 0);

    // A picture that is not there leaves a link as it was.
    CHoverButton own;
    HWND hWnd = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 5, 400, 40, 20, dlg->m_hWnd,
        reinterpret_cast<HMENU>(4101), ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(own.SubclassWindow(hWnd));
    EXPECT_FALSE(own.LoadImageStrip(9999));
    ::GetWindowRect(hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 40);
    EXPECT_EQ(rc.bottom - rc.top, 20);
    EXPECT_TRUE(own.LoadImageStrip(IDB_HOME_LINK));
    ::GetWindowRect(hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 132);
    EXPECT_EQ(rc.bottom - rc.top, 59);
}

// The hand comes from the old help program, where the system still has it; elsewhere the link
// keeps no cursor and leaves WM_SETCURSOR to the button, which sets the arrow.
TEST_F(LinkTest, CursorIsTheArrowWithoutTheHelpProgramsHand)
{
    char path[MAX_PATH] = {};
    ::GetWindowsDirectoryA(path, MAX_PATH);
    std::strcat(path, "\\winhlp32.exe");
    bool handThere = false;
    if (HMODULE hModule = ::LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        handThere = ::FindResourceA(hModule, MAKEINTRESOURCEA(106), MAKEINTRESOURCEA(12) /* RT_GROUP_CURSOR */);
        ::FreeLibrary(hModule);
    }
    EXPECT_EQ(link->GetLinkCursor() != nullptr, handThere) << path;

    WNDCLASSA button = {};
    ASSERT_TRUE(::GetClassInfoA(nullptr, "Button", &button));
    const LPARAM hit = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    const WPARAM over = reinterpret_cast<WPARAM>(link->m_hWnd);
    HCURSOR wait = ::LoadCursorA(nullptr, IDC_WAIT);
    ::SetCursor(wait);
    const LRESULT answered = ::SendMessageA(link->m_hWnd, WM_SETCURSOR, over, hit);
    if (handThere) {
        EXPECT_EQ(answered, TRUE);
        EXPECT_EQ(::GetCursor(), link->GetLinkCursor());
    } else {
        EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));
        ::SetCursor(wait);
        EXPECT_EQ(answered, ::CallWindowProcA(button.lpfnWndProc, link->m_hWnd, WM_SETCURSOR, over, hit));
        EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));
    }
}

// A link of our own: no cursor before a text; a null text clears all 260 characters and loads
// nothing; a second text replaces the first and keeps the cursor the first one brought.
// The hand is borrowed from a module that is only read: none of the module's code runs in ours.
TEST(ModuleCursors, CopiedFromAModuleWhoseCodeNeverRuns)
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string module = self;
    module = module.substr(0, module.find_last_of('\\')) + "\\cursor_module.dll";
    ::SetEnvironmentVariableA("TESSEL_CURSOR_MODULE_RAN", nullptr);
    struct Case {
        std::string path;
        UINT id;
        bool found;
    };
    const Case cases[] = {
        { module, kHelpProgramHand, true },
        { module, kHelpProgramHand + 1, false },
        { module + ".absent", kHelpProgramHand, false },
        { "", kHelpProgramHand, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.id));
        HCURSOR hCursor = CopyModuleCursor(WidenText(c.path.c_str()), c.id);
        ASSERT_EQ(hCursor != nullptr, c.found);
        if (!hCursor)
            continue;
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(hCursor, &info));
        EXPECT_FALSE(info.fIcon);
        EXPECT_EQ(info.xHotspot, 5u);
        EXPECT_EQ(info.yHotspot, 3u);
        ::DeleteObject(info.hbmMask);
        if (info.hbmColor)
            ::DeleteObject(info.hbmColor);
        EXPECT_TRUE(::DestroyCursor(hCursor)) << "the copy is ours to destroy";
    }
    char ran[8] = {};
    EXPECT_EQ(::GetEnvironmentVariableA("TESSEL_CURSOR_MODULE_RAN", ran, sizeof(ran)), 0u)
        << "the module's code never ran";
    EXPECT_EQ(::GetModuleHandleA("cursor_module.dll"), nullptr) << "and the module is not kept";
}

TEST_F(LinkTest, LinkTextReplacesAndClears)
{
    CHoverButton own;
    HWND hWnd = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 5, 400, 40, 20, dlg->m_hWnd,
        reinterpret_cast<HMENU>(4100), ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(own.SubclassWindow(hWnd));
    const char zeros[CHoverButton::kLinkTextSize] = {};

    EXPECT_EQ(own.GetLinkCursor(), nullptr);
    EXPECT_EQ(own.SetLinkText(nullptr), 0);
    EXPECT_EQ(own.GetLinkCursor(), nullptr);
    EXPECT_EQ(std::memcmp(own.GetLinkText(), zeros, sizeof(zeros)), 0);

    EXPECT_EQ(own.SetLinkText("https://calvera-tessel.example/"), 0);
    EXPECT_STREQ(own.GetLinkText(), "https://calvera-tessel.example/");
    HCURSOR first = own.GetLinkCursor();
    EXPECT_EQ(first, link->GetLinkCursor()) << "both found the hand, or both did not";

    // Longer than the buffer: cut to 259 characters.
    const std::string longText(300, 'x');
    own.SetLinkText(longText.c_str());
    EXPECT_EQ(std::string(own.GetLinkText()), longText.substr(0, CHoverButton::kLinkTextSize - 1));
    EXPECT_EQ(own.GetLinkCursor(), first);

    own.SetLinkText(nullptr);
    EXPECT_EQ(std::memcmp(own.GetLinkText(), zeros, sizeof(zeros)), 0);
    EXPECT_EQ(own.GetLinkCursor(), first);
}

// The tool tip holds one tool, id 1; a new text replaces its text and adds no tool.
TEST_F(LinkTest, ToolTipTextIsReplacedNotAdded)
{
    const CToolTipCtrl& tip = link->GetToolTip();
    ASSERT_NE(tip.m_hWnd, nullptr);
    EXPECT_EQ(::SendMessageA(tip.m_hWnd, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(TipText(tip, link->m_hWnd, 1), "Click here to visit software home page");

    const std::string other = "Another text";
    link->SetToolTipText(&other, TRUE);
    EXPECT_EQ(::SendMessageA(tip.m_hWnd, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(TipText(tip, link->m_hWnd, 1), other);
    link->SetToolTipText(nullptr, TRUE);
    EXPECT_EQ(::SendMessageA(tip.m_hWnd, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(TipText(tip, link->m_hWnd, 1), other);
}

// Hover: the first move takes the capture and starts timer 1; the timer ends the hover once the
// cursor is outside and stops itself; a move over another window ends it and lets the capture go
// unless the left button is down; a move with the button down never starts a hover.
TEST_F(LinkTest, HoverFollowsCaptureAndTimer)
{
    HWND hWnd = link->m_hWnd;
    const POINT inside = { 20, 20 };
    // The real cursor over the dialog, away from the link; its own mouse messages are done with.
    {
        RECT rc;
        ::GetWindowRect(hWnd, &rc);
        PlaceCursor(rc.left - 30, rc.top + 20);
        Pump(100);
        ::ReleaseCapture();
        Pump(20);
    }
    EXPECT_FALSE(link->IsHover());
    EXPECT_NE(::GetCapture(), hWnd);

    Move(0, inside);
    EXPECT_TRUE(link->IsHover());
    EXPECT_EQ(::GetCapture(), hWnd);
    EXPECT_TRUE(TimerDue());
    // The timer sees the cursor outside the link.
    RunTimer();
    EXPECT_FALSE(link->IsHover());
    EXPECT_FALSE(::KillTimer(hWnd, CHoverButton::kHoverTimer)) << "the timer stopped itself";

    // With the cursor over the link the timer keeps the hover and runs on.
    {
        RECT rc;
        ::GetWindowRect(hWnd, &rc);
        ASSERT_TRUE(PlaceCursor(rc.left + inside.x, rc.top + inside.y));
    }
    ::ReleaseCapture();
    Move(0, inside);
    ASSERT_TRUE(link->IsHover());
    RunTimer();
    EXPECT_TRUE(link->IsHover());
    EXPECT_TRUE(TimerDue());

    // Moved over the dialog: the hover ends and the capture goes.
    Move(0, OverTheDialog());
    EXPECT_FALSE(link->IsHover());
    EXPECT_NE(::GetCapture(), hWnd);

    // The same with the left button down: the capture stays.
    Move(0, inside);
    ASSERT_TRUE(link->IsHover());
    Move(MK_LBUTTON, OverTheDialog());
    EXPECT_FALSE(link->IsHover());
    EXPECT_EQ(::GetCapture(), hWnd);

    // A move with the button down does not start a hover.
    ::ReleaseCapture();
    Move(MK_LBUTTON, inside);
    EXPECT_FALSE(link->IsHover());
    EXPECT_NE(::GetCapture(), hWnd);
}
