// What survives of a compound file's tables when the file is damaged: the header's fields where
// they are sane, every allocation-table entry whose table sector is still in the file and sound,
// the directory where it can still be found (its root identified by type and place, never by
// name), and the mini allocation table. Nothing here trusts the file: every number is checked
// against the file's size before it is used, and work and memory stay proportional to the file.
#pragma once

#include "ByteSource.h"
#include "StreamMap.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cfb {

// An allocation-table entry no surviving table sector gives.
constexpr uint32_t kUnknown = 0xFFFFFFFB;

struct DirectoryEntry {
    std::string name; // as stored, 16-bit characters narrowed (others become '?')
    uint8_t type = 0;
    uint32_t left = 0xFFFFFFFF;
    uint32_t right = 0xFFFFFFFF;
    uint32_t child = 0xFFFFFFFF;
    uint32_t start = 0;
    uint64_t size = 0;
};

class CfbTables {
public:
    explicit CfbTables(const ByteSource& file, const std::function<bool()>& cancelled = nullptr);

    uint32_t SectorSize() const { return m_sectorSize; }
    // Sectors after the header with at least one byte in the file.
    uint64_t SectorCount() const { return m_sectors; }
    uint64_t SectorOffset(uint64_t sector) const { return (sector + 1) * m_sectorSize; }
    // Bytes of a sector that are in the file (less than a sector only for a cut file's last one).
    uint32_t SectorBytes(uint64_t sector) const;
    // The entry of a sector, kUnknown when no sound table sector gives it.
    uint32_t Fat(uint64_t sector) const { return sector < m_fat.size() ? m_fat[sector] : kUnknown; }
    bool HasFat() const { return m_fatKnown; }
    // Sectors some known entry points to: never the first of a chain.
    bool PointedTo(uint64_t sector) const { return sector < m_pointed.size() && m_pointed[sector]; }
    // Sectors holding the tables themselves (allocation table, its index, directory, mini table).
    bool IsTableSector(uint64_t sector) const { return sector < m_tableSector.size() && m_tableSector[sector]; }

    bool HasDirectory() const { return !m_entries.empty(); }
    const std::vector<DirectoryEntry>& Entries() const { return m_entries; }
    // The stream of this name (compared without case) among the root's children; -1 when none.
    int FindRootStream(const std::string& name) const;

    // A regular chain from `start`, through known entries and, where an entry is lost, on to the
    // next sector that holds no table; it ends where the chain ends, leaves the file or loops,
    // or at `maxBytes`.
    StreamMap RegularChain(uint32_t start, uint64_t maxBytes) const;
    // The root's mini stream, as a map of its regular sectors, and the mini allocation table.
    const StreamMap& MiniStream() const { return m_miniStream; }
    uint32_t MiniFat(uint32_t sector) const { return sector < m_miniFat.size() ? m_miniFat[sector] : kUnknown; }
    size_t MiniFatSize() const { return m_miniFat.size(); }
    // A chain of the mini stream from `start`, mapped to the file.
    StreamMap MiniChain(uint32_t start, uint64_t size) const;
    // Where a position of the mini stream lies in the file.
    bool MiniStreamOffset(uint64_t pos, uint64_t& fileOffset) const;

private:
    void ReadHeader();
    void ReadFat(const std::function<bool()>& cancelled);
    void ReadDirectory(const std::function<bool()>& cancelled);
    bool LoadDirectoryFrom(uint32_t start);
    void ReadMiniTables();
    bool ReadSector(uint64_t sector, std::vector<uint8_t>& buffer) const;

    const ByteSource& m_file;
    uint8_t m_header[512] = {};
    bool m_headerRead = false;
    uint32_t m_sectorSize = 512;
    uint64_t m_sectors = 0;
    uint64_t m_maxSectors = 0; // what the header says the file had, or the file's own count
    std::vector<uint32_t> m_fat;
    bool m_fatKnown = false;
    std::vector<uint8_t> m_pointed;
    std::vector<uint8_t> m_tableSector;
    std::vector<DirectoryEntry> m_entries;
    StreamMap m_miniStream;
    std::vector<uint32_t> m_miniFat;
};

} // namespace cfb
