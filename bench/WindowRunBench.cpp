// Prints how long a batch takes through the real main window, from the location dialog's OK to the
// done text with every row shown, against the repair core alone on the same workbooks in the same
// process. The two take turns, several rounds, and the figures are the minimum and median of each.
// Also: when the last copy was written, and how long Back takes to ask its question while a long
// run is going. Figures only; nothing here passes or fails.
#include "../app/RepairDlg.h"
#include "../app/RepairRun.h"
#include "../app/ResultRows.h"
#include "../framework/PathText.h"
#include "../framework/Thread.h"
#include "../repair/FileCopy.h"
#include "../repair/PathRules.h"
#include "../repair/RepairTexts.h"
#include "../res/resource.h"
#include "../tests/harness/ModalAnswerer.h"
#include "../tests/harness/TempFolder.h"
#include "Seconds.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kBooks = 300;
constexpr int kRounds = 7;

// Every block a copy writes is timed, so that the last copy of a run can be told from its end and
// each row's copy from the moment the list shows the row's outcome. Every book here is one block,
// written twice: its working copy, then its output, which is the row's last step.
std::atomic<double> g_lastWrite { 0 };
std::atomic<int> g_writes { 0 };
double g_writeTimes[2 * kBooks];
bool TimedWrite(HANDLE hFile, const uint8_t* data, DWORD count)
{
    DWORD written = 0;
    bool ok = ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
    g_lastWrite = Seconds();
    const int write = g_writes++;
    if (write < 2 * kBooks)
        g_writeTimes[write] = g_lastWrite;
    return ok;
}

double Min(std::vector<double> v)
{
    return *std::min_element(v.begin(), v.end());
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::wstring Fixture(const char* name)
{
    return Wide(std::string(TESSEL_SOURCE_DIR) + "\\tests\\fixtures\\" + name);
}

// The rows as the core alone keeps them: plain values, no window.
class PlainRows : public IRepairRows {
public:
    explicit PlainRows(std::vector<RepairSource> sources)
        : m_sources(std::move(sources))
        , m_outcomes(m_sources.size())
    {
    }
    int RowCount() override { return static_cast<int>(m_sources.size()); }
    RepairSource StartRow(int row) override { return m_sources[row]; }
    void ShowFailed(int row) override { m_outcomes[row] = texts::kStatusFailed; }
    void ShowNameTooLong(int row) override { m_outcomes[row] = texts::kStatusNameTooLong; }
    void ShowRepaired(int row, const OutputChoice&) override { m_outcomes[row] = texts::kStatusRepaired; }
    void ShowPartial(int row, const OutputChoice&, const std::wstring&) override
    {
        m_outcomes[row] = texts::kStatusPartial;
    }
    void ShowDone() override { }
    int Repaired() const
    {
        return static_cast<int>(std::count(m_outcomes.begin(), m_outcomes.end(), texts::kStatusRepaired));
    }

private:
    std::vector<RepairSource> m_sources;
    std::vector<std::string> m_outcomes;
};

std::string Instructions(CRepairDlg& dlg)
{
    char text[512] = {};
    ::GetWindowTextA(dlg.GetDlgItem(IDC_INSTRUCTIONS), text, sizeof(text));
    return text;
}

// The window thread's longest stretches away from its loop: each message it dispatched, and each
// look at its queue (which also runs what other threads sent it, the worker's calls), with the
// thread's own processor time in the same stretch, so that a handler's work can be told from a
// thread that was waiting. Taken in the warm-up run only: reading the thread's time is itself a
// call to the system.
double ThreadCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    auto ticks = [](FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

class StretchLog {
public:
    // `hWnd` null: a look at the queue.
    void Add(double wall, double cpu, UINT message, HWND hWnd)
    {
        m_total += wall;
        m_count++;
        if (m_longest.size() == kKept && wall <= m_longest.back().wall)
            return;
        Stretch s { wall, cpu, message, {} };
        if (hWnd)
            ::GetClassNameA(hWnd, s.windowClass, sizeof(s.windowClass));
        else
            std::snprintf(s.windowClass, sizeof(s.windowClass), "(a look at the queue)");
        m_longest.push_back(s);
        std::sort(m_longest.begin(), m_longest.end(), [](const Stretch& a, const Stretch& b) { return a.wall > b.wall; });
        if (m_longest.size() > kKept)
            m_longest.pop_back();
    }
    void Print() const
    {
        std::printf("    the window thread's longest stretches in the first run (%zu, %.0f ms in all):", m_count,
            m_total * 1000);
        for (const Stretch& s : m_longest)
            std::printf(" %.0f ms (%.0f ms its own) 0x%04X %s;", s.wall * 1000, s.cpu * 1000, s.message, s.windowClass);
        std::printf("\n");
    }

private:
    struct Stretch {
        double wall;
        double cpu;
        UINT message;
        char windowClass[32];
    };
    static constexpr size_t kKept = 6;
    std::vector<Stretch> m_longest;
    double m_total = 0;
    size_t m_count = 0;
};

// Serves the window as its modal loop does until the condition holds, waking as soon as the worker
// ends. The condition is looked at after every message, so that what it watches for is seen when it
// happens, not when the queue next runs dry.
void ServeUntil(CRepairDlg& dlg, const std::function<bool()>& done, StretchLog* log = nullptr)
{
    while (!done()) {
        HANDLE worker = g_pWorker ? g_pWorker->m_hThread : nullptr;
        ::MsgWaitForMultipleObjects(worker ? 1 : 0, &worker, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        for (;;) {
            double wall = Seconds(), cpu = log ? ThreadCpuSeconds() : 0;
            const BOOL got = ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
            if (log)
                log->Add(Seconds() - wall, ThreadCpuSeconds() - cpu, 0, nullptr);
            if (!got)
                break;
            wall = Seconds();
            cpu = log ? ThreadCpuSeconds() : 0;
            if (!dlg.PreTranslateInLoop(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            if (log)
                log->Add(Seconds() - wall, ThreadCpuSeconds() - cpu, msg.message, msg.hwnd);
            if (done())
                return;
        }
    }
}

// The location dialog confirmed with "Repair in the same location"; `pressed` is when OK went.
ModalAnswerer::Action SameLocation(double& pressed)
{
    return [&pressed](HWND hDlg) {
        ::SendMessageA(::GetDlgItem(hDlg, IDC_SAME_LOCATION), BM_CLICK, 0, 0);
        pressed = Seconds();
        ModalAnswerer::Press(IDOK)(hDlg);
    };
}

bool RunEnded()
{
    return !g_pWorker || !g_pWorker->IsRunning();
}

// When the first window other than the main one is activated after a click: the question of Back.
std::atomic<double> g_questionShown { 0 };
HWND g_hMain = nullptr;
LRESULT CALLBACK OnActivate(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_ACTIVATE && reinterpret_cast<HWND>(wParam) != g_hMain && g_questionShown == 0)
        g_questionShown = Seconds();
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

class Batch {
public:
    explicit Batch(CRepairDlg& dlg)
        : m_dlg(dlg)
    {
        // About 60 KiB on average: small books of every writer, and one of 50,000 cells in twenty.
        const char* small[] = { "lo_1cell.xls", "lo_3sheets.xls", "gn_1cell.xls", "gn_3sheets.xls", "xl_1cell.xls",
            "xl_3sheets.xls", "we_1cell.xls", "we_3sheets.xls" };
        const char* large[] = { "lo_50k.xls", "gn_50k.xls" };
        uint64_t total = 0;
        for (int i = 0; i < kBooks; i++) {
            std::string bytes = ReadWholeFile(Fixture(i % 20 == 0 ? large[i / 20 % 2] : small[i % 8]));
            // Damaged as a failed save leaves them: the header's first fields gone.
            std::fill(bytes.begin(), bytes.begin() + 32, '\0');
            wchar_t name[32];
            std::swprintf(name, std::size(name), L"book%03d.xls", i);
            m_sources.push_back({ name, m_folder.Path() + L"\\" });
            m_paths.push_back(m_folder.WriteFile(name, bytes));
            total += bytes.size();
        }
        m_meanKiB = static_cast<double>(total) / kBooks / 1024;
        for (const std::wstring& path : m_paths) {
            m_dlg.AddSourceFile(path);
            m_dlg.SourceList().SetCheck(m_dlg.SourceList().GetItemCount() - 1, TRUE);
        }
    }

    // Next through the real window, from the location dialog's OK until the done text shows and
    // every row has its outcome on the screen.
    double ThroughTheWindow(double& lastCopy, int& repaired, StretchLog* log = nullptr)
    {
        double start = 0;
        const double ownBefore = ThreadCpuSeconds();
        {
            ModalAnswerer answer({ SameLocation(start) });
            g_lastWrite = 0;
            g_writes = 0;
            ::SendMessageA(m_dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), 0);
        }
        // When each row first shows its outcome, looked at whenever the window has served its messages.
        HWND hList = m_dlg.ResultList().m_hWnd;
        std::vector<double> shown;
        ServeUntil(m_dlg, [&] {
            while (static_cast<int>(shown.size()) < kBooks
                && !GetRowText(hList, static_cast<int>(shown.size()), RESULT_STATUS).empty())
                shown.push_back(Seconds());
            return RunEnded() && Instructions(m_dlg) == texts::kRepairDone;
        }, log);
        // A row's output is its last write: a workbook worked on in memory is written once, one
        // with a working file twice.
        const int writesPerBook = g_writes / kBooks;
        if (g_writes % kBooks == 0 && writesPerBook >= 1 && writesPerBook <= 2)
            for (int row = 0; row < static_cast<int>(shown.size()); row++)
                m_rowLags.push_back(shown[row] - g_writeTimes[writesPerBook * (row + 1) - 1]);
        else
            m_unevenWrites = g_writes;
        ::UpdateWindow(m_dlg.m_hWnd);
        ::UpdateWindow(m_dlg.ResultList().m_hWnd);
        double seconds = Seconds() - start;
        lastCopy = g_lastWrite - start;
        if (!log)
            m_windowOwn.push_back(ThreadCpuSeconds() - ownBefore);
        repaired = 0;
        for (int row = 0; row < kBooks; row++)
            repaired += GetRowText(m_dlg.ResultList().m_hWnd, row, RESULT_STATUS) == WidenText(texts::kStatusRepaired);
        ::SendMessageA(m_dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BACK, BN_CLICKED), 0);
        RemoveTree(m_folder.Path() + L"\\Repaired");
        return seconds;
    }

    // The same books through the repair core on this thread, its rows kept in plain values.
    double CoreAlone(double& lastCopy, int& repaired)
    {
        PlainRows rows(m_sources);
        RepairSettings settings
            = MakeRepairSettings(m_dlg.m_nNameMode, LOCATION_SAME, std::wstring(), m_dlg.m_strStartDir);
        ResetWorkerStop();
        g_lastWrite = 0;
        double start = Seconds();
        RunRepairBatch(settings, rows);
        double seconds = Seconds() - start;
        lastCopy = g_lastWrite - start;
        repaired = rows.Repaired();
        RemoveTree(m_folder.Path() + L"\\Repaired");
        return seconds;
    }

    // Clicks Back while a run is going, after `after` seconds of it, and answers No: the seconds
    // from the click to the question.
    double BackDuringRun(double after)
    {
        double start = 0;
        {
            ModalAnswerer answer({ SameLocation(start) });
            ::SendMessageA(m_dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), 0);
        }
        ServeUntil(m_dlg, [&] { return Seconds() - start >= after || RunEnded(); });
        double asked = -1;
        if (!RunEnded()) {
            ModalAnswerer answer({ ModalAnswerer::Press(IDNO) });
            g_hMain = m_dlg.m_hWnd;
            g_questionShown = 0;
            HHOOK hook = ::SetWindowsHookExA(WH_CBT, &OnActivate, nullptr, ::GetCurrentThreadId());
            double clicked = ClickBack();
            ServeUntil(m_dlg, [&] { return answer.Count() > 0 || Seconds() - clicked > 30; });
            ::UnhookWindowsHookEx(hook);
            if (g_questionShown > 0)
                asked = g_questionShown - clicked;
        }
        ServeUntil(m_dlg, [&] { return RunEnded() && Instructions(m_dlg) == texts::kRepairDone; });
        ::SendMessageA(m_dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BACK, BN_CLICKED), 0);
        RemoveTree(m_folder.Path() + L"\\Repaired");
        return asked;
    }

    void Measure()
    {
        std::vector<double> window, core, windowLast, coreLast, back;
        int windowRepaired = 0, coreRepaired = 0;
        double last = 0;
        // A first run of each warms the caches for both alike.
        StretchLog stretches;
        ThroughTheWindow(last, windowRepaired, &stretches);
        CoreAlone(last, coreRepaired);
        for (int round = 0; round < kRounds; round++) {
            // Alternate which goes first, so neither always follows the other.
            if (round % 2) {
                core.push_back(CoreAlone(last, coreRepaired));
                coreLast.push_back(last);
            }
            window.push_back(ThroughTheWindow(last, windowRepaired));
            windowLast.push_back(last);
            if (round % 2 == 0) {
                core.push_back(CoreAlone(last, coreRepaired));
                coreLast.push_back(last);
            }
        }
        for (int round = 0; round < kRounds; round++) {
            double asked = BackDuringRun(0.25 * Min(window));
            if (asked >= 0)
                back.push_back(asked);
        }
        std::printf("%d workbooks of about %.0f KiB through the window: run %.3f s, core alone %.3f s, ratio %.2f\n",
            kBooks, m_meanKiB, Min(window), Min(core), Min(window) / Min(core));
        std::printf(
            "    through the window min %.3f s median %.3f s (%d repaired), core alone min %.3f s median %.3f s "
            "(%d repaired)\n",
            Min(window), Median(window), windowRepaired, Min(core), Median(core), coreRepaired);
        std::printf("    last copy written after: through the window min %.3f s median %.3f s, core alone min %.3f s "
                    "median %.3f s\n",
            Min(windowLast), Median(windowLast), Min(coreLast), Median(coreLast));
        if (m_unevenWrites)
            std::printf("    row outcomes not timed: %d block writes for %d workbooks\n", m_unevenWrites, kBooks);
        if (!m_rowLags.empty()) {
            std::vector<double> lags = m_rowLags;
            std::sort(lags.begin(), lags.end());
            std::printf("    a row shows its outcome in the list after its copy is written: median %.1f ms, 99 in 100 "
                        "within %.1f ms, at most %.1f ms (%zu rows)\n",
                lags[lags.size() / 2] * 1000, lags[lags.size() * 99 / 100] * 1000, lags.back() * 1000, lags.size());
        }
        // Less shaken by a busy machine than the times above: what the window thread itself ran.
        std::printf("    the window thread's own time in a run (the loop here included): min %.0f ms median %.0f ms\n",
            Min(m_windowOwn) * 1000, Median(m_windowOwn) * 1000);
        stretches.Print();
        if (back.empty())
            std::printf("    Back during a run: the run ended before the click\n");
        else
            std::printf("    Back during a run asks its question after min %.0f ms median %.0f ms (%zu clicks)\n",
                Min(back) * 1000, Median(back) * 1000, back.size());
        std::fflush(stdout);
    }

private:
    // A real click on Back, through the system's input queue; returns when it was sent.
    double ClickBack()
    {
        RECT rc;
        ::GetWindowRect(m_dlg.GetDlgItem(IDC_BACK), &rc);
        const int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
        const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
        INPUT input[3] = {};
        for (INPUT& in : input) {
            in.type = INPUT_MOUSE;
            in.mi.dx = x * 65536 / cx;
            in.mi.dy = y * 65536 / cy;
            in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
        }
        input[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
        input[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
        input[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
        double clicked = Seconds();
        ::SendInput(3, input, sizeof(INPUT));
        return clicked;
    }

    CRepairDlg& m_dlg;
    TempFolder m_folder;
    std::vector<std::wstring> m_paths;
    std::vector<RepairSource> m_sources;
    double m_meanKiB = 0;
    std::vector<double> m_windowOwn; // the window thread's own processor time in each counted run
    std::vector<double> m_rowLags; // seconds from each row's copy to its outcome in the list, every run
    int m_unevenWrites = 0; // the writes of a run whose rows could not be told apart
};

} // namespace

int main()
{
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES };
    ::InitCommonControlsEx(&icc);
    SetCopyBlockWriter(&TimedWrite);
    CRepairDlg dlg;
    if (!dlg.Create())
        return 1;
    dlg.m_bShowSummary = false; // nothing answers the summary box here
    ::ShowWindow(dlg.m_hWnd, SW_SHOWNORMAL);
    ::UpdateWindow(dlg.m_hWnd);
    Batch(dlg).Measure();
    return 0;
}
