// Prints how long a batch run takes against the least any design that copies through a working
// file can do: two plain copies of every file, made the fastest plain way this system has (its
// CopyFile, or a plain read and write loop with large blocks, through a temporary file it keeps or
// one held open as the program holds its working copies, whichever is fastest in that round). The
// workbooks are real ones (a sheet of numbers), so every run reads each workbook's records to judge
// it whole. The run and the copies take turns, at least seven rounds in one process, each starting
// with no unwritten data of the other left behind (the files of a round are removed before the next
// one starts), and the figures are the minimum and median of each. Then the salvage of a large
// workbook cut at half against a plain copy of the same damaged file. Figures only; nothing here
// passes or fails.
#include "../app/RepairDlg.h"
#include "../app/RepairRun.h"
#include "../app/ResultRows.h"
#include "../framework/PathText.h"
#include "../framework/Thread.h"
#include "../repair/PathRules.h"
#include "../repair/RepairTexts.h"
#include "../repair/ByteSource.h"
#include "../repair/WorkbookSalvage.h"
#include "../tests/repair/BiffBuilder.h"
#include "Seconds.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 7;
constexpr DWORD kLoopBlock = 1u << 20;

std::wstring MakeFolder(const std::wstring& parent, const std::wstring& name)
{
    std::wstring path = parent + name;
    ::CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

void RemoveFiles(const std::wstring& folder)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileW((folder + L"\\" + fd.cFileName).c_str());
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
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

// Reads `in` from its position to its end into `out`, in large blocks, nothing else.
void CopyBlocks(HANDLE in, HANDLE out)
{
    static std::vector<char> block(kLoopBlock);
    DWORD got = 0, written = 0;
    while (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE
        && ::ReadFile(in, block.data(), kLoopBlock, &got, nullptr) && got > 0)
        ::WriteFile(out, block.data(), got, &written, nullptr);
}

void Close(HANDLE h)
{
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
}

// A plain copy: read and write in large blocks, nothing else. The copy is created new, as the
// program creates its files: over ext4, replacing (even an absent file) makes the system write the
// file out when it is closed, which no program that only copies needs to wait for.
void LoopCopy(const std::wstring& from, const std::wstring& to)
{
    HANDLE in = ::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    CopyBlocks(in, out);
    Close(in);
    Close(out);
}

// Two plain copies through a temporary file held open and removed by the system when it closes,
// as the program keeps its working copies: where this system writes such a file faster than one
// it keeps, this is the faster floor.
void LoopCopyThroughHeld(const std::wstring& from, const std::wstring& temp, const std::wstring& to)
{
    HANDLE in = ::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE held
        = ::CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
            nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    CopyBlocks(in, held);
    Close(in);
    LARGE_INTEGER start = {};
    HANDLE out = ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held != INVALID_HANDLE_VALUE && ::SetFilePointerEx(held, start, nullptr, FILE_BEGIN))
        CopyBlocks(held, out);
    Close(out);
    Close(held);
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
    Batch(CRepairDlg& dlg, const std::wstring& base, int count, uint64_t size)
        : m_dlg(dlg)
        , m_count(count)
    {
        m_sources = MakeFolder(base, L"sources");
        m_output = MakeFolder(base, L"output");
        m_plain = MakeFolder(base, L"plain");
        m_bytes = BuildWorkbookFile(NumbersWorkbook(size - 8192)).bytes;
        // The compound file's own blocks are a larger share of a small file: the stream grows by
        // what the file fell short, so that the file is of the size named.
        if (m_bytes.size() < size)
            m_bytes = BuildWorkbookFile(NumbersWorkbook(size - 8192 + (size - m_bytes.size()))).bytes;
        for (int i = 0; i < count; i++) {
            m_names.push_back(L"book" + std::to_wstring(i) + L".xls");
            WriteBytes(m_sources + L"\\" + m_names.back(), m_bytes);
        }
    }
    ~Batch()
    {
        for (const std::wstring& folder : { m_sources, m_output, m_plain }) {
            RemoveFiles(folder);
            ::RemoveDirectoryW(folder.c_str());
        }
    }

    double Run(RepairStageTimes& times, int& repaired)
    {
        HWND hList = m_dlg.GetDlgItem(1005);
        ::SendMessageA(hList, LVM_DELETEALLITEMS, 0, 0);
        for (const std::wstring& name : m_names)
            AppendRow(hList, name, m_sources, STATUS_QUEUED);
        // The window reads a run's rows before its worker starts; so does this run.
        m_dlg.TakeRunSources();
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
            repaired += GetRowText(hList, row, RESULT_STATUS) == WidenText(texts::kStatusRepaired);
        RemoveFiles(m_output);
        return seconds;
    }

    // The ways of the floor: the platform's CopyFile, a plain loop, and a plain loop through a
    // temporary file held open.
    enum Way { kCopyFile, kLoop, kLoopThroughHeld, kWays };

    // The floor: a copy into the temporary folder and one into the output folder, per file.
    double PlainCopies(Way way)
    {
        const std::wstring temp = TemporaryFolder();
        double start = Seconds();
        for (const std::wstring& name : m_names) {
            const std::wstring source = m_sources + L"\\" + name, target = m_plain + L"\\" + name;
            if (way == kLoopThroughHeld) {
                LoopCopyThroughHeld(source, temp + name, target);
                continue;
            }
            if (way == kCopyFile) {
                ::CopyFileW(source.c_str(), (temp + name).c_str(), TRUE);
                ::CopyFileW((temp + name).c_str(), target.c_str(), TRUE);
            } else {
                LoopCopy(source, temp + name);
                LoopCopy(temp + name, target);
            }
            ::DeleteFileW((temp + name).c_str());
        }
        double seconds = Seconds() - start;
        RemoveFiles(m_plain);
        return seconds;
    }

    // False when a run left a workbook unrepaired: its time would not be a run's.
    bool Measure()
    {
        std::vector<double> runs, copies;
        RepairStageTimes best;
        int repaired = 0, fewestRepaired = m_count;
        // A first run of each warms the page cache with the sources for all alike.
        RepairStageTimes times;
        Run(times, repaired);
        for (int way = 0; way < kWays; way++)
            PlainCopies(static_cast<Way>(way));
        for (int round = 0; round < kRounds; round++) {
            // The run and each way of the floor take turns at going first, so none always follows
            // another; the round's floor is its fastest way.
            double floor = 1e9;
            for (int turn = 0; turn <= kWays; turn++) {
                const int which = (round + turn) % (kWays + 1);
                if (which == kWays) {
                    runs.push_back(Run(times, repaired));
                    fewestRepaired = std::min(fewestRepaired, repaired);
                    if (runs.back() == Min(runs))
                        best = times;
                } else {
                    floor = std::min(floor, PlainCopies(static_cast<Way>(which)));
                }
            }
            copies.push_back(floor);
        }
        char size[32];
        if (m_bytes.size() >= (1u << 20))
            std::snprintf(size, sizeof(size), "%.1f MiB", static_cast<double>(m_bytes.size()) / (1 << 20));
        else
            std::snprintf(size, sizeof(size), "%.0f KiB", static_cast<double>(m_bytes.size()) / 1024);
        std::printf("%d workbooks of %s: run min %.3f s median %.3f s, two plain copies min %.3f s median %.3f s, "
                    "ratio %.2f\n",
            m_count, size, Min(runs), Median(runs), Min(copies), Median(copies), Min(runs) / Min(copies));
        const double ms = 1000.0 / m_count;
        std::printf(
            "    per file in the fastest run (%d of %d repaired): working copy %.3f ms, patch and check %.3f ms, "
            "output copy %.3f ms, row updates %.3f ms, cleanup %.3f ms\n",
            repaired, m_count, best.workingCopy * ms, best.patch * ms, best.placing * ms, best.rows * ms,
            best.cleanup * ms);
        if (fewestRepaired < m_count)
            std::printf("    NOT A RUN: a round repaired only %d of %d workbooks\n", fewestRepaired, m_count);
        std::fflush(stdout);
        return fewestRepaired == m_count;
    }

private:
    CRepairDlg& m_dlg;
    int m_count;
    std::wstring m_sources, m_output, m_plain;
    std::string m_bytes;
    std::vector<std::wstring> m_names;
};

// Salvage of a large workbook cut at half (what survives read and written into a fresh file,
// created new as the program creates its working copies) against a plain copy of the same damaged
// file: the least any salvage can do is read it and write as much. The copy is the faster in each
// round of the platform's CopyFile and a plain loop with large blocks.
void SalvageAgainstCopy(const std::wstring& base, uint64_t size)
{
    const std::string whole = BuildWorkbookFile(NumbersWorkbook(size - 8192)).bytes;
    const std::wstring damaged = base + L"cut.xls";
    WriteBytes(damaged, whole.substr(0, whole.size() / 2));
    const std::wstring salvaged = base + L"salvaged.xls";
    const std::wstring copied = base + L"copied.xls";
    std::vector<double> salvages, copies;
    uint64_t cells = 0;
    auto salvage = [&] {
        double start = Seconds();
        HANDLE h = ::CreateFileW(
            salvaged.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        {
            FileBytes source(damaged);
            HandleTarget target(h);
            cells = SalvageWorkbook(source, target).cells;
        }
        ::CloseHandle(h);
        salvages.push_back(Seconds() - start);
        ::DeleteFileW(salvaged.c_str());
    };
    auto copy = [&](bool loop) {
        double start = Seconds();
        if (loop)
            LoopCopy(damaged, copied);
        else
            ::CopyFileW(damaged.c_str(), copied.c_str(), TRUE);
        const double seconds = Seconds() - start;
        ::DeleteFileW(copied.c_str());
        return seconds;
    };
    // Beside the floor: writing the damaged file's bytes, already in memory, into a new file in
    // pieces as the salvage does. Where the platform copies a file without bringing its bytes
    // through the program (Wine does), this costs more than the copy itself.
    const std::string cut = whole.substr(0, whole.size() / 2);
    std::vector<double> writes;
    auto write = [&] {
        double start = Seconds();
        HANDLE h = ::CreateFileW(copied.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        constexpr size_t kPiece = 64 * 1024;
        for (size_t at = 0; at < cut.size(); at += kPiece) {
            DWORD written = 0;
            ::WriteFile(h, cut.data() + at, static_cast<DWORD>(std::min(kPiece, cut.size() - at)), &written, nullptr);
        }
        ::CloseHandle(h);
        writes.push_back(Seconds() - start);
        ::DeleteFileW(copied.c_str());
    };
    salvage();
    copy(false);
    copy(true);
    salvages.clear();
    // The salvage and the two ways of the copy take turns at going first.
    for (int round = 0; round < 3 * kRounds; round++) {
        double floor = 1e9;
        for (int turn = 0; turn < 3; turn++) {
            const int which = (round + turn) % 3;
            if (which == 2)
                salvage();
            else
                floor = std::min(floor, copy(which == 1));
        }
        copies.push_back(floor);
        write();
    }
    std::printf("salvage of a %.0f MiB workbook cut at half: min %.1f ms median %.1f ms, plain copy min %.1f ms "
                "median %.1f ms, ratio %.2f (%llu cells back; writing the same bytes alone min %.1f ms)\n",
        static_cast<double>(whole.size()) / (1 << 20), Min(salvages) * 1000, Median(salvages) * 1000,
        Min(copies) * 1000, Median(copies) * 1000, Min(salvages) / Min(copies), static_cast<unsigned long long>(cells),
        Min(writes) * 1000);
    std::fflush(stdout);
    ::DeleteFileW(damaged.c_str());
}

// Adding a folder tree of many small files through Add Folder's own path (the scan, the duplicate
// check, the rows) against the least any listing can do: one walk of the tree with the plain find
// calls and a row of the same seven texts per file in a bare list view.
class FolderAdd {
public:
    FolderAdd(CRepairDlg& dlg, const std::wstring& base, int count)
        : m_dlg(dlg)
        , m_count(count)
    {
        m_root = MakeFolder(base, L"tree");
        // 100 folders of 100, two levels deep, and a file that is not a workbook in each.
        for (int f = 0; f < count / 100; f++) {
            const std::wstring folder = MakeFolder(
                MakeFolder(m_root + L"\\", L"g" + std::to_wstring(f % 10)) + L"\\", L"f" + std::to_wstring(f));
            m_folders.push_back(folder);
            WriteBytes(folder + L"\\notes.txt", "n");
            for (int i = 0; i < 100; i++)
                WriteBytes(folder + L"\\book" + std::to_wstring(i) + L".xls", std::string(16, 'x'));
        }
    }
    ~FolderAdd()
    {
        for (const std::wstring& folder : m_folders) {
            RemoveFiles(folder);
            ::RemoveDirectoryW(folder.c_str());
        }
        for (int g = 0; g < 10; g++)
            ::RemoveDirectoryW((m_root + L"\\g" + std::to_wstring(g)).c_str());
        ::RemoveDirectoryW(m_root.c_str());
    }

    double Add(int& rows)
    {
        HWND hList = m_dlg.GetDlgItem(1006);
        ::SendMessageW(hList, LVM_DELETEALLITEMS, 0, 0);
        const double start = Seconds();
        m_dlg.AddPaths({ m_root });
        const double seconds = Seconds() - start;
        rows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
        return seconds;
    }

    double Floor()
    {
        HWND hList = ::CreateWindowExW(
            0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 600, 400, m_dlg.m_hWnd, nullptr, nullptr, nullptr);
        for (int c = 0; c < 7; c++) {
            LVCOLUMNW column = {};
            column.mask = LVCF_WIDTH;
            column.cx = 100;
            ::SendMessageW(hList, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
        }
        const double start = Seconds();
        ::SendMessageW(hList, WM_SETREDRAW, FALSE, 0);
        std::vector<std::wstring> pending { m_root };
        int row = 0;
        while (!pending.empty()) {
            const std::wstring folder = pending.back();
            pending.pop_back();
            WIN32_FIND_DATAW fd;
            HANDLE hFind = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
            if (hFind == INVALID_HANDLE_VALUE)
                continue;
            do {
                if (fd.cFileName[0] == L'.')
                    continue;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    pending.push_back(folder + L"\\" + fd.cFileName);
                    continue;
                }
                LVITEMW item = {};
                item.mask = LVIF_TEXT;
                item.iItem = row;
                item.pszText = fd.cFileName;
                row = static_cast<int>(::SendMessageW(hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
                for (int c = 1; c < 7; c++) {
                    item.iSubItem = c;
                    item.pszText = const_cast<wchar_t*>(c == 1 ? folder.c_str() : L"01-01-2026 10:00 AM");
                    ::SendMessageW(hList, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
                }
                row++;
            } while (::FindNextFileW(hFind, &fd));
            ::FindClose(hFind);
        }
        ::SendMessageW(hList, WM_SETREDRAW, TRUE, 0);
        const double seconds = Seconds() - start;
        ::DestroyWindow(hList);
        return seconds;
    }

    void Measure()
    {
        std::vector<double> adds, floors;
        int rows = 0;
        Add(rows);
        Floor();
        for (int round = 0; round < kRounds; round++) {
            if (round % 2)
                floors.push_back(Floor());
            adds.push_back(Add(rows));
            if (round % 2 == 0)
                floors.push_back(Floor());
        }
        std::printf("add %d files from a folder tree: min %.3f s median %.3f s (%d rows), one walk into a bare list "
                    "min %.3f s median %.3f s, ratio %.2f\n",
            m_count, Min(adds), Median(adds), rows, Min(floors), Median(floors), Min(adds) / Min(floors));
        std::fflush(stdout);
        ::SendMessageW(m_dlg.GetDlgItem(1006), LVM_DELETEALLITEMS, 0, 0);
    }

private:
    CRepairDlg& m_dlg;
    int m_count;
    std::wstring m_root;
    std::vector<std::wstring> m_folders;
};

} // namespace

// With arguments, only the lines they name run: add, small, 1mib, 50mib, salvage.
int main(int argc, char** argv)
{
    auto wanted = [&](const char* line) {
        if (argc < 2)
            return true;
        for (int i = 1; i < argc; i++) {
            if (std::string(argv[i]) == line)
                return true;
        }
        return false;
    };
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES };
    ::InitCommonControlsEx(&icc);
    CRepairDlg dlg;
    if (!dlg.Create())
        return 1;
    dlg.m_bShowSummary = false; // nothing answers the summary box here
    std::wstring base = MakeFolder(TemporaryFolder(), L"tessel-bench") + L"\\";
    if (wanted("add"))
        FolderAdd(dlg, base, 10000).Measure();
    bool allRepaired = true;
    if (wanted("small"))
        allRepaired = Batch(dlg, base, 2000, 16 << 10).Measure() && allRepaired;
    if (wanted("1mib"))
        allRepaired = Batch(dlg, base, 200, 1 << 20).Measure() && allRepaired;
    if (wanted("50mib"))
        allRepaired = Batch(dlg, base, 20, 50ull << 20).Measure() && allRepaired;
    if (wanted("salvage"))
        SalvageAgainstCopy(base, 50ull << 20);
    ::RemoveDirectoryW(base.c_str());
    return allRepaired ? 0 : 1;
}
