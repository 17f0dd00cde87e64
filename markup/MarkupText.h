// The markup as text: entity replacement and newline conversion, the tokenizer that cuts a text into
// runs and tags, and the attribute reader of a tag's parameter text.
#pragma once

#include "framework/Platform.h"

#include <map>
#include <string>
#include <string_view>

using RixEntityTable = std::map<std::string, std::string, std::less<>>;

// The 13 entities, in byte-wise order of their names. The euro sign is the code page's own: the byte
// (or bytes) the text is drawn with are read as that code page, and the euro has no one byte that
// means it in every code page. Where the code page has no euro at all, the entity reads "EUR".
RixEntityTable MakeEntityTable(UINT nCodePage = CP_ACP);

// Replaces every entity throughout the text, one entity after the other in the table's order; drops
// carriage returns; turns line feeds and tabs into "<br>" and "<t>", or drops them.
std::string PrepareMarkupText(std::string_view text, const RixEntityTable& entities, bool bConvertNewlines);

// One step of the tokenizer: the text run up to the next tag (a doubled "<", or one at the very end,
// is a literal "<" of the run), then the tag's text. bHasTag is false when the text ended instead.
struct MarkupToken {
    std::string strRun;
    std::string_view tagText;
    bool bHasTag = false;
};
MarkupToken NextMarkupToken(std::string_view text, size_t& pos);

// Where the first ">" after a position is, for positions that only move forward: a text of many "<"
// without a ">" is searched through once, not once per "<".
class RixCloseFinder {
public:
    explicit RixCloseFinder(std::string_view text)
        : m_text(text)
    {
    }
    // The first ">" after pos, or npos.
    size_t After(size_t pos);

private:
    std::string_view m_text;
    // The search from m_nFrom found m_nFound, which answers every later search up to it.
    size_t m_nFrom = std::string_view::npos;
    size_t m_nFound = std::string_view::npos;
};

// The tokenizer over one text, its steps together taking time in proportion to the text.
class RixMarkupTokenizer {
public:
    explicit RixMarkupTokenizer(std::string_view text)
        : m_text(text)
        , m_close(text)
    {
    }
    bool AtEnd() const { return m_nPos >= m_text.size(); }
    size_t Position() const { return m_nPos; }
    MarkupToken Next();

private:
    std::string_view m_text;
    size_t m_nPos = 0;
    RixCloseFinder m_close;
};

// A tag text split into its name and parameter text; a leading "/" marks a closing tag.
struct MarkupTagText {
    std::string_view name;
    std::string_view params;
    bool bClosing = false;
};
MarkupTagText SplitTagText(std::string_view tagText);

// Reads the next attribute of a parameter text; false when there is none left.
bool NextMarkupAttribute(std::string_view params, size_t& pos, std::string_view& name, std::string_view& value);
