// The message box's behaviour through the real dialog: the buttons and the ids they return, keys
// and the Escape rule, the greyed close command, count-downs, More, Report, captions and the
// remembered answer in the registry.
#include "BoxRun.h"
#include "ModalAnswerer.h"
#include "msgbox/RixBoxMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

RixBoxParams Params(DWORD style, const char* text = "Text")
{
    RixBoxParams params;
    params.dwStyle = style | RIXMB_SILENT;
    params.lpszText = text;
    params.lpszCaption = "Title";
    return params;
}

std::vector<int> Ids(const RixMessageBoxDialog& box)
{
    std::vector<int> ids;
    for (const auto& button : box.GetButtons())
        ids.push_back(button.first);
    return ids;
}

std::string ButtonTexts(const RixMessageBoxDialog& box)
{
    std::string all;
    for (const auto& button : box.GetButtons())
        all += WindowText(button.second) + "|";
    return all;
}

int g_reports = 0;

LRESULT CALLBACK CountReports(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 7)
        ++g_reports;
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace

TEST(BoxDialog, EveryButtonSetShowsItsCaptionsAndReturnsThePressedId)
{
    struct Case {
        DWORD style;
        const char* captions;
    } cases[] = {
        { MB_OK, "OK|" },
        { MB_OKCANCEL, "OK|Cancel|" },
        { MB_ABORTRETRYIGNORE, "Abort|Retry|Ignore|" },
        { MB_YESNOCANCEL | RIXMB_YESTOALLBUTTON | RIXMB_NOTOALLBUTTON, "Yes|Yes to all|No|No to all|Cancel|" },
        { MB_YESNO, "Yes|No|" },
        { MB_RETRYCANCEL, "Retry|Cancel|" },
        { MB_CANCELTRYCONTINUE, "Cancel|Try again|Continue|" },
        { RIXMB_SET_CONTINUE_ABORT, "Continue|Abort|" },
        { RIXMB_SET_SKIP, "Skip|Skip all|Cancel|" },
        { RIXMB_SET_IGNORE, "Ignore|Ignore all|Cancel|" },
    };
    for (const Case& c : cases) {
        // Each button of the set in turn.
        const size_t count = static_cast<size_t>(std::count(c.captions, c.captions + strlen(c.captions), '|'));
        for (size_t i = 0; i < count; ++i) {
            int expected = 0;
            const BoxRun run = ShowBox(Params(c.style), [&](HWND, RixMessageBoxDialog& box) {
                EXPECT_EQ(ButtonTexts(box), c.captions);
                ASSERT_EQ(box.GetButtons().size(), count);
                expected = box.GetButtons()[i].first;
                Click(box.GetButtons()[i].second);
            });
            EXPECT_EQ(run.result, expected) << c.captions;
        }
    }
}

TEST(BoxDialog, EscapeAndTheCloseBoxFollowTheSetsRule)
{
    struct Case {
        DWORD style;
        const char* lines;
        bool escape;
    } cases[] = {
        { MB_OK, nullptr, true },
        { MB_OKCANCEL, nullptr, true },
        { MB_ABORTRETRYIGNORE, nullptr, false },
        { MB_YESNOCANCEL, nullptr, true },
        { MB_YESNO, nullptr, false },
        { MB_RETRYCANCEL, nullptr, true },
        { RIXMB_SET_CONTINUE_ABORT, nullptr, false },
        { RIXMB_SET_SKIP, nullptr, true },
        { MB_OK, "Keep\nDrop", false },
        { 12, nullptr, true },
    };
    for (const Case& c : cases) {
        RixBoxParams params = Params(c.style);
        params.lpszButtonLines = c.lines;
        bool greyed = false, endedByEscape = false, endedByClose = false;
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
            greyed = CloseGreyed(hBox);
            endedByClose = CloseBox(hBox);
            endedByEscape = endedByClose || PressKey(hBox, VK_ESCAPE);
            if (!endedByEscape)
                Click(box.GetButtons().back().second);
        });
        EXPECT_EQ(greyed, !c.escape) << std::hex << c.style;
        EXPECT_EQ(endedByClose, c.escape) << std::hex << c.style;
        EXPECT_EQ(endedByEscape, c.escape) << std::hex << c.style;
        if (c.escape) {
            EXPECT_EQ(run.result, IDCANCEL) << "MB_OK's Escape returns Cancel's id too";
        }
    }
}

TEST(BoxDialog, EnterPressesTheDefaultButtonAndNeverOneTheBoxLacks)
{
    struct Case {
        DWORD style;
        int result;
    } cases[] = {
        { MB_YESNO, IDYES },
        { MB_YESNO | MB_DEFBUTTON2, IDNO },
        { MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL },
        // An index past the last button makes the first the default.
        { MB_OKCANCEL | 0x500, IDOK },
    };
    for (const Case& c : cases) {
        const BoxRun run = ShowBox(Params(c.style | RIXMB_CHECKBOX), [&](HWND hBox, RixMessageBoxDialog& box) {
            EXPECT_EQ(::GetFocus(), box.GetButtons()[static_cast<size_t>(box.GetDefaultIndex())].second);
            // With the focus on the check box, Enter still means the default button.
            ::SetFocus(box.GetCheckBox());
            PressKey(hBox, VK_RETURN);
        });
        EXPECT_EQ(run.result, c.result) << std::hex << c.style;
    }
    // While the default button counts down disabled, Enter does nothing: the platform's IDOK of a
    // box without OK must never come back.
    RixBoxParams params = Params(MB_YESNO);
    params.nDisableSeconds = 3;
    bool ended = true;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
        ended = PressKey(hBox, VK_RETURN) || (::SendMessageA(hBox, WM_COMMAND, IDOK, 0), Ended(hBox));
        Click(Button(hBox, IDNO));
    });
    EXPECT_FALSE(ended);
    EXPECT_EQ(run.result, IDNO);
}

TEST(BoxDialog, CountDownsShowOnTheDefaultButtonAndEndAsAsked)
{
    struct Case {
        int autoClose, disable;
        std::vector<std::string> shown; // the OK button before each tick
        bool closes; // the last tick pressed OK
    } cases[] = {
        { 3, 0, { "OK = 3", "OK = 2", "OK = 1" }, true },
        // Both counts: from the auto-close value, and the button is only enabled at 0.
        { 2, 9, { "OK = 2", "OK = 1", "OK" }, false },
        { 0, 0, { "OK", "OK" }, false },
        { -5, 0, { "OK" }, false },
        { INT_MAX, 0, { "OK = 2147483647", "OK = 2147483646" }, false },
    };
    for (const Case& c : cases) {
        RixBoxParams params = Params(MB_OKCANCEL);
        params.nAutoCloseSeconds = c.autoClose;
        params.nDisableSeconds = c.disable;
        std::vector<std::string> shown;
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
            for (size_t i = 0; i < c.shown.size() && !Ended(hBox); ++i) {
                shown.push_back(WindowText(Button(hBox, IDOK)));
                Tick(hBox);
            }
            if (!Ended(hBox)) {
                EXPECT_TRUE(::IsWindowEnabled(Button(hBox, IDOK)));
                Click(Button(hBox, IDCANCEL));
            }
        });
        EXPECT_EQ(shown, c.shown) << c.autoClose;
        EXPECT_EQ(run.result, c.closes ? IDOK : IDCANCEL) << c.autoClose;
    }
}

TEST(BoxDialog, DisableCountKeepsTheDefaultButtonOffUntilZero)
{
    RixBoxParams params = Params(MB_OKCANCEL);
    params.nDisableSeconds = 2;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
        HWND ok = Button(hBox, IDOK);
        EXPECT_FALSE(::IsWindowEnabled(ok));
        EXPECT_TRUE(::IsWindowEnabled(Button(hBox, IDCANCEL)));
        EXPECT_FALSE(CloseGreyed(hBox));
        Click(ok);
        EXPECT_FALSE(Ended(hBox)) << "a disabled button does nothing";
        Tick(hBox);
        Tick(hBox);
        EXPECT_EQ(WindowText(ok), "OK");
        EXPECT_EQ(::GetWindowLongA(ok, GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
        Click(ok);
    });
    EXPECT_EQ(run.result, IDOK);

    // Cancel as the counting default greys the close command until the count ends.
    params.dwStyle |= MB_DEFBUTTON2;
    ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
        EXPECT_TRUE(CloseGreyed(hBox));
        EXPECT_FALSE(PressKey(hBox, VK_ESCAPE));
        Tick(hBox);
        Tick(hBox);
        EXPECT_FALSE(CloseGreyed(hBox));
        EXPECT_TRUE(PressKey(hBox, VK_ESCAPE));
    });
}

TEST(BoxDialog, CaptionCountDisablesEveryButtonButHelp)
{
    RixBoxParams params = Params(MB_OKCANCEL | MB_HELP);
    params.nDisableSeconds = 2;
    params.bCountdownInCaption = TRUE;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
        EXPECT_EQ(WindowText(hBox), "Title (2 seconds remaining)");
        EXPECT_FALSE(::IsWindowEnabled(Button(hBox, IDCANCEL)));
        EXPECT_TRUE(::IsWindowEnabled(Button(hBox, IDHELP)));
        EXPECT_EQ(WindowText(Button(hBox, IDOK)), "OK");
        EXPECT_TRUE(CloseGreyed(hBox));
        EXPECT_FALSE(PressKey(hBox, VK_ESCAPE)) << "nothing closes while the caption counts";
        Tick(hBox);
        EXPECT_EQ(WindowText(hBox), "Title (1 seconds remaining)");
        Tick(hBox);
        EXPECT_EQ(WindowText(hBox), "Title");
        EXPECT_TRUE(::IsWindowEnabled(Button(hBox, IDOK)));
        EXPECT_FALSE(CloseGreyed(hBox));
        Click(Button(hBox, IDCANCEL));
    });
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(BoxDialog, MoreGrowsAndShrinksTheWindowByItsBand)
{
    RixBoxParams params = MainWindowParams("1. Add files\r\n2. Tick them\r\n3. Next");
    params.lpszText = "No file selected to repair";
    ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        RECT before, grown, shrunk;
        ::GetWindowRect(hBox, &before);
        HWND more = Button(hBox, RIXID_MORE);
        EXPECT_EQ(WindowText(more), "More >>");
        EXPECT_EQ(box.GetMoreHeight(), MeasureWithMessageFont(box.GetMoreText()).cy + 28);
        Click(more);
        ::GetWindowRect(hBox, &grown);
        EXPECT_TRUE(box.IsMoreShown());
        EXPECT_EQ(WindowText(more), "<< More");
        EXPECT_EQ(grown.bottom - grown.top, before.bottom - before.top + box.GetMoreHeight());
        EXPECT_EQ(grown.right - grown.left, before.right - before.left);
        EXPECT_EQ(grown.top, before.top);
        Click(more);
        ::GetWindowRect(hBox, &shrunk);
        EXPECT_EQ(WindowText(more), "More >>");
        EXPECT_TRUE(::EqualRect(&shrunk, &before));
        PressKey(hBox, VK_ESCAPE);
    });
}

TEST(BoxDialog, ReportAndHelpKeepTheBoxOpen)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &CountReports;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "BoxReportOwner";
    ::RegisterClassA(&wc);
    HWND owner = ::CreateWindowA(
        "BoxReportOwner", "Owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    RixBoxParams params = Params(MB_OK);
    params.hwndOwner = owner;
    params.nReportMessage = WM_APP + 7;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        EXPECT_EQ(Ids(box), (std::vector<int> { IDOK, RIXID_REPORT }));
        Click(Button(hBox, RIXID_REPORT));
        EXPECT_EQ(g_reports, 1);
        EXPECT_FALSE(Ended(hBox));
        Click(Button(hBox, IDOK));
    });
    EXPECT_EQ(run.result, IDOK);
    // Without an owner (none given, none active) there is no Report button.
    ::DestroyWindow(owner);
    params.hwndOwner = nullptr;
    ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        EXPECT_EQ(Ids(box), std::vector<int> { IDOK });
        PressKey(hBox, VK_ESCAPE);
    });
}

TEST(BoxDialog, CaptionsFallBackToTheOwnerAndThenToError)
{
    HWND owner = ::CreateWindowA(
        "STATIC", "Owner caption", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    struct Case {
        HWND owner;
        const char* caption;
        const char* expected;
    } cases[] = {
        { nullptr, "", "Error" },
        { nullptr, nullptr, "Error" },
        { owner, "", "Owner caption" },
        { owner, "Given", "Given" },
    };
    for (const Case& c : cases) {
        RixBoxParams params = Params(MB_OK);
        params.hwndOwner = c.owner;
        params.lpszCaption = c.caption;
        std::string caption;
        ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
            caption = WindowText(hBox);
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(caption, c.expected);
    }
    ::DestroyWindow(owner);
}

TEST(BoxDialog, CustomButtonsReturnTheirIds)
{
    RixBoxParams params = Params(MB_YESNO);
    params.lpszButtonLines = "Save\r\nDiscard\r\n\r\nWait";
    std::string captions;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        captions = ButtonTexts(box);
        Click(Button(hBox, RIXID_CUSTOM2));
    });
    EXPECT_EQ(captions, "Save|Discard|Wait|");
    EXPECT_EQ(run.result, RIXID_CUSTOM2);
}

class BoxMemory : public ::testing::Test {
protected:
    static constexpr char kCompany[] = "CalveraTesselTests";
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\") + kCompany).c_str()); }
    void TearDown() override { SetUp(); }
    RixBoxParams Remembering(DWORD style)
    {
        RixBoxParams params = Params(style | RIXMB_CHECKBOX);
        params.lpszRegCompany = kCompany;
        params.lpszRegValuePrefix = "Ask";
        params.nRegValueId = 7;
        return params;
    }
    // The stored value, or -1 when there is none.
    long long Stored()
    {
        DWORD value = 0, size = sizeof(value);
        const std::string key = RixMemoryKeyPath(kCompany, "msgbox_tests.exe");
        if (::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Ask7", RRF_RT_REG_DWORD, nullptr, &value, &size)
            != ERROR_SUCCESS)
            return -1;
        return value;
    }
};

TEST_F(BoxMemory, TickedAnswerIsStoredAndThenReturnedWithoutABox)
{
    const BoxRun first = ShowBox(Remembering(MB_YESNO), [&](HWND hBox, RixMessageBoxDialog& box) {
        Click(box.GetCheckBox());
        Click(Button(hBox, IDNO));
    });
    EXPECT_EQ(first.result, IDNO) << "without RIXMB_CHECKED the plain id comes back";
    EXPECT_EQ(Stored(), IDNO);
    const BoxRun second
        = ShowBox(Remembering(MB_YESNO), [](HWND hBox, RixMessageBoxDialog&) { Click(Button(hBox, IDYES)); });
    EXPECT_EQ(second.shown, 0);
    EXPECT_EQ(second.result, IDNO);

    // With RIXMB_CHECKED the box starts ticked and the bit comes back; unticked, nothing is stored.
    SetUp();
    const BoxRun unticked = ShowBox(Remembering(MB_OK | RIXMB_CHECKED), [&](HWND hBox, RixMessageBoxDialog& box) {
        EXPECT_EQ(::SendMessageA(box.GetCheckBox(), BM_GETCHECK, 0, 0), BST_CHECKED);
        Click(box.GetCheckBox());
        Click(Button(hBox, IDOK));
    });
    EXPECT_EQ(unticked.result, IDOK);
    EXPECT_EQ(Stored(), -1);
    const BoxRun ticked = ShowBox(
        Remembering(MB_OK | RIXMB_CHECKED), [&](HWND hBox, RixMessageBoxDialog&) { Click(Button(hBox, IDOK)); });
    EXPECT_EQ(ticked.result, IDOK | static_cast<int>(RIXMB_CHECKED));
    EXPECT_EQ(Stored(), IDOK | static_cast<long long>(RIXMB_CHECKED));
}

TEST_F(BoxMemory, ValuesOfAnotherKindAskAgainAndAKeyThatCannotBeWrittenIsSkipped)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, RixMemoryKeyPath(kCompany, "msgbox_tests.exe").c_str(), 0, nullptr,
                  0, KEY_WRITE, nullptr, &hKey, nullptr),
        ERROR_SUCCESS);
    ::RegSetValueExA(hKey, "Ask7", 0, REG_SZ, reinterpret_cast<const BYTE*>("6"), 2);
    ::RegCloseKey(hKey);
    const BoxRun asked
        = ShowBox(Remembering(MB_OK), [&](HWND hBox, RixMessageBoxDialog&) { PressKey(hBox, VK_ESCAPE); });
    EXPECT_EQ(asked.shown, 1);

    // A company name longer than the registry allows: the key cannot be made.
    const std::string longName(300, 'x');
    RixBoxParams params = Remembering(MB_OK);
    params.lpszRegCompany = longName.c_str();
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        Click(box.GetCheckBox());
        Click(Button(hBox, IDOK));
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(RixReadRememberedAnswer(params), 0u);
    EXPECT_FALSE(RixRememberAnswer(params, IDOK)) << "the platform made the key after all";
}
