#include "OutStream.h"

#include "BiffFormat.h"

#include <cstring>

bool OutStream::Record(uint16_t type, const uint8_t* body, size_t length)
{
    uint8_t header[biff::kHeaderSize];
    biff::Put16(header, type);
    biff::Put16(header + 2, static_cast<uint16_t>(length));
    return length <= 0xFFFF && Write(header, sizeof(header)) && (length == 0 || Write(body, length));
}

bool MemoryOutStream::Write(const uint8_t* bytes, size_t count)
{
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    return true;
}

bool MemoryOutStream::Patch(uint64_t pos, const uint8_t* bytes, size_t count)
{
    if (pos > m_bytes.size() || count > m_bytes.size() - pos)
        return false;
    std::memcpy(m_bytes.data() + pos, bytes, count);
    return true;
}
