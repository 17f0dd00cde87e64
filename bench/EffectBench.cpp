// Prints how long each background effect takes to fill a window-sized and a message-box-sized
// rectangle, next to the cheapest ways of covering the same rectangle on the same DC: one FillRect
// and one BitBlt. Figures only; nothing here passes or fails.
#include "Seconds.h"
#include "draw/DibSection.h"
#include "draw/RixEffectPainter.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// The colours the program's own windows use.
constexpr COLORREF kColour1 = 0x0086FDF7;
constexpr COLORREF kColour2 = 0x00FFFFFF;
constexpr COLORREF kColour3 = 0x0086FDF7;
constexpr int kNoise = 5;
constexpr int kBlend = 0;

// Each round lasts at least this long, so that the timer's resolution and one-off stalls do not show;
// the figure kept is the best round, the one least disturbed by the rest of the system.
constexpr double kRoundSeconds = 0.04;
constexpr int kRounds = 7;

const char* const kEffectNames[] = {"solid",      "hgradient", "vgradient", "hcgradient", "vcgradient", "3hgradient",
                                    "3vgradient", "noise",     "diagshade", "hshade",     "vshade",     "hbump",
                                    "vbump",      "softbump",  "hardbump",  "metal"};

// Seconds per call of `draw`, the best of kRounds rounds. GdiFlush makes sure batched drawing is
// finished inside the timed span.
double TimePerCall(const std::function<void()>& draw)
{
    draw();
    ::GdiFlush();
    // Enough calls per round to fill kRoundSeconds, from a first estimate.
    int calls = 1;
    for (;;) {
        const double start = Seconds();
        for (int i = 0; i < calls; ++i)
            draw();
        ::GdiFlush();
        const double elapsed = Seconds() - start;
        if (elapsed >= kRoundSeconds / 4 || calls >= (1 << 20)) {
            calls = std::max(1, static_cast<int>(calls * kRoundSeconds / std::max(elapsed, 1e-9)));
            break;
        }
        calls *= 4;
    }
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        const double start = Seconds();
        for (int i = 0; i < calls; ++i)
            draw();
        ::GdiFlush();
        const double perCall = (Seconds() - start) / calls;
        if (round == 0 || perCall < best)
            best = perCall;
    }
    return best;
}

bool MeasureSize(RixEffectPainter& painter, int width, int height)
{
    const DibSection32 target(width, height), source(width, height);
    gdi::MemoryDC targetDC(nullptr), sourceDC(nullptr);
    gdi::Brush brush(::CreateSolidBrush(kColour1));
    if (!target || !source || !targetDC || !sourceDC || !brush) {
        std::printf("%4d x %-4d: could not create the bitmaps or DCs\n", width, height);
        return false;
    }
    gdi::SelectGuard selectTarget(targetDC, target.get());
    gdi::SelectGuard selectSource(sourceDC, source.get());
    const RECT rect{0, 0, width, height};
    // Something other than one colour to copy.
    painter.DrawEffect(sourceDC, RIXFX_DIAGSHADE, rect, kColour1, kColour2, kColour3, kNoise, kBlend);

    auto fillRect = [&] { ::FillRect(targetDC, &rect, brush.get()); };
    auto bitBlt = [&] { ::BitBlt(targetDC, 0, 0, width, height, sourceDC, 0, 0, SRCCOPY); };
    // The baselines before and after the effects; the better of the two is the one compared with.
    const double fill1 = TimePerCall(fillRect), blt1 = TimePerCall(bitBlt);

    double effects[16];
    for (int effect = 0; effect < 16; ++effect)
        effects[effect] = TimePerCall(
            [&] { painter.DrawEffect(targetDC, effect, rect, kColour1, kColour2, kColour3, kNoise, kBlend); });

    const double fill = std::min(fill1, TimePerCall(fillRect));
    const double blt = std::min(blt1, TimePerCall(bitBlt));
    std::printf("\n%d x %d (%.2f Mpixel): FillRect %.4f ms, BitBlt %.4f ms per call\n", width, height,
                width * static_cast<double>(height) / 1e6, fill * 1e3, blt * 1e3);
    std::printf("  nr  name          ms/fill   Mpixel/s   x FillRect   x BitBlt\n");
    for (int effect = 0; effect < 16; ++effect)
        std::printf("  %2d  %-11s %9.4f %10.1f %12.1f %10.1f\n", effect, kEffectNames[effect], effects[effect] * 1e3,
                    width * static_cast<double>(height) / effects[effect] / 1e6, effects[effect] / fill,
                    effects[effect] / blt);
    std::fflush(stdout);
    return true;
}

} // namespace

int main()
{
    const double start = Seconds();
    std::printf("Background effect fill times: RixEffectPainter::DrawEffect into a 32-bit DIB section selected\n"
                "into a memory DC, colours 0x%08lX 0x%08lX 0x%08lX, noise %d, blend %d.\n"
                "Each time is the best of %d rounds of at least %.0f ms. \"x FillRect\" and \"x BitBlt\" are the\n"
                "effect's time divided by that of one FillRect (solid brush) or one SRCCOPY BitBlt from another\n"
                "32-bit section of the same size, on the same DC in the same run.\n",
                static_cast<unsigned long>(kColour1), static_cast<unsigned long>(kColour2),
                static_cast<unsigned long>(kColour3), kNoise, kBlend, kRounds, kRoundSeconds * 1e3);
    std::fflush(stdout);
    RixEffectPainter painter;
    bool ok = MeasureSize(painter, 1024, 768);
    ok = MeasureSize(painter, 400, 200) && ok;
    std::printf("\nTotal run %.1f s\n", Seconds() - start);
    return ok ? 0 : 1;
}
