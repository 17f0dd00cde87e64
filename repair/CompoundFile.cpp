#include "CompoundFile.h"

#include "../framework/Platform.h"
#include "CfbFormat.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace cfb;

constexpr uint32_t kMaxNameBytes = 64;

constexpr uint8_t kTypeUnused = 0;
constexpr uint8_t kTypeStorage = 1;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;

uint64_t CeilDiv(uint64_t value, uint64_t unit)
{
    return value / unit + (value % unit != 0 ? 1 : 0);
}

std::string Num(uint64_t value)
{
    return std::to_string(value);
}

// Walks every structure a reader relies on, claiming each sector for one owner so that loops and
// sectors used twice both show up as a second claim.
class Walker {
public:
    explicit Walker(const ByteSource& file)
        : m_file(file)
    {
    }

    bool Run(CompoundFileCheck& check);
    std::vector<uint32_t> TakeFat() { return std::move(m_fat); }

private:
    bool Fail(const std::string& why)
    {
        m_problem = why;
        return false;
    }
    bool ReadHeader(CompoundFileCheck& check);
    bool ReadDifatAndFat();
    bool ReadDirectory();
    bool CheckTree();
    bool ReadMiniFat();
    bool CheckStreams();

    bool ReadSector(uint32_t sector, std::vector<uint8_t>& buffer) const;
    uint32_t NewOwner(const std::string& name);
    bool CheckReference(uint32_t sector, const std::string& what);
    bool Claim(uint32_t sector, uint32_t owner);
    // `limit`: the most sectors the chain may have; a longer one fails the walk.
    bool WalkChain(
        uint32_t start, uint32_t owner, uint64_t& count, std::vector<uint32_t>* sectors, uint64_t limit = UINT64_MAX);
    bool WalkMiniChain(uint32_t start, uint32_t owner, uint64_t& count);
    uint64_t StreamSize(const uint8_t* entry) const;
    const uint8_t* Entry(uint32_t index) const { return m_directory.data() + static_cast<size_t>(index) * kEntrySize; }
    std::string EntryName(uint32_t index) const;

    const ByteSource& m_file;
    std::string m_problem;
    uint8_t m_header[kHeaderSize] = {};
    uint16_t m_version = 0;
    uint32_t m_sectorSize = 0;
    uint32_t m_entriesPerSector = 0; // FAT entries in one sector
    uint64_t m_fullSectors = 0; // sectors wholly inside the file
    uint64_t m_usable = 0; // sectors a chain may name: wholly inside and covered by the FAT
    uint32_t m_fatCount = 0;
    std::vector<uint32_t> m_fat;
    std::vector<uint32_t> m_owner; // per usable sector: 0 free, else index into m_ownerNames + 1
    std::vector<std::string> m_ownerNames;

    std::vector<uint8_t> m_directory;
    uint32_t m_entryCount = 0;
    std::vector<uint32_t> m_streams; // reachable stream entries
    bool m_foundWorkbook = false;

    std::vector<uint32_t> m_miniFat;
    std::vector<uint32_t> m_miniOwner;
    uint64_t m_miniSectors = 0; // mini sectors wholly inside the mini stream and covered by the mini FAT
};

bool Walker::Run(CompoundFileCheck& check)
{
    bool ok
        = ReadHeader(check) && ReadDifatAndFat() && ReadDirectory() && CheckTree() && ReadMiniFat() && CheckStreams();
    if (ok && !m_foundWorkbook)
        ok = Fail("no Workbook or Book stream in the root storage");
    check.wellFormed = ok;
    check.problem = ok ? std::string() : m_problem;
    return ok;
}

bool Walker::ReadHeader(CompoundFileCheck& check)
{
    uint64_t length = m_file.Length();
    if (length < kHeaderSize)
        return Fail("file shorter than a compound file header");
    if (!m_file.ReadAt(0, m_header, kHeaderSize))
        return Fail("cannot read the header");
    if (std::memcmp(m_header, kSignature, sizeof(kSignature)) != 0)
        return Fail("no compound file signature");
    if (Get16(m_header + 28) != 0xFFFE)
        return Fail("byte order mark is not FFFE");
    m_version = Get16(m_header + 26);
    uint16_t shift = Get16(m_header + 30);
    if (shift == 9 || shift == 12)
        check.sectorSize = 1u << shift;
    if (m_version != 3 && m_version != 4)
        return Fail("unknown major version " + Num(m_version));
    if ((m_version == 3 && shift != 9) || (m_version == 4 && shift != 12))
        return Fail("sector shift " + Num(shift) + " does not fit version " + Num(m_version));
    if (Get16(m_header + 32) != 6)
        return Fail("mini sector shift is not 6");
    if (Get32(m_header + 56) != kMiniStreamCutoff)
        return Fail("mini stream cutoff is not 4096");
    // Version 4 writers fill in the directory sector count, but readers go by the chain alone.
    if (m_version == 3 && Get32(m_header + 40) != 0)
        return Fail("version 3 header counts directory sectors");

    m_sectorSize = 1u << shift;
    m_entriesPerSector = m_sectorSize / 4;
    // A version 4 file may be shorter than its own header sector.
    uint64_t afterHeader = length > m_sectorSize ? length - m_sectorSize : 0;
    m_fullSectors = std::min<uint64_t>(afterHeader / m_sectorSize, uint64_t(kMaxRegSect) + 1);
    m_fatCount = Get32(m_header + 44);
    if (m_fatCount == 0)
        return Fail("no FAT sectors");
    // Each FAT sector is a distinct sector of the file, so a larger count is a lie, and checking it
    // first keeps a hostile header from sizing our tables.
    if (m_fatCount > m_fullSectors)
        return Fail("more FAT sectors than the file holds");
    if (Get32(m_header + 72) > m_fullSectors)
        return Fail("more DIFAT sectors than the file holds");

    uint64_t covered = uint64_t(m_fatCount) * m_entriesPerSector;
    m_usable = std::min(m_fullSectors, covered);
    // The FAT entry of a final partial sector is kept too: if it is in use, its bytes are live.
    uint64_t touched = CeilDiv(afterHeader, m_sectorSize);
    m_fat.assign(static_cast<size_t>(std::min(touched, covered)), kFreeSect);
    m_owner.assign(static_cast<size_t>(m_usable), 0);
    return true;
}

bool Walker::ReadSector(uint32_t sector, std::vector<uint8_t>& buffer) const
{
    buffer.resize(m_sectorSize);
    return m_file.ReadAt((uint64_t(sector) + 1) * m_sectorSize, buffer.data(), m_sectorSize);
}

uint32_t Walker::NewOwner(const std::string& name)
{
    m_ownerNames.push_back(name);
    return static_cast<uint32_t>(m_ownerNames.size());
}

bool Walker::CheckReference(uint32_t sector, const std::string& what)
{
    if (sector == kFreeSect)
        return Fail(what + " reaches a free sector");
    if (sector > kMaxRegSect)
        return Fail(what + " holds a reserved sector value");
    if (sector >= m_fullSectors)
        return Fail(what + " runs out of the file");
    if (sector >= m_usable)
        return Fail(what + " names a sector the FAT does not cover");
    return true;
}

bool Walker::Claim(uint32_t sector, uint32_t owner)
{
    uint32_t previous = m_owner[sector];
    if (previous == owner)
        return Fail(m_ownerNames[owner - 1] + " loops at sector " + Num(sector));
    if (previous != 0)
        return Fail(m_ownerNames[owner - 1] + " shares sector " + Num(sector) + " with " + m_ownerNames[previous - 1]);
    m_owner[sector] = owner;
    return true;
}

bool Walker::ReadDifatAndFat()
{
    std::vector<uint32_t> fatSectors;
    fatSectors.reserve(m_fatCount);
    bool listEnded = false;
    auto take = [&](uint32_t value) {
        if (value == kFreeSect) {
            listEnded = true;
            return true;
        }
        if (listEnded)
            return Fail("FAT sector listed after a free DIFAT entry");
        if (fatSectors.size() == m_fatCount)
            return Fail("more FAT sectors listed than the header counts");
        fatSectors.push_back(value);
        return true;
    };
    for (uint32_t i = 0; i < kHeaderDifatEntries; i++) {
        if (!take(Get32(m_header + 76 + i * 4)))
            return false;
    }

    uint32_t difatOwner = NewOwner("DIFAT chain");
    uint32_t difatCount = Get32(m_header + 72);
    uint32_t next = Get32(m_header + 68);
    // No DIFAT: the start should be ENDOFCHAIN, but some writers leave FREESECT, which reads the same.
    if (difatCount == 0 && next != kEndOfChain && next != kFreeSect)
        return Fail("DIFAT start given without DIFAT sectors");
    std::vector<uint32_t> difatSectors;
    std::vector<uint8_t> buffer;
    for (uint32_t k = 0; k < difatCount; k++) {
        if (next == kEndOfChain || next == kFreeSect)
            return Fail("DIFAT chain shorter than its count");
        if (!CheckReference(next, "DIFAT chain") || !Claim(next, difatOwner))
            return false;
        difatSectors.push_back(next);
        if (!ReadSector(next, buffer))
            return Fail("cannot read DIFAT sector " + Num(next));
        for (uint32_t j = 0; j + 1 < m_entriesPerSector; j++) {
            if (!take(Get32(buffer.data() + j * 4)))
                return false;
        }
        next = Get32(buffer.data() + (m_entriesPerSector - 1) * 4);
    }
    if (difatCount > 0 && next != kEndOfChain && next != kFreeSect)
        return Fail("DIFAT chain longer than its count");
    if (fatSectors.size() != m_fatCount)
        return Fail("FAT sector count does not match the listed FAT sectors");

    uint32_t fatOwner = NewOwner("FAT");
    // FAT sectors that follow one another in the file are read together.
    ListedSectorReader tableSectors(m_file, m_sectorSize);
    for (size_t i = 0; i < fatSectors.size(); i++) {
        uint32_t sector = fatSectors[i];
        if (!CheckReference(sector, "FAT sector list"))
            return false;
        if (m_owner[sector] == fatOwner)
            return Fail("FAT sector " + Num(sector) + " listed twice");
        if (!Claim(sector, fatOwner))
            return false;
        uint64_t base = uint64_t(i) * m_entriesPerSector;
        if (base >= m_fat.size())
            continue; // covers only sectors past the end of the file
        const uint8_t* table = tableSectors.Read(fatSectors, i);
        if (!table)
            return Fail("cannot read FAT sector " + Num(sector));
        uint64_t count = std::min<uint64_t>(m_entriesPerSector, m_fat.size() - base);
        for (uint64_t j = 0; j < count; j++)
            m_fat[static_cast<size_t>(base + j)] = Get32(table + j * 4);
    }
    for (uint32_t sector : fatSectors) {
        if (m_fat[sector] != kFatSect)
            return Fail("FAT sector " + Num(sector) + " is not marked as a FAT sector");
    }
    for (uint32_t sector : difatSectors) {
        if (m_fat[sector] != kDifSect)
            return Fail("DIFAT sector " + Num(sector) + " is not marked as a DIFAT sector");
    }
    return true;
}

bool Walker::WalkChain(uint32_t start, uint32_t owner, uint64_t& count, std::vector<uint32_t>* sectors, uint64_t limit)
{
    const std::string& what = m_ownerNames[owner - 1];
    count = 0;
    // Every step claims a new sector, so the walk ends within m_usable steps.
    for (uint32_t sector = start; sector != kEndOfChain; sector = m_fat[sector]) {
        if (count == limit)
            return Fail(what + " longer than " + Num(limit) + " sectors");
        if (!CheckReference(sector, what) || !Claim(sector, owner))
            return false;
        count++;
        if (sectors)
            sectors->push_back(sector);
    }
    return true;
}

bool Walker::ReadDirectory()
{
    uint32_t start = Get32(m_header + 48);
    if (start == kEndOfChain)
        return Fail("no directory");
    std::vector<uint32_t> sectors;
    uint64_t count = 0;
    if (!WalkChain(start, NewOwner("directory chain"), count, &sectors, kMaxDirectoryBytes / m_sectorSize))
        return false;
    m_directory.resize(static_cast<size_t>(count) * m_sectorSize);
    std::vector<uint8_t> buffer;
    for (size_t i = 0; i < sectors.size(); i++) {
        if (!ReadSector(sectors[i], buffer))
            return Fail("cannot read directory sector " + Num(sectors[i]));
        std::memcpy(m_directory.data() + i * m_sectorSize, buffer.data(), m_sectorSize);
    }
    m_entryCount = static_cast<uint32_t>(m_directory.size() / kEntrySize);
    if (Entry(0)[66] != kTypeRoot)
        return Fail("first directory entry is not the root");
    return true;
}

std::string Walker::EntryName(uint32_t index) const
{
    const uint8_t* entry = Entry(index);
    uint32_t chars = Get16(entry + 64) / 2;
    std::string name;
    for (uint32_t i = 0; i + 1 < chars; i++) {
        uint16_t c = Get16(entry + i * 2);
        name += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return name;
}

bool Walker::CheckTree()
{
    struct Visit {
        uint32_t entry;
        uint32_t parent; // the storage whose children this entry is among
    };
    std::vector<uint8_t> visited(m_entryCount, 0);
    std::vector<Visit> pending;
    auto push = [&](uint32_t link, uint32_t parent) {
        if (link == kNoStream)
            return true;
        if (link >= m_entryCount)
            return Fail("directory link " + Num(link) + " out of range");
        pending.push_back({ link, parent });
        return true;
    };

    const uint8_t* root = Entry(0);
    uint16_t rootNameBytes = Get16(root + 64);
    if (rootNameBytes > kMaxNameBytes || rootNameBytes % 2 != 0)
        return Fail("root entry name length is invalid");
    // A reader never follows the root's siblings; they only need to be sane links.
    if ((Get32(root + 68) != kNoStream && Get32(root + 68) >= m_entryCount)
        || (Get32(root + 72) != kNoStream && Get32(root + 72) >= m_entryCount))
        return Fail("root entry sibling link out of range");
    visited[0] = 1;
    if (!push(Get32(root + 76), 0))
        return false;

    while (!pending.empty()) {
        Visit visit = pending.back();
        pending.pop_back();
        if (visited[visit.entry])
            return Fail("directory tree loops at entry " + Num(visit.entry));
        visited[visit.entry] = 1;
        const uint8_t* entry = Entry(visit.entry);
        uint8_t type = entry[66];
        if (type == kTypeUnused)
            return Fail("directory tree links to unused entry " + Num(visit.entry));
        if (type != kTypeStorage && type != kTypeStream)
            return Fail("directory entry " + Num(visit.entry) + " has object type " + Num(type));
        uint16_t nameBytes = Get16(entry + 64);
        if (nameBytes < 2 || nameBytes > kMaxNameBytes || nameBytes % 2 != 0)
            return Fail("directory entry " + Num(visit.entry) + " has an invalid name length");
        if (!push(Get32(entry + 68), visit.parent) || !push(Get32(entry + 72), visit.parent))
            return false;
        if (type == kTypeStorage) {
            if (!push(Get32(entry + 76), visit.entry))
                return false;
            continue;
        }
        if (Get32(entry + 76) != kNoStream)
            return Fail("stream entry " + Num(visit.entry) + " has a child");
        m_streams.push_back(visit.entry);
        if (visit.parent == 0) {
            // Readers look names up without regard to case.
            std::string name = EntryName(visit.entry);
            for (char& c : name)
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            if (name == "WORKBOOK" || name == "BOOK")
                m_foundWorkbook = true;
        }
    }
    return true;
}

uint64_t Walker::StreamSize(const uint8_t* entry) const
{
    // Version 3 writers may leave garbage in the high half; readers ignore it.
    uint64_t size = Get64(entry + 120);
    return m_version == 3 ? (size & 0xFFFFFFFFu) : size;
}

bool Walker::ReadMiniFat()
{
    uint32_t start = Get32(m_header + 60);
    uint32_t count = Get32(m_header + 64);
    uint64_t rootSize = StreamSize(Entry(0));

    std::vector<uint32_t> sectors;
    if (start == kEndOfChain || start == kFreeSect) {
        if (count != 0)
            return Fail("mini FAT counted but has no chain");
    } else {
        uint64_t length = 0;
        if (!WalkChain(start, NewOwner("mini FAT chain"), length, &sectors))
            return false;
        if (length != count)
            return Fail("mini FAT sector count does not match its chain");
    }

    // The mini stream's own chain is walked before its tables are sized, so a size the file
    // cannot hold never sizes them. An empty mini stream may have any start: nobody reads it.
    if (rootSize > kMaxMiniStreamBytes)
        return Fail("mini stream larger than " + Num(kMaxMiniStreamBytes) + " bytes");
    if (rootSize > 0) {
        uint32_t rootStart = Get32(Entry(0) + 116);
        uint64_t length = 0;
        if (!WalkChain(rootStart, NewOwner("mini stream"), length, nullptr))
            return false;
        if (length < CeilDiv(rootSize, m_sectorSize))
            return Fail("mini stream chain shorter than its size");
    }

    // Only mini sectors wholly inside the mini stream can be named by a chain.
    uint64_t covered = uint64_t(sectors.size()) * m_entriesPerSector;
    m_miniSectors = std::min(rootSize / kMiniSectorSize, covered);
    m_miniFat.assign(static_cast<size_t>(m_miniSectors), kFreeSect);
    m_miniOwner.assign(static_cast<size_t>(m_miniSectors), 0);
    std::vector<uint8_t> buffer;
    for (size_t i = 0; i < sectors.size(); i++) {
        uint64_t base = uint64_t(i) * m_entriesPerSector;
        if (base >= m_miniFat.size())
            break;
        if (!ReadSector(sectors[i], buffer))
            return Fail("cannot read mini FAT sector " + Num(sectors[i]));
        uint64_t n = std::min<uint64_t>(m_entriesPerSector, m_miniFat.size() - base);
        for (uint64_t j = 0; j < n; j++)
            m_miniFat[static_cast<size_t>(base + j)] = Get32(buffer.data() + j * 4);
    }
    return true;
}

bool Walker::WalkMiniChain(uint32_t start, uint32_t owner, uint64_t& count)
{
    const std::string& what = m_ownerNames[owner - 1];
    count = 0;
    for (uint32_t sector = start; sector != kEndOfChain; sector = m_miniFat[sector]) {
        if (sector == kFreeSect)
            return Fail(what + " reaches a free mini sector");
        if (sector > kMaxRegSect)
            return Fail(what + " holds a reserved mini sector value");
        if (sector >= m_miniSectors)
            return Fail(what + " leaves the mini stream");
        uint32_t previous = m_miniOwner[sector];
        if (previous == owner)
            return Fail(what + " loops at mini sector " + Num(sector));
        if (previous != 0)
            return Fail(what + " shares mini sector " + Num(sector) + " with " + m_ownerNames[previous - 1]);
        m_miniOwner[sector] = owner;
        count++;
    }
    return true;
}

bool Walker::CheckStreams()
{
    for (uint32_t index : m_streams) {
        const uint8_t* entry = Entry(index);
        uint64_t size = StreamSize(entry);
        if (size == 0)
            continue; // nothing to read, so the start does not matter
        uint32_t start = Get32(entry + 116);
        std::string name = "stream '" + EntryName(index) + "'";
        uint64_t count = 0;
        // A chain longer than the size is tolerated: readers stop at the size.
        if (size >= kMiniStreamCutoff) {
            if (!WalkChain(start, NewOwner(name), count, nullptr))
                return false;
            if (count < CeilDiv(size, m_sectorSize))
                return Fail(name + " chain shorter than its size");
        } else {
            if (!WalkMiniChain(start, NewOwner(name + " mini chain"), count))
                return false;
            if (count < CeilDiv(size, kMiniSectorSize))
                return Fail(name + " mini chain shorter than its size");
        }
    }
    return true;
}

} // namespace

CompoundFile::CompoundFile(const std::wstring& path)
{
    FileBytes file(path);
    if (!file.IsOpen()) {
        m_check.problem = "cannot open the file";
        return;
    }
    Walk(file);
}

CompoundFile::CompoundFile(const ByteSource& bytes)
{
    Walk(bytes);
}

void CompoundFile::Walk(const ByteSource& bytes)
{
    Walker walker(bytes);
    if (walker.Run(m_check))
        m_fat = walker.TakeFat();
}

bool CompoundFile::RangeHoldsNoLiveData(uint64_t offset, uint64_t length) const
{
    if (!m_check.wellFormed || offset > UINT64_MAX - length)
        return false;
    if (length == 0)
        return true;
    uint64_t sectorSize = m_check.sectorSize;
    // The whole first sector is the header's, even where a version 4 header leaves it blank.
    if (offset < sectorSize)
        return false;
    uint64_t first = offset / sectorSize - 1;
    uint64_t last = (offset + length - 1) / sectorSize - 1;
    for (uint64_t sector = first; sector <= last && sector < m_fat.size(); sector++) {
        if (m_fat[static_cast<size_t>(sector)] != kFreeSect)
            return false;
    }
    return true;
}

CompoundFileCheck CheckCompoundFile(const std::wstring& path)
{
    return CompoundFile(path).Check();
}

bool RangeHoldsNoLiveData(const std::wstring& path, uint64_t offset, uint64_t length)
{
    return CompoundFile(path).RangeHoldsNoLiveData(offset, length);
}
