// The colour names of the markup and its style sheet, and the colour parser.
#pragma once

#include "framework/Platform.h"

#include <map>
#include <string>
#include <string_view>

class RixColourTable {
public:
    // Reads the system colours now: a later change of system colours is not seen by this table.
    RixColourTable();

    // The colour of an exact (case-sensitive) name.
    bool Find(std::string_view name, COLORREF& color) const;
    size_t Size() const { return m_colours.size(); }

private:
    std::map<std::string, COLORREF, std::less<>> m_colours;
};

// What a colour value is read against: the names, and whether colours are switched off (then every
// colour set becomes the disabled colour).
struct RixColourContext {
    const RixColourTable* pTable = nullptr;
    bool bNormalColours = true;
    COLORREF crDisabled = 0;
};

// The colour of a name, or the fallback when the name is unknown.
COLORREF LookUpColour(const RixColourContext& context, std::string_view name, COLORREF fallback);

// "#RRGGBB", a number (automatic base) or a name; the fallback for an empty or unreadable value.
COLORREF ParseColour(const RixColourContext& context, std::string_view value, COLORREF fallback);
