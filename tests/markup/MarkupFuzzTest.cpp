// Generated and mutated markup through measure and draw: no crash, no hang (a watchdog ends the
// program with the text that hangs), and every pass leaves the device context and the GDI object
// count as it found them.
#include "Dib.h"
#include "markup/RixMarkupRenderer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

namespace {

constexpr int kTexts = 100000;
constexpr auto kStallLimit = std::chrono::seconds(20);

const char* const kPieces[] = {
    "<b>",
    "</b>",
    "<i>",
    "</i>",
    "<u>",
    "</u>",
    "<s>",
    "</strike>",
    "<em>",
    "<center>",
    "</center>",
    "<right>",
    "<justify>",
    "</justify>",
    "<left>",
    "<top>",
    "<bottom>",
    "</vcenter>",
    "<middle>",
    "<baseline>",
    "<h1>",
    "</h1>",
    "<h2>",
    "<h6>",
    "<pre>",
    "</pre>",
    "<code>",
    "<big>",
    "<small>",
    "<sub>",
    "</sub>",
    "<sup>",
    "<br>",
    "<br=3>",
    "</br>",
    "<t>",
    "<t=2>",
    "\t",
    "\n",
    "\r\n",
    "<hr>",
    "<hr width=50% size=3 color=red>",
    "<hr width=40>",
    "<font color=red>",
    "<font color=#00ff00 size=5>",
    "</font>",
    "<font face=Arial size=14px style=bi-u+o>",
    "<font bkgnd=yellow>",
    "<font bkgnd=transparent weight=bolder>",
    "<a href=\"http://x/\">",
    "<a msg=m>",
    "<a>",
    "</a>",
    "<span class=cpp-comment>",
    "</span>",
    "<string idres=103>",
    "<bmp idres=147 style=s hotstyle=gd mask=#FF00FF>",
    "<ilst idres=147 cx=4 speed=2 index=3 width=300%>",
    "<icon idres=128 width=50% style=sl>",
    "<bmp idres=147 width=999 height=2 style=s>",
    "<bmp idres=1 width=50%>",
    "<icon file=x.ico style=gs>",
    "<ilst cx=16 index=4>",
    "<table>",
    "<p>",
    "<B>",
    "<>",
    "<",
    "<<",
    "&amp;",
    "&lt;",
    "&amp;lt;",
    "&nbsp;",
    "&euro;",
    "&bogus;",
    "&",
    "word ",
    "Hello, world. ",
    "long-hyphenated-word",
    "x",
    "  ",
    "-.,!:;)}]?",
    "\x95\xA9\xFF",
    "<font size=99999999px>",
    "<br=4294967295>",
    "<t=99999>",
    "<hr size=999999>",
    "<font size=0>",
    "<font size=1>",
    "<span class=",
    "<font color='red",
    "<a href=\"",
    // Tables, whole and in pieces.
    "<table><tr><td>",
    "</td><td>",
    "</td></tr><tr><td>",
    "</td></tr></table>",
    "</table>",
    "<tr>",
    "</tr>",
    "<td>",
    "</td>",
    "<table border=2 cellspacing=4 cellpadding=3 bgcolor=red align=center>",
    "<table borderstyle=double bordercolorlight=red bordercolordark=#0000ff>",
    "<table bgeffect=noise bgmidcolor=gold bgendcolor=blue>",
    "<table background=idres:129>",
    "<table background=\"file:nope.bmp\">",
    "<table background=iddll:1>",
    "<tr align=right valign=bottom bgeffect=metal>",
    "<td colspan=3 rowspan=2 width=40>",
    "<td colspan=1000000000 rowspan=99999>",
    "<td width=99999 height=99999 bgeffect=hcgradient>",
    "<td width=50% valign=middle borderstyle=dotted>",
    "<td colspan=0 rowspan=-1 bgeffect=99>",
    "<<table>",
    "<table",
    "<td",
    // Images and links: whatever they load, they must not break anything.
    "<bmp idres=129>",
    "<bmp file=\"nope.bmp\" width=200% height=5 style=sgdl>",
    "<icon idres=128 style=s hotstyle=g>",
    "<icon iddll=5 srcdll=nope.dll width=999999>",
    "<ilst idres=129 cx=16 index=2 speed=3>",
    "<ilst index=99999 cx=0 cy=0 mask=#ff00ff>",
    "<a href=\"nowhere:\"><bmp idres=129></a>",
};

std::string Generate(std::mt19937& random)
{
    std::string text;
    const int count = std::uniform_int_distribution<int>(0, 10)(random);
    std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
    for (int i = 0; i < count; ++i)
        text += kPieces[piece(random)];
    return text;
}

// Byte flips, insertions, deletions and repeats of a generated text.
std::string Mutate(std::string text, std::mt19937& random)
{
    const int edits = std::uniform_int_distribution<int>(1, 6)(random);
    for (int i = 0; i < edits; ++i) {
        const size_t at = text.empty() ? 0 : std::uniform_int_distribution<size_t>(0, text.size() - 1)(random);
        const char byte = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(random));
        switch (std::uniform_int_distribution<int>(0, 3)(random)) {
        case 0:
            if (!text.empty())
                text[at] = byte;
            break;
        case 1:
            text.insert(text.begin() + static_cast<std::ptrdiff_t>(std::min(at, text.size())), byte);
            break;
        case 2:
            if (!text.empty())
                text.erase(at, std::uniform_int_distribution<size_t>(1, 4)(random));
            break;
        default:
            if (text.size() < 400)
                text += text.substr(at, 16);
            break;
        }
    }
    return text;
}

TEST(MarkupFuzzTest, GeneratedAndMutatedTextsMeasureAndDrawSafely)
{
    Dib dib(160, 80);
    RixMarkupRenderer renderer;
    HDC hDC = dib.dc();
    const HGDIOBJ font = ::GetCurrentObject(hDC, OBJ_FONT);
    ::SetTextColor(hDC, RGB(1, 2, 3));
    ::SetBkColor(hDC, RGB(4, 5, 6));
    ::SetBkMode(hDC, OPAQUE);
    // The effect painter keeps the buffers of its last pattern and column fills for the next ones;
    // made here once, they count among what is alive from the start.
    const RECT warm { 0, 0, 10, 10 };
    renderer.GetEffectPainter().DrawEffect(
        hDC, RIXFX_NOISE, warm, RGB(0, 0, 0), RGB(9, 9, 9), RGB(255, 255, 255), 5, 0);
    renderer.GetEffectPainter().DrawEffect(hDC, RIXFX_VGRADIENT, warm, RGB(0, 0, 0), 0, RGB(255, 255, 255), 5, 0);
    const int live = gdi::LiveObjects();

    std::atomic<int> done { 0 };
    std::atomic<bool> finished { false };
    std::string current;
    std::thread watchdog([&] {
        int seen = -1;
        auto since = std::chrono::steady_clock::now();
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (done != seen) {
                seen = done;
                since = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - since > kStallLimit) {
                std::fprintf(stderr, "markup fuzz: no progress after text %d:\n", seen);
                for (unsigned char c : current)
                    std::fprintf(stderr, "%02X", c);
                std::fprintf(stderr, "\n");
                std::fflush(stderr);
                ::ExitProcess(3);
            }
        }
    });

    std::mt19937 random(20261207);
    const int wraps[] = { 0, 0, 40, 120 };
    int failures = 0;
    for (int i = 0; i < kTexts && failures < 5; ++i) {
        std::string text = Generate(random);
        if (i % 2 == 1)
            text = Mutate(std::move(text), random);
        current = text;
        renderer.SetWrapWidth(wraps[i % 4]);
        renderer.SetConvertNewlines(i % 8 != 0);
        renderer.EnableColours(i % 16 != 1);
        SIZE size { -1, -1 };
        renderer.MeasureMarkup(hDC, text.c_str(), size);
        renderer.DrawMeasuredMarkup(hDC, RECT { 2, 2, 150, 70 });
        const bool sane = (size.cx == 0 && size.cy == 0) || (size.cx >= 1 && size.cy >= 1);
        const bool restored = ::GetCurrentObject(hDC, OBJ_FONT) == font && ::GetTextColor(hDC) == RGB(1, 2, 3)
            && ::GetBkColor(hDC) == RGB(4, 5, 6) && ::GetBkMode(hDC) == OPAQUE;
        // The renderer keeps the fonts it made for later passes; anything else alive is a leak.
        const bool released = gdi::LiveObjects() == live + static_cast<int>(renderer.CachedFontCount());
        if (!sane || !restored || !released) {
            ++failures;
            ADD_FAILURE() << "text " << i << " \"" << text << "\": size " << size.cx << " x " << size.cy
                          << (restored ? "" : ", device context not restored")
                          << (released ? "" : ", GDI objects left");
        }
        done = i + 1;
    }
    finished = true;
    watchdog.join();
    EXPECT_EQ(done, kTexts);
    renderer.LoadStyleSheet(nullptr);
    EXPECT_EQ(gdi::LiveObjects(), live) << "fonts kept after the style sheet changed";
}

} // namespace
