// The message box's plain rules where the dialog tests cannot reach every case: rows that close
// nothing, count formats from callers and resources, caption lookups, the registry key.
#include "msgbox/RixBoxButtons.h"
#include "msgbox/RixBoxMemory.h"
#include "msgbox/RixBoxTexts.h"

#include <gtest/gtest.h>

#include <climits>

TEST(BoxRules, RowsWithoutAClosingButtonLetEscapeEndTheBox)
{
    struct Case {
        DWORD style;
        const char* lines;
        std::vector<int> ids;
        bool escape;
    } cases[] = {
        { MB_OKCANCEL, "One\r\n\r\nTwo\nThree\n\nFour\nFive", { 23, 24, 25, 26 }, false },
        // A custom text with no line makes the set, but still turns Escape off.
        { MB_OKCANCEL, "\r\n\n", { IDOK, IDCANCEL }, false },
        { 12, "", {}, true },
        { 15 | MB_HELP, "", { IDHELP }, true },
    };
    for (const Case& c : cases) {
        const RixButtonPlan plan = RixPlanButtons(c.style, c.lines, false, false);
        EXPECT_EQ(plan.ids, c.ids) << c.lines;
        EXPECT_EQ(plan.bEscape, c.escape) << c.lines;
    }
    EXPECT_EQ(RixPlanButtons(MB_OK, "", false, false).customCaptions.size(), 1u);
    EXPECT_EQ(RixPlanButtons(MB_OK, "A\rB", false, false).customCaptions[0], "AB");
}

TEST(BoxRules, CountFormatsFillOnlyTheirOwnConversions)
{
    struct Case {
        const char* format;
        const char* expected;
    } cases[] = {
        { "%s (%d seconds remaining)", "Title (12 seconds remaining)" },
        { "%d left of %s, 100%%", "12 left of Title, 100%" },
        // Conversions beyond one text and one count read nothing.
        { "%s %s %n %d %d %x%", "Title %s %n 12 %d %x%" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(RixFormatCount(c.format, "Title", 12), c.expected) << c.format;
}

TEST(BoxRules, CaptionsComeFromOverridesThenResourcesThenTheCallerThenTheTable)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dll = path;
    dll = dll.substr(0, dll.find_last_of('\\')) + "\\msgbox_strings.dll";
    HMODULE hStrings = ::LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
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
        { RIXID_CHECKBOX_CAPTION, nullptr, hStrings, false, "Skip this", "Never again" },
        { RIXID_CHECKBOX_CAPTION, nullptr, nullptr, false, "Skip this", "Skip this" },
        { RIXID_CHECKBOX_CAPTION, nullptr, nullptr, false, nullptr, "Do not show again" },
        { RIXID_COUNTDOWN_FORMAT, nullptr, hStrings, false, nullptr, "%s: %d left" },
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
}
