// A scenario started again in a process of its own runs whatever share of the cases the starting
// process was dealt when its cases are spread over several processes.
#include "ChildProcess.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace {
const wchar_t* const kMarkerVariable = L"TESSEL_CHILD_MARKER";
}

// Run only as a child: leaves a file to say that it ran.
TEST(ChildProcess, ScenarioLeavesAMarker)
{
    const std::wstring marker = EnvironmentValue(kMarkerVariable);
    if (marker.empty())
        GTEST_SKIP() << "run as a child process by ChildProcess.RunsItsCaseInEveryShard";
    ASSERT_TRUE(WriteWholeFile(marker, "ran"));
}

TEST(ChildProcess, RunsItsCaseInEveryShard)
{
    const wchar_t* const names[] = { L"GTEST_TOTAL_SHARDS", L"GTEST_SHARD_INDEX" };
    const std::wstring before[] = { EnvironmentValue(names[0]), EnvironmentValue(names[1]) };
    const struct {
        const wchar_t* total;
        const wchar_t* index;
    } shares[] = { { L"2", L"0" }, { L"2", L"1" }, { L"3", L"2" } };
    TempFolder folder;
    int round = 0;
    for (const auto& share : shares) {
        SCOPED_TRACE(testing::Message() << "shard " << Utf8(share.index) << " of " << Utf8(share.total));
        ::SetEnvironmentVariableW(names[0], share.total);
        ::SetEnvironmentVariableW(names[1], share.index);
        const std::wstring marker = folder.File(L"marker" + std::to_wstring(round++));
        ChildProcess child("ChildProcess.ScenarioLeavesAMarker", { { kMarkerVariable, marker } });
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(child.Wait(60000));
        EXPECT_EQ(child.ExitCode(), 0u);
        EXPECT_EQ(ReadWholeFile(marker), "ran");
        // What this process was dealt is its own again once the child has started.
        EXPECT_EQ(EnvironmentValue(names[1]), share.index);
    }
    for (int i = 0; i < 2; i++)
        ::SetEnvironmentVariableW(names[i], before[i].empty() ? nullptr : before[i].c_str());
}
