// Workbooks crafted so that what their damaged structures claim would size the program's tables
// like the file: each is refused, and the process's peak working set stays within 64 MiB of what
// it was before the run. The process measured is this test program, started again with a scenario
// that runs the batch through the real window.
#include "BatchRunFixture.h"
#include "CfbWriter.h"
#include "ChildProcess.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

const wchar_t* const kSourcesVariable = L"TESSEL_MEMORY_SOURCES";
const wchar_t* const kOutputVariable = L"TESSEL_MEMORY_OUTPUT";
const wchar_t* const kFiguresVariable = L"TESSEL_MEMORY_FIGURES";
constexpr uint64_t kBookSize = 256u << 20;
constexpr uint64_t kAllowed = 64u << 20;

PROCESS_MEMORY_COUNTERS Memory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

void ZeroSectors(CfbImage& image, const std::vector<uint32_t>& sectors)
{
    for (uint32_t sector : sectors)
        std::memset(image.bytes.data() + image.SectorOffset(sector), 0, image.sectorSize);
}

void PutRootEntry(std::string& bytes, uint64_t at)
{
    const char name[] = "Root Entry";
    for (size_t i = 0; i < sizeof(name); i++) {
        bytes[at + i * 2] = name[i];
        bytes[at + i * 2 + 1] = 0;
    }
    bytes[at + 64] = static_cast<char>(sizeof(name) * 2);
    bytes[at + 65] = 0;
    bytes[at + 66] = 5;
}

} // namespace

// The scenario, run only in the child process.
TEST_F(BatchRun, MemoryScenarioRefusesCraftedWorkbooks)
{
    const std::wstring sources = EnvironmentValue(kSourcesVariable);
    if (sources.empty())
        GTEST_SKIP() << "run as a child process by MemoryBound";
    AddTickedFolder(sources);
    Pump(100);
    const SIZE_T before = Memory().WorkingSetSize;
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(EnvironmentValue(kOutputVariable)) });
    const SIZE_T peak = Memory().PeakWorkingSetSize;
    WriteWholeFile(EnvironmentValue(kFiguresVariable), std::to_string(before) + " " + std::to_string(peak));
    for (int row = 0; row < Results().GetItemCount(); row++)
        EXPECT_EQ(Cell(row, 4), "Failed") << Cell(row, 0);
}

TEST(MemoryBound, CraftedWorkbooksOfAFewHundredMiBAreRefusedWithin64MiB)
{
    struct Case {
        const char* name;
        std::function<std::string()> make;
    };
    const Case cases[] = {
        { "directory.xls: the header's directory starts in a 256 MiB stream",
            [] {
                CfbImage image = BuildWorkbook(kBookSize);
                image.PutBof("Workbook");
                image.Put32(48, image.chains["Workbook"][0]);
                ZeroSectors(image, image.directorySectors);
                return std::move(image.bytes);
            } },
        { "marks.xls: no header, and a table mark in every sector of 384 MiB",
            [] {
                std::string bytes(kBookSize + kBookSize / 2, '\0');
                // The first entry of every sector holds the table mark, FFFFFFFD.
                for (uint64_t at = 512; at < bytes.size(); at += 512)
                    bytes.replace(at, 4, "\xFD\xFF\xFF\xFF", 4);
                return bytes;
            } },
        { "rootchain.xls: no header, and a root entry heading a 256 MiB chain",
            [] {
                CfbImage image = BuildWorkbook(kBookSize);
                image.PutBof("Workbook");
                std::memset(image.bytes.data(), 0, 512);
                ZeroSectors(image, image.directorySectors);
                PutRootEntry(image.bytes, image.SectorOffset(image.chains["Workbook"][0]));
                return std::move(image.bytes);
            } },
        { "minitable.xls: a mini table 256 MiB long for a mini stream of 4 GiB",
            [] {
                CfbImage image = BuildWorkbook(kBookSize);
                image.PutBof("Workbook");
                const std::vector<uint32_t>& chain = image.chains["Workbook"];
                image.Put32(60, chain[0]);
                image.Put32(64, static_cast<uint32_t>(chain.size()));
                image.Put32(image.EntryOffset(0u) + cfb::kSize, 0xFFFFFFC0u);
                return std::move(image.bytes);
            } },
    };
    TempFolder sources, output, figures;
    for (const Case& c : cases) {
        const std::wstring name = Wide(std::string(c.name).substr(0, std::string(c.name).find(':')));
        sources.WriteFile(name, c.make());
    }
    ChildProcess child("BatchRun.MemoryScenarioRefusesCraftedWorkbooks",
        { { kSourcesVariable, sources.Path() }, { kOutputVariable, output.Path() },
            { kFiguresVariable, figures.File(L"figures.txt") } });
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.Wait(600000));
    EXPECT_EQ(child.ExitCode(), 0u) << "every crafted workbook is refused, within the bound";
    unsigned long long before = 0, peak = 0;
    std::sscanf(ReadWholeFile(figures.File(L"figures.txt")).c_str(), "%llu %llu", &before, &peak);
    ASSERT_GT(before, 0u) << "the scenario measured";
    std::printf("peak working set %.1f MiB above the %.1f MiB before the run\n", (peak - before) / 1048576.0,
        before / 1048576.0);
    EXPECT_LT(peak - before, kAllowed) << "peak " << peak << ", before the run " << before;
    EXPECT_TRUE(FilesIn(output.Path()).empty());
}
