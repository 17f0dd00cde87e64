// Links through a real host window: hover notifications, the cursor, clicks, and opening a target the
// shell does not know through the command registered for web pages.
#include "Dib.h"
#include "Pump.h"
#include "Registry.h"
#include "TempFolder.h"
#include "markup/RixMarkupRenderer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr UINT kHoverMessage = WM_APP + 7;
constexpr UINT kLinkMessage = WM_APP + 8;

// A window that writes down the link messages it receives.
class Host {
public:
    struct Received {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::string text;
    };

    Host()
    {
        WNDCLASSA wc {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "TesselLinkHost";
        ::RegisterClassA(&wc);
        m_hWnd = ::CreateWindowA("TesselLinkHost", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Host() { ::DestroyWindow(m_hWnd); }
    HWND hwnd() const { return m_hWnd; }
    std::vector<Received> received;
    // What the host does when told that the link under the mouse changed (a real host draws again).
    std::function<void()> onHover;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* pHost = reinterpret_cast<Host*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        if (pHost && (message == kHoverMessage || message == kLinkMessage)) {
            pHost->received.push_back(
                { message, wParam, lParam, message == kLinkMessage ? reinterpret_cast<const char*>(wParam) : "" });
            if (message == kHoverMessage && pHost->onHover)
                pHost->onHover();
            return 0;
        }
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
    HWND m_hWnd;
};

struct Drawn {
    Dib dib { 400, 60 };
    RixMarkupRenderer renderer;
    explicit Drawn(const char* text) { Draw(text); }
    void Draw(const char* text)
    {
        dib.Fill(RGB(255, 255, 255));
        SIZE size {};
        renderer.MeasureMarkup(dib.dc(), text, size);
        renderer.DrawMeasuredMarkup(dib.dc(), RECT { 0, 0, size.cx, size.cy });
    }
    int CountColour(const RECT& r, COLORREF colour) const
    {
        int count = 0;
        for (int y = r.top; y <= r.bottom; y++)
            for (int x = r.left; x <= r.right; x++)
                count += dib.Pixel(x, y) == colour;
        return count;
    }
};

const char kTwoLinks[] = "<a href=\"http://x/\">one</a> plain <a msg=\"m\">two <b>bold</b></a> <a>none</a>";

POINT Inside(const HotArea& area)
{
    return POINT { area.rect.left + 1, area.rect.top + 1 };
}

} // namespace

TEST(MarkupLinks, HoverNotifiesOncePerChangeAndMinusTwoOnLeaving)
{
    Host host;
    Drawn drawn(kTwoLinks);
    RixMarkupRenderer& renderer = drawn.renderer;
    renderer.SetHoverTarget(host.hwnd(), kHoverMessage, 77);
    const std::vector<HotArea> areas = renderer.GetHotAreas();
    ASSERT_EQ(areas.size(), 4u) << "one, two, bold and none";
    EXPECT_EQ(areas[1].nLinkIndex, 1);
    EXPECT_EQ(areas[2].nLinkIndex, 1) << "pieces of one link share its index";

    const POINT outside { 399, 59 };
    const std::vector<std::pair<POINT, int>> moves = {
        { Inside(areas[0]), 0 },
        { Inside(areas[0]), -99 },
        { Inside(areas[1]), 1 },
        { Inside(areas[2]), -99 },
        { outside, -2 },
        { outside, -99 },
        { Inside(areas[3]), 2 },
    };
    for (const auto& [point, expected] : moves) {
        host.received.clear();
        renderer.OnLinkHover(point);
        if (expected == -99) {
            EXPECT_TRUE(host.received.empty()) << point.x;
        } else {
            ASSERT_EQ(host.received.size(), 1u) << point.x;
            EXPECT_EQ(static_cast<int>(host.received[0].wParam), expected);
            EXPECT_EQ(host.received[0].lParam, 77);
            EXPECT_EQ(renderer.GetHoverLink(), expected);
        }
    }

    // Without a window nothing is sent, whatever message was given.
    renderer.SetHoverTarget(nullptr, kHoverMessage, 77);
    host.received.clear();
    renderer.OnLinkHover(Inside(areas[0]));
    EXPECT_TRUE(host.received.empty());
}

TEST(MarkupLinks, EdgesAreInsideAndTheHandCursorOnlyOverATarget)
{
    Drawn drawn(kTwoLinks);
    RixMarkupRenderer& renderer = drawn.renderer;
    HCURSOR hHand = static_cast<HCURSOR>(::CopyImage(::LoadCursorA(nullptr, IDC_HAND), IMAGE_CURSOR, 0, 0, 0));
    renderer.SetLinkCursor(hHand);
    renderer.SetLinkCursor(hHand); // the same cursor again must not destroy it
    ASSERT_EQ(renderer.GetLinkCursor(), hHand);
    // A destroyed cursor keeps its handle value; only a live one still has its pictures.
    ICONINFO info {};
    ASSERT_TRUE(::GetIconInfo(hHand, &info)) << "the cursor given twice was destroyed";
    const gdi::Bitmap mask(info.hbmMask), colour(info.hbmColor);
    EXPECT_TRUE(info.hbmMask != nullptr);
    const HotArea area = renderer.GetHotAreas()[0];

    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_TRUE(renderer.OnLinkHover(POINT { area.rect.right, area.rect.bottom }));
    EXPECT_EQ(::GetCursor(), hHand);
    EXPECT_EQ(renderer.GetHoverLink(), 0);
    EXPECT_FALSE(renderer.OnLinkHover(POINT { area.rect.right + 1, area.rect.bottom }))
        << "one past the right edge: the plain text";
    EXPECT_FALSE(renderer.OnLinkHover(Inside(renderer.GetHotAreas()[3]))) << "a link with no target";
}

TEST(MarkupLinks, HotAreasDescribeTheLastDrawingOnly)
{
    Drawn drawn(kTwoLinks);
    RixMarkupRenderer& renderer = drawn.renderer;
    const std::vector<HotArea> areas = renderer.GetHotAreas();
    ASSERT_EQ(areas.size(), 4u);
    // Painted again and again, hovered between paints, as a host window is: the areas stay those of
    // the links drawn.
    for (int paint = 0; paint < 6; ++paint) {
        renderer.OnLinkHover(Inside(areas[static_cast<size_t>(paint) % areas.size()]));
        renderer.DrawMeasuredMarkup(drawn.dib.dc(), RECT { 0, 0, 400, 60 });
        EXPECT_EQ(renderer.GetHotAreas().size(), areas.size()) << "paint " << paint;
    }
    // Drawn lower down, the links are no longer where they were first drawn.
    renderer.DrawMeasuredMarkup(drawn.dib.dc(), RECT { 0, 30, 400, 60 });
    renderer.OnLinkHover(Inside(areas[0]));
    EXPECT_EQ(renderer.GetHoverLink(), -2);
    renderer.OnLinkHover(POINT { areas[0].rect.left + 1, areas[0].rect.top + 31 });
    EXPECT_EQ(renderer.GetHoverLink(), 0);
}

TEST(MarkupLinks, AHostThatDrawsAgainInsideTheHoverNotificationIsSafe)
{
    Host host;
    Drawn drawn("<a>no target</a>");
    RixMarkupRenderer& renderer = drawn.renderer;
    renderer.SetHoverTarget(host.hwnd(), kHoverMessage, 0);
    renderer.SetLinkCursor(static_cast<HCURSOR>(::CopyImage(::LoadCursorA(nullptr, IDC_HAND), IMAGE_CURSOR, 0, 0, 0)));
    // The host answers with another text of many links: the areas are made again, in new memory.
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "<a href=\"http://x/\">l</a>";
    host.onHover = [&] { drawn.Draw(many.c_str()); };
    const POINT point = Inside(renderer.GetHotAreas().at(0));
    // The link the mouse came to has no target: no hand, whatever the new drawing has there. Reading
    // the old area after the notification would read freed memory (which Wine's heap checking fills).
    EXPECT_FALSE(renderer.OnLinkHover(point));
    ASSERT_EQ(host.received.size(), 1u);
    EXPECT_EQ(renderer.GetHotAreas().size(), 300u);
    // The next move is judged against the new drawing.
    host.onHover = nullptr;
    EXPECT_TRUE(renderer.OnLinkHover(point));
}

TEST(MarkupLinks, TheHoveredLinkIsDrawnInItsHoverStyle)
{
    Drawn drawn(kTwoLinks);
    const std::vector<HotArea> areas = drawn.renderer.GetHotAreas();
    const int before0 = drawn.CountColour(areas[0].rect, RGB(0, 0, 255));
    const int before1 = drawn.CountColour(areas[1].rect, RGB(0, 0, 255));
    drawn.renderer.OnLinkHover(Inside(areas[0]));
    drawn.Draw(kTwoLinks);
    EXPECT_GT(drawn.CountColour(areas[0].rect, RGB(0, 0, 255)), before0) << "underlined while hovered";
    EXPECT_EQ(drawn.CountColour(areas[1].rect, RGB(0, 0, 255)), before1);
}

TEST(MarkupLinks, ClickingAMessageLinkSendsItsText)
{
    Host host;
    Drawn drawn(kTwoLinks);
    drawn.renderer.SetMessageLinkTarget(host.hwnd(), kLinkMessage, 5);
    const std::vector<HotArea> areas = drawn.renderer.GetHotAreas();
    drawn.renderer.OnLinkClick(Inside(areas[2]));
    ASSERT_EQ(host.received.size(), 1u);
    EXPECT_EQ(host.received[0].text, "m");
    EXPECT_EQ(host.received[0].lParam, 5);
    drawn.renderer.OnLinkClick(Inside(areas[3]));
    drawn.renderer.OnLinkClick(POINT { 399, 59 });
    EXPECT_EQ(host.received.size(), 1u) << "no target, or no link: nothing";
}

namespace {

// Points ".htm" at a page class of the test's own, for the user and for the machine, and puts back
// exactly what was there.
class PageHandler {
public:
    explicit PageHandler(const std::string& command)
    {
        for (HKEY root : { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE }) {
            m_saved.push_back(std::make_unique<RegistrySnapshot>(root, kPage));
            m_saved.push_back(std::make_unique<RegistrySnapshot>(root, kPageClass));
            SetDefaultValue(root, kPage, "TesselTestPage");
            SetDefaultValue(root, std::string(kPageClass) + "\\shell\\open\\command", command);
        }
    }

private:
    static constexpr const char* kPage = "Software\\Classes\\.htm";
    static constexpr const char* kPageClass = "Software\\Classes\\TesselTestPage";
    std::vector<std::unique_ptr<RegistrySnapshot>> m_saved;
};

} // namespace

TEST(MarkupLinks, ATargetTheShellCannotOpenGoesToThePageProgramAsOneArgument)
{
    TempFolder folder;
    const std::string browser = Ansi(folder.File(L"browser.exe"));
    ASSERT_TRUE(
        ::CopyFileW((ProgramFolder() + L"\\..\\tests\\live_update_standin.exe").c_str(), Wide(browser).c_str(), FALSE));
    const std::string longFlag = "--" + std::string(600, 'f');
    struct Case {
        std::string command;
        std::string target;
        std::string expected; // arguments the page program got; "" when it must not start
    };
    const std::vector<Case> cases = {
        { "\"" + browser + "\" \"%1\"", "tesselnosuch:a b", "tesselnosuch:a b\n" },
        { "\"" + browser + "\" %1 --after", "tesselnosuch:c", "tesselnosuch:c\n" },
        { "\"" + browser + "\"", "tesselnosuch:d", "tesselnosuch:d\n" },
        // Longer than any fixed buffer the command could have been cut to.
        { "\"" + browser + "\" " + longFlag + " \"%1\"", "tesselnosuch:e", longFlag + "\ntesselnosuch:e\n" },
        // A quote in the target would end its argument and start others.
        { "\"" + browser + "\" \"%1\"", "tesselnosuch:\" --evil \"", "" },
        // Quoted or not, an argument that starts like a switch is read as one.
        { "\"" + browser + "\" \"%1\"", "--tesselnosuch", "" },
        { "\"" + browser + "\" \"%1\"", " -x", "" },
        { "\"" + browser + "\" \"%1\"", "/tesselnosuch", "" },
    };
    RixMarkupRenderer renderer;
    for (const Case& test : cases) {
        ::DeleteFileA(Ansi(folder.File(L"liveupdate-args.txt")).c_str());
        PageHandler handler(test.command);
        const INT_PTR result = renderer.ExecuteLink(test.target.c_str(), SW_HIDE);
        std::string args;
        if (!test.expected.empty()) {
            EXPECT_GT(result, 31) << test.target;
            PumpUntil([&] { return !(args = ReadWholeFile(folder.File(L"liveupdate-args.txt"))).empty(); }, 10000);
        } else {
            EXPECT_LE(result, 32) << "the shell's own failure comes back";
            PumpFor(500);
            args = ReadWholeFile(folder.File(L"liveupdate-args.txt"));
        }
        EXPECT_EQ(args, test.expected) << test.command;
    }
}
