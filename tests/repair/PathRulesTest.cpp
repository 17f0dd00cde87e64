// Output names, folders and the order in which folders are created.
#include "framework/Platform.h"
#include "repair/PathRules.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

TEST(CandidateNames, PrefixModePutsRepBeforeTheWholeName)
{
    EXPECT_EQ(FirstCandidateName("Book1.xls", NAME_PREFIX), "REP_Book1.xls");
    EXPECT_EQ(NumberedCandidateName("Book1.xls", 1, NAME_PREFIX), "REP_(1)Book1.xls");
    EXPECT_EQ(NumberedCandidateName("Book1.xls", 199, NAME_PREFIX), "REP_(199)Book1.xls");
    EXPECT_EQ(FirstCandidateName("noext", NAME_PREFIX), "REP_noext");
}

TEST(CandidateNames, SuffixModePutsRepBeforeTheLastExtension)
{
    EXPECT_EQ(FirstCandidateName("Book1.xls", NAME_SUFFIX), "Book1_REP.xls");
    EXPECT_EQ(NumberedCandidateName("Book1.xls", 1, NAME_SUFFIX), "Book1(1)_REP.xls");
    EXPECT_EQ(FirstCandidateName("my.data.xls", NAME_SUFFIX), "my.data_REP.xls");
    EXPECT_EQ(NumberedCandidateName("my.data.xls", 42, NAME_SUFFIX), "my.data(42)_REP.xls");
    EXPECT_EQ(FirstCandidateName(".xls", NAME_SUFFIX), "_REP.xls");
}

TEST(CandidateNames, NameWithoutADotHasNeitherBaseNorExtension)
{
    EXPECT_EQ(FirstCandidateName("Book1", NAME_SUFFIX), "_REP");
    EXPECT_EQ(NumberedCandidateName("Book1", 7, NAME_SUFFIX), "(7)_REP");
}

TEST(SplitPathRule, SplitsAtTheLastBackslash)
{
    std::string folder = "keep", name = "keep";
    EXPECT_TRUE(SplitPath("C:\\Data\\Sub\\Book1.xls", folder, name));
    EXPECT_EQ(folder, "C:\\Data\\Sub");
    EXPECT_EQ(name, "Book1.xls");
    EXPECT_TRUE(SplitPath("D:\\Book1.xls", folder, name));
    EXPECT_EQ(folder, "D:");
    EXPECT_EQ(name, "Book1.xls");
    EXPECT_TRUE(SplitPath("C:\\Data\\", folder, name));
    EXPECT_EQ(folder, "C:\\Data");
    EXPECT_EQ(name, "");
}

TEST(SplitPathRule, PathWithoutBackslashChangesNothing)
{
    std::string folder = "old folder", name = "old name";
    EXPECT_FALSE(SplitPath("Book1.xls", folder, name));
    EXPECT_EQ(folder, "old folder");
    EXPECT_EQ(name, "old name");
}

TEST(OutputFolderRule, SameLocationIsTheRepairedFolderBesideTheSource)
{
    EXPECT_EQ(OutputFolder(LOCATION_SAME, "C:\\Data\\", "E:\\Else"), "C:\\Data\\Repaired\\");
    EXPECT_EQ(OutputFolder(LOCATION_SAME, "C:\\Data", ""), "C:\\Data\\Repaired\\");
    EXPECT_EQ(OutputFolder(LOCATION_SAME, "D:\\", ""), "D:\\Repaired\\");
    EXPECT_EQ(OutputFolder(LOCATION_CHOSEN, "C:\\Data\\", "E:\\Out"), "E:\\Out\\");
    EXPECT_EQ(OutputFolder(LOCATION_CHOSEN, "C:\\Data\\", "E:\\"), "E:\\");
}

static std::vector<std::string> FoldersCreatedFor(const std::string& path)
{
    std::vector<std::string> calls;
    CreateFolderPath(path, [&](const std::string& folder) { calls.push_back(folder); });
    return calls;
}

TEST(CreateFolderPathRule, CreatesOutermostFirstThenTheWholePath)
{
    EXPECT_EQ(FoldersCreatedFor("C:\\Data\\Repaired\\"),
              (std::vector<std::string>{"C:", "C:\\Data", "C:\\Data\\Repaired", "C:\\Data\\Repaired\\"}));
    EXPECT_EQ(FoldersCreatedFor("D:\\Repaired\\"), (std::vector<std::string>{"D:", "D:\\Repaired", "D:\\Repaired\\"}));
}

TEST(CreateFolderPathRule, NetworkShareTriesServerAndShareToo)
{
    EXPECT_EQ(FoldersCreatedFor("\\\\server\\share\\Data\\Repaired\\"),
              (std::vector<std::string>{"", "\\", "\\\\server", "\\\\server\\share", "\\\\server\\share\\Data",
                                        "\\\\server\\share\\Data\\Repaired", "\\\\server\\share\\Data\\Repaired\\"}));
}

namespace {
// A pretend output folder holding the given names.
struct Taken {
    std::set<std::string> paths;
    bool operator()(const std::string& path) const { return paths.count(path) == 0; }
};
} // namespace

TEST(ChooseOutputRule, FirstFreeNameInOrder)
{
    Taken taken;
    OutputChoice first = ChooseOutput("Book1.xls", NAME_PREFIX, LOCATION_SAME, "C:\\Data\\", "", taken);
    EXPECT_EQ(first.path, "C:\\Data\\Repaired\\REP_Book1.xls");
    EXPECT_EQ(first.name, "REP_Book1.xls");
    EXPECT_EQ(first.shownFolder, "C:\\Data\\Repaired\\");

    taken.paths = {"C:\\Data\\Repaired\\REP_Book1.xls", "C:\\Data\\Repaired\\REP_(1)Book1.xls"};
    OutputChoice third = ChooseOutput("Book1.xls", NAME_PREFIX, LOCATION_SAME, "C:\\Data\\", "", taken);
    EXPECT_EQ(third.path, "C:\\Data\\Repaired\\REP_(2)Book1.xls");
    EXPECT_EQ(third.name, "REP_(2)Book1.xls");
}

TEST(ChooseOutputRule, ChosenFolderShowsTheFolderAsChosenForTheFirstName)
{
    Taken taken;
    OutputChoice first = ChooseOutput("Book1.xls", NAME_SUFFIX, LOCATION_CHOSEN, "C:\\Data\\", "E:\\Out", taken);
    EXPECT_EQ(first.path, "E:\\Out\\Book1_REP.xls");
    EXPECT_EQ(first.shownFolder, "E:\\Out");
    taken.paths = {"E:\\Out\\Book1_REP.xls"};
    OutputChoice second = ChooseOutput("Book1.xls", NAME_SUFFIX, LOCATION_CHOSEN, "C:\\Data\\", "E:\\Out", taken);
    EXPECT_EQ(second.path, "E:\\Out\\Book1(1)_REP.xls");
    EXPECT_EQ(second.shownFolder, "E:\\Out\\");

    OutputChoice root = ChooseOutput("Book1.xls", NAME_PREFIX, LOCATION_CHOSEN, "C:\\Data\\", "E:\\", Taken{});
    EXPECT_EQ(root.path, "E:\\REP_Book1.xls");
    EXPECT_EQ(root.shownFolder, "E:\\");
}

TEST(ChooseOutputRule, SearchStopsAfter199)
{
    Taken taken;
    taken.paths.insert("C:\\D\\Repaired\\REP_a.xls");
    for (int n = 1; n <= 198; n++)
        taken.paths.insert("C:\\D\\Repaired\\REP_(" + std::to_string(n) + ")a.xls");
    EXPECT_EQ(ChooseOutput("a.xls", NAME_PREFIX, LOCATION_SAME, "C:\\D\\", "", taken).name, "REP_(199)a.xls");
    taken.paths.insert("C:\\D\\Repaired\\REP_(199)a.xls");
    OutputChoice none = ChooseOutput("a.xls", NAME_PREFIX, LOCATION_SAME, "C:\\D\\", "", taken);
    EXPECT_TRUE(none.path.empty());
    EXPECT_TRUE(none.name.empty());
}

TEST(ChooseOutputRule, AFolderOfTheSameNameTakesTheName)
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "tessel-paths-" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((folder + "\\REP_b.xls").c_str(), nullptr));
    EXPECT_FALSE(IsPathFree(folder + "\\REP_b.xls"));
    EXPECT_TRUE(IsPathFree(folder + "\\REP_c.xls"));
    OutputChoice choice = ChooseOutput("b.xls", NAME_PREFIX, LOCATION_CHOSEN, "", folder);
    EXPECT_EQ(choice.name, "REP_(1)b.xls");
    ::RemoveDirectoryA((folder + "\\REP_b.xls").c_str());
    ::RemoveDirectoryA(folder.c_str());
}
