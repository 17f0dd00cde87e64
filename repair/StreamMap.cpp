#include "StreamMap.h"

#include <algorithm>
#include <cstring>

void StreamMap::Append(uint64_t fileOffset, uint64_t length)
{
    if (length == 0)
        return;
    if (!m_runs.empty()) {
        StreamRun& last = m_runs.back();
        if (last.fileOffset + last.length == fileOffset) {
            last.length += length;
            m_length += length;
            return;
        }
    }
    m_runs.push_back({ fileOffset, length });
    m_starts.push_back(m_length);
    m_length += length;
}

void StreamMap::Truncate(uint64_t length)
{
    if (length >= m_length)
        return;
    while (!m_runs.empty() && m_starts.back() >= length) {
        m_runs.pop_back();
        m_starts.pop_back();
    }
    if (!m_runs.empty())
        m_runs.back().length = length - m_starts.back();
    m_length = length;
}

size_t StreamMap::RunAt(uint64_t pos) const
{
    auto at = std::upper_bound(m_starts.begin(), m_starts.end(), pos);
    return static_cast<size_t>(at - m_starts.begin()) - 1;
}

namespace {

bool AllZero(const uint8_t* bytes, size_t count)
{
    uint64_t any = 0;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        any |= word;
    }
    for (; i < count; i++)
        any |= bytes[i];
    return any == 0;
}

} // namespace

StreamReader::StreamReader(const ByteSource& file, const StreamMap& map, uint32_t window)
    : m_file(file)
    , m_map(map)
    , m_memory(file.Memory())
{
    // A small stream is held whole; a large one through a window of at least 256 KiB. The buffer
    // is made when the first bytes are read into it: a reader that never reads costs nothing.
    const uint64_t size = m_memory ? std::min<uint64_t>(kMinWindow, map.Length())
                                   : std::min<uint64_t>(std::max<uint64_t>(window, kMinWindow), map.Length());
    m_windowSize = static_cast<size_t>(std::max<uint64_t>(size, 1));
}

const uint8_t* StreamReader::Fetch(uint64_t pos, uint32_t size)
{
    if (pos > m_map.Length() || size > m_map.Length() - pos || size > kMaxFetch)
        return nullptr;
    if (!m_data || pos < m_start || pos + size > m_end) {
        if (!Load(pos, size))
            return nullptr;
    }
    return m_data + (pos - m_start);
}

const uint8_t* StreamReader::Window(uint64_t pos, uint64_t& available)
{
    const uint64_t length = m_map.Length();
    if (pos >= length)
        return nullptr;
    const uint8_t* at = Bytes(pos, static_cast<uint32_t>(std::min<uint64_t>(length - pos, 8228)));
    if (!at)
        return nullptr;
    available = m_end - pos;
    return at;
}

// In memory, a window is a whole run of the stream, looked at in place; otherwise bytes are read
// into the buffer, keeping a little of what came before so that records just behind the reader
// stay at hand.
bool StreamReader::Load(uint64_t pos, uint32_t size)
{
    // The last window, when it was read whole into the buffer.
    const bool buffered = m_data != nullptr && m_data == m_buffer.data();
    m_data = nullptr;
    const std::vector<StreamRun>& runs = m_map.Runs();
    size_t run = m_map.RunAt(pos);
    const uint64_t runStart = m_map.RunStart(run);
    if (m_memory && pos + size <= runStart + runs[run].length) {
        m_start = runStart;
        m_end = runStart + runs[run].length;
        m_data = m_memory + runs[run].fileOffset;
        m_zero.assign(static_cast<size_t>((m_end - m_start + kGranule - 1) / kGranule), -1);
        return true;
    }
    if (m_buffer.empty())
        m_buffer.resize(m_windowSize);
    // A walk that checks records ahead of the one who takes them keeps this much behind it; a
    // window that kept less would be read again and again as the two take turns.
    const uint64_t behind = std::min<uint64_t>(256 * 1024, m_buffer.size() / 4);
    uint64_t start = pos > behind ? pos - behind : 0;
    start -= start % kZeroBlock;
    if (m_map.Length() <= m_buffer.size())
        start = 0;
    const uint64_t end = std::min<uint64_t>(start + m_buffer.size(), m_map.Length());
    uint64_t at = start;
    // What the last window holds of the new one moves to the front instead of being read again.
    if (buffered && m_start <= start && start < m_end && m_end < end) {
        std::memmove(m_buffer.data(), m_buffer.data() + (start - m_start), static_cast<size_t>(m_end - start));
        at = m_end;
    }
    run = m_map.RunAt(at);
    while (at < end) {
        const uint64_t within = at - m_map.RunStart(run);
        const uint64_t count = std::min(end - at, runs[run].length - within);
        if (!m_file.ReadAt(runs[run].fileOffset + within, m_buffer.data() + (at - start), static_cast<uint32_t>(count)))
            return false;
        m_bytesRead += count;
        at += count;
        run++;
    }
    m_start = start;
    m_end = end;
    m_data = m_buffer.data();
    m_zero.assign(static_cast<size_t>((end - start + kGranule - 1) / kGranule), -1);
    return true;
}

bool StreamReader::BlockIsZero(uint64_t block)
{
    if (block == m_cachedBlock)
        return m_cachedZero;
    const uint64_t length = m_file.Length();
    const uint32_t count = block < length ? static_cast<uint32_t>(std::min<uint64_t>(kZeroBlock, length - block)) : 0;
    m_cachedBlock = block;
    if (m_memory) {
        m_cachedZero = count > 0 && AllZero(m_memory + block, count);
        return m_cachedZero;
    }
    uint8_t bytes[kZeroBlock];
    m_cachedZero = count > 0 && m_file.ReadAt(block, bytes, count) && AllZero(bytes, count);
    m_bytesRead += count;
    return m_cachedZero;
}

// A granule of the stream lies in a block of the file; whether that block holds only zeros is
// found out once per window. For a stream in sectors of its own the block is in the window
// already; a mini stream's block holds other streams' bytes too, and is read.
bool StreamReader::GranuleZero(size_t granule)
{
    int8_t& known = m_zero[granule];
    if (known >= 0)
        return known == 1;
    const uint64_t pos = m_start + uint64_t(granule) * kGranule;
    const size_t run = m_map.RunAt(pos);
    const StreamRun& r = m_map.Runs()[run];
    const uint64_t runStart = m_map.RunStart(run);
    const uint64_t fileOffset = r.fileOffset + (pos - runStart);
    const uint64_t block = fileOffset - fileOffset % kZeroBlock;
    const uint64_t blockStream = pos - (fileOffset - block);
    bool zero;
    if (!m_memory && blockStream >= std::max(m_start, runStart)
        && blockStream + kZeroBlock <= std::min(m_end, runStart + r.length))
        zero = AllZero(m_data + (blockStream - m_start), kZeroBlock);
    else
        zero = BlockIsZero(block);
    // Every granule of the block inside the window shares the answer.
    for (uint64_t g = blockStream; g < blockStream + kZeroBlock; g += kGranule) {
        if (g >= m_start && g < m_end && g >= runStart && g < runStart + r.length)
            m_zero[static_cast<size_t>((g - m_start) / kGranule)] = zero ? 1 : 0;
    }
    known = zero ? 1 : 0;
    return zero;
}

bool StreamReader::TouchesZero(size_t first, size_t last)
{
    for (size_t g = first; g <= last; g++) {
        if (GranuleZero(g))
            return true;
    }
    return false;
}

bool StreamReader::InZeroBlock(uint64_t pos)
{
    if (!Bytes(pos, 1))
        return false;
    return TouchesZeroBlock(pos, 1);
}
