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
{
    // A small stream is held whole; a large one through a window of at least 256 KiB.
    const uint64_t size = std::min<uint64_t>(std::max<uint64_t>(window, kMinWindow), map.Length());
    m_buffer.resize(static_cast<size_t>(std::max<uint64_t>(size, 1)));
}

const uint8_t* StreamReader::Bytes(uint64_t pos, uint32_t size)
{
    if (pos > m_map.Length() || size > m_map.Length() - pos || size > kMaxFetch)
        return nullptr;
    if (pos < m_start || pos + size > m_end) {
        if (!Load(pos))
            return nullptr;
    }
    return m_buffer.data() + (pos - m_start);
}

bool StreamReader::BlockIsZero(uint64_t fileOffset, const uint8_t* inWindow, uint64_t available)
{
    const uint64_t block = fileOffset - fileOffset % kZeroBlock;
    if (inWindow && available >= kZeroBlock)
        return AllZero(inWindow, kZeroBlock);
    if (block == m_cachedBlock)
        return m_cachedZero;
    uint8_t bytes[kZeroBlock];
    const uint64_t length = m_file.Length();
    const uint32_t count = block < length ? static_cast<uint32_t>(std::min<uint64_t>(kZeroBlock, length - block)) : 0;
    m_cachedBlock = block;
    m_cachedZero = count > 0 && m_file.ReadAt(block, bytes, count) && AllZero(bytes, count);
    m_bytesRead += count;
    return m_cachedZero;
}

// Keeps a little of what came before, so that records just behind the reader stay at hand.
bool StreamReader::Load(uint64_t pos)
{
    constexpr uint64_t kBehind = 32 * 1024;
    uint64_t start = pos > kBehind ? pos - kBehind : 0;
    start -= start % kZeroBlock;
    if (m_map.Length() <= m_buffer.size())
        start = 0;
    const uint64_t end = std::min<uint64_t>(start + m_buffer.size(), m_map.Length());
    m_start = m_end = 0;
    // Read run by run.
    uint64_t at = start;
    size_t run = m_map.RunAt(start);
    const std::vector<StreamRun>& runs = m_map.Runs();
    while (at < end) {
        const uint64_t within = at - m_map.RunStart(run);
        const uint64_t count = std::min(end - at, runs[run].length - within);
        if (!m_file.ReadAt(runs[run].fileOffset + within, m_buffer.data() + (at - start), static_cast<uint32_t>(count)))
            return false;
        m_bytesRead += count;
        at += count;
        run++;
    }
    // Zero blocks, granule by granule: a block wholly inside one run and the window is judged from
    // the window; any other (a mini stream's, the file's last) is read on its own.
    const uint64_t granules = (end - start + kGranule - 1) / kGranule;
    m_zeroBefore.assign(static_cast<size_t>(granules) + 1, 0);
    run = m_map.RunAt(start);
    uint64_t lastBlock = UINT64_MAX;
    bool lastZero = false;
    for (uint64_t g = 0; g < granules; g++) {
        const uint64_t spos = start + g * kGranule;
        while (spos >= m_map.RunStart(run) + runs[run].length)
            run++;
        const uint64_t runStart = m_map.RunStart(run);
        const uint64_t fileOffset = runs[run].fileOffset + (spos - runStart);
        const uint64_t block = fileOffset - fileOffset % kZeroBlock;
        if (block != lastBlock) {
            const uint64_t blockStream = spos - (fileOffset - block);
            const uint64_t runEnd = std::min(runStart + runs[run].length, end);
            const bool inside = blockStream >= std::max(start, runStart) && blockStream + kZeroBlock <= runEnd;
            lastZero = BlockIsZero(
                fileOffset, inside ? m_buffer.data() + (blockStream - start) : nullptr, inside ? kZeroBlock : 0);
            lastBlock = block;
        }
        m_zeroBefore[static_cast<size_t>(g) + 1] = m_zeroBefore[static_cast<size_t>(g)] + (lastZero ? 1 : 0);
    }
    m_start = start;
    m_end = end;
    return true;
}

bool StreamReader::TouchesZeroBlock(uint64_t pos, uint32_t size) const
{
    if (size == 0 || pos < m_start || pos + size > m_end)
        return false;
    const size_t first = static_cast<size_t>((pos - m_start) / kGranule);
    const size_t last = static_cast<size_t>((pos + size - 1 - m_start) / kGranule);
    return m_zeroBefore[last + 1] != m_zeroBefore[first];
}

bool StreamReader::InZeroBlock(uint64_t pos)
{
    if (!Bytes(pos, 1))
        return false;
    return TouchesZeroBlock(pos, 1);
}
