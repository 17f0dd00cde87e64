// The message box's plain rules: button rows, custom lines, default index, count formats, captions
// from resources and overrides, the registry key and the layout arithmetic.
#include "msgbox/RixBoxButtons.h"
#include "msgbox/RixBoxLayout.h"
#include "msgbox/RixBoxMemory.h"
#include "msgbox/RixBoxTexts.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

HMODULE LoadBoxStrings()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dll = path;
    dll = dll.substr(0, dll.find_last_of('\\')) + "\\msgbox_strings.dll";
    return ::LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

} // namespace

TEST(BoxRules, ButtonRowsFollowTheStyleAndTheExtras)
{
    const DWORD both = RIXMB_YESTOALLBUTTON | RIXMB_NOTOALLBUTTON;
    struct Case {
        DWORD style;
        const char* lines;
        bool report, more;
        std::vector<int> ids;
        bool escape;
    } cases[] = {
        { MB_OK, "", false, false, { IDOK }, true },
        { MB_OKCANCEL, "", false, false, { IDOK, IDCANCEL }, true },
        { MB_ABORTRETRYIGNORE, "", false, false, { IDABORT, IDRETRY, IDIGNORE }, false },
        { MB_YESNOCANCEL | both, "", false, false, { IDYES, RIXID_YESTOALL, IDNO, RIXID_NOTOALL, IDCANCEL }, true },
        { MB_YESNO | RIXMB_NOTOALLBUTTON, "", false, false, { IDYES, IDNO, RIXID_NOTOALL }, false },
        { MB_OKCANCEL | both, "", false, false, { IDOK, IDCANCEL }, true },
        { MB_RETRYCANCEL, "", false, false, { IDRETRY, IDCANCEL }, true },
        { MB_CANCELTRYCONTINUE, "", false, false, { IDCANCEL, IDTRYAGAIN, IDCONTINUE }, true },
        { RIXMB_SET_CONTINUE_ABORT, "", false, false, { IDCONTINUE, IDABORT }, false },
        { RIXMB_SET_SKIP, "", false, false, { RIXID_SKIP, RIXID_SKIPALL, IDCANCEL }, true },
        { RIXMB_SET_IGNORE, "", false, false, { IDIGNORE, RIXID_IGNOREALL, IDCANCEL }, true },
        { MB_OK | MB_HELP, "", true, true, { IDOK, IDHELP, RIXID_REPORT, RIXID_MORE }, true },
        { MB_OKCANCEL, "A\nB", false, false, { RIXID_CUSTOM1, RIXID_CUSTOM2 }, false },
        // A custom text with no line makes the set, but still turns Escape off.
        { MB_OKCANCEL, "\r\n\n", false, false, { IDOK, IDCANCEL }, false },
        // No button that closes: Escape and the close box must still end the box.
        { 12, "", false, false, {}, true },
        { 15 | MB_HELP, "", false, true, { IDHELP, RIXID_MORE }, true },
    };
    for (const Case& c : cases) {
        const RixButtonPlan plan = RixPlanButtons(c.style, c.lines, c.report, c.more);
        EXPECT_EQ(plan.ids, c.ids) << std::hex << c.style << " " << c.lines;
        EXPECT_EQ(plan.bEscape, c.escape) << std::hex << c.style << " " << c.lines;
        EXPECT_EQ(plan.customCaptions.size(), plan.ids.size());
    }
}

TEST(BoxRules, CustomLinesDropCarriageReturnsAndEmptyLinesAndStopAtFour)
{
    EXPECT_EQ(RixCustomButtonLines("One\r\n\r\nTwo\nThr\ree\n\nFour\nFive"),
        (std::vector<std::string> { "One", "Two", "Three", "Four" }));
    EXPECT_EQ(RixCustomButtonLines("Only"), std::vector<std::string> { "Only" });
    EXPECT_TRUE(RixCustomButtonLines("").empty());
}

TEST(BoxRules, DefaultIndexPastTheLastButtonIsTheFirst)
{
    EXPECT_EQ(RixDefaultButtonIndex(MB_DEFBUTTON2, 3), 1);
    EXPECT_EQ(RixDefaultButtonIndex(MB_DEFBUTTON3, 3), 2);
    EXPECT_EQ(RixDefaultButtonIndex(0x500, 3), 0);
    EXPECT_EQ(RixDefaultButtonIndex(MB_DEFBUTTON2, 0), 0);
}

TEST(BoxRules, CountFormatsFillOnlyTheirOwnConversions)
{
    struct Case {
        const char* format;
        const char* expected;
    } cases[] = {
        { "%s (%d seconds remaining)", "Title (12 seconds remaining)" },
        { "%s = %d", "Title = 12" },
        { "%d left of %s, 100%%", "12 left of Title, 100%" },
        // Conversions beyond one text and one count read nothing.
        { "%s %s %n %d %d %x%", "Title %s %n 12 %d %x%" },
        { "", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(RixFormatCount(c.format, "Title", 12), c.expected) << c.format;
    EXPECT_EQ(RixFormatCount("%s = %d", "OK", INT_MAX), "OK = 2147483647");
}

TEST(BoxRules, CaptionsComeFromOverridesThenResourcesThenTheCallerThenTheTable)
{
    HMODULE hStrings = LoadBoxStrings();
    ASSERT_NE(hStrings, nullptr);
    const RixCaptionMap overrides = { { IDOK, "Go" }, { IDNO, MAKEINTRESOURCEA(502) }, { IDYES, "" } };
    struct Case {
        int id;
        const RixCaptionMap* map;
        HMODULE module;
        bool noRes;
        const char* fallback;
        const char* expected;
    } cases[] = {
        { IDOK, &overrides, hStrings, false, nullptr, "Go" },
        { IDNO, &overrides, hStrings, false, nullptr, "Go on" },
        { IDNO, &overrides, hStrings, true, nullptr, "No" },
        { IDYES, &overrides, hStrings, false, nullptr, "Yes" },
        { IDOK, nullptr, hStrings, false, nullptr, "Fine" },
        { IDOK, nullptr, hStrings, true, nullptr, "OK" },
        { RIXID_CHECKBOX_CAPTION, nullptr, hStrings, false, "Skip this next time", "Never again" },
        { RIXID_CHECKBOX_CAPTION, nullptr, nullptr, false, "Skip this next time", "Skip this next time" },
        { RIXID_CHECKBOX_CAPTION, nullptr, nullptr, false, nullptr, "Do not show again" },
        { RIXID_COUNTDOWN_FORMAT, nullptr, nullptr, false, nullptr, "%s (%d seconds remaining)" },
        { RIXID_LESS, nullptr, nullptr, false, nullptr, "<< More" },
        { RIXID_MORE, nullptr, nullptr, false, nullptr, "More >>" },
        { IDTRYAGAIN, nullptr, nullptr, false, nullptr, "Try again" },
        { RIXID_IGNOREALL, nullptr, nullptr, false, nullptr, "Ignore all" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(RixResolveCaption(c.id, c.map, c.module, c.noRes, c.fallback), c.expected) << c.id;
    // Text fields: a resource id is loaded, or gives nothing when resources are off or missing.
    EXPECT_EQ(RixResolveText(MAKEINTRESOURCEA(501), hStrings, false), "Text from a resource");
    EXPECT_EQ(RixResolveText(MAKEINTRESOURCEA(501), hStrings, true), "");
    EXPECT_EQ(RixResolveText(MAKEINTRESOURCEA(4321), hStrings, false), "");
    ::FreeLibrary(hStrings);
}

TEST(BoxRules, RememberedAnswersLiveUnderTheProgramsKey)
{
    EXPECT_EQ(RixMemoryKeyPath("Calvera", "Tessel.exe"), "Software\\Calvera\\Tessel.exe\\RixMessageBox");
    EXPECT_EQ(RixMemoryKeyPath("", "Tessel.exe"), "Software\\Tessel.exe\\RixMessageBox");
    EXPECT_EQ(RixProgramFileName(), "msgbox_tests.exe");
    EXPECT_EQ(RixFormatValueName("Ask", 7), "Ask7");
    EXPECT_EQ(RixFormatValueName("", -3), "-3");
}

TEST(BoxRules, LayoutArithmetic)
{
    // Captions up to 45 x 13 keep the smallest button; wider ones scale.
    EXPECT_EQ(RixButtonSizeForExtent({ 45, 13 }).cx, 80);
    EXPECT_EQ(RixButtonSizeForExtent({ 45, 13 }).cy, 23);
    EXPECT_EQ(RixButtonSizeForExtent({ 90, 16 }).cx, 160);
    EXPECT_EQ(RixButtonSizeForExtent({ 90, 16 }).cy, ::MulDiv(16, 23, 13));
    EXPECT_EQ(RixButtonRowCandidate(1, 80), 102);
    const RECT client = { 0, 0, 400, 200 };
    EXPECT_EQ(RixButtonRowLeft(client, 0, 2, 80), 11);
    EXPECT_EQ(RixButtonRowLeft(client, 1, 2, 80), 400 - 11 - 171);
    EXPECT_EQ(RixButtonRowLeft(client, 2, 2, 80), (400 - 171) / 2);
    EXPECT_EQ(RixButtonRowLeft(client, -7, 2, 80), (400 - 171) / 2);
    EXPECT_EQ(RixButtonRowTop(client, 23, false), 200 - 11 - 23);
    EXPECT_EQ(RixButtonRowTop(client, 23, true), 200 - 11 - 23 - 24);
    EXPECT_EQ(RixCheckBoxBottom(client, 23, true), 189);
    EXPECT_EQ(RixCheckBoxBottom(client, 23, false), 200 - 22 - 23);
    EXPECT_EQ(RixButtonBandExtra(false, false), 11);
    EXPECT_EQ(RixButtonBandExtra(true, false), 22);
    EXPECT_EQ(RixButtonBandExtra(true, true), 46);
    EXPECT_EQ(RixMarkupBandSize(-40, 14), 0);
}
