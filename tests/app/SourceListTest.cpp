// The source list of step 1, through the real window: adding, ticking, removing.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "repair/PathRules.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kSourceList = 1006;

// Local time of a file time, written independently of the program's formatter.
std::string Expected(const FILETIME& utc)
{
    FILETIME local;
    SYSTEMTIME st;
    ::FileTimeToLocalFileTime(&utc, &local);
    ::FileTimeToSystemTime(&local, &st);
    std::tm tm = {};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    char text[64];
    std::strftime(text, sizeof(text), "%d-%m-%Y %I:%M %p", &tm);
    return text;
}

// "r3.xls" and the like.
std::wstring Numbered(const wchar_t* stem, int i)
{
    return stem + std::to_wstring(i) + L".xls";
}

FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    FILETIME ft;
    ::SystemTimeToFileTime(&st, &ft);
    return ft;
}

void SetTimes(const std::wstring& path, const FILETIME& created, const FILETIME& accessed, const FILETIME& written)
{
    HANDLE h = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(::SetFileTime(h, &created, &accessed, &written));
    ::CloseHandle(h);
}

class SourceList : public MainWindowTest {
protected:
    CListCtrl& List() { return dlg->SourceList(); }
    // In UTF-8, as this file is written.
    std::string Cell(int row, int col) { return Utf8(List().GetItemText(row, col)); }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < List().GetItemCount(); i++)
            names.push_back(Cell(i, 0));
        return names;
    }
    // Five rows named r0.xls to r4.xls (the files need not exist).
    void AddFiveRows(const TempFolder& folder)
    {
        for (int i = 0; i < 5; i++)
            dlg->AddSourceFile(folder.File(Numbered(L"r", i)));
    }
};

} // namespace

TEST_F(SourceList, RowShowsNameFolderSizeTimesAndTypeOfARealFile)
{
    TempFolder folder;
    struct Case {
        const wchar_t* name;
        uint64_t size;
        const char* text;
    } cases[] = {{L"small.xls", 10239, "10239 B"}, {L"ten.xls", 10240, "10 KB"}, {L"mega.xls", 1048576, "1024 KB"}};
    const FILETIME created = Utc(2024, 2, 29, 23, 59), accessed = Utc(2026, 12, 6, 0, 5),
                   written = Utc(2025, 7, 14, 12, 30);
    for (const Case& c : cases) {
        std::wstring path = folder.WriteFile(c.name, c.size);
        SetTimes(path, created, accessed, written);
        dlg->AddSourceFile(path);
    }
    ASSERT_EQ(List().GetItemCount(), 3);
    for (int row = 0; row < 3; row++) {
        SCOPED_TRACE(Utf8(cases[row].name));
        EXPECT_EQ(Cell(row, 0), Utf8(cases[row].name));
        EXPECT_EQ(Cell(row, 1), Utf8(folder.Path()));
        EXPECT_EQ(Cell(row, 2), cases[row].text);
        // Wine keeps no creation time of its own on a Unix file system (it reports the last write
        // time), so the creation column is checked against what the file system reports back.
        FILETIME reportedCreation = {};
        HANDLE h = ::CreateFileW(folder.File(cases[row].name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        ::GetFileTime(h, &reportedCreation, nullptr, nullptr);
        ::CloseHandle(h);
        EXPECT_EQ(Cell(row, 3), Expected(reportedCreation));
        EXPECT_EQ(Cell(row, 4), Expected(accessed));
        EXPECT_EQ(Cell(row, 5), Expected(written));
        SHFILEINFOW sfi = {};
        ::SHGetFileInfoW(folder.File(cases[row].name).c_str(), FILE_ATTRIBUTE_NORMAL, &sfi, sizeof(sfi),
                         SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
        EXPECT_EQ(Cell(row, 6), Utf8(sfi.szTypeName));
        EXPECT_EQ(List().GetItemImage(row), sfi.iIcon);
        EXPECT_FALSE(List().GetCheck(row)) << "new rows start unticked";
    }
}

// A missing file keeps its name, folder and type only. One that another program holds, even with
// no sharing at all, still shows its size and times: reading them needs no share of its data.
TEST_F(SourceList, MissingFileKeepsNameFolderAndTypeOnlyAndAHeldOneShowsItsSize)
{
    TempFolder folder;
    dlg->AddSourceFile(folder.File(L"missing.xls"));
    std::vector<HANDLE> holders;
    for (DWORD share : { DWORD(0), DWORD(FILE_SHARE_READ) }) {
        std::wstring held = folder.WriteFile(L"held" + std::to_wstring(share) + L".xls", 4096);
        holders.push_back(
            ::CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(holders.back(), INVALID_HANDLE_VALUE);
        dlg->AddSourceFile(held);
    }
    for (HANDLE holder : holders)
        ::CloseHandle(holder);

    ASSERT_EQ(List().GetItemCount(), 3);
    EXPECT_EQ(Cell(0, 0), "missing.xls");
    for (int row = 0; row < 3; row++) {
        EXPECT_EQ(Cell(row, 1), Utf8(folder.Path()));
        EXPECT_EQ(Cell(row, 2), row == 0 ? "" : "4096 B") << "row " << row;
        for (int col = 3; col <= 5; col++)
            EXPECT_EQ(Cell(row, col).empty(), row == 0) << "row " << row << " column " << col;
        EXPECT_NE(Cell(row, 6), "");
    }
}

TEST_F(SourceList, SameFileTwiceGivesTwoRows)
{
    TempFolder folder;
    std::wstring path = folder.WriteFile(L"twice.xls", 100);
    dlg->AddSourceFile(path);
    dlg->AddSourceFile(path);
    EXPECT_EQ(Names(), (std::vector<std::string> { "twice.xls", "twice.xls" }));
    EXPECT_EQ(Cell(1, 2), "100 B");
}

// A row's texts come back whole however long they are: a folder of 1,100 characters (past the
// list's first buffer and past MAX_PATH), read as Next reads it to build the run.
TEST_F(SourceList, LongFolderAndNameComeBackWhole)
{
    TempFolder folder;
    std::wstring deep = folder.Path();
    // Cyrillic and Greek letters; each name within the 255 bytes a Unix file system under Wine takes.
    for (int level = 0; level < 9; level++)
        deep += L"\\" + std::wstring(120, static_cast<wchar_t>(L'\u0430' + level));
    CreateFolderPath(deep);
    const std::wstring name = std::wstring(120, L'\u03C9') + L".xls";
    ASSERT_TRUE(WriteWholeFile(deep + L"\\" + name, std::string(20000, 'x')));
    ASSERT_GT(deep.size(), 1100u);
    dlg->AddSourceFile(deep + L"\\" + name);
    ASSERT_EQ(List().GetItemCount(), 1);
    EXPECT_EQ(List().GetItemText(0, 0), name);
    EXPECT_EQ(List().GetItemText(0, 1), deep);
    EXPECT_EQ(Cell(0, 2), "19 KB") << "the file behind the long path was opened";
}

TEST_F(SourceList, AddFilesTakesTheSelectionOfTheRealFileDialogInItsOrder)
{
    TempFolder folder;
    folder.WriteFile(L"b.xls", 20000);
    folder.WriteFile(L"a.xls", 10);
    folder.WriteFile(L"c.xls", 30);
    {
        ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path() + L"\\", L"\"b.xls\" \"a.xls\" \"c.xls\"")});
        Command(1000);
        ASSERT_EQ(answer.Count(), 1u);
        EXPECT_EQ(answer.Seen()[0].caption, "Calvera Tessel for Excel");
        EXPECT_NE(answer.Seen()[0].filters.find("Excel File(*.xls)"), std::string::npos) << answer.Seen()[0].filters;
    }
    ASSERT_EQ(List().GetItemCount(), 3);
    std::vector<std::string> names = Names();
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string> { "a.xls", "b.xls", "c.xls" }));
    for (int row = 0; row < 3; row++)
        EXPECT_EQ(Cell(row, 1), Utf8(folder.Path()));
    int b = static_cast<int>(std::find(names.begin(), names.end(), "b.xls") - names.begin());
    EXPECT_EQ(Cell(b, 2), "19 KB");
}

TEST_F(SourceList, MenuAddFilesCancelledAddsNothing)
{
    ModalAnswerer answer({ ModalAnswerer::Press(IDCANCEL) });
    Command(32771);
    EXPECT_EQ(answer.Count(), 1u);
    EXPECT_EQ(List().GetItemCount(), 0);
}

TEST_F(SourceList, RemoveSelectedLeavesTheUntickedRowsInOrder)
{
    TempFolder folder;
    AddFiveRows(folder);
    for (int row : { 0, 1, 3 })
        List().SetCheck(row, TRUE);
    ::SendMessageA(Item(1014), BM_SETCHECK, BST_CHECKED, 0);
    ModalAnswerer answer;
    Command(1002);
    EXPECT_EQ(answer.Count(), 0u);
    EXPECT_EQ(Names(), (std::vector<std::string> { "r2.xls", "r4.xls" }));
    EXPECT_FALSE(List().GetCheck(0));
    EXPECT_FALSE(List().GetCheck(1));
    EXPECT_FALSE(SelectAllTicked());
}

TEST_F(SourceList, RemoveSelectedFromTheMenuRemovesTrailingTickedRows)
{
    TempFolder folder;
    AddFiveRows(folder);
    List().SetCheck(3, TRUE);
    List().SetCheck(4, TRUE);
    Command(32773);
    EXPECT_EQ(Names(), (std::vector<std::string> { "r0.xls", "r1.xls", "r2.xls" }));
}

TEST_F(SourceList, RemoveSelectedExplainsAnEmptyListAndNothingTicked)
{
    {
        ModalAnswerer answer({ ModalAnswerer::Press(IDOK) });
        Command(1002);
        ASSERT_EQ(answer.Count(), 1u);
        EXPECT_EQ(answer.Seen()[0].caption, "Calvera Tessel for Excel");
        EXPECT_NE(answer.Seen()[0].text.find("No item to remove"), std::string::npos) << answer.Seen()[0].text;
    }
    TempFolder folder;
    AddFiveRows(folder);
    ::SendMessageA(Item(1014), BM_SETCHECK, BST_CHECKED, 0);
    {
        ModalAnswerer answer({ ModalAnswerer::Press(IDOK) });
        Command(1002);
        ASSERT_EQ(answer.Count(), 1u);
        EXPECT_NE(answer.Seen()[0].text.find("No item selected for remove"), std::string::npos)
            << answer.Seen()[0].text;
    }
    EXPECT_EQ(List().GetItemCount(), 5);
    EXPECT_FALSE(SelectAllTicked()) << "the Select All box is unticked even when nothing is removed";
}

TEST_F(SourceList, RemoveAllEmptiesTheListAndExplainsAnEmptyOne)
{
    TempFolder folder;
    AddFiveRows(folder);
    List().SetCheck(2, TRUE);
    {
        ModalAnswerer answer;
        Command(1001);
        EXPECT_EQ(answer.Count(), 0u);
    }
    EXPECT_EQ(List().GetItemCount(), 0);
    ::SendMessageA(Item(1014), BM_SETCHECK, BST_CHECKED, 0);
    {
        ModalAnswerer answer({ ModalAnswerer::Press(IDOK) });
        Command(32772);
        ASSERT_EQ(answer.Count(), 1u);
        EXPECT_NE(answer.Seen()[0].text.find("No item to remove"), std::string::npos) << answer.Seen()[0].text;
    }
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_FALSE(SelectAllTicked());
}

TEST_F(SourceList, SelectAllBoxFollowsTheRowsWithinItsTimer)
{
    TempFolder folder;
    for (int i = 0; i < 3; i++)
        dlg->AddSourceFile(folder.File(Numbered(L"f", i)));
    List().SetCheck(0, TRUE);
    List().SetCheck(1, TRUE);
    Pump(450);
    EXPECT_FALSE(SelectAllTicked());
    List().SetCheck(2, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return SelectAllTicked(); }, 2000, dlg.get()));
    List().SetCheck(1, FALSE);
    EXPECT_TRUE(PumpUntil([&] { return !SelectAllTicked(); }, 2000, dlg.get()));
}

TEST_F(SourceList, SelectAllTimerDoesNothingInStepTwo)
{
    TempFolder folder;
    dlg->AddSourceFile(folder.File(L"only.xls"));
    List().SetCheck(0, TRUE);
    dlg->m_nStep = 2;
    Pump(600);
    EXPECT_FALSE(SelectAllTicked());
}

TEST_F(SourceList, SelectAllClickTicksAndUnticksEveryRow)
{
    TempFolder folder;
    AddFiveRows(folder);
    List().SetCheck(1, TRUE);
    ::SendMessageA(Item(1014), BM_CLICK, 0, 0);
    ASSERT_TRUE(SelectAllTicked());
    for (int row = 0; row < 5; row++)
        EXPECT_TRUE(List().GetCheck(row)) << row;
    ::SendMessageA(Item(1014), BM_CLICK, 0, 0);
    for (int row = 0; row < 5; row++)
        EXPECT_FALSE(List().GetCheck(row)) << row;
}

TEST_F(SourceList, SelectAllClickOnAnEmptyListUnticksAtOnce)
{
    ::SendMessageA(Item(1014), BM_CLICK, 0, 0);
    EXPECT_FALSE(SelectAllTicked());
}

TEST_F(SourceList, ClickOnARowNameTogglesItsTickAndOnItsIconDoesNot)
{
    TempFolder folder;
    AddFiveRows(folder);
    HWND list = Item(kSourceList);
    auto click = [&](int row, int part) {
        RECT rc = {};
        rc.left = part;
        ::SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
        LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageA(list, WM_LBUTTONUP, 0, at);
        Pump(150);
    };
    click(2, LVIR_LABEL);
    EXPECT_TRUE(List().GetCheck(2));
    EXPECT_FALSE(List().GetCheck(1));
    EXPECT_FALSE(List().GetCheck(3));
    click(2, LVIR_LABEL);
    EXPECT_FALSE(List().GetCheck(2));
    click(4, LVIR_ICON);
    EXPECT_FALSE(List().GetCheck(4));
}

TEST_F(SourceList, ListCommandsDoNothingInStepTwo)
{
    TempFolder folder;
    AddFiveRows(folder);
    List().SetCheck(0, TRUE);
    dlg->m_nStep = 2;
    ModalAnswerer answer;
    for (int id : { 1000, 32771, 1001, 32772, 1002, 32773 })
        Command(id);
    Pump(100);
    EXPECT_EQ(answer.Count(), 0u) << "no dialog and no message in step 2";
    EXPECT_EQ(List().GetItemCount(), 5);
    EXPECT_TRUE(List().GetCheck(0));
}
