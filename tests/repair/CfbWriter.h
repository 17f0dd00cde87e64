// Builds well-formed compound files for the tests, with the test choosing where each structure lies,
// and remembers where everything went so that a test can damage one thing at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct CfbNode {
    std::string name;
    bool storage = false;
    uint64_t size = 0;              // streams: under 4096 goes to the mini stream
    std::vector<CfbNode> children;  // storages
};

CfbNode CfbStream(const std::string& name, uint64_t size);
CfbNode CfbStorage(const std::string& name, std::vector<CfbNode> children);

// The runs of sectors, laid out in the order the layout lists them; parts left out go last.
enum class CfbPart { Difat, Fat, Directory, MiniFat, MiniStream, Streams, FreeSector };

struct CfbLayout {
    int version = 3;
    std::vector<CfbNode> root;  // the root storage's children
    std::vector<CfbPart> order = {CfbPart::Difat,   CfbPart::Fat,        CfbPart::Directory,
                                  CfbPart::MiniFat, CfbPart::MiniStream, CfbPart::Streams};
    uint32_t minFatSectors = 0;  // more FAT sectors than needed, to get a DIFAT in a small file
    std::string trailing;        // bytes after the last sector
};

struct CfbImage {
    std::string bytes;
    uint32_t sectorSize = 0;
    uint32_t sectorCount = 0;  // sectors after the header
    std::vector<uint32_t> difatSectors;
    std::vector<uint32_t> fatSectors;
    std::vector<uint32_t> directorySectors;
    std::vector<uint32_t> miniFatSectors;
    std::vector<uint32_t> miniStreamSectors;
    std::vector<uint32_t> freeSectors;
    uint32_t entryCount = 0;                          // including unused ones that fill the last sector
    std::map<std::string, uint32_t> entries;          // "Name" or "Storage/Name" -> entry index
    std::map<std::string, std::vector<uint32_t>> chains;  // stream -> its sectors, or mini sectors if small

    uint64_t SectorOffset(uint32_t sector) const { return (uint64_t(sector) + 1) * sectorSize; }
    uint64_t EntryOffset(uint32_t index) const;
    uint64_t EntryOffset(const std::string& path) const { return EntryOffset(entries.at(path)); }
    uint64_t FatEntryOffset(uint32_t sector) const;
    uint64_t MiniFatEntryOffset(uint32_t miniSector) const;
    // Where byte `at` of a stream lies in the file, through its chain (mini or regular).
    uint64_t StreamByteOffset(const std::string& path, uint64_t at) const;
    // Starts the stream with a BIFF8 workbook beginning-of-file record, as real workbooks do.
    void PutBof(const std::string& path);

    uint32_t Get32(uint64_t offset) const;
    void Put16(uint64_t offset, uint16_t value);
    void Put32(uint64_t offset, uint32_t value);
    void Put64(uint64_t offset, uint64_t value);
};

CfbImage BuildCfb(const CfbLayout& layout);

// The usual case: a version 3 or 4 file whose root holds one stream of the given name and size.
CfbImage BuildWorkbook(uint64_t size, int version = 3, const std::string& name = "Workbook");

// Directory entry field offsets, for the tests that damage them.
namespace cfb {
constexpr uint32_t kNameLength = 64;
constexpr uint32_t kType = 66;
constexpr uint32_t kLeft = 68;
constexpr uint32_t kRight = 72;
constexpr uint32_t kChild = 76;
constexpr uint32_t kStart = 116;
constexpr uint32_t kSize = 120;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
}  // namespace cfb
