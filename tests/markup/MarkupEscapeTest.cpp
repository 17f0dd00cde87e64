// A user's name inside markup is drawn as its characters: never a tag, never an entity.
#include "markup/MarkupEscape.h"
#include "Dib.h"
#include "markup/MarkupTags.h"
#include "markup/MarkupText.h"
#include "markup/RixMarkupRenderer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What the renderer makes of a text: its runs put together, and the names of the tags it found.
struct Read {
    std::string text;
    std::string tags;
};

Read ReadAsMarkup(const std::string& markup)
{
    const std::string prepared = PrepareMarkupText(markup, MakeEntityTable(), true);
    Read read;
    size_t pos = 0;
    while (pos < prepared.size()) {
        MarkupToken token = NextMarkupToken(prepared, pos);
        read.text += token.strRun;
        if (token.bHasTag)
            read.tags += std::string(SplitTagText(token.tagText).name) + ";";
    }
    return read;
}

} // namespace

TEST(MarkupEscape, NamesReadBackAsTheirCharacters)
{
    struct Case {
        std::wstring name;
        std::string shown; // in the ANSI code page (1252 in the tests)
    } cases[] = {
        { L"Book1.xls", "Book1.xls" },
        { L"<b>bold</b>.xls", "<b>bold</b>.xls" },
        { L"a<<b.xls", "a<<b.xls" },
        { L"<", "<" },
        { L"x<", "x<" },
        { L"Tom & Jerry.xls", "Tom & Jerry.xls" },
        { L"&lt;&gt;&amp;&quot;&nbsp;.xls", "&lt;&gt;&amp;&quot;&nbsp;.xls" },
        { L"&amp;lt;.xls", "&amp;lt;.xls" },
        { L"&&lt;;", "&&lt;;" },
        { L"&trade;&euro;&copy;&reg;&para;&pound;&bull;&iquest;",
            "&trade;&euro;&copy;&reg;&para;&pound;&bull;&iquest;" },
        { L"<br><t><hr><img src=x>", "<br><t><hr><img src=x>" },
        { L"a>b.xls", "a>b.xls" },
        { L"100% ; it's.xls", "100% ; it's.xls" },
        { L"Café.xls", "Caf\xE9.xls" },
        // Letters the code page lacks show as "?", never as a look-alike of a separator.
        { L"Отчёт \U0001F600.xls", "????? ?.xls" },
        { L"a\uFF0Fb\uFF1Cc.xls", "a?b?c.xls" },
    };
    for (const Case& c : cases) {
        const std::string escaped = MarkupEscapedName(c.name);
        const Read read = ReadAsMarkup(escaped);
        EXPECT_EQ(read.text, c.shown) << escaped;
        // Only the empty tags that keep an entity's name apart, which no table holds.
        EXPECT_EQ(read.tags.find_first_not_of(';'), std::string::npos) << escaped << " gave tags " << read.tags;
    }
}

TEST(MarkupEscape, ControlCharactersNeverBreakALine)
{
    const Read read = ReadAsMarkup(MarkupEscapedText("a\nb\tc\rd"));
    EXPECT_EQ(read.text, "a?b?c?d");
    EXPECT_EQ(read.tags, "");
}

// Drawn by the renderer: an escaped name gives the pixels of the same characters written with the
// markup's own entities, and a name that looks like a style changes no style.
TEST(MarkupEscape, DrawnAsTheSameCharactersWrittenWithEntities)
{
    struct Case {
        std::wstring name;
        const char* withEntities;
    } cases[] = {
        { L"<b>WWW</b>", "&lt;b&gt;WWW&lt;/b&gt;" },
        { L"<font color=red>R</font>&amp;", "&lt;font color=red&gt;R&lt;/font&gt;&amp;amp;" },
    };
    for (const Case& c : cases) {
        RixMarkupRenderer renderer;
        Dib escaped(400, 40), reference(400, 40);
        SIZE size {};
        for (auto [dib, markup] : { std::pair<Dib*, std::string> { &escaped, MarkupEscapedName(c.name) },
                 std::pair<Dib*, std::string> { &reference, c.withEntities } }) {
            dib->Fill(RGB(255, 255, 255));
            renderer.MeasureMarkup(dib->dc(), markup.c_str(), size);
            renderer.DrawMeasuredMarkup(dib->dc(), RECT { 0, 0, 400, 40 });
        }
        int differ = 0, inked = 0;
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 400; x++) {
                differ += escaped.Pixel(x, y) != reference.Pixel(x, y);
                inked += escaped.Pixel(x, y) != RGB(255, 255, 255);
            }
        EXPECT_EQ(differ, 0) << MarkupEscapedName(c.name);
        EXPECT_GT(inked, 20) << "the name was drawn";
    }
}
