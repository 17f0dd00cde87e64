// Not a test: the main window as a user sees it after a drop from Explorer, and a saved report
// opened, for the screenshots of the help file and the README.
//   drop_gallery.exe drop    a folder tree and a text file dropped on the list (a real block of
//                            dropped files), with the notice about the file that was not added
//   drop_gallery.exe report  a report of a run, opened by the program the system opens .csv with
#include "app/RepairDlg.h"
#include "app/RunReport.h"
#include "app/SplashWindow.h"
#include "framework/PathText.h"
#include "repair/RepairJob.h"
#include "res/resource.h"

#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

void Write(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
}

// Wide names one after the other, ending in an empty one, as the shell hands them over.
HDROP DropBlock(const std::vector<std::wstring>& paths)
{
    std::wstring names;
    for (const std::wstring& path : paths)
        names += path + L'\0';
    names += L'\0';
    HGLOBAL hBlock = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(hBlock));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    ::GlobalUnlock(hBlock);
    return static_cast<HDROP>(hBlock);
}

int RunWindow(CRepairDlg& dlg)
{
    MSG msg;
    while (::IsWindow(dlg.m_hWnd) && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!dlg.PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES };
    ::InitCommonControlsEx(&icc);
    const std::wstring base = TemporaryFolder() + L"Quarterly books";
    const std::wstring region = base + L"\\Regions";
    ::CreateDirectoryW(base.c_str(), nullptr);
    ::CreateDirectoryW(region.c_str(), nullptr);
    const std::string fake(24576, 'x');
    for (const wchar_t* name : { L"Budget 2026.xls", L"Cash flow.xls", L"Payroll March.xls" })
        Write(base + L"\\" + name, fake);
    for (const wchar_t* name : { L"North.xls", L"South.xls", L"East.xls", L"West.xls" })
        Write(region + L"\\" + name, fake);
    Write(base + L"\\Read me.txt", "notes");

    if (std::strcmp(lpCmdLine, "report") == 0) {
        const std::wstring report = base + L"\\Repair report.csv";
        WriteReport(report,
            { { base + L"\\Budget 2026.xls", base + L"\\Repaired\\REP_Budget 2026.xls", L"Repaired", L"" },
                { base + L"\\Cash flow.xls", base + L"\\Repaired\\REP_Cash flow.xls", L"Repaired", L"" },
                { base + L"\\Payroll March.xls", L"", L"Failed", L"" },
                { region + L"\\North.xls", base + L"\\Repaired\\REP_North.xls", L"Repaired", L"" } });
        // Wine opens a .csv with its text editor; on Windows it is Excel.
        SHELLEXECUTEINFOW sei = {};
        sei.cbSize = sizeof(sei);
        sei.fMask = SEE_MASK_NOCLOSEPROCESS;
        sei.lpVerb = L"open";
        sei.lpFile = L"notepad.exe";
        const std::wstring quoted = L"\"" + report + L"\"";
        sei.lpParameters = quoted.c_str();
        sei.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExW(&sei) || !sei.hProcess)
            return 1;
        ::WaitForSingleObject(sei.hProcess, INFINITE);
        ::CloseHandle(sei.hProcess);
        return 0;
    }

    CSplashWindow::EnableSplash(FALSE);
    CRepairDlg dlg;
    if (!dlg.Create())
        return 1;
    ::SetWindowPos(dlg.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::PostMessageW(::GetDlgItem(dlg.m_hWnd, IDC_SOURCE_LIST), WM_DROPFILES,
        reinterpret_cast<WPARAM>(DropBlock({ base, base + L"\\Read me.txt" })), 0);
    return RunWindow(dlg);
}
