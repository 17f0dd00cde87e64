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

// A top-level window of a class of the test's own.
HWND TestWindow(const char* className, WNDPROC proc, const char* title)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    ::RegisterClassA(&wc);
    return ::CreateWindowA(className, title, WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
}

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
        std::vector<int> ids; // what each button returns, left to right
    } cases[] = {
        { MB_OK, "OK|", { 1 } },
        { MB_OKCANCEL, "OK|Cancel|", { 1, 2 } },
        { MB_ABORTRETRYIGNORE, "Abort|Retry|Ignore|", { 3, 4, 5 } },
        { MB_YESNOCANCEL | RIXMB_YESTOALLBUTTON | RIXMB_NOTOALLBUTTON, "Yes|Yes to all|No|No to all|Cancel|",
            { 6, 19, 7, 20, 2 } },
        { MB_YESNO, "Yes|No|", { 6, 7 } },
        { MB_RETRYCANCEL, "Retry|Cancel|", { 4, 2 } },
        { MB_CANCELTRYCONTINUE, "Cancel|Try again|Continue|", { 2, 10, 11 } },
        { RIXMB_SET_CONTINUE_ABORT, "Continue|Abort|", { 11, 3 } },
        { RIXMB_SET_SKIP, "Skip|Skip all|Cancel|", { 14, 15, 2 } },
        { RIXMB_SET_IGNORE, "Ignore|Ignore all|Cancel|", { 5, 16, 2 } },
    };
    for (const Case& c : cases) {
        // Each button of the set in turn.
        for (size_t i = 0; i < c.ids.size(); ++i) {
            const BoxRun run = ShowBox(Params(c.style), [&](HWND, RixMessageBoxDialog& box) {
                EXPECT_EQ(ButtonTexts(box), c.captions);
                ASSERT_EQ(box.GetButtons().size(), c.ids.size());
                Click(box.GetButtons()[i].second);
            });
            EXPECT_EQ(run.result, c.ids[i]) << c.captions << " button " << i;
        }
    }
}

TEST(BoxDialog, EscapeAndTheCloseBoxFollowTheSetsRule)
{
    struct Case {
        DWORD style;
        const char* lines;
        bool escape;
        int last; // what the last button returns
    } cases[] = {
        { MB_OK, nullptr, true, IDOK },
        { MB_OKCANCEL, nullptr, true, IDCANCEL },
        { MB_ABORTRETRYIGNORE, nullptr, false, IDIGNORE },
        { MB_YESNOCANCEL, nullptr, true, IDCANCEL },
        { MB_YESNO, nullptr, false, IDNO },
        { MB_RETRYCANCEL, nullptr, true, IDCANCEL },
        { RIXMB_SET_CONTINUE_ABORT, nullptr, false, IDABORT },
        { RIXMB_SET_SKIP, nullptr, true, IDCANCEL },
        { MB_OK, "Keep\nDrop", false, RIXID_CUSTOM2 },
        // Blank custom lines: the set's buttons with Escape off, and its Cancel button still works.
        { MB_OKCANCEL, "\r\n", false, IDCANCEL },
        { 12, nullptr, true, 0 },
    };
    for (const Case& c : cases) {
        // The close box, then Escape, each in a box of its own.
        for (const bool byKey : { false, true }) {
            RixBoxParams params = Params(c.style);
            params.lpszButtonLines = c.lines;
            bool greyed = false, ended = false;
            const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
                greyed = CloseGreyed(hBox);
                ended = byKey ? PressKey(hBox, VK_ESCAPE) : CloseBox(hBox);
                if (!ended && !box.GetButtons().empty())
                    Click(box.GetButtons().back().second);
            });
            const char* how = byKey ? "Escape" : "the close box";
            EXPECT_EQ(greyed, !c.escape) << std::hex << c.style;
            EXPECT_EQ(ended, c.escape) << how << " " << std::hex << c.style;
            // MB_OK's Escape returns Cancel's id too.
            EXPECT_EQ(run.result, c.escape ? IDCANCEL : c.last) << how << " " << std::hex << c.style;
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
    const BoxRun escaped = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
        EXPECT_TRUE(CloseGreyed(hBox));
        EXPECT_FALSE(PressKey(hBox, VK_ESCAPE));
        Tick(hBox);
        Tick(hBox);
        EXPECT_FALSE(CloseGreyed(hBox));
        EXPECT_TRUE(PressKey(hBox, VK_ESCAPE));
    });
    EXPECT_EQ(escaped.result, IDCANCEL);
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
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
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
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(BoxDialog, ReportAndHelpKeepTheBoxOpen)
{
    HWND owner = TestWindow("BoxReportOwner", &CountReports, "Owner");
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
    const BoxRun alone = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        EXPECT_EQ(Ids(box), std::vector<int> { IDOK });
        PressKey(hBox, VK_ESCAPE);
    });
    EXPECT_EQ(alone.result, IDCANCEL);
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
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
            caption = WindowText(hBox);
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
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

TEST_F(BoxMemory, OnlyAnAnswerOfTheBoxsOwnButtonsIsReturned)
{
    struct Case {
        DWORD style;
        const char* more;
        DWORD stored;
        bool returned;
    } cases[] = {
        { MB_YESNO, nullptr, IDYES, true },
        { MB_YESNO, nullptr, IDNO | RIXMB_CHECKED, true },
        // A Yes/No box has no OK, and its Escape is off: neither can be its answer.
        { MB_YESNO, nullptr, IDOK, false },
        { MB_YESNO, nullptr, IDCANCEL, false },
        // MB_OK's Escape gives Cancel's id: the box can give that answer.
        { MB_OK, nullptr, IDCANCEL, true },
        // More only opens a band; it never answers.
        { MB_OK, "More text", RIXID_MORE, false },
        { MB_OK, nullptr, 0x00012345, false },
        { MB_OK, nullptr, IDOK | 0x00100000, false },
    };
    for (const Case& c : cases) {
        SetUp();
        RixBoxParams params = Remembering(c.style);
        params.lpszMoreText = c.more;
        ASSERT_TRUE(RixRememberAnswer(params, c.stored));
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
            // Shown after all: answered with its first button.
            Click(Button(hBox, box.GetButtons().front().first));
        });
        EXPECT_EQ(run.shown, c.returned ? 0 : 1) << std::hex << c.stored;
        if (c.returned) {
            EXPECT_EQ(run.result, static_cast<int>(c.stored)) << std::hex << c.stored;
        } else {
            EXPECT_EQ(run.result, c.style == MB_YESNO ? IDYES : IDOK) << std::hex << c.stored;
        }
    }
}

TEST(BoxDialog, ACancelButtonEndsTheBoxEvenWhereEscapeDoesNot)
{
    // Blank custom lines give the standard set with Escape off; as the counting default, Cancel still
    // closes the box when its count ends.
    RixBoxParams params = Params(MB_OKCANCEL | MB_DEFBUTTON2);
    params.lpszButtonLines = "\r\n\n";
    params.nAutoCloseSeconds = 2;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        ASSERT_EQ(Ids(box), (std::vector<int> { IDOK, IDCANCEL }));
        EXPECT_FALSE(box.IsEscapeAllowed());
        EXPECT_FALSE(PressKey(hBox, VK_ESCAPE));
        EXPECT_EQ(WindowText(box.GetButtons()[1].second), "Cancel = 2");
        Tick(hBox);
        Tick(hBox);
    });
    EXPECT_EQ(run.result, IDCANCEL);
    // Enter on the focused Cancel is a press of it.
    params.nAutoCloseSeconds = 0;
    const BoxRun entered = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        EXPECT_EQ(::GetFocus(), box.GetButtons()[1].second);
        PressKey(hBox, VK_RETURN);
    });
    EXPECT_EQ(entered.result, IDCANCEL);
}

TEST(BoxDialog, CountingOnMoreKeepsMoresOwnCaption)
{
    RixBoxParams params = Params(MB_OK | MB_DEFBUTTON2);
    params.lpszMoreText = "The details";
    params.nAutoCloseSeconds = 4;
    std::vector<std::string> captions;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        HWND more = Button(hBox, RIXID_MORE);
        ASSERT_EQ(box.GetButtons()[1].second, more);
        const auto step = [&](bool click) {
            if (click)
                Click(more);
            else
                Tick(hBox);
            captions.push_back(WindowText(more));
        };
        captions.push_back(WindowText(more));
        step(true);
        step(false);
        step(true);
        step(false);
        step(false);
        // The count ends: More is pressed as the default button, which opens its band.
        step(false);
        EXPECT_TRUE(box.IsMoreShown());
        EXPECT_FALSE(Ended(hBox));
        Click(Button(hBox, IDOK));
    });
    EXPECT_EQ(captions,
        (std::vector<std::string> {
            "More >> = 4", "<< More = 4", "<< More = 3", "More >> = 3", "More >> = 2", "More >> = 1", "<< More" }));
    EXPECT_EQ(run.result, IDOK);
}

TEST(BoxDialog, TheBoxsOwnTimerCountsDownAndPressesTheDefaultButton)
{
    RixBoxParams params = Params(MB_OKCANCEL);
    params.nAutoCloseSeconds = 3;
    std::vector<std::string> captions;
    // A short period: the box's own SetTimer drives the count, nothing is sent by hand.
    const BoxRun run = ShowBox(
        params,
        [&](HWND hBox, RixMessageBoxDialog&) {
            HWND ok = Button(hBox, IDOK);
            const DWORD start = ::GetTickCount();
            while (!Ended(hBox) && ::GetTickCount() - start < 20000) {
                const std::string caption = WindowText(ok);
                if (captions.empty() || captions.back() != caption)
                    captions.push_back(caption);
                MSG msg;
                if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageA(&msg);
                } else {
                    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
                }
            }
        },
        40);
    EXPECT_EQ(captions, (std::vector<std::string> { "OK = 3", "OK = 2", "OK = 1" }));
    EXPECT_EQ(run.result, IDOK);
}

namespace {

// Stands in for the help viewer. Wine's WinHelp hands its request to a window of the class
// "MS_WINHELP" with WM_COPYDATA (tag 0xA1DE505, then: size, command, data, reserved, and the offsets of
// the file name and of the data text); Windows' own help engine is no longer there to ask.
struct HelpRequest {
    UINT command = 0;
    LONG data = 0;
    std::string file;
    std::string key;
};
std::vector<HelpRequest> g_help;

LRESULT CALLBACK HelpViewer(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (copy->dwData != 0xA1DE505 || copy->cbData < 16)
            return FALSE;
        const auto* bytes = static_cast<const unsigned char*>(copy->lpData);
        HelpRequest request;
        request.command = *reinterpret_cast<const WORD*>(bytes + 2);
        std::memcpy(&request.data, bytes + 4, sizeof request.data);
        const WORD fileAt = *reinterpret_cast<const WORD*>(bytes + 12);
        const WORD keyAt = *reinterpret_cast<const WORD*>(bytes + 14);
        if (fileAt && fileAt < copy->cbData)
            request.file = reinterpret_cast<const char*>(bytes + fileAt);
        if (keyAt && keyAt < copy->cbData)
            request.key = reinterpret_cast<const char*>(bytes + keyAt);
        g_help.push_back(request);
        return TRUE;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace

TEST(BoxDialog, HelpOpensTheHelpWithItsContextAndKeepsTheBoxOpen)
{
    HWND viewer = TestWindow("MS_WINHELP", &HelpViewer, "Help");
    // Without the stand-in the platform would start its own viewer.
    ASSERT_NE(viewer, nullptr);
    struct Case {
        DWORD context;
        UINT command;
    } cases[] = { { 4242, HELP_CONTEXT }, { 0, HELP_PARTIALKEY } };
    for (const Case& c : cases) {
        g_help.clear();
        RixBoxParams params = Params(MB_OK | MB_HELP);
        params.dwHelpContext = c.context;
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
            Click(Button(hBox, IDHELP));
            EXPECT_FALSE(Ended(hBox)) << "Help keeps the box open";
            Click(Button(hBox, IDOK));
        });
        EXPECT_EQ(run.result, IDOK);
        ASSERT_EQ(g_help.size(), 1u) << c.context;
        EXPECT_EQ(g_help[0].command, c.command);
        if (c.context != 0) {
            EXPECT_EQ(g_help[0].data, static_cast<LONG>(c.context));
        } else {
            EXPECT_EQ(g_help[0].key, "") << "the search opens with no key";
        }
        // The program's own path with its extension replaced.
        const std::string suffix = "\\msgbox_tests.hlp";
        ASSERT_GE(g_help[0].file.size(), suffix.size());
        EXPECT_EQ(g_help[0].file.substr(g_help[0].file.size() - suffix.size()), suffix);
    }
    ::DestroyWindow(viewer);
}
