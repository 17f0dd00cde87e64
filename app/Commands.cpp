// The commands around the wizard: exit, help, live update, the home page, the About box and the
// menu bar.
#include "../framework/PathText.h"
#include "../framework/Platform.h"
#include "../menu/PictureMenu.h"
#include "../repair/PathRules.h"
#include "../res/resource.h"
#include "AboutDlg.h"
#include "RepairDlg.h"
#include "Texts.h"

namespace {

constexpr int kMenuItemWidth = 150;
constexpr int kMenuItemHeight = 20;
constexpr int kMenuStyleTextWithBitmap = 3;

struct MenuItemDef {
    UINT id;
    const char* text;
    UINT bitmap;
};

// Ends this process at once with exit code 0: nothing further is saved or cleaned up.
[[noreturn]] void EndProcessNow()
{
    HANDLE hProcess = ::OpenProcess(PROCESS_TERMINATE, FALSE, ::GetCurrentProcessId());
    ::TerminateProcess(hProcess ? hProcess : ::GetCurrentProcess(), 0);
    ::ExitProcess(0);
}

} // namespace

void CRepairDlg::BuildMenuBar()
{
    const MenuItemDef file[] = {
        { ID_FILE_ADD, "Add Files", IDB_MENU_ADD_FILES },
        { ID_FILE_ADD_FOLDER, "Add Folder...", IDB_MENU_ADD_FOLDER },
        { ID_FILE_REMOVE_ALL, "Remove All Files", IDB_MENU_REMOVE_ALL },
        { ID_FILE_REMOVE_SELECTED, "Remove Selcted Files", IDB_MENU_REMOVE_SELECTED },
        { ID_FILE_REPAIR, "Repair", IDB_MENU_REPAIR },
        { ID_FILE_SAVE_REPORT, "Save Report...", IDB_MENU_SAVE_REPORT },
        { ID_FILE_EXIT, "Exit", IDB_MENU_EXIT },
    };
    const MenuItemDef tools[] = {
        { ID_TOOLS_SETTINGS, "Setting", IDB_MENU_SETTINGS },
        { ID_TOOLS_LIVE_UPDATE, "Liveupdate", IDB_MENU_LIVE_UPDATE },
    };
    const MenuItemDef help[] = {
        { ID_HELP_CONTENTS, "Help", IDB_MENU_HELP },
        { ID_HELP_ABOUT, "About", IDB_MENU_ABOUT },
    };
    struct PopupDef {
        CPictureMenu& menu;
        const char* title;
        const MenuItemDef* items;
        size_t count;
    } popups[] = {
        { m_menuFile, "&File", file, std::size(file) },
        { m_menuTools, "Tools", tools, std::size(tools) },
        { m_menuHelp, "Help", help, std::size(help) },
    };
    for (PopupDef& popup : popups) {
        popup.menu.CreatePopupMenu();
        popup.menu.SetItemWidth(kMenuItemWidth);
        popup.menu.SetItemHeight(kMenuItemHeight);
        popup.menu.SetStyle(kMenuStyleTextWithBitmap);
        for (size_t i = 0; i < popup.count; i++)
            popup.menu.AppendItem(0, popup.items[i].id, popup.items[i].text, popup.items[i].bitmap, 0);
    }
    HMENU hBar = ::GetMenu(m_hWnd);
    for (int i = 0; i < 3; i++)
        ::RemoveMenu(hBar, 0, MF_BYPOSITION);
    for (int i = 0; i < 3; i++)
        ::InsertMenuA(
            hBar, i, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popups[i].menu.m_hMenu), popups[i].title);
    ::DrawMenuBar(m_hWnd);
}

void CRepairDlg::OnExit()
{
    if (ShowMessage(texts::kExitQuestion, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // The worker stops within a moment; a copy it still writes is pending and goes with the process.
    StopWorker(kStopWait);
    EndProcessNow();
}

void CRepairDlg::OnEndSession()
{
    StopWorker(kStopWait);
    EndProcessNow();
}

std::wstring CRepairDlg::CompanionPath(const char* name) const
{
    // An unknown start folder means a missing companion, never one looked up at a drive root.
    return m_strStartDir.empty() ? std::wstring() : WithBackslash(m_strStartDir) + WidenText(name);
}

void CRepairDlg::OnHelp()
{
    std::wstring path = CompanionPath(texts::kHelpFile);
    if (path.empty() || IsPathFree(path)) {
        ShowMessage(texts::kHelpNotFound, MB_ICONINFORMATION);
        return;
    }
    ::ShellExecuteW(m_hWnd, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CRepairDlg::OnLiveUpdate()
{
    std::wstring path = CompanionPath(texts::kLiveUpdateProgram);
    if (path.empty() || IsPathFree(path)) {
        ShowMessage(texts::kLiveUpdateNotFound, MB_ICONINFORMATION);
        return;
    }
    if (ShowMessage(texts::kLiveUpdateQuestion, MB_YESNO | MB_ICONQUESTION) == IDNO)
        return;
    ::ShellExecuteW(
        m_hWnd, L"open", path.c_str(), WidenText(texts::kLiveUpdateParameter).c_str(), nullptr, SW_SHOWNORMAL);
    // The updater takes over; a copy being written is finished or removed first.
    StopWorker(kStopWait);
    EndProcessNow();
}

void CRepairDlg::OnHomeLink()
{
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_FLAG_NO_UI;
    sei.hwnd = m_hWnd;
    sei.lpVerb = "open";
    sei.lpFile = texts::kHomePage;
    sei.nShow = SW_SHOWMAXIMIZED;
    ::ShellExecuteExA(&sei);
}

void CRepairDlg::OnAbout()
{
    CAboutDlg about(m_hWnd);
    about.DoModal();
}
