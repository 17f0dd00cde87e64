// Drives an installed or unpacked copy of the program from outside, as a user would: starts it with a
// shortcut's command and working folder (or a program and a folder), adds one workbook, ticks it,
// repairs it into the "Repaired" folder beside it and ends the program through File > Exit.
// Prints what it saw as "key=value" lines for the calling script to judge; a step that does not
// happen in time ends it with an "error=" line and exit code 1.
//   dist_driver <shortcut.lnk> <workbook>   or   dist_driver <program.exe> <folder> <workbook>
#include "msgbox/RixMessageBox.h"
#include "res/resource.h"

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace {

PROCESS_INFORMATION g_process = {};

void Print(const std::string& key, const std::string& value)
{
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}

[[noreturn]] void Fail(const std::string& what)
{
    Print("error", what);
    if (g_process.hProcess)
        ::TerminateProcess(g_process.hProcess, 3);
    std::exit(1);
}

void Await(const std::function<bool()>& test, DWORD ms, const char* what)
{
    for (DWORD waited = 0; !test(); waited += 50) {
        if (waited >= ms)
            Fail(what);
        ::Sleep(50);
    }
}

// The shortcut's command, arguments and working folder, as the shell reads them.
void ReadLink(const std::string& path, std::string& exe, std::string& args, std::string& dir)
{
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (FAILED(::CoCreateInstance(
            CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, reinterpret_cast<void**>(&link)))
        || FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))
        || FAILED(file->Load(wide, STGM_READ)))
        Fail("cannot read the shortcut " + path);
    char text[3][MAX_PATH] = {};
    link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(text[1], MAX_PATH);
    link->GetWorkingDirectory(text[2], MAX_PATH);
    exe = text[0], args = text[1], dir = text[2];
    file->Release();
    link->Release();
}

void PrintVersion(const std::string& exe)
{
    DWORD handle = 0;
    std::string data(::GetFileVersionInfoSizeA(exe.c_str(), &handle), '\0');
    if (data.empty() || !::GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()))
        return;
    for (const char* key : { "ProductName", "ProductVersion", "CompanyName" }) {
        char* value = nullptr;
        UINT length = 0;
        if (::VerQueryValueA(data.data(), (std::string("\\StringFileInfo\\040904b0\\") + key).c_str(),
                reinterpret_cast<void**>(&value), &length))
            Print(std::string("version.") + key, value);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        Print("version.fixed",
            std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "."
                + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "."
                + std::to_string(LOWORD(fixed->dwFileVersionLS)));
}

// A visible dialog of the program, other than the main window, with a control of this id.
HWND FindDialog(int controlId, HWND except = nullptr)
{
    struct Search {
        int id;
        HWND except, found;
    } search = { controlId, except, nullptr };
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hWnd, &pid);
            char klass[32] = {};
            ::GetClassNameA(hWnd, klass, sizeof(klass));
            if (pid == g_process.dwProcessId && hWnd != s->except && std::strcmp(klass, "#32770") == 0
                && ::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, s->id))
                s->found = hWnd;
            return !s->found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND AwaitDialog(int controlId, HWND except, const char* what)
{
    HWND found = nullptr;
    Await([&] { return (found = FindDialog(controlId, except)) != nullptr; }, 20000, what);
    return found;
}

void Press(HWND dialog, int id)
{
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::string TextOf(HWND hWnd)
{
    char text[1024] = {};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &result);
    return text;
}

// A list-view cell of the other process, read through a block of that process's memory.
std::string CellText(HWND list, int row, int column)
{
    struct Block {
        LVITEMA item;
        char text[512];
    } block = {};
    auto* remote
        = static_cast<Block*>(::VirtualAllocEx(g_process.hProcess, nullptr, sizeof(Block), MEM_COMMIT, PAGE_READWRITE));
    if (!remote)
        Fail("VirtualAllocEx");
    block.item.iSubItem = column;
    block.item.cchTextMax = sizeof(block.text);
    block.item.pszText = remote->text;
    SIZE_T done = 0;
    DWORD_PTR result = 0;
    ::WriteProcessMemory(g_process.hProcess, remote, &block, sizeof(block), &done);
    ::SendMessageTimeoutA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote), SMTO_BLOCK, 5000, &result);
    ::ReadProcessMemory(g_process.hProcess, remote, &block, sizeof(block), &done);
    ::VirtualFreeEx(g_process.hProcess, remote, 0, MEM_RELEASE);
    block.text[sizeof(block.text) - 1] = 0;
    return block.text;
}

bool RowTicked(HWND list, int row)
{
    return (::SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK)
        == INDEXTOSTATEIMAGEMASK(2);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4)
        Fail("usage: dist_driver <shortcut.lnk> <workbook> | <program.exe> <folder> <workbook>");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ::CoInitialize(nullptr);
    std::string exe = argv[1], args, dir = argc == 4 ? argv[2] : "";
    const std::string workbook = argv[argc - 1];
    if (argc == 3) {
        ReadLink(argv[1], exe, args, dir);
        Print("link.target", exe);
        Print("link.dir", dir);
        Print("link.args", args);
    }
    PrintVersion(exe);

    std::string commandLine = "\"" + exe + "\"";
    if (!args.empty())
        commandLine.append(" ").append(args);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
            dir.empty() ? nullptr : dir.c_str(), &startup, &g_process))
        Fail("cannot start " + exe);
    HWND main = nullptr;
    Await([&] { return (main = FindDialog(IDC_SOURCE_LIST)) != nullptr; }, 30000, "no main window");
    Print("window", TextOf(main));
    HWND sources = ::GetDlgItem(main, IDC_SOURCE_LIST);
    HWND results = ::GetDlgItem(main, IDC_RESULT_LIST);

    // Add Files: the workbook's folder typed into the name field and confirmed, then its name.
    Press(main, IDC_ADD_FILES);
    HWND files = AwaitDialog(IDOK, main, "no file dialog");
    HWND field = ::GetDlgItem(files, 0x47c) ? ::GetDlgItem(files, 0x47c) : ::GetDlgItem(files, 0x480);
    const size_t slash = workbook.find_last_of('\\');
    const std::string folder = workbook.substr(0, slash);
    std::string name = "\"";
    name.append(workbook, slash + 1).append("\"");
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    ::SendMessageA(
        files, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(files, IDOK)));
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    Press(files, IDOK);
    Await([&] { return ::SendMessageA(sources, LVM_GETITEMCOUNT, 0, 0) == 1; }, 20000, "no row for the workbook");
    Print("source.name", CellText(sources, 0, 0));

    // Rows come unticked: Select All ticks it.
    if (!RowTicked(sources, 0))
        ::SendMessageA(::GetDlgItem(main, IDC_SELECT_ALL), BM_CLICK, 0, 0);
    Await([&] { return RowTicked(sources, 0); }, 5000, "the row could not be ticked");

    // Next, then the location dialog: the "Repaired" folder beside the workbook.
    Press(main, IDC_NEXT);
    HWND location = AwaitDialog(IDC_OTHER_LOCATION, main, "no location dialog");
    ::SendMessageA(::GetDlgItem(location, IDC_SAME_LOCATION), BM_CLICK, 0, 0);
    Press(location, IDOK);
    Await([&] { return TextOf(::GetDlgItem(main, IDC_INSTRUCTIONS)).find("Done") != std::string::npos; }, 60000,
        "the repair did not finish");
    Print("result.rows", std::to_string(::SendMessageA(results, LVM_GETITEMCOUNT, 0, 0)));
    Print("result.name", CellText(results, 0, 2));
    Print("result.status", CellText(results, 0, 4));

    // The run's summary follows; its Close button ends it.
    HWND summary = AwaitDialog(RIXID_CUSTOM3, main, "no summary of the run");
    Print("summary.close", TextOf(::GetDlgItem(summary, RIXID_CUSTOM3)));
    Press(summary, RIXID_CUSTOM3);
    Await([&] { return !::IsWindow(summary); }, 10000, "the summary did not close");

    // File > Exit asks first, then ends the program at once.
    ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(ID_FILE_EXIT, 0), 0);
    HWND question = AwaitDialog(IDYES, main, "no exit question");
    Print("question", TextOf(question));
    Press(question, IDYES);
    if (::WaitForSingleObject(g_process.hProcess, 20000) != WAIT_OBJECT_0)
        Fail("the program did not end");
    DWORD code = 0;
    ::GetExitCodeProcess(g_process.hProcess, &code);
    Print("exit", std::to_string(code));
    return 0;
}
