// The records of an Excel binary workbook stream (BIFF5 and BIFF8) as the content check and the
// salvage read them: record numbers, size limits and little-endian fields.
#pragma once

#include <cstdint>
#include <vector>

namespace biff {

enum class Version { Biff5, Biff8 };

// Largest record body a writer may use.
constexpr uint32_t kMaxBody8 = 8224;
constexpr uint32_t kMaxBody5 = 2080;
constexpr uint32_t kHeaderSize = 4;

inline uint32_t MaxBody(Version v)
{
    return v == Version::Biff8 ? kMaxBody8 : kMaxBody5;
}

// Record numbers.
constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kFilePass = 0x002F;
constexpr uint16_t kFont = 0x0031;
constexpr uint16_t kFormat = 0x041E;
constexpr uint16_t kFormat5 = 0x001E;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kStyle = 0x0293;
constexpr uint16_t kWindow1 = 0x003D;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kExtSst = 0x00FF;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kName = 0x0018;
constexpr uint16_t kExternSheet = 0x0017;
constexpr uint16_t kExternName = 0x0023;
constexpr uint16_t kSupBook = 0x01AE;
constexpr uint16_t kMsoDrawingGroup = 0x00EB;
constexpr uint16_t kMsoDrawing = 0x00EC;
constexpr uint16_t kMsoDrawingSelection = 0x00ED;
constexpr uint16_t kObj = 0x005D;
constexpr uint16_t kTxo = 0x01B6;
constexpr uint16_t kImData = 0x007F;
constexpr uint16_t kBitmap = 0x00E9;
constexpr uint16_t kNote = 0x001C;
constexpr uint16_t kIndex = 0x020B;
constexpr uint16_t kDbCell = 0x00D7;
constexpr uint16_t kDimensions = 0x0200;
constexpr uint16_t kRow = 0x0208;
constexpr uint16_t kWindow2 = 0x023E;
constexpr uint16_t kColInfo = 0x007D;
constexpr uint16_t kMergedCells = 0x00E5;
constexpr uint16_t kNumber = 0x0203;
constexpr uint16_t kRk = 0x027E;
constexpr uint16_t kMulRk = 0x00BD;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kRString = 0x00D6;
constexpr uint16_t kBoolErr = 0x0205;
constexpr uint16_t kBlank = 0x0201;
constexpr uint16_t kMulBlank = 0x00BE;
constexpr uint16_t kFormula = 0x0006;
constexpr uint16_t kString = 0x0207;
constexpr uint16_t kShrFmla = 0x04BC;
constexpr uint16_t kArray = 0x0221;
constexpr uint16_t kTable = 0x0236;

// Substream kinds of a BOF record.
constexpr uint16_t kGlobals = 0x0005;
constexpr uint16_t kVbModule = 0x0006;
constexpr uint16_t kWorksheet = 0x0010;
constexpr uint16_t kChart = 0x0020;
constexpr uint16_t kMacroSheet = 0x0040;
constexpr uint16_t kWorkspace = 0x0100;

constexpr uint16_t kBiff8Version = 0x0600;
constexpr uint16_t kBiff5Version = 0x0500;

// Columns a sheet can have.
constexpr uint32_t kColumns = 256;
// Cells without a format of their own take this one: the first cell format after the 15 style formats.
constexpr uint16_t kDefaultCellXf = 15;
constexpr uint16_t kMinimumXfCount = 16;
// More formats than any writer keeps.
constexpr uint32_t kMaxXfCount = 4050;

inline uint16_t Get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

inline void Put16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void Add16(std::vector<uint8_t>& v, uint16_t value)
{
    v.push_back(static_cast<uint8_t>(value));
    v.push_back(static_cast<uint8_t>(value >> 8));
}

inline void Add32(std::vector<uint8_t>& v, uint32_t value)
{
    Add16(v, static_cast<uint16_t>(value));
    Add16(v, static_cast<uint16_t>(value >> 16));
}

// The substream kind of a BOF body, or 0 when the body is not a BOF of this version.
inline uint16_t BofKind(const uint8_t* body, uint32_t length, Version v)
{
    if (length < 4)
        return 0;
    const uint16_t version = Get16(body);
    // Workbooks of the later format carry BIFF5 sheets only as embedded objects, and the reverse
    // never occurs; either version number is accepted inside a stream.
    if (version != kBiff8Version && version != kBiff5Version && !(v == Version::Biff5 && version == 0))
        return 0;
    const uint16_t kind = Get16(body + 2);
    switch (kind) {
    case kGlobals:
    case kVbModule:
    case kWorksheet:
    case kChart:
    case kMacroSheet:
    case kWorkspace:
        return kind;
    default:
        return 0;
    }
}

} // namespace biff
