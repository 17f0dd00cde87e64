#include "MinimalRecords.h"

namespace biff {

namespace {

// Build and year of the writer, as Excel 97 gives them.
constexpr uint16_t kBuild = 0x0DBB;
constexpr uint16_t kYear = 0x07CC;

} // namespace

std::vector<uint8_t> BofBody(Version v, uint16_t kind)
{
    std::vector<uint8_t> b;
    Add16(b, v == Version::Biff8 ? kBiff8Version : kBiff5Version);
    Add16(b, kind);
    Add16(b, kBuild);
    Add16(b, kYear);
    if (v == Version::Biff8) {
        Add32(b, 0); // file history
        Add32(b, 6); // lowest version that can read it: Excel 97
    }
    return b;
}

std::vector<uint8_t> CodePageBody(Version v)
{
    std::vector<uint8_t> b;
    // BIFF8 text is UTF-16; older text is in the writer's code page, most often Western.
    Add16(b, v == Version::Biff8 ? 1200 : 1252);
    return b;
}

std::vector<uint8_t> DefaultFontBody(Version v)
{
    std::vector<uint8_t> b;
    Add16(b, 200); // height in twentieths of a point
    Add16(b, 0); // attributes
    Add16(b, 0x7FFF); // automatic colour
    Add16(b, 400); // normal weight
    Add16(b, 0); // no super- or subscript
    b.push_back(0); // no underline
    b.push_back(0); // family
    b.push_back(0); // character set
    b.push_back(0);
    const std::string name = "Arial";
    b.push_back(static_cast<uint8_t>(name.size()));
    if (v == Version::Biff8)
        b.push_back(0); // 8-bit characters
    b.insert(b.end(), name.begin(), name.end());
    return b;
}

std::vector<uint8_t> XfBody(Version v, bool style)
{
    std::vector<uint8_t> b;
    Add16(b, 0); // font 0
    Add16(b, 0); // General
    // Locked; a style format has no parent (0xFFF), a cell format has style format 0.
    Add16(b, style ? 0xFFF5 : 0x0001);
    b.push_back(0x20); // bottom-aligned
    if (v == Version::Biff8) {
        b.push_back(0); // no rotation
        b.push_back(0); // no indent
        b.push_back(style ? 0xF4 : 0x00); // which attributes a style leaves alone
        Add32(b, 0); // no borders
        Add32(b, 0);
        Add16(b, 0x20C0); // automatic pattern colours
    } else {
        b.push_back(style ? 0xF4 : 0x00);
        Add16(b, 0x20C0);
        Add16(b, 0);
        Add16(b, 0);
        Add16(b, 0);
    }
    return b;
}

std::vector<uint8_t> NormalStyleBody()
{
    return { 0x00, 0x80, 0x00, 0xFF };
}

std::vector<uint8_t> Window1Body()
{
    std::vector<uint8_t> b;
    Add16(b, 0x0168);
    Add16(b, 0x010E);
    Add16(b, 0x3A5C);
    Add16(b, 0x23BE);
    Add16(b, 0x0038); // scroll bars and sheet tabs shown
    Add16(b, 0); // first sheet active
    Add16(b, 0);
    Add16(b, 1);
    Add16(b, 600);
    return b;
}

std::vector<uint8_t> Window2Body(Version v, bool selected)
{
    std::vector<uint8_t> b;
    // Grid lines, headers, zeros, automatic grid colour, outline symbols; the first sheet is
    // selected and shown.
    Add16(b, selected ? 0x06B6 : 0x00B6);
    Add16(b, 0); // top row
    Add16(b, 0); // left column
    if (v == Version::Biff8) {
        Add16(b, 64); // grid colour
        Add16(b, 0);
        Add16(b, 0); // zoom in page break preview: default
        Add16(b, 0); // zoom: default
        Add32(b, 0);
    } else {
        Add32(b, 0);
    }
    return b;
}

std::vector<uint8_t> DimensionsBody(Version v, uint32_t firstRow, uint32_t endRow, uint16_t firstCol, uint16_t endCol)
{
    std::vector<uint8_t> b;
    if (v == Version::Biff8) {
        Add32(b, firstRow);
        Add32(b, endRow);
    } else {
        Add16(b, static_cast<uint16_t>(firstRow));
        Add16(b, static_cast<uint16_t>(endRow));
    }
    Add16(b, firstCol);
    Add16(b, endCol);
    Add16(b, 0);
    return b;
}

std::vector<uint8_t> BoundSheetBody(uint32_t offset, uint8_t visibility, const std::vector<uint8_t>& name)
{
    std::vector<uint8_t> b;
    Add32(b, offset);
    b.push_back(visibility);
    b.push_back(0); // a worksheet
    b.insert(b.end(), name.begin(), name.end());
    return b;
}

std::vector<uint8_t> SheetNameBytes(Version v, const std::string& name)
{
    std::vector<uint8_t> b;
    b.push_back(static_cast<uint8_t>(name.size()));
    if (v == Version::Biff8)
        b.push_back(0);
    b.insert(b.end(), name.begin(), name.end());
    return b;
}

std::wstring SheetNameText(Version v, const std::vector<uint8_t>& stored)
{
    std::wstring text;
    if (stored.empty())
        return text;
    const size_t count = stored[0];
    const bool wide = v == Version::Biff8 && stored.size() > 1 && (stored[1] & 1);
    const size_t start = v == Version::Biff8 ? 2 : 1;
    for (size_t i = 0; i < count; i++) {
        const size_t at = start + i * (wide ? 2 : 1);
        if (at + (wide ? 1 : 0) >= stored.size())
            break;
        const uint16_t c = wide ? Get16(stored.data() + at) : stored[at];
        text += c >= 0x20 ? static_cast<wchar_t>(c) : L'?';
    }
    return text;
}

} // namespace biff
