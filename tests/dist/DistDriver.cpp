// Drives an installed or unpacked copy of the program from outside, as a user would: starts it with
// a shortcut's command and working folder (or a program and a folder), adds one workbook, ticks it,
// repairs it into the "Repaired" folder beside it and ends the program through File > Exit.
// It prints what it saw as "key=value" lines for the calling script to judge, and fails (exit code
// 1, "error=..." line) when a step does not happen in time.
//
//   dist_driver --link <shortcut.lnk> --workbook <path>
//   dist_driver --exe <program> --dir <working folder> --workbook <path>
#include "res/resource.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace {

PROCESS_INFORMATION g_process = {};

[[noreturn]] void Fail(const std::string& what)
{
    std::printf("error=%s\n", what.c_str());
    std::fflush(stdout);
    if (g_process.hProcess)
        ::TerminateProcess(g_process.hProcess, 3);
    std::exit(1);
}

void Print(const char* key, const std::string& value)
{
    std::printf("%s=%s\n", key, value.c_str());
    std::fflush(stdout);
}

// Polls until the test holds, for up to the given time.
bool WaitFor(const std::function<bool()>& test, DWORD ms)
{
    for (DWORD waited = 0;; waited += 50) {
        if (test())
            return true;
        if (waited >= ms)
            return false;
        ::Sleep(50);
    }
}

struct Link {
    std::string target, args, dir;
};

Link ReadLink(const std::string& path)
{
    Link link;
    IShellLinkA* shellLink = nullptr;
    if (FAILED(::CoCreateInstance(
            CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, reinterpret_cast<void**>(&shellLink))))
        Fail("no shell link object");
    IPersistFile* file = nullptr;
    shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    wchar_t wide[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (!file || FAILED(file->Load(wide, STGM_READ)))
        Fail("cannot read the shortcut " + path);
    char text[MAX_PATH * 2] = {};
    shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    link.target = text;
    text[0] = 0;
    shellLink->GetArguments(text, sizeof(text));
    link.args = text;
    text[0] = 0;
    shellLink->GetWorkingDirectory(text, MAX_PATH);
    link.dir = text;
    file->Release();
    shellLink->Release();
    return link;
}

// The version resource's strings and fixed numbers of the program.
void PrintVersion(const std::string& exe)
{
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &handle);
    if (size == 0) {
        Print("version", "none");
        return;
    }
    std::string data(size, '\0');
    ::GetFileVersionInfoA(exe.c_str(), 0, size, data.data());
    const char* keys[] = { "ProductName", "ProductVersion", "FileVersion", "CompanyName", "LegalCopyright" };
    for (const char* key : keys) {
        char* value = nullptr;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\040904b0\\") + key;
        if (::VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
            Print((std::string("version.") + key).c_str(), value);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        char text[64];
        std::snprintf(text, sizeof(text), "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
            HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        Print("version.fixed", text);
    }
}

// The program's visible dialog windows that have a control with this id.
HWND FindDialog(int controlId, HWND except = nullptr)
{
    struct Search {
        DWORD pid;
        int id;
        HWND except;
        HWND found;
    } search = { g_process.dwProcessId, controlId, except, nullptr };
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hWnd, &pid);
            char klass[32] = {};
            ::GetClassNameA(hWnd, klass, sizeof(klass));
            if (pid == s->pid && hWnd != s->except && std::strcmp(klass, "#32770") == 0 && ::IsWindowVisible(hWnd)
                && ::GetDlgItem(hWnd, s->id)) {
                s->found = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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

// A list-view cell of the other process, read through a block of its own memory.
std::string CellText(HWND list, int row, int column)
{
    struct Block {
        LVITEMA item;
        char text[512];
    };
    void* remote = ::VirtualAllocEx(g_process.hProcess, nullptr, sizeof(Block), MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        Fail("VirtualAllocEx");
    Block block = {};
    block.item.iSubItem = column;
    block.item.cchTextMax = sizeof(block.text);
    block.item.pszText = static_cast<Block*>(remote)->text;
    SIZE_T done = 0;
    ::WriteProcessMemory(g_process.hProcess, remote, &block, sizeof(block), &done);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote), SMTO_BLOCK, 5000, &result);
    ::ReadProcessMemory(g_process.hProcess, remote, &block, sizeof(block), &done);
    ::VirtualFreeEx(g_process.hProcess, remote, 0, MEM_RELEASE);
    block.text[sizeof(block.text) - 1] = 0;
    return block.text;
}

bool RowTicked(HWND list, int row)
{
    auto state = ::SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

std::string Arg(int argc, char** argv, const char* name)
{
    for (int i = 1; i + 1 < argc; i++)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    ::CoInitialize(nullptr);
    std::string exe = Arg(argc, argv, "--exe");
    std::string dir = Arg(argc, argv, "--dir");
    std::string args;
    const std::string workbook = Arg(argc, argv, "--workbook");
    if (std::string linkPath = Arg(argc, argv, "--link"); !linkPath.empty()) {
        Link link = ReadLink(linkPath);
        Print("link.target", link.target);
        Print("link.dir", link.dir);
        Print("link.args", link.args);
        exe = link.target;
        dir = link.dir;
        args = link.args;
    }
    if (exe.empty() || workbook.empty())
        Fail("usage: dist_driver --link <lnk> | --exe <program> --dir <folder>, --workbook <path>");
    PrintVersion(exe);

    const size_t slash = workbook.find_last_of('\\');
    const std::string folder = workbook.substr(0, slash);
    const std::string name = workbook.substr(slash + 1);

    std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
            dir.empty() ? nullptr : dir.c_str(), &startup, &g_process))
        Fail("cannot start " + exe);

    HWND main = nullptr;
    if (!WaitFor([&] { return (main = FindDialog(IDC_SOURCE_LIST)) != nullptr; }, 30000))
        Fail("no main window");
    Print("window", TextOf(main));
    HWND sources = ::GetDlgItem(main, IDC_SOURCE_LIST);
    HWND results = ::GetDlgItem(main, IDC_RESULT_LIST);

    // Add Files: into the workbook's folder, then its name, as typed into the dialog's name field.
    Press(main, IDC_ADD_FILES);
    HWND fileDialog = nullptr;
    if (!WaitFor([&] { return (fileDialog = FindDialog(IDOK, main)) != nullptr; }, 20000))
        Fail("no file dialog");
    HWND field = ::GetDlgItem(fileDialog, 0x47c) ? ::GetDlgItem(fileDialog, 0x47c) : ::GetDlgItem(fileDialog, 0x480);
    if (!field)
        Fail("the file dialog has no name field");
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    ::SendMessageA(
        fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(fileDialog, IDOK)));
    const std::string quoted = "\"" + name + "\"";
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(quoted.c_str()));
    Press(fileDialog, IDOK);
    if (!WaitFor([&] { return ::SendMessageA(sources, LVM_GETITEMCOUNT, 0, 0) == 1; }, 20000))
        Fail("the workbook did not reach the source list");
    Print("source.name", CellText(sources, 0, 0));

    // Tick it with Select All unless adding ticked it already.
    if (!RowTicked(sources, 0))
        ::SendMessageA(::GetDlgItem(main, IDC_SELECT_ALL), BM_CLICK, 0, 0);
    if (!WaitFor([&] { return RowTicked(sources, 0); }, 5000))
        Fail("the row could not be ticked");

    // Next, then the location dialog: the "Repaired" folder beside the workbook.
    Press(main, IDC_NEXT);
    HWND location = nullptr;
    if (!WaitFor([&] { return (location = FindDialog(IDC_OTHER_LOCATION, main)) != nullptr; }, 20000))
        Fail("no location dialog");
    ::SendMessageA(::GetDlgItem(location, IDC_SAME_LOCATION), BM_CLICK, 0, 0);
    Press(location, IDOK);

    if (!WaitFor([&] { return TextOf(::GetDlgItem(main, IDC_INSTRUCTIONS)).find("Done") != std::string::npos; }, 60000))
        Fail("the repair did not finish");
    Print("result.rows", std::to_string(::SendMessageA(results, LVM_GETITEMCOUNT, 0, 0)));
    Print("result.name", CellText(results, 0, 2));
    Print("result.folder", CellText(results, 0, 3));
    Print("result.status", CellText(results, 0, 4));

    // File > Exit asks first, then ends the program at once.
    ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(ID_FILE_EXIT, 0), 0);
    HWND question = nullptr;
    if (!WaitFor([&] { return (question = FindDialog(IDYES, main)) != nullptr; }, 20000))
        Fail("no exit question");
    Print("question", TextOf(question));
    Press(question, IDYES);
    if (::WaitForSingleObject(g_process.hProcess, 20000) != WAIT_OBJECT_0)
        Fail("the program did not end");
    DWORD code = 0;
    ::GetExitCodeProcess(g_process.hProcess, &code);
    Print("exit", std::to_string(code));
    ::CloseHandle(g_process.hThread);
    ::CloseHandle(g_process.hProcess);
    ::CoUninitialize();
    return 0;
}
