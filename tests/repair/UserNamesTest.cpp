// Every file name a user can have, through the real window: typed into the real file dialog as a
// user types them, shown in both lists as they are, repaired into the chosen folder as
// REP_<the same name>, with the bytes of the same workbook repaired under a plain name.
#include "MainWindowFixture.h"
#include "ModalAnswerer.h"
#include "TempFolder.h"
#include "repair/PathRules.h"
#include "repair/RepairTexts.h"
#include "res/resource.h"

#include <algorithm>
#include <set>

namespace {

// A LibreOffice workbook whose first 32 bytes are lost: the repair has work to do.
std::string DamagedWorkbook()
{
    std::string bytes = ReadWholeFile(L"" TESSEL_SOURCE_DIR L"\\tests\\fixtures\\lo_3sheets.xls");
    bytes.replace(0, 32, std::string(32, '\0'));
    return bytes;
}

std::wstring Field(const std::vector<std::wstring>& names)
{
    if (names.size() == 1)
        return names[0];
    std::wstring field;
    for (const std::wstring& name : names)
        field += (field.empty() ? L"\"" : L" \"") + name + L"\"";
    return field;
}

class UserNames : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        dlg->m_strStartDir = ProgramFolder();
        ::GetCurrentDirectoryW(MAX_PATH, m_cwd);
    }
    // The dialog moves the current directory into the folders it opened.
    void TearDown() override
    {
        ::SetCurrentDirectoryW(m_cwd);
        MainWindowTest::TearDown();
    }

    // Add Files: the dialog opened in `folder` (none: stays where it is) and `field` typed into
    // its name field, then Open.
    void AddThroughDialog(const std::wstring& folder, const std::wstring& field)
    {
        ModalAnswerer answer({ ModalAnswerer::OpenFiles(folder, field) });
        Command(IDC_ADD_FILES);
        ASSERT_EQ(answer.Count(), 1u) << Utf8(field);
    }
    // Ticks every row, Next, the folder browser pointed at `out`; waits for the run to end.
    void RunInto(const std::wstring& out)
    {
        for (int row = 0; row < dlg->SourceList().GetItemCount(); row++)
            dlg->SourceList().SetCheck(row, TRUE);
        ModalAnswerer answer({ ModalAnswerer::Press(IDOK), ModalAnswerer::BrowseTo(out) });
        Command(IDC_NEXT);
        ASSERT_EQ(dlg->m_nStep, 2);
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_bRunning == 0; }, 120000, dlg.get()));
        Pump(50);
    }
    std::wstring Source(int row, int column) { return dlg->SourceList().GetItemText(row, column); }
    std::wstring Result(int row, int column) { return dlg->ResultList().GetItemText(row, column); }
    // The source rows as full paths.
    std::set<std::wstring> SourcePaths()
    {
        std::set<std::wstring> paths;
        for (int row = 0; row < dlg->SourceList().GetItemCount(); row++)
            paths.insert(WithBackslash(Source(row, 1)) + Source(row, 0));
        return paths;
    }

    wchar_t m_cwd[MAX_PATH] = {};
};

} // namespace

TEST_F(UserNames, NamesInAnyScriptAreAddedShownAndRepairedUnderTheSameName)
{
    ASSERT_EQ(::GetACP(), 1252u) << "the names below must be ones the ANSI code page lacks";
    TempFolder temp, out;
    const std::string book = DamagedWorkbook();
    // Sources two folders down, with a workbook where a name read through the code page's best
    // fit ("../../x.xls") would lead.
    const std::wstring folder = temp.Path() + L"\\src\\deep";
    CreateFolderPath(folder);
    const std::string decoy = ReadWholeFile(L"" TESSEL_SOURCE_DIR L"\\tests\\fixtures\\gn_1cell.xls");
    temp.WriteFile(L"x.xls", decoy);
    const std::vector<std::wstring> names = {
        L"Отчёт за май.xls", L"Προϋπολογισμός 2024.xls", L"销售报表.xls",
        L"Budget \U0001F600.xls", // a surrogate pair
        L"Cafe\u0301 cre\u0300me.xls", // combining marks
        L"a\uFF0Fb\uFF3Cc\uFF0Ed.xls", // full-width solidus, reverse solidus and full stop
        L"..\uFF0F..\uFF0Fx.xls", L"100% ; it's & co.xls",
        L"Café crème.xls", // every character in the code page
        L"twin.xls", // the same workbook under a plain name
    };
    for (const std::wstring& name : names)
        ASSERT_TRUE(WriteWholeFile(folder + L"\\" + name, book)) << Utf8(name);
    const std::wstring longName = std::wstring(236, L'L') + L".xls"; // 240 characters
    ASSERT_TRUE(WriteWholeFile(folder + L"\\" + longName, book));
    // A folder whose path passes 300 characters.
    const std::wstring deepFolder
        = temp.Path() + L"\\Глубокая папка " + std::wstring(110, L'g') + L"\\" + std::wstring(150, L'h');
    ASSERT_GT(deepFolder.size(), 300u);
    CreateFolderPath(deepFolder);
    const std::wstring deepName = L"Годовой отчёт.xls";
    ASSERT_TRUE(WriteWholeFile(deepFolder + L"\\" + deepName, book));

    // As a user does it: several names selected at once, the long one typed alone, the deep one
    // as its full path.
    AddThroughDialog(folder, Field(names));
    AddThroughDialog(folder, longName);
    AddThroughDialog(L"", deepFolder + L"\\" + deepName);

    std::set<std::wstring> expected;
    for (const std::wstring& name : names)
        expected.insert(folder + L"\\" + name);
    expected.insert(folder + L"\\" + longName);
    expected.insert(deepFolder + L"\\" + deepName);
    ASSERT_EQ(SourcePaths(), expected);
    for (int row = 0; row < dlg->SourceList().GetItemCount(); row++) {
        EXPECT_EQ(Utf8(Source(row, 2)), "22 KB") << "opened and read: " << Utf8(Source(row, 0));
        EXPECT_NE(Source(row, 6), L"") << Utf8(Source(row, 0));
    }

    // The chosen folder is named in letters the code page lacks too.
    const std::wstring chosen = out.Path() + L"\\Готово \U0001F4C1";
    ASSERT_TRUE(::CreateDirectoryW(chosen.c_str(), nullptr));
    RunInto(chosen);
    EXPECT_EQ(dlg->m_strTargetDir, chosen);
    const int rows = dlg->ResultList().GetItemCount();
    ASSERT_EQ(rows, static_cast<int>(expected.size()));
    std::set<std::wstring> written;
    for (int row = 0; row < rows; row++) {
        const std::wstring name = Result(row, 0);
        SCOPED_TRACE(Utf8(name));
        EXPECT_EQ(Result(row, 4), L"Repaired");
        EXPECT_EQ(Result(row, 2), L"REP_" + name);
        EXPECT_EQ(Result(row, 3), chosen);
        EXPECT_EQ(expected.count(WithBackslash(Result(row, 1)) + name), 1u) << "folder " << Utf8(Result(row, 1));
        written.insert(L"REP_" + name);
    }
    const std::vector<std::wstring> files = FilesIn(chosen);
    EXPECT_EQ(std::set<std::wstring>(files.begin(), files.end()), written) << "nothing else, nowhere else";
    EXPECT_TRUE(FilesIn(out.Path()).empty());
    const std::string repaired = ReadWholeFile(chosen + L"\\REP_twin.xls");
    ASSERT_EQ(repaired.size(), book.size());
    EXPECT_NE(repaired.substr(0, 32), book.substr(0, 32)) << "the header was patched";
    for (const std::wstring& name : written)
        EXPECT_EQ(ReadWholeFile(chosen + L"\\" + name), repaired) << Utf8(name);
    for (const std::wstring& path : expected)
        EXPECT_EQ(ReadWholeFile(path), book) << "source " << Utf8(path);
    EXPECT_EQ(ReadWholeFile(temp.File(L"x.xls")), decoy) << "the file best fit would have read";
    EXPECT_EQ(FilesIn(temp.Path()), std::vector<std::wstring> { L"x.xls" }) << "and nothing written beside it";
}

// Paths of 250 to 300 characters typed as a user pastes them (full paths) and, once, as a name in
// the folder the dialog shows: the dialog resolves a typed name in a buffer of MAX_PATH
// characters, which a longer one overran (under Wine it ended the program).
TEST_F(UserNames, PathsAroundMaxPathThroughTheDialogAndTheList)
{
    TempFolder temp, out;
    const std::string book = DamagedWorkbook();
    const size_t base = temp.Path().size() + 1;
    struct Case {
        size_t total; // characters of the full path
        bool typedAsName; // the folder opened, the name typed
        std::wstring path;
    };
    std::vector<Case> cases = { { 250, false, {} }, { 259, false, {} }, { 260, false, {} }, { 261, false, {} },
        { 300, false, {} }, { base + 240, true, {} } };
    for (Case& c : cases) {
        // Names up to 200 characters; a folder of the test's own takes up the rest.
        const size_t name = std::min<size_t>(c.total - base, 200);
        std::wstring folder = temp.Path();
        if (c.total - base > name)
            folder += L"\\" + std::wstring(c.total - base - name - 1, static_cast<wchar_t>(L'a' + c.total % 26));
        CreateFolderPath(folder);
        c.path = folder + L"\\" + std::to_wstring(c.total) + std::wstring(name - 3 - 4 - 1, L'n') + L"Ж.xls";
        ASSERT_EQ(c.path.size(), c.total);
        ASSERT_TRUE(WriteWholeFile(c.path, book)) << c.total;
    }
    // A name too long for its copy's name: listed, then refused with nothing written.
    const std::wstring tooLong = temp.File(std::wstring(248, L't') + L".xls");
    ASSERT_TRUE(WriteWholeFile(tooLong, book));

    for (const Case& c : cases) {
        const size_t cut = c.path.rfind(L'\\');
        if (c.typedAsName)
            AddThroughDialog(c.path.substr(0, cut), c.path.substr(cut + 1));
        else
            AddThroughDialog(L"", c.path);
        const int row = dlg->SourceList().GetItemCount() - 1;
        ASSERT_EQ(row, static_cast<int>(&c - cases.data())) << "no row for a path of " << c.total;
        EXPECT_EQ(Source(row, 0), c.path.substr(cut + 1)) << c.total;
        EXPECT_EQ(Source(row, 1), c.path.substr(0, cut)) << c.total;
        EXPECT_EQ(Source(row, 2), L"22 KB") << c.total;
    }
    AddThroughDialog(L"", tooLong);
    ASSERT_EQ(dlg->SourceList().GetItemCount(), static_cast<int>(cases.size()) + 1);

    RunInto(out.Path());
    std::vector<std::wstring> expected;
    for (size_t row = 0; row < cases.size(); row++) {
        const std::wstring name = cases[row].path.substr(cases[row].path.rfind(L'\\') + 1);
        EXPECT_EQ(Result(static_cast<int>(row), 4), L"Repaired") << cases[row].total;
        EXPECT_EQ(Result(static_cast<int>(row), 2), L"REP_" + name) << cases[row].total;
        EXPECT_EQ(ReadWholeFile(out.File(L"REP_" + name)).size(), book.size()) << cases[row].total;
        expected.push_back(L"REP_" + name);
    }
    const int last = static_cast<int>(cases.size());
    EXPECT_EQ(Utf8(Result(last, 4)), texts::kStatusNameTooLong);
    EXPECT_EQ(dlg->ResultList().GetItemImage(last), STATUS_FAILED);
    EXPECT_EQ(Result(last, 2), L"");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(out.Path()), expected) << "nothing written for the name too long";
    EXPECT_EQ(ReadWholeFile(tooLong), book);
}

// A folder past MAX_PATH typed into the name field cannot be opened by the dialog: Open does
// nothing (no crash), and the dialog stays until it is cancelled.
TEST_F(UserNames, TypedFolderPastMaxPathLeavesTheDialogOpen)
{
    TempFolder temp;
    const std::wstring deep = temp.Path() + L"\\" + std::wstring(150, L'k') + L"\\" + std::wstring(150, L'm');
    CreateFolderPath(deep);
    bool openAfterwards = false;
    ModalAnswerer answer({ [&](HWND hDlg) {
        for (int id : { 0x480, 0x47c })
            if (HWND field = ::GetDlgItem(hDlg, id))
                ::SetWindowTextW(field, deep.c_str());
        ::SendMessageW(
            hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDOK)));
        PumpFor(100);
        openAfterwards = ::IsWindowVisible(hDlg) != FALSE;
        ModalAnswerer::Press(IDCANCEL)(hDlg);
    } });
    Command(IDC_ADD_FILES);
    ASSERT_EQ(answer.Count(), 1u);
    EXPECT_TRUE(openAfterwards);
    EXPECT_EQ(dlg->SourceList().GetItemCount(), 0);
}
