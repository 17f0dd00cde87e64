#include "markup/MarkupText.h"

#include <algorithm>

namespace {

std::string EuroSign(UINT nCodePage)
{
    const wchar_t euro = 0x20AC;
    char bytes[8] = {};
    BOOL bDefaultUsed = FALSE;
    // UTF-7 and UTF-8 take no default-character flag; they always have a euro.
    const bool bUnicode = nCodePage == CP_UTF7 || nCodePage == CP_UTF8;
    const int length = ::WideCharToMultiByte(
        nCodePage, 0, &euro, 1, bytes, sizeof bytes, nullptr, bUnicode ? nullptr : &bDefaultUsed);
    if (length <= 0 || bDefaultUsed)
        return "EUR";
    return std::string(bytes, static_cast<size_t>(length));
}

} // namespace

RixEntityTable MakeEntityTable(UINT nCodePage)
{
    return RixEntityTable {
        { "&amp;", "&" },
        { "&bull;", "\x95" },
        { "&copy;", "\xA9" },
        { "&euro;", EuroSign(nCodePage) },
        { "&gt;", ">" },
        { "&iquest;", "\xBF" },
        // Doubled: the tokenizer reads "<<" as one literal bracket.
        { "&lt;", "<<" },
        { "&nbsp;", " " },
        { "&para;", "\xB6" },
        { "&pound;", "\xA3" },
        { "&quot;", "\"" },
        { "&reg;", "\xAE" },
        { "&trade;", "\x99" },
    };
}

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    size_t found = text.find(from);
    if (found == std::string::npos)
        return;
    std::string result;
    result.reserve(text.size());
    size_t pos = 0;
    while (found != std::string::npos) {
        result.append(text, pos, found - pos);
        result.append(to);
        pos = found + from.size();
        found = text.find(from, pos);
    }
    result.append(text, pos, std::string::npos);
    text.swap(result);
}

bool IsAttributeNameStart(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.';
}

} // namespace

std::string PrepareMarkupText(std::string_view source, const RixEntityTable& entities, bool bConvertNewlines)
{
    std::string text(source);
    if (text.find('&') != std::string::npos)
        for (const auto& [entity, replacement] : entities)
            ReplaceAll(text, entity, replacement);
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n' || c == '\t') {
            if (bConvertNewlines)
                result.append(c == '\n' ? "<br>" : "<t>");
            continue;
        }
        result.push_back(c);
    }
    return result;
}

size_t RixCloseFinder::After(size_t pos)
{
    const size_t from = pos + 1;
    const bool bKnown = m_nFrom != std::string_view::npos && from >= m_nFrom
        && (m_nFound == std::string_view::npos || m_nFound >= from);
    if (!bKnown) {
        m_nFrom = from;
        m_nFound = from < m_text.size() ? m_text.find('>', from) : std::string_view::npos;
    }
    return m_nFound;
}

namespace {

MarkupToken NextToken(std::string_view text, size_t& pos, RixCloseFinder& closeFinder)
{
    MarkupToken token;
    for (;;) {
        const size_t open = std::min(text.find('<', pos), text.size());
        token.strRun.append(text.substr(pos, open - pos));
        pos = open;
        if (pos >= text.size())
            return token;
        if (pos + 1 == text.size() || text[pos + 1] == '<') {
            token.strRun.push_back('<');
            pos = std::min(pos + 2, text.size());
            continue;
        }
        token.bHasTag = true;
        const size_t close = closeFinder.After(pos);
        if (close == std::string_view::npos) {
            // No end: the bracket is dropped and the rest is text.
            pos += 1;
        } else if (close == pos + 1) {
            // "<>": an empty tag, and the ">" starts the next run.
            pos += 1;
        } else {
            token.tagText = text.substr(pos + 1, close - pos - 1);
            pos = close + 1;
        }
        return token;
    }
}

} // namespace

MarkupToken NextMarkupToken(std::string_view text, size_t& pos)
{
    RixCloseFinder closeFinder(text);
    return NextToken(text, pos, closeFinder);
}

MarkupToken RixMarkupTokenizer::Next()
{
    return NextToken(m_text, m_nPos, m_close);
}

MarkupTagText SplitTagText(std::string_view tagText)
{
    MarkupTagText tag;
    const size_t split = std::min(tagText.find_first_of(" ="), tagText.size());
    tag.name = tagText.substr(0, split);
    tag.params = tagText.substr(split);
    while (!tag.params.empty() && tag.params[0] == ' ')
        tag.params.remove_prefix(1);
    if (!tag.name.empty() && tag.name[0] == '/') {
        tag.bClosing = true;
        tag.name.remove_prefix(1);
    }
    return tag;
}

bool NextMarkupAttribute(std::string_view params, size_t& pos, std::string_view& name, std::string_view& value)
{
    while (pos < params.size() && !IsAttributeNameStart(params[pos]))
        ++pos;
    if (pos >= params.size())
        return false;
    const size_t nameEnd = std::min(params.find_first_of(" =", pos), params.size());
    name = params.substr(pos, nameEnd - pos);
    pos = nameEnd;
    while (pos < params.size() && params[pos] == ' ')
        ++pos;
    value = {};
    if (pos >= params.size() || params[pos] != '=')
        return true;
    while (pos < params.size() && (params[pos] == ' ' || params[pos] == '='))
        ++pos;
    if (pos < params.size() && (params[pos] == '"' || params[pos] == '\'')) {
        const size_t close = std::min(params.find(params[pos], pos + 1), params.size());
        value = params.substr(pos + 1, close - pos - 1);
        pos = close + 1;
    } else {
        const size_t end = std::min(params.find(' ', pos), params.size());
        value = params.substr(pos, end - pos);
        pos = end + 1;
    }
    return true;
}
