#include "MarkupEscape.h"

#include "../framework/PathText.h"
#include "MarkupText.h"

namespace {

// The tokenizer reads "< >" as a tag without a name, which is ignored: it ends a run and draws
// nothing.
constexpr std::string_view kEmptyTag = "< >";

// Entities are replaced over the whole prepared text, "&amp;" first, so a "&" followed by any
// entity's name would turn into that entity's character.
bool StartsAnEntity(std::string_view text, size_t at)
{
    static const RixEntityTable entities = MakeEntityTable();
    for (const auto& [entity, replacement] : entities)
        if (text.substr(at, entity.size()) == entity)
            return true;
    return false;
}

} // namespace

std::string MarkupEscapedText(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); i++) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            escaped.push_back('?');
        } else if (c == '<') {
            escaped.append("<<");
        } else if (c == '&' && StartsAnEntity(text, i)) {
            escaped.push_back('&');
            escaped.append(kEmptyTag);
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

std::string MarkupEscapedName(const std::wstring& name)
{
    return MarkupEscapedText(NarrowForDisplay(name));
}
