// The main window as it starts: its controls, lists, menus, texts and background.
#include "Dib.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"

namespace {

const char* const kStepOne = "                1. Add files into list from the add file button from toolbar\r\n"
                             "                2. Select the Files from list to be repaired.\r\n"
                             "                3. Click Next Button.";

struct Placed {
    int id;
    RECT dialogUnits; // left, top, width, height as the template gives them
};

std::string WindowText(HWND hWnd)
{
    char text[1024] = {};
    ::GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

} // namespace

TEST_F(MainWindowTest, StartsInStepOneWithTheStepOneInstructions)
{
    EXPECT_EQ(WindowText(dlg->m_hWnd), "Calvera Tessel for Excel");
    EXPECT_EQ(g_pMainDlg, dlg.get());
    EXPECT_EQ(dlg->m_nStep, 1);
    EXPECT_EQ(dlg->m_nNameMode, 1);
    EXPECT_EQ(dlg->m_bRunning.load(), 0);
    EXPECT_EQ(WindowText(Item(1015)), kStepOne);
    EXPECT_EQ(WindowText(Item(1021)), " Select All");

    EXPECT_TRUE(::IsWindowVisible(Item(1006))) << "source list";
    EXPECT_FALSE(::IsWindowVisible(Item(1005))) << "result list";
    EXPECT_TRUE(::IsWindowVisible(Item(1007))) << "Next";
    EXPECT_FALSE(::IsWindowVisible(Item(1009))) << "Back";
    EXPECT_TRUE(::IsWindowVisible(Item(1014))) << "Select All";
    EXPECT_FALSE(SelectAllTicked());

    wchar_t cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_EQ(dlg->m_strStartDir, cwd);
}

TEST_F(MainWindowTest, WindowStylesAreThoseOfTheTemplate)
{
    LONG style = ::GetWindowLongA(dlg->m_hWnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(::GetWindowLongA(dlg->m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(::SendMessageA(dlg->m_hWnd, WM_GETICON, ICON_BIG, 0),
              ::SendMessageA(dlg->m_hWnd, WM_QUERYDRAGICON, 0, 0));
    EXPECT_NE(::SendMessageA(dlg->m_hWnd, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(MainWindowTest, ControlsSitWhereTheTemplatePutsThem)
{
    const Placed placed[] = {
        {1000, {13, 12, 45, 43}},  {1001, {73, 12, 45, 43}},  {1002, {133, 12, 45, 43}},
        {1003, {193, 12, 45, 43}}, {1004, {253, 12, 45, 43}}, {1014, {7, 61, 8, 8}},
        {1021, {19, 60, 35, 10}},  {1006, {7, 74, 514, 169}}, {1005, {7, 71, 514, 169}},
        {1015, {51, 266, 314, 24}}, {1007, {461, 261, 33, 30}}, {1009, {461, 260, 33, 30}},
    };
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.id);
        // The dialog manager converts the position and the size each on its own.
        RECT at = {p.dialogUnits.left, p.dialogUnits.top, 0, 0};
        RECT size = {0, 0, p.dialogUnits.right, p.dialogUnits.bottom};
        ::MapDialogRect(dlg->m_hWnd, &at);
        ::MapDialogRect(dlg->m_hWnd, &size);
        RECT actual;
        ::GetWindowRect(Item(p.id), &actual);
        ::MapWindowPoints(nullptr, dlg->m_hWnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, at.left);
        EXPECT_EQ(actual.top, at.top);
        EXPECT_EQ(actual.right - actual.left, size.right);
        EXPECT_EQ(actual.bottom - actual.top, size.bottom);
    }
    // The picture link keeps its place but takes the size of its picture.
    RECT link;
    ::GetWindowRect(Item(1017), &link);
    EXPECT_EQ(link.right - link.left, 132);
    EXPECT_EQ(link.bottom - link.top, 59);
}

TEST_F(MainWindowTest, ListsHaveTheirColumnsInOrder)
{
    const std::vector<std::pair<std::string, int>> source = {
        {"File Name", 200},        {"File Location", 100},    {"File Size", 100}, {"Creation Time", 100},
        {"Last Access Time", 100}, {"Last Writen Time", 100}, {"file type", 100}};
    const std::vector<std::pair<std::string, int>> result = {{"Source File Name", 150},
                                                             {"Source File Path", 200},
                                                             {"Repaired File Name", 150},
                                                             {"Repaired File Path", 200},
                                                             {"Status", 200},
                                                             {"What Was Lost", 250}};
    auto check = [](CListCtrl& list, const std::vector<std::pair<std::string, int>>& columns) {
        ASSERT_EQ(list.GetColumnCount(), static_cast<int>(columns.size()));
        for (int i = 0; i < static_cast<int>(columns.size()); i++) {
            EXPECT_EQ(list.GetColumnText(i), columns[i].first);
            EXPECT_EQ(list.GetColumnWidth(i), columns[i].second) << columns[i].first;
            LVCOLUMNA col = {};
            col.mask = LVCF_FMT;
            ::SendMessageA(list.m_hWnd, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
            EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
        }
    };
    check(dlg->SourceList(), source);
    check(dlg->ResultList(), result);

    DWORD sourceEx = ListView_GetExtendedListViewStyle(Item(1006));
    DWORD resultEx = ListView_GetExtendedListViewStyle(Item(1005));
    EXPECT_EQ(sourceEx & (LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES), DWORD(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES));
    EXPECT_EQ(resultEx & (LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES), DWORD(LVS_EX_GRIDLINES));
    EXPECT_EQ(::GetWindowLongA(Item(1006), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_EQ(::GetWindowLongA(Item(1005), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
}

TEST_F(MainWindowTest, ResultListHasTheFourStatusImages)
{
    HIMAGELIST images = ListView_GetImageList(Item(1005), LVSIL_SMALL);
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 4);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
    EXPECT_NE(ListView_GetImageList(Item(1006), LVSIL_SMALL), nullptr) << "the shell's small icons";
}

TEST_F(MainWindowTest, SystemMenuEndsWithTheAboutItem)
{
    HMENU sys = ::GetSystemMenu(dlg->m_hWnd, FALSE);
    int count = ::GetMenuItemCount(sys);
    ASSERT_GE(count, 2);
    EXPECT_EQ(::GetMenuItemID(sys, count - 1), 16u);
    char text[128] = {};
    ::GetMenuStringA(sys, count - 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Calvera Tessel Excel...");
    EXPECT_TRUE(::GetMenuState(sys, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
}

TEST_F(MainWindowTest, MenuBarCarriesTheCommands)
{
    HMENU bar = ::GetMenu(dlg->m_hWnd);
    ASSERT_EQ(::GetMenuItemCount(bar), 3);
    const std::vector<std::vector<UINT>> ids = {{32771, 32780, 32772, 32773, 32774, 32781, 32775}, {32776, 32777}, {32778, 32779}};
    for (int p = 0; p < 3; p++) {
        HMENU popup = ::GetSubMenu(bar, p);
        ASSERT_EQ(::GetMenuItemCount(popup), static_cast<int>(ids[p].size()));
        for (size_t i = 0; i < ids[p].size(); i++)
            EXPECT_EQ(::GetMenuItemID(popup, static_cast<int>(i)), ids[p][i]);
    }
}

TEST_F(MainWindowTest, BackgroundPictureShowsWhereNoControlIs)
{
    HBITMAP background = dlg->BackgroundBitmap();
    ASSERT_NE(background, nullptr);
    BITMAP bm = {};
    ::GetObjectA(background, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 792);
    EXPECT_EQ(bm.bmHeight, 508);
    EXPECT_EQ(bm.bmBitsPixel, 24);

    ::SetWindowPos(dlg->m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::RedrawWindow(dlg->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(100);
    RECT client;
    ::GetClientRect(dlg->m_hWnd, &client);
    Dib shot(client.right, client.bottom);
    CaptureClient(dlg->m_hWnd, shot);
    // Wine's "MS Sans Serif" is a pixel shorter than Windows' so its client area is 467 pixels
    // high, not 505: the spots lie inside both.
    const POINT spots[] = {{3, 3}, {560, 100}, {600, 410}, {20, 460}, {787, 300}};
    for (POINT p : spots) {
        ASSERT_LT(p.x, client.right);
        ASSERT_LT(p.y, client.bottom);
        EXPECT_EQ(shot.Pixel(p.x, p.y), BitmapPixel(background, p.x, p.y)) << p.x << "," << p.y;
    }
}

TEST_F(MainWindowTest, EnterAndEscapeNeverCloseTheWindow)
{
    auto press = [&](WPARAM key) {
        ::SetFocus(Item(1006));
        ::PostMessageA(::GetFocus(), WM_KEYDOWN, key, 1);
        ::PostMessageA(::GetFocus(), WM_KEYUP, key, 0xC0000001);
        Pump(100);
        EXPECT_FALSE(dlg->IsEnding()) << key;
        EXPECT_TRUE(::IsWindow(dlg->m_hWnd));
    };
    {
        // Step 1: Enter runs Next even from the list; with nothing ticked Next explains.
        ModalAnswerer answer({ModalAnswerer::Press(IDOK)});
        press(VK_RETURN);
        ASSERT_EQ(answer.Count(), 1u);
        EXPECT_NE(answer.Seen()[0].text.find("No file selected to repair"), std::string::npos);
    }
    ModalAnswerer answer;
    press(VK_ESCAPE);
    dlg->m_nStep = 2;
    press(VK_RETURN);
    press(VK_ESCAPE);
    EXPECT_EQ(answer.Count(), 0u);
}

TEST_F(MainWindowTest, CloseBoxAsksBeforeExitingAndNoKeepsTheWindow)
{
    ModalAnswerer answer({ModalAnswerer::Press(IDNO)});
    ::SendMessageA(dlg->m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump(50);
    ASSERT_EQ(answer.Count(), 1u);
    EXPECT_EQ(answer.Seen()[0].caption, "Calvera Tessel for Excel");
    EXPECT_NE(answer.Seen()[0].text.find("Do you really want to exit ?"), std::string::npos);
    EXPECT_TRUE(::IsWindow(dlg->m_hWnd));
    EXPECT_FALSE(dlg->IsEnding());
}

TEST_F(MainWindowTest, MessagesUseTheMainWindowsBlock)
{
    RixBoxParams params = dlg->MessageParams("more");
    EXPECT_EQ(params.bkBox.nEffect, 12);
    EXPECT_EQ(params.bkBox.crColor1, 0x0086FDF7u);
    EXPECT_EQ(params.bkBox.crColor2, 0x00FFFFFFu);
    EXPECT_EQ(params.bkBox.crColor3, 0x0086FDF7u);
    EXPECT_NE(params.nButtonAlign, 0);
    EXPECT_NE(params.nButtonAlign, 1);
    EXPECT_STREQ(params.lpszMoreText, "more");
    EXPECT_EQ(params.nHeaderHeight, 0);
    EXPECT_EQ(params.dwStyle & 0xFF000000u, 0u);
}
