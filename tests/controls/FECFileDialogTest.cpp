// CFECFileDialog through the real open dialog (answered on this thread while its modal loop runs),
// on real files and real selections; and its reading of the dialog's name field directly.
#include "controls/FECFileDialog.h"
#include "ModalAnswerer.h"
#include "Pump.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

// As the Add Files command opens it.
constexpr DWORD kAddFilesFlags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_NODEREFERENCELINKS;
constexpr const char* kExcelFilter = "Excel File(*.xls)|*.xls|";
constexpr int kManyFiles = 2000;

std::wstring ManyName(int i)
{
    wchar_t name[96];
    std::swprintf(name, 96, L"Quarterly sales report for the northern region, branch %04d.xls", i);
    return name;
}

bool RunningOnWine()
{
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// Every path the dialog object hands out, through our members.
std::vector<std::wstring> PathsOf(const CFECFileDialog& dlg)
{
    std::vector<std::wstring> paths;
    POSITION pos = dlg.GetStartPosition();
    while (pos && paths.size() <= 10 * kManyFiles)
        paths.push_back(dlg.GetNextPathName(pos));
    return paths;
}

// The same through the base's members.
std::vector<std::wstring> BasePathsOf(const CFileDialog& dlg)
{
    std::vector<std::wstring> paths;
    POSITION pos = dlg.GetStartPosition();
    while (pos && paths.size() <= 10 * kManyFiles)
        paths.push_back(dlg.GetNextPathName(pos));
    return paths;
}

// The names of a name field as the dialog writes them for several files: L"a" L"b" L"c". Read here
// on its own terms, not through the class under test.
std::vector<std::wstring> QuotedNames(const std::wstring& field)
{
    std::vector<std::wstring> names;
    size_t at = 0;
    for (;;) {
        size_t open = field.find(L'"', at);
        if (open == std::wstring::npos)
            break;
        size_t close = field.find(L'"', open + 1);
        if (close == std::wstring::npos)
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
std::wstring NameField(HWND hDlg)
{
    wchar_t probe[1] = {};
    LRESULT size = ::SendMessageW(hDlg, CDM_GETSPEC, 1, reinterpret_cast<LPARAM>(probe));
    if (size <= 0)
        return {};
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::SendMessageW(hDlg, CDM_GETSPEC, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

LRESULT FolderSize(HWND hDlg)
{
    wchar_t probe[1] = {};
    return ::SendMessageW(hDlg, CDM_GETFOLDERPATH, 1, reinterpret_cast<LPARAM>(probe));
}

void TypeName(HWND hDlg, const std::wstring& text)
{
    // The name field is an edit (edt1) or a combo box with an edit (cmb13), by dialog version.
    for (int id : {0x480, 0x47c})
        if (HWND field = ::GetDlgItem(hDlg, id))
            ::SetWindowTextW(field, text.c_str());
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
    std::wstring field;      // the name field
    LRESULT folderSize = 0; // CDM_GETFOLDERPATH's size
    bool enlargedWhileOpen = false;
};

// Opens the folder in the dialog, selects every file in its list, notes what the dialog shows,
// then hands the dialog to finish (Open, Cancel, or typing first).
ModalAnswerer::Action SelectAllThen(const std::wstring& folder, int expected, const CFECFileDialog& dlg,
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
        wchar_t cwd[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, cwd);
        m_cwd = cwd;
    }
    void TearDown() override { ::SetCurrentDirectoryW(m_cwd.c_str()); }

    TempFolder folder; // removed after TearDown

private:
    std::wstring m_cwd;
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
    for (const wchar_t* name : {L"a.xls", L"b.xls", L"c.xls", L"d.xls"})
        folder.WriteFile(name, "xls");
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path(), L"\"c.xls\" \"a.xls\" \"b.xls\"")});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(answer.Count(), 1u);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    const std::vector<std::wstring> paths = PathsOf(dlg);
    EXPECT_EQ(paths, BasePathsOf(dlg));
    EXPECT_EQ(paths, (std::vector<std::wstring>{folder.File(L"c.xls"), folder.File(L"a.xls"), folder.File(L"b.xls")}));
}

TEST_F(FECFileDialogTest, OneFileIsOnePath)
{
    folder.WriteFile(L"a.xls", "xls");
    folder.WriteFile(L"Quarterly report, 2023.xls", "xls");
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path(), L"Quarterly report, 2023.xls")});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    POSITION pos = dlg.GetStartPosition();
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(dlg.GetNextPathName(pos), folder.File(L"Quarterly report, 2023.xls"));
    EXPECT_EQ(pos, nullptr);
}

TEST_F(FECFileDialogTest, CancelSelectsNothing)
{
    folder.WriteFile(L"a.xls", "xls");
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
    const std::vector<std::wstring> order = QuotedNames(state.field);
    ASSERT_EQ(order.size(), static_cast<size_t>(kManyFiles));
    EXPECT_TRUE(state.enlargedWhileOpen);

    ASSERT_EQ(result, IDOK);
    // The dialog's buffer was grown to the selection before Open, so the whole list comes back in
    // it. Wine's dialog writes a list longer than the buffer past its end (see below), so it must
    // have had the room; Windows may report the buffer too small instead, and then the class's
    // own copy of the selection answers.
    std::wstring layout = s_folder->Path() + L'\0';
    for (const std::wstring& name : order)
        layout += name + L'\0';
    layout += L'\0';
    if (RunningOnWine() || !dlg.HasEnlargedSelection()) {
        EXPECT_EQ(error, 0u);
        EXPECT_FALSE(dlg.HasEnlargedSelection());
        ASSERT_GE(dlg.m_ofn.nMaxFile, layout.size());
        EXPECT_EQ(std::wstring(dlg.m_ofn.lpstrFile, layout.size()), layout);
    } else {
        EXPECT_EQ(error, static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    }

    const std::vector<std::wstring> paths = PathsOf(dlg);
    ASSERT_EQ(paths.size(), static_cast<size_t>(kManyFiles));
    std::set<std::wstring> distinct;
    for (size_t i = 0; i < paths.size(); i++) {
        EXPECT_EQ(paths[i], s_folder->File(order[i])) << "at " << i;
        EXPECT_NE(::GetFileAttributesW(paths[i].c_str()), INVALID_FILE_ATTRIBUTES) << paths[i];
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
    const std::wstring typed = ManyName(1234);
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
    EXPECT_EQ(PathsOf(dlg), std::vector<std::wstring>{s_folder->File(typed)});
}

TEST_F(FECFileDialogTest, TypedListLongerThanTheBufferComesBackWhole)
{
    // Typing raises no selection change; Open makes the buffer hold the typed list before the
    // dialog writes it, so the list comes back whole, in the order typed.
    std::wstring field;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 8; i++) {
        const std::wstring name = ManyName(i);
        expected.push_back(folder.WriteFile(name, "xls"));
        field += (field.empty() ? L"\"" : L" \"") + name + L"\"";
    }
    ASSERT_GT(field.size(), static_cast<size_t>(MAX_PATH));
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    dlg.m_ofn.nMaxFile = MAX_PATH; // a buffer shorter than the list (the base's holds a long path)
    ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path(), field)});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(::CommDlgExtendedError(), 0u);
    EXPECT_EQ(answer.Count(), 1u);
    EXPECT_FALSE(dlg.HasEnlargedSelection());
    EXPECT_GT(dlg.m_ofn.nMaxFile, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ(PathsOf(dlg), expected);
}

// Why the buffer grows: given a buffer of its caller's that is too short for a typed list, Wine's
// wide dialog writes the list on past the buffer's end (Windows reports the buffer too small).
// Guard characters behind the buffer show it.
TEST_F(FECFileDialogTest, WineWritesALongListPastTheCallersBuffer)
{
    std::wstring field;
    for (int i = 0; i < 8; i++) {
        folder.WriteFile(ManyName(i), "xls");
        field += (field.empty() ? L"\"" : L" \"") + ManyName(i) + L"\"";
    }
    constexpr size_t kBuffer = 100, kGuard = 4000;
    std::vector<wchar_t> own(kBuffer + kGuard, L'\x5a5a');
    own[0] = L'\0';
    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    dlg.m_ofn.lpstrFile = own.data();
    dlg.m_ofn.nMaxFile = kBuffer;
    ModalAnswerer answer({ModalAnswerer::OpenFiles(folder.Path(), field)});
    dlg.DoModal();
    const size_t overwritten = kGuard - static_cast<size_t>(std::count(own.begin() + kBuffer, own.end(), L'\x5a5a'));
    if (RunningOnWine())
        EXPECT_GT(overwritten, field.size() / 2) << "Wine writes the list past the buffer";
    else
        EXPECT_EQ(overwritten, 0u);
    EXPECT_EQ(dlg.m_ofn.lpstrFile, own.data()) << "a caller's buffer is not replaced";
}

TEST_F(FECFileDialogTest, SelectionThatFitsTheBufferIsTheBasesAlthoughFieldAndFolderDoNot)
{
    // The name field's quotes and blanks make it longer than the list the dialog writes into
    // the buffer, so a selection can fit the buffer while field size + folder size exceed it.
    const int count = 10;
    const int capacity = MAX_PATH; // the buffer, cut to this for the test
    const int folderLength = static_cast<int>(folder.Path().size());
    // folder, terminator, each name and terminator, final terminator: all within the buffer.
    const int nameLength = (capacity - folderLength - 2 - count) / count;
    ASSERT_GE(nameLength, 16) << "the temporary folder's path is too long for this test";
    std::vector<std::wstring> names;
    for (int i = 0; i < count; i++) {
        wchar_t stem[16];
        std::swprintf(stem, 16, L"Branch %02d ", i);
        std::wstring name = stem;
        name += std::wstring(static_cast<size_t>(nameLength) - name.size() - 4, L'x') + L".xls";
        names.push_back(folder.WriteFile(name, "xls").substr(folder.Path().size() + 1));
    }

    CFECFileDialog dlg(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter);
    dlg.m_ofn.nMaxFile = capacity;
    DialogState state;
    ModalAnswerer answer({SelectAllThen(folder.Path(), count, dlg, state, ModalAnswerer::Press(IDOK))});

    ASSERT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(state.selected, count);
    const std::vector<std::wstring> order = QuotedNames(state.field);
    ASSERT_EQ(order.size(), static_cast<size_t>(count));
    // The premise: too large by the dialog's sizes, so the class did take its own copy.
    ASSERT_GT(static_cast<LRESULT>(state.field.size() + 1) + state.folderSize, static_cast<LRESULT>(capacity));
    EXPECT_TRUE(state.enlargedWhileOpen);

    EXPECT_FALSE(dlg.HasEnlargedSelection());
    const std::vector<std::wstring> paths = PathsOf(dlg);
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
    static constexpr wchar_t kGuardByte = 0x5a5a;

    HeldSelection() : CFECFileDialog(TRUE, nullptr, nullptr, kAddFilesFlags, kExcelFilter) {}

    // `terminated` false: the dialog filled every character of the size it named, with no
    // terminator among them.
    void Hold(const std::wstring& folder, const std::wstring& field, bool terminated = true)
    {
        FreeSelection();
        m_folderSize = folder.size() + 1;
        m_nameSize = field.size() + (terminated ? 1 : 0);
        m_pszFolder = Guarded(folder, m_folderSize + 1);
        m_nameBlock = m_nameSize + kNameFieldSlack;
        m_pszSpec = Guarded(field, m_nameBlock);
    }

    bool GuardsIntact() const
    {
        return m_pszSpec && m_pszFolder && Intact(m_pszSpec + m_nameBlock) && Intact(m_pszFolder + m_folderSize + 1);
    }

private:
    static wchar_t* Guarded(const std::wstring& text, size_t blockSize)
    {
        wchar_t* block = new wchar_t[blockSize + kGuard]();
        std::wmemcpy(block, text.data(), text.size());
        std::wmemset(block + blockSize, kGuardByte, kGuard);
        return block;
    }
    static bool Intact(const wchar_t* guard)
    {
        for (size_t i = 0; i < kGuard; i++)
            if (guard[i] != kGuardByte)
                return false;
        return true;
    }

    size_t m_folderSize = 0;
    size_t m_nameSize = 0;
    size_t m_nameBlock = 0;
};

} // namespace

TEST(FECFileDialogField, DriveRootGivesTwoBackslashes)
{
    HeldSelection dlg;
    dlg.Hold(L"C:\\", L"\"a.xls\" \"b.xls\"");
    EXPECT_EQ(PathsOf(dlg), (std::vector<std::wstring>{L"C:\\\\a.xls", L"C:\\\\b.xls"}));
    EXPECT_TRUE(dlg.GuardsIntact());

    dlg.Hold(L"C:\\", L"a.xls");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::wstring>{L"C:\\\\a.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, QuotedNamesWithBlanksAndCommas)
{
    HeldSelection dlg;
    dlg.Hold(L"D:\\Sales", L"\"Quarterly sales, north.xls\" \"b c.xls\" \"d.xls\"");
    EXPECT_EQ(PathsOf(dlg), (std::vector<std::wstring>{L"D:\\Sales\\Quarterly sales, north.xls",
                                                      L"D:\\Sales\\b c.xls", L"D:\\Sales\\d.xls"}));
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, OneQuotedName)
{
    HeldSelection dlg;
    dlg.Hold(L"D:\\Sales", L"\"only one.xls\"");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::wstring>{L"D:\\Sales\\only one.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, SinglePlainNameKeepsEveryCharacter)
{
    // One selected file: the field holds its name without quotes.
    HeldSelection dlg;
    dlg.Hold(L"D:\\Sales", L"Quarterly report, 2023.xls");
    POSITION pos = dlg.GetStartPosition();
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(dlg.GetNextPathName(pos), L"D:\\Sales\\Quarterly report, 2023.xls");
    EXPECT_EQ(pos, nullptr);
    EXPECT_TRUE(dlg.GuardsIntact());

    // The shortest names too: one character, and two.
    dlg.Hold(L"D:\\Sales", L"x");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::wstring>{L"D:\\Sales\\x"});
    EXPECT_TRUE(dlg.GuardsIntact());
    dlg.Hold(L"D:\\Sales", L"xy");
    EXPECT_EQ(PathsOf(dlg), std::vector<std::wstring>{L"D:\\Sales\\xy"});
    EXPECT_TRUE(dlg.GuardsIntact());

    // A field the dialog filled to the last character of its size, without a terminator.
    dlg.Hold(L"D:\\Sales", L"Quarterly report.xls", false);
    EXPECT_EQ(PathsOf(dlg), std::vector<std::wstring>{L"D:\\Sales\\Quarterly report.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, ExtraBlanksBetweenNamesMakeNoNames)
{
    HeldSelection dlg;
    dlg.Hold(L"D:\\Sales", L"\"a.xls\"  \"b.xls\" ");
    EXPECT_EQ(PathsOf(dlg), (std::vector<std::wstring>{L"D:\\Sales\\a.xls", L"D:\\Sales\\b.xls"}));
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, EmptyFieldGivesNoPosition)
{
    HeldSelection dlg;
    dlg.Hold(L"D:\\Sales", L"");
    EXPECT_EQ(dlg.GetStartPosition(), nullptr);
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, StartPositionTwiceConvertsOnce)
{
    HeldSelection dlg;
    dlg.Hold(L"D:\\Sales", L"\"a.xls\" \"b.xls\" \"c.xls\"");
    POSITION first = dlg.GetStartPosition();
    POSITION second = dlg.GetStartPosition();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    const std::vector<std::wstring> expected{L"D:\\Sales\\a.xls", L"D:\\Sales\\b.xls", L"D:\\Sales\\c.xls"};
    EXPECT_EQ(PathsOf(dlg), expected);
    EXPECT_EQ(PathsOf(dlg), expected);
    EXPECT_TRUE(dlg.GuardsIntact());

    // Likewise for a single plain name, whose conversion adds a terminator.
    dlg.Hold(L"D:\\Sales", L"a b.xls");
    dlg.GetStartPosition();
    EXPECT_EQ(PathsOf(dlg), std::vector<std::wstring>{L"D:\\Sales\\a b.xls"});
    EXPECT_TRUE(dlg.GuardsIntact());
}

TEST(FECFileDialogField, NoPositionGivesNoPath)
{
    HeldSelection dlg;
    dlg.Hold(L"D:\\Sales", L"\"a.xls\" \"b.xls\"");
    POSITION pos = nullptr;
    EXPECT_EQ(dlg.GetNextPathName(pos), L"");
    EXPECT_EQ(pos, nullptr);
}
