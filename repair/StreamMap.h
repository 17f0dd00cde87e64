// Where the bytes of one stream of a compound file lie in the file, and a reader that walks the
// stream through that map in large blocks, noting which 512-byte blocks of the file hold only
// zeros (what a lost sector or page looks like).
#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <vector>

struct StreamRun {
    uint64_t fileOffset;
    uint64_t length;
};

class StreamMap {
public:
    explicit StreamMap(uint32_t unitSize = 512)
        : m_unitSize(unitSize)
    {
    }
    // The stream's sector size: 64 for a stream in the mini stream, else the file's sector size.
    uint32_t UnitSize() const { return m_unitSize; }
    // Adds bytes at the end of the stream; joins them to the last run when they follow it in the file.
    void Append(uint64_t fileOffset, uint64_t length);
    // Ends the stream at `length` bytes (when its entry says it is shorter than its sectors).
    void Truncate(uint64_t length);
    uint64_t Length() const { return m_length; }
    // The stream goes on past these bytes, but the file ends: a record running past the end was
    // cut, not damaged.
    bool CutShort() const { return m_cutShort; }
    void SetCutShort(bool cut) { m_cutShort = cut; }
    const std::vector<StreamRun>& Runs() const { return m_runs; }
    // Index of the run holding stream position `pos` (pos < Length()).
    size_t RunAt(uint64_t pos) const;
    uint64_t RunStart(size_t run) const { return m_starts[run]; }

private:
    uint32_t m_unitSize;
    uint64_t m_length = 0;
    bool m_cutShort = false;
    std::vector<StreamRun> m_runs;
    std::vector<uint64_t> m_starts; // stream position of each run
};

class StreamReader {
public:
    static constexpr uint32_t kZeroBlock = 512;
    // The most Bytes() hands out at once: more than any record with its header.
    static constexpr uint32_t kMaxFetch = 64 * 1024;

    StreamReader(const ByteSource& file, const StreamMap& map, uint32_t window = 1u << 20);
    uint64_t Length() const { return m_map.Length(); }
    bool CutShort() const { return m_map.CutShort(); }
    // `size` contiguous bytes of the stream at `pos` (at most kMaxFetch), valid until the next
    // call; nullptr when any of them is past the end or cannot be read. Bytes in memory are
    // looked at in place.
    const uint8_t* Bytes(uint64_t pos, uint32_t size)
    {
        // In the window: the common case, kept short.
        if (pos >= m_start && pos + size <= m_end && m_data)
            return m_data + (pos - m_start);
        return Fetch(pos, size);
    }
    // The bytes from `pos` on, as many as lie together (`available`); nullptr past the end.
    const uint8_t* Window(uint64_t pos, uint64_t& available);
    // Whether any byte of [pos, pos + size) lies in a 512-byte block of the file that holds only
    // zeros. The bytes must have been fetched just before (Bytes or Window).
    bool TouchesZeroBlock(uint64_t pos, uint32_t size)
    {
        if (size == 0 || !m_data || pos < m_start || pos + size > m_end)
            return false;
        const size_t first = static_cast<size_t>((pos - m_start) / kGranule);
        const size_t last = static_cast<size_t>((pos + size - 1 - m_start) / kGranule);
        // Known not to be zeros, the usual answer, without a call.
        if (m_zero[first] == 0 && m_zero[last] == 0 && last - first <= 1)
            return false;
        return TouchesZero(first, last);
    }
    // Whether the byte at `pos` lies in a block of zeros (loads it when needed).
    bool InZeroBlock(uint64_t pos);
    // Bytes read from the file so far: the measure of the work done.
    uint64_t BytesRead() const { return m_bytesRead; }

private:
    static constexpr uint32_t kGranule = 64;
    static constexpr uint32_t kMinWindow = 256 * 1024;
    const uint8_t* Fetch(uint64_t pos, uint32_t size);
    bool TouchesZero(size_t first, size_t last);
    bool Load(uint64_t pos, uint32_t size);
    bool GranuleZero(size_t granule);
    bool BlockIsZero(uint64_t block);

    const ByteSource& m_file;
    const StreamMap& m_map;
    const uint8_t* m_memory; // the file's bytes, when it keeps them in memory
    size_t m_windowSize; // the buffer's size, once it is made
    std::vector<uint8_t> m_buffer;
    const uint8_t* m_data = nullptr; // the window: stream bytes [m_start, m_end)
    uint64_t m_start = 0;
    uint64_t m_end = 0;
    std::vector<int8_t> m_zero; // per granule of the window: 1 zeros, 0 not, -1 not looked at yet
    uint64_t m_bytesRead = 0;
    uint64_t m_cachedBlock = UINT64_MAX;
    bool m_cachedZero = false;
};
