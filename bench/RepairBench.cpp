// Prints how long a batch run takes against the least any design that copies through a working
// file can do: two plain copies of every file. The run and the copies take turns, several rounds
// in one process, each starting with no unwritten data of the other left behind (the files of a
// round are removed before the next one starts), and the figures are the minimum and median of
// each. Figures only; nothing here passes or fails.
#include "../app/RepairDlg.h"
#include "../app/RepairRun.h"
#include "../framework/Thread.h"
#include "../repair/PathRules.h"
#include "../repair/RepairTexts.h"
#include "../app/ResultRows.h"
#include "../tests/repair/CfbWriter.h"
#include "Seconds.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 3;

std::string MakeFolder(const std::string& parent, const std::string& name)
{
    std::string path = parent + name;
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void RemoveFiles(const std::string& folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileA((folder + "\\" + fd.cFileName).c_str());
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
}

struct RunParam {
    CRepairDlg* dlg;
    RepairStageTimes times;
};

// The program's run as RepairAll does it, with the time of each stage kept.
UINT TimedRun(LPVOID param)
{
    auto* run = static_cast<RunParam*>(param);
    run->dlg->m_bRunning = 1;
    RunRepairBatch(SettingsOf(*run->dlg), *run->dlg, &run->times);
    run->dlg->m_bRunning = 0;
    return 1;
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

class Batch {
public:
    Batch(CRepairDlg& dlg, const std::string& base, int count, uint64_t size)
        : m_dlg(dlg)
        , m_count(count)
    {
        m_sources = MakeFolder(base, "sources");
        m_output = MakeFolder(base, "output");
        m_plain = MakeFolder(base, "plain");
        m_bytes = BuildWorkbook(size - 8192).bytes;
        for (int i = 0; i < count; i++) {
            m_names.push_back("book" + std::to_string(i) + ".xls");
            std::ofstream(m_sources + "\\" + m_names.back(), std::ios::binary)
                .write(m_bytes.data(), static_cast<std::streamsize>(m_bytes.size()));
        }
    }
    ~Batch()
    {
        for (const std::string& folder : { m_sources, m_output, m_plain }) {
            RemoveFiles(folder);
            ::RemoveDirectoryA(folder.c_str());
        }
    }

    double Run(RepairStageTimes& times, int& repaired)
    {
        HWND hList = m_dlg.GetDlgItem(1005);
        ::SendMessageA(hList, LVM_DELETEALLITEMS, 0, 0);
        for (const std::string& name : m_names)
            AppendRow(hList, name, m_sources, STATUS_QUEUED);
        m_dlg.m_nNameMode = NAME_PREFIX;
        m_dlg.m_nLocationMode = LOCATION_CHOSEN;
        m_dlg.m_strTargetDir = m_output;
        m_dlg.m_nStep = 2;
        ResetWorkerStop();
        RunParam param { &m_dlg, {} };
        double start = Seconds();
        m_dlg.m_bRunning = 1;
        std::unique_ptr<CWinThread> worker = CWinThread::Begin(&TimedRun, &param);
        while (m_dlg.m_bRunning)
            Pump();
        double seconds = Seconds() - start;
        worker->WaitServingMessages();
        times = param.times;
        repaired = 0;
        for (int row = 0; row < m_count; row++)
            repaired += GetRowText(hList, row, RESULT_STATUS) == texts::kStatusRepaired;
        RemoveFiles(m_output);
        return seconds;
    }

    // The floor: a copy into the temporary folder and one into the output folder, per file.
    double PlainCopies()
    {
        const std::string temp = TemporaryFolder();
        double start = Seconds();
        for (const std::string& name : m_names) {
            ::CopyFileA((m_sources + "\\" + name).c_str(), (temp + name).c_str(), FALSE);
            ::CopyFileA((temp + name).c_str(), (m_plain + "\\" + name).c_str(), FALSE);
            ::DeleteFileA((temp + name).c_str());
        }
        double seconds = Seconds() - start;
        RemoveFiles(m_plain);
        return seconds;
    }

    void Measure()
    {
        std::vector<double> runs, copies;
        RepairStageTimes best;
        int repaired = 0;
        // A first run of each warms the page cache with the sources for both alike.
        RepairStageTimes times;
        Run(times, repaired);
        PlainCopies();
        for (int round = 0; round < kRounds; round++) {
            // Alternate which goes first, so neither always follows the other.
            if (round % 2)
                copies.push_back(PlainCopies());
            runs.push_back(Run(times, repaired));
            if (runs.back() == Min(runs))
                best = times;
            if (round % 2 == 0)
                copies.push_back(PlainCopies());
        }
        std::printf(
            "%d workbooks of %.1f MiB: run min %.3f s median %.3f s, two plain copies min %.3f s median %.3f s, "
            "ratio %.2f\n",
            m_count, static_cast<double>(m_bytes.size()) / (1 << 20), Min(runs), Median(runs), Min(copies),
            Median(copies), Min(runs) / Min(copies));
        const double ms = 1000.0 / m_count;
        std::printf(
            "    per file in the fastest run (%d of %d repaired): working copy %.3f ms, patch and check %.3f ms, "
            "output copy %.3f ms, row updates %.3f ms, cleanup %.3f ms\n",
            repaired, m_count, best.workingCopy * ms, best.patch * ms, best.placing * ms, best.rows * ms,
            best.cleanup * ms);
        std::fflush(stdout);
    }

private:
    CRepairDlg& m_dlg;
    int m_count;
    std::string m_sources, m_output, m_plain, m_bytes;
    std::vector<std::string> m_names;
};

} // namespace

int main()
{
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES };
    ::InitCommonControlsEx(&icc);
    CRepairDlg dlg;
    if (!dlg.Create())
        return 1;
    std::string base = MakeFolder(TemporaryFolder(), "tessel-bench") + "\\";
    Batch(dlg, base, 200, 1 << 20).Measure();
    Batch(dlg, base, 20, 50ull << 20).Measure();
    ::RemoveDirectoryA(base.c_str());
    return 0;
}
