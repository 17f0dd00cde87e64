// The style sheet: selectors (lower case) with their declaration text, kept verbatim and read again
// each time a rule is applied, so that "pt" and "em" follow the device of the pass.
#pragma once

#include "markup/MarkupValues.h"
#include "markup/TextStyle.h"

#include <map>
#include <string>
#include <string_view>

// The sheet every renderer starts with.
extern const char kDefaultStyleSheet[];

class RixStyleSheet {
public:
    RixStyleSheet() = default;

    // Clears the sheet, then reads the text, or the default sheet when there is none.
    void Load(const char* pszText);
    // Stores (or replaces) one rule.
    void Store(std::string_view selector, std::string_view declarations);
    // The declaration text of a selector, or null.
    const std::string* Find(std::string_view selector) const;
    size_t Size() const { return m_rules.size(); }

    // Applies the rule of a selector (any case) to the style; an unknown selector changes nothing.
    void Apply(std::string_view selector, TextStyle& style, const RixValueContext& context) const;

private:
    void Parse(std::string_view text);

    std::map<std::string, std::string, std::less<>> m_rules;
};

// Applies a declaration text ("font-size: 10pt; color: red") to a style.
void ApplyDeclarations(std::string_view declarations, TextStyle& style, const RixValueContext& context);

std::string LowerAscii(std::string_view text);
