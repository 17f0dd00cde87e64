// Read-only views of a file's bytes at any offset, so the structure check can look at a working
// copy through the handle that holds it open, or at the copy as it would be after a patch.
#pragma once

#include "../framework/Platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Every block read from a file, a copy's and the structure check's alike, goes through the block
// reader: `count` bytes from the file's position, or false. Tests put in ones that change the
// source while it is read, block, or slow the reads down.
using CopyBlockReader = bool (*)(HANDLE hFile, uint8_t* data, DWORD count);
CopyBlockReader SetCopyBlockReader(CopyBlockReader reader);
CopyBlockReader CurrentBlockReader();

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Length() const = 0;
    // All of [offset, offset + size) or false.
    virtual bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const = 0;
    // All the bytes, when they are in memory already: a reader then looks at them in place.
    virtual const uint8_t* Memory() const { return nullptr; }
};

// Reads the sectors a list names (of a compound file, whose sector n starts at (n + 1) sector
// sizes), those that follow one another in the file in one call of up to 64 KiB, as writers lay
// out their tables.
class ListedSectorReader {
public:
    ListedSectorReader(const ByteSource& file, uint32_t sectorSize);
    // The bytes of sector list[i], valid until the next call; null when that sector does not lie
    // whole in the file or cannot be read.
    const uint8_t* Read(const std::vector<uint32_t>& list, size_t i);

private:
    const ByteSource& m_file;
    uint64_t m_sectorSize;
    std::vector<uint8_t> m_batch;
    uint64_t m_first = 0;
    uint64_t m_count = 0; // sectors in the batch from m_first on
};

// The bytes of an open file, read through a handle it does not own.
class HandleBytes : public ByteSource {
public:
    explicit HandleBytes(HANDLE hFile);
    bool IsValid() const { return m_valid; }
    uint64_t Length() const override { return m_length; }
    bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const override;
    // The file was written up to `end`: it is at least that long now.
    void Extend(uint64_t end) { m_length = end > m_length ? end : m_length; }

private:
    HANDLE m_file;
    uint64_t m_length = 0;
    bool m_valid = false;
};

// A file opened for reading only, shared freely because we only look.
class FileBytes : public ByteSource {
public:
    explicit FileBytes(const std::wstring& path);
    ~FileBytes() override;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE && m_bytes.IsValid(); }
    uint64_t Length() const override { return m_bytes.Length(); }
    bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const override
    {
        return m_bytes.ReadAt(offset, buffer, size);
    }

private:
    HANDLE m_handle;
    HandleBytes m_bytes;
};

// Bytes already in memory.
class MemoryBytes : public ByteSource {
public:
    explicit MemoryBytes(const std::vector<uint8_t>& bytes)
        : m_bytes(bytes)
    {
    }
    uint64_t Length() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const override;
    const uint8_t* Memory() const override { return m_bytes.data(); }

private:
    const std::vector<uint8_t>& m_bytes;
};

// Another source with blocks of bytes laid over it; a block may reach past the end, which then
// grows to hold it (as writing it would).
class OverlaidBytes : public ByteSource {
public:
    explicit OverlaidBytes(const ByteSource& base)
        : m_base(base)
    {
    }
    void Lay(uint64_t offset, const uint8_t* bytes, size_t count);
    uint64_t Length() const override;
    bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const override;

private:
    struct Block {
        uint64_t offset;
        std::vector<uint8_t> bytes;
    };
    const ByteSource& m_base;
    std::vector<Block> m_blocks;
};

// Bytes that the repair writes over: what Bytes() shows follows every write. A write past the end
// grows them.
class WritableBytes {
public:
    virtual const ByteSource& Bytes() = 0;
    virtual bool Write(uint64_t offset, const uint8_t* bytes, size_t count) = 0;

protected:
    ~WritableBytes() = default;
};

// An open file, written and read through a handle it does not own.
class HandleTarget : public WritableBytes {
public:
    explicit HandleTarget(HANDLE hFile)
        : m_file(hFile)
        , m_bytes(hFile)
    {
    }
    bool IsValid() const { return m_bytes.IsValid(); }
    const ByteSource& Bytes() override { return m_bytes; }
    bool Write(uint64_t offset, const uint8_t* bytes, size_t count) override;

private:
    HANDLE m_file;
    HandleBytes m_bytes;
};

// Bytes held in memory.
class MemoryTarget : public WritableBytes {
public:
    explicit MemoryTarget(std::vector<uint8_t>& bytes)
        : m_image(bytes)
        , m_bytes(bytes)
    {
    }
    const ByteSource& Bytes() override { return m_bytes; }
    bool Write(uint64_t offset, const uint8_t* bytes, size_t count) override;

private:
    std::vector<uint8_t>& m_image;
    MemoryBytes m_bytes;
};

// A test of whether the work should stop; an empty one never stops it.
using StopTest = std::function<bool()>;

// Another source whose every read first asks whether to stop, and fails once told to: a scan
// through the whole of a large file then ends within one read of the request.
class StoppableBytes : public ByteSource {
public:
    StoppableBytes(const ByteSource& base, const StopTest& stopped)
        : m_base(&base)
        , m_stopped(stopped)
    {
    }
    void Rebase(const ByteSource& base) { m_base = &base; }
    uint64_t Length() const override { return m_base->Length(); }
    bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const override
    {
        return !(m_stopped && m_stopped()) && m_base->ReadAt(offset, buffer, size);
    }

private:
    const ByteSource* m_base;
    StopTest m_stopped;
};

// Bytes written over as another target is, read as StoppableBytes.
class StoppableTarget : public WritableBytes {
public:
    StoppableTarget(WritableBytes& target, const StopTest& stopped)
        : m_target(target)
        , m_bytes(target.Bytes(), stopped)
    {
    }
    const ByteSource& Bytes() override
    {
        m_bytes.Rebase(m_target.Bytes());
        return m_bytes;
    }
    bool Write(uint64_t offset, const uint8_t* bytes, size_t count) override
    {
        return m_target.Write(offset, bytes, count);
    }

private:
    WritableBytes& m_target;
    StoppableBytes m_bytes;
};
