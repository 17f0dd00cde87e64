// A batch run as the user sees it: the rows the worker has finished are on the screen and Back is
// answered while the run goes on, however many row changes the worker has handed the window.
#include "Dib.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "app/RepairRun.h"
#include "app/ResultRows.h"
#include "framework/Thread.h"
#include "repair/FileCopy.h"
#include "res/resource.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <functional>

namespace {

std::wstring Fixture(const char* name)
{
    return Wide(std::string(TESSEL_SOURCE_DIR) + "\\tests\\fixtures\\" + name);
}

// The worker writes each block through this. It holds the worker on one block, counted from the
// start, until the test releases it or the run is asked to stop.
std::atomic<int> g_blocksBeforeHold { 0 };
HANDLE g_hHeld = nullptr;
HANDLE g_hRelease = nullptr;
bool HoldingWriter(HANDLE hFile, const uint8_t* data, DWORD count)
{
    if (g_blocksBeforeHold.fetch_sub(1) == 0) {
        ::SetEvent(g_hHeld);
        while (::WaitForSingleObject(g_hRelease, 20) == WAIT_TIMEOUT && !WorkerStopRequested()) { }
    }
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

// Waits for the object while serving only what other threads send (the worker's synchronous
// calls); posted messages, input and painting wait, as in a window thread that is busy.
bool WaitServingSent(HANDLE hObject, DWORD timeoutMs)
{
    const DWORD end = ::GetTickCount() + timeoutMs;
    for (;;) {
        const int left = static_cast<int>(end - ::GetTickCount());
        DWORD result = ::MsgWaitForMultipleObjects(1, &hObject, FALSE, left > 0 ? left : 0, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Row kinds of a run: a workbook (repaired, one block written), bytes that are no workbook
// (failed, nothing written).
struct RowKind {
    const char* fixture; // null: no workbook
    const char* status;
    int image;
};
const RowKind kWorkbook { "lo_1cell.xls", "Repaired", STATUS_REPAIRED };
const RowKind kNoWorkbook { nullptr, "Failed", STATUS_FAILED };

std::wstring RowName(int row)
{
    wchar_t name[32];
    std::swprintf(name, std::size(name), L"row%02d.xls", row);
    return name;
}

class RunOnScreen : public MainWindowTest {
protected:
    // Rows before the held one; the worker is held writing the held row's output, with
    // every change of the rows before it handed to the window.
    static constexpr int kRowsBeforeHold = 40;
    static constexpr int kRows = kRowsBeforeHold + 3;
    // More than a window that keeps up needs to paint and answer, far fewer than the changes the
    // worker has handed it by the time it is held.
    static constexpr int kMessageBudget = 20;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        dlg->m_strStartDir = ProgramFolder();
        g_hHeld = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        g_hRelease = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        int blocks = 0;
        for (int row = 0; row < kRows; row++) {
            // Every third row no workbook; the held row and those after it workbooks.
            const RowKind& kind = row % 3 == 2 && row < kRowsBeforeHold ? kNoWorkbook : kWorkbook;
            const std::string bytes = kind.fixture ? ReadWholeFile(Fixture(kind.fixture)) : std::string(600, 'x');
            dlg->AddSourceFile(folder.WriteFile(RowName(row), bytes));
            dlg->SourceList().SetCheck(row, TRUE);
            kinds.push_back(&kind);
            if (row < kRowsBeforeHold && kind.fixture)
                blocks += 1; // its output: a workbook this small is worked on in memory
        }
        g_blocksBeforeHold = blocks;
        previousWriter = SetCopyBlockWriter(&HoldingWriter);
    }
    void TearDown() override
    {
        ::SetEvent(g_hRelease);
        MainWindowTest::TearDown(); // stops a worker still running
        SetCopyBlockWriter(previousWriter);
        ::CloseHandle(g_hHeld);
        ::CloseHandle(g_hRelease);
    }

    // Next, the location dialog answered, and the worker held at its row while the window
    // serves nothing but the worker's synchronous calls.
    void StartAndHold()
    {
        {
            ModalAnswerer location({ [](HWND hDlg) {
                ::SendMessageA(::GetDlgItem(hDlg, IDC_SAME_LOCATION), BM_CLICK, 0, 0);
                ModalAnswerer::Press(IDOK)(hDlg);
            } });
            Command(IDC_NEXT);
        }
        ASSERT_TRUE(dlg->m_bRunning.load());
        ASSERT_TRUE(WaitServingSent(g_hHeld, 60000)) << "the worker never reached the held row";
    }

    // Serves messages one at a time as the modal loop does, at most `budget` of them, until the
    // condition holds; returns how many it served.
    int Serve(int budget, const std::function<bool()>& done)
    {
        int served = 0;
        while (served < budget && !done()) {
            // Messages already seen count too: a window behind its queue has nothing new in it.
            if (::MsgWaitForMultipleObjectsEx(0, nullptr, 2000, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT)
                break;
            MSG msg;
            if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                continue;
            served++;
            if (!dlg->PreTranslateInLoop(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        return served;
    }

    bool RowsBeforeHoldShowTheirOutcome()
    {
        for (int row = 0; row < kRowsBeforeHold; row++)
            if (dlg->ResultList().GetItemText(row, RESULT_STATUS) != Wide(kinds[row]->status))
                return false;
        return true;
    }
    bool ListOwesNoPainting()
    {
        HWND hList = dlg->ResultList().m_hWnd;
        HWND hHeader = reinterpret_cast<HWND>(::SendMessageA(hList, LVM_GETHEADER, 0, 0));
        return !::GetUpdateRect(hList, nullptr, FALSE) && !(hHeader && ::GetUpdateRect(hHeader, nullptr, FALSE));
    }

    TempFolder folder;
    std::vector<const RowKind*> kinds;
    CopyBlockWriter previousWriter = nullptr;
};

// The pixels that differ between two captures of the same size.
int DifferingPixels(const Dib& a, const Dib& b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); y++)
        for (int x = 0; x < a.width(); x++)
            differing += a.Raw(x, y) != b.Raw(x, y);
    return differing;
}

} // namespace

// The new step is on the screen before the worker writes anything: its drawing never holds back
// the first rows' outcomes.
TEST_F(RunOnScreen, TheStepIsDrawnBeforeTheWorkerWritesItsFirstCopy)
{
    g_blocksBeforeHold = 0; // held on its very first block
    StartAndHold();
    EXPECT_FALSE(::GetUpdateRect(dlg->m_hWnd, nullptr, FALSE));
    EXPECT_TRUE(ListOwesNoPainting());
    EXPECT_TRUE(::IsWindowVisible(dlg->ResultList().m_hWnd));
    EXPECT_EQ(dlg->ResultList().GetItemImage(0), STATUS_QUEUED) << "no row change was made yet";
}

TEST_F(RunOnScreen, FinishedRowsArePaintedWhileTheWorkerIsStillGoing)
{
    StartAndHold();
    const int served = Serve(kMessageBudget, [&] { return RowsBeforeHoldShowTheirOutcome() && ListOwesNoPainting(); });
    EXPECT_TRUE(RowsBeforeHoldShowTheirOutcome()) << "after " << served << " messages";
    ASSERT_TRUE(dlg->m_bRunning.load()) << "the run is still going";
    // The held row's working state has no outcome after it yet, so it is shown; the next is queued.
    EXPECT_EQ(dlg->ResultList().GetItemImage(kRowsBeforeHold), STATUS_WORKING);
    EXPECT_EQ(dlg->ResultList().GetItemImage(kRowsBeforeHold + 1), STATUS_QUEUED);

    HWND hList = dlg->ResultList().m_hWnd;
    RECT rc;
    ::GetClientRect(hList, &rc);
    Dib shown(rc.right, rc.bottom), painted(rc.right, rc.bottom);
    CaptureAsShown(hList, shown);
    // What the list draws when asked to paint all of it now, header included.
    ::RedrawWindow(hList, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    CaptureAsShown(hList, painted);
    EXPECT_EQ(DifferingPixels(shown, painted), 0)
        << "the screen showed the list as it was " << served << " messages after the worker was held";

    // And what it draws is the list, not the window's picture behind it.
    Dib behind(rc.right, rc.bottom);
    {
        gdi::MemoryDC picture(nullptr);
        gdi::SelectGuard select(picture, dlg->BackgroundBitmap());
        POINT at = { 0, 0 };
        ::MapWindowPoints(hList, dlg->m_hWnd, &at, 1);
        ::BitBlt(behind.dc(), 0, 0, rc.right, rc.bottom, picture, at.x, at.y, SRCCOPY);
    }
    EXPECT_GT(DifferingPixels(painted, behind), rc.right * rc.bottom / 2);
    ::SetEvent(g_hRelease);
    ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 60000, dlg.get()));
}

TEST_F(RunOnScreen, BackIsAnsweredBeforeTheRowChangesAndTheRunEndsWithEveryRowInOrder)
{
    StartAndHold();
    // The user has selected a row the worker has not shown yet; showing it keeps the selection.
    ListView_SetItemState(dlg->ResultList().m_hWnd, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

    // A real click on Back, through the input queue, behind every change the worker handed over.
    ::SetForegroundWindow(dlg->m_hWnd);
    RECT rc;
    ::GetWindowRect(Item(IDC_BACK), &rc);
    ASSERT_TRUE(PlaceCursor((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ModalAnswerer question({ ModalAnswerer::Press(IDNO) });
    ASSERT_EQ(::SendInput(2, click, sizeof(INPUT)), 2u);
    const int served = Serve(kMessageBudget, [&] { return question.Count() > 0; });
    ASSERT_EQ(question.Count(), 1u) << "no question after " << served << " messages";
    EXPECT_NE(question.Seen()[0].text.find("Do you want to abort repair process"), std::string::npos);
    EXPECT_EQ(dlg->m_nStep, 2) << "answered No, the run goes on";

    ::SetEvent(g_hRelease);
    ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 60000, dlg.get()));
    Pump(50);
    CListCtrl& list = dlg->ResultList();
    ASSERT_EQ(list.GetItemCount(), kRows);
    for (int row = 0; row < kRows; row++) {
        SCOPED_TRACE(Utf8(RowName(row)));
        const bool repaired = kinds[row]->fixture != nullptr;
        EXPECT_EQ(list.GetItemText(row, RESULT_SOURCE_NAME), RowName(row));
        EXPECT_EQ(list.GetItemText(row, RESULT_SOURCE_FOLDER), folder.Path());
        EXPECT_EQ(list.GetItemText(row, RESULT_OUTPUT_NAME), repaired ? L"REP_" + RowName(row) : L"");
        EXPECT_EQ(list.GetItemText(row, RESULT_OUTPUT_FOLDER), repaired ? folder.Path() + L"\\Repaired\\" : L"");
        EXPECT_EQ(list.GetItemText(row, RESULT_STATUS), Wide(kinds[row]->status));
        EXPECT_EQ(list.GetItemImage(row), kinds[row]->image);
    }
    EXPECT_EQ(ListView_GetItemState(list.m_hWnd, 1, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(ListView_GetSelectedCount(list.m_hWnd), 1u);
}

// Windows refuses a post to a thread whose queue holds 10,000 messages; the worker's change is then
// made while it waits. Wine's queues take far more without refusing one, so the refusal is the
// poster's here: the worker's wake is refused as a full queue refuses it, and the window thread
// serves only what is sent to it.
std::atomic<int> g_refusedPosts { 0 };
BOOL WINAPI RefusingPoster(HWND, UINT, WPARAM, LPARAM)
{
    g_refusedPosts++;
    ::SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
}

TEST_F(MainWindowTest, RowChangeIsMadeWhenTheWindowsQueueIsFull)
{
    static std::atomic<int> made;
    made = 0;
    g_refusedPosts = 0;
    const RowWakePoster previous = SetRowWakePoster(&RefusingPoster);
    std::unique_ptr<CWinThread> worker = CWinThread::Begin(
        [](LPVOID param) -> UINT {
            auto* window = static_cast<CRepairDlg*>(param);
            window->PostToWindowThread([] { made++; });
            // The window woken is awake: the next change waits for it with no post of its own.
            window->PostToWindowThread([] { made += 10; });
            return 1;
        },
        dlg.get());
    ASSERT_TRUE(worker);
    EXPECT_TRUE(WaitServingSent(worker->m_hThread, 10000));
    SetRowWakePoster(previous);
    EXPECT_EQ(g_refusedPosts.load(), 1);
    EXPECT_EQ(made.load(), 1) << "the first change is made while the refused worker waits";
    MSG msg;
    EXPECT_FALSE(::PeekMessageA(&msg, dlg->m_hWnd, CRepairDlg::kRowUpdate, CRepairDlg::kRowUpdate, PM_NOREMOVE))
        << "nothing went to the queue";
    ASSERT_TRUE(PumpUntil([&] { return made.load() == 11; }, 5000, dlg.get())) << "the second change, on the row timer";
}
