// Prints how long the markup renderer takes: a typical message (measure and draw) next to DrawTextA
// with word breaks of the same words into the same rectangle, and texts of 10 KB and 100 KB of mixed
// markup, whose ratio shows whether any step grows faster than the text; and 1 MB of hostile markup
// next to 1 MB of plain words, which shows whether any text can make a pass slower than its length
// says. Figures only.
#include "Seconds.h"
#include "draw/DibSection.h"
#include "markup/RixMarkupRenderer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 9;
constexpr double kRoundSeconds = 0.05;

const char kMessage[] = "<b>The repair is done.</b><br>"
                        "<font color=#008000>12 workbooks</font> were repaired and <font color=red>1</font> "
                        "failed.<br><hr><br>See <a href=\"http://www.example.com/\">the home page</a> for help.";
const char kMessageWords[] = "The repair is done.\n12 workbooks were repaired and 1 failed.\n\n"
                             "See the home page for help.";

const char kMixed[] = "<h2>Section</h2><br>Plain words, <b>bold words</b>, <i>italic</i> and "
                      "<font color=#336699 size=3>coloured text</font> with &amp; entities &lt;here&gt;.<t>Tabbed "
                      "<a href=\"http://example.com/\">a link</a>, <u>underlined</u>, <center>centred</center> "
                      "and a rule:<hr width=50%>\n";

struct Figures {
    double min;
    double median;
};

// Calls per round so that one round of the call runs long enough for the timer.
int CallsPerRound(const std::function<void()>& call)
{
    call();
    int calls = 1;
    for (;;) {
        const double start = Seconds();
        for (int i = 0; i < calls; ++i)
            call();
        ::GdiFlush();
        const double elapsed = Seconds() - start;
        if (elapsed >= kRoundSeconds / 4 || calls >= (1 << 20))
            return std::max(1, static_cast<int>(calls * kRoundSeconds / std::max(elapsed, 1e-9)));
        calls *= 4;
    }
}

// Seconds per call of each of the calls. Their rounds take turns, so that a busy moment of the
// machine falls on all of them alike instead of on whichever happened to run then.
std::vector<Figures> TimePerCall(const std::vector<std::function<void()>>& calls)
{
    std::vector<int> counts;
    for (const auto& call : calls)
        counts.push_back(CallsPerRound(call));
    std::vector<std::vector<double>> rounds(calls.size());
    for (int round = 0; round < kRounds; ++round)
        for (size_t c = 0; c < calls.size(); ++c) {
            const double start = Seconds();
            for (int i = 0; i < counts[c]; ++i)
                calls[c]();
            ::GdiFlush();
            rounds[c].push_back((Seconds() - start) / counts[c]);
        }
    std::vector<Figures> figures;
    for (auto& times : rounds) {
        std::sort(times.begin(), times.end());
        figures.push_back(Figures { times.front(), times[times.size() / 2] });
    }
    return figures;
}

// A 10 x 10 table of short texts, and the same texts one by one.
std::vector<std::string> CellTexts()
{
    std::vector<std::string> texts;
    for (int row = 0; row < 10; ++row)
        for (int column = 0; column < 10; ++column) {
            char text[16];
            std::snprintf(text, sizeof text, "r%d c%d", row, column);
            texts.emplace_back(text);
        }
    return texts;
}

std::string TableText(const std::vector<std::string>& texts)
{
    std::string text = "<table>";
    for (size_t i = 0; i < texts.size(); ++i) {
        text.append(i % 10 == 0 ? "<tr><td>" : "<td>");
        text.append(texts[i]);
        text.append(i % 10 == 9 ? "</td></tr>" : "</td>");
    }
    text.append("</table>");
    return text;
}

std::string MixedText(size_t bytes)
{
    std::string text;
    while (text.size() < bytes)
        text += kMixed;
    return text;
}

// What a careless or hostile caller may pass: brackets that never close (in text and in table cells),
// style tags nested ever deeper and never closed, and many small tables with cells left open.
const char kHostile[] = "<b><i><u>Some words <a <a<a<font color=red>red <<x> and <td<td<tr <a"
                        "<table border=1><tr><td>cell</td><td colspan=3 bgcolor=yellow>x</td></tr>"
                        "<tr><td>y<td>z</table> ";
// The same amount of plain words.
const char kPlain[] = "Plain words of a long message that wraps at the width of its rectangle, line after line. ";

std::string Repeated(const char* unit, size_t bytes)
{
    std::string text;
    text.reserve(bytes + std::strlen(unit));
    while (text.size() < bytes)
        text += unit;
    return text;
}

} // namespace

int main()
{
    const DibSection32 target(640, 480);
    gdi::MemoryDC dc(nullptr);
    if (!target || !dc) {
        std::printf("could not create the bitmap or DC\n");
        return 1;
    }
    gdi::SelectGuard select(dc, target.get());
    RixMarkupRenderer renderer;
    renderer.SetWrapWidth(400);

    // The message, and DrawText of its words in the body font into the same rectangle.
    SIZE size {};
    renderer.MeasureMarkup(dc, kMessage, size);
    const RECT rect { 0, 0, size.cx, size.cy };
    gdi::Font font(::CreateFontA(
        10 * ::GetDeviceCaps(dc, LOGPIXELSY) / 72, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "verdana"));
    const std::vector<Figures> message = TimePerCall({
        [&] {
            SIZE measured {};
            renderer.MeasureMarkup(dc, kMessage, measured);
            renderer.DrawMeasuredMarkup(dc, rect);
        },
        [&] {
            gdi::SelectGuard selectFont(dc, font.get());
            RECT r = rect;
            ::DrawTextA(dc, kMessageWords, -1, &r, DT_WORDBREAK | DT_NOPREFIX);
        },
    });
    const Figures markup = message[0], drawText = message[1];
    std::printf("message %ld x %ld: markup min %.4f median %.4f ms; DrawText min %.4f median %.4f ms\n", size.cx,
        size.cy, markup.min * 1e3, markup.median * 1e3, drawText.min * 1e3, drawText.median * 1e3);

    // Mixed markup of two sizes, measured and drawn.
    const std::string small = MixedText(10 * 1024), large = MixedText(100 * 1024);
    const auto render = [&](const std::string& text) {
        SIZE measured {};
        renderer.MeasureMarkup(dc, text.c_str(), measured);
        renderer.DrawMeasuredMarkup(dc, RECT { 0, 0, 640, 480 });
    };
    const std::vector<Figures> texts = TimePerCall({ [&] { render(small); }, [&] { render(large); } });
    std::printf("mixed markup: 10 KB min %.3f median %.3f ms; 100 KB min %.3f median %.3f ms\n", texts[0].min * 1e3,
        texts[0].median * 1e3, texts[1].min * 1e3, texts[1].median * 1e3);

    // A table of short texts, and DrawText of the same texts into the same cells (inside their
    // padding, where the table draws them).
    const std::vector<std::string> cellTexts = CellTexts();
    const std::string table = TableText(cellTexts);
    renderer.SetWrapWidth(0);
    SIZE tableSize {};
    renderer.MeasureMarkup(dc, table.c_str(), tableSize);
    const RECT tableRect { 0, 0, tableSize.cx, tableSize.cy };
    renderer.DrawMeasuredMarkup(dc, tableRect);
    std::vector<RECT> cells;
    const TableLayout& layout = renderer.GetTableLayouts().at(0);
    for (int row = 0, top = 0; row < layout.nRows; top += layout.rowHeights[row++] + 1)
        for (int column = 0, left = 0; column < layout.nColumns; left += layout.columnWidths[column++] + 1)
            cells.push_back(
                RECT { left + 2, top + 2, left + layout.columnWidths[column] - 2, top + layout.rowHeights[row] - 2 });
    const std::vector<Figures> tables = TimePerCall({
        [&] {
            SIZE measured {};
            renderer.MeasureMarkup(dc, table.c_str(), measured);
            renderer.DrawMeasuredMarkup(dc, tableRect);
        },
        [&] {
            gdi::SelectGuard selectFont(dc, font.get());
            for (size_t i = 0; i < cells.size(); ++i) {
                RECT r = cells[i];
                ::DrawTextA(dc, cellTexts[i].c_str(), -1, &r, DT_NOPREFIX);
            }
        },
    });
    std::printf("table 10x10 %ld x %ld: markup min %.4f median %.4f ms; DrawText min %.4f median %.4f ms\n",
        tableSize.cx, tableSize.cy, tables[0].min * 1e3, tables[0].median * 1e3, tables[1].min * 1e3,
        tables[1].median * 1e3);

    // 1 MB of hostile markup against 1 MB of plain words: both measured and drawn the same way.
    renderer.SetWrapWidth(400);
    const std::string hostile = Repeated(kHostile, 1 << 20), plain = Repeated(kPlain, 1 << 20);
    const std::vector<Figures> megabyte = TimePerCall({ [&] { render(hostile); }, [&] { render(plain); } });
    std::printf("1 MB texts: hostile min %.1f median %.1f ms; plain min %.1f median %.1f ms\n", megabyte[0].min * 1e3,
        megabyte[0].median * 1e3, megabyte[1].min * 1e3, megabyte[1].median * 1e3);

    // The lines scripts read: medians.
    std::printf("markup message: %.3f ms, DrawText %.3f ms, ratio %.2f\n", markup.median * 1e3, drawText.median * 1e3,
        markup.median / drawText.median);
    std::printf("markup 10 KB: %.1f ms, 100 KB: %.1f ms, ratio %.1f\n", texts[0].median * 1e3, texts[1].median * 1e3,
        texts[1].median / texts[0].median);
    std::printf("markup table 10x10: %.3f ms, DrawText %.3f ms, ratio %.2f\n", tables[0].median * 1e3,
        tables[1].median * 1e3, tables[0].median / tables[1].median);
    std::printf("markup 1 MB hostile: %.1f ms, 1 MB plain: %.1f ms, ratio %.2f\n", megabyte[0].median * 1e3,
        megabyte[1].median * 1e3, megabyte[0].median / megabyte[1].median);
    return 0;
}
