// The tags of the markup: what each name does and, for style tags, the style level it saves on the
// style stack (and that its closing tag must match).
#pragma once

#include <map>
#include <string>
#include <string_view>

enum class RixTag {
    Bold,
    Italic,
    Underline,
    StrikeOut,
    Font,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    Baseline,
    Top,
    VCenter,
    Bottom,
    SheetRule, // applies the style-sheet rule named by the tag
    Span,
    Link,
    Rule,
    Break,
    Tab,
    Bitmap,
    Icon,
    ImageStrip,
    String,
};

struct RixTagInfo {
    RixTag tag;
    // Empty for object tags.
    std::string level;
    bool IsStyleTag() const { return !level.empty(); }
};

using RixTagTable = std::map<std::string, RixTagInfo, std::less<>>;

// The 40 tags, matched byte-exactly ("B" is not "b").
RixTagTable MakeTagTable();
