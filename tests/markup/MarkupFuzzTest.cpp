// Generated and mutated markup through measure and draw: no crash, no hang (a watchdog ends the
// program with the text that hangs), and every pass leaves the device context and the GDI object
// count as it found them. Besides the short texts, texts of up to 1 MB of each hostile kind, each
// within a memory budget.
//
// TESSEL_FUZZ_FULL=1 runs every text: the 100,000 short ones and every large kind at 1 MB. Otherwise
// a slice runs, chosen by a seed printed at the start (TESSEL_FUZZ_SEED=n runs that slice again):
// short texts of every shape, every piece alone, every large kind at a smaller size and one of them at
// 1 MB. Run under WINEDEBUG=warn+heap, Wine fills freed memory, so that a read of it shows.
#include "Dib.h"
#include "markup/RixMarkupRenderer.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kTexts = 100000;
// Texts of the slice, beside every piece alone.
constexpr int kSliceTexts = 3000;
constexpr size_t kLargeBytes = 1 << 20;
constexpr size_t kSliceLargeBytes = 64 << 10;
// No text may take this long without a step of progress, or more memory than this while it is laid
// out: either means work or records that grow faster than the text.
constexpr auto kStallLimit = std::chrono::seconds(60);
constexpr size_t kLargeMemoryBudget = 64 << 20;
// A short text may name a picture as large as the renderer draws, whose effects take several copies.
constexpr size_t kShortMemoryBudget = 512 << 20;
constexpr unsigned kSeed = 20261207;

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

// A short text: pieces, or (odd numbers) pieces with byte edits. Each text has a seed of its own, so
// that a slice can take any of them.
std::string ShortText(int i)
{
    std::mt19937 random(kSeed + static_cast<unsigned>(i));
    std::string text;
    const int count = std::uniform_int_distribution<int>(0, 10)(random);
    std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
    for (int n = 0; n < count; ++n)
        text += kPieces[piece(random)];
    if (i % 2 == 0)
        return text;
    // Byte flips, insertions, deletions and repeats.
    const int edits = std::uniform_int_distribution<int>(1, 6)(random);
    for (int n = 0; n < edits; ++n) {
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

// A text of about the size made of one unit repeated.
std::string Repeat(const std::string& unit, size_t bytes)
{
    std::string text;
    text.reserve(bytes + unit.size());
    while (text.size() < bytes)
        text += unit;
    return text;
}

// The large kinds: what each does to a renderer that is not linear in its text.
struct LargeKind {
    const char* name;
    std::function<std::string(size_t)> make;
};

const LargeKind kLargeKinds[] = {
    { "unclosed brackets", [](size_t n) { return Repeat("<a", n); } },
    { "unclosed cells", [](size_t n) { return "<table><tr>" + Repeat("<td", n); } },
    { "deep style tags", [](size_t n) { return Repeat("<b>", n - n / 8) + Repeat("x</b>", n / 8); } },
    { "small wide tables", [](size_t n) { return Repeat("<table><tr><td colspan=1000>x" + Repeat("<tr>", 256) + "</table>", n); } },
    { "nested tables", [](size_t n) { return Repeat("<table border=1><tr><td>x", n); } },
    { "a long link in many pieces",
        [](size_t n) { return "<a href=\"" + std::string(n / 2, 'h') + "\">" + Repeat("x<b>y</b>", n / 2) + "</a>"; } },
    { "a long face and background, deeply saved",
        [](size_t n) {
            return "<font face=\"" + std::string(n / 4, 'f') + "\"><table background=\"file:" + std::string(n / 4, 'p')
                + "\"><tr><td>" + Repeat("<i>z", n / 2);
        } },
    { "entities that make brackets", [](size_t n) { return Repeat("&amp;lt;&lt;&euro;\t\n", n); } },
    { "words and breaks", [](size_t n) { return Repeat("Plain words, wrapped.<br=2> A-b.c,d!e ", n); } },
    { "pieces",
        [](size_t n) {
            std::mt19937 random(kSeed);
            std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
            std::string text;
            while (text.size() < n)
                text += kPieces[piece(random)];
            return text;
        } },
};

bool FullRun()
{
    const char* full = std::getenv("TESSEL_FUZZ_FULL");
    return full && std::strcmp(full, "1") == 0;
}

unsigned SliceSeed()
{
    const char* given = std::getenv("TESSEL_FUZZ_SEED");
    return given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : static_cast<unsigned>(::GetTickCount());
}

size_t WorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters {};
    counters.cb = sizeof counters;
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

// Measures and draws texts one after the other on one renderer, checking each pass, under a watchdog
// that ends the program when a text makes no progress and that samples the memory it takes.
class FuzzRun {
public:
    FuzzRun()
    {
        m_hDC = m_dib.dc();
        m_font = ::GetCurrentObject(m_hDC, OBJ_FONT);
        ::SetTextColor(m_hDC, RGB(1, 2, 3));
        ::SetBkColor(m_hDC, RGB(4, 5, 6));
        ::SetBkMode(m_hDC, OPAQUE);
        // The effect painter keeps the buffers of its last pattern and column fills for the next
        // ones; made here once, they count among what is alive from the start.
        const RECT warm { 0, 0, 10, 10 };
        m_renderer.GetEffectPainter().DrawEffect(
            m_hDC, RIXFX_NOISE, warm, RGB(0, 0, 0), RGB(9, 9, 9), RGB(255, 255, 255), 5, 0);
        m_renderer.GetEffectPainter().DrawEffect(
            m_hDC, RIXFX_VGRADIENT, warm, RGB(0, 0, 0), 0, RGB(255, 255, 255), 5, 0);
        m_live = gdi::LiveObjects();
        m_watchdog = std::thread([this] { Watch(); });
    }
    ~FuzzRun()
    {
        m_finished = true;
        m_watchdog.join();
    }

    // One text in the shape its number gives: wrap width, newline conversion and colours.
    void Run(int shape, const std::string& text, const std::string& what, size_t budget)
    {
        static const int wraps[] = { 0, 0, 40, 120 };
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_current = what;
        }
        m_renderer.SetWrapWidth(wraps[shape % 4]);
        m_renderer.SetConvertNewlines(shape % 8 != 0);
        m_renderer.EnableColours(shape % 16 != 1);
        const size_t before = WorkingSet();
        m_peak = before;
        SIZE size { -1, -1 };
        m_renderer.MeasureMarkup(m_hDC, text.c_str(), size);
        ++m_steps;
        m_renderer.DrawMeasuredMarkup(m_hDC, RECT { 2, 2, 150, 70 });
        ++m_steps;
        const size_t grown = std::max(m_peak.load(), WorkingSet()) - before;
        const bool sane = (size.cx == 0 && size.cy == 0) || (size.cx >= 1 && size.cy >= 1);
        const bool restored = ::GetCurrentObject(m_hDC, OBJ_FONT) == m_font && ::GetTextColor(m_hDC) == RGB(1, 2, 3)
            && ::GetBkColor(m_hDC) == RGB(4, 5, 6) && ::GetBkMode(m_hDC) == OPAQUE;
        // The renderer keeps the fonts it made for later passes; anything else alive is a leak.
        const bool released = gdi::LiveObjects() == m_live + static_cast<int>(m_renderer.CachedFontCount());
        const bool bounded = grown <= budget;
        if (sane && restored && released && bounded)
            return;
        if (++m_failures > 5)
            return;
        ADD_FAILURE() << what << " \"" << text.substr(0, 200) << (text.size() > 200 ? "...\"" : "\"") << ": size "
                      << size.cx << " x " << size.cy << (restored ? "" : ", device context not restored")
                      << (released ? "" : ", GDI objects left")
                      << (bounded ? "" : ", " + std::to_string(grown >> 20) + " MB taken");
    }

    RixMarkupRenderer& renderer() { return m_renderer; }
    int live() const { return m_live; }

private:
    void Watch()
    {
        long long seen = -1;
        auto since = std::chrono::steady_clock::now();
        for (int tick = 0; !m_finished; ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const size_t now = WorkingSet();
            if (now > m_peak)
                m_peak = now;
            if (tick % 20 != 0)
                continue;
            if (m_steps != seen) {
                seen = m_steps;
                since = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - since > kStallLimit) {
                std::lock_guard<std::mutex> lock(m_mutex);
                std::fprintf(stderr, "markup fuzz: no progress with %s\n", m_current.c_str());
                std::fflush(stderr);
                ::ExitProcess(3);
            }
        }
    }

    Dib m_dib { 160, 80 };
    HDC m_hDC = nullptr;
    HGDIOBJ m_font = nullptr;
    RixMarkupRenderer m_renderer;
    int m_live = 0;
    int m_failures = 0;
    std::atomic<long long> m_steps { 0 };
    std::atomic<size_t> m_peak { 0 };
    std::atomic<bool> m_finished { false };
    std::mutex m_mutex;
    std::string m_current;
    std::thread m_watchdog;
};

} // namespace

TEST(MarkupFuzzTest, GeneratedAndMutatedTextsMeasureAndDrawSafely)
{
    const bool full = FullRun();
    const unsigned seed = SliceSeed();
    if (!full)
        std::printf("markup fuzz: a slice, seed %u (TESSEL_FUZZ_SEED=%u repeats it, TESSEL_FUZZ_FULL=1 runs all)\n",
            seed, seed);
    std::vector<int> numbers;
    if (full) {
        for (int i = 0; i < kTexts; ++i)
            numbers.push_back(i);
    } else {
        // Every shape (the number modulo 16) as often as the others, from anywhere in the full run.
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> block(0, kTexts / 16 - 1);
        for (int k = 0; k < kSliceTexts; ++k)
            numbers.push_back(16 * block(random) + k % 16);
    }
    {
        FuzzRun run;
        for (const int i : numbers)
            run.Run(i, ShortText(i), "text " + std::to_string(i), kShortMemoryBudget);
        // Every piece alone, each in another shape.
        for (size_t p = 0; p < std::size(kPieces); ++p)
            run.Run(static_cast<int>(p), kPieces[p], "piece " + std::to_string(p), kShortMemoryBudget);

        // The large kinds: all at 1 MB, or all smaller and one of them at 1 MB.
        const size_t chosen = seed % std::size(kLargeKinds);
        for (size_t k = 0; k < std::size(kLargeKinds); ++k) {
            const size_t bytes = full || k == chosen ? kLargeBytes : kSliceLargeBytes;
            const std::string text = kLargeKinds[k].make(bytes);
            for (const int shape : { 2, 5 }) {
                const auto start = std::chrono::steady_clock::now();
                run.Run(shape, text, kLargeKinds[k].name, kLargeMemoryBudget);
                const double seconds
                    = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::printf("markup fuzz: %s, %zu KB, shape %d: %.2f s\n", kLargeKinds[k].name, text.size() >> 10,
                    shape, seconds);
            }
        }
        run.renderer().LoadStyleSheet(nullptr);
        EXPECT_EQ(gdi::LiveObjects(), run.live()) << "fonts kept after the style sheet changed";
    }
}
