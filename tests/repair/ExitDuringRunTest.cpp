// Exit during a run, answered Yes, ends the real process with exit code 0 and leaves no half-written
// output. The process under test is this test program itself, started again with a scenario that
// runs a batch of large workbooks and closes the window while the worker copies.
#include "CfbWriter.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "repair/CompoundFile.h"
#include "res/resource.h"

#include <cstdlib>
#include <vector>

namespace {

const char* const kScenarioVariable = "TESSEL_EXIT_SCENARIO_OUTPUT";
constexpr int kBooks = 6;

} // namespace

// The scenario, run only in the child process.
TEST_F(MainWindowTest, ExitScenarioClosesTheWindowDuringARun)
{
    const char* output = std::getenv(kScenarioVariable);
    if (!output)
        GTEST_SKIP() << "run as a child process by ExitDuringRun";
    TempFolder sources;
    const std::string book = BuildWorkbook(60 << 20).bytes;
    for (int i = 0; i < kBooks; i++) {
        dlg->AddSourceFile(sources.WriteFile("big" + std::to_string(i) + ".xls", book));
        dlg->SourceList().SetCheck(i, TRUE);
    }
    {
        ModalAnswerer location({ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(output)});
        Command(IDC_NEXT);
    }
    ASSERT_EQ(dlg->m_nStep, 2);
    // Let the worker get into the batch, then close the window and confirm.
    PumpUntil([&] { return dlg->ResultList().GetItemText(1, 4) == "Repaired"; }, 60000, dlg.get());
    ModalAnswerer confirm({ModalAnswerer::Press(IDYES)});
    ::PostMessageA(dlg->m_hWnd, WM_CLOSE, 0, 0);
    Pump(60000);
    FAIL() << "the process should have ended";
}

TEST(ExitDuringRun, EndsTheProcessWithCodeZeroAndNoHalfWrittenOutput)
{
    TempFolder output;
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command =
        std::string("\"") + self + "\" --gtest_filter=MainWindowTest.ExitScenarioClosesTheWindowDuringARun";
    ::SetEnvironmentVariableA(kScenarioVariable, output.Path().c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    BOOL started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableA(kScenarioVariable, nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 240000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    ::GetExitCodeProcess(pi.hProcess, &exitCode);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    EXPECT_EQ(exitCode, 0u);

    std::vector<std::string> written = FilesIn(output.Path());
    EXPECT_GE(written.size(), 2u) << "the run had written its first copies";
    EXPECT_LT(written.size(), static_cast<size_t>(kBooks)) << "the run was stopped before its end";
    for (const std::string& name : written) {
        CompoundFileCheck check = CheckCompoundFile(output.File(name));
        EXPECT_TRUE(check.wellFormed) << name << ": " << check.problem;
    }
}
