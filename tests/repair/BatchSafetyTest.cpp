// The batch run meets files that are not its own: sources in the temporary folder or named like
// another row's working copy, output folders that are the temporary folder or the source folder,
// device names, a folder in place of a file, a workbook another program holds open or changes,
// settings that name no place for the copies, and a stop that cannot finish in time. Every source
// stays byte for byte as it was, and every output a row reports is there and whole.
#include "BatchRunFixture.h"
#include "BiffBuilder.h"
#include "CfbWriter.h"
#include "ListedRows.h"
#include "app/FileTexts.h"
#include "app/RepairRun.h"
#include "framework/FolderLookup.h"
#include "repair/CompoundFile.h"
#include "repair/FileCopy.h"
#include "repair/OutputFile.h"
#include "repair/PathRules.h"
#include "repair/RepairSteps.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <set>

namespace {

enum Where { kSourceFolder, kTempFolder, kOutFolder };

struct ListedSource {
    Where where;
    std::wstring name;
    enum Kind { kWorkbook, kFolder, kDevice } kind = kWorkbook;
};

struct NameCase {
    const char* what;
    std::vector<ListedSource> sources;
    Where output; // the chosen folder
    std::vector<std::string> statuses;
    std::vector<std::wstring> userFolders = {}; // folders of the user's in the output folder
};

// A name no other test or program uses in the shared temporary folder.
std::wstring Unique(const std::wstring& name)
{
    return L"nc" + std::to_wstring(::GetCurrentProcessId()) + name;
}

} // namespace

TEST_F(BatchRun, FilesThatAreNotOursAreNeverWrittenAndReportedOutputsStayWhole)
{
    const std::string book = ReadWholeFile(Fixture("lo_3sheets.xls"));
    const std::wstring a = Unique(L"a.xls"), b = Unique(L"b.xls"), c = Unique(L"c.xls");
    const NameCase cases[] = {
        { "a source in the temporary folder", { { kTempFolder, a } }, kOutFolder, { "Repaired" } },
        { "a source named like the row before's working copy", { { kSourceFolder, b }, { kTempFolder, L"REP_" + b } },
            kOutFolder, { "Repaired", "Repaired" } },
        { "the output folder is the temporary folder, where the working copies are",
            { { kSourceFolder, c }, { kSourceFolder, L"(1)" + c } }, kTempFolder, { "Repaired", "Repaired" } },
        { "the output folder is the source folder", { { kSourceFolder, L"d.xls" }, { kSourceFolder, L"REP_d.xls" } },
            kSourceFolder, { "Repaired", "Repaired" } },
        { "device names",
            { { kSourceFolder, L"CON", ListedSource::kDevice }, { kSourceFolder, L"nul.xls", ListedSource::kDevice },
                { kSourceFolder, L"COM1.xls", ListedSource::kDevice },
                { kSourceFolder, L"LPT1", ListedSource::kDevice }, { kSourceFolder, L"e.xls" } },
            kOutFolder, { "Failed", "Failed", "Failed", "Failed", "Repaired" } },
        { "a folder in place of a file, and an empty name",
            { { kSourceFolder, L"f.xls", ListedSource::kFolder }, { kSourceFolder, L"" } }, kOutFolder,
            { "Failed", "Failed" } },
        { "a folder of the user's under the copy's name", { { kSourceFolder, L"g.xls" } }, kOutFolder, { "Repaired" },
            { L"REP_g.xls" } },
    };
    const std::wstring temp = TemporaryFolder();
    for (const NameCase& nc : cases) {
        SCOPED_TRACE(nc.what);
        TempFolder source, out;
        for (const std::wstring& name : nc.userFolders)
            ASSERT_TRUE(::CreateDirectoryW(out.File(name).c_str(), nullptr));
        auto folderOf = [&](Where where) {
            return where == kSourceFolder ? source.Path()
                : where == kOutFolder     ? out.Path()
                                          : temp.substr(0, temp.size() - 1);
        };
        std::map<std::wstring, std::string> before; // every file the case starts with, and its bytes
        std::map<std::wstring, DWORD> folders; // and each folder's attributes
        dlg->SourceList().DeleteAllItems();
        for (const ListedSource& listed : nc.sources) {
            const std::wstring path = folderOf(listed.where) + L"\\" + listed.name;
            if (listed.kind == ListedSource::kWorkbook && !listed.name.empty()) {
                ASSERT_TRUE(WriteWholeFile(path, book));
                before[path] = book;
            }
            AddTicked({ path });
            if (listed.kind == ListedSource::kFolder) {
                // Listed as a file, then a folder of the user's under that name.
                ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
                folders[path] = ::GetFileAttributesW(path.c_str());
            }
        }
        Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(folderOf(nc.output)) });
        ASSERT_EQ(Results().GetItemCount(), static_cast<int>(nc.statuses.size()));
        std::set<std::wstring> outputs;
        for (int row = 0; row < Results().GetItemCount(); row++) {
            EXPECT_EQ(Cell(row, 4), nc.statuses[row]) << "row " << row << " " << Cell(row, 0);
            if (Cell(row, 4) != "Repaired")
                continue;
            const std::wstring output = WithBackslash(Wide(Cell(row, 3))) + Wide(Cell(row, 2));
            EXPECT_TRUE(outputs.insert(output).second) << Utf8(output) << " reported twice";
            EXPECT_EQ(before.count(output), 0u) << Utf8(output) << " was a source";
        }
        // Outputs checked only now that the whole batch is over: a later row must not have taken one.
        for (const std::wstring& output : outputs) {
            EXPECT_TRUE(CheckCompoundFile(output).wellFormed) << Utf8(output);
            EXPECT_EQ(ReadWholeFile(output).size(), book.size()) << Utf8(output);
        }
        for (const auto& [path, bytes] : before)
            EXPECT_TRUE(ReadWholeFile(path) == bytes) << Utf8(path) << " was written";
        for (const auto& [folder, attributes] : folders) {
            // Wine keeps no read-only flag on a folder; the hidden one shows a reset all the same.
            EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
            EXPECT_EQ(::GetFileAttributesW(folder.c_str()), attributes) << "the folder's attributes are its own";
            ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        for (const std::wstring& name : nc.userFolders) {
            EXPECT_NE(::GetFileAttributesW(out.File(name).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u)
                << Utf8(name) << " is still the user's folder";
        }
        // Nothing but the reported outputs was left, there or in the temporary folder.
        for (const std::wstring& name : FilesIn(out.Path()))
            EXPECT_EQ(outputs.count(out.File(name)), 1u) << Utf8(name) << " left in the output folder";
        for (const std::wstring& name : FilesIn(temp.substr(0, temp.size() - 1))) {
            const std::wstring path = temp + name;
            if (name.find(Unique(L"")) != std::wstring::npos) {
                EXPECT_TRUE(outputs.count(path) || before.count(path)) << Utf8(name) << " left in the temporary folder";
            }
        }
        for (const std::wstring& path : outputs)
            ::DeleteFileW(path.c_str());
        for (const auto& [path, bytes] : before)
            ::DeleteFileW(path.c_str());
        Command(IDC_BACK);
    }
}

TEST_F(BatchRun, AWorkbookHeldOpenForWritingByAnotherProgramIsListedAndRepaired)
{
    TempFolder folder, out;
    const std::string bytes = ReadWholeFile(Fixture("lo_3sheets.xls"));
    const std::wstring path = folder.WriteFile(L"open.xls", bytes);
    // As a spreadsheet program holds a workbook it has open: reading and writing, others may read.
    HANDLE other = ::CreateFileW(
        path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    AddTicked({ path });
    EXPECT_EQ(Utf8(dlg->SourceList().GetItemText(0, 2)), FormatSizeText(bytes.size()));
    EXPECT_FALSE(dlg->SourceList().GetItemText(0, 5).empty()) << "its last write time";
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    ::CloseHandle(other);
    EXPECT_EQ(Cell(0, 4), "Repaired");
    EXPECT_TRUE(CheckCompoundFile(out.File(L"REP_open.xls")).wellFormed);
    EXPECT_TRUE(ReadWholeFile(path) == bytes);
}

namespace {

// Another program saves the source while its working copy is being written: after the first
// block, the source grows.
std::wstring g_growing;
std::atomic<int> g_blocksUntilGrowth { 0 };
bool GrowingSourceWriter(HANDLE hFile, const uint8_t* data, DWORD count)
{
    if (--g_blocksUntilGrowth == 0) {
        HANDLE source = ::CreateFileW(g_growing.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(source, "more", 4, &written, nullptr);
        ::CloseHandle(source);
    }
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

} // namespace

TEST_F(BatchRun, ASourceThatGrowsWhileItIsCopiedFailsItsRowAndTheRunGoesOn)
{
    TempFolder folder, out;
    CfbImage image = BuildWorkbook(20u << 20); // read through a working file, block by block
    image.PutBof("Workbook");
    g_growing = folder.WriteFile(L"growing.xls", image.bytes);
    const std::wstring steady = folder.WriteFile(L"steady.xls", ReadWholeFile(Fixture("gn_3sheets.xls")));
    AddTicked({ g_growing, steady });
    g_blocksUntilGrowth = 2;
    {
        WriterInPlace growing(&GrowingSourceWriter);
        Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    }
    EXPECT_EQ(Cell(0, 4), "Failed") << "a copy of a moment the file never had";
    EXPECT_EQ(Cell(1, 4), "Repaired");
    EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::wstring> { L"REP_steady.xls" }));
    EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_growing.xls"));
    EXPECT_EQ(ReadWholeFile(g_growing).size(), image.bytes.size() + 4);
}

namespace {

// Another program saves a source just as it is read into memory: before its one block is read,
// it grows.
std::wstring g_savedDuringRead;
std::atomic<bool> g_saveOnRead { false };
bool SavingReader(HANDLE hFile, uint8_t* data, DWORD count)
{
    if (g_saveOnRead.exchange(false)) {
        HANDLE source = ::CreateFileW(g_savedDuringRead.c_str(), FILE_APPEND_DATA,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(source, "more", 4, &written, nullptr);
        ::CloseHandle(source);
    }
    DWORD got = 0;
    return ::ReadFile(hFile, data, count, &got, nullptr) && got == count;
}

// What the temporary folder held while each block was written: whether the row's working file
// was there.
std::wstring g_workingFile;
std::atomic<int> g_blocksWritten { 0 }, g_blocksBesideWorkingFile { 0 };
bool WatchingWriter(HANDLE hFile, const uint8_t* data, DWORD count)
{
    g_blocksWritten++;
    if (!IsPathFree(g_workingFile))
        g_blocksBesideWorkingFile++;
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

} // namespace

TEST(RepairCore, ASourceSavedWhileItIsReadIntoMemoryFailsItsRowAndTheRunGoesOn)
{
    TempFolder folder, out;
    const std::string book = ReadWholeFile(Fixture("lo_3sheets.xls"));
    g_savedDuringRead = folder.WriteFile(L"saved.xls", book);
    folder.WriteFile(L"steady.xls", book);
    ListedRows rows;
    rows.sources = { { L"saved.xls", folder.Path() }, { L"steady.xls", folder.Path() } };
    ResetWorkerStop();
    const CopyBlockReader previous = SetCopyBlockReader(&SavingReader);
    g_saveOnRead = true;
    RunRepairBatch(MakeRepairSettings(NAME_PREFIX, LOCATION_CHOSEN, out.Path(), ProgramFolder()), rows);
    SetCopyBlockReader(previous);
    EXPECT_FALSE(g_saveOnRead) << "the source was saved during the run";
    EXPECT_EQ(rows.status, (std::vector<std::string> { "Failed", "Repaired" }));
    EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::wstring> { L"REP_steady.xls" }));
    EXPECT_EQ(ReadWholeFile(g_savedDuringRead), book + "more");
}

// A workbook up to the in-memory limit never has a working file; a larger one has it, held in the
// temporary folder while its output is written.
TEST(RepairCore, OnlyAWorkbookOverTheInMemoryLimitHasAWorkingFile)
{
    const std::string small = ReadWholeFile(Fixture("lo_3sheets.xls"));
    const std::string large = BuildWorkbookFile(NumbersWorkbook(kInMemoryLimit)).bytes;
    ASSERT_GT(large.size(), kInMemoryLimit);
    const int largeBlocks = static_cast<int>((large.size() + (1u << 20) - 1) >> 20);
    for (bool isLarge : { false, true }) {
        SCOPED_TRACE(isLarge ? "large" : "small");
        TempFolder folder, out;
        const std::wstring name = L"wf" + std::to_wstring(::GetCurrentProcessId()) + L".xls";
        const std::string& bytes = isLarge ? large : small;
        folder.WriteFile(name, bytes);
        g_workingFile = TemporaryFolder() + L"REP_" + name;
        g_blocksWritten = g_blocksBesideWorkingFile = 0;
        ListedRows rows;
        rows.sources = { { name, folder.Path() } };
        ResetWorkerStop();
        {
            WriterInPlace watching(&WatchingWriter);
            RunRepairBatch(MakeRepairSettings(NAME_PREFIX, LOCATION_CHOSEN, out.Path(), ProgramFolder()), rows);
        }
        EXPECT_EQ(rows.status, (std::vector<std::string> { "Repaired" }));
        EXPECT_TRUE(ReadWholeFile(out.File(L"REP_" + name)).size() == bytes.size());
        // Small: its output alone, in one block. Large: its working file, then its output.
        EXPECT_EQ(g_blocksWritten, isLarge ? 2 * largeBlocks : 1);
        EXPECT_EQ(g_blocksBesideWorkingFile, isLarge ? 2 * largeBlocks : 0);
        EXPECT_TRUE(IsPathFree(g_workingFile)) << "no working file stays";
    }
}

namespace {

std::atomic<DWORD> g_rowThread { 0 };
std::atomic<int> g_readsAside { 0 };
std::atomic<uint64_t> g_bytesWrittenAside { 0 };
std::atomic<bool> g_readBesideOutput { false }, g_stopBesideOutput { false }, g_fullAside { false };

// Until something reads on another thread than the row's, the row's reads go slowly; the row's
// first read after that is one made while its output is being read.
bool ReaderBesideOutput(HANDLE hFile, uint8_t* data, DWORD count)
{
    if (::GetCurrentThreadId() != g_rowThread)
        g_readsAside++;
    else if (g_readsAside == 0)
        ::Sleep(1);
    else if (!g_readBesideOutput.exchange(true) && g_stopBesideOutput)
        RequestWorkerStop();
    DWORD read = 0;
    return ::ReadFile(hFile, data, count, &read, nullptr) && read == count;
}

// Counts what is written on other threads than the row's; with `g_fullAside`, their disk is full.
bool WriterCountingAside(HANDLE hFile, const uint8_t* data, DWORD count)
{
    if (::GetCurrentThreadId() != g_rowThread) {
        if (g_fullAside) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        g_bytesWrittenAside += count;
    }
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

} // namespace

// A large workbook's output is copied on a thread of its own while the row makes, patches and
// judges its working copy, and comes out as the patched working copy would (this one's header is
// lost, so the patch must write it). A stop asked for while both go on, or an output disk that is
// full, leaves no output, no pending file and no working file.
TEST(RepairCore, ALargeWorkbooksOutputIsCopiedBesideTheRowAndComesOutPatched)
{
    std::string large = BuildWorkbookFile(NumbersWorkbook(kInMemoryLimit)).bytes;
    ASSERT_GT(large.size(), kInMemoryLimit);
    std::fill_n(large.begin(), kHeaderPatchSize, '\0');
    const RepairSettings settings = MakeRepairSettings(NAME_PREFIX, LOCATION_CHOSEN, L"", ProgramFolder());
    std::vector<uint8_t> patched(large.begin(), large.end());
    ASSERT_EQ(PatchImage(patched, settings.templatePath).result, PatchResult::Patched);
    struct Case {
        const char* what;
        bool stop, full;
        const char* status;
    };
    for (Case c : { Case { "run through", false, false, "Repaired" }, Case { "stopped", true, false, "working" },
             Case { "output disk full", false, true, "Failed" } }) {
        SCOPED_TRACE(c.what);
        TempFolder folder, out;
        const std::wstring name = L"aside" + std::to_wstring(::GetCurrentProcessId()) + L".xls";
        folder.WriteFile(name, large);
        ListedRows rows;
        rows.sources = { { name, folder.Path() } };
        g_rowThread = ::GetCurrentThreadId();
        g_readsAside = 0;
        g_bytesWrittenAside = 0;
        g_readBesideOutput = false;
        g_stopBesideOutput = c.stop;
        g_fullAside = c.full;
        ResetWorkerStop();
        {
            WriterInPlace counting(&WriterCountingAside);
            const CopyBlockReader previous = SetCopyBlockReader(&ReaderBesideOutput);
            RepairSettings into = settings;
            into.targetDir = out.Path();
            RunRepairBatch(into, rows);
            SetCopyBlockReader(previous);
        }
        ResetWorkerStop();
        EXPECT_TRUE(g_readBesideOutput) << "the row still read while its output was read on another thread";
        EXPECT_EQ(rows.status, (std::vector<std::string> { c.status }));
        if (c.status == std::string("Repaired")) {
            EXPECT_EQ(g_bytesWrittenAside, large.size()) << "the whole output was written on the other thread";
            const std::string output = ReadWholeFile(out.File(L"REP_" + name));
            EXPECT_TRUE(output == std::string(patched.begin(), patched.end())) << "the output is the patched copy";
        } else {
            EXPECT_TRUE(FilesIn(out.Path()).empty()) << "neither an output nor its pending file stays";
        }
        EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_" + name)) << "no working file stays";
        EXPECT_EQ(ReadWholeFile(folder.File(name)), large);
    }
}

TEST(RepairCore, SettingsThatNameNoPlaceForTheCopiesFailEveryRowAndTouchNothing)
{
    TempFolder folder;
    const std::string bytes = ReadWholeFile(Fixture("lo_1cell.xls"));
    const std::wstring path = folder.WriteFile(L"ro.xls", bytes);
    const std::wstring root = CurrentFolder().substr(0, 2) + L"\\";
    struct Case {
        int mode;
        const wchar_t* target;
    };
    for (Case c : { Case { LOCATION_UNSET, L"" }, Case { LOCATION_CHOSEN, L"" }, Case { LOCATION_UNSET, L"C:\\" },
             Case { 9, L"C:\\" } }) {
        SCOPED_TRACE(testing::Message() << c.mode << " '" << Utf8(c.target) << "'");
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
        ListedRows rows;
        rows.sources = { { L"ro.xls", folder.Path() }, { L"ro.xls", L"" } };
        ResetWorkerStop(); // as a run's start does
        RunRepairBatch(MakeRepairSettings(NAME_PREFIX, c.mode, c.target, ProgramFolder()), rows);
        EXPECT_EQ(rows.status, (std::vector<std::string> { "Failed", "Failed" }));
        EXPECT_EQ(
            ::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
            << "not even the attributes were touched";
        EXPECT_TRUE(IsPathFree(root + L"REP_ro.xls")) << "nothing at the root of the drive";
        EXPECT_TRUE(IsPathFree(root + L"Repaired"));
        EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_ro.xls"));
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(ReadWholeFile(path) == bytes);
}

namespace {

// A write that hangs for 2.5 s whatever is asked of it, as one to a share that stopped answering
// does. Once the stop has been asked for, it spoils the window's picture and watches for the
// window to paint it again while the stop waits.
HWND g_window = nullptr;
std::atomic<bool> g_stall { false }, g_stalled { false }, g_paintedWhileStopping { false };
bool StallingWriter(HANDLE hFile, const uint8_t* data, DWORD count)
{
    if (g_stall.exchange(false)) {
        g_stalled = true;
        const DWORD until = ::GetTickCount() + 2500;
        bool spoiled = false;
        while (static_cast<int>(until - ::GetTickCount()) > 0) {
            if (!spoiled && WorkerStopRequested())
                spoiled = ::InvalidateRect(g_window, nullptr, TRUE);
            else if (spoiled && !::GetUpdateRect(g_window, nullptr, FALSE))
                g_paintedWhileStopping = true;
            ::Sleep(10);
        }
    }
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

} // namespace

TEST_F(BatchRun, AStopThatCannotFinishInTimeStillReturnsAndTheWindowPaintsWhileItWaits)
{
    TempFolder folder, out;
    const std::string bytes = ReadWholeFile(Fixture("lo_1cell.xls"));
    AddTicked({ folder.WriteFile(L"a.xls", bytes), folder.WriteFile(L"b.xls", bytes) });
    g_window = dlg->m_hWnd;
    g_stalled = g_paintedWhileStopping = false;
    g_stall = true;
    WriterInPlace stalling(&StallingWriter);
    StartRunInto(out.Path());
    ASSERT_TRUE(PumpUntil([] { return g_stalled.load(); }, 30000, dlg.get()));
    const DWORD waited = BackAnsweredYes();
    EXPECT_LT(waited, 2000u) << "the wait is bounded, not as long as the write hangs";
    EXPECT_TRUE(g_pWorker && g_pWorker->IsRunning()) << "the write still hangs";
    EXPECT_TRUE(g_paintedWhileStopping) << "the window painted while it waited";
    EXPECT_EQ(dlg->m_nStep, 1);
    {
        // Until the stopped worker has ended, no second run starts beside it.
        ModalAnswerer none;
        Command(IDC_NEXT);
        EXPECT_EQ(none.Count(), 0u);
        EXPECT_EQ(dlg->m_nStep, 1);
    }
    ASSERT_TRUE(PumpUntil([] { return !g_pWorker->IsRunning(); }, 10000, dlg.get()));
    Pump(50);
    EXPECT_TRUE(FilesIn(out.Path()).empty());
    EXPECT_NE(Cell(0, 4), "Repaired");
    EXPECT_EQ(Results().GetItemImage(1), STATUS_QUEUED) << "no row started after the stop";
    EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_a.xls"));
}

namespace {

// A read that blocks until it is cancelled or its pipe is closed, as one from a share that stopped
// answering does.
HANDLE g_silentPipe = nullptr;
std::atomic<bool> g_reading { false };
bool BlockedReader(HANDLE, uint8_t* data, DWORD count)
{
    g_reading = true;
    DWORD got = 0;
    return ::ReadFile(g_silentPipe, data, count, &got, nullptr) && got == count;
}

} // namespace

// A workbook over the in-memory limit is read twice at once, for its working copy and for its
// output: both reads block, and the stop cancels both.
TEST_F(BatchRun, AStopCancelsAReadThatBlocks)
{
    const std::string large = BuildWorkbookFile(NumbersWorkbook(kInMemoryLimit)).bytes;
    for (const std::string& bytes : { ReadWholeFile(Fixture("lo_1cell.xls")), large }) {
        SCOPED_TRACE(bytes.size());
        TempFolder folder, out;
        dlg->SourceList().DeleteAllItems();
        AddTicked({ folder.WriteFile(L"a.xls", bytes) });
        HANDLE writeEnd = nullptr;
        ASSERT_TRUE(::CreatePipe(&g_silentPipe, &writeEnd, nullptr, 0));
        g_reading = false;
        CopyBlockReader previous = SetCopyBlockReader(&BlockedReader);
        StartRunInto(out.Path());
        const bool blocked = PumpUntil([] { return g_reading.load(); }, 30000, dlg.get());
        const DWORD waited = BackAnsweredYes();
        const bool ended = !g_pWorker->IsRunning();
        // Whatever happened, the read is let go before the test ends.
        ::CloseHandle(writeEnd);
        PumpUntil([] { return !g_pWorker->IsRunning(); }, 10000, dlg.get());
        SetCopyBlockReader(previous);
        ::CloseHandle(g_silentPipe);
        ASSERT_TRUE(blocked);
        EXPECT_TRUE(ended) << "the read was cancelled and the worker ended";
        EXPECT_LT(waited, 1000u);
        EXPECT_EQ(dlg->m_nStep, 1);
        EXPECT_TRUE(FilesIn(out.Path()).empty());
        EXPECT_NE(Cell(0, 4), "Repaired");
    }
}

// What a killed run left in an output folder goes with the next run into it, and only that.
TEST_F(BatchRun, TheNextRunRemovesALeftCopyOnlyWhenItIsCertainlyOurs)
{
    TempFolder folder, out;
    const std::wstring ours = PendingOutputName(0x1234), held = PendingOutputName(0x5678);
    std::wstring forged = PendingOutputName(0x9ABC);
    forged[forged.size() - 5] = forged[forged.size() - 5] == L'0' ? L'1' : L'0';
    for (const std::wstring& name : { ours, held, forged, std::wstring(L"~tessel-mine.tmp") })
        out.WriteFile(name, "cut short");
    HANDLE holder = ::CreateFileW(out.File(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    ::CloseHandle(holder);
    EXPECT_EQ(Cell(0, 4), "Repaired");
    std::vector<std::wstring> expected = { L"REP_a.xls", held, forged, L"~tessel-mine.tmp" };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(out.Path()), expected);
}

namespace {

// Another program takes the copy's name while the copy is being written.
std::wstring g_takenName;
std::atomic<int> g_blocksUntilTaken { 0 };
bool NameTakingWriter(HANDLE hFile, const uint8_t* data, DWORD count)
{
    if (--g_blocksUntilTaken == 0)
        WriteWholeFile(g_takenName, "someone else's");
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

} // namespace

TEST_F(BatchRun, ANameTakenWhileTheCopyIsWrittenIsLeftAloneAndTheNextFreeOneIsUsed)
{
    TempFolder folder, out;
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_3sheets.xls"))) });
    g_takenName = out.File(L"REP_a.xls");
    g_blocksUntilTaken = 1; // the copy's one block: a workbook this small has no working file
    {
        WriterInPlace taking(&NameTakingWriter);
        Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    }
    EXPECT_EQ(Cell(0, 4), "Repaired");
    EXPECT_EQ(Cell(0, 2), "REP_(1)a.xls");
    EXPECT_EQ(ReadWholeFile(out.File(L"REP_a.xls")), "someone else's");
    EXPECT_TRUE(CheckCompoundFile(out.File(L"REP_(1)a.xls")).wellFormed);
    EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::wstring> { L"REP_(1)a.xls", L"REP_a.xls" }));
}
