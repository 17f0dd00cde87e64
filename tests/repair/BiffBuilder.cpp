#include "BiffBuilder.h"

#include "repair/ByteSource.h"
#include "repair/StreamFinder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

using biff::Add16;
using biff::Add32;

void AddDouble(std::vector<uint8_t>& v, double d)
{
    uint8_t bytes[8];
    std::memcpy(bytes, &d, 8);
    v.insert(v.end(), bytes, bytes + 8);
}

uint16_t G16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t G32(const uint8_t* p)
{
    return G16(p) | (uint32_t(G16(p + 2)) << 16);
}

// UTF-8 (as these sources are written) to UTF-16 and back.
std::wstring FromUtf8(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return wide;
}

std::string ToUtf8(const std::wstring& wide)
{
    std::string text(wide.size() * 3, '\0');
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
        static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

} // namespace

BiffBuilder::BiffBuilder(biff::Version v)
    : m_v(v)
{
}

uint64_t BiffBuilder::Record(uint16_t type, const std::vector<uint8_t>& body)
{
    const uint64_t pos = m_bytes.size();
    Add16(m_bytes, type);
    Add16(m_bytes, static_cast<uint16_t>(body.size()));
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
    if (m_keepRecords)
        records.push_back({ pos, type });
    return pos;
}

std::vector<uint8_t> BiffBuilder::XString(const std::string& text, bool shortLength) const
{
    // Text beyond ASCII (UTF-8 here) goes in UTF-16, as a writer stores it.
    const bool wide = m_v == biff::Version::Biff8
        && std::any_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
    const std::wstring units = wide ? FromUtf8(text) : std::wstring();
    const size_t count = wide ? units.size() : text.size();
    std::vector<uint8_t> s;
    if (shortLength)
        s.push_back(static_cast<uint8_t>(count));
    else
        Add16(s, static_cast<uint16_t>(count));
    if (m_v == biff::Version::Biff8)
        s.push_back(wide ? 1 : 0);
    if (!wide)
        s.insert(s.end(), text.begin(), text.end());
    for (wchar_t unit : units)
        Add16(s, static_cast<uint16_t>(unit));
    return s;
}

void BiffBuilder::Globals(
    const std::vector<std::string>& sheets, const std::vector<std::string>& strings, uint32_t chunk, uint32_t extraXfs)
{
    const bool b8 = m_v == biff::Version::Biff8;
    std::vector<uint8_t> bof;
    Add16(bof, b8 ? 0x0600 : 0x0500);
    Add16(bof, 0x0005);
    Add16(bof, 0x1234);
    Add16(bof, 0x07CD);
    if (b8) {
        Add32(bof, 0);
        Add32(bof, 6);
    }
    Record(biff::kBof, bof);
    Record(biff::kCodePage, { static_cast<uint8_t>(b8 ? 0xB0 : 0xE4), static_cast<uint8_t>(b8 ? 0x04 : 0x04) });
    Record(biff::kWindow1, std::vector<uint8_t>(18, 0));
    for (int i = 0; i < 4; i++) {
        std::vector<uint8_t> font = { 0xC8, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x90, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00 };
        const std::vector<uint8_t> name = XString("Tahoma", true);
        font.insert(font.end(), name.begin(), name.end());
        Record(biff::kFont, font);
    }
    for (uint32_t i = 0; i < 16 + extraXfs; i++) {
        std::vector<uint8_t> xf(b8 ? 20 : 16, 0);
        xf[2] = static_cast<uint8_t>(i == 2 ? 14 : 0); // format 14, a date, on the third
        const uint16_t flags = i < 15 ? 0xFFF5 : 0x0001;
        xf[4] = static_cast<uint8_t>(flags);
        xf[5] = static_cast<uint8_t>(flags >> 8);
        Record(biff::kXf, xf);
    }
    Record(biff::kStyle, { 0x00, 0x80, 0x00, 0xFF });
    for (const std::string& name : sheets) {
        std::vector<uint8_t> entry;
        Add32(entry, 0);
        entry.push_back(0);
        entry.push_back(0);
        const std::vector<uint8_t> stored = XString(name, true);
        entry.insert(entry.end(), stored.begin(), stored.end());
        m_entryOffsets.push_back(m_bytes.size() + biff::kHeaderSize);
        Record(biff::kBoundSheet, entry);
    }
    if (b8 && !strings.empty()) {
        // The table, split as writers split it: a string's header and first character together,
        // its characters across records with the width flag again.
        std::vector<std::vector<uint8_t>> bodies(1);
        std::vector<uint64_t> bodyStarts;
        Add32(bodies[0], static_cast<uint32_t>(strings.size()));
        Add32(bodies[0], static_cast<uint32_t>(strings.size()));
        std::vector<std::pair<size_t, size_t>> where; // (record, offset in body)
        for (const std::string& text : strings) {
            if (bodies.back().size() + 4 > chunk)
                bodies.emplace_back();
            where.push_back({ bodies.size() - 1, bodies.back().size() });
            Add16(bodies.back(), static_cast<uint16_t>(text.size()));
            bodies.back().push_back(0);
            size_t done = 0;
            while (done < text.size()) {
                if (bodies.back().size() == chunk) {
                    bodies.emplace_back();
                    bodies.back().push_back(0);
                }
                const size_t take = std::min(text.size() - done, chunk - bodies.back().size());
                bodies.back().insert(bodies.back().end(), text.begin() + done, text.begin() + done + take);
                done += take;
            }
        }
        for (size_t r = 0; r < bodies.size(); r++) {
            bodyStarts.push_back(m_bytes.size());
            Record(r == 0 ? biff::kSst : biff::kContinue, bodies[r]);
        }
        std::vector<uint8_t> index;
        Add16(index, 8);
        for (size_t i = 0; i < strings.size(); i++) {
            const uint64_t pos = bodyStarts[where[i].first] + biff::kHeaderSize + where[i].second;
            stringStarts.push_back(pos);
            if (i % 8 == 0) {
                Add32(index, static_cast<uint32_t>(pos));
                Add16(index, static_cast<uint16_t>(biff::kHeaderSize + where[i].second));
                Add16(index, 0);
            }
        }
        Record(biff::kExtSst, index);
    }
    Record(biff::kEof, {});
}

void BiffBuilder::BeginSheet(int sheet)
{
    const uint32_t at = static_cast<uint32_t>(m_bytes.size());
    std::memcpy(m_bytes.data() + m_entryOffsets.at(static_cast<size_t>(sheet)), &at, 4);
    sheetStarts.push_back(at);
    std::vector<uint8_t> bof;
    Add16(bof, m_v == biff::Version::Biff8 ? 0x0600 : 0x0500);
    Add16(bof, 0x0010);
    Add16(bof, 0x1234);
    Add16(bof, 0x07CD);
    if (m_v == biff::Version::Biff8) {
        Add32(bof, 0);
        Add32(bof, 6);
    }
    Record(biff::kBof, bof);
    Record(biff::kDimensions, std::vector<uint8_t>(m_v == biff::Version::Biff8 ? 14 : 10, 0));
}

void BiffBuilder::EndSheet()
{
    Record(biff::kWindow2, std::vector<uint8_t>(m_v == biff::Version::Biff8 ? 18 : 10, 0));
    Record(biff::kEof, {});
}

std::vector<uint8_t> BiffBuilder::Cell(uint16_t row, uint16_t col, uint16_t xf)
{
    std::vector<uint8_t> c;
    Add16(c, row);
    Add16(c, col);
    Add16(c, xf);
    return c;
}

uint64_t BiffBuilder::Number(uint16_t row, uint16_t col, double value, uint16_t xf)
{
    // Written in place: books of millions of numbers are built this way, and a body of its own
    // for each would cost a few heap blocks a number.
    const uint64_t pos = m_bytes.size();
    uint8_t record[18] = { static_cast<uint8_t>(biff::kNumber), static_cast<uint8_t>(biff::kNumber >> 8), 14, 0,
        static_cast<uint8_t>(row), static_cast<uint8_t>(row >> 8), static_cast<uint8_t>(col),
        static_cast<uint8_t>(col >> 8), static_cast<uint8_t>(xf), static_cast<uint8_t>(xf >> 8) };
    std::memcpy(record + 10, &value, 8);
    m_bytes.insert(m_bytes.end(), record, record + sizeof(record));
    if (m_keepRecords)
        records.push_back({ pos, biff::kNumber });
    return pos;
}

uint64_t BiffBuilder::Text(uint16_t row, uint16_t col, uint32_t string, uint16_t xf)
{
    std::vector<uint8_t> c = Cell(row, col, xf);
    Add32(c, string);
    return Record(biff::kLabelSst, c);
}

uint64_t BiffBuilder::Label(uint16_t row, uint16_t col, const std::string& text)
{
    std::vector<uint8_t> c = Cell(row, col, 15);
    const std::vector<uint8_t> s = XString(text, false);
    c.insert(c.end(), s.begin(), s.end());
    return Record(biff::kLabel, c);
}

uint64_t BiffBuilder::Bool(uint16_t row, uint16_t col, bool value)
{
    std::vector<uint8_t> c = Cell(row, col, 15);
    c.push_back(value ? 1 : 0);
    c.push_back(0);
    return Record(biff::kBoolErr, c);
}

uint64_t BiffBuilder::Formula(uint16_t row, uint16_t col, double value)
{
    std::vector<uint8_t> c = Cell(row, col, 15);
    AddDouble(c, value);
    Add16(c, 0);
    Add32(c, 0);
    // A1 + 1
    std::vector<uint8_t> tokens = { 0x24, 0x00, 0x00 };
    if (m_v == biff::Version::Biff8)
        Add16(tokens, 0xC000);
    else {
        tokens[2] = 0xC0;
        tokens.push_back(0);
    }
    tokens.insert(tokens.end(), { 0x1E, 0x01, 0x00, 0x03 });
    Add16(c, static_cast<uint16_t>(tokens.size()));
    c.insert(c.end(), tokens.begin(), tokens.end());
    return Record(biff::kFormula, c);
}

uint64_t BiffBuilder::SharedFormula(
    uint16_t row, uint16_t col, double value, uint16_t anchorRow, uint16_t anchorCol, bool withAnchor)
{
    std::vector<uint8_t> c = Cell(row, col, 15);
    AddDouble(c, value);
    Add16(c, 0x0008);
    Add32(c, 0);
    std::vector<uint8_t> tokens = { 0x01 };
    Add16(tokens, anchorRow);
    if (m_v == biff::Version::Biff8)
        Add16(tokens, anchorCol);
    else
        tokens.push_back(static_cast<uint8_t>(anchorCol));
    Add16(c, static_cast<uint16_t>(tokens.size()));
    c.insert(c.end(), tokens.begin(), tokens.end());
    const uint64_t pos = Record(biff::kFormula, c);
    if (withAnchor) {
        std::vector<uint8_t> shared;
        Add16(shared, anchorRow);
        Add16(shared, static_cast<uint16_t>(anchorRow + 10));
        shared.push_back(static_cast<uint8_t>(anchorCol));
        shared.push_back(static_cast<uint8_t>(anchorCol));
        shared.push_back(0);
        shared.push_back(2);
        Add16(shared, 3);
        shared.insert(shared.end(), { 0x1E, 0x02, 0x00 });
        Record(biff::kShrFmla, shared);
    }
    return pos;
}

uint64_t BiffBuilder::TextFormula(uint16_t row, uint16_t col, const std::string& text)
{
    std::vector<uint8_t> c = Cell(row, col, 15);
    c.insert(c.end(), { 0, 0, 0, 0, 0, 0, 0xFF, 0xFF });
    Add16(c, 0);
    Add32(c, 0);
    Add16(c, 3);
    c.insert(c.end(), { 0x1E, 0x05, 0x00 });
    const uint64_t pos = Record(biff::kFormula, c);
    Record(biff::kString, XString(text, false));
    return pos;
}

CfbImage BuildWorkbookFile(const std::vector<uint8_t>& stream, const std::string& name,
    const std::vector<std::pair<std::string, uint64_t>>& extras, const CfbLayout* layout)
{
    CfbLayout l = layout ? *layout : CfbLayout();
    l.root = { CfbStream(name, stream.size()) };
    for (const auto& extra : extras)
        l.root.push_back(CfbStream(extra.first, extra.second));
    CfbImage image = BuildCfb(l);
    PutStream(image, name, stream);
    return image;
}

void PutStream(CfbImage& image, const std::string& path, const std::vector<uint8_t>& bytes)
{
    // A mini sector at a time: both kinds of sector are made of them.
    for (uint64_t i = 0; i < bytes.size(); i += 64) {
        const uint64_t at = image.StreamByteOffset(path, i);
        const size_t count = static_cast<size_t>(std::min<uint64_t>(64, bytes.size() - i));
        std::memcpy(&image.bytes.at(at), bytes.data() + i, count);
    }
}

std::vector<uint8_t> NumbersWorkbook(uint64_t size)
{
    BiffBuilder b;
    b.KeepRecords(false);
    b.Reserve(size);
    b.Globals({ "Data" });
    b.BeginSheet(0);
    // Rows of 200 numbers, as many as fill the size (the end records take 40 bytes).
    for (uint32_t i = 0; b.Size() + 18 + 40 <= size; i++)
        b.Number(static_cast<uint16_t>(i / 200), static_cast<uint16_t>(i % 200), i * 0.25);
    b.EndSheet();
    return std::move(b).Bytes();
}

namespace {

struct Book {
    std::vector<uint8_t> stream;
    std::vector<std::pair<uint32_t, std::string>> sheets;
    std::vector<std::string> strings;
    uint32_t formats = 0;
    bool biff8 = true;
};

std::string Chars(const uint8_t* p, uint32_t count, bool wide)
{
    if (!wide)
        return std::string(reinterpret_cast<const char*>(p), count);
    std::wstring units;
    for (uint32_t i = 0; i < count; i++)
        units += static_cast<wchar_t>(p[2 * i] | p[2 * i + 1] << 8);
    return ToUtf8(units);
}

// The strings of a shared-string table, its records' bodies joined (`breaks`: where each
// CONTINUE record's body starts).
std::vector<std::string> TableStrings(const std::vector<uint8_t>& table, const std::vector<size_t>& breaks)
{
    std::vector<std::string> strings;
    if (table.size() < 8)
        return strings;
    const uint32_t unique = G32(&table[4]);
    size_t at = 8;
    for (uint32_t i = 0; i < unique && at + 3 <= table.size(); i++) {
        const uint16_t cch = G16(&table[at]);
        const uint8_t flags = table[at + 2];
        size_t p = at + 3 + ((flags & 8) ? 2 : 0) + ((flags & 4) ? 4 : 0);
        const uint16_t runs = (flags & 8) ? G16(&table[at + 3]) : 0;
        const uint32_t ext = (flags & 4) ? G32(&table[at + 3 + ((flags & 8) ? 2 : 0)]) : 0;
        bool wide = flags & 1;
        std::string text;
        for (uint32_t c = 0; c < cch && p < table.size(); c++) {
            if (c > 0 && std::find(breaks.begin(), breaks.end(), p) != breaks.end())
                wide = table[p++] & 1;
            text += static_cast<char>(table[p]);
            p += wide ? 2 : 1;
        }
        at = p + runs * 4u + ext;
        strings.push_back(text);
    }
    return strings;
}

Book Open(const std::vector<uint8_t>& file)
{
    Book book;
    MemoryBytes bytes(file);
    const FoundStream found = FindWorkbookStream(bytes);
    if (!found.found)
        return book;
    book.biff8 = found.version == biff::Version::Biff8;
    book.stream.resize(static_cast<size_t>(found.map.Length()));
    uint64_t at = 0;
    for (const StreamRun& run : found.map.Runs()) {
        bytes.ReadAt(run.fileOffset, book.stream.data() + at, static_cast<uint32_t>(run.length));
        at += run.length;
    }
    const std::vector<uint8_t>& s = book.stream;
    // The globals, up to their end.
    std::vector<uint8_t> table; // the shared strings' bytes, with each CONTINUE's start noted
    std::vector<size_t> breaks;
    bool inTable = false;
    for (size_t pos = 0; pos + 4 <= s.size();) {
        const uint16_t type = G16(&s[pos]);
        const uint16_t length = G16(&s[pos + 2]);
        const uint8_t* body = &s[pos + 4];
        if (type == biff::kEof)
            break;
        if (type == biff::kBoundSheet) {
            const uint32_t cch = body[6];
            const bool wide = book.biff8 && (body[7] & 1);
            book.sheets.push_back({ G32(body), Chars(body + (book.biff8 ? 8 : 7), cch, wide) });
        }
        if (type == biff::kXf)
            book.formats++;
        if (type == biff::kSst) {
            inTable = true;
            table.assign(body, body + length);
        } else if (type == biff::kContinue && inTable) {
            breaks.push_back(table.size());
            table.insert(table.end(), body, body + length);
        } else {
            inTable = false;
        }
        pos += 4 + length;
    }
    book.strings = TableStrings(table, breaks);
    return book;
}

std::string Number(double d)
{
    char text[40];
    std::snprintf(text, sizeof(text), "n:%.15g", d);
    return text;
}

double Rk(uint32_t rk)
{
    double d;
    if (rk & 2) {
        d = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        const uint64_t bits = uint64_t(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&d, &bits, 8);
    }
    return (rk & 1) ? d / 100 : d;
}

} // namespace

Cells ReadCells(const std::vector<uint8_t>& file)
{
    const Book book = Open(file);
    Cells cells;
    const std::vector<uint8_t>& s = book.stream;
    for (const auto& sheet : book.sheets) {
        int depth = 0;
        std::tuple<std::string, int, int> textFormula;
        bool pendingText = false;
        for (size_t pos = sheet.first; pos + 4 <= s.size();) {
            const uint16_t type = G16(&s[pos]);
            const uint16_t length = G16(&s[pos + 2]);
            const uint8_t* b = &s[pos + 4];
            pos += 4 + length;
            if (type == biff::kBof) {
                depth++;
                continue;
            }
            if (type == biff::kEof) {
                if (--depth == 0)
                    break;
                continue;
            }
            if (depth != 1)
                continue;
            const auto key = std::make_tuple(sheet.second, int(G16(b)), int(G16(b + 2)));
            switch (type) {
            case biff::kNumber: {
                double d;
                std::memcpy(&d, b + 6, 8);
                cells[key] = Number(d);
                break;
            }
            case biff::kRk:
                cells[key] = Number(Rk(G32(b + 6)));
                break;
            case biff::kMulRk:
                for (uint32_t c = G16(b + 2), at = 4; at + 6 <= length - 2u; at += 6, c++)
                    cells[std::make_tuple(sheet.second, int(G16(b)), int(c))] = Number(Rk(G32(b + at + 2)));
                break;
            case biff::kLabelSst: {
                const uint32_t index = G32(b + 6);
                cells[key] = "s:" + (index < book.strings.size() ? book.strings[index] : std::string("?"));
                break;
            }
            case biff::kLabel:
                cells[key] = "s:" + Chars(b + (book.biff8 ? 9 : 8), G16(b + 6), book.biff8 && (b[8] & 1));
                break;
            case biff::kBoolErr:
                cells[key] = std::string(b[7] ? "e:" : "b:") + std::to_string(b[6]);
                break;
            case biff::kFormula:
                if (G16(b + 12) != 0xFFFF) {
                    double d;
                    std::memcpy(&d, b + 6, 8);
                    cells[key] = "f" + Number(d);
                } else if (b[6] == 0) {
                    textFormula = key;
                    pendingText = true;
                } else if (b[6] == 3) {
                    cells[key] = "fs:";
                } else {
                    cells[key] = std::string(b[6] == 2 ? "fe:" : "fb:") + std::to_string(b[8]);
                }
                break;
            case biff::kString:
                if (pendingText)
                    cells[textFormula] = "fs:" + Chars(b + (book.biff8 ? 3 : 2), G16(b), book.biff8 && (b[2] & 1));
                pendingText = false;
                break;
            default:
                break;
            }
        }
    }
    return cells;
}

std::vector<std::string> SheetNames(const std::vector<uint8_t>& file)
{
    std::vector<std::string> names;
    for (const auto& sheet : Open(file).sheets)
        names.push_back(sheet.second);
    return names;
}

std::vector<std::string> SstStrings(const std::vector<uint8_t>& records)
{
    std::vector<uint8_t> table;
    std::vector<size_t> breaks;
    for (size_t pos = 0; pos + 4 <= records.size();) {
        const uint16_t type = G16(&records[pos]);
        const uint16_t length = G16(&records[pos + 2]);
        if (type != biff::kSst && type != biff::kContinue)
            break;
        if (type == biff::kContinue)
            breaks.push_back(table.size());
        table.insert(table.end(), records.begin() + static_cast<ptrdiff_t>(pos + 4),
            records.begin() + static_cast<ptrdiff_t>(pos + 4 + length));
        pos += 4 + length;
    }
    return TableStrings(table, breaks);
}

uint32_t FormatCount(const std::vector<uint8_t>& file)
{
    return Open(file).formats;
}
