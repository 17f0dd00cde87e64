#include "HeaderRebuild.h"

#include "../framework/PathText.h"
#include "../framework/Platform.h"
#include "CfbFormat.h"
#include "CompoundFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace cfb;

// Each try writes a header and checks the whole file; a hostile file may offer many look-alikes.
constexpr int kMaxTries = 6;
constexpr size_t kMaxMiniFatCandidates = 4;
constexpr int kMaxDirectories = 8;
// A table whose order is this ambiguous is not guessed at.
constexpr size_t kMaxPlaces = 64;
constexpr uint64_t kMaxSearchSteps = 1u << 16;
constexpr uint64_t kMaxOrderings = 256;
constexpr size_t kMaxTables = 2;
// Table entries beyond twice the file's sectors that a rebuilt table may still have.
constexpr uint64_t kSpareTableEntries = 1u << 16;

void Put16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool InUse(uint32_t value, uint64_t sectors)
{
    return value == kEndOfChain || value < sectors;
}

// The working copy as the rebuild sees it.
class File {
public:
    explicit File(WritableBytes& target)
        : m_target(target)
    {
    }
    uint64_t Length() const { return m_target.Bytes().Length(); }
    bool Read(uint64_t offset, uint8_t* buffer, uint32_t size) const
    {
        return m_target.Bytes().ReadAt(offset, buffer, size);
    }
    bool Write(uint64_t offset, const uint8_t* bytes, uint32_t size) const
    {
        return m_target.Write(offset, bytes, size);
    }
    bool WellFormed() const { return CompoundFile(m_target.Bytes()).Check().wellFormed; }

private:
    WritableBytes& m_target;
};

// A sector whose entries carry the allocation-table mark, and where in it the marks are.
struct Marker {
    uint32_t sector = 0;
    std::vector<uint16_t> marks;
    std::vector<uint32_t> places; // where in the table it may stand
};

struct Header {
    uint32_t directoryStart = kEndOfChain;
    uint32_t directoryCount = 0;
    uint32_t miniFatStart = kEndOfChain;
    uint32_t miniFatCount = 0;
};

class Rebuilder {
public:
    Rebuilder(File& file, uint32_t shift)
        : m_file(file)
        , m_shift(shift)
        , m_sectorSize(1u << shift)
        , m_perSector(m_sectorSize / 4)
    {
        uint64_t length = file.Length();
        uint64_t afterHeader = length > m_sectorSize ? length - m_sectorSize : 0;
        m_sectors = std::min<uint64_t>(afterHeader / m_sectorSize, uint64_t(kMaxRegSect) + 1);
    }

    // True when a rebuilt header was written and kept.
    bool Run(int& tries);

private:
    bool Scan();
    bool FindPlaces();
    std::vector<std::vector<uint32_t>> OrderTable();
    bool Agrees(const std::vector<uint32_t>& places, std::vector<uint32_t>& marked) const;
    bool ReadTable();
    bool FindDifat();
    bool TryDirectory(uint32_t root, int& tries);
    bool TryHeader(const Header& header, const std::vector<uint8_t>& directory, int& tries);
    bool WorkbookStartsWithBof(const std::vector<uint8_t>& directory, uint64_t rootStart);
    bool Chain(uint32_t start, std::vector<uint32_t>& sectors, uint64_t limit = UINT64_MAX) const;
    bool ReadSector(uint64_t sector, uint8_t* buffer) const
    {
        return m_file.Read((sector + 1) * m_sectorSize, buffer, m_sectorSize);
    }
    bool IsTableEntry(uint32_t value) const { return value < m_sectors || value >= kDifSect; }
    uint64_t MaxTableSectors() const { return (2 * m_sectors + kSpareTableEntries) / m_perSector; }

    File& m_file;
    uint32_t m_shift;
    uint32_t m_sectorSize;
    uint32_t m_perSector;
    uint64_t m_sectors = 0;

    std::vector<uint8_t> m_tableLike; // per sector: every entry could be an allocation-table entry
    std::vector<Marker> m_markers;
    uint64_t m_markCount = 0;
    std::vector<uint32_t> m_roots; // sectors that start with a root storage entry
    std::vector<uint32_t> m_tableSectors;
    std::vector<uint32_t> m_fat;
    std::vector<uint8_t> m_pointedTo; // per sector: some entry of the table names it
    std::vector<uint32_t> m_difat;
};

bool Rebuilder::Run(int& tries)
{
    if (m_sectors < 2 || !Scan() || !FindPlaces())
        return false;
    for (std::vector<uint32_t>& table : OrderTable()) {
        m_tableSectors = std::move(table);
        if (!ReadTable() || !FindDifat())
            continue;
        int directories = 0;
        for (uint32_t root : m_roots) {
            // The directory's first sector starts its chain: nothing leads to it.
            if (!InUse(m_fat[root], m_sectors) || m_pointedTo[root])
                continue;
            // Each look at a directory walks chains through the whole file.
            if (tries >= kMaxTries || directories++ >= kMaxDirectories)
                return false;
            if (TryDirectory(root, tries))
                return true;
        }
    }
    return false;
}

// One pass over the file: which sectors could be allocation tables, where the marks are, and
// which sectors start with a root entry.
bool Rebuilder::Scan()
{
    m_tableLike.assign(static_cast<size_t>(m_sectors), 0);
    const uint32_t batch = std::max<uint32_t>(1, (64u * 1024) / m_sectorSize);
    std::vector<uint8_t> buffer(size_t(batch) * m_sectorSize);
    for (uint64_t first = 0; first < m_sectors; first += batch) {
        uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(batch, m_sectors - first));
        if (!m_file.Read((first + 1) * m_sectorSize, buffer.data(), count * m_sectorSize))
            return false;
        for (uint32_t i = 0; i < count; i++) {
            const uint8_t* sector = buffer.data() + size_t(i) * m_sectorSize;
            uint32_t number = static_cast<uint32_t>(first + i);
            bool tableLike = true;
            Marker marker;
            for (uint32_t j = 0; j < m_perSector && tableLike; j++) {
                uint32_t value = Get32(sector + j * 4);
                tableLike = IsTableEntry(value);
                if (value == kFatSect)
                    marker.marks.push_back(static_cast<uint16_t>(j));
            }
            m_tableLike[number] = tableLike;
            if (tableLike && !marker.marks.empty()) {
                // Every mark names a table sector. A table with entries for more than twice the
                // file's sectors (and a few more) is not one we rebuild: it would size the rebuilt
                // table like the file.
                m_markCount += marker.marks.size();
                if (m_markCount > MaxTableSectors())
                    return false;
                marker.sector = number;
                m_markers.push_back(std::move(marker));
            }
            // The directory starts with the root: type 5, in the first entry. Its name is not
            // looked at: writers do not all call it "Root Entry".
            const uint16_t nameBytes = Get16(sector + 64);
            if (sector[66] == 5 && nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0
                && Get16(sector + nameBytes - 2) == 0)
                m_roots.push_back(number);
        }
    }
    return !m_markers.empty() && !m_roots.empty();
}

// A table sector at place k holds the entries of sectors k * entries-per-sector onwards, so its
// marks name table sectors only at the places where every sector they name could be a table.
bool Rebuilder::FindPlaces()
{
    // There are as many table sectors as marks.
    uint64_t places = std::min((m_sectors + m_perSector - 1) / m_perSector, m_markCount);
    // Linear in the file's sectors, whatever a hostile file holds.
    uint64_t budget = 16 * m_sectors + 1024;
    for (Marker& m : m_markers) {
        for (uint64_t k = 0; k < places; k++) {
            bool fits = true;
            for (uint16_t j : m.marks) {
                if (budget-- == 0)
                    return false;
                uint64_t sector = k * m_perSector + j;
                if (sector >= m_sectors || !m_tableLike[static_cast<size_t>(sector)]) {
                    fits = false;
                    break;
                }
            }
            if (fits)
                m.places.push_back(static_cast<uint32_t>(k));
            if (m.places.size() > kMaxPlaces)
                return false;
        }
        if (m.places.empty())
            return false;
    }
    return true;
}

// Writers lay the table sectors out in increasing order, so a sector's place is the number of
// table sectors before it, and places grow with sector numbers. The markers come in sector order;
// each takes a place above the one before. The orderings that agree with themselves, at most a few.
std::vector<std::vector<uint32_t>> Rebuilder::OrderTable()
{
    std::vector<std::vector<uint32_t>> tables;
    std::vector<uint32_t> places(m_markers.size());
    std::vector<size_t> next(m_markers.size() + 1, 0); // per depth: the next candidate to try
    uint64_t steps = 0;
    uint64_t orderings = 0;
    size_t depth = 0;
    while (tables.size() < kMaxTables && steps++ < kMaxSearchSteps && orderings < kMaxOrderings) {
        if (depth == m_markers.size()) {
            orderings++;
            std::vector<uint32_t> marked;
            if (Agrees(places, marked))
                tables.push_back(std::move(marked));
            if (depth-- == 0)
                break;
            continue;
        }
        const std::vector<uint32_t>& candidates = m_markers[depth].places;
        size_t& at = next[depth];
        while (at < candidates.size() && depth > 0 && candidates[at] <= places[depth - 1])
            at++;
        if (at == candidates.size()) {
            at = 0;
            if (depth-- == 0)
                break;
            continue;
        }
        places[depth] = candidates[at++];
        depth++;
        next[depth] = 0;
    }
    return tables;
}

// The sectors the marks name at these places, sorted; true when each marker is named itself and
// stands at its own place among them.
bool Rebuilder::Agrees(const std::vector<uint32_t>& places, std::vector<uint32_t>& marked) const
{
    marked.clear();
    marked.reserve(static_cast<size_t>(m_markCount));
    for (size_t i = 0; i < m_markers.size(); i++) {
        for (uint16_t j : m_markers[i].marks)
            marked.push_back(static_cast<uint32_t>(uint64_t(places[i]) * m_perSector + j));
    }
    // Places grow, and so do the sectors they name: already sorted and distinct.
    for (size_t i = 0; i < m_markers.size(); i++) {
        auto at = std::lower_bound(marked.begin(), marked.end(), m_markers[i].sector);
        if (at == marked.end() || *at != m_markers[i].sector || uint64_t(at - marked.begin()) != places[i])
            return false;
    }
    return true;
}

bool Rebuilder::ReadTable()
{
    m_fat.assign(m_tableSectors.size() * m_perSector, kFreeSect);
    std::vector<uint8_t> buffer(m_sectorSize);
    for (size_t k = 0; k < m_tableSectors.size(); k++) {
        if (!ReadSector(m_tableSectors[k], buffer.data()))
            return false;
        for (uint32_t j = 0; j < m_perSector; j++)
            m_fat[k * m_perSector + j] = Get32(buffer.data() + j * 4);
    }
    // Sectors the table does not cover cannot be used; treat them as free.
    if (m_fat.size() < m_sectors)
        m_fat.resize(static_cast<size_t>(m_sectors), kFreeSect);
    m_pointedTo.assign(static_cast<size_t>(m_sectors), 0);
    for (uint64_t s = 0; s < m_sectors; s++) {
        uint32_t value = m_fat[static_cast<size_t>(s)];
        if (value < m_sectors)
            m_pointedTo[value] = 1;
    }
    return true;
}

// The extra index sectors list the table sectors past the header's 109, in order, and chain
// through their last entries.
bool Rebuilder::FindDifat()
{
    m_difat.clear();
    std::vector<uint32_t> marked;
    for (uint64_t s = 0; s < m_sectors; s++) {
        if (m_fat[static_cast<size_t>(s)] == kDifSect)
            marked.push_back(static_cast<uint32_t>(s));
    }
    size_t listed = m_tableSectors.size() > kHeaderDifatEntries ? m_tableSectors.size() - kHeaderDifatEntries : 0;
    if (marked.empty())
        return listed == 0;
    std::vector<std::vector<uint32_t>> contents(marked.size());
    std::vector<uint8_t> isNext(marked.size(), 0);
    std::vector<uint8_t> buffer(m_sectorSize);
    for (size_t i = 0; i < marked.size(); i++) {
        if (!ReadSector(marked[i], buffer.data()))
            return false;
        contents[i].resize(m_perSector);
        for (uint32_t j = 0; j < m_perSector; j++)
            contents[i][j] = Get32(buffer.data() + j * 4);
        uint32_t next = contents[i].back();
        auto at = std::lower_bound(marked.begin(), marked.end(), next);
        if (at != marked.end() && *at == next)
            isNext[at - marked.begin()] = 1;
    }
    auto head = std::find(isNext.begin(), isNext.end(), 0);
    if (head == isNext.end() || std::count(isNext.begin(), isNext.end(), 0) != 1)
        return false;
    size_t at = static_cast<size_t>(head - isNext.begin());
    size_t entry = 0;
    for (size_t step = 0; step < marked.size(); step++) {
        m_difat.push_back(marked[at]);
        for (uint32_t j = 0; j + 1 < m_perSector; j++, entry++) {
            uint32_t expected = entry < listed ? m_tableSectors[kHeaderDifatEntries + entry] : kFreeSect;
            if (contents[at][j] != expected)
                return false;
        }
        uint32_t next = contents[at].back();
        if (step + 1 == marked.size())
            return (next == kEndOfChain || next == kFreeSect) && entry >= listed;
        auto found = std::lower_bound(marked.begin(), marked.end(), next);
        if (found == marked.end() || *found != next)
            return false;
        at = static_cast<size_t>(found - marked.begin());
    }
    return false;
}

// The sectors of a chain, or false when it leaves the file, reaches a mark, loops or has more
// than `limit` sectors.
bool Rebuilder::Chain(uint32_t start, std::vector<uint32_t>& sectors, uint64_t limit) const
{
    sectors.clear();
    for (uint32_t sector = start; sector != kEndOfChain; sector = m_fat[sector]) {
        if (sector >= m_sectors || sectors.size() >= m_sectors || sectors.size() >= limit)
            return false;
        sectors.push_back(sector);
    }
    return !sectors.empty();
}

bool Rebuilder::TryDirectory(uint32_t root, int& tries)
{
    std::vector<uint32_t> chain;
    if (!Chain(root, chain, kMaxDirectoryBytes / m_sectorSize))
        return false;
    std::vector<uint8_t> directory(chain.size() * m_sectorSize);
    for (size_t i = 0; i < chain.size(); i++) {
        if (!ReadSector(chain[i], directory.data() + i * m_sectorSize))
            return false;
    }
    Header header;
    header.directoryStart = root;
    header.directoryCount = static_cast<uint32_t>(chain.size());

    // Chains the directory accounts for: its own, the mini stream's and every large stream's.
    std::vector<uint8_t> claimed(static_cast<size_t>(m_sectors), 0);
    claimed[root] = 1;
    const uint8_t* rootEntry = directory.data();
    uint64_t rootSize = Get32(rootEntry + 120);
    if (m_shift == 12)
        rootSize |= uint64_t(Get32(rootEntry + 124)) << 32;
    uint32_t rootStart = Get32(rootEntry + 116);
    if (rootSize > 0 && rootStart < m_sectors)
        claimed[rootStart] = 1;
    size_t entries = directory.size() / kEntrySize;
    for (size_t i = 1; i < entries; i++) {
        const uint8_t* entry = directory.data() + i * kEntrySize;
        uint32_t start = Get32(entry + 116);
        if (entry[66] == 2 && Get32(entry + 120) >= kMiniStreamCutoff && start < m_sectors)
            claimed[start] = 1;
    }

    if (rootSize == 0)
        return TryHeader(header, directory, tries);

    // The mini table is a chain that nothing else accounts for, long enough for the mini stream,
    // whose entries all name mini sectors of it.
    uint64_t miniSectors = (rootSize + kMiniSectorSize - 1) / kMiniSectorSize;
    uint64_t needed = (rootSize / kMiniSectorSize * 4 + m_sectorSize - 1) / m_sectorSize;
    std::vector<uint8_t> buffer(m_sectorSize);
    auto miniTableLike = [&](uint32_t sector) {
        if (!ReadSector(sector, buffer.data()))
            return false;
        for (uint32_t j = 0; j < m_perSector; j++) {
            uint32_t value = Get32(buffer.data() + j * 4);
            if (value >= miniSectors && value != kEndOfChain && value != kFreeSect)
                return false;
        }
        return true;
    };
    std::vector<uint32_t> candidates;
    std::vector<uint32_t> sectors;
    // Chains that merge could make this quadratic; a genuine file walks each sector once.
    uint64_t budget = 2 * m_sectors;
    for (uint64_t s = 0; s < m_sectors && candidates.size() < kMaxMiniFatCandidates; s++) {
        uint32_t start = static_cast<uint32_t>(s);
        if (claimed[start] || m_pointedTo[start] || !InUse(m_fat[start], m_sectors))
            continue;
        bool chained = Chain(start, sectors);
        if (sectors.size() > budget)
            break;
        budget -= sectors.size();
        if (!chained || sectors.size() < needed)
            continue;
        if (std::all_of(sectors.begin(), sectors.end(), miniTableLike))
            candidates.push_back(start);
    }
    for (uint32_t start : candidates) {
        Chain(start, sectors);
        header.miniFatStart = start;
        header.miniFatCount = static_cast<uint32_t>(sectors.size());
        if (TryHeader(header, directory, tries))
            return true;
        if (tries >= kMaxTries)
            return false;
    }
    return false;
}

bool Rebuilder::TryHeader(const Header& fields, const std::vector<uint8_t>& directory, int& tries)
{
    tries++;
    uint8_t header[kHeaderSize] = {};
    std::memcpy(header, kSignature, sizeof(kSignature));
    Put16(header + 24, 0x003E);
    Put16(header + 26, m_shift == 12 ? 4 : 3);
    Put16(header + 28, 0xFFFE);
    Put16(header + 30, static_cast<uint16_t>(m_shift));
    Put16(header + 32, 6);
    Put32(header + 40, m_shift == 12 ? fields.directoryCount : 0);
    Put32(header + 44, static_cast<uint32_t>(m_tableSectors.size()));
    Put32(header + 48, fields.directoryStart);
    Put32(header + 56, kMiniStreamCutoff);
    Put32(header + 60, fields.miniFatStart);
    Put32(header + 64, fields.miniFatCount);
    Put32(header + 68, m_difat.empty() ? kEndOfChain : m_difat.front());
    Put32(header + 72, static_cast<uint32_t>(m_difat.size()));
    for (uint32_t i = 0; i < kHeaderDifatEntries; i++)
        Put32(header + 76 + i * 4, i < m_tableSectors.size() ? m_tableSectors[i] : kFreeSect);
    if (!m_file.Write(0, header, kHeaderSize))
        return false;
    uint64_t rootStart = Get32(directory.data() + 116);
    return m_file.WellFormed() && WorkbookStartsWithBof(directory, rootStart);
}

// The check above has walked every chain and the tree, so what is read here is in the file.
bool Rebuilder::WorkbookStartsWithBof(const std::vector<uint8_t>& directory, uint64_t rootStart)
{
    uint32_t entries = static_cast<uint32_t>(directory.size() / kEntrySize);
    auto nameIs = [&](const uint8_t* entry, const char* name) {
        size_t length = std::strlen(name);
        if (Get16(entry + 64) != (length + 1) * 2)
            return false;
        for (size_t c = 0; c < length; c++) {
            uint16_t ch = Get16(entry + c * 2);
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<uint16_t>(ch - 'a' + 'A');
            if (ch != static_cast<uint8_t>(name[c]))
                return false;
        }
        return true;
    };
    // The root's children: a tree through the left and right links.
    const uint8_t* workbook = nullptr;
    const uint8_t* book = nullptr;
    std::vector<uint32_t> pending = { Get32(directory.data() + 76) };
    std::vector<uint8_t> seen(entries, 0);
    while (!pending.empty()) {
        uint32_t index = pending.back();
        pending.pop_back();
        if (index == kNoStream || index >= entries || seen[index])
            continue;
        seen[index] = 1;
        const uint8_t* entry = directory.data() + size_t(index) * kEntrySize;
        if (entry[66] == 2 && nameIs(entry, "WORKBOOK"))
            workbook = entry;
        if (entry[66] == 2 && nameIs(entry, "BOOK"))
            book = entry;
        pending.push_back(Get32(entry + 68));
        pending.push_back(Get32(entry + 72));
    }
    const uint8_t* stream = workbook ? workbook : book;
    if (!stream || Get32(stream + 120) < 4)
        return false;
    uint64_t offset = 0;
    uint32_t start = Get32(stream + 116);
    if (Get32(stream + 120) >= kMiniStreamCutoff) {
        offset = (uint64_t(start) + 1) * m_sectorSize;
    } else {
        uint64_t at = uint64_t(start) * kMiniSectorSize;
        uint64_t sector = rootStart;
        for (uint64_t step = at / m_sectorSize; step > 0 && sector < m_sectors; step--)
            sector = m_fat[static_cast<size_t>(sector)];
        if (sector >= m_sectors)
            return false;
        offset = (sector + 1) * m_sectorSize + at % m_sectorSize;
    }
    uint8_t record[4];
    if (!m_file.Read(offset, record, sizeof(record)))
        return false;
    uint16_t type = Get16(record);
    uint16_t length = Get16(record + 2);
    // BIFF8/5 0x0809, BIFF4 0x0409, BIFF3 0x0209, BIFF2 0x0009.
    bool bof = type == 0x0809 || type == 0x0409 || type == 0x0209 || type == 0x0009;
    return bof && length >= 4 && length <= 20;
}

} // namespace

bool RebuildHeader(WritableBytes& target)
{
    File file(target);
    if (file.Length() < 2 * uint64_t(kHeaderSize))
        return false;
    uint8_t original[kHeaderSize];
    if (!file.Read(0, original, kHeaderSize))
        return false;
    int tries = 0;
    for (uint32_t shift : { 9u, 12u }) {
        Rebuilder rebuilder(file, shift);
        if (rebuilder.Run(tries))
            return true;
    }
    if (tries > 0)
        file.Write(0, original, kHeaderSize);
    return false;
}

bool RebuildHeader(const std::wstring& path)
{
    HANDLE h = ::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    HandleTarget target(h);
    const bool rebuilt = target.IsValid() && RebuildHeader(target);
    ::CloseHandle(h);
    return rebuilt;
}
