// The value parsers shared by the style sheet and the tag attributes: numbers, sizes and keywords.
// Sizes taken from a text are kept within kMaxMarkupSize, so that no value read from a text can
// overflow the layout arithmetic or ask the platform for absurd fonts and pens.
#pragma once

#include "markup/MarkupColours.h"

#include <string_view>

constexpr int kMaxMarkupSize = 100000;

// The classic font sizes that plain numbers 1 to 7 stand for in a font size.
constexpr int kClassicFontSizes[7] = { 8, 10, 12, 14, 18, 24, 36 };

// What values are read against: the device context of the pass (its resolution and its selected font
// give "pt", "em" and "ex") and the colour names and switch.
struct RixValueContext {
    HDC hDC = nullptr;
    RixColourContext colours;
    // Called before the selected font is read, for a caller that selects its fonts only when needed.
    void (*pfnSelectFont)(void* pData) = nullptr;
    void* pSelectFontData = nullptr;
};

// Digits in the given base from the start; reading stops at the first other character. Saturates.
unsigned long ParseUnsignedPrefix(std::string_view text, int base);
// A whole value with automatic base: "0x" hexadecimal, a leading "0" octal, otherwise decimal.
unsigned long ParseUnsignedAuto(std::string_view text);
// The leading decimal digits, 0 when there are none; saturates at kMaxMarkupSize.
int LeadingDecimal(std::string_view text);

// A pixel count. In font mode the plain numbers 1 to 7 are the classic font sizes.
int ParseSize(const RixValueContext& context, std::string_view value, int current, bool bFontMode);
// "thin", "medium", "thick" or a size.
int ParseWidthKeyword(const RixValueContext& context, std::string_view value, int current);
// "normal", "bold", "bolder", "lighter" or a number.
int ParseWeightKeyword(std::string_view value);
// "none", "solid", "dotted", "dashed", "double"; -1 for anything else.
int ParseBorderStyleKeyword(std::string_view value);
// "left", "center", "right"; -1 for anything else ("justify" too).
int ParseAlignKeyword(std::string_view value);
// "baseline", "middle"/"vcenter", "top", "bottom"; -1 for anything else.
int ParseVerticalAlignKeyword(std::string_view value);
