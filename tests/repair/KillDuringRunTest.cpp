// The program's process ended from outside (TerminateProcess, as a crash, a kill or a power cut
// of the process would end it) at random points of a batch of large workbooks: afterwards the
// output folder holds only whole copies under their final names, and the temporary folder no
// working copy. The process under test is this test program, started again with a scenario that
// runs the batch through the real window.
#include "BatchRunFixture.h"
#include "BiffBuilder.h"
#include "ChildProcess.h"
#include "bench/Seconds.h"
#include "repair/OutputFile.h"
#include "repair/RepairSteps.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>

namespace {

const wchar_t* const kSourcesVariable = L"TESSEL_KILL_SOURCES";
const wchar_t* const kOutputVariable = L"TESSEL_KILL_OUTPUT";
const wchar_t* const kEventVariable = L"TESSEL_KILL_EVENT";
const wchar_t* const kDoneVariable = L"TESSEL_KILL_DONE";
const wchar_t* const kGoVariable = L"TESSEL_KILL_GO";
constexpr int kKills = 10;

// One round's process, started ahead of its turn (while the round before is judged) and held on an
// event until then, so that starting a process does not add to every round; with its own output
// and temporary folders.
struct KillRound {
    KillRound(int round, const std::wstring& sources)
    {
        const std::wstring name
            = L"TesselKillScenario-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(round);
        started = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        done = ::CreateEventW(nullptr, TRUE, FALSE, (name + L"-done").c_str());
        go = ::CreateEventW(nullptr, TRUE, FALSE, (name + L"-go").c_str());
        if (started && done && go)
            child = std::make_unique<ChildProcess>("BatchRun.KillScenarioRunsABatch",
                ChildProcess::Environment { { kSourcesVariable, sources }, { kOutputVariable, output.Path() },
                    { kEventVariable, name }, { kDoneVariable, name + L"-done" }, { kGoVariable, name + L"-go" },
                    { L"TMP", temp.Path() }, { L"TEMP", temp.Path() } });
    }
    ~KillRound()
    {
        child.reset();
        for (HANDLE event : { started, done, go })
            if (event)
                ::CloseHandle(event);
    }
    KillRound(const KillRound&) = delete;
    KillRound& operator=(const KillRound&) = delete;

    TempFolder output, temp;
    HANDLE started = nullptr, done = nullptr, go = nullptr;
    std::unique_ptr<ChildProcess> child;
};

} // namespace

// The scenario, run only in the child process: the whole batch, unless it is ended first.
TEST_F(BatchRun, KillScenarioRunsABatch)
{
    const std::wstring sources = EnvironmentValue(kSourcesVariable);
    if (sources.empty())
        GTEST_SKIP() << "run as a child process by KillDuringRun";
    // Started ahead of its turn, with the workbooks listed and the folder browser open: the output
    // folder is chosen, and the run begun, when the test says so. The choice waits because the
    // browser lists the temporary folder as it finds the output folder there, where the test is
    // still removing the round before's folders until then.
    HANDLE go = ::OpenEventW(SYNCHRONIZE, FALSE, EnvironmentValue(kGoVariable).c_str());
    ASSERT_NE(go, nullptr);
    AddTickedFolder(sources);
    HANDLE started = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, EnvironmentValue(kEventVariable).c_str());
    ASSERT_NE(started, nullptr);
    bool turn = false;
    StartRunInto(EnvironmentValue(kOutputVariable), [&] { turn = ::WaitForSingleObject(go, 600000) == WAIT_OBJECT_0; });
    ::CloseHandle(go);
    ASSERT_TRUE(turn);
    ASSERT_TRUE(dlg->m_bRunning.load());
    ::SetEvent(started);
    ::CloseHandle(started);
    ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 240000, dlg.get()));
    // The run is over: what the process does after it (closing, tearing down) is not the run's.
    if (HANDLE done = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, EnvironmentValue(kDoneVariable).c_str())) {
        ::SetEvent(done);
        ::CloseHandle(done);
    }
    for (int row = 0; row < Results().GetItemCount(); row++)
        EXPECT_EQ(Cell(row, 4), "Repaired") << row;
}

TEST(KillDuringRun, OnlyWholeOutputsUnderFinalNamesAndNoWorkingCopyAfterTenKills)
{
    // Workbooks repaired through a working file and through memory, taking turns, and what each
    // becomes when repaired whole.
    TempFolder sources;
    TailBlock tail {};
    ASSERT_TRUE(ReadTailBlock(ProgramFolder() + L"\\VuzuviViduv.dll", tail));
    std::map<std::wstring, std::string> repaired;
    std::map<std::wstring, size_t> original; // a hash of each source's bytes
    for (int i = 0; i < 8; i++) {
        // Real workbooks (a sheet of numbers), so each reads back whole and its copy counts as repaired.
        CfbImage image = BuildWorkbookFile(NumbersWorkbook(i % 2 ? (12u << 20) : (64u << 20)));
        const std::wstring name = L"book" + std::to_wstring(i) + L".xls";
        sources.WriteFile(name, image.bytes);
        original[name] = std::hash<std::string>()(image.bytes);
        std::vector<uint8_t> bytes(image.bytes.begin(), image.bytes.end());
        ASSERT_EQ(PatchImage(bytes, tail).result, PatchResult::Patched);
        repaired[name] = std::string(bytes.begin(), bytes.end());
    }

    const unsigned seed = static_cast<unsigned>(::GetTickCount());
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    double wholeRun = 1e9;
    int interrupted = 0;
    auto next = std::make_unique<KillRound>(0, sources.Path());
    // Rounds 0 and 1 run to the end (the second with the sources cached, as the later ones have
    // them) and time the batch; each later round ends it at a random point of its own tenth of it.
    for (int round = 0; round < kKills + 2; round++) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        const std::unique_ptr<KillRound> current = std::move(next);
        ASSERT_TRUE(current->child && current->child->Started());
        ChildProcess& child = *current->child;
        const TempFolder& output = current->output;
        const TempFolder& temp = current->temp;
        ::SetEvent(current->go);
        const bool running = ::WaitForSingleObject(current->started, 120000) == WAIT_OBJECT_0;
        ASSERT_TRUE(running) << "the scenario never started its run";
        const double start = Seconds();
        if (round < 2) {
            // Timed to the end of the run, not of the process, so the kills below land inside it.
            const bool finished = ::WaitForSingleObject(current->done, 240000) == WAIT_OBJECT_0;
            ASSERT_TRUE(finished) << "the scenario's run never ended";
            wholeRun = std::min(wholeRun, Seconds() - start);
            ASSERT_TRUE(child.Wait(240000));
            EXPECT_EQ(child.ExitCode(), 0u);
            std::printf("the whole batch took %.2f s\n", wholeRun);
        } else {
            std::uniform_real_distribution<double> within(0, 1);
            const double at = wholeRun * (round - 2 + within(random)) / kKills;
            if (!child.Wait(static_cast<DWORD>(at * 1000)))
                ::TerminateProcess(child.Process(), 9);
            ASSERT_TRUE(child.Wait(30000));
        }
        // This round's process has ended: the next one starts while this one's outputs are judged.
        if (round + 1 < kKills + 2)
            next = std::make_unique<KillRound>(round + 1, sources.Path());
        const std::vector<std::wstring> written = FilesIn(output.Path());
        std::printf("round %d: %zu of %zu copies in place\n", round, written.size(), repaired.size());
        interrupted += round >= 2 && written.size() < repaired.size();
        if (round < 2) {
            EXPECT_EQ(written.size(), repaired.size());
        }
        for (const std::wstring& name : written) {
            // A copy that was being written may stay only under a name that is certainly ours.
            if (IsPendingOutputName(name))
                continue;
            ASSERT_EQ(name.rfind(L"REP_", 0), 0u) << Utf8(name);
            const auto source = repaired.find(name.substr(4));
            ASSERT_NE(source, repaired.end()) << Utf8(name);
            EXPECT_TRUE(ReadWholeFile(output.File(name)) == source->second) << Utf8(name) << " is not whole";
        }
        EXPECT_TRUE(FilesIn(temp.Path()).empty()) << "no working copy outlives the process";
    }
    EXPECT_GE(interrupted, kKills / 2) << "most kills landed inside the run";
    for (const auto& [name, hash] : original)
        EXPECT_EQ(std::hash<std::string>()(ReadWholeFile(sources.File(name))), hash) << Utf8(name) << " was changed";
}
