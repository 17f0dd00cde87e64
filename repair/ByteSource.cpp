#include "ByteSource.h"

#include "../framework/PathText.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

bool ReadBlock(HANDLE hFile, uint8_t* data, DWORD count)
{
    DWORD done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!::ReadFile(hFile, data + done, count - done, &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    return true;
}

std::atomic<CopyBlockReader> g_reader { &ReadBlock };

} // namespace

CopyBlockReader SetCopyBlockReader(CopyBlockReader reader)
{
    return g_reader.exchange(reader ? reader : &ReadBlock);
}

CopyBlockReader CurrentBlockReader()
{
    return g_reader.load();
}

ListedSectorReader::ListedSectorReader(const ByteSource& file, uint32_t sectorSize)
    : m_file(file)
    , m_sectorSize(sectorSize)
{
}

const uint8_t* ListedSectorReader::Read(const std::vector<uint32_t>& list, size_t i)
{
    constexpr uint64_t kBatchBytes = 64 * 1024;
    const uint64_t sector = list[i];
    if (sector >= m_first && sector < m_first + m_count)
        return m_batch.data() + (sector - m_first) * m_sectorSize;
    const uint64_t length = m_file.Length();
    uint64_t run = 0;
    while (i + run < list.size() && run < kBatchBytes / m_sectorSize && list[i + run] == sector + run
        && (sector + run + 2) * m_sectorSize <= length)
        run++;
    m_count = 0;
    if (run == 0)
        return nullptr;
    m_batch.resize(static_cast<size_t>(run * m_sectorSize));
    if (!m_file.ReadAt((sector + 1) * m_sectorSize, m_batch.data(), static_cast<uint32_t>(m_batch.size())))
        return nullptr;
    m_first = sector;
    m_count = run;
    return m_batch.data();
}

HandleBytes::HandleBytes(HANDLE hFile)
    : m_file(hFile)
{
    LARGE_INTEGER size;
    if (hFile == INVALID_HANDLE_VALUE || !::GetFileSizeEx(hFile, &size) || size.QuadPart < 0)
        return;
    m_length = static_cast<uint64_t>(size.QuadPart);
    m_valid = true;
}

bool HandleBytes::ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const
{
    if (!m_valid || offset > m_length || size > m_length - offset)
        return false;
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(m_file, pos, nullptr, FILE_BEGIN) && g_reader.load()(m_file, buffer, size);
}

FileBytes::FileBytes(const std::wstring& path)
    : m_handle(::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    , m_bytes(m_handle)
{
}

FileBytes::~FileBytes()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_handle);
}

bool MemoryBytes::ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const
{
    if (offset > m_bytes.size() || size > m_bytes.size() - offset)
        return false;
    std::memcpy(buffer, m_bytes.data() + offset, size);
    return true;
}

void OverlaidBytes::Lay(uint64_t offset, const uint8_t* bytes, size_t count)
{
    m_blocks.push_back({ offset, std::vector<uint8_t>(bytes, bytes + count) });
}

uint64_t OverlaidBytes::Length() const
{
    uint64_t length = m_base.Length();
    for (const Block& block : m_blocks)
        length = std::max<uint64_t>(length, block.offset + block.bytes.size());
    return length;
}

bool OverlaidBytes::ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const
{
    const uint64_t length = Length();
    if (offset > length || size > length - offset)
        return false;
    // The base's part first (where it has bytes), then every block over it in the order laid.
    const uint64_t baseLength = m_base.Length();
    if (offset < baseLength) {
        uint32_t fromBase = static_cast<uint32_t>(std::min<uint64_t>(size, baseLength - offset));
        if (!m_base.ReadAt(offset, buffer, fromBase))
            return false;
        std::memset(buffer + fromBase, 0, size - fromBase);
    } else {
        std::memset(buffer, 0, size);
    }
    const uint64_t end = offset + size;
    for (const Block& block : m_blocks) {
        const uint64_t from = std::max(offset, block.offset);
        const uint64_t to = std::min<uint64_t>(end, block.offset + block.bytes.size());
        if (from < to)
            std::memcpy(
                buffer + (from - offset), block.bytes.data() + (from - block.offset), static_cast<size_t>(to - from));
    }
    return true;
}

bool HandleTarget::Write(uint64_t offset, const uint8_t* bytes, size_t count)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    const bool ok = count <= MAXDWORD && ::SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN)
        && ::WriteFile(m_file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
    // A whole write leaves the file as long as it was or as far as the write reached: no need to
    // ask the system. After a failed one, it is asked.
    if (ok && m_bytes.IsValid())
        m_bytes.Extend(offset + count);
    else
        m_bytes = HandleBytes(m_file);
    return ok;
}

bool MemoryTarget::Write(uint64_t offset, const uint8_t* bytes, size_t count)
{
    // Bytes that go on at the end are appended as they are, without zeros written first.
    if (offset == m_image.size()) {
        m_image.insert(m_image.end(), bytes, bytes + count);
        return true;
    }
    if (offset + count > m_image.size())
        m_image.resize(static_cast<size_t>(offset + count));
    std::copy(bytes, bytes + count, m_image.begin() + static_cast<ptrdiff_t>(offset));
    return true;
}
