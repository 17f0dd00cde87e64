// Exit during a run, answered Yes, and a log-off during a run end the real process with exit code 0
// and leave no half-written output and no working copy. The process under test is this test
// program itself, started again with a scenario that runs a batch of workbooks and closes the
// window, or ends the session, while the worker is held half way through an output.
#include "BiffBuilder.h"
#include "ChildProcess.h"
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
const wchar_t* const kWayVariable = L"TESSEL_EXIT_SCENARIO_WAY";
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
    // The worker is held inside the third output (still under its temporary name), after its
    // first block.
    const std::wstring outputFolder = output;
    const std::wstring leaf = outputFolder.substr(outputFolder.find_last_of(L'\\') + 1);
    CopyGate gate([leaf, outputFolder](const std::wstring& path, uint64_t offset) {
        return offset > 0 && path.find(leaf + L"\\~tessel-") != std::wstring::npos && FilesIn(outputFolder).size() == 3;
    });
    {
        ModalAnswerer location({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(output) });
        Command(IDC_NEXT);
    }
    ASSERT_EQ(dlg->m_nStep, 2);
    ASSERT_TRUE(PumpUntil([&] { return gate.Held(); }, 60000, dlg.get()));
    ASSERT_EQ(FilesIn(outputFolder).size(), 3u) << "two whole outputs and the half-written one";
    ModalAnswerer confirm({ ModalAnswerer::Press(IDYES) });
    if (EnvironmentValue(kWayVariable) == L"endsession")
        ::PostMessageA(dlg->m_hWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    else
        ::PostMessageA(dlg->m_hWnd, WM_CLOSE, 0, 0);
    Pump(60000);
    FAIL() << "the process should have ended";
}

TEST(ExitDuringRun, EndsTheProcessWithCodeZeroAndNoHalfWrittenOutput)
{
    for (const wchar_t* way : { L"close", L"endsession" }) {
        SCOPED_TRACE(Utf8(way));
        TempFolder output, temp;
        ChildProcess child("MainWindowTest.ExitScenarioClosesTheWindowDuringARun",
            { { kScenarioVariable, output.Path() }, { kWayVariable, way }, { L"TMP", temp.Path() },
                { L"TEMP", temp.Path() } });
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(child.Wait(240000));
        EXPECT_EQ(child.ExitCode(), 0u);

        // The half-written third output is gone; the first two are whole.
        std::vector<std::wstring> written = FilesIn(output.Path());
        EXPECT_EQ(written, (std::vector<std::wstring> { L"REP_big0.xls", L"REP_big1.xls" }));
        for (const std::wstring& name : written) {
            CompoundFileCheck check = CheckCompoundFile(output.File(name));
            EXPECT_TRUE(check.wellFormed) << Utf8(name) << ": " << check.problem;
            EXPECT_GT(ReadWholeFile(output.File(name)).size(), static_cast<size_t>(3 << 20))
                << Utf8(name) << " is whole";
        }
        EXPECT_TRUE(FilesIn(temp.Path()).empty()) << "no working copy outlives the process";
    }
}
