// The repair of one working copy: the header patch and the tail block, each applied only when it
// does not turn a well-formed compound file into a malformed one.
#pragma once

#include "../framework/Platform.h"
#include "ByteSource.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kHeaderPatchSize = 32;
constexpr int kTailBlockSize = 512;
constexpr uint64_t kMinimumRepairLength = 550;

// The fixed fields at the start of a compound-file header: signature, class id, minor version
// 0x3E, major version 3, little-endian byte order, 512-byte sectors.
extern const std::array<uint8_t, kHeaderPatchSize> kHeaderPatch;

enum class PatchResult {
    Patched, // the copy is ready to be placed
    CannotOpen, // the working copy cannot be opened for reading and writing
    NoTemplate, // the template is missing, unreadable or shorter than the tail block
    TooShort, // shorter than the minimum length after the header patch
    NotReadable, // the result is not a well-formed compound file
    Stopped, // asked to stop before the copy was ready; what it holds is of no use
};

// What the steps did, for tests and for the record.
struct PatchReport {
    PatchResult result = PatchResult::CannotOpen;
    bool headerApplied = false;
    bool tailApplied = false;
};

using TailBlock = std::array<uint8_t, kTailBlockSize>;

// Reads the template's first 512 bytes; false when it is missing or shorter.
bool ReadTailBlock(const std::wstring& templatePath, std::array<uint8_t, kTailBlockSize>& block);

PatchReport PatchWorkingCopy(const std::wstring& workingCopy, const std::wstring& templatePath);
// The same repair on a working copy held in memory.
PatchReport PatchImage(std::vector<uint8_t>& image, const std::wstring& templatePath);
// With the tail block already read. `stopped` is asked before every read of the copy.
PatchReport PatchImage(
    std::vector<uint8_t>& image, const std::array<uint8_t, kTailBlockSize>& tail, const StopTest& stopped = nullptr);
// The same on any bytes that can be written over.
PatchReport PatchBytes(
    WritableBytes& target, const std::array<uint8_t, kTailBlockSize>& tail, const StopTest& stopped = nullptr);
// The same on a working copy held open for reading and writing.
PatchReport PatchOpenFile(
    HANDLE hFile, const std::array<uint8_t, kTailBlockSize>& tail, const StopTest& stopped = nullptr);
