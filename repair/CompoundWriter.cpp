#include "CompoundWriter.h"

#include "BiffFormat.h"
#include "CfbFormat.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

using namespace cfb;

constexpr uint32_t kSector = 512;
constexpr uint32_t kPerSector = kSector / 4;
constexpr size_t kFlushAt = 1u << 20;

using biff::Put16;
using biff::Put32;

uint64_t Sectors(uint64_t bytes, uint64_t unit)
{
    return (bytes + unit - 1) / unit;
}

// Directory order: shorter names first, then by upper-case characters.
bool NameLess(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    for (size_t i = 0; i < a.size(); i++) {
        const char x = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 32) : a[i];
        const char y = (b[i] >= 'a' && b[i] <= 'z') ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y)
            return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
    }
    return false;
}

struct Entry {
    std::string name;
    uint8_t type = 2;
    uint8_t colour = 1; // black
    uint32_t left = kNoStream;
    uint32_t right = kNoStream;
    uint32_t child = kNoStream;
    uint32_t start = kEndOfChain;
    uint64_t size = 0;
};

void PutEntry(uint8_t* p, const Entry& e)
{
    std::memset(p, 0, kEntrySize);
    for (size_t i = 0; i < e.name.size() && i < 31; i++)
        Put16(p + i * 2, static_cast<uint8_t>(e.name[i]));
    Put16(p + 64, static_cast<uint16_t>((std::min<size_t>(e.name.size(), 31) + 1) * 2));
    p[66] = e.type;
    p[67] = e.colour;
    Put32(p + 68, e.left);
    Put32(p + 72, e.right);
    Put32(p + 76, e.child);
    Put32(p + 116, e.start);
    Put32(p + 120, static_cast<uint32_t>(e.size));
}

} // namespace

CompoundWriter::CompoundWriter(WritableBytes& target)
    : m_target(target)
{
}

bool CompoundWriter::WriteAt(uint64_t offset, const uint8_t* bytes, size_t count)
{
    if (count > 0 && !m_failed && !m_target.Write(offset, bytes, count))
        m_failed = true;
    return !m_failed;
}

bool CompoundWriter::Flush()
{
    if (!m_pending.empty()) {
        WriteAt(kSector + m_pendingAt, m_pending.data(), m_pending.size());
        m_pendingAt += m_pending.size();
        m_pending.clear();
    }
    return !m_failed;
}

bool CompoundWriter::Write(const uint8_t* bytes, size_t count)
{
    if (m_failed)
        return false;
    m_size += count;
    if (!m_inSectors) {
        m_head.insert(m_head.end(), bytes, bytes + count);
        if (m_head.size() >= kMiniStreamCutoff) {
            m_inSectors = true;
            m_pending = std::move(m_head);
            m_head.clear();
            m_pending.reserve(kFlushAt);
            m_pendingAt = 0;
        }
        return true;
    }
    // The file is written in large pieces: a few large writes cost the system much less than
    // many small ones. A piece as large as one goes to the file as it is, after what was held back.
    if (m_pending.size() + count > kFlushAt && !Flush())
        return false;
    if (count >= kFlushAt) {
        WriteAt(kSector + m_pendingAt, bytes, count);
        m_pendingAt += count;
        return !m_failed;
    }
    m_pending.insert(m_pending.end(), bytes, bytes + count);
    return true;
}

bool CompoundWriter::Patch(uint64_t pos, const uint8_t* bytes, size_t count)
{
    if (m_failed || pos > m_size || count > m_size - pos)
        return false;
    if (!m_inSectors) {
        std::memcpy(m_head.data() + pos, bytes, count);
        return true;
    }
    // The part already in the file, then the part still held back.
    const size_t early = static_cast<size_t>(pos < m_pendingAt ? std::min<uint64_t>(count, m_pendingAt - pos) : 0);
    if (early > 0 && !WriteAt(kSector + pos, bytes, early))
        return false;
    if (early < count)
        std::memcpy(m_pending.data() + (pos + early - m_pendingAt), bytes + early, count - early);
    return true;
}

void CompoundWriter::AddStream(const std::string& name, std::vector<uint8_t> bytes)
{
    m_extras.push_back({ name, std::move(bytes) });
}

bool CompoundWriter::Finish(const std::string& mainName)
{
    if (!Flush())
        return false;
    struct Stream {
        std::string name;
        const std::vector<uint8_t>* bytes; // null: the main stream, already in its sectors
        uint64_t size;
        uint32_t start = kEndOfChain;
    };
    std::vector<Stream> streams;
    streams.push_back({ mainName, m_inSectors ? nullptr : &m_head, m_size });
    for (const Extra& extra : m_extras)
        streams.push_back({ extra.name, &extra.bytes, extra.bytes.size() });

    // Sectors: the main stream's first, then the other large streams, the mini stream, its table
    // and the directory; then the allocation table and its index.
    uint64_t next = 0;
    auto place = [&](uint64_t count) {
        const uint32_t start = static_cast<uint32_t>(next);
        next += count;
        return start;
    };
    std::vector<uint8_t> mini;
    std::vector<uint32_t> miniFat;
    std::vector<std::pair<uint32_t, uint64_t>> runs; // sector runs that chain in order
    for (Stream& s : streams) {
        if (s.size == 0)
            continue;
        if (s.size >= kMiniStreamCutoff) {
            s.start = place(Sectors(s.size, kSector));
            runs.push_back({ s.start, Sectors(s.size, kSector) });
            continue;
        }
        s.start = static_cast<uint32_t>(mini.size() / kMiniSectorSize);
        const uint64_t count = Sectors(s.size, kMiniSectorSize);
        for (uint64_t i = 0; i < count; i++)
            miniFat.push_back(i + 1 < count ? static_cast<uint32_t>(s.start + i + 1) : kEndOfChain);
        mini.insert(mini.end(), s.bytes->begin(), s.bytes->end());
        mini.resize(static_cast<size_t>(Sectors(mini.size(), kMiniSectorSize) * kMiniSectorSize), 0);
    }
    const uint64_t miniSectors = Sectors(mini.size(), kSector);
    const uint32_t miniStart = mini.empty() ? kEndOfChain : place(miniSectors);
    if (!mini.empty())
        runs.push_back({ miniStart, miniSectors });
    const uint64_t miniFatSectors = Sectors(miniFat.size() * 4, kSector);
    const uint32_t miniFatStart = miniFat.empty() ? kEndOfChain : place(miniFatSectors);
    if (!miniFat.empty())
        runs.push_back({ miniFatStart, miniFatSectors });
    const uint64_t entries = 1 + streams.size();
    const uint64_t directorySectors = Sectors(entries * kEntrySize, kSector);
    const uint32_t directoryStart = place(directorySectors);
    runs.push_back({ directoryStart, directorySectors });
    uint64_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        const uint64_t total = next + fatSectors + difatSectors;
        const uint64_t needFat = Sectors(total, kPerSector);
        const uint64_t needDifat = needFat > kHeaderDifatEntries ? Sectors(needFat - kHeaderDifatEntries, kPerSector - 1) : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const uint32_t fatStart = place(fatSectors);
    const uint32_t difatStart = difatSectors ? place(difatSectors) : kEndOfChain;

    // The main stream's last sector is filled out, so that every sector is whole.
    if (m_inSectors && m_size % kSector != 0) {
        const std::vector<uint8_t> pad(kSector - m_size % kSector, 0);
        WriteAt(kSector + m_size, pad.data(), pad.size());
    }
    for (const Stream& s : streams) {
        if (s.bytes && s.size >= kMiniStreamCutoff) {
            std::vector<uint8_t> data(*s.bytes);
            data.resize(static_cast<size_t>(Sectors(data.size(), kSector) * kSector), 0);
            WriteAt(kSector * (uint64_t(s.start) + 1), data.data(), data.size());
        }
    }
    if (!mini.empty()) {
        mini.resize(static_cast<size_t>(miniSectors * kSector), 0);
        WriteAt(kSector * (uint64_t(miniStart) + 1), mini.data(), mini.size());
    }
    if (!miniFat.empty()) {
        std::vector<uint8_t> table(static_cast<size_t>(miniFatSectors * kSector), 0xFF);
        for (size_t i = 0; i < miniFat.size(); i++)
            Put32(table.data() + i * 4, miniFat[i]);
        WriteAt(kSector * (uint64_t(miniFatStart) + 1), table.data(), table.size());
    }

    // The directory: the root, then the streams as a balanced tree in directory order, all black
    // but for an incomplete lowest level, which is red (so every path holds as many black entries).
    std::vector<Entry> dir(static_cast<size_t>(directorySectors * kSector / kEntrySize));
    dir[0].name = "Root Entry";
    dir[0].type = 5;
    dir[0].start = miniStart;
    dir[0].size = mini.empty() ? 0 : Sectors(mini.size(), kMiniSectorSize) * kMiniSectorSize;
    std::vector<uint32_t> order;
    for (size_t i = 0; i < streams.size(); i++) {
        Entry& e = dir[i + 1];
        e.name = streams[i].name;
        e.start = streams[i].start;
        e.size = streams[i].size;
        order.push_back(static_cast<uint32_t>(i + 1));
    }
    for (size_t i = streams.size() + 1; i < dir.size(); i++) {
        dir[i].type = 0;
        dir[i].colour = 0;
        dir[i].start = 0;
    }
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return NameLess(dir[a].name, dir[b].name); });
    int height = 0;
    while ((size_t(1) << height) - 1 < order.size())
        height++;
    const bool perfect = (size_t(1) << height) - 1 == order.size();
    std::function<uint32_t(size_t, size_t, int)> build = [&](size_t lo, size_t hi, int depth) -> uint32_t {
        if (lo >= hi)
            return kNoStream;
        const size_t mid = (lo + hi) / 2;
        Entry& e = dir[order[mid]];
        e.colour = (!perfect && depth == height - 1) ? 0 : 1;
        e.left = build(lo, mid, depth + 1);
        e.right = build(mid + 1, hi, depth + 1);
        return order[mid];
    };
    dir[0].child = build(0, order.size(), 0);
    std::vector<uint8_t> directory(dir.size() * kEntrySize);
    for (size_t i = 0; i < dir.size(); i++)
        PutEntry(directory.data() + i * kEntrySize, dir[i]);
    WriteAt(kSector * (uint64_t(directoryStart) + 1), directory.data(), directory.size());

    // The allocation table, a table sector at a time.
    std::vector<uint32_t> fat(static_cast<size_t>(fatSectors * kPerSector), kFreeSect);
    for (const auto& run : runs) {
        for (uint64_t i = 0; i < run.second; i++)
            fat[run.first + i] = i + 1 < run.second ? static_cast<uint32_t>(run.first + i + 1) : kEndOfChain;
    }
    for (uint64_t i = 0; i < fatSectors; i++)
        fat[fatStart + i] = kFatSect;
    for (uint64_t i = 0; i < difatSectors; i++)
        fat[difatStart + i] = kDifSect;
    // Its sectors lie together: written in large pieces, not a sector at a time.
    constexpr uint64_t kTablePiece = kFlushAt / kSector;
    std::vector<uint8_t> table;
    for (uint64_t k = 0; k < fatSectors && !m_failed; k += kTablePiece) {
        const uint64_t count = std::min(kTablePiece, fatSectors - k);
        table.resize(static_cast<size_t>(count * kSector));
        for (size_t j = 0; j < count * kPerSector; j++)
            Put32(table.data() + j * 4, fat[static_cast<size_t>(k * kPerSector + j)]);
        WriteAt(kSector * (fatStart + k + 1), table.data(), table.size());
    }
    std::vector<uint8_t> sector(kSector);
    for (uint64_t k = 0; k < difatSectors && !m_failed; k++) {
        std::fill(sector.begin(), sector.end(), 0xFF);
        for (uint32_t j = 0; j + 1 < kPerSector; j++) {
            const uint64_t index = kHeaderDifatEntries + k * (kPerSector - 1) + j;
            if (index < fatSectors)
                Put32(sector.data() + j * 4, static_cast<uint32_t>(fatStart + index));
        }
        Put32(sector.data() + (kPerSector - 1) * 4,
            k + 1 < difatSectors ? static_cast<uint32_t>(difatStart + k + 1) : kEndOfChain);
        WriteAt(kSector * (difatStart + k + 1), sector.data(), kSector);
    }

    uint8_t header[kHeaderSize];
    std::memset(header, 0, sizeof(header));
    std::memcpy(header, kSignature, sizeof(kSignature));
    Put16(header + 24, 0x003E);
    Put16(header + 26, 3);
    Put16(header + 28, 0xFFFE);
    Put16(header + 30, 9);
    Put16(header + 32, 6);
    Put32(header + 44, static_cast<uint32_t>(fatSectors));
    Put32(header + 48, directoryStart);
    Put32(header + 56, kMiniStreamCutoff);
    Put32(header + 60, miniFatStart);
    Put32(header + 64, static_cast<uint32_t>(miniFatSectors));
    Put32(header + 68, difatStart);
    Put32(header + 72, static_cast<uint32_t>(difatSectors));
    for (uint32_t i = 0; i < kHeaderDifatEntries; i++)
        Put32(header + 76 + i * 4, i < fatSectors ? static_cast<uint32_t>(fatStart + i) : kFreeSect);
    WriteAt(0, header, sizeof(header));
    return !m_failed;
}
