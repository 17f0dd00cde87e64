// Repairs a folder of workbooks through the real window for the independent readers' check
// (tests/readers/run_readers_check.py sets the folders and reads the manifest this writes).
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "res/resource.h"

#include <cstdlib>

TEST_F(MainWindowTest, RepairsAFolderForTheReaders)
{
    const wchar_t* source = _wgetenv(L"TESSEL_READERS_SOURCE");
    const wchar_t* output = _wgetenv(L"TESSEL_READERS_OUTPUT");
    const wchar_t* manifest = _wgetenv(L"TESSEL_READERS_MANIFEST");
    if (!source || !output || !manifest)
        GTEST_SKIP() << "run by tests/readers/run_readers_check.py";

    dlg->m_strStartDir = ProgramFolder();
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((std::wstring(source) + L"\\*").c_str(), &fd);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        dlg->AddSourceFile(std::wstring(source) + L"\\" + fd.cFileName);
        dlg->SourceList().SetCheck(dlg->SourceList().GetItemCount() - 1, TRUE);
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    const int count = dlg->SourceList().GetItemCount();
    ASSERT_GT(count, 0);

    const std::wstring folder = output;
    ModalAnswerer answer({ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(folder)});
    Command(IDC_NEXT);
    ASSERT_EQ(dlg->m_nStep, 2) << "the run did not start: the folder browser did not take " << Utf8(folder);
    ASSERT_EQ(dlg->m_strTargetDir, folder);
    ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 600000, dlg.get()));

    CListCtrl& results = dlg->ResultList();
    ASSERT_EQ(results.GetItemCount(), count);
    // In UTF-8, as the readers' check reads it.
    std::string lines;
    for (int row = 0; row < count; row++)
        lines += Utf8(results.GetItemText(row, 0)) + '\t' + Utf8(results.GetItemText(row, 4)) + '\t'
            + Utf8(results.GetItemText(row, 2)) + '\t' + Utf8(results.GetItemText(row, 5)) + '\n';
    ASSERT_TRUE(WriteWholeFile(manifest, lines));
}
