// Wide names at the file-API boundary: the long-path form, and the few places text crosses between
// the program's ANSI and a user's UTF-16.
#include "framework/PathText.h"
#include "TempFolder.h"
#include "repair/FileCopy.h"
#include "repair/PathRules.h"

#include <gtest/gtest.h>

namespace {

std::wstring Repeat(wchar_t c, size_t n)
{
    return std::wstring(n, c);
}

} // namespace

// The tests' premise: an ANSI code page that lacks most of the world's letters (see wine-env.sh).
TEST(PathText, TestsRunWithTheWesternAnsiCodePage)
{
    EXPECT_EQ(::GetACP(), 1252u) << "names outside the code page would not be tested as such";
}

TEST(PathText, LongFormOnlyWherePlainPathsEnd)
{
    const std::wstring deep = L"C:\\" + Repeat(L'd', 150) + L"\\" + Repeat(L'e', 150) + L"\\Книга.xls";
    struct Case {
        const char* what;
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        { "short stays plain", L"C:\\Data\\Book1.xls", L"C:\\Data\\Book1.xls" },
        { "just under the limit", L"C:\\" + Repeat(L'a', kPlainPathLimit - 4),
            L"C:\\" + Repeat(L'a', kPlainPathLimit - 4) },
        { "at the limit", L"C:\\" + Repeat(L'a', kPlainPathLimit - 3),
            L"\\\\?\\C:\\" + Repeat(L'a', kPlainPathLimit - 3) },
        { "deep, in any script", deep, L"\\\\?\\" + deep },
        { "network share", L"\\\\server\\share\\" + Repeat(L'u', 300),
            L"\\\\?\\UNC\\server\\share\\" + Repeat(L'u', 300) },
        { "already long", L"\\\\?\\" + deep, L"\\\\?\\" + deep },
        { "relative", Repeat(L'r', 300), Repeat(L'r', 300) },
        // The long form is taken literally: what the plain form would resolve is resolved first.
        { "dots and doubled separators", L"C:\\" + Repeat(L'x', 260) + L"\\.\\skip\\..\\\\y/z.xls",
            L"\\\\?\\C:\\" + Repeat(L'x', 260) + L"\\y\\z.xls" },
        // A full-width solidus is a letter of a name, not a separator.
        { "full-width solidus", L"C:\\" + Repeat(L'f', 260) + L"\\a\uFF0Fb.xls",
            L"\\\\?\\C:\\" + Repeat(L'f', 260) + L"\\a\uFF0Fb.xls" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(LongPathForm(c.path), c.expected) << c.what;
}

TEST(PathText, NamesShownInAnsiNeverTakeALookAlike)
{
    struct Case {
        std::wstring wide;
        std::string ansi;
        bool whole; // every character is in the code page
    } cases[] = {
        { L"Café crème.xls", "Caf\xE9 cr\xE8me.xls", true },
        { L"a\uFF0Fb\uFF3Cc\uFF0Ed.xls", "a?b?c?d.xls", false }, // best-fit would give a/b\\c.d.xls
        { L"Отчёт \U0001F600.xls", "????? ?.xls", false },
        { L"", "", true },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NarrowForDisplay(c.wide), c.ansi) << Utf8(c.wide);
        if (c.whole) {
            EXPECT_EQ(WidenText(c.ansi.c_str()), c.wide);
        }
    }
    EXPECT_EQ(WidenText("Repaired"), L"Repaired");
    EXPECT_EQ(WidenText("\x80 \x99"), L"\u20AC \u2122") << "the program's own bytes in its code page";
    EXPECT_EQ(WidenText(nullptr), L"");
}

// Real files past MAX_PATH: a folder tree, a copy into it, the existence test and the removal.
TEST(PathText, FilesPastMaxPathAreMadeReadAndFound)
{
    TempFolder temp;
    const std::wstring folder = temp.Path() + L"\\" + Repeat(L'p', 120) + L"\\Παράδειγμα " + Repeat(L'q', 120);
    const std::wstring path = folder + L"\\" + Repeat(L'n', 200) + L" \U0001F600.xls";
    ASSERT_GT(path.size(), 460u);
    CreateFolderPath(folder + L"\\");
    EXPECT_FALSE(IsPathFree(folder));
    EXPECT_TRUE(IsPathFree(path));
    FileImage image;
    image.bytes.assign(70000, 0x5A);
    ASSERT_TRUE(WriteWhole(path, image, CopyTarget::New));
    EXPECT_FALSE(IsPathFree(path));
    EXPECT_FALSE(WriteWhole(path, image, CopyTarget::New)) << "taken now";
    FileImage back;
    ASSERT_TRUE(ReadWhole(path, 1 << 20, back));
    EXPECT_EQ(back.bytes, image.bytes);
    const std::wstring copy = folder + L"\\copy.xls";
    ASSERT_TRUE(CopyWhole(path, copy, CopyTarget::New));
    EXPECT_EQ(ReadWholeFile(copy), std::string(70000, 'Z'));
    EXPECT_EQ(FilesIn(folder), (std::vector<std::wstring> { L"copy.xls", Repeat(L'n', 200) + L" \U0001F600.xls" }));
}
