// Back answered Yes while the patch rebuilds the header of a damaged 512 MiB workbook on a slow
// share: every scan of the rebuild asks for the stop between its reads, so the worker stops and
// the run is over within a second, leaving no output and no working copy.
#include "BatchRunFixture.h"
#include "CfbWriter.h"
#include "app/RepairRun.h"
#include "repair/PathRules.h"
#include "repair/RepairJob.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

uint64_t SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A share that answers slowly: every read of the patch takes a millisecond more, so the rebuild's
// scans through the whole copy take many seconds, and a stop they did not ask for would not come
// within one.
std::atomic<int> g_slowReads { 0 };
bool SlowReader(HANDLE hFile, uint8_t* data, DWORD count)
{
    ++g_slowReads;
    ::Sleep(1);
    DWORD got = 0;
    return ::ReadFile(hFile, data, count, &got, nullptr) && got == count;
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
    const CopyBlockReader previous = SetCopyBlockReader(&SlowReader);
    StartRunInto(out.Path());
    ASSERT_TRUE(dlg->m_bRunning.load());
    // Once the working copy is whole, the patch begins: the check, then the rebuild's scans.
    const std::wstring workingCopy = TemporaryFolder() + L"REP_huge.xls";
    const bool copied = PumpUntil([&] { return SizeOf(workingCopy) == size; }, 120000, dlg.get());
    g_slowReads = 0;
    // Well inside the scans: far more reads than the check of the header takes.
    const bool scanning = copied && PumpUntil([] { return g_slowReads > 200; }, 30000, dlg.get());
    // The stop is timed from the moment Yes asks for it: under Wine the question's window takes
    // about two seconds more to return from its modal loop after it has ended and hidden itself
    // while the worker reads this hard, which Windows does not; that time is printed, not judged.
    std::atomic<DWORD> requested { 0 };
    std::atomic<bool> watching { true };
    std::thread watcher([&] {
        while (watching && !WorkerStopRequested())
            std::this_thread::yield();
        if (WorkerStopRequested())
            requested = ::GetTickCount();
    });
    const DWORD fromPress = BackAnsweredYes();
    const DWORD back = ::GetTickCount();
    watching = false;
    watcher.join();
    const DWORD stopping = back - requested;
    std::printf("Yes to step one: %lu ms; stop request to step one: %lu ms\n", fromPress, stopping);
    const bool ended = !g_pWorker->IsRunning();
    const int reads = g_slowReads;
    PumpUntil([] { return !g_pWorker->IsRunning(); }, 60000, dlg.get());
    SetCopyBlockReader(previous);
    ASSERT_TRUE(scanning);
    // A scan of the 512 MiB copy alone is 8,192 reads.
    EXPECT_LT(reads, 4096) << "the stop came while the rebuild was scanning";
    EXPECT_TRUE(ended) << "the worker has ended";
    EXPECT_NE(requested.load(), 0u) << "Yes asked the worker to stop";
    EXPECT_LT(stopping, 1000u);
    EXPECT_EQ(dlg->m_nStep, 1);
    EXPECT_TRUE(FilesIn(out.Path()).empty()) << "no output, not even a pending one";
    EXPECT_TRUE(IsPathFree(workingCopy)) << "no working copy";
    EXPECT_NE(Cell(0, 4), "Repaired");
}
