// The layout of a compound file as the structure check and the header rebuild both read it: the
// special sector numbers, the fixed sizes and little-endian fields.
#pragma once

#include <cstdint>

namespace cfb {

constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr uint32_t kEntrySize = 128;

// What a damaged file may claim never sizes our tables beyond what a workbook's structures need.
// A directory of 32,768 entries (4 MiB) is far beyond any workbook writer's; a longer chain is not
// a directory.
constexpr uint64_t kMaxDirectoryBytes = 4u << 20;
// The mini stream holds only streams under 4,096 bytes, at most one per directory entry.
constexpr uint64_t kMaxMiniStreamBytes = kMaxDirectoryBytes / kEntrySize * kMiniStreamCutoff;

inline constexpr uint8_t kSignature[8] = { 0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1 };

inline uint16_t Get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t Get64(const uint8_t* p)
{
    return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

} // namespace cfb
