#include "StreamFinder.h"

#include "CfbFormat.h"

#include <algorithm>

namespace {

using cfb::CfbTables;

// A workbook stream always opens with the globals' beginning-of-file record.
bool GlobalsBof(const uint8_t* p, biff::Version& version)
{
    if (biff::Get16(p) != biff::kBof)
        return false;
    const uint16_t length = biff::Get16(p + 2);
    if (length < 8 || length > 20 || biff::Get16(p + 6) != biff::kGlobals)
        return false;
    const uint16_t vers = biff::Get16(p + 4);
    if (vers == biff::kBiff8Version)
        version = biff::Version::Biff8;
    else if (vers == biff::kBiff5Version)
        version = biff::Version::Biff5;
    else
        return false;
    return true;
}

// From `start`, through sound table entries, and through the next sector that holds no table
// where an entry is lost, free, out of the file or already used.
StreamMap Follow(const CfbTables& t, uint32_t start, uint64_t size, bool& guessed, bool* chainEnded = nullptr)
{
    StreamMap map(t.SectorSize());
    const uint64_t sectors = t.SectorCount();
    std::vector<uint8_t> seen(static_cast<size_t>(sectors), 0);
    uint64_t sector = start;
    while (sector < sectors && !seen[static_cast<size_t>(sector)] && map.Length() < size) {
        seen[static_cast<size_t>(sector)] = 1;
        map.Append(t.SectorOffset(sector), t.SectorBytes(sector));
        if (map.Length() >= size)
            break;
        const uint32_t next = t.Fat(sector);
        if (next < sectors && !seen[next]) {
            sector = next;
            continue;
        }
        // The chain ends here, and nothing says the stream is longer.
        if (next == cfb::kEndOfChain && size == UINT64_MAX) {
            if (chainEnded)
                *chainEnded = true;
            break;
        }
        uint64_t following = sector + 1;
        while (following < sectors && t.IsTableSector(following))
            following++;
        if (following >= sectors || seen[static_cast<size_t>(following)])
            break;
        guessed = true;
        sector = following;
    }
    return map;
}

// The stream's first sector lies wherever its BOF record is: sectors in use that start a chain
// come first, then those the table says nothing about, then the rest.
std::vector<uint32_t> BofSectors(const CfbTables& t, const ByteSource& file, const std::function<bool()>& cancelled,
    std::vector<std::pair<uint32_t, uint32_t>>& miniCandidates)
{
    constexpr uint32_t kBatch = 64 * 1024;
    constexpr size_t kMaxCandidates = 64;
    std::vector<uint32_t> heads, unknown, others;
    std::vector<uint8_t> batch(kBatch);
    const uint32_t perBatch = kBatch / t.SectorSize();
    const uint64_t length = file.Length();
    for (uint64_t first = 0; first < t.SectorCount(); first += perBatch) {
        if (cancelled && cancelled())
            break;
        const uint64_t offset = t.SectorOffset(first);
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kBatch, length - offset));
        if (!file.ReadAt(offset, batch.data(), count))
            break;
        for (uint32_t at = 0; at + 8 <= count; at += cfb::kMiniSectorSize) {
            biff::Version version;
            if (!GlobalsBof(batch.data() + at, version))
                continue;
            const uint32_t sector = static_cast<uint32_t>(first + at / t.SectorSize());
            if (t.IsTableSector(sector))
                continue;
            if (at % t.SectorSize() != 0) {
                if (miniCandidates.size() < kMaxCandidates)
                    miniCandidates.push_back({ sector, at % t.SectorSize() });
                continue;
            }
            const uint32_t entry = t.Fat(sector);
            if (entry == cfb::kUnknown)
                unknown.push_back(sector);
            else if (entry != cfb::kFreeSect && !t.PointedTo(sector))
                heads.push_back(sector);
            else
                others.push_back(sector);
            if (heads.size() + unknown.size() + others.size() >= kMaxCandidates)
                break;
        }
    }
    heads.insert(heads.end(), unknown.begin(), unknown.end());
    heads.insert(heads.end(), others.begin(), others.end());
    // A mini stream's sector that starts a regular sector is found here too; both orders are tried.
    return heads;
}

bool EndsWithFile(const ByteSource& file, const StreamMap& map)
{
    return !map.Runs().empty() && map.Runs().back().fileOffset + map.Runs().back().length >= file.Length();
}

bool StartsWithGlobals(const ByteSource& file, const StreamMap& map, biff::Version& version)
{
    if (map.Runs().empty() || map.Length() < 8)
        return false;
    uint8_t head[8];
    if (map.Runs()[0].length < 8 || !file.ReadAt(map.Runs()[0].fileOffset, head, 8))
        return false;
    return GlobalsBof(head, version);
}

// A small workbook lies in the root's mini stream: through it when it is known, else in order
// from its BOF record.
StreamMap MiniFrom(const CfbTables& t, const ByteSource& file, uint32_t sector, uint32_t within, bool& guessed)
{
    const uint64_t fileOffset = t.SectorOffset(sector) + within;
    const StreamMap& mini = t.MiniStream();
    for (size_t run = 0; run < mini.Runs().size(); run++) {
        const StreamRun& r = mini.Runs()[run];
        if (fileOffset >= r.fileOffset && fileOffset < r.fileOffset + r.length) {
            const uint64_t pos = mini.RunStart(run) + (fileOffset - r.fileOffset);
            return t.MiniChain(static_cast<uint32_t>(pos / cfb::kMiniSectorSize), cfb::kMiniStreamCutoff);
        }
    }
    guessed = true;
    StreamMap map(cfb::kMiniSectorSize);
    const uint64_t end = std::min<uint64_t>(file.Length(), fileOffset + cfb::kMiniStreamCutoff);
    map.Append(fileOffset, end - fileOffset);
    return map;
}

} // namespace

FoundStream FindWorkbookStream(const CfbTables& t, const ByteSource& file, const std::function<bool()>& cancelled)
{
    FoundStream found;
    for (const char* name : { "Workbook", "Book" }) {
        const int index = t.FindRootStream(name);
        if (index < 0)
            continue;
        const cfb::DirectoryEntry& entry = t.Entries()[static_cast<size_t>(index)];
        if (entry.size == 0)
            continue;
        if (entry.size < cfb::kMiniStreamCutoff) {
            if (t.MiniStream().Length() == 0)
                continue;
            found.map = t.MiniChain(entry.start, entry.size);
        } else {
            found.map = Follow(t, entry.start, entry.size, found.guessed);
        }
        found.map.Truncate(entry.size);
        if (found.map.Length() == 0)
            continue;
        found.map.SetCutShort(found.map.Length() < entry.size);
        found.found = true;
        found.sized = true;
        // The first sector may be what was lost: the entry's name tells the version then.
        if (!StartsWithGlobals(file, found.map, found.version))
            found.version = std::string(name) == "Book" ? biff::Version::Biff5 : biff::Version::Biff8;
        return found;
    }

    std::vector<std::pair<uint32_t, uint32_t>> mini;
    const std::vector<uint32_t> sectors = BofSectors(t, file, cancelled, mini);
    constexpr size_t kTries = 8;
    for (size_t i = 0; i < sectors.size() && i < kTries; i++) {
        bool guessed = false;
        bool ended = false;
        StreamMap map = Follow(t, sectors[i], UINT64_MAX, guessed, &ended);
        biff::Version version;
        if (StartsWithGlobals(file, map, version)) {
            found.found = true;
            found.map = std::move(map);
            found.map.SetCutShort(!ended && EndsWithFile(file, found.map));
            found.version = version;
            found.guessed = guessed;
            return found;
        }
    }
    for (size_t i = 0; i < mini.size() && i < kTries; i++) {
        bool guessed = false;
        StreamMap map = MiniFrom(t, file, mini[i].first, mini[i].second, guessed);
        biff::Version version;
        if (StartsWithGlobals(file, map, version)) {
            found.found = true;
            found.map = std::move(map);
            found.map.SetCutShort(guessed && EndsWithFile(file, found.map));
            found.version = version;
            found.guessed = guessed;
            return found;
        }
    }
    return found;
}

FoundStream FindWorkbookStream(const ByteSource& file, const std::function<bool()>& cancelled)
{
    CfbTables tables(file, cancelled);
    return FindWorkbookStream(tables, file, cancelled);
}

namespace {

// A property set: byte order, version, one or two sections, each within the stream and each of
// its properties within its section.
bool PropertySetHolds(const std::vector<uint8_t>& s)
{
    if (s.size() < 48 || biff::Get16(s.data()) != 0xFFFE || biff::Get16(s.data() + 2) > 1)
        return false;
    const uint32_t sections = biff::Get32(s.data() + 24);
    if (sections < 1 || sections > 2 || 28 + 20 * sections > s.size())
        return false;
    for (uint32_t k = 0; k < sections; k++) {
        const uint32_t offset = biff::Get32(s.data() + 28 + 20 * k + 16);
        if (offset > s.size() || s.size() - offset < 8)
            return false;
        const uint32_t size = biff::Get32(s.data() + offset);
        const uint32_t count = biff::Get32(s.data() + offset + 4);
        if (size < 8 || size > s.size() - offset || count > (size - 8) / 8)
            return false;
        for (uint32_t p = 0; p < count; p++) {
            const uint32_t at = biff::Get32(s.data() + offset + 8 + 8 * p + 4);
            if (at < 8 + 8 * count || at >= size)
                return false;
        }
    }
    return true;
}

} // namespace

bool ReadWholeSummary(const CfbTables& t, const ByteSource& file, const std::string& name, std::vector<uint8_t>& bytes)
{
    constexpr uint64_t kMaxSummary = 1u << 20;
    const int index = t.FindRootStream(name);
    if (index < 0)
        return false;
    const cfb::DirectoryEntry& entry = t.Entries()[static_cast<size_t>(index)];
    if (entry.size == 0 || entry.size > kMaxSummary)
        return false;
    const StreamMap map = entry.size < cfb::kMiniStreamCutoff ? t.MiniChain(entry.start, entry.size)
                                                              : t.RegularChain(entry.start, entry.size);
    if (map.Length() != entry.size)
        return false;
    bytes.assign(static_cast<size_t>(entry.size), 0);
    uint64_t at = 0;
    for (const StreamRun& run : map.Runs()) {
        if (!file.ReadAt(run.fileOffset, bytes.data() + at, static_cast<uint32_t>(run.length)))
            return false;
        at += run.length;
    }
    return PropertySetHolds(bytes);
}
