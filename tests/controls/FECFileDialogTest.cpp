// CFECFileDialog through the real open dialog (answered on this thread while its modal loop runs),
// on real files and real selections; and its reading of the dialog's name field directly.
#include "controls/FECFileDialog.h"
#include "ModalAnswerer.h"
#include "Pump.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

// As the Add Files command opens it.
constexpr DWORD kAddFilesFlags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_NODEREFERENCELINKS;
constexpr const char* kExcelFilter = "Excel File(*.xls)|*.xls|";
constexpr int kManyFiles = 2000;

std::string ManyName(int i)
{
    char name[96];
    std::snprintf(name, sizeof(name), "Quarterly sales report for the northern region, branch %04d.xls", i);
    return name;
}

bool RunningOnWine()
{
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// Every path the dialog object hands out, through our members.
std::vector<std::string> PathsOf(const CFECFileDialog& dlg)
{
    std::vector<std::string> paths;
    POSITION pos = dlg.GetStartPosition();
    while (pos && paths.size() <= 10 * kManyFiles)
        paths.push_back(dlg.GetNextPathName(pos));
    return paths;
}

// The same through the base's members.
std::vector<std::string> BasePathsOf(const CFileDialog& dlg)
{
    std::vector<std::string> paths;
    POSITION pos = dlg.GetStartPosition();
    while (pos && paths.size() <= 10 * kManyFiles)
        paths.push_back(dlg.GetNextPathName(pos));
    return paths;
}

// The names of a name field as the dialog writes them for several files: "a" "b" "c". Read here
// on its own terms, not through the class under test.
std::vector<std::string> QuotedNames(const std::string& field)
{
    std::vector<std::string> names;
    size_t at = 0;
    for (;;) {
        size_t open = field.find('"', at);
        if (open == std::string::npos)
            break;
        size_t close = field.find('"', open + 1);
        if (close == std::string::npos)
            break;
        names.push_back(field.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return names;
}

HWND FindDescendant(HWND parent, const char* klass)
{
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = {};
        ::GetClassNameA(child, name, sizeof(name));
        if (std::strcmp(name, klass) == 0)
            return child;
        if (HWND found = FindDescendant(child, klass))
            return found;
    }
    return nullptr;
}

// The whole name field, as the dialog reports it.
std::string NameField(HWND hDlg)
{
    char probe[1] = {};
    LRESULT size = ::SendMessageA(hDlg, CDM_GETSPEC, 1, reinterpret_cast<LPARAM>(probe));
    if (size <= 0)
        return {};
    std::string text(static_cast<size_t>(size), '\0');
    ::SendMessageA(hDlg, CDM_GETSPEC, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    return text;
}

LRESULT FolderSize(HWND hDlg)
{
    char probe[1] = {};
    return ::SendMessageA(hDlg, CDM_GETFOLDERPATH, 1, reinterpret_cast<LPARAM>(probe));
}

void TypeName(HWND hDlg, const std::string& text)
{
    // The name field is an edit (edt1) or a combo box with an edit (cmb13), by dialog version.
    for (int id : {0x480, 0x47c})
        if (HWND field = ::GetDlgItem(hDlg, id))
            ::SetWindowTextA(field, text.c_str());
}

// Wine's list view reports a select-all item by item, and for each report the dialog refills its
// name field from the whole selection: for 2,000 files that alone takes over two minutes. While
// selecting, the shell view hears only the report for the last item (or one for all items, -1),
// so it tells the dialog once, with everything selected, as a user's Ctrl+A does.
struct SelectAllFilter {
    static inline WNDPROC s_previous = nullptr;
    static inline HWND s_list = nullptr;
    static inline int s_last = -1;

    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NOTIFY) {
            auto* nm = reinterpret_cast<NMLISTVIEW*>(lParam);
            if (nm->hdr.hwndFrom == s_list && nm->hdr.code == LVN_ITEMCHANGED && nm->iItem != -1 &&
                nm->iItem != s_last)
                return 0;
        }
        return ::CallWindowProcA(s_previous, hWnd, message, wParam, lParam);
    }
};

void SelectAll(HWND hList)
{
    HWND view = ::GetParent(hList);
    SelectAllFilter::s_list = hList;
    SelectAllFilter::s_last = static_cast<int>(::SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0)) - 1;
    SelectAllFilter::s_previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SelectAllFilter::Proc)));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    ::SendMessageA(hList, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    ::SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SelectAllFilter::s_previous));
}

// What the dialog showed once everything was selected, just before the answer.
struct DialogState {
    int listed = -1;
    int selected = -1;
    std::string field;      // the name field
    LRESULT folderSize = 0; // CDM_GETFOLDERPATH's size
    bool enlargedWhileOpen = false;
};

// Opens the folder in the dialog, selects every file in its list, notes what the dialog shows,
// then hands the dialog to finish (Open, Cancel, or typing first).
ModalAnswerer::Action SelectAllThen(const std::string& folder, int expected, const CFECFileDialog& dlg,
                                    DialogState& state, ModalAnswerer::Action finish)
{
    return [folder, expected, &dlg, &state, finish](HWND hDlg) {
        TypeName(hDlg, folder);
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDOK)));
        HWND hList = nullptr;
        PumpUntil(
            [&] {
                hList = FindDescendant(hDlg, "SysListView32");
                return hList && ::SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0) == expected;
            },
            20000);
        if (hList) {
            state.listed = static_cast<int>(::SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0));
            ::SetFocus(hList);
            SelectAll(hList);
            state.selected = static_cast<int>(::SendMessageA(hList, LVM_GETSELECTEDCOUNT, 0, 0));
        }
        state.field = NameField(hDlg);
        state.folderSize = FolderSize(hDlg);
        state.enlargedWhileOpen = dlg.HasEnlargedSelection();
        finish(hDlg);
    };
}

// The dialog moves the current directory into the folder it opened; each test puts it back
// (the program's folder) before its folder is removed, which would fail while it is current.
class FECFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char cwd[MAX_PATH] = {};
        ::GetCurrentDirectoryA(MAX_PATH, cwd);
        m_cwd = cwd;
    }
    void TearDown() override { ::SetCurrentDirectoryA(m_cwd.c_str()); }

    TempFolder folder; // removed after TearDown

private:
    std::string m_cwd;
};

// One folder of 2,000 long-named workbooks, written once for all tests that need it.
class ManyFiles : public FECFileDialogTest {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new TempFolder;
        for (int i = 1; i <= kManyFiles; i++)
            s_folder->WriteFile(ManyName(i), "xls");
    }
    static void TearDownTestSuite()
    {
        delete s_folder;
        s_folder = nullptr;
    }
    static TempFolder* s_folder;
};
TempFolder* ManyFiles::s_folder = nullptr;

} // namespace

TEST_F(FECFileDialogTest, ThreeTypedNamesComeBackAsTheBaseReturnsThem)
{
    for (const char* name : {"a.xls", "b.xls", "c.xls", "d.xls"})
        folder.WriteFile(name, "xls");
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path(), "\"c.xls\" \"a.xls\" \"b.xls\"")});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(answer.Count(), 1u);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    const std::vector<std::string> paths = PathsOf(dlg);
    EXPECT_EQ(paths, BasePathsOf(dlg));
    EXPECT_EQ(paths, (std::vector<std::string>{folder.File("c.xls"), folder.File("a.xls"), folder.File("b.xls")}));
}

TEST_F(FECFileDialogTest, OneFileIsOnePath)
{
    folder.WriteFile("a.xls", "xls");
    folder.WriteFile("Quarterly report, 2023.xls", "xls");
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path(), "Quarterly report, 2023.xls")});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    POSITION pos = dlg.GetStartPosition();
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(dlg.GetNextPathName(pos), folder.File("Quarterly report, 2023.xls"));
    EXPECT_EQ(pos, nullptr);
}

TEST_F(FECFileDialogTest, CancelSelectsNothing)
{
    folder.WriteFile("a.xls", "xls");
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    ModalAnswerer answer({ModalAnswerer::Press(IDCANCEL)});

    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(answer.Count(), 1u);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    EXPECT_EQ(dlg.GetStartPosition(), nullptr);
}

TEST_F(ManyFiles, TwoThousandSelectedComeBackInFullInTheDialogsOrder)
{
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    DialogState state;
    ModalAnswerer answer({SelectAllThen(s_folder->Path(), kManyFiles, dlg, state, ModalAnswerer::Press(IDOK))});

    const DWORD start = ::GetTickCount();
    const INT_PTR result = dlg.DoModal();
    const DWORD error = ::CommDlgExtendedError();
    std::printf("dialog with %d files selected: %lu ms\n", kManyFiles, ::GetTickCount() - start);

    ASSERT_EQ(state.listed, kManyFiles);
    ASSERT_EQ(state.selected, kManyFiles);
    const std::vector<std::string> order = QuotedNames(state.field);
    ASSERT_EQ(order.size(), static_cast<size_t>(kManyFiles));
    EXPECT_TRUE(state.enlargedWhileOpen);

    ASSERT_EQ(result, IDOK);
    ASSERT_TRUE(dlg.HasEnlargedSelection());

    // Wine's dialog does not fail with FNERR_BUFFERTOOSMALL as Windows' does: it reports success
    // with no extended error, and fills the buffer to its last character with the start of the
    // list (folder, names, the last one cut), leaving no terminator inside it.
    if (RunningOnWine()) {
        EXPECT_EQ(error, 0u);
        std::string layout = s_folder->Path() + '\0';
        for (const std::string& name : order)
            layout += name + '\0';
        const std::string buffer(dlg.m_ofn.lpstrFile, dlg.m_ofn.nMaxFile);
        EXPECT_EQ(buffer, layout.substr(0, dlg.m_ofn.nMaxFile));
        EXPECT_EQ(buffer.find(std::string(2, '\0')), std::string::npos);
    } else {
        EXPECT_EQ(error, static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    }

    const std::vector<std::string> paths = PathsOf(dlg);
    ASSERT_EQ(paths.size(), static_cast<size_t>(kManyFiles));
    std::set<std::string> distinct;
    for (size_t i = 0; i < paths.size(); i++) {
        EXPECT_EQ(paths[i], s_folder->File(order[i])) << "at " << i;
        EXPECT_NE(::GetFileAttributesA(paths[i].c_str()), INVALID_FILE_ATTRIBUTES) << paths[i];
        distinct.insert(paths[i]);
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kManyFiles));
    for (int i = 1; i <= kManyFiles; i++)
        EXPECT_EQ(distinct.count(s_folder->File(ManyName(i))), 1u) << ManyName(i);

    // The last name leaves no position behind it, and a second walk gives the same list.
    POSITION pos = dlg.GetStartPosition();
    for (int i = 0; i < kManyFiles - 1 && pos; i++)
        dlg.GetNextPathName(pos);
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(dlg.GetNextPathName(pos), paths.back());
    EXPECT_EQ(pos, nullptr);
    EXPECT_EQ(PathsOf(dlg), paths);
}

TEST_F(ManyFiles, CancelAfterSelectingAllSelectsNothing)
{
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    DialogState state;
    ModalAnswerer answer(
        {SelectAllThen(s_folder->Path(), kManyFiles, dlg, state, ModalAnswerer::Press(IDCANCEL))});

    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_EQ(state.selected, kManyFiles);
    EXPECT_TRUE(state.enlargedWhileOpen);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    EXPECT_EQ(dlg.GetStartPosition(), nullptr);
}

TEST_F(ManyFiles, NameTypedOverASelectionIsWhatComesBack)
{
    // The user selects everything, then types one name instead: no selection change is reported
    // for typing, so the copy of the large selection is out of date when Open is pressed.
    const std::string typed = ManyName(1234);
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    DialogState state;
    ModalAnswerer answer({SelectAllThen(s_folder->Path(), kManyFiles, dlg, state, [typed](HWND hDlg) {
        TypeName(hDlg, typed);
        ModalAnswerer::Press(IDOK)(hDlg);
    })});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(state.selected, kManyFiles);
    EXPECT_TRUE(state.enlargedWhileOpen);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    EXPECT_EQ(PathsOf(dlg), std::vector<std::string>{s_folder->File(typed)});
}

TEST_F(FECFileDialogTest, TypedListTooLongForTheBufferSelectsNothing)
{
    // Typing raises no selection change, so there is no copy of the field to fall back on: the
    // list cannot be returned whole, and a part of it would be a wrong answer.
    std::string field;
    for (int i = 0; i < 8; i++) {
        const std::string name = ManyName(i);
        folder.WriteFile(name, "xls");
        field += (field.empty() ? "\"" : " \"") + name + "\"";
    }
    ASSERT_GT(field.size(), static_cast<size_t>(MAX_PATH));
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path(), field)});

    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    const DWORD error = ::CommDlgExtendedError();
    EXPECT_EQ(answer.Count(), 1u);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    EXPECT_EQ(dlg.GetStartPosition(), nullptr);
    // Windows reports the buffer too small; Wine reports success with the list cut off at the end
    // of the buffer, which the class turns down itself.
    EXPECT_EQ(error, RunningOnWine() ? 0u : static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
}

TEST_F(FECFileDialogTest, SelectionThatFitsTheBufferIsTheBasesAlthoughFieldAndFolderDoNot)
{
    // The name field's quotes and blanks make it longer than the list the dialog writes into
    // the buffer, so a selection can fit the buffer while field size + folder size exceed it.
    const int count = 10;
    const int capacity = MAX_PATH; // the base's buffer
    const int folderLength = static_cast<int>(folder.Path().size());
    // folder, terminator, each name and terminator, final terminator: all within the buffer.
    const int nameLength = (capacity - folderLength - 2 - count) / count;
    ASSERT_GE(nameLength, 16) << "the temporary folder's path is too long for this test";
    std::vector<std::string> names;
    for (int i = 0; i < count; i++) {
        char stem[16];
        std::snprintf(stem, sizeof(stem), "Branch %02d ", i);
        std::string name = stem;
        name += std::string(static_cast<size_t>(nameLength) - name.size() - 4, 'x') + ".xls";
        names.push_back(folder.WriteFile(name, "xls").substr(folder.Path().size() + 1));
    }

    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    DialogState state;
    ModalAnswerer answer({SelectAllThen(folder.Path(), count, dlg, state, ModalAnswerer::Press(IDOK))});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(state.selected, count);
    const std::vector<std::string> order = QuotedNames(state.field);
    ASSERT_EQ(order.size(), static_cast<size_t>(count));
    // The premise: too large by the dialog's sizes, so the class did take its own copy.
    ASSERT_GT(static_cast<LRESULT>(state.field.size() + 1) + state.folderSize, static_cast<LRESULT>(capacity));
    EXPECT_TRUE(state.enlargedWhileOpen);

    EXPECT_FALSE(dlg.HasEnlargedSelection());
    const std::vector<std::string> paths = PathsOf(dlg);
    EXPECT_EQ(paths, BasePathsOf(dlg));
    ASSERT_EQ(paths.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; i++)
        EXPECT_EQ(paths[i], folder.File(order[i]));
}

namespace {

// Holds a name field and folder as the class does after a selection change, each in a buffer of
// the size it would allocate (the dialog's size, plus one for the folder and plus the class's slack
// for the name field), followed by guard bytes that show any write past it.
class HeldSelection : public CFECFileDialog {
public:
    static constexpr size_t kGuard = 16;
    static constexpr char kGuardByte = 0x5a;

    HeldSelection() : CFECFileDialog(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter) {}

    // `terminated` false: the dialog filled every character of the size it named, with no
    // terminator among them.
    void Hold(const std::string& folder, const std::string& field, bool terminated = true)
    {
        FreeSelection();
        m_folderSize = folder.size() + 1;
        m_specSize = field.size() + (terminated ? 1 : 0);
        m_pszFolder = Guarded(folder, m_folderSize + 1);
        m_specBlock = m_specSize + kSpecSlack;
        m_pszSpec = Guarded(field, m_specBlock);
    }

    bool GuardsIntact() const
    {
        return m_pszSpec && m_pszFolder && Intact(m_pszSpec + m_specBlock) && Intact(m_pszFolder + m_folderSize + 1);
    }

private:
    static char* Guarded(const std::string& text, size_t blockSize)
    {
        char* block = new char[blockSize + kGuard]();
        std::memcpy(block, text.data(), text.size());
        std::memset(block + blockSize, kGuardByte, kGuard);
        return block;
    }
    static bool Intact(const char* guard)
    {
        for (size_t i = 0; i < kGuard; i++)
            if (guard[i] != kGuardByte)
                return false;
        return true;
    }

    size_t m_folderSize = 0;
    size_t m_specSize = 0;
    size_t m_specBlock = 0;
};

} // namespace

TEST(FECFileDialogField, DriveRootGivesTwoBackslashes)
{
    HeldSelection dlg;
    dlg.Hold("C:\\", "\"a.xls\" \"b.xls\"");
    EXPECT_EQ(PathsOf(dlg), (std::vector<std::string>{"C:\\\\a.xls", "C:\\\\b.xls"}));
    EXPECT_TRUE(dlg.GuardsIntact());

    dlg.Hold("C:\\", "a.xls");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::string>{"C:\\\\a.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, QuotedNamesWithBlanksAndCommas)
{
    HeldSelection dlg;
    dlg.Hold("D:\\Sales", "\"Quarterly sales, north.xls\" \"b c.xls\" \"d.xls\"");
    EXPECT_EQ(PathsOf(dlg), (std::vector<std::string>{"D:\\Sales\\Quarterly sales, north.xls",
                                                      "D:\\Sales\\b c.xls", "D:\\Sales\\d.xls"}));
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, OneQuotedName)
{
    HeldSelection dlg;
    dlg.Hold("D:\\Sales", "\"only one.xls\"");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::string>{"D:\\Sales\\only one.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, SinglePlainNameKeepsEveryCharacter)
{
    // One selected file: the field holds its name without quotes.
    HeldSelection dlg;
    dlg.Hold("D:\\Sales", "Quarterly report, 2023.xls");
    POSITION pos = dlg.GetStartPosition();
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(dlg.GetNextPathName(pos), "D:\\Sales\\Quarterly report, 2023.xls");
    EXPECT_EQ(pos, nullptr);
    EXPECT_TRUE(dlg.GuardsIntact());

    // The shortest names too: one character, and two.
    dlg.Hold("D:\\Sales", "x");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::string>{"D:\\Sales\\x"});
    EXPECT_TRUE(dlg.GuardsIntact());
    dlg.Hold("D:\\Sales", "xy");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::string>{"D:\\Sales\\xy"});
    EXPECT_TRUE(dlg.GuardsIntact());

    // A field the dialog filled to the last character of its size, without a terminator.
    dlg.Hold("D:\\Sales", "Quarterly report.xls", false);
    EXPECT_EQ(PathsOf(dlg), std::vector<std::string>{"D:\\Sales\\Quarterly report.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, ExtraBlanksBetweenNamesMakeNoNames)
{
    HeldSelection dlg;
    dlg.Hold("D:\\Sales", "\"a.xls\"  \"b.xls\" ");
    EXPECT_EQ(PathsOf(dlg), (std::vector<std::string>{"D:\\Sales\\a.xls", "D:\\Sales\\b.xls"}));
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, EmptyFieldGivesNoPosition)
{
    HeldSelection dlg;
    dlg.Hold("D:\\Sales", "");
    EXPECT_EQ(dlg.GetStartPosition(), nullptr);
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, StartPositionTwiceConvertsOnce)
{
    HeldSelection dlg;
    dlg.Hold("D:\\Sales", "\"a.xls\" \"b.xls\" \"c.xls\"");
    POSITION first = dlg.GetStartPosition();
    POSITION second = dlg.GetStartPosition();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    const std::vector<std::string> expected{"D:\\Sales\\a.xls", "D:\\Sales\\b.xls", "D:\\Sales\\c.xls"};
    EXPECT_EQ(PathsOf(dlg), expected);
    EXPECT_EQ(PathsOf(dlg), expected);
    EXPECT_TRUE(dlg.GuardsIntact());

    // Likewise for a single plain name, whose conversion adds a terminator.
    dlg.Hold("D:\\Sales", "a b.xls");
    dlg.GetStartPosition();
    EXPECT_EQ(PathsOf(dlg), std::vector<std::string>{"D:\\Sales\\a b.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, NoPositionGivesNoPath)
{
    HeldSelection dlg;
    dlg.Hold("D:\\Sales", "\"a.xls\" \"b.xls\"");
    POSITION pos = nullptr;
    EXPECT_EQ(dlg.GetNextPathName(pos), "");
    EXPECT_EQ(pos, nullptr);
}
