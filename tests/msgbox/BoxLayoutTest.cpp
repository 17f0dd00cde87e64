// The message box's size, control positions and pixels, computed here from the platform's metrics
// and from what the markup renderer measures.
#include "BoxRun.h"
#include "Dib.h"
#include "Pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

RixBoxParams Params(DWORD style, const char* text)
{
    RixBoxParams params;
    params.dwStyle = style | RIXMB_SILENT;
    params.lpszText = text;
    params.lpszCaption = "Layout";
    return params;
}

RECT Client(HWND hWnd)
{
    RECT r;
    ::GetClientRect(hWnd, &r);
    return r;
}

SIZE WindowSize(HWND hWnd)
{
    RECT r;
    ::GetWindowRect(hWnd, &r);
    return { r.right - r.left, r.bottom - r.top };
}

int FrameWidth()
{
    return 2 * ::GetSystemMetrics(SM_CXDLGFRAME);
}

int FrameHeight()
{
    return ::GetSystemMetrics(SM_CYCAPTION) + 2 * ::GetSystemMetrics(SM_CYDLGFRAME);
}

} // namespace

TEST(BoxLayout, OneWordBoxIsAsWideAsItsTextOrItsButtonRow)
{
    for (const char* text : { "Done", "A sentence long enough to be wider than the row of one button" }) {
        const BoxRun run = ShowBox(Params(MB_OK, text), [&](HWND hBox, RixMessageBoxDialog& box) {
            const SIZE measured = MeasureWithMessageFont(text);
            const int widest = std::max<int>(measured.cx + 28, 102);
            EXPECT_EQ(WindowSize(hBox).cx, widest + FrameWidth()) << text;
            EXPECT_EQ(box.GetMessageHeight(), measured.cy + 28);
            EXPECT_EQ(box.GetButtonBandHeight(), 23 + 11);
            EXPECT_EQ(WindowSize(hBox).cy, measured.cy + 28 + 23 + 11 + FrameHeight());
            // The platform's frame is what the box's sum assumes.
            EXPECT_EQ(Client(hBox).right, widest);
            const RECT ok = RectInParent(Button(hBox, IDOK));
            EXPECT_EQ(ok.right - ok.left, 80);
            EXPECT_EQ(ok.bottom - ok.top, 23);
            EXPECT_EQ(ok.bottom, Client(hBox).bottom - 11);
            EXPECT_EQ(ok.left, (widest - 80) / 2);
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
    }
}

TEST(BoxLayout, ALongCaptionWidensEveryButton)
{
    const char* lines = "Repair every workbook now\nLater";
    const BoxRun run = ShowBox(
        [&] {
            RixBoxParams params = Params(MB_OK, "Text");
            params.lpszButtonLines = lines;
            return params;
        }(),
        [&](HWND hBox, RixMessageBoxDialog& box) {
            const SIZE extent = TextExtentWithMessageFont("Repair every workbook now");
            const int width = std::max(80, ::MulDiv(extent.cx, 80, 45));
            for (const auto& button : box.GetButtons()) {
                const RECT r = RectInParent(button.second);
                EXPECT_EQ(r.right - r.left, width);
            }
            EXPECT_GE(Client(hBox).right, 11 + 2 * (width + 11));
            Click(Button(hBox, RIXID_CUSTOM2));
        });
    EXPECT_EQ(run.result, RIXID_CUSTOM2);
}

TEST(BoxLayout, ButtonRowsAlignLeftRightOrCentre)
{
    for (int align : { 0, 1, 2 }) {
        RixBoxParams params = Params(MB_YESNOCANCEL, "A message wide enough to leave room beside the buttons");
        params.nButtonAlign = align;
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog&) {
            const RECT client = Client(hBox);
            const RECT first = RectInParent(Button(hBox, IDYES));
            const RECT last = RectInParent(Button(hBox, IDCANCEL));
            const RECT second = RectInParent(Button(hBox, IDNO));
            EXPECT_EQ(second.left - first.right, 11);
            if (align == 0)
                EXPECT_EQ(first.left, 11);
            else if (align == 1)
                EXPECT_EQ(last.right, client.right - 11);
            else
                EXPECT_EQ(first.left, (client.right - (last.right - first.left)) / 2);
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
    }
}

TEST(BoxLayout, CheckBoxSitsAboveOrBelowTheButtons)
{
    for (bool below : { false, true }) {
        RixBoxParams params = Params(MB_OK | RIXMB_CHECKBOX | (below ? RIXMB_CHECKBOXBELOW : 0), "Text");
        params.lpszCheckBoxText = "Do not ask me again about this";
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
            const RECT client = Client(hBox);
            const RECT check = RectInParent(box.GetCheckBox());
            const RECT label = RectInParent(box.GetCheckBoxLabel());
            const RECT ok = RectInParent(Button(hBox, IDOK));
            const SIZE caption = TextExtentWithMessageFont("Do not ask me again about this");
            EXPECT_EQ(box.GetButtonBandHeight(), 23 + 11 + 13 + 11);
            EXPECT_EQ(check.left, 10);
            EXPECT_EQ(check.right - check.left, 13);
            EXPECT_EQ(check.bottom - check.top, 13);
            EXPECT_EQ(label.left, 10 + 13 + 6);
            EXPECT_EQ(label.top, check.top);
            EXPECT_EQ(label.right - label.left, caption.cx);
            EXPECT_GE(client.right, caption.cx + 40);
            if (below) {
                EXPECT_EQ(check.bottom, client.bottom - 11);
                EXPECT_EQ(ok.bottom, client.bottom - 11 - 13 - 11);
            } else {
                EXPECT_EQ(check.bottom, client.bottom - 22 - 23);
                EXPECT_EQ(ok.bottom, client.bottom - 11);
            }
            EXPECT_EQ(WindowText(box.GetCheckBoxLabel()), "Do not ask me again about this");
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
    }
}

TEST(BoxLayout, BandsArePaintedWithTheirEffectsAndSeparators)
{
    const COLORREF box = RGB(200, 220, 240), header = RGB(255, 0, 0), buttons = RGB(0, 128, 0);
    RixBoxParams params = Params(MB_OK, "");
    params.bkBox.nEffect = 0;
    params.bkBox.crColor1 = box;
    params.nHeaderHeight = 40;
    params.bkHeader.nEffect = 0;
    params.bkHeader.crColor1 = header;
    params.bkHeader.nSeparator = 2;
    params.bkButtons.nEffect = 0;
    params.bkButtons.crColor1 = buttons;
    params.lpszText = "Message";
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& dialog) {
        const RECT client = Client(hBox);
        Dib shot(client.right, client.bottom);
        CaptureClient(hBox, shot);
        EXPECT_EQ(dialog.GetHeaderHeight(), 40);
        const int messageTop = 40;
        const int buttonTop = messageTop + dialog.GetMessageHeight();
        EXPECT_EQ(dialog.GetButtonBandHeight(), 23 + 22) << "a band with an effect doubles its margin";
        EXPECT_EQ(ColourText(shot.Pixel(2, 2)), ColourText(header));
        EXPECT_EQ(ColourText(shot.Pixel(2, messageTop + 2)), ColourText(box));
        EXPECT_EQ(ColourText(shot.Pixel(2, buttonTop + 2)), ColourText(buttons));
        EXPECT_EQ(ColourText(shot.Pixel(2, client.bottom - 1)), ColourText(buttons));
        // The black separator on the header's bottom edge, 5 pixels in from each side.
        EXPECT_EQ(ColourText(shot.Pixel(5, 40)), ColourText(0));
        EXPECT_EQ(ColourText(shot.Pixel(client.right - 6, 40)), ColourText(0));
        EXPECT_EQ(ColourText(shot.Pixel(4, 40)), ColourText(box));
        EXPECT_EQ(ColourText(shot.Pixel(client.right - 5, 40)), ColourText(box));
        PressKey(hBox, VK_ESCAPE);
    });
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(BoxLayout, SeparatorTextBreaksTheLineWhereItIsAligned)
{
    const char* label = "Details";
    const SIZE extent = TextExtentWithMessageFont(label);
    for (int align : { 0, 1, 2 }) {
        RixBoxParams params = Params(MB_OK, "A message wide enough for a separator with a text");
        params.bkBox.nEffect = 0;
        params.bkBox.crColor1 = RGB(255, 255, 255);
        params.bkButtons.nSeparator = 2;
        params.bkButtons.nSeparatorAlign = align;
        params.bkButtons.lpszSeparatorText = label;
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& dialog) {
            const RECT client = Client(hBox);
            Dib shot(client.right, client.bottom);
            CaptureClient(hBox, shot);
            const int y = dialog.GetMessageHeight();
            const int left = 5, right = client.right - 5;
            int textLeft = left;
            if (align == 1)
                textLeft = right - extent.cx;
            else if (align == 2)
                textLeft = left + (right - left - extent.cx) / 2;
            const int textRight = textLeft + extent.cx;
            auto black = [&](int x) { return shot.Pixel(x, y) == 0; };
            // The gaps of 5 pixels on either side of the text stay clear; the line runs beyond them.
            if (align != 1) {
                EXPECT_FALSE(black(textRight + 4)) << align;
                EXPECT_TRUE(black(textRight + 5)) << align;
                EXPECT_TRUE(black(right - 1)) << align;
            }
            if (align != 0) {
                EXPECT_TRUE(black(left)) << align;
                EXPECT_TRUE(black(textLeft - 6)) << align;
                EXPECT_FALSE(black(textLeft - 5)) << align;
            }
            // The text itself is drawn (embossed: not all background).
            bool drawn = false;
            for (int x = textLeft; x < textRight && !drawn; ++x)
                for (int dy = -extent.cy / 2; dy < extent.cy / 2 && !drawn; ++dy)
                    drawn = shot.Pixel(x, y + dy) != RGB(255, 255, 255);
            EXPECT_TRUE(drawn) << align;
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
    }
}

TEST(BoxLayout, MoreBandIsPaintedOnlyWhileShownAndRedrawTouchesOnlyTextBands)
{
    const COLORREF more = RGB(0, 0, 255);
    RixBoxParams params = MainWindowParams("Line one\r\nLine two");
    params.lpszText = "Message";
    params.bkMore.nEffect = 0;
    params.bkMore.crColor1 = more;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        Click(Button(hBox, RIXID_MORE));
        RECT client = Client(hBox);
        Dib shot(client.right, client.bottom);
        CaptureClient(hBox, shot);
        EXPECT_EQ(client.bottom, box.GetMessageHeight() + box.GetButtonBandHeight() + box.GetMoreHeight());
        EXPECT_EQ(ColourText(shot.Pixel(2, client.bottom - 2)), ColourText(more));
        // Text of the "more" band is drawn over its background.
        bool text = false;
        for (int y = client.bottom - box.GetMoreHeight() + 14; y < client.bottom - 14 && !text; ++y)
            for (int x = 14; x < client.right - 14 && !text; ++x)
                text = shot.Pixel(x, y) != more;
        EXPECT_TRUE(text);

        // Marks in the message band and in the button band: a redraw request repaints the first only.
        {
            gdi::WindowDC dc(hBox);
            gdi::FillSolid(dc, { 0, 0, 3, 3 }, RGB(1, 2, 3));
            gdi::FillSolid(dc, { 0, client.bottom - box.GetMoreHeight() - 3, 3, client.bottom - box.GetMoreHeight() },
                RGB(1, 2, 3));
        }
        EXPECT_EQ(::SendMessageA(hBox, WM_RIXREDRAW, 0, 0), TRUE);
        Dib after(client.right, client.bottom);
        {
            gdi::WindowDC dc(hBox);
            ::BitBlt(after.dc(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
        }
        EXPECT_NE(ColourText(after.Pixel(1, 1)), ColourText(RGB(1, 2, 3)));
        EXPECT_EQ(ColourText(after.Pixel(1, client.bottom - box.GetMoreHeight() - 2)), ColourText(RGB(1, 2, 3)));
        PressKey(hBox, VK_ESCAPE);
    });
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(BoxLayout, BadInputNeverBreaksTheBox)
{
    std::string huge;
    for (int i = 0; i < 3000; ++i)
        huge += "Line " + std::to_string(i) + " of a long message with <b>bold</b> words\r\n";
    std::string wide(20000, 'W');
    struct Case {
        const char* what;
        RixBoxParams params;
    } cases[] = {
        { "empty", Params(MB_OK, "") },
        { "null", Params(MB_OK, nullptr) },
        { "huge", Params(MB_OK, huge.c_str()) },
        { "wide", Params(MB_OK, wide.c_str()) },
        { "unknown bits", Params(MB_OK | 0x00F03000 | MB_SYSTEMMODAL | 0x70, "Text") },
        { "missing string", Params(MB_OK, MAKEINTRESOURCEA(4321)) },
        { "string with strings off", Params(MB_OK | RIXMB_NOSTRINGRES, MAKEINTRESOURCEA(501)) },
        { "missing user icon", Params(MB_OK | MB_USERICON, "Text") },
        { "negative header", Params(MB_OK, "Text") },
        { "hostile count format", Params(MB_OK, "Text") },
    };
    cases[7].params.lpszIconResource = MAKEINTRESOURCEA(4321);
    cases[8].params.nHeaderHeight = -500;
    const RixCaptionMap format = { { static_cast<int>(0x80000000u), "%s %s %s %n %d" } };
    cases[9].params.pCaptionOverrides = &format;
    cases[9].params.nDisableSeconds = 3;
    cases[9].params.bCountdownInCaption = TRUE;
    for (Case& c : cases) {
        const BoxRun run = ShowBox(c.params, [&](HWND hBox, RixMessageBoxDialog& box) {
            Dib shot(8, 8);
            CaptureClient(hBox, shot);
            EXPECT_GE(box.GetMessageHeight(), 0) << c.what;
            EXPECT_GE(box.GetHeaderHeight(), 0) << c.what;
            if (std::string(c.what) == "missing user icon") {
                EXPECT_EQ(box.GetMarkup(), "Text") << "no icon, no table";
            }
            if (std::string(c.what) == "hostile count format") {
                EXPECT_EQ(WindowText(hBox), "Layout %s %s %n 3");
                Tick(hBox), Tick(hBox), Tick(hBox);
            }
            if (!Ended(hBox))
                Click(Button(hBox, IDOK));
        });
        EXPECT_EQ(run.result, IDOK) << c.what;
    }
}

TEST(BoxLayout, IconsStandBesideTheTextInATable)
{
    for (DWORD icon : { MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK, MB_USERICON }) {
        RixBoxParams params = Params(MB_OK | icon, "With an icon");
        params.lpszIconResource = MAKEINTRESOURCEA(128);
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
            const std::string head = "<table cellpadding=5><tr><td width="
                + std::to_string(::GetSystemMetrics(SM_CXICON)) + "><icon handle=0x";
            EXPECT_EQ(box.GetMarkup().rfind(head, 0), 0u) << box.GetMarkup();
            EXPECT_NE(box.GetMarkup().find("></td><td>With an icon</td></tr></table>"), std::string::npos);
            EXPECT_EQ(box.GetMessageHeight(), MeasureWithMessageFont(box.GetMarkup()).cy + 28);
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
    }
    RixBoxParams params = Params(MB_OK | MB_RIGHT, "Right");
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        EXPECT_EQ(box.GetMarkup(), "<right>Right</right>");
        PressKey(hBox, VK_ESCAPE);
    });
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(BoxLayout, AHoveredLinkRedrawsTheTextBands)
{
    RixBoxParams params = Params(MB_OK, "See <a href=\"http://calvera-tessel.example/\">the home page</a> for help");
    params.bkBox.nEffect = 0;
    params.bkBox.crColor1 = RGB(255, 255, 255);
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        ::UpdateWindow(hBox);
        ASSERT_FALSE(box.GetTextRenderer().GetHotAreas().empty());
        const RECT link = box.GetTextRenderer().GetHotAreas().front().rect;
        const COLORREF mark = RGB(1, 2, 3);
        auto markAndHover = [&](POINT client) {
            {
                gdi::WindowDC dc(hBox);
                gdi::FillSolid(dc, { 0, 0, 3, 3 }, mark);
            }
            POINT screen = client;
            ::ClientToScreen(hBox, &screen);
            EXPECT_TRUE(PlaceCursor(screen.x, screen.y));
            ::SendMessageA(hBox, WM_SETCURSOR, reinterpret_cast<WPARAM>(hBox), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            gdi::WindowDC dc(hBox);
            return ::GetPixel(dc, 1, 1) != mark;
        };
        EXPECT_TRUE(markAndHover({ (link.left + link.right) / 2, (link.top + link.bottom) / 2 })) << "entering";
        EXPECT_FALSE(markAndHover({ (link.left + link.right) / 2 + 1, (link.top + link.bottom) / 2 })) << "staying";
        EXPECT_TRUE(markAndHover({ 2, 2 })) << "leaving";
        // A click beside the link does nothing.
        ::SendMessageA(hBox, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        EXPECT_FALSE(Ended(hBox));
        PressKey(hBox, VK_ESCAPE);
    });
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(BoxLayout, TheIconStandsLeftOfTheTextAtItsOwnSize)
{
    const COLORREF white = RGB(255, 255, 255);
    // The non-white pixels of a picture inside a rectangle.
    auto inkBounds = [&](const Dib& dib, RECT area) {
        RECT ink = { area.right, area.bottom, area.left, area.top };
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (dib.Pixel(x, y) != white)
                    ink = { std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                        std::max<LONG>(ink.bottom, y + 1) };
        return ink;
    };
    const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    Dib reference(cx, cy);
    reference.Fill(white);
    ::DrawIconEx(reference.dc(), 0, 0, ::LoadIconA(nullptr, IDI_ASTERISK), cx, cy, 0, nullptr, DI_NORMAL);
    const RECT expected = inkBounds(reference, { 0, 0, cx, cy });

    RixBoxParams params = Params(MB_OK | MB_ICONASTERISK, "Icon");
    params.bkBox.nEffect = 0;
    params.bkBox.crColor1 = white;
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        const RECT client = Client(hBox);
        Dib shot(client.right, client.bottom);
        CaptureClient(hBox, shot);
        const RECT band = { 0, 0, client.right, box.GetMessageHeight() };
        // The icon's cell: the margin, the cell padding and the icon's width.
        const RECT cell = { 14, 14, 14 + 5 + cx + 5 + 4, band.bottom };
        const RECT icon = inkBounds(shot, cell);
        EXPECT_EQ(icon.right - icon.left, expected.right - expected.left);
        EXPECT_EQ(icon.bottom - icon.top, expected.bottom - expected.top);
        const RECT text = inkBounds(shot, { cell.right, 14, band.right, band.bottom });
        EXPECT_GT(text.right, text.left) << "the text is drawn beside the icon";
        EXPECT_GE(text.left, icon.right + 5);
        EXPECT_EQ(box.GetMessageHeight(), MeasureWithMessageFont(box.GetMarkup()).cy + 28);
        EXPECT_GE(box.GetMessageHeight(), cy + 28);
        PressKey(hBox, VK_ESCAPE);
    });
    EXPECT_EQ(run.result, IDCANCEL);
}

TEST(BoxLayout, AHeaderTextSizesItsBandAndIsDrawnInIt)
{
    const char* header = "<b>Repair finished</b><br>3 of 4 workbooks were repaired";
    const COLORREF white = RGB(255, 255, 255), band = RGB(200, 220, 240);
    const SIZE measured = MeasureWithMessageFont(header);
    struct Case {
        int minimum;
        int height;
    } cases[] = { { 10, measured.cy + 28 }, { 200, 200 } };
    for (const Case& c : cases) {
        RixBoxParams params = Params(MB_OK, "Message");
        params.bkBox.nEffect = 0;
        params.bkBox.crColor1 = white;
        params.nHeaderHeight = c.minimum;
        params.lpszHeader = header;
        params.bkHeader.nEffect = 0;
        params.bkHeader.crColor1 = band;
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
            EXPECT_EQ(box.GetHeaderHeight(), c.height) << c.minimum;
            EXPECT_GE(Client(hBox).right, measured.cx + 28);
            const RECT client = Client(hBox);
            Dib shot(client.right, client.bottom);
            CaptureClient(hBox, shot);
            EXPECT_EQ(ColourText(shot.Pixel(2, 2)), ColourText(band));
            EXPECT_EQ(ColourText(shot.Pixel(2, c.height - 1)), ColourText(band));
            EXPECT_EQ(ColourText(shot.Pixel(2, c.height)), ColourText(white)) << "the message band follows";
            // The header's text, inside its margins.
            int ink = 0;
            for (int y = 14; y < 14 + measured.cy; ++y)
                for (int x = 14; x < 14 + measured.cx; ++x)
                    ink += shot.Pixel(x, y) != band;
            EXPECT_GT(ink, 20) << c.minimum;
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
    }
}

TEST(BoxLayout, EtchedAndWhiteSeparatorsLieOnTheBandsEdge)
{
    const COLORREF grey = RGB(128, 128, 128);
    struct Case {
        int style;
        COLORREF on, below; // on the edge, and the row under it
    } cases[] = {
        { 3, RGB(255, 255, 255), grey },
        // Etched: the shadow on the edge, the highlight under it.
        { 1, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT) },
    };
    for (const Case& c : cases) {
        RixBoxParams params = Params(MB_OK, "A message wide enough for a separator");
        params.bkBox.nEffect = 0;
        params.bkBox.crColor1 = grey;
        params.bkButtons.nSeparator = c.style;
        const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
            const RECT client = Client(hBox);
            Dib shot(client.right, client.bottom);
            CaptureClient(hBox, shot);
            const int y = box.GetMessageHeight();
            for (const int x : { 5, static_cast<int>(client.right) / 2, static_cast<int>(client.right) - 6 }) {
                EXPECT_EQ(ColourText(shot.Pixel(x, y)), ColourText(c.on)) << c.style << " at " << x;
                EXPECT_EQ(ColourText(shot.Pixel(x, y + 1)), ColourText(c.below)) << c.style << " at " << x;
                EXPECT_EQ(ColourText(shot.Pixel(x, y - 1)), ColourText(grey)) << c.style << " at " << x;
            }
            // Five pixels in from either side.
            EXPECT_EQ(ColourText(shot.Pixel(4, y)), ColourText(grey)) << c.style;
            EXPECT_EQ(ColourText(shot.Pixel(client.right - 5, y)), ColourText(grey)) << c.style;
            PressKey(hBox, VK_ESCAPE);
        });
        EXPECT_EQ(run.result, IDCANCEL);
    }
}

TEST(BoxLayout, PaintsAndRedrawsKeepOneHotAreaPerPieceOfLink)
{
    RixBoxParams params = Params(MB_OK, "<a href=\"http://x/\">one</a> and <a msg=m>two <b>parts</b></a>");
    const BoxRun run = ShowBox(params, [&](HWND hBox, RixMessageBoxDialog& box) {
        ::UpdateWindow(hBox);
        const size_t pieces = box.GetTextRenderer().GetHotAreas().size();
        EXPECT_EQ(pieces, 3u);
        // Painted again and again, and redrawn as a hover change asks.
        for (int i = 0; i < 5; ++i) {
            ::RedrawWindow(hBox, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            ::SendMessageA(hBox, WM_RIXREDRAW, 0, 0);
            EXPECT_EQ(box.GetTextRenderer().GetHotAreas().size(), pieces) << "paint " << i;
        }
        PressKey(hBox, VK_ESCAPE);
    });
    EXPECT_EQ(run.result, IDCANCEL);
}
