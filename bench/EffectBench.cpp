// Prints how long each background effect takes to fill a window-sized and a message-box-sized
// rectangle, next to the cheapest ways of covering the same rectangle on the same DC: one FillRect
// and one BitBlt. Figures only; nothing here passes or fails.
#include "Seconds.h"
#include "draw/DibSection.h"
#include "draw/PaletteColours.h"
#include "draw/RixEffectPainter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The message box's colours 1 and 2; colour 3 differs from colour 1 so that every gradient band has
// a colour of its own (the message box's colour 3 equals colour 1, which makes its gradients one
// colour).
constexpr COLORREF kColour1 = 0x0086FDF7;
constexpr COLORREF kColour2 = 0x00FFFFFF;
constexpr COLORREF kColour3 = 0x00602010;
constexpr int kNoise = 5;
constexpr int kBlend = 0;

// Every item is timed in kRounds rounds of at least kRoundSeconds each, the rounds of all items
// interleaved, so that a disturbance of the machine touches the effects and their floors alike.
constexpr double kRoundSeconds = 0.01;
constexpr int kRounds = 15;

const char* const kEffectNames[] = { "solid", "hgradient", "vgradient", "hcgradient", "vcgradient", "3hgradient",
    "3vgradient", "noise", "diagshade", "hshade", "vshade", "hbump", "vbump", "softbump", "hardbump", "metal" };

// One thing to time: its calls per round, and the seconds per call of each round.
struct Item {
    Item(std::string n, std::function<void()> d)
        : name(std::move(n))
        , draw(std::move(d))
    {
    }

    std::string name;
    std::function<void()> draw;
    int calls = 1;
    std::vector<double> perCall;

    double Min() const { return *std::min_element(perCall.begin(), perCall.end()); }
    double Median() const
    {
        std::vector<double> sorted = perCall;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

// Seconds for `calls` calls; GdiFlush makes sure batched drawing is finished inside the timed span.
double Time(const Item& item, int calls)
{
    const double start = Seconds();
    for (int i = 0; i < calls; ++i)
        item.draw();
    ::GdiFlush();
    return Seconds() - start;
}

void Calibrate(Item& item)
{
    Time(item, 1);
    int calls = 1;
    for (;;) {
        const double elapsed = Time(item, calls);
        if (elapsed >= kRoundSeconds / 4 || calls >= (1 << 20)) {
            item.calls = std::max(1, static_cast<int>(calls * kRoundSeconds / std::max(elapsed, 1e-9)));
            return;
        }
        calls *= 4;
    }
}

// Calibrates every item, then times them in interleaved rounds.
void Run(std::vector<Item>& items)
{
    for (Item& item : items)
        Calibrate(item);
    for (int round = 0; round < kRounds; ++round)
        for (Item& item : items)
            item.perCall.push_back(Time(item, item.calls) / item.calls);
}

// Where a patterned fill's time goes: building the indices, turning them into colours, and the
// copy to the target, each timed on its own beside the copy alone.
void Breakdown(RixEffectPainter& painter, HDC targetDC, HDC sourceDC, int width, int height)
{
    const RECT rect { 0, 0, width, height };
    PaletteDib built;
    BYTE* const block = built.Create(width, height, 8);
    std::vector<uint32_t> colours(static_cast<size_t>(width) * height);
    if (!block)
        return;
    for (int i = 0; i < width * height; ++i)
        built.GetBits()[i] = static_cast<BYTE>(i * 7);
    for (int i = 0; i < 256; ++i)
        built.SetPaletteEntry(i, static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2));
    uint32_t table[256];
    std::memcpy(table, built.GetColorTable(), sizeof table);

    std::vector<Item> items;
    items.push_back({ "BitBlt", [&] { ::BitBlt(targetDC, 0, 0, width, height, sourceDC, 0, 0, SRCCOPY); } });
    items.push_back({ "to colours", [&] {
                         rixcolours::Convert(built.GetBits(), built.GetStride(), colours.data(), width, height, table,
                             rixcolours::Best());
                     } });
    items.push_back({ "Draw", [&] { built.Draw(targetDC, 0, 0); } });
    // A vertical gradient's copies: a column 64 pixels wide, copied across.
    PaletteDib column;
    if (column.Create(std::min(64, width), height, 32))
        items.push_back({ "column copy", [&] { column.DrawAcross(targetDC, 0, 0, width); } });
    for (int effect = RIXFX_NOISE; effect <= RIXFX_METAL; ++effect)
        items.push_back({ kEffectNames[effect],
            [&, effect] { painter.BuildPattern(rect, effect, kNoise, kBlend, kColour1, kColour2, kColour3); } });
    Run(items);
    std::printf("  where the time goes: ms per call (min, median); \"to colours\" is the index-to-pixel step\n"
                "  of Draw alone, Draw is that and the copy; each effect is BuildPattern alone\n");
    for (const Item& item : items)
        std::printf("      %-11s %8.4f %10.4f  x BitBlt %6.2f %6.2f\n", item.name.c_str(), item.Min() * 1e3,
            item.Median() * 1e3, item.Min() / items[0].Min(), item.Median() / items[0].Median());
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
    const RECT rect { 0, 0, width, height };
    // Something other than one colour to copy.
    painter.DrawEffect(sourceDC, RIXFX_DIAGSHADE, rect, kColour1, kColour2, kColour3, kNoise, kBlend);

    std::vector<Item> items;
    items.push_back({ "FillRect", [&] { ::FillRect(targetDC, &rect, brush.get()); } });
    items.push_back({ "BitBlt", [&] { ::BitBlt(targetDC, 0, 0, width, height, sourceDC, 0, 0, SRCCOPY); } });
    // What any palettised pattern costs at least: a new buffer, one index per pixel, one transfer.
    PaletteDib floor;
    items.push_back({ "index+copy", [&] {
                         if (floor.Create(width, height, 8)) {
                             floor.Fill(128);
                             floor.Draw(targetDC, 0, 0);
                         }
                     } });
    for (int effect = 0; effect < 16; ++effect)
        items.push_back({ kEffectNames[effect], [&, effect] {
                             painter.DrawEffect(targetDC, effect, rect, kColour1, kColour2, kColour3, kNoise, kBlend);
                         } });
    Run(items);

    const Item& fill = items[0];
    const Item& blt = items[1];
    std::printf("\n%d x %d (%.2f Mpixel), ms per call, min and median of %d rounds\n", width, height,
        width * static_cast<double>(height) / 1e6, kRounds);
    std::printf("  nr  name          min ms  median ms  floor      x floor (min, median)  goal\n");
    for (size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const int effect = static_cast<int>(i) - 3;
        if (effect < 0) {
            std::printf("  --  %-11s %8.4f %10.4f\n", item.name.c_str(), item.Min() * 1e3, item.Median() * 1e3);
            continue;
        }
        // Gradients and the solid fill against a fill, the patterns against a copy of the same size.
        const bool patterned = effect >= RIXFX_NOISE;
        const Item& base = patterned ? blt : fill;
        const double goal = patterned ? 5.0 : 2.0;
        const double ratioMin = item.Min() / base.Min(), ratioMedian = item.Median() / base.Median();
        std::printf("  %2d  %-11s %8.4f %10.4f  %-8s %8.2f %8.2f       <= %.0f %s\n", effect, item.name.c_str(),
            item.Min() * 1e3, item.Median() * 1e3, base.name.c_str(), ratioMin, ratioMedian, goal,
            ratioMin <= goal ? (ratioMedian <= goal ? "met" : "met at min") : "OVER");
    }
    Breakdown(painter, targetDC, sourceDC, width, height);
    std::fflush(stdout);
    return true;
}

} // namespace

int main()
{
    const double start = Seconds();
    std::printf("Background effect fill times: RixEffectPainter::DrawEffect into a 32-bit DIB section selected\n"
                "into a memory DC, colours 0x%08lX 0x%08lX 0x%08lX, noise %d, blend %d.\n"
                "%d interleaved rounds of at least %.0f ms per item. \"x floor\" divides the effect's min by the\n"
                "floor's min and its median by the floor's median: the floor is one FillRect (solid brush) for\n"
                "the fills and gradients, one SRCCOPY BitBlt from another 32-bit section of the same size for\n"
                "the patterns, on the same DC in the same run. \"index+copy\" is a palettised buffer made,\n"
                "filled with one index and copied to the target.\n",
        static_cast<unsigned long>(kColour1), static_cast<unsigned long>(kColour2),
        static_cast<unsigned long>(kColour3), kNoise, kBlend, kRounds, kRoundSeconds * 1e3);
    std::fflush(stdout);
    RixEffectPainter painter;
    bool ok = MeasureSize(painter, 1024, 768);
    ok = MeasureSize(painter, 400, 200) && ok;
    std::printf("\nTotal run %.1f s\n", Seconds() - start);
    return ok ? 0 : 1;
}
