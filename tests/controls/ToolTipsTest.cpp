// The tool tips of the main window's picture buttons and of the picture link: one tool each,
// id 1, over the whole control, with the text set up for it.
#include "MainWindowFixture.h"
#include "controls/HoverButton.h"
#include "controls/IconButton.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct Tip {
    int id;
    const char* text;
};
constexpr Tip kTips[] = {
    {IDC_ADD_FILES, "Add files for repair"},
    {IDC_REMOVE_ALL, "Remove All files from list"},
    {IDC_REMOVE_SELECTED, "Remove selected files from list"},
    {IDC_SETTINGS, "Settings for repaired files name"},
    {IDC_LIVE_UPDATE, "Updates the software with latest changes from internet"},
    {IDC_NEXT, "Go to next step"},
    {IDC_BACK, "Go back to the list of files"},
    {IDC_HOME_LINK, "Click here to visit software home page"},
};

std::string TipText(HWND hWndTip, HWND hWndOwner, UINT_PTR id)
{
    char text[512] = {};
    TOOLINFOA ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = hWndOwner;
    ti.uId = id;
    ti.lpszText = text;
    ::SendMessageA(hWndTip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&ti));
    return text;
}

// The tool-tip window of a control of the main window, through its object.
HWND TipWindow(HWND hWndControl)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWndControl);
    if (auto* icon = dynamic_cast<CIconButton*>(pWnd))
        return icon->GetToolTip().m_hWnd;
    if (auto* link = dynamic_cast<CHoverButton*>(pWnd))
        return link->GetToolTip().m_hWnd;
    return nullptr;
}

class ToolTipTest : public MainWindowTest {};

} // namespace

TEST_F(ToolTipTest, EveryPictureButtonReadsBackItsOneTip)
{
    std::set<HWND> tipWindows;
    for (const Tip& tip : kTips) {
        SCOPED_TRACE(tip.id);
        HWND hWnd = Item(tip.id);
        HWND hWndTip = TipWindow(hWnd);
        ASSERT_NE(hWndTip, nullptr);
        tipWindows.insert(hWndTip);
        EXPECT_EQ(::SendMessageA(hWndTip, TTM_GETTOOLCOUNT, 0, 0), 1);
        EXPECT_EQ(TipText(hWndTip, hWnd, 1), tip.text);

        // The one tool: id 1, on the control, over its whole client area.
        TOOLINFOA ti = {};
        ti.cbSize = sizeof(ti);
        ASSERT_TRUE(::SendMessageA(hWndTip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti)));
        EXPECT_EQ(ti.uId, 1u);
        EXPECT_EQ(ti.hwnd, hWnd);
        RECT client;
        ::GetClientRect(hWnd, &client);
        EXPECT_TRUE(::EqualRect(&ti.rect, &client));
    }
    EXPECT_EQ(tipWindows.size(), std::size(kTips)) << "a tool-tip window of its own for each";
}

TEST_F(ToolTipTest, IconButtonTipIsReplacedNotAdded)
{
    HWND hWnd = Item(IDC_NEXT);
    auto* next = dynamic_cast<CIconButton*>(CWnd::FromHandlePermanent(hWnd));
    ASSERT_NE(next, nullptr);
    HWND hWndTip = next->GetToolTip().m_hWnd;
    next->SetToolTipText("Start the repair");
    EXPECT_EQ(::SendMessageA(hWndTip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(TipText(hWndTip, hWnd, 1), "Start the repair");
    next->SetToolTipText(nullptr);
    EXPECT_EQ(::SendMessageA(hWndTip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(TipText(hWndTip, hWnd, 1), "Start the repair");
    EXPECT_EQ(next->GetToolTip().m_hWnd, hWndTip);
}
