// Exit and live update end the real program's process with exit code 0. The program runs from a
// start folder of its own, named in letters the ANSI code page lacks, driven with messages as a
// user's clicks would.
#include "TempFolder.h"
#include "framework/Platform.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Found {
    DWORD pid;
    HWND main = nullptr;
    HWND box = nullptr; // a message box: a dialog with a Yes button
};

BOOL CALLBACK FindWindows(HWND hWnd, LPARAM lParam)
{
    auto* found = reinterpret_cast<Found*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid != found->pid || !::IsWindowVisible(hWnd))
        return TRUE;
    char klass[32] = {};
    ::GetClassNameA(hWnd, klass, sizeof(klass));
    if (std::string(klass) != "#32770")
        return TRUE;
    if (::GetDlgItem(hWnd, IDYES))
        found->box = hWnd;
    else if (::GetDlgItem(hWnd, IDC_SOURCE_LIST))
        found->main = hWnd;
    return TRUE;
}

std::wstring Folder(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

class RealProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        ASSERT_TRUE(::CreateDirectoryW(StartFolder().c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\CalveraTessel.exe").c_str(),
                                StartFile(L"CalveraTessel.exe").c_str(), FALSE));
        standIn = Folder(self) + L"\\live_update_standin.exe";
    }
    void TearDown() override
    {
        if (pi.hProcess) {
            ::TerminateProcess(pi.hProcess, 1);
            ::WaitForSingleObject(pi.hProcess, 5000);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
    void Start()
    {
        std::wstring command = StartFile(L"CalveraTessel.exe");
        command.insert(command.begin(), L'"');
        command.append(L"\" /Embedding");
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     StartFolder().c_str(), &si, &pi));
        ASSERT_NE(Wait([this](const Found& f) { return f.main != nullptr; }).main, nullptr);
    }
    template <class Condition>
    Found Wait(Condition condition, int timeoutMs = 20000)
    {
        Found found{pi.dwProcessId};
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            found = Found{pi.dwProcessId};
            ::EnumWindows(&FindWindows, reinterpret_cast<LPARAM>(&found));
            if (condition(found))
                return found;
            ::Sleep(50);
        }
        return found;
    }
    // Sends the program a command and answers the question it asks.
    void CommandAndAnswer(UINT message, WPARAM wParam, int answer)
    {
        HWND main = Wait([](const Found& f) { return f.main != nullptr; }).main;
        ::PostMessageA(main, message, wParam, 0);
        HWND box = Wait([](const Found& f) { return f.box != nullptr; }).box;
        ASSERT_NE(box, nullptr) << "the program asks first";
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
    // The process's exit code once it has ended, or -1 when it still runs.
    long ExitCode(int timeoutMs)
    {
        if (::WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(pi.hProcess, &code);
        return static_cast<long>(code);
    }

    // Cyrillic, Greek and an emoji: none of them is in the ANSI code page.
    std::wstring StartFolder() const { return start.File(L"Запуск Εκκίνηση \U0001F680"); }
    std::wstring StartFile(const std::wstring& name) const { return StartFolder() + L"\\" + name; }

    TempFolder start;
    std::wstring standIn;
    PROCESS_INFORMATION pi{};
};

} // namespace

TEST_F(RealProgram, ExitFromTheMenuAnsweredNoKeepsItAndYesEndsWithCodeZero)
{
    Start();
    CommandAndAnswer(WM_COMMAND, ID_FILE_EXIT, IDNO);
    EXPECT_EQ(ExitCode(1500), -1) << "still running";
    CommandAndAnswer(WM_COMMAND, ID_FILE_EXIT, IDYES);
    EXPECT_EQ(ExitCode(10000), 0);
}

TEST_F(RealProgram, CloseBoxAsksAndYesEndsWithCodeZero)
{
    Start();
    CommandAndAnswer(WM_SYSCOMMAND, SC_CLOSE, IDNO);
    EXPECT_EQ(ExitCode(1500), -1);
    CommandAndAnswer(WM_CLOSE, 0, IDYES);
    EXPECT_EQ(ExitCode(10000), 0);
}

TEST_F(RealProgram, LiveUpdateAnsweredYesStartsTheUpdaterWithItsParameterAndEnds)
{
    ASSERT_TRUE(::CopyFileW(standIn.c_str(), StartFile(L"Tessel Live Update.exe").c_str(), FALSE));
    Start();
    CommandAndAnswer(WM_COMMAND, IDC_LIVE_UPDATE, IDNO);
    EXPECT_EQ(ExitCode(1500), -1) << "No returns to the program";
    EXPECT_EQ(ReadWholeFile(StartFile(L"liveupdate-args.txt")), "");
    CommandAndAnswer(WM_COMMAND, ID_TOOLS_LIVE_UPDATE, IDYES);
    EXPECT_EQ(ExitCode(10000), 0);
    std::string args;
    for (int i = 0; i < 100 && args.empty(); i++) {
        ::Sleep(50);
        args = ReadWholeFile(StartFile(L"liveupdate-args.txt"));
    }
    EXPECT_EQ(args, "<MEBAX>\n");
}
