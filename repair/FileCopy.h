// Copies that leave a whole file or none: a copy that fails part way (a full disk, a source that
// goes away or changes, a stop request, an exception) removes what it wrote, and never a file it
// did not write.
#pragma once

#include "../framework/Platform.h"
#include "ByteSource.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class SourceFile;

enum class CopyTarget {
    Replace, // an existing file of that name is replaced, as CopyFile does
    New, // the copy fails when the name is taken, so whatever it leaves is ours
};

// A file's bytes and last write time, read whole.
struct FileImage {
    std::vector<uint8_t> bytes;
    FILETIME written = {};
};

// Reads an open source whole; false when it cannot be read, when it changed while it was read,
// when there is no memory for it, or when asked to stop.
bool ReadWhole(SourceFile& source, FileImage& image, const StopTest& stopped = nullptr);
// Opens the file as a source and reads it whole when it has at most `limit` bytes.
bool ReadWhole(const std::wstring& path, uint64_t limit, FileImage& image);

// Writes `size` bytes, handed out block by block by `next(offset, count, data)`, into an open file
// that is new (empty), giving it its length first when it takes several blocks. `stopped` is asked
// between blocks.
using BlockSource = std::function<bool(uint64_t offset, DWORD count, const uint8_t*& data)>;
bool WriteBlocks(HANDLE hFile, uint64_t size, const BlockSource& next, const StopTest& stopped = nullptr);
// The blocks of an image, and of an open file read from its start.
BlockSource ImageBlocks(const FileImage& image);
BlockSource FileBlocks(HANDLE hFile, std::vector<uint8_t>& buffer);

// Writes the image to `to` with its last write time. No reader ever sees part of it under `to`.
bool WriteWhole(const std::wstring& to, const FileImage& image, CopyTarget target, const StopTest& stopped = nullptr);

// Copies `from` to `to` with the source's last write time. Fails without touching `to` when the
// source cannot be opened or changes while it is read; no reader ever sees part of it under `to`.
bool CopyWhole(const std::wstring& from, const std::wstring& to, CopyTarget target, const StopTest& stopped = nullptr);

// A working copy created new in a folder under the first free name the naming rule gives a
// source (an existing file is never opened, so never replaced or removed), held open for reading
// and writing, and removed by the system when it is closed (at the latest when the program ends,
// however it ends), so none is ever left behind.
class TemporaryCopy {
public:
    TemporaryCopy() = default;
    ~TemporaryCopy();
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    // `folder` ends in a backslash. False when every name is taken or none can be created.
    bool Create(const std::wstring& folder, const std::wstring& sourceName, int nameMode);
    // Fills it with the source read from its start; false (and closed, so gone) when it cannot be
    // written whole or the source changed while it was read.
    bool Fill(SourceFile& source, const StopTest& stopped = nullptr);
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_handle; }
    const std::wstring& Path() const { return m_path; }
    // Closes and so removes it.
    void Close();
    // Hands its handle over, to be closed (and the copy so removed) by the taker.
    HANDLE Release();

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::wstring m_path;
};

// Closes handles on a thread of its own, in the order they come, so that removing a large working
// copy (which the system does when its last handle closes) goes on beside the next row's work.
// Every handle handed over is closed by the time it is destroyed.
class BackgroundCloser {
public:
    BackgroundCloser() = default;
    ~BackgroundCloser();
    BackgroundCloser(const BackgroundCloser&) = delete;
    BackgroundCloser& operator=(const BackgroundCloser&) = delete;

    // Closes the handle later; at once when no thread can take it.
    void Close(HANDLE handle);
    // Returns when every handle handed over so far is closed.
    void Finish();

private:
    void Run();
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<HANDLE> m_handles;
    std::thread m_thread;
    bool m_bEnding = false;
};

// Every block a copy writes goes through this, as every read goes through the block reader (see
// ByteSource.h); tests put in ones that fill the disk part way.
using CopyBlockWriter = bool (*)(HANDLE hFile, const uint8_t* data, DWORD count);
CopyBlockWriter SetCopyBlockWriter(CopyBlockWriter writer);
