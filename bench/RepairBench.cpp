// Prints how long a batch run takes against the least any design that copies through a working
// file can do: two plain copies of every file. Figures only; nothing here passes or fails.
#include "../app/RepairDlg.h"
#include "../framework/Thread.h"
#include "../repair/PathRules.h"
#include "../repair/RepairWorker.h"
#include "../repair/ResultRows.h"
#include "../tests/repair/CfbWriter.h"
#include "Seconds.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

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

// One batch: `count` well-formed workbooks of `size` bytes.
void Measure(CRepairDlg& dlg, const std::string& base, int count, uint64_t size)
{
    std::string sources = MakeFolder(base, "sources");
    std::string output = MakeFolder(base, "output");
    std::string plain = MakeFolder(base, "plain");
    const std::string bytes = BuildWorkbook(size - 8192).bytes;
    std::vector<std::string> names;
    for (int i = 0; i < count; i++) {
        names.push_back("book" + std::to_string(i) + ".xls");
        std::ofstream(sources + "\\" + names.back(), std::ios::binary).write(bytes.data(),
                                                                             static_cast<std::streamsize>(bytes.size()));
    }

    // The program's run: the result rows as Next builds them, then the worker.
    HWND hList = dlg.GetDlgItem(1005);
    ::SendMessageA(hList, LVM_DELETEALLITEMS, 0, 0);
    for (const std::string& name : names)
        AppendRow(hList, name, sources, STATUS_QUEUED);
    dlg.m_nNameMode = NAME_PREFIX;
    dlg.m_nLocationMode = LOCATION_CHOSEN;
    dlg.m_strTargetDir = output;
    dlg.m_nStep = 2;
    ResetWorkerStop();
    double start = Seconds();
    dlg.m_bRunning = 1;
    std::unique_ptr<CWinThread> worker = CWinThread::Begin(&RepairThreadProc, &dlg);
    while (dlg.m_bRunning)
        Pump();
    double run = Seconds() - start;
    int repaired = 0;
    for (int row = 0; row < count; row++)
        repaired += GetRowText(hList, row, RESULT_STATUS) == kStatusRepaired;

    // The floor: a copy into the temporary folder and one into the output folder, per file.
    const std::string temp = TemporaryFolder();
    start = Seconds();
    for (const std::string& name : names) {
        ::CopyFileA((sources + "\\" + name).c_str(), (temp + name).c_str(), FALSE);
        ::CopyFileA((temp + name).c_str(), (plain + "\\" + name).c_str(), FALSE);
        ::DeleteFileA((temp + name).c_str());
    }
    double copies = Seconds() - start;

    std::printf("%4d workbooks of %6.1f MiB: run %8.3f s, two plain copies %8.3f s, ratio %5.2f (%d repaired)\n",
                count, static_cast<double>(bytes.size()) / (1 << 20), run, copies, run / copies, repaired);
    std::fflush(stdout);
    for (const std::string& folder : {sources, output, plain}) {
        RemoveFiles(folder);
        ::RemoveDirectoryA(folder.c_str());
    }
}

} // namespace

int main()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    CRepairDlg dlg;
    if (!dlg.Create())
        return 1;
    std::string base = MakeFolder(TemporaryFolder(), "tessel-bench") + "\\";
    Measure(dlg, base, 200, 1 << 20);
    Measure(dlg, base, 20, 50ull << 20);
    ::RemoveDirectoryA(base.c_str());
    return 0;
}
