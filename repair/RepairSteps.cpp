#include "RepairSteps.h"

#include "../framework/Platform.h"
#include "CompoundFile.h"
#include "HeaderRebuild.h"

#include <memory>
#include <vector>

const std::array<uint8_t, kHeaderPatchSize> kHeaderPatch = {
    0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, // signature
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // class id
    0x3E, 0x00,                                     // minor version
    0x03, 0x00,                                     // major version 3
    0xFE, 0xFF,                                     // byte order: little-endian
    0x09, 0x00,                                     // sector shift: 512-byte sectors
};

namespace {

// The working copy, opened for reading and writing with no sharing.
class WorkingFile {
public:
    explicit WorkingFile(const std::string& path)
        : m_h(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~WorkingFile() { Close(); }
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;

    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    void Close()
    {
        if (IsOpen())
            ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }
    uint64_t Length() const
    {
        LARGE_INTEGER size = {};
        ::GetFileSizeEx(m_h, &size);
        return static_cast<uint64_t>(size.QuadPart);
    }
    // Bytes read at the offset (fewer at the end of the file).
    std::vector<uint8_t> Read(uint64_t offset, size_t count)
    {
        std::vector<uint8_t> bytes(count);
        DWORD got = 0;
        if (!Seek(offset) || !::ReadFile(m_h, bytes.data(), static_cast<DWORD>(count), &got, nullptr))
            got = 0;
        bytes.resize(got);
        return bytes;
    }
    bool Write(uint64_t offset, const uint8_t* bytes, size_t count)
    {
        DWORD written = 0;
        return Seek(offset) && ::WriteFile(m_h, bytes, static_cast<DWORD>(count), &written, nullptr) &&
               written == count;
    }

private:
    bool Seek(uint64_t offset)
    {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        return ::SetFilePointerEx(m_h, at, nullptr, FILE_BEGIN) != 0;
    }
    HANDLE m_h;
};

bool WellFormed(const std::string& path)
{
    return CheckCompoundFile(path).wellFormed;
}

// Writes the bytes over the file at the offset; puts the old bytes back when the file was
// well-formed before and is not afterwards. Returns whether the new bytes stayed; `state` then
// describes the file as it stands.
bool ApplyUnlessItBreaks(const std::string& path, uint64_t offset, const uint8_t* bytes, size_t count,
                         bool wellFormedBefore, std::unique_ptr<CompoundFile>& state)
{
    std::vector<uint8_t> previous;
    bool written = false;
    {
        WorkingFile file(path);
        if (file.IsOpen()) {
            previous = file.Read(offset, count);
            written = file.Write(offset, bytes, count);
        }
    }
    state = std::make_unique<CompoundFile>(path);
    if (!written || !wellFormedBefore || state->Check().wellFormed)
        return written;
    {
        WorkingFile file(path);
        file.Write(offset, previous.data(), previous.size());
    }
    state = std::make_unique<CompoundFile>(path);
    return false;
}

} // namespace

bool ReadTailBlock(const std::string& templatePath, std::array<uint8_t, kTailBlockSize>& block)
{
    // Only read: the template beside the program may well sit in a folder the user cannot write.
    HANDLE h = ::CreateFileA(templatePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    BOOL ok = ::ReadFile(h, block.data(), kTailBlockSize, &got, nullptr);
    ::CloseHandle(h);
    return ok && got == kTailBlockSize;
}

PatchReport PatchWorkingCopy(const std::string& workingCopy, const std::string& templatePath)
{
    PatchReport report;
    {
        WorkingFile probe(workingCopy);
        if (!probe.IsOpen())
            return report;
    }
    std::array<uint8_t, kTailBlockSize> tail{};
    if (!ReadTailBlock(templatePath, tail)) {
        report.result = PatchResult::NoTemplate;
        return report;
    }

    // A copy shorter than the header gets the whole patch (and grows to 32 bytes).
    std::unique_ptr<CompoundFile> state;
    report.headerApplied =
        ApplyUnlessItBreaks(workingCopy, 0, kHeaderPatch.data(), kHeaderPatch.size(), WellFormed(workingCopy), state);

    uint64_t length = 0;
    {
        WorkingFile file(workingCopy);
        if (!file.IsOpen())
            return report;
        length = file.Length();
    }
    if (length < kMinimumRepairLength) {
        report.result = PatchResult::TooShort;
        return report;
    }

    // A lost header is rebuilt before the tail block, which would otherwise land on the live last
    // sector of a copy that is not yet well-formed.
    if (!state->Check().wellFormed && RebuildHeader(workingCopy))
        state = std::make_unique<CompoundFile>(workingCopy);

    // The tail block goes only where it cannot destroy anything a reader would use.
    const uint64_t tailOffset = length - kTailBlockSize;
    const bool wellFormed = state->Check().wellFormed;
    if (!wellFormed || state->RangeHoldsNoLiveData(tailOffset, kTailBlockSize))
        report.tailApplied = ApplyUnlessItBreaks(workingCopy, tailOffset, tail.data(), tail.size(), wellFormed, state);
    report.result = state->Check().wellFormed ? PatchResult::Patched : PatchResult::NotReadable;
    return report;
}
