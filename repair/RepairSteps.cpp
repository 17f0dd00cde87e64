#include "RepairSteps.h"

#include "../framework/PathText.h"
#include "../framework/Platform.h"
#include "CompoundFile.h"
#include "HeaderRebuild.h"

#include <algorithm>
#include <memory>
#include <vector>

const std::array<uint8_t, kHeaderPatchSize> kHeaderPatch = {
    0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, // signature
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // class id
    0x3E, 0x00, // minor version
    0x03, 0x00, // major version 3
    0xFE, 0xFF, // byte order: little-endian
    0x09, 0x00, // sector shift: 512-byte sectors
};

namespace {

// The working copy, opened for reading and writing with no sharing, for the whole patch.
class WorkingFile {
public:
    explicit WorkingFile(const std::wstring& path)
        : m_h(::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~WorkingFile()
    {
        if (IsOpen())
            ::CloseHandle(m_h);
    }
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;

    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h;
};

} // namespace

bool ReadTailBlock(const std::wstring& templatePath, std::array<uint8_t, kTailBlockSize>& block)
{
    // Only read: the template beside the program may well sit in a folder the user cannot write.
    HANDLE h = ::CreateFileW(LongPathForm(templatePath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    BOOL ok = ::ReadFile(h, block.data(), kTailBlockSize, &got, nullptr);
    ::CloseHandle(h);
    return ok && got == kTailBlockSize;
}

// Each step is first checked on a view of the copy as it would be, so the structure is read once
// for a sound workbook and nothing is ever written only to be taken back. Every read asks
// `stopped` first, so a stop request ends even a scan through a large copy within one read.
PatchReport PatchBytes(WritableBytes& copy, const std::array<uint8_t, kTailBlockSize>& tail, const StopTest& stopped)
{
    PatchReport report;
    StoppableTarget target(copy, stopped);
    auto stop = [&] {
        if (!stopped || !stopped())
            return false;
        report.result = PatchResult::Stopped;
        return true;
    };
    OverlaidBytes patched(target.Bytes());
    patched.Lay(0, kHeaderPatch.data(), kHeaderPatch.size());
    // The patch stays unless it turns a well-formed file into a malformed one.
    CompoundFile state(patched);
    if (!state.Check().wellFormed) {
        CompoundFile before(target.Bytes());
        if (before.Check().wellFormed)
            state = std::move(before);
        else
            report.headerApplied = true;
    } else {
        report.headerApplied = true;
    }
    if (stop())
        return report;
    // A copy shorter than the header gets the whole patch (and grows to 32 bytes).
    if (report.headerApplied && !target.Write(0, kHeaderPatch.data(), kHeaderPatch.size())) {
        report.result = PatchResult::CannotOpen;
        return report;
    }

    const uint64_t length = target.Bytes().Length();
    if (length < kMinimumRepairLength) {
        report.result = PatchResult::TooShort;
        return report;
    }

    // A lost header is rebuilt before the tail block, which would otherwise land on the live last
    // sector of a copy that is not yet well-formed.
    if (!state.Check().wellFormed && RebuildHeader(target))
        state = CompoundFile(target.Bytes());
    if (stop())
        return report;

    // The tail block goes only where it cannot destroy anything a reader would use: over sectors
    // no structure or stream holds (which no check reads, so the file stays as sound as it is),
    // or over a file that is malformed anyway.
    const uint64_t tailOffset = length - kTailBlockSize;
    const bool wellFormed = state.Check().wellFormed;
    if (!wellFormed || state.RangeHoldsNoLiveData(tailOffset, kTailBlockSize)) {
        report.tailApplied = target.Write(tailOffset, tail.data(), tail.size());
        if (report.tailApplied && !wellFormed)
            state = CompoundFile(target.Bytes());
    }
    if (stop())
        return report;
    report.result = state.Check().wellFormed ? PatchResult::Patched : PatchResult::NotReadable;
    return report;
}

PatchReport PatchWorkingCopy(const std::wstring& workingCopy, const std::wstring& templatePath)
{
    PatchReport report;
    WorkingFile file(workingCopy);
    if (!file.IsOpen())
        return report;
    std::array<uint8_t, kTailBlockSize> tail {};
    if (!ReadTailBlock(templatePath, tail)) {
        report.result = PatchResult::NoTemplate;
        return report;
    }
    return PatchOpenFile(file.get(), tail);
}

PatchReport PatchOpenFile(HANDLE hFile, const std::array<uint8_t, kTailBlockSize>& tail, const StopTest& stopped)
{
    HandleTarget target(hFile);
    if (!target.IsValid())
        return PatchReport();
    return PatchBytes(target, tail, stopped);
}

PatchReport PatchImage(std::vector<uint8_t>& image, const std::wstring& templatePath)
{
    std::array<uint8_t, kTailBlockSize> tail {};
    if (!ReadTailBlock(templatePath, tail)) {
        PatchReport report;
        report.result = PatchResult::NoTemplate;
        return report;
    }
    return PatchImage(image, tail);
}

PatchReport PatchImage(
    std::vector<uint8_t>& image, const std::array<uint8_t, kTailBlockSize>& tail, const StopTest& stopped)
{
    MemoryTarget target(image);
    return PatchBytes(target, tail, stopped);
}
