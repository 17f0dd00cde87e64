// The commands of the main window: the same action from its button and its menu item, the menu
// bar, help, the About box, live update and exit.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "Registry.h"
#include "TempFolder.h"
#include "menu/PictureMenu.h"
#include "res/resource.h"

#include <algorithm>

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class Commands : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        // A start folder without help file or live-update program.
        dlg->m_strStartDir = empty.Path();
    }
    // Runs a command and returns what the dialog it opened showed (answering it with Cancel).
    SeenDialog Opened(int id)
    {
        ModalAnswerer answer({ModalAnswerer::Press(IDCANCEL)});
        Command(id);
        Pump(50);
        EXPECT_EQ(answer.Count(), 1u) << id;
        return answer.Count() ? answer.Seen()[0] : SeenDialog{};
    }
    TempFolder empty;
};

} // namespace

TEST_F(Commands, ToolbarButtonAndMenuItemRunTheSameCommand)
{
    struct Pair {
        int button;
        int menu;
        const char* shows;
    } pairs[] = {
        {IDC_ADD_FILES, ID_FILE_ADD, "Calvera Tessel for Excel"},
        {IDC_REMOVE_ALL, ID_FILE_REMOVE_ALL, "No item to remove"},
        {IDC_REMOVE_SELECTED, ID_FILE_REMOVE_SELECTED, "No item to remove"},
        {IDC_SETTINGS, ID_TOOLS_SETTINGS, "Calvera Tessel for Excel(File name setting)"},
        {IDC_LIVE_UPDATE, ID_TOOLS_LIVE_UPDATE, "Live Update file not found. Please re-instaill the software."},
        {IDC_NEXT, ID_FILE_REPAIR, "No file selected to repair"},
    };
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.shows);
        SeenDialog fromButton = Opened(pair.button);
        SeenDialog fromMenu = Opened(pair.menu);
        EXPECT_TRUE(Contains(fromButton.caption + "\n" + fromButton.text, pair.shows));
        EXPECT_EQ(fromButton.caption, fromMenu.caption);
        EXPECT_EQ(fromButton.text, fromMenu.text);
    }
}

TEST_F(Commands, SettingsAndListCommandsDoNothingInStepTwoButLiveUpdateStillWorks)
{
    dlg->m_nStep = 2;
    {
        ModalAnswerer answer;
        for (int id : {IDC_SETTINGS, ID_TOOLS_SETTINGS, IDC_ADD_FILES, ID_FILE_REMOVE_ALL})
            Command(id);
        EXPECT_EQ(answer.Count(), 0u);
    }
    EXPECT_TRUE(Contains(Opened(ID_TOOLS_LIVE_UPDATE).text, "Live Update file not found"));
}

TEST_F(Commands, MenuBarIsThreeOwnerDrawnPopupsWithTheirPictures)
{
    HMENU bar = ::GetMenu(dlg->m_hWnd);
    ASSERT_EQ(::GetMenuItemCount(bar), 3);
    const char* titles[] = {"&File", "Tools", "Help"};
    const std::vector<std::vector<std::pair<UINT, std::string>>> items = {
        {{ID_FILE_ADD, "Add Files"},
         {ID_FILE_ADD_FOLDER, "Add Folder..."},
         {ID_FILE_REMOVE_ALL, "Remove All Files"},
         {ID_FILE_REMOVE_SELECTED, "Remove Selcted Files"},
         {ID_FILE_REPAIR, "Repair"},
         {ID_FILE_SAVE_REPORT, "Save Report..."},
         {ID_FILE_EXIT, "Exit"}},
        {{ID_TOOLS_SETTINGS, "Setting"}, {ID_TOOLS_LIVE_UPDATE, "Liveupdate"}},
        {{ID_HELP_CONTENTS, "Help"}, {ID_HELP_ABOUT, "About"}},
    };
    for (int p = 0; p < 3; p++) {
        char title[64] = {};
        ::GetMenuStringA(bar, p, title, sizeof(title), MF_BYPOSITION);
        EXPECT_STREQ(title, titles[p]);
        HMENU popup = ::GetSubMenu(bar, p);
        auto* menu = dynamic_cast<CPictureMenu*>(CMenu::FromHandlePermanent(popup));
        ASSERT_NE(menu, nullptr) << titles[p];
        ASSERT_EQ(::GetMenuItemCount(popup), static_cast<int>(items[p].size()));
        for (size_t i = 0; i < items[p].size(); i++) {
            MENUITEMINFOA info = {};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA;
            ASSERT_TRUE(::GetMenuItemInfoA(popup, static_cast<UINT>(i), TRUE, &info));
            EXPECT_EQ(info.wID, items[p][i].first);
            EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
            // The item data starts with the item's text.
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.dwItemData)), items[p][i].second);
            MEASUREITEMSTRUCT mis = {};
            mis.CtlType = ODT_MENU;
            mis.itemID = info.wID;
            mis.itemData = info.dwItemData;
            ::SendMessageA(dlg->m_hWnd, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
            EXPECT_EQ(mis.itemWidth, 150u);
            EXPECT_EQ(mis.itemHeight, 20u);
        }
    }
}

TEST_F(Commands, HelpWithoutTheHelpFileSaysSoFromMenuAndHelpKey)
{
    EXPECT_EQ(Opened(ID_HELP_CONTENTS).text, " Calvera Tessel for Excel.chm not found");
    ModalAnswerer answer({ModalAnswerer::Press(IDOK)});
    ::PostMessageA(Item(IDC_SOURCE_LIST), 0x004D /* the help key */, 0, 0);
    Pump(150);
    ASSERT_EQ(answer.Count(), 1u);
    EXPECT_EQ(answer.Seen()[0].text, " Calvera Tessel for Excel.chm not found");
}

TEST_F(Commands, RealHelpKeyOpensHelpInBothSteps)
{
    for (int step : {1, 2}) {
        dlg->m_nStep = step;
        ModalAnswerer answer({ModalAnswerer::Press(IDOK)});
        ::SetForegroundWindow(dlg->m_hWnd);
        Pump(100);
        ::SetFocus(Item(step == 1 ? IDC_SOURCE_LIST : IDC_RESULT_LIST));
        // Real input: the system sends the help key's own message only for a key really pressed.
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
        Pump(300);
        ASSERT_EQ(answer.Count(), 1u) << "step " << step;
        EXPECT_EQ(answer.Seen()[0].text, " Calvera Tessel for Excel.chm not found");
    }
}

TEST_F(Commands, HelpFileIsShippedBesideTheProgram)
{
    std::string help = ReadWholeFile(ProgramFolder() + L"\\Calvera Tessel for Excel.chm");
    ASSERT_GT(help.size(), 4096u);
    EXPECT_EQ(help.substr(0, 4), "ITSF") << "a compiled HTML help file";
}

TEST_F(Commands, AboutBoxFromTheHelpMenuAndTheSystemMenu)
{
    for (bool systemMenu : {false, true}) {
        ModalAnswerer answer({ModalAnswerer::Press(IDOK)});
        if (systemMenu)
            ::SendMessageA(dlg->m_hWnd, WM_SYSCOMMAND, IDM_SYS_ABOUT, 0);
        else
            Command(ID_HELP_ABOUT);
        ASSERT_EQ(answer.Count(), 1u);
        const SeenDialog& about = answer.Seen()[0];
        EXPECT_EQ(about.caption, "About Calvera Tessel for Excel");
        for (const char* part : {"Calvera Tessel for Excel", "Version", "Copyright", "https://calvera-tessel.example/",
                                 "support@calvera-tessel.example"})
            EXPECT_TRUE(Contains(about.text, part)) << part;
    }
}

namespace {

// Points the "open" command of https addresses at a program for as long as it lives. Windows reads
// the user's own classes first; Wine (8.0) reads only the machine's, so both are set, and both are
// put back as they were.
class HttpsHandler {
public:
    explicit HttpsHandler(const std::string& command)
    {
        SetDefaultValue(HKEY_LOCAL_MACHINE, kKey, command);
        SetDefaultValue(HKEY_CURRENT_USER, kKey, command);
    }

private:
    static constexpr const char* kKey = "Software\\Classes\\https\\shell\\open\\command";
    RegistrySnapshot m_machine { HKEY_LOCAL_MACHINE, "Software\\Classes\\https" };
    RegistrySnapshot m_user { HKEY_CURRENT_USER, "Software\\Classes\\https" };
};

} // namespace

TEST_F(Commands, PictureLinkOpensTheHomePageWithTheShell)
{
    TempFolder browser;
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\..\\tests\\live_update_standin.exe").c_str(),
                            browser.File(L"browser.exe").c_str(), FALSE));
    std::string args;
    {
        HttpsHandler handler(std::string("\"").append(Ansi(browser.File(L"browser.exe"))).append("\" \"%1\""));
        ModalAnswerer answer;
        Command(IDC_HOME_LINK);
        Pump(100);
        EXPECT_EQ(answer.Count(), 0u) << "no message, whatever the shell does";
        for (int i = 0; i < 100 && args.empty(); i++) {
            Pump(50);
            args = ReadWholeFile(browser.File(L"liveupdate-args.txt"));
        }
    }
    EXPECT_EQ(args, "https://calvera-tessel.example/\n");
}

TEST_F(Commands, OneClickAndOneDoubleClickOnThePictureLinkOpenOnePageEach)
{
    TempFolder browser;
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\..\\tests\\live_update_standin.exe").c_str(),
                            browser.File(L"browser.exe").c_str(), FALSE));
    HttpsHandler handler(std::string("\"").append(Ansi(browser.File(L"browser.exe"))).append("\" \"%1\""));
    ModalAnswerer answer;
    HWND hLink = Item(IDC_HOME_LINK);
    auto pages = [&] {
        std::string args = ReadWholeFile(browser.File(L"liveupdate-args.txt"));
        return std::count(args.begin(), args.end(), '\n');
    };
    const LPARAM inside = MAKELPARAM(5, 5);
    const std::vector<std::vector<UINT>> gestures = {{WM_LBUTTONDOWN, WM_LBUTTONUP},
                                                     {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}};
    for (size_t i = 0; i < gestures.size(); i++) {
        for (UINT message : gestures[i])
            ::SendMessageA(hLink, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, inside);
        for (int wait = 0; wait < 200 && pages() <= static_cast<long>(i); wait++)
            Pump(50);
        // Then long enough for a second browser to have started, had one been asked for.
        for (int wait = 0; wait < 30; wait++)
            Pump(50);
        EXPECT_EQ(pages(), static_cast<long>(i + 1)) << "after gesture " << i;
    }
}
