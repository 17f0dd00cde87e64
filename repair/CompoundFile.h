// Whether a file is a compound file that Excel and other readers would open, and whether a byte
// range of such a file holds live data. Reads only the header, FAT, DIFAT, directory and mini FAT
// sectors, so memory stays proportional to those and not to the workbook's size.
#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <string>
#include <vector>

struct CompoundFileCheck {
    bool wellFormed = false;
    std::string problem; // why not, in a few words (empty when well-formed)
    uint32_t sectorSize = 0; // 512 or 4096 once the header says so
};

// Reads a file's structure once; both answers come from what was read.
class CompoundFile {
public:
    explicit CompoundFile(const std::wstring& path);
    // The same check on bytes already open, or on a file as it would be after a patch.
    explicit CompoundFile(const ByteSource& bytes);

    const CompoundFileCheck& Check() const { return m_check; }
    // True when the file is well-formed and no byte of [offset, offset + length) belongs to the
    // header sector or to a sector whose FAT entry is in use. Bytes past the sectors the FAT covers,
    // including a final partial sector it does not cover and bytes past the end, count as unused.
    bool RangeHoldsNoLiveData(uint64_t offset, uint64_t length) const;

private:
    void Walk(const ByteSource& bytes);

    CompoundFileCheck m_check;
    // FAT entries of every sector that has at least one byte in the file (and a FAT entry).
    std::vector<uint32_t> m_fat;
};

CompoundFileCheck CheckCompoundFile(const std::wstring& path);
bool RangeHoldsNoLiveData(const std::wstring& path, uint64_t offset, uint64_t length);
