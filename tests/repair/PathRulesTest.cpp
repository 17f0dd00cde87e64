// Output names, folders and the order in which folders are created.
#include "repair/PathRules.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

TEST(CandidateNames, PrefixModePutsRepBeforeTheWholeName)
{
    EXPECT_EQ(FirstCandidateName(L"Book1.xls", NAME_PREFIX), L"REP_Book1.xls");
    EXPECT_EQ(NumberedCandidateName(L"Book1.xls", 1, NAME_PREFIX), L"REP_(1)Book1.xls");
    EXPECT_EQ(NumberedCandidateName(L"Book1.xls", 199, NAME_PREFIX), L"REP_(199)Book1.xls");
    EXPECT_EQ(FirstCandidateName(L"noext", NAME_PREFIX), L"REP_noext");
}

TEST(CandidateNames, SuffixModePutsRepBeforeTheLastExtension)
{
    EXPECT_EQ(FirstCandidateName(L"Book1.xls", NAME_SUFFIX), L"Book1_REP.xls");
    EXPECT_EQ(NumberedCandidateName(L"Book1.xls", 1, NAME_SUFFIX), L"Book1(1)_REP.xls");
    EXPECT_EQ(FirstCandidateName(L"my.data.xls", NAME_SUFFIX), L"my.data_REP.xls");
    EXPECT_EQ(NumberedCandidateName(L"my.data.xls", 42, NAME_SUFFIX), L"my.data(42)_REP.xls");
    EXPECT_EQ(FirstCandidateName(L".xls", NAME_SUFFIX), L"_REP.xls");
}

TEST(CandidateNames, NameWithoutADotHasNeitherBaseNorExtension)
{
    EXPECT_EQ(FirstCandidateName(L"Book1", NAME_SUFFIX), L"_REP");
    EXPECT_EQ(NumberedCandidateName(L"Book1", 7, NAME_SUFFIX), L"(7)_REP");
}

TEST(SplitPathRule, SplitsAtTheLastBackslash)
{
    std::wstring folder = L"keep", name = L"keep";
    EXPECT_TRUE(SplitPath(L"C:\\Data\\Sub\\Book1.xls", folder, name));
    EXPECT_EQ(folder, L"C:\\Data\\Sub");
    EXPECT_EQ(name, L"Book1.xls");
    EXPECT_TRUE(SplitPath(L"D:\\Book1.xls", folder, name));
    EXPECT_EQ(folder, L"D:");
    EXPECT_EQ(name, L"Book1.xls");
    EXPECT_TRUE(SplitPath(L"C:\\Data\\", folder, name));
    EXPECT_EQ(folder, L"C:\\Data");
    EXPECT_EQ(name, L"");
}

TEST(SplitPathRule, PathWithoutBackslashChangesNothing)
{
    std::wstring folder = L"old folder", name = L"old name";
    EXPECT_FALSE(SplitPath(L"Book1.xls", folder, name));
    EXPECT_EQ(folder, L"old folder");
    EXPECT_EQ(name, L"old name");
}

TEST(OutputFolderRule, SameLocationIsTheRepairedFolderBesideTheSource)
{
    EXPECT_EQ(OutputFolder(LOCATION_SAME, L"C:\\Data\\", L"E:\\Else"), L"C:\\Data\\Repaired\\");
    EXPECT_EQ(OutputFolder(LOCATION_SAME, L"C:\\Data", L""), L"C:\\Data\\Repaired\\");
    EXPECT_EQ(OutputFolder(LOCATION_SAME, L"D:\\", L""), L"D:\\Repaired\\");
    EXPECT_EQ(OutputFolder(LOCATION_CHOSEN, L"C:\\Data\\", L"E:\\Out"), L"E:\\Out\\");
    EXPECT_EQ(OutputFolder(LOCATION_CHOSEN, L"C:\\Data\\", L"E:\\"), L"E:\\");
}

static std::vector<std::wstring> FoldersCreatedFor(const std::wstring& path)
{
    std::vector<std::wstring> calls;
    CreateFolderPath(path, [&](const std::wstring& folder) { calls.push_back(folder); });
    return calls;
}

TEST(CreateFolderPathRule, CreatesOutermostFirstThenTheWholePath)
{
    EXPECT_EQ(FoldersCreatedFor(L"C:\\Data\\Repaired\\"),
              (std::vector<std::wstring>{L"C:", L"C:\\Data", L"C:\\Data\\Repaired", L"C:\\Data\\Repaired\\"}));
    EXPECT_EQ(FoldersCreatedFor(L"D:\\Repaired\\"), (std::vector<std::wstring>{L"D:", L"D:\\Repaired", L"D:\\Repaired\\"}));
}

TEST(CreateFolderPathRule, NetworkShareTriesServerAndShareToo)
{
    EXPECT_EQ(FoldersCreatedFor(L"\\\\server\\share\\Data\\Repaired\\"),
              (std::vector<std::wstring>{L"", L"\\", L"\\\\server", L"\\\\server\\share", L"\\\\server\\share\\Data",
                                        L"\\\\server\\share\\Data\\Repaired", L"\\\\server\\share\\Data\\Repaired\\"}));
}

namespace {
// A pretend output folder holding the given names.
struct Taken {
    std::set<std::wstring> paths;
    bool operator()(const std::wstring& path) const { return paths.count(path) == 0; }
};
} // namespace

TEST(ChooseOutputRule, FirstFreeNameInOrder)
{
    Taken taken;
    OutputChoice first = ChooseOutput(L"Book1.xls", NAME_PREFIX, LOCATION_SAME, L"C:\\Data\\", L"", taken);
    EXPECT_EQ(first.path, L"C:\\Data\\Repaired\\REP_Book1.xls");
    EXPECT_EQ(first.name, L"REP_Book1.xls");
    EXPECT_EQ(first.shownFolder, L"C:\\Data\\Repaired\\");

    taken.paths = {L"C:\\Data\\Repaired\\REP_Book1.xls", L"C:\\Data\\Repaired\\REP_(1)Book1.xls"};
    OutputChoice third = ChooseOutput(L"Book1.xls", NAME_PREFIX, LOCATION_SAME, L"C:\\Data\\", L"", taken);
    EXPECT_EQ(third.path, L"C:\\Data\\Repaired\\REP_(2)Book1.xls");
    EXPECT_EQ(third.name, L"REP_(2)Book1.xls");
}

TEST(ChooseOutputRule, ChosenFolderShowsTheFolderAsChosenForTheFirstName)
{
    Taken taken;
    OutputChoice first = ChooseOutput(L"Book1.xls", NAME_SUFFIX, LOCATION_CHOSEN, L"C:\\Data\\", L"E:\\Out", taken);
    EXPECT_EQ(first.path, L"E:\\Out\\Book1_REP.xls");
    EXPECT_EQ(first.shownFolder, L"E:\\Out");
    taken.paths = {L"E:\\Out\\Book1_REP.xls"};
    OutputChoice second = ChooseOutput(L"Book1.xls", NAME_SUFFIX, LOCATION_CHOSEN, L"C:\\Data\\", L"E:\\Out", taken);
    EXPECT_EQ(second.path, L"E:\\Out\\Book1(1)_REP.xls");
    EXPECT_EQ(second.shownFolder, L"E:\\Out\\");

    OutputChoice root = ChooseOutput(L"Book1.xls", NAME_PREFIX, LOCATION_CHOSEN, L"C:\\Data\\", L"E:\\", Taken{});
    EXPECT_EQ(root.path, L"E:\\REP_Book1.xls");
    EXPECT_EQ(root.shownFolder, L"E:\\");
}

TEST(ChooseOutputRule, SearchStopsAfter199)
{
    Taken taken;
    taken.paths.insert(L"C:\\D\\Repaired\\REP_a.xls");
    for (int n = 1; n <= 198; n++)
        taken.paths.insert(L"C:\\D\\Repaired\\REP_(" + std::to_wstring(n) + L")a.xls");
    EXPECT_EQ(ChooseOutput(L"a.xls", NAME_PREFIX, LOCATION_SAME, L"C:\\D\\", L"", taken).name, L"REP_(199)a.xls");
    taken.paths.insert(L"C:\\D\\Repaired\\REP_(199)a.xls");
    OutputChoice none = ChooseOutput(L"a.xls", NAME_PREFIX, LOCATION_SAME, L"C:\\D\\", L"", taken);
    EXPECT_TRUE(none.path.empty());
    EXPECT_TRUE(none.name.empty());
}

TEST(ChooseOutputRule, AFolderOfTheSameNameTakesTheName)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tessel-paths-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\REP_b.xls").c_str(), nullptr));
    EXPECT_FALSE(IsPathFree(folder + L"\\REP_b.xls"));
    EXPECT_TRUE(IsPathFree(folder + L"\\REP_c.xls"));
    OutputChoice choice = ChooseOutput(L"b.xls", NAME_PREFIX, LOCATION_CHOSEN, L"", folder);
    EXPECT_EQ(choice.name, L"REP_(1)b.xls");
    ::RemoveDirectoryW((folder + L"\\REP_b.xls").c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// Names a user can have: the rules work on UTF-16 units and leave every other character alone.
TEST(CandidateNames, WideNamesKeepEveryCharacter)
{
    struct Case {
        const wchar_t* name;
        int mode;
        const wchar_t* first;
        const wchar_t* numbered; // n = 3
    } cases[] = {
        {L"Отчёт за май.xls", NAME_PREFIX, L"REP_Отчёт за май.xls", L"REP_(3)Отчёт за май.xls"},
        {L"Отчёт за май.xls", NAME_SUFFIX, L"Отчёт за май_REP.xls", L"Отчёт за май(3)_REP.xls"},
        {L"Προϋπολογισμός.xls", NAME_SUFFIX, L"Προϋπολογισμός_REP.xls", L"Προϋπολογισμός(3)_REP.xls"},
        {L"销售报表.xls", NAME_PREFIX, L"REP_销售报表.xls", L"REP_(3)销售报表.xls"},
        // An emoji is a surrogate pair; the base ends after both halves.
        {L"Budget \U0001F600.xls", NAME_SUFFIX, L"Budget \U0001F600_REP.xls", L"Budget \U0001F600(3)_REP.xls"},
        // Combining marks stay on their letters (e + U+0301).
        {L"Cafe\u0301.xls", NAME_SUFFIX, L"Cafe\u0301_REP.xls", L"Cafe\u0301(3)_REP.xls"},
        // Full-width solidus, reverse solidus and full stop are letters of the name, not separators or dots.
        {L"a\uFF0Fb\uFF3Cc\uFF0Ed.xls", NAME_SUFFIX, L"a\uFF0Fb\uFF3Cc\uFF0Ed_REP.xls", L"a\uFF0Fb\uFF3Cc\uFF0Ed(3)_REP.xls"},
        {L"report\uFF0Exls", NAME_SUFFIX, L"_REP", L"(3)_REP"},
        {L"100% ; it's & co.xls", NAME_PREFIX, L"REP_100% ; it's & co.xls", L"REP_(3)100% ; it's & co.xls"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " " << c.first);
        EXPECT_EQ(FirstCandidateName(c.name, c.mode), c.first);
        EXPECT_EQ(NumberedCandidateName(c.name, 3, c.mode), c.numbered);
    }
    std::wstring folder, name;
    ASSERT_TRUE(SplitPath(L"C:\\Données\\a\uFF3Cb.xls", folder, name));
    EXPECT_EQ(folder, L"C:\\Données") << "a full-width reverse solidus does not split a path";
    EXPECT_EQ(name, L"a\uFF3Cb.xls");
}

// A name is at most 255 UTF-16 units: the copy's name is what must fit.
TEST(ChooseOutputRule, NamesPastTheComponentLimitAreNeverTried)
{
    auto named = [](size_t length, const std::wstring& tail) { return std::wstring(length - tail.size(), L'n') + tail; };
    struct Case {
        std::wstring name;
        int mode;
        bool firstTaken;
        bool tooLong;
    } cases[] = {
        {named(251, L".xls"), NAME_PREFIX, false, false},  // REP_ + 251 = 255: fits
        {named(252, L".xls"), NAME_PREFIX, false, true},   // 256
        {named(251, L".xls"), NAME_SUFFIX, false, false},  // 247 + _REP + .xls = 255
        {named(252, L".xls"), NAME_SUFFIX, false, true},
        {named(248, L".xls"), NAME_PREFIX, true, false},   // REP_(1) + 248 = 255
        {named(249, L".xls"), NAME_PREFIX, true, true},    // first taken, every numbered one too long
        // The emoji is two units: 252 units are 251 characters, and still too long.
        {named(251, L"\U0001F600.xls"), NAME_PREFIX, false, false},
        {named(252, L"\U0001F600.xls"), NAME_PREFIX, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.name.size() << " mode " << c.mode << " first taken "
                                        << c.firstTaken);
        Taken taken;
        if (c.firstTaken)
            taken.paths.insert(L"E:\\Out\\" + FirstCandidateName(c.name, c.mode));
        std::vector<std::wstring> asked;
        OutputChoice choice = ChooseOutput(c.name, c.mode, LOCATION_CHOSEN, L"C:\\Data\\", L"E:\\Out",
                                           [&](const std::wstring& path) {
                                               asked.push_back(path);
                                               return taken(path);
                                           });
        EXPECT_EQ(choice.nameTooLong, c.tooLong);
        if (c.tooLong) {
            EXPECT_TRUE(choice.path.empty());
            for (const std::wstring& path : asked)
                EXPECT_LE(path.size() - 7, kMaxNameLength) << "only names that fit are tested";
        } else {
            EXPECT_FALSE(choice.path.empty());
            EXPECT_LE(choice.name.size(), kMaxNameLength);
            EXPECT_EQ(choice.name, c.firstTaken ? NumberedCandidateName(c.name, 1, c.mode)
                                                : FirstCandidateName(c.name, c.mode));
        }
    }
    // Every name taken is not the same as every name too long.
    Taken all;
    all.paths.insert(L"E:\\Out\\REP_a.xls");
    for (int n = 1; n <= kMaxNumberedName; n++)
        all.paths.insert(L"E:\\Out\\REP_(" + std::to_wstring(n) + L")a.xls");
    EXPECT_FALSE(ChooseOutput(L"a.xls", NAME_PREFIX, LOCATION_CHOSEN, L"", L"E:\\Out", all).nameTooLong);
}

TEST(FileNameRules, CaseAsTheFileSystemFoldsIt)
{
    struct Same {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } pairs[] = {
        {L"Book1.XLS", L"book1.xls", true},
        {L"ÉTÉ.xls", L"été.xls", true},
        {L"ОТЧЁТ.xls", L"отчёт.xls", true},
        {L"ΑΒΓ.xls", L"αβγ.xls", true},
        {L"straße.xls", L"STRASSE.xls", false}, // no expansion: one unit is never two
        {L"\uFF21.xls", L"A.xls", false},       // full-width A is not A
        {L"a\uFF0Fb.xls", L"a/b.xls", false},
        {L"Cafe\u0301.xls", L"Café.xls", false}, // ordinal: composed and decomposed differ, as on disk
        {L"a.xls", L"a.xls ", false},
    };
    for (const Same& p : pairs) {
        EXPECT_EQ(SameFileName(p.a, p.b), p.same) << Utf8(p.a) << " / " << Utf8(p.b);
        EXPECT_EQ(SameFileName(p.b, p.a), p.same);
        EXPECT_FALSE(FileNameLess(p.a, p.b) && FileNameLess(p.b, p.a));
        // Equal names sort together; different ones in one order or the other.
        EXPECT_EQ(FileNameLess(p.a, p.b) || FileNameLess(p.b, p.a), !p.same);
    }
    struct Extension {
        const wchar_t* name;
        bool workbook;
    } names[] = {
        {L"a.xls", true}, {L"a.XLS", true}, {L"Отчёт.Xls", true}, {L".xls", true}, {L"a.xlsx", false},
        {L"a\uFF0Exls", false}, {L"axls", false}, {L"a.xls ", false}, {L"a.xl", false}, {L"", false},
    };
    for (const Extension& n : names)
        EXPECT_EQ(HasWorkbookExtension(n.name), n.workbook) << Utf8(n.name);
    std::vector<std::wstring> sorted = {L"b.xls", L"Äpfel.xls", L"a.XLS", L"B2.xls", L"A1.xls"};
    std::sort(sorted.begin(), sorted.end(), FileNameLess);
    EXPECT_EQ(sorted, (std::vector<std::wstring>{L"a.XLS", L"A1.xls", L"b.xls", L"B2.xls", L"Äpfel.xls"}));
}

TEST(DeviceNames, TheSystemsDevicesInAnyCaseWithOrWithoutAnExtension)
{
    struct Case {
        const wchar_t* name;
        bool device;
    };
    const Case cases[] = {
        { L"CON", true },
        { L"con.xls", true },
        { L"Nul.xls", true },
        { L"PRN", true },
        { L"aux.txt", true },
        { L"COM1", true },
        { L"com9.xls", true },
        { L"COM0.xls", true },
        { L"LPT1", true },
        { L"lpt3.tar.gz", true },
        { L"CON .xls", true },
        { L"CONIN$", true },
        { L"conout$.xls", true },
        { L"COM\u00B9.xls", true },
        { L"LPT\u00B3", true },
        // Names that only look alike.
        { L"CONSOLE.xls", false },
        { L"COM10.xls", false },
        { L"COM.xls", false },
        { L"LPT", false },
        { L"xCON.xls", false },
        { L"Book1.xls", false },
        { L"NULL", false },
        { L"COMA.xls", false },
        { L"", false },
        { L".CON", false },
        { L"REP_CON.xls", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsDeviceName(c.name), c.device) << Utf8(c.name);
}

TEST(OutputLocation, UnsetModeOrAnEmptyChosenFolderIsNoLocation)
{
    struct Case {
        int mode;
        const wchar_t* target;
        bool usable;
    };
    const Case cases[] = {
        { LOCATION_SAME, L"", true },
        { LOCATION_SAME, L"C:\\Out", true },
        { LOCATION_CHOSEN, L"C:\\Out", true },
        { LOCATION_CHOSEN, L"", false },
        { LOCATION_UNSET, L"C:\\Out", false },
        { LOCATION_UNSET, L"", false },
        { 7, L"C:\\Out", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasOutputLocation(c.mode, c.target), c.usable) << c.mode << " " << Utf8(c.target);
}
