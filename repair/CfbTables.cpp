#include "CfbTables.h"

#include "CfbFormat.h"

#include <algorithm>
#include <cstring>

namespace cfb {

namespace {

constexpr uint8_t kTypeStorage = 1;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;
// Sectors read at once when the whole file is searched.
constexpr uint32_t kBatch = 64 * 1024;

bool SaneEntry(const uint8_t* entry)
{
    const uint16_t nameBytes = Get16(entry + 64);
    const uint8_t type = entry[66];
    if (type == 0)
        return true;
    if (type != kTypeStorage && type != kTypeStream && type != kTypeRoot)
        return false;
    return nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0;
}

// The first entry of a directory: the root storage, whatever its name.
bool LooksLikeRoot(const uint8_t* entry)
{
    return entry[66] == kTypeRoot && SaneEntry(entry);
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

} // namespace

CfbTables::CfbTables(const ByteSource& file, const std::function<bool()>& cancelled)
    : m_file(file)
{
    ReadHeader();
    if (cancelled && cancelled())
        return;
    ReadFat(cancelled);
    if (cancelled && cancelled())
        return;
    ReadDirectory(cancelled);
    ReadMiniTables();
}

uint32_t CfbTables::SectorBytes(uint64_t sector) const
{
    const uint64_t offset = SectorOffset(sector);
    const uint64_t length = m_file.Length();
    return offset >= length ? 0 : static_cast<uint32_t>(std::min<uint64_t>(m_sectorSize, length - offset));
}

bool CfbTables::ReadSector(uint64_t sector, std::vector<uint8_t>& buffer) const
{
    buffer.assign(m_sectorSize, 0);
    const uint64_t offset = SectorOffset(sector);
    const uint64_t length = m_file.Length();
    if (offset >= length)
        return false;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(m_sectorSize, length - offset));
    return m_file.ReadAt(offset, buffer.data(), count);
}

void CfbTables::ReadHeader()
{
    const uint64_t length = m_file.Length();
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kHeaderSize, length));
    m_headerRead = count == kHeaderSize && m_file.ReadAt(0, m_header, count);
    if (m_headerRead && Get16(m_header + 26) == 4 && Get16(m_header + 30) == 12)
        m_sectorSize = 4096;
    m_sectors = length > m_sectorSize ? (length - m_sectorSize + m_sectorSize - 1) / m_sectorSize : 0;
    m_sectors = std::min<uint64_t>(m_sectors, uint64_t(kMaxRegSect) + 1);
    const uint32_t perSector = m_sectorSize / 4;
    const uint32_t fatCount = m_headerRead ? Get32(m_header + 44) : 0;
    // A cut file's table still names the sectors it lost; more than that is not believed.
    if (fatCount > 0 && fatCount <= m_sectors + kHeaderDifatEntries)
        m_maxSectors = std::max<uint64_t>(m_sectors, uint64_t(fatCount) * perSector);
    else
        m_maxSectors = 4 * m_sectors + perSector;
    m_tableSector.assign(static_cast<size_t>(m_sectors), 0);
}

void CfbTables::ReadFat(const std::function<bool()>& cancelled)
{
    m_fat.assign(static_cast<size_t>(m_sectors), kUnknown);
    m_pointed.assign(static_cast<size_t>(m_sectors), 0);
    if (!m_headerRead)
        return;
    const uint32_t perSector = m_sectorSize / 4;
    const uint64_t listLimit = (m_maxSectors + perSector - 1) / perSector;
    std::vector<uint32_t> list;
    for (uint32_t i = 0; i < kHeaderDifatEntries && list.size() < listLimit; i++) {
        const uint32_t value = Get32(m_header + 76 + i * 4);
        if (value > kMaxRegSect)
            break;
        list.push_back(value);
    }
    // The index's own sectors, as far as they are in the file.
    std::vector<uint8_t> buffer;
    uint32_t next = Get32(m_header + 68);
    const uint32_t difatCount = Get32(m_header + 72);
    std::vector<uint8_t> seen(static_cast<size_t>(m_sectors), 0);
    for (uint32_t k = 0; k < difatCount && next < m_sectors && !seen[next] && list.size() < listLimit; k++) {
        seen[next] = 1;
        m_tableSector[next] = 1;
        if (!ReadSector(next, buffer))
            break;
        for (uint32_t j = 0; j + 1 < perSector && list.size() < listLimit; j++) {
            const uint32_t value = Get32(buffer.data() + j * 4);
            if (value > kMaxRegSect)
                break;
            list.push_back(value);
        }
        next = Get32(buffer.data() + (perSector - 1) * 4);
    }
    // Table sectors that follow one another in the file are read together; one cut short by the
    // file's end is read as far as it goes.
    ListedSectorReader tableSectors(m_file, m_sectorSize);
    auto readTableSector = [&](size_t i, uint32_t sector) -> const uint8_t* {
        const uint8_t* bytes = tableSectors.Read(list, i);
        return bytes ? bytes : ReadSector(sector, buffer) ? buffer.data() : nullptr;
    };
    for (size_t i = 0; i < list.size(); i++) {
        if (cancelled && i % 256 == 0 && cancelled())
            return;
        const uint32_t sector = list[i];
        if (sector >= m_sectors)
            continue;
        m_tableSector[sector] = 1;
        const uint64_t base = uint64_t(i) * perSector;
        const uint8_t* table = base < m_sectors ? readTableSector(i, sector) : nullptr;
        if (!table)
            continue;
        // A lost table sector reads as zeros (every entry naming sector 0) or as foreign bytes.
        bool sound = false;
        for (uint32_t j = 0; j < perSector; j++) {
            const uint32_t value = Get32(table + j * 4);
            if (value != 0)
                sound = true;
            if (value >= m_maxSectors && value < kDifSect) {
                sound = false;
                break;
            }
        }
        if (!sound)
            continue;
        const uint64_t count = std::min<uint64_t>(perSector, m_sectors - base);
        for (uint64_t j = 0; j < count; j++)
            m_fat[static_cast<size_t>(base + j)] = Get32(table + j * 4);
        m_fatKnown = true;
    }
    for (uint32_t value : m_fat) {
        if (value < m_sectors)
            m_pointed[value] = 1;
    }
}

bool CfbTables::LoadDirectoryFrom(uint32_t start)
{
    std::vector<uint8_t> directory;
    std::vector<uint8_t> buffer;
    std::vector<uint8_t> seen(static_cast<size_t>(m_sectors), 0);
    uint64_t sector = start;
    // A chain longer than any workbook's directory is not one; what was read of it still counts.
    while (sector < m_sectors && !seen[static_cast<size_t>(sector)] && directory.size() < kMaxDirectoryBytes) {
        if (!ReadSector(sector, buffer))
            break;
        bool sane = true;
        for (uint32_t e = 0; e < m_sectorSize / kEntrySize && sane; e++)
            sane = SaneEntry(buffer.data() + e * kEntrySize);
        if (!sane || (directory.empty() && !LooksLikeRoot(buffer.data())))
            break;
        seen[static_cast<size_t>(sector)] = 1;
        directory.insert(directory.end(), buffer.begin(), buffer.end());
        const uint32_t next = Fat(sector);
        if (next == kEndOfChain)
            break;
        // Without the table, a directory goes on in the next sector only if that one looks like one.
        sector = next == kUnknown ? sector + 1 : next;
    }
    if (directory.empty())
        return false;
    const bool version4 = m_sectorSize == 4096;
    m_entries.clear();
    for (size_t at = 0; at + kEntrySize <= directory.size(); at += kEntrySize) {
        const uint8_t* entry = directory.data() + at;
        DirectoryEntry e;
        const uint32_t chars = std::min<uint32_t>(Get16(entry + 64), 64) / 2;
        for (uint32_t c = 0; c + 1 < chars; c++) {
            const uint16_t ch = Get16(entry + c * 2);
            e.name += ch < 0x80 ? static_cast<char>(ch) : '?';
        }
        e.type = entry[66];
        e.left = Get32(entry + 68);
        e.right = Get32(entry + 72);
        e.child = Get32(entry + 76);
        e.start = Get32(entry + 116);
        e.size = version4 ? Get64(entry + 120) : Get32(entry + 120);
        m_entries.push_back(e);
    }
    for (uint64_t s = 0; s < m_sectors; s++) {
        if (seen[static_cast<size_t>(s)])
            m_tableSector[static_cast<size_t>(s)] = 1;
    }
    return true;
}

void CfbTables::ReadDirectory(const std::function<bool()>& cancelled)
{
    if (m_headerRead && LoadDirectoryFrom(Get32(m_header + 48)))
        return;
    // The header's start is lost: the directory begins in a sector whose first entry is a root
    // storage. Sectors in use come first; a stale copy of a directory may lie in a free one.
    std::vector<uint32_t> inUse, others;
    std::vector<uint8_t> batch(kBatch);
    const uint32_t perBatch = kBatch / m_sectorSize;
    for (uint64_t first = 0; first < m_sectors; first += perBatch) {
        if (cancelled && cancelled())
            return;
        const uint64_t offset = SectorOffset(first);
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kBatch, m_file.Length() - offset));
        if (!m_file.ReadAt(offset, batch.data(), count))
            return;
        for (uint32_t i = 0; (i + 1) * m_sectorSize <= count; i++) {
            if (!LooksLikeRoot(batch.data() + size_t(i) * m_sectorSize))
                continue;
            const uint32_t sector = static_cast<uint32_t>(first + i);
            (Fat(sector) == kFreeSect ? others : inUse).push_back(sector);
        }
    }
    inUse.insert(inUse.end(), others.begin(), others.end());
    constexpr size_t kTries = 4;
    for (size_t i = 0; i < inUse.size() && i < kTries; i++) {
        if (LoadDirectoryFrom(inUse[i]) && (FindRootStream("Workbook") >= 0 || FindRootStream("Book") >= 0))
            return;
    }
    m_entries.clear();
}

int CfbTables::FindRootStream(const std::string& name) const
{
    if (m_entries.empty() || m_entries[0].type != kTypeRoot)
        return -1;
    const std::string wanted = Upper(name);
    std::vector<uint8_t> seen(m_entries.size(), 0);
    std::vector<uint32_t> pending = { m_entries[0].child };
    while (!pending.empty()) {
        const uint32_t index = pending.back();
        pending.pop_back();
        if (index >= m_entries.size() || seen[index])
            continue;
        seen[index] = 1;
        const DirectoryEntry& e = m_entries[index];
        if (e.type == kTypeStream && Upper(e.name) == wanted)
            return static_cast<int>(index);
        pending.push_back(e.left);
        pending.push_back(e.right);
    }
    // The tree's links may be what was damaged: any stream of that name, if there is only one.
    int found = -1;
    for (size_t i = 1; i < m_entries.size(); i++) {
        if (m_entries[i].type == kTypeStream && Upper(m_entries[i].name) == wanted) {
            if (found >= 0)
                return -1;
            found = static_cast<int>(i);
        }
    }
    return found;
}

StreamMap CfbTables::RegularChain(uint32_t start, uint64_t maxBytes) const
{
    StreamMap map(m_sectorSize);
    std::vector<uint8_t> seen(static_cast<size_t>(m_sectors), 0);
    uint64_t sector = start;
    while (sector < m_sectors && !seen[static_cast<size_t>(sector)] && map.Length() < maxBytes) {
        seen[static_cast<size_t>(sector)] = 1;
        map.Append(SectorOffset(sector), SectorBytes(sector));
        const uint32_t next = Fat(sector);
        if (next == kUnknown) {
            // The table sector is lost: writers lay a chain out in order, past the tables.
            sector++;
            while (sector < m_sectors && m_tableSector[static_cast<size_t>(sector)])
                sector++;
            continue;
        }
        if (next >= m_sectors)
            break;
        sector = next;
    }
    map.Truncate(maxBytes);
    return map;
}

void CfbTables::ReadMiniTables()
{
    if (m_entries.empty() || m_entries[0].type != kTypeRoot)
        return;
    // No workbook's mini stream is larger than its directory's entries can fill.
    m_miniStream = RegularChain(m_entries[0].start, std::min<uint64_t>(m_entries[0].size, kMaxMiniStreamBytes));
    if (!m_headerRead)
        return;
    // The table has an entry for each small block of the mini stream, and no more.
    const uint64_t entries = m_miniStream.Length() / kMiniSectorSize;
    const uint32_t start = Get32(m_header + 60);
    const uint32_t count = Get32(m_header + 64);
    if (start >= m_sectors || count == 0 || count > m_sectors)
        return;
    std::vector<uint8_t> buffer;
    uint64_t sector = start;
    std::vector<uint8_t> seen(static_cast<size_t>(m_sectors), 0);
    for (uint32_t k = 0; k < count && sector < m_sectors && !seen[static_cast<size_t>(sector)]; k++) {
        seen[static_cast<size_t>(sector)] = 1;
        m_tableSector[static_cast<size_t>(sector)] = 1;
        if (!ReadSector(sector, buffer))
            break;
        for (uint32_t j = 0; j < m_sectorSize / 4 && m_miniFat.size() < entries; j++)
            m_miniFat.push_back(Get32(buffer.data() + j * 4));
        if (m_miniFat.size() >= entries)
            break;
        const uint32_t next = Fat(sector);
        sector = next == kUnknown ? sector + 1 : next;
    }
}

bool CfbTables::MiniStreamOffset(uint64_t pos, uint64_t& fileOffset) const
{
    if (pos >= m_miniStream.Length())
        return false;
    const size_t run = m_miniStream.RunAt(pos);
    fileOffset = m_miniStream.Runs()[run].fileOffset + (pos - m_miniStream.RunStart(run));
    return true;
}

StreamMap CfbTables::MiniChain(uint32_t start, uint64_t size) const
{
    StreamMap map(kMiniSectorSize);
    const uint64_t miniSectors = m_miniStream.Length() / kMiniSectorSize;
    std::vector<uint8_t> seen(static_cast<size_t>(miniSectors), 0);
    uint64_t sector = start;
    while (sector < miniSectors && !seen[static_cast<size_t>(sector)] && map.Length() < size) {
        seen[static_cast<size_t>(sector)] = 1;
        uint64_t offset = 0;
        if (!MiniStreamOffset(sector * kMiniSectorSize, offset))
            break;
        map.Append(offset, kMiniSectorSize);
        const uint32_t next = MiniFat(static_cast<uint32_t>(sector));
        if (next == kEndOfChain)
            break;
        // A lost mini table: small streams are laid out in order.
        sector = next == kUnknown || next == kFreeSect ? sector + 1 : next;
    }
    map.Truncate(size);
    return map;
}

} // namespace cfb
