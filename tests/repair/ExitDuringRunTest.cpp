// Exit during a run, answered Yes, ends the real process with exit code 0 and leaves no half-written
// output. The process under test is this test program itself, started again with a scenario that
// runs a batch of workbooks and closes the window while the worker is held half way through an
// output.
#include "BiffBuilder.h"
#include "CopyGate.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "repair/CompoundFile.h"
#include "res/resource.h"

#include <cstdlib>
#include <vector>

namespace {

const wchar_t* const kScenarioVariable = L"TESSEL_EXIT_SCENARIO_OUTPUT";
constexpr int kBooks = 6;

} // namespace

// The scenario, run only in the child process.
TEST_F(MainWindowTest, ExitScenarioClosesTheWindowDuringARun)
{
    const wchar_t* output = _wgetenv(kScenarioVariable);
    if (!output)
        GTEST_SKIP() << "run as a child process by ExitDuringRun";
    TempFolder sources;
    // A few blocks each, so that the held output is half written; real cells, so that each copy
    // reads back whole.
    const std::string book = BuildWorkbookFile(NumbersWorkbook(3 << 20)).bytes;
    for (int i = 0; i < kBooks; i++) {
        dlg->AddSourceFile(sources.WriteFile(L"big" + std::to_wstring(i) + L".xls", book));
        dlg->SourceList().SetCheck(i, TRUE);
    }
    // The worker is held inside the third output, after its first block.
    const std::wstring outputFolder = output;
    const std::wstring leaf = outputFolder.substr(outputFolder.find_last_of(L'\\') + 1);
    CopyGate gate([leaf](const std::wstring& path, uint64_t offset) {
        return offset > 0 && path.find(leaf + L"\\REP_big2.xls") != std::wstring::npos;
    });
    {
        ModalAnswerer location({ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(output)});
        Command(IDC_NEXT);
    }
    ASSERT_EQ(dlg->m_nStep, 2);
    ASSERT_TRUE(PumpUntil([&] { return gate.Held(); }, 60000, dlg.get()));
    ASSERT_EQ(FilesIn(outputFolder).size(), 3u) << "two whole outputs and the half-written one";
    ModalAnswerer confirm({ModalAnswerer::Press(IDYES)});
    ::PostMessageA(dlg->m_hWnd, WM_CLOSE, 0, 0);
    Pump(60000);
    FAIL() << "the process should have ended";
}

TEST(ExitDuringRun, EndsTheProcessWithCodeZeroAndNoHalfWrittenOutput)
{
    TempFolder output;
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        std::wstring(L"\"") + self + L"\" --gtest_filter=MainWindowTest.ExitScenarioClosesTheWindowDuringARun";
    ::SetEnvironmentVariableW(kScenarioVariable, output.Path().c_str());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableW(kScenarioVariable, nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 240000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    ::GetExitCodeProcess(pi.hProcess, &exitCode);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    EXPECT_EQ(exitCode, 0u);

    // The half-written third output is gone; the first two are whole.
    std::vector<std::wstring> written = FilesIn(output.Path());
    EXPECT_EQ(written, (std::vector<std::wstring> {L"REP_big0.xls", L"REP_big1.xls"}));
    for (const std::wstring& name : written) {
        CompoundFileCheck check = CheckCompoundFile(output.File(name));
        EXPECT_TRUE(check.wellFormed) << Utf8(name) << ": " << check.problem;
        EXPECT_GT(ReadWholeFile(output.File(name)).size(), static_cast<size_t>(3 << 20)) << Utf8(name) << " is whole";
    }
}
