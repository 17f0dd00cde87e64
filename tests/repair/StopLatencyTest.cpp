// Back answered Yes while the patch rebuilds the header of a damaged 512 MiB workbook: every scan
// of the rebuild asks for the stop between its reads, so the worker stops and the run is over
// within a second, leaving no output and no working copy.
#include "BatchRunFixture.h"
#include "CfbWriter.h"
#include "app/RepairRun.h"
#include "repair/PathRules.h"

#include <cstring>

namespace {

uint64_t SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

TEST_F(BatchRun, StopDuringTheRebuildOfA512MiBWorkbookEndsTheRunWithinASecond)
{
    TempFolder folder, out;
    uint64_t size = 0;
    {
        CfbImage image = BuildWorkbook(512u << 20);
        image.PutBof("Workbook");
        // The header sector lost: the patch has to rebuild it from the whole file.
        std::memset(image.bytes.data(), 0, 512);
        size = image.bytes.size();
        folder.WriteFile(L"huge.xls", image.bytes);
    }
    AddTicked({ folder.File(L"huge.xls") });
    StartRunInto(out.Path());
    ASSERT_TRUE(dlg->m_bRunning.load());
    // Once the working copy is whole, the patch begins: the check, then the rebuild's scans.
    const std::wstring workingCopy = TemporaryFolder() + L"REP_huge.xls";
    ASSERT_TRUE(PumpUntil([&] { return SizeOf(workingCopy) == size; }, 120000, dlg.get()));
    const DWORD stopping = BackAnsweredYes();
    EXPECT_FALSE(g_pWorker && g_pWorker->IsRunning()) << "the worker has ended";
    EXPECT_LT(stopping, 1000u);
    EXPECT_EQ(dlg->m_nStep, 1);
    EXPECT_TRUE(FilesIn(out.Path()).empty()) << "no output, not even a pending one";
    EXPECT_TRUE(IsPathFree(workingCopy)) << "no working copy";
    EXPECT_NE(Cell(0, 4), "Repaired");
}
