// A batch run through the real window: Next, the location dialog, the worker and Back.
#include "BatchRunFixture.h"
#include "BiffBuilder.h"
#include "CopyGate.h"
#include "ListedRows.h"
#include "TempDrive.h"
#include "app/RepairRun.h"
#include "framework/FolderLookup.h"
#include "repair/CompoundFile.h"
#include "repair/FileCopy.h"
#include "repair/PathRules.h"
#include "repair/RepairJob.h"
#include "res/resource.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>

TEST_F(BatchRun, NextWithNothingTickedExplainsAndStaysInStepOne)
{
    for (int rows : { 0, 2 }) {
        TempFolder folder;
        for (int i = 0; i < rows; i++)
            dlg->AddSourceFile(folder.WriteFile(Numbered(L"n", i), 600));
        ModalAnswerer answer({ ModalAnswerer::Press(IDOK) });
        Command(IDC_NEXT);
        ASSERT_EQ(answer.Count(), 1u);
        EXPECT_NE(answer.Seen()[0].text.find("No file selected to repair"), std::string::npos) << answer.Seen()[0].text;
        EXPECT_NE(answer.Seen()[0].text.find("1. Add files into list from the add file button"), std::string::npos);
        EXPECT_EQ(dlg->m_nStep, 1);
        EXPECT_EQ(Results().GetItemCount(), 0);
        EXPECT_TRUE(::IsWindowVisible(Item(IDC_SOURCE_LIST)));
    }
}

TEST_F(BatchRun, CancelledLocationDialogStartsNothing)
{
    TempFolder folder;
    AddTicked({ folder.WriteFile(L"a.xls", 600) });
    ModalAnswerer answer({ [](HWND hDlg) {
        EXPECT_EQ(::SendMessageA(::GetDlgItem(hDlg, IDC_OTHER_LOCATION), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(::SendMessageA(::GetDlgItem(hDlg, IDC_SAME_LOCATION), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        ModalAnswerer::Press(IDCANCEL)(hDlg);
    } });
    Command(ID_FILE_REPAIR);
    ASSERT_EQ(answer.Count(), 1u);
    EXPECT_EQ(answer.Seen()[0].caption, "Calvera Tessel for Excel");
    EXPECT_EQ(dlg->m_nStep, 1);
    EXPECT_EQ(dlg->m_bRunning.load(), 0);
    EXPECT_EQ(Results().GetItemCount(), 0);
    EXPECT_EQ(dlg->m_nLocationMode, LOCATION_UNSET);
    EXPECT_EQ(
        Instructions().find("                1. Add files into list from the add file button from upper toolbar"), 0u)
        << "the label no longer asks for a location";
}

TEST_F(BatchRun, TickedRowsOfTheSourceListBecomeResultRowsInOrder)
{
    TempFolder folder, out;
    std::vector<std::wstring> paths;
    for (int i = 0; i < 5; i++) {
        paths.push_back(folder.WriteFile(Numbered(L"row", i), 600));
        dlg->AddSourceFile(paths.back());
    }
    dlg->SourceList().SetCheck(2, TRUE);
    dlg->SourceList().SetCheck(4, TRUE);
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    EXPECT_TRUE(InStepTwo());
    ASSERT_EQ(Results().GetItemCount(), 2);
    EXPECT_EQ(Cell(0, 0), "row2.xls");
    EXPECT_EQ(Cell(1, 0), "row4.xls");
    EXPECT_EQ(Cell(0, 1), Utf8(folder.Path()));
    // 600 bytes that are no workbook: both fail, and nothing is written.
    for (int row = 0; row < 2; row++) {
        EXPECT_EQ(Cell(row, 4), "Failed");
        EXPECT_EQ(Results().GetItemImage(row), STATUS_FAILED);
        EXPECT_EQ(Cell(row, 2), "");
    }
    EXPECT_TRUE(IsPathFree(out.File(L"REP_row2.xls")));
    EXPECT_EQ(Instructions(), kDone);
    EXPECT_EQ(dlg->m_nLocationMode, LOCATION_CHOSEN);
    EXPECT_EQ(dlg->m_strTargetDir, out.Path());
}

TEST_F(BatchRun, SameLocationPrefixWritesIntoTheRepairedFolderBesideTheSource)
{
    TempFolder folder;
    std::wstring source = folder.WriteFile(L"Book1.xls", ReadWholeFile(Fixture("lo_1cell.xls")));
    const std::string before = ReadWholeFile(source);
    AddTicked({ source });
    Run({ SameLocation() });
    ASSERT_EQ(Results().GetItemCount(), 1);
    EXPECT_EQ(Cell(0, 4), "Repaired");
    EXPECT_EQ(Results().GetItemImage(0), STATUS_REPAIRED);
    EXPECT_EQ(Cell(0, 2), "REP_Book1.xls");
    EXPECT_EQ(Cell(0, 3), Utf8(folder.Path()) + "\\Repaired\\");
    EXPECT_TRUE(CheckCompoundFile(folder.File(L"Repaired\\REP_Book1.xls")).wellFormed);
    EXPECT_EQ(ReadWholeFile(source), before) << "the source is never written";
    EXPECT_EQ(dlg->m_nLocationMode, LOCATION_SAME);
    EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_Book1.xls")) << "the working copy is gone";
}

TEST_F(BatchRun, SuffixModeAndNumberedNamesInAChosenFolder)
{
    TempFolder a, b, out;
    const std::string bytes = ReadWholeFile(Fixture("gn_1cell.xls"));
    std::wstring first = a.WriteFile(L"Book1.xls", bytes);
    std::wstring second = b.WriteFile(L"Book1.xls", bytes);
    out.WriteFile(L"Book1_REP.xls", "someone else's file");
    dlg->m_nNameMode = NAME_SUFFIX;
    AddTicked({ first, second });
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    ASSERT_EQ(Results().GetItemCount(), 2);
    EXPECT_EQ(Cell(0, 2), "Book1(1)_REP.xls");
    EXPECT_EQ(Cell(0, 3), Utf8(out.Path()) + "\\");
    EXPECT_EQ(Cell(1, 2), "Book1(2)_REP.xls");
    EXPECT_EQ(Cell(1, 4), "Repaired");
    EXPECT_EQ(ReadWholeFile(out.File(L"Book1_REP.xls")), "someone else's file");
    EXPECT_EQ(ReadWholeFile(out.File(L"Book1(1)_REP.xls")), ReadWholeFile(out.File(L"Book1(2)_REP.xls")));
    EXPECT_EQ(ReadWholeFile(first), bytes);
    EXPECT_EQ(ReadWholeFile(second), bytes);
}

TEST_F(BatchRun, FirstNameInAChosenFolderShowsTheFolderAsChosen)
{
    TempFolder folder, out;
    AddTicked({ folder.WriteFile(L"Sales.xls", ReadWholeFile(Fixture("lo_3sheets.xls"))) });
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    EXPECT_EQ(Cell(0, 2), "REP_Sales.xls");
    EXPECT_EQ(Cell(0, 3), Utf8(out.Path()));
    EXPECT_EQ(Cell(0, 4), "Repaired");
}

TEST_F(BatchRun, ReadOnlyAndHiddenSourcesAreRepairedAndLeftNormal)
{
    TempFolder folder;
    const std::string bytes = ReadWholeFile(Fixture("lo_1cell.xls"));
    std::wstring readOnly = folder.WriteFile(L"ro.xls", bytes);
    std::wstring hidden = folder.WriteFile(L"hidden.xls", bytes);
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    AddTicked({ readOnly, hidden });
    Run({ SameLocation() });
    EXPECT_EQ(Cell(0, 4), "Repaired");
    EXPECT_EQ(Cell(1, 4), "Repaired");
    EXPECT_EQ(::GetFileAttributesW(readOnly.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(::GetFileAttributesW(hidden.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(ReadWholeFile(readOnly), bytes);
    EXPECT_EQ(ReadWholeFile(hidden), bytes);
}

TEST_F(BatchRun, WithoutTheTemplateEveryRowFailsAndNoWorkingCopyStays)
{
    TempFolder folder, elsewhere;
    dlg->m_strStartDir = elsewhere.Path(); // as if started from another folder
    AddTicked({ folder.WriteFile(L"one.xls", ReadWholeFile(Fixture("lo_1cell.xls"))),
        folder.WriteFile(L"two.xls", ReadWholeFile(Fixture("gn_1cell.xls"))) });
    Run({ SameLocation() });
    for (int row = 0; row < 2; row++) {
        EXPECT_EQ(Cell(row, 4), "Failed");
        EXPECT_EQ(Results().GetItemImage(row), STATUS_FAILED);
    }
    EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_one.xls"));
    EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_two.xls"));
    EXPECT_TRUE(IsPathFree(folder.File(L"Repaired\\REP_one.xls")));
}

TEST_F(BatchRun, ShortTemplateIsAMissingTemplate)
{
    TempFolder folder, start;
    start.WriteFile(L"VuzuviViduv.dll", 511);
    dlg->m_strStartDir = start.Path();
    AddTicked({ folder.WriteFile(L"one.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    Run({ SameLocation() });
    EXPECT_EQ(Cell(0, 4), "Failed");
}

TEST_F(BatchRun, UnwritableOutputFolderFailsTheRow)
{
    TempFolder folder, out;
    std::wstring gone = out.Path() + L"\\removed";
    ASSERT_TRUE(::CreateDirectoryW(gone.c_str(), nullptr));
    AddTicked({ folder.WriteFile(L"one.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    // The folder is chosen, then disappears before the copy is written.
    ModalAnswerer::Action browse = ModalAnswerer::BrowseTo(gone);
    Run({ ModalAnswerer::Press(IDOK), [&](HWND hBrowser) {
             browse(hBrowser);
             ::RemoveDirectoryW(gone.c_str());
         } });
    EXPECT_EQ(Cell(0, 4), "Failed");
    EXPECT_EQ(Cell(0, 2), "");
    EXPECT_TRUE(IsPathFree(gone));
}

TEST_F(BatchRun, AllNumberedNamesTakenFailsTheRowAndWritesNothing)
{
    TempFolder folder, out;
    out.WriteFile(L"REP_a.xls", "x");
    for (int n = 1; n <= 199; n++)
        out.WriteFile(L"REP_(" + std::to_wstring(n) + L")a.xls", "x");
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    EXPECT_EQ(Cell(0, 4), "Failed");
    EXPECT_EQ(Results().GetItemImage(0), STATUS_FAILED);
    EXPECT_TRUE(IsPathFree(out.File(L"REP_(200)a.xls")));
    EXPECT_EQ(ReadWholeFile(out.File(L"REP_(199)a.xls")), "x");
}

TEST_F(BatchRun, NotAWorkbookFails)
{
    TempFolder folder;
    std::string html = "<html><body><table><tr><td>1</td></tr></table></body></html>";
    html.resize(4096, ' ');
    AddTicked({ folder.WriteFile(L"page.xls", html), folder.WriteFile(L"tiny.xls", 31),
        folder.WriteFile(L"short.xls", 549) });
    Run({ SameLocation() });
    for (int row = 0; row < 3; row++)
        EXPECT_EQ(Cell(row, 4), "Failed") << row;
    EXPECT_TRUE(IsPathFree(folder.File(L"Repaired\\REP_page.xls")));
    EXPECT_EQ(ReadWholeFile(folder.File(L"tiny.xls")).size(), 31u) << "the source keeps its length";
}

TEST_F(BatchRun, EnterAndEscapeInStepTwoDoNothing)
{
    TempFolder folder;
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    Run({ SameLocation() });
    ASSERT_TRUE(InStepTwo());
    ModalAnswerer answer;
    ::SetFocus(Item(IDC_RESULT_LIST));
    for (WPARAM key : { VK_RETURN, VK_ESCAPE }) {
        ::PostMessageA(Item(IDC_RESULT_LIST), WM_KEYDOWN, key, 1);
        Pump(100);
    }
    EXPECT_EQ(answer.Count(), 0u) << "no second run, no location dialog";
    EXPECT_TRUE(InStepTwo());
    EXPECT_EQ(Results().GetItemCount(), 1);
    EXPECT_FALSE(dlg->IsEnding());
}

TEST_F(BatchRun, BackAfterTheRunReturnsToStepOneWithoutAQuestion)
{
    TempFolder folder;
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    Run({ SameLocation() });
    ModalAnswerer answer;
    Command(IDC_BACK);
    EXPECT_EQ(answer.Count(), 0u);
    EXPECT_EQ(dlg->m_nStep, 1);
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_SOURCE_LIST)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_SELECT_ALL)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_SELECT_ALL_LABEL)));
    EXPECT_FALSE(::IsWindowVisible(Item(IDC_BACK)));
    EXPECT_EQ(dlg->SourceList().GetItemCount(), 1);
    EXPECT_TRUE(dlg->SourceList().GetCheck(0)) << "the source list keeps its ticks";
    EXPECT_EQ(Results().GetItemCount(), 1) << "result rows stay until the next run";
}

namespace {

class LargeBatch : public BatchRun {
protected:
    // Eight workbooks, and a worker held at the first block it writes: Back or the close box
    // finds the run going, however fast the machine copies.
    void SetUp() override
    {
        BatchRun::SetUp();
        original = ReadWholeFile(Fixture("xl_3sheets.xls"));
        ASSERT_FALSE(original.empty());
        for (int i = 0; i < 8; i++)
            sources.push_back(folder.WriteFile(Numbered(L"big", i), original));
        AddTicked(sources);
    }
    // Starts the run, waits for the worker to be held in its first copy, then presses Back,
    // answering the question.
    std::vector<SeenDialog> BackDuringRun(int answer)
    {
        StartHeld();
        ModalAnswerer question({ ModalAnswerer::Press(answer) });
        Command(IDC_BACK);
        Pump(50);
        return question.Seen();
    }
    void StartHeld()
    {
        {
            ModalAnswerer location({ SameLocation() });
            Command(IDC_NEXT);
        }
        ASSERT_TRUE(PumpUntil([&] { return gate.Held(); }, 30000, dlg.get()));
        EXPECT_TRUE(dlg->m_bRunning.load());
    }
    // Lets the held worker go on and waits for the run to end.
    void FinishRun()
    {
        gate.Open();
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 120000, dlg.get()));
        Pump(50);
    }
    TempFolder folder;
    std::vector<std::wstring> sources;
    std::string original;
    CopyGate gate;
};

} // namespace

TEST_F(LargeBatch, BackAnsweredNoKeepsTheRunGoing)
{
    std::vector<SeenDialog> seen = BackDuringRun(IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].text.find("Do you want to abort repair process"), std::string::npos);
    EXPECT_EQ(dlg->m_nStep, 2);
    EXPECT_TRUE(dlg->m_bRunning.load()) << "still held";
    FinishRun();
    for (int row = 0; row < 8; row++)
        EXPECT_EQ(Cell(row, 4), "Repaired") << "every row was reached";
    EXPECT_EQ(Instructions(), kDone);
}

TEST_F(LargeBatch, BackAnsweredYesStopsTheWorkerAndReturnsToStepOne)
{
    std::vector<SeenDialog> seen = BackDuringRun(IDYES);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(dlg->m_bRunning.load(), 0);
    EXPECT_FALSE(g_pWorker && g_pWorker->IsRunning()) << "the worker has ended";
    EXPECT_EQ(dlg->m_nStep, 1);
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_SELECT_ALL)));
    EXPECT_TRUE(::IsWindowVisible(Item(IDC_SELECT_ALL_LABEL)));
    EXPECT_EQ(Instructions().find("                1. Add files into list from the add file button from toolbar"), 0u);
    Pump(300);
    EXPECT_EQ(Instructions().find("                1. Add files"), 0u)
        << "the stopped worker writes no completion text";
    EXPECT_NE(Cell(0, 4), "Repaired") << "stopped inside its first copy";
    for (int row = 1; row < 8; row++)
        EXPECT_EQ(Results().GetItemImage(row), STATUS_QUEUED) << "rows behind the stop were never started";
    EXPECT_TRUE(FilesIn(folder.Path() + L"\\Repaired").empty()) << "no output of the stopped row";
    for (const std::wstring& source : sources)
        EXPECT_EQ(ReadWholeFile(source), original);
}

TEST_F(LargeBatch, CloseBoxDuringARunAnsweredNoKeepsTheRunGoing)
{
    StartHeld();
    {
        ModalAnswerer question({ ModalAnswerer::Press(IDNO) });
        ::SendMessageA(dlg->m_hWnd, WM_CLOSE, 0, 0);
        ASSERT_EQ(question.Count(), 1u);
        EXPECT_NE(question.Seen()[0].text.find("Do you really want to exit ?"), std::string::npos);
    }
    EXPECT_TRUE(dlg->m_bRunning.load()) << "still held";
    FinishRun();
    for (int row = 0; row < 8; row++)
        EXPECT_EQ(Cell(row, 4), "Repaired") << "every row was still reached";
    EXPECT_EQ(Instructions(), kDone);
}

namespace {

// A disk that takes `g_room` more bytes and then is full: the block that does not fit is written
// as far as it fits, as a real disk does, and fails.
std::atomic<int64_t> g_room { 0 };
bool FillingDisk(HANDLE hFile, const uint8_t* data, DWORD count)
{
    const int64_t room = g_room.fetch_sub(count);
    DWORD fits = room <= 0 ? 0 : static_cast<DWORD>(std::min<int64_t>(room, count));
    DWORD written = 0;
    ::WriteFile(hFile, data, fits, &written, nullptr);
    ::SetLastError(ERROR_DISK_FULL);
    return fits == count;
}

// Throws on the `g_throwAt`th block written from now on, as an allocation failing deep inside
// a step would.
std::atomic<int> g_throwAt { 0 };
bool ThrowingDisk(HANDLE hFile, const uint8_t* data, DWORD count)
{
    if (--g_throwAt == 0)
        throw std::bad_alloc();
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

} // namespace

TEST_F(BatchRun, OutputDiskFillingUpLeavesOnlyWholeCopiesAndNeverAnotherFile)
{
    // Four workbooks, each written once, to its output (a workbook this small is its own working
    // copy in memory); the disk holds the first one's output and half the second's. The output
    // folder already holds a file of the user's under the second's first name.
    TempFolder folder, out;
    const std::string bytes = ReadWholeFile(Fixture("lo_3sheets.xls"));
    std::vector<std::wstring> sources;
    for (const wchar_t* name : { L"a.xls", L"b.xls", L"c.xls", L"d.xls" })
        sources.push_back(folder.WriteFile(name, bytes));
    out.WriteFile(L"REP_b.xls", "the user's own file");
    AddTicked(sources);
    g_room = static_cast<int64_t>(bytes.size()) + static_cast<int64_t>(bytes.size()) / 2;
    {
        WriterInPlace full(&FillingDisk);
        Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    }
    EXPECT_EQ(Cell(0, 4), "Repaired");
    for (int row = 1; row < 4; row++) {
        EXPECT_EQ(Cell(row, 4), "Failed") << row;
        EXPECT_EQ(Cell(row, 2), "") << row;
    }
    EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::wstring> { L"REP_a.xls", L"REP_b.xls" }));
    EXPECT_TRUE(CheckCompoundFile(out.File(L"REP_a.xls")).wellFormed);
    EXPECT_EQ(ReadWholeFile(out.File(L"REP_a.xls")).size(), bytes.size());
    EXPECT_EQ(ReadWholeFile(out.File(L"REP_b.xls")), "the user's own file");
    for (const wchar_t* name : { L"REP_a.xls", L"REP_b.xls", L"REP_c.xls", L"REP_d.xls" })
        EXPECT_TRUE(IsPathFree(TemporaryFolder() + name)) << "working copy " << Utf8(name);
    for (const std::wstring& source : sources)
        EXPECT_EQ(ReadWholeFile(source), bytes);
}

TEST_F(BatchRun, RowWhoseRepairThrowsFailsAloneAndLeavesNothing)
{
    // The first and last rows are small, each written in one block, to its output. The second is
    // over the in-memory limit: its working file, then its output, each in `blocks` blocks. The
    // throw hits the second row's working file, then (second round) its output.
    const std::string large = BuildWorkbookFile(NumbersWorkbook(kInMemoryLimit + (1u << 20))).bytes;
    const int blocks = static_cast<int>((large.size() + (1u << 20) - 1) >> 20);
    for (int throwAt : { 3, blocks + 3 }) {
        SCOPED_TRACE(throwAt);
        TempFolder folder, out;
        const std::string bytes = ReadWholeFile(Fixture("gn_3sheets.xls"));
        dlg->SourceList().DeleteAllItems();
        AddTicked({ folder.WriteFile(L"a.xls", bytes), folder.WriteFile(L"b.xls", large),
            folder.WriteFile(L"c.xls", bytes) });
        g_throwAt = throwAt;
        {
            WriterInPlace throwing(&ThrowingDisk);
            Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
        }
        EXPECT_EQ(Cell(0, 4), "Repaired");
        EXPECT_EQ(Cell(1, 4), "Failed");
        EXPECT_EQ(Results().GetItemImage(1), STATUS_FAILED);
        EXPECT_EQ(Cell(2, 4), "Repaired") << "the run goes on";
        EXPECT_EQ(FilesIn(out.Path()), (std::vector<std::wstring> { L"REP_a.xls", L"REP_c.xls" }));
        EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_b.xls")) << "no working copy stays";
        Command(IDC_BACK);
    }
}

TEST_F(BatchRun, UnusableTemporaryFolderFailsEveryRowAndWritesNowhere)
{
    // A temporary folder longer than any path the system takes: nothing can be worked on, and
    // nothing goes to the current folder or the root of its drive instead (a drive of the test's
    // own, so that a fault lands in a folder of ours).
    TempFolder folder, out;
    TempDrive drive;
    ASSERT_TRUE(drive.Mapped());
    wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    ::GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
    const std::wstring tooLong = folder.Path() + L"\\" + std::wstring(300, L't');
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    ::SetEnvironmentVariableW(L"TMP", tooLong.c_str());
    ::SetEnvironmentVariableW(L"TEMP", tooLong.c_str());
    ASSERT_TRUE(::SetCurrentDirectoryW(drive.Root().c_str()));
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    const std::wstring current = CurrentFolder();
    ::SetCurrentDirectoryW(ProgramFolder().c_str());
    ::SetEnvironmentVariableW(L"TMP", oldTmp);
    ::SetEnvironmentVariableW(L"TEMP", oldTemp);
    EXPECT_EQ(current, drive.Root()) << "the run happened on the test's drive";
    EXPECT_EQ(Cell(0, 4), "Failed");
    EXPECT_TRUE(FilesIn(out.Path()).empty());
    EXPECT_TRUE(FilesIn(drive.Folder().Path()).empty()) << "nothing at the root of the drive";
}

TEST_F(BatchRun, UnknownStartFolderFailsRowsAndHelpIsMissingEvenWithCompanionsAtTheRoot)
{
    // Companions at the root of the current drive, where a failed look-up used to lead: a drive of
    // the test's own, whose root is a temporary folder.
    TempDrive drive;
    ASSERT_TRUE(drive.Mapped());
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\VuzuviViduv.dll").c_str(),
        drive.Folder().File(L"VuzuviViduv.dll").c_str(), TRUE));
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\VuzuviViduv.dll").c_str(),
        drive.Folder().File(L"Calvera Tessel for Excel.chm").c_str(), TRUE));
    ASSERT_NE(::GetFileAttributesW((drive.Root() + L"VuzuviViduv.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    TempFolder folder, out;
    dlg->m_strStartDir.clear();
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    ASSERT_TRUE(::SetCurrentDirectoryW(drive.Root().c_str()));
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    Command(IDC_BACK);
    ModalAnswerer help({ ModalAnswerer::Press(IDOK) });
    Command(ID_HELP_CONTENTS);
    const std::wstring current = CurrentFolder();
    ::SetCurrentDirectoryW(ProgramFolder().c_str());
    EXPECT_EQ(current, drive.Root()) << "the run and help were asked for on the test's drive";
    EXPECT_EQ(Cell(0, 4), "Failed");
    EXPECT_TRUE(FilesIn(out.Path()).empty());
    ASSERT_EQ(help.Count(), 1u);
    EXPECT_NE(help.Seen()[0].text.find(" Calvera Tessel for Excel.chm not found"), std::string::npos);
}

TEST_F(BatchRun, FolderBrowserIsOwnedByTheLocationDialogWhichItDisables)
{
    TempFolder folder, out;
    AddTicked({ folder.WriteFile(L"a.xls", ReadWholeFile(Fixture("lo_1cell.xls"))) });
    HWND hLocation = nullptr;
    HWND hOwner = nullptr;
    BOOL locationEnabled = TRUE;
    Run({ [&](HWND hDlg) {
             hLocation = hDlg;
             ModalAnswerer::Press(IDOK)(hDlg);
         },
        [&](HWND hBrowser) {
            hOwner = ::GetWindow(hBrowser, GW_OWNER);
            locationEnabled = ::IsWindowEnabled(hLocation);
            ModalAnswerer::BrowseTo(out.Path())(hBrowser);
        } });
    EXPECT_EQ(hOwner, hLocation);
    EXPECT_FALSE(locationEnabled) << "a second OK cannot open a second browser";
    EXPECT_EQ(Cell(0, 4), "Repaired");
}

namespace {

// A fixture cut at half its length, or with one sector of its workbook stream zeroed.
std::string CutAtHalf(const std::string& bytes)
{
    return bytes.substr(0, bytes.size() / 2);
}

std::string SectorZeroed(const std::string& bytes, size_t sector)
{
    std::string damaged = bytes;
    std::fill_n(damaged.begin() + static_cast<ptrdiff_t>((sector + 1) * 512), 512, '\0');
    return damaged;
}

// A book whose second sheet is named in two scripts, one sector of that sheet zeroed.
std::string ScriptsBookHoled()
{
    BiffBuilder b;
    b.Globals({ "Ventes", "売上 Δ" }, { "Ελληνικά", "日本語" });
    for (int sheet = 0; sheet < 2; sheet++) {
        b.BeginSheet(sheet);
        for (uint16_t r = 0; r < 400; r++)
            b.Text(r, 0, r % 2);
        b.EndSheet();
    }
    const CfbImage image = BuildWorkbookFile(b.Bytes());
    const uint64_t middle = (b.sheetStarts[1] + b.Size()) / 2;
    return SectorZeroed(image.bytes, image.chains.at("Workbook")[middle / 512]);
}

} // namespace

// Damaged workbooks come back with what survived and say what was lost; a sound one is still
// Repaired with nothing in that column; one with nothing left fails and leaves nothing.
TEST_F(BatchRun, SalvagedRowsSayPartlyRecoveredAndWhatWasLost)
{
    TempFolder folder, out;
    const std::string threeSheets = ReadWholeFile(Fixture("lo_3sheets.xls"));
    struct Case {
        const wchar_t* name;
        std::string bytes;
        const char* status;
        const char* lost;
    };
    // lo_3sheets keeps its workbook stream from sector 2 on; sector 30 holds the end of its second
    // sheet and the start of its third.
    const std::vector<Case> cases = {
        { L"cut.xls", CutAtHalf(threeSheets), "Partly recovered", "Notes, Zeta" },
        { L"holed.xls", SectorZeroed(threeSheets, 30), "Partly recovered", "Notes from row 30 on, Zeta row 1" },
        { L"sound.xls", threeSheets, "Repaired", "" },
        { L"nothing.xls", CutAtHalf(ReadWholeFile(Fixture("lo_1cell.xls"))), "Failed", "" },
        // Names in any script, the workbook's and the file's, come through as they are.
        { L"销售报表.xls", ScriptsBookHoled(), "Partly recovered", "売上 Δ rows 168-207" },
    };
    std::vector<std::wstring> paths;
    for (const Case& c : cases)
        paths.push_back(folder.WriteFile(c.name, c.bytes));
    AddTicked(paths);
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    for (size_t row = 0; row < cases.size(); row++) {
        const Case& c = cases[row];
        SCOPED_TRACE(Utf8(c.name));
        const int r = static_cast<int>(row);
        EXPECT_EQ(Cell(r, 4), c.status);
        EXPECT_EQ(Cell(r, 5), c.lost);
        EXPECT_EQ(Results().GetItemImage(r), std::string(c.status) == "Failed" ? STATUS_FAILED : STATUS_REPAIRED);
        const std::wstring output = out.File(std::wstring(L"REP_") + c.name);
        if (std::string(c.status) == "Failed") {
            EXPECT_EQ(Cell(r, 2), "");
            EXPECT_TRUE(IsPathFree(output));
        } else {
            EXPECT_EQ(Cell(r, 2), "REP_" + Utf8(c.name));
            EXPECT_TRUE(CheckCompoundFile(output).wellFormed);
        }
        EXPECT_EQ(ReadWholeFile(paths[row]), c.bytes) << "the source is untouched";
        EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_" + c.name));
    }
    EXPECT_TRUE(ReadWholeFile(out.File(L"REP_sound.xls")).substr(32) == threeSheets.substr(32))
        << "the sound one is the repair as before: the header patch only";
    EXPECT_TRUE(ReadWholeFile(out.File(L"REP_holed.xls")) != SectorZeroed(threeSheets, 30)) << "a new file, not the holed one";
    const std::string scripts = ReadWholeFile(out.File(L"REP_销售报表.xls"));
    const std::vector<uint8_t> salvaged(scripts.begin(), scripts.end());
    EXPECT_EQ(SheetNames(salvaged), (std::vector<std::string> { "Ventes", "売上 Δ" }));
    Cells cells = ReadCells(salvaged);
    const auto first = std::make_tuple(std::string("Ventes"), 0, 0);
    const auto last = std::make_tuple(std::string("売上 Δ"), 399, 0);
    EXPECT_EQ(cells[first], "s:Ελληνικά");
    EXPECT_EQ(cells[last], "s:日本語");
}

// A workbook over the in-memory limit is judged and salvaged through files, and the salvaged
// copy's own working file goes too.
TEST_F(BatchRun, ALargeDamagedWorkbookIsSalvagedThroughItsWorkingFile)
{
    TempFolder folder, out;
    CfbImage image = BuildWorkbookFile(NumbersWorkbook(18u << 20));
    ASSERT_GT(image.bytes.size(), kInMemoryLimit);
    const std::string damaged = SectorZeroed(image.bytes, image.chains.at("Workbook")[5000]);
    AddTicked({ folder.WriteFile(L"big.xls", damaged) });
    Run({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out.Path()) });
    EXPECT_EQ(Cell(0, 4), "Partly recovered");
    EXPECT_EQ(Cell(0, 5), "Data rows 711-712");
    EXPECT_TRUE(CheckCompoundFile(out.File(L"REP_big.xls")).wellFormed);
    EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_big.xls"));
    EXPECT_TRUE(IsPathFree(TemporaryFolder() + L"REP_big.xls.part"));
}

// Working files are closed beside the next rows' work, but none is left when the run says it is
// done: a cut one salvaged through its own working file and a sound one, twice over.
TEST(RepairCore, NoWorkingFileIsLeftWhenTheRunSaysItIsDone)
{
    TempFolder folder, out;
    CfbImage image = BuildWorkbookFile(NumbersWorkbook(18u << 20));
    ASSERT_GT(image.bytes.size(), kInMemoryLimit);
    const std::string cut = image.bytes.substr(0, image.bytes.size() - image.bytes.size() / 20);
    ASSERT_GT(cut.size(), kInMemoryLimit) << "both go through working files";
    ListedRows rows;
    const std::wstring names[] = { L"cut.xls", L"sound.xls", L"cut2.xls", L"sound2.xls" };
    for (const std::wstring& name : names) {
        folder.WriteFile(name, name.find(L"cut") == 0 ? cut : image.bytes);
        rows.sources.push_back({ name, folder.Path() + L"\\" });
    }
    std::vector<std::wstring> left;
    bool done = false;
    rows.onDone = [&] {
        done = true;
        for (const std::wstring& name : names)
            for (const wchar_t* suffix : { L"", L".part" })
                if (!IsPathFree(TemporaryFolder() + L"REP_" + name + suffix))
                    left.push_back(name + suffix);
    };
    RunRepairBatch(MakeRepairSettings(NAME_PREFIX, LOCATION_CHOSEN, out.Path(), ProgramFolder()), rows);
    ASSERT_TRUE(done);
    EXPECT_TRUE(left.empty()) << Utf8(left.front());
    EXPECT_EQ(rows.status, (std::vector<std::string> { "Partly recovered", "Repaired", "Partly recovered", "Repaired" }));
    EXPECT_EQ(FilesIn(out.Path()).size(), 4u);
}

// A workbook up to the in-memory limit is its own working copy in memory; a caller's working
// file goes through the file path. Both give the same bytes and the same outcome, whatever the
// repair had to do.
TEST(RepairCore, AWorkbookRepairedInMemoryOrThroughAWorkingFileComesOutTheSame)
{
    const std::string threeSheets = ReadWholeFile(Fixture("lo_3sheets.xls"));
    std::string headerLost = ReadWholeFile(Fixture("gn_3sheets.xls"));
    std::fill_n(headerLost.begin(), 32, '\0');
    // A workbook whose stream is read through several windows, holed where the first ends.
    const CfbImage large = BuildWorkbookFile(NumbersWorkbook(3u << 20));
    const uint32_t firstWindowEnd = large.chains.at("Workbook")[(1u << 20) / 512 - 1];
    struct Case {
        const wchar_t* name;
        std::string bytes;
        const char* status;
    };
    const std::vector<Case> cases = {
        { L"sound.xls", ReadWholeFile(Fixture("xl_3sheets.xls")), "Repaired" },
        { L"header.xls", headerLost, "Repaired" },
        { L"holed.xls", SectorZeroed(threeSheets, 30), "Partly recovered" },
        { L"cut.xls", CutAtHalf(threeSheets), "Partly recovered" },
        { L"nothing.xls", CutAtHalf(ReadWholeFile(Fixture("lo_1cell.xls"))), "Failed" },
        { L"large holed.xls", SectorZeroed(large.bytes, firstWindowEnd), "Partly recovered" },
        { L"large cut.xls", CutAtHalf(large.bytes), "Partly recovered" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        TempFolder folder, work, inMemory, throughFile;
        const std::wstring source = folder.WriteFile(c.name, c.bytes);
        ListedRows memoryRows;
        memoryRows.sources = { { c.name, folder.Path() } };
        ResetWorkerStop();
        RunRepairBatch(MakeRepairSettings(NAME_PREFIX, LOCATION_CHOSEN, inMemory.Path(), ProgramFolder()), memoryRows);
        ListedRows fileRows;
        fileRows.sources = memoryRows.sources;
        fileRows.RowCount();
        const std::wstring workingFile = work.WriteFile(std::wstring(L"REP_") + c.name, c.bytes);
        RepairWorkingCopy(MakeRepairSettings(NAME_PREFIX, LOCATION_CHOSEN, throughFile.Path(), ProgramFolder()),
            fileRows, workingFile, { c.name, WithBackslash(folder.Path()) }, 0);
        EXPECT_EQ(memoryRows.status[0], c.status);
        EXPECT_EQ(fileRows.status[0], c.status);
        const std::vector<std::wstring> written = FilesIn(inMemory.Path());
        EXPECT_EQ(written, FilesIn(throughFile.Path()));
        EXPECT_EQ(written.size(), std::string(c.status) == "Failed" ? 0u : 1u);
        for (const std::wstring& name : written)
            EXPECT_TRUE(ReadWholeFile(inMemory.File(name)) == ReadWholeFile(throughFile.File(name))) << Utf8(name);
        EXPECT_TRUE(ReadWholeFile(source) == c.bytes) << "the source is untouched";
        EXPECT_TRUE(FilesIn(work.Path()).empty()) << "the working file went";
    }
}
