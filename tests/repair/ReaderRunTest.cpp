// Repairs a folder of workbooks through the real window for the independent readers' check
// (tests/readers/run_readers_check.py sets the folders and reads the manifest this writes).
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "res/resource.h"

#include <cstdlib>
#include <fstream>

TEST_F(MainWindowTest, RepairsAFolderForTheReaders)
{
    const char* source = std::getenv("TESSEL_READERS_SOURCE");
    const char* output = std::getenv("TESSEL_READERS_OUTPUT");
    const char* manifest = std::getenv("TESSEL_READERS_MANIFEST");
    if (!source || !output || !manifest)
        GTEST_SKIP() << "run by tests/readers/run_readers_check.py";

    dlg->m_strStartDir = ProgramFolder();
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((std::string(source) + "\\*").c_str(), &fd);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        dlg->AddSourceFile(std::string(source) + "\\" + fd.cFileName);
        dlg->SourceList().SetCheck(dlg->SourceList().GetItemCount() - 1, TRUE);
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    const int count = dlg->SourceList().GetItemCount();
    ASSERT_GT(count, 0);

    const std::string folder = output;
    ModalAnswerer answer({ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(folder)});
    Command(IDC_NEXT);
    ASSERT_EQ(dlg->m_nStep, 2) << "the run did not start: the folder browser did not take " << folder;
    ASSERT_EQ(dlg->m_strTargetDir, folder);
    ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 600000, dlg.get()));

    CListCtrl& results = dlg->ResultList();
    ASSERT_EQ(results.GetItemCount(), count);
    std::ofstream out(manifest, std::ios::binary);
    for (int row = 0; row < count; row++)
        out << results.GetItemText(row, 0) << '\t' << results.GetItemText(row, 4) << '\t'
            << results.GetItemText(row, 2) << '\n';
}
