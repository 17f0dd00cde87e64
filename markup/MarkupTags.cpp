#include "markup/MarkupTags.h"

RixTagTable MakeTagTable()
{
    RixTagTable table {
        { "b", { RixTag::Bold, "bold" } },
        { "i", { RixTag::Italic, "italic" } },
        { "em", { RixTag::Italic, "italic" } },
        { "u", { RixTag::Underline, "underline" } },
        { "s", { RixTag::StrikeOut, "strikeout" } },
        { "strike", { RixTag::StrikeOut, "strikeout" } },
        { "font", { RixTag::Font, "font" } },
        { "left", { RixTag::AlignLeft, "left" } },
        { "center", { RixTag::AlignCenter, "center" } },
        { "right", { RixTag::AlignRight, "right" } },
        { "justify", { RixTag::AlignJustify, "justify" } },
        { "baseline", { RixTag::Baseline, "baseline" } },
        { "top", { RixTag::Top, "top" } },
        { "vcenter", { RixTag::VCenter, "vcenter" } },
        { "middle", { RixTag::VCenter, "vcenter" } },
        // Shares its level with "vcenter", as it always has.
        { "bottom", { RixTag::Bottom, "vcenter" } },
        { "span", { RixTag::Span, "span" } },
        { "a", { RixTag::Link, "link" } },
        { "hr", { RixTag::Rule, "" } },
        { "br", { RixTag::Break, "" } },
        { "\n", { RixTag::Break, "" } },
        { "t", { RixTag::Tab, "" } },
        { "\t", { RixTag::Tab, "" } },
        { "bmp", { RixTag::Bitmap, "" } },
        { "icon", { RixTag::Icon, "" } },
        { "ilst", { RixTag::ImageStrip, "" } },
        { "string", { RixTag::String, "" } },
    };
    for (const char* name : { "body", "h1", "h2", "h3", "h4", "h5", "h6", "code", "pre", "big", "small", "sub", "sup" })
        table.emplace(name, RixTagInfo { RixTag::SheetRule, name });
    return table;
}
