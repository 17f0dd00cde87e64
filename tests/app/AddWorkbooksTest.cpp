// Workbooks added many at a time: files and folders dropped on the window, and Add Folder, through
// the real window, real blocks of dropped files and a real folder tree.
#include "DropBlock.h"
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "app/ProgressDlg.h"
#include "app/UserSettings.h"
#include "framework/DropFiles.h"
#include "framework/RegistryValues.h"
#include "repair/WorkbookScan.h"
#include "res/resource.h"

#include <atomic>

namespace {

// A tree with workbooks at three depths, files that are not workbooks, a hidden lock file and
// folders named so that their order by case would differ from their order by name.
struct Tree {
    TempFolder temp;
    std::wstring root;
    Tree()
    {
        root = temp.File(L"tree");
        for (const wchar_t* folder : { L"tree", L"tree\\sub", L"tree\\sub\\deeper", L"tree\\Sub2", L"tree\\empty" })
            ::CreateDirectoryW(temp.File(folder).c_str(), nullptr);
        temp.WriteFile(L"tree\\b.XLS", 100);
        temp.WriteFile(L"tree\\a.xls", 20480);
        temp.WriteFile(L"tree\\notes.txt", 10);
        temp.WriteFile(L"tree\\a.xlsx", 10);
        temp.WriteFile(L"tree\\sub\\c.xls", 300);
        const std::wstring lock = temp.WriteFile(L"tree\\sub\\~$c.xls", 165);
        ::SetFileAttributesW(lock.c_str(), FILE_ATTRIBUTE_HIDDEN);
        temp.WriteFile(L"tree\\sub\\deeper\\d.xls", 400);
        temp.WriteFile(L"tree\\Sub2\\e.xls", 500);
    }
};

class AddWorkbooks : public MainWindowTest {
protected:
    CListCtrl& List() { return dlg->SourceList(); }
    std::vector<std::string> Rows()
    {
        std::vector<std::string> rows;
        for (int i = 0; i < List().GetItemCount(); i++)
            rows.push_back(Utf8(List().GetItemText(i, 1)) + "|" + Utf8(List().GetItemText(i, 0)));
        return rows;
    }
    // Posts a real block of dropped files to the window and waits for what it says, if anything.
    std::vector<SeenDialog> Drop(HWND hTarget, const std::vector<std::wstring>& paths)
    {
        ModalAnswerer answer({ ModalAnswerer::Press(IDOK) });
        HDROP hDrop = MakeDropBlock(paths);
        EXPECT_NE(hDrop, nullptr);
        ::PostMessageW(hTarget, WM_DROPFILES, reinterpret_cast<WPARAM>(hDrop), 0);
        Pump(300);
        return answer.Seen();
    }
};

} // namespace

TEST_F(AddWorkbooks, DropOnTheListAddsFilesAndEveryWorkbookUnderFoldersOnce)
{
    Tree tree;
    const std::wstring loose = tree.temp.WriteFile(L"loose.xls", 50);
    const std::wstring text = tree.temp.WriteFile(L"readme.txt", 5);
    const std::wstring missing = tree.temp.File(L"gone.xls");
    const std::vector<SeenDialog> said = Drop(Item(IDC_SOURCE_LIST), { tree.root, loose, text, missing });

    const std::string root = Utf8(tree.root);
    const std::vector<std::string> expected = { root + "|a.xls", root + "|b.XLS", root + "\\sub|c.xls",
        root + "\\sub\\deeper|d.xls", root + "\\Sub2|e.xls", Utf8(tree.temp.Path()) + "|loose.xls" };
    EXPECT_EQ(Rows(), expected);
    EXPECT_EQ(Utf8(List().GetItemText(0, 2)), "20 KB");
    EXPECT_EQ(Utf8(List().GetItemText(1, 2)), "100 B");
    EXPECT_FALSE(List().GetCheck(0));
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].text,
        "6 workbooks added to the list.\r\nNot Excel workbooks (.xls): readme.txt.\r\nNot found: " + Utf8(missing)
            + ".");

    // The same folder again, on the window's empty area this time: nothing is added twice.
    const std::vector<SeenDialog> again = Drop(dlg->m_hWnd, { tree.root });
    EXPECT_EQ(List().GetItemCount(), 6);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].text, "0 workbooks added to the list.\r\nAlready in the list: a.xls, b.XLS, c.xls and 2 more.");
}

TEST_F(AddWorkbooks, WorkbooksOnlyAddSilentlyAndStepTwoTakesNoDrop)
{
    Tree tree;
    EXPECT_TRUE(Drop(dlg->m_hWnd, { tree.root + L"\\sub" }).empty());
    EXPECT_EQ(List().GetItemCount(), 2);
    // Added by hand, the same file counts as listed for a drop.
    dlg->AddSourceFile(tree.root + L"\\a.xls");
    const std::vector<SeenDialog> said = Drop(Item(IDC_SOURCE_LIST), { tree.root + L"\\A.XLS" });
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].text, "0 workbooks added to the list.\r\nAlready in the list: A.XLS.");

    dlg->m_nStep = 2;
    EXPECT_TRUE(Drop(Item(IDC_SOURCE_LIST), { tree.root }).empty());
    EXPECT_EQ(List().GetItemCount(), 3);
}

TEST_F(AddWorkbooks, AddFolderFromTheMenuAddsTheTreeAndRemembersTheFolder)
{
    Tree tree;
    {
        ModalAnswerer answer({ ModalAnswerer::BrowseTo(tree.root) });
        Command(ID_FILE_ADD_FOLDER);
        Pump(200);
        ASSERT_EQ(answer.Count(), 1u);
    }
    EXPECT_EQ(List().GetItemCount(), 5);
    EXPECT_EQ(dlg->m_strAddFolder, tree.root);
    const CRegistryKey key = CRegistryKey::Open(HKEY_CURRENT_USER, kUserSettingsKey);
    EXPECT_EQ(key.ReadString(L"AddFolder", 1000).value_or(L""), tree.root);

    // A folder without workbooks says so and adds nothing.
    ModalAnswerer answer({ ModalAnswerer::BrowseTo(tree.root + L"\\empty"), ModalAnswerer::Press(IDOK) });
    Command(ID_FILE_ADD_FOLDER);
    Pump(300);
    ASSERT_EQ(answer.Count(), 2u);
    EXPECT_EQ(answer.Seen()[1].text, "No Excel workbooks (.xls) were found there.");
    EXPECT_EQ(List().GetItemCount(), 5);
}

TEST(DroppedFiles, HostileBlocksGiveOnlyWhatLiesWithinThem)
{
    auto wide = [](const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t));
    };
    const std::string ends(sizeof(wchar_t), '\0');
    struct Case {
        const char* what;
        DWORD offset;
        BOOL wide;
        std::string bytes;
        std::vector<std::wstring> paths;
    } cases[] = {
        { "two wide names", sizeof(DROPFILES), TRUE, wide(L"C:\\a.xls") + ends + wide(L"D:\\\u00e9.xls") + ends + ends,
            { L"C:\\a.xls", L"D:\\\u00e9.xls" } },
        { "no final empty name", sizeof(DROPFILES), TRUE, wide(L"C:\\a.xls") + ends, { L"C:\\a.xls" } },
        { "a name running off the end", sizeof(DROPFILES), TRUE, wide(L"C:\\a.xls") + ends + wide(L"C:\\b"),
            { L"C:\\a.xls" } },
        { "offset past the block", 4096, TRUE, wide(L"C:\\a.xls") + ends + ends, {} },
        { "offset inside the header", 4, TRUE, wide(L"C:\\a.xls") + ends + ends, {} },
        { "ANSI names", sizeof(DROPFILES), FALSE, std::string("C:\\x.xls\0C:\\y.xls\0\0", 19),
            { L"C:\\x.xls", L"C:\\y.xls" } },
        { "a name longer than any path", sizeof(DROPFILES), TRUE, wide(std::wstring(40000, L'a')) + ends + ends, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HDROP hDrop = MakeRawDropBlock(c.offset, c.wide, c.bytes);
        ASSERT_NE(hDrop, nullptr);
        EXPECT_EQ(DroppedPaths(hDrop), c.paths);
        ::GlobalFree(hDrop);
    }
    EXPECT_FALSE(IsDropBlock(nullptr));
    EXPECT_TRUE(DroppedPaths(nullptr).empty());
}

TEST(WorkbookScanning, CancelledScanStopsAndSaysSo)
{
    Tree tree;
    ScanProgress progress;
    progress.cancel = true;
    const WorkbookScan scan = ScanForWorkbooks({ tree.root }, &progress);
    EXPECT_TRUE(scan.cancelled);
    EXPECT_TRUE(scan.found.empty());
    // A drive root keeps its backslash as a full path; other folders lose theirs.
    EXPECT_EQ(FullPathOf(L"C:\\"), L"C:\\");
    EXPECT_EQ(FullPathOf(tree.root + L"\\sub\\..\\"), tree.root);
    EXPECT_EQ(FullPathOf(L""), L"");
}

TEST(ProgressWindow, LongTaskShowsAndCancelStopsItQuickTaskShowsNothing)
{
    std::atomic<bool> stop { false };
    CProgressDlg slow(
        nullptr,
        [&] {
            while (!stop)
                ::Sleep(10);
        },
        [&] {
            return CProgressDlg::Status { L"working", 1, 4 };
        },
        [&] { stop = true; }, 0);
    ModalAnswerer answer({ [](HWND hWnd) {
        // Seen while the task goes on: its text and a quarter of the bar.
        EXPECT_EQ(::SendDlgItemMessageW(hWnd, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 250);
        ModalAnswerer::Press(IDCANCEL)(hWnd);
    } });
    EXPECT_EQ(slow.DoModal(), IDCANCEL);
    EXPECT_TRUE(stop);
    EXPECT_TRUE(slow.WasShown());
    ASSERT_EQ(answer.Count(), 1u);
    EXPECT_EQ(answer.Seen()[0].text, "working");

    bool ran = false;
    CProgressDlg quick(
        nullptr, [&] { ran = true; }, [] { return CProgressDlg::Status {}; }, [] {}, 2000);
    EXPECT_EQ(quick.DoModal(), IDOK);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(quick.WasShown());
}
