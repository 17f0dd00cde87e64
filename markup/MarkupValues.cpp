#include "markup/MarkupValues.h"

#include <algorithm>

namespace {

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

bool EndsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

int ClampSize(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, 0, kMaxMarkupSize));
}

} // namespace

unsigned long ParseUnsignedPrefix(std::string_view text, int base)
{
    unsigned long long value = 0;
    for (char c : text) {
        const int digit = DigitValue(c);
        if (digit >= base)
            break;
        value = std::min<unsigned long long>(value * base + digit, 0xFFFFFFFFull);
    }
    return static_cast<unsigned long>(value);
}

unsigned long ParseUnsignedAuto(std::string_view text)
{
    while (!text.empty() && (text[0] == ' ' || text[0] == '\t'))
        text.remove_prefix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && DigitValue(text[2]) < 16)
        return ParseUnsignedPrefix(text.substr(2), 16);
    if (!text.empty() && text[0] == '0')
        return ParseUnsignedPrefix(text, 8);
    return ParseUnsignedPrefix(text, 10);
}

int LeadingDecimal(std::string_view text)
{
    return ClampSize(static_cast<long long>(ParseUnsignedPrefix(text, 10)));
}

int ParseSize(const RixValueContext& context, std::string_view value, int current, bool bFontMode)
{
    if (value.empty())
        return current;
    if (value.back() == '%')
        return ClampSize(::MulDiv(current, LeadingDecimal(value), 100));
    // Relative sizes are not supported: the sign is read past.
    if (value[0] == '+' || value[0] == '-')
        value.remove_prefix(1);
    const long long n = LeadingDecimal(value);
    if (EndsWith(value, "px"))
        return ClampSize(n);
    if ((EndsWith(value, "ex") || EndsWith(value, "em")) && context.pfnSelectFont)
        context.pfnSelectFont(context.pSelectFontData);
    if (EndsWith(value, "ex")) {
        SIZE x {};
        if (context.hDC)
            ::GetTextExtentPoint32A(context.hDC, "x", 1, &x);
        return ClampSize(n * x.cy);
    }
    if (EndsWith(value, "em")) {
        TEXTMETRICA tm {};
        if (context.hDC)
            ::GetTextMetricsA(context.hDC, &tm);
        return ClampSize(n * tm.tmHeight);
    }
    const long long d = n * (context.hDC ? ::GetDeviceCaps(context.hDC, LOGPIXELSY) : 0);
    if (EndsWith(value, "in"))
        return ClampSize(d);
    if (EndsWith(value, "cm"))
        return ClampSize(static_cast<long long>(d * 0.39370078740157477));
    if (EndsWith(value, "mm"))
        return ClampSize(static_cast<long long>(d * 0.03937007874015748));
    if (EndsWith(value, "pt"))
        return ClampSize(d / 72);
    if (EndsWith(value, "pc"))
        return ClampSize(d / 6);
    const unsigned long plain = ParseUnsignedAuto(value);
    if (bFontMode && plain >= 1 && plain <= 7)
        return kClassicFontSizes[plain - 1];
    return ClampSize(static_cast<long long>(plain));
}

int ParseWidthKeyword(const RixValueContext& context, std::string_view value, int current)
{
    if (value == "thin")
        return ::MulDiv(75, current, 100);
    if (value == "thick")
        return ClampSize(::MulDiv(125, current, 100));
    if (value == "medium")
        return current;
    return ParseSize(context, value, current, false);
}

int ParseWeightKeyword(std::string_view value)
{
    if (value.empty() || value == "normal")
        return 400;
    if (value == "bold")
        return 700;
    if (value == "bolder")
        return 900;
    if (value == "lighter")
        return 100;
    return LeadingDecimal(value);
}

int ParseBorderStyleKeyword(std::string_view value)
{
    if (value.empty() || value == "none")
        return 0;
    if (value == "solid")
        return 1;
    if (value == "dashed")
        return 2;
    if (value == "dotted")
        return 3;
    if (value == "double")
        return 6;
    return -1;
}

int ParseAlignKeyword(std::string_view value)
{
    if (value.empty() || value == "left")
        return 0;
    if (value == "center")
        return 1;
    if (value == "right")
        return 2;
    return -1;
}

int ParseVerticalAlignKeyword(std::string_view value)
{
    if (value.empty() || value == "baseline")
        return 3;
    if (value == "middle" || value == "vcenter")
        return 1;
    if (value == "top")
        return 0;
    if (value == "bottom")
        return 2;
    return -1;
}
