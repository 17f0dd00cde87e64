// Copies that leave a whole file or none: a copy that fails part way (a full disk, a source that
// goes away, a stop request, an exception) removes what it wrote, and never a file it did not write.
#pragma once

#include "../framework/Platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class CopyTarget {
    Replace, // an existing file of that name is replaced, as CopyFile does
    New, // the copy fails when the name is taken, so whatever it leaves is ours
};

// A file's bytes and last write time, read whole.
struct FileImage {
    std::vector<uint8_t> bytes;
    FILETIME written = {};
};

// Reads a file of at most `limit` bytes whole; false when it cannot be read, is larger, or there
// is no memory for it.
bool ReadWhole(const std::wstring& path, uint64_t limit, FileImage& image);

// Writes the image to `to` with its last write time. `cancelled` is asked between blocks.
bool WriteWhole(const std::wstring& to, const FileImage& image, CopyTarget target,
    const std::function<bool()>& cancelled = nullptr);

// Copies `from` to `to` with the source's last write time, block by block. Fails without
// touching `to` when the source cannot be opened.
bool CopyWhole(const std::wstring& from, const std::wstring& to, CopyTarget target,
    const std::function<bool()>& cancelled = nullptr);

// A working copy written whole and removed by the system when it is closed (at the latest when
// the program ends, however it ends), so none is ever left behind.
class TemporaryCopy {
public:
    TemporaryCopy() = default;
    ~TemporaryCopy();
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    // Replaces a file of that name; false (and nothing there) when it cannot be written whole.
    bool Write(const std::wstring& path, const FileImage& image, const std::function<bool()>& cancelled = nullptr);
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    // Closes and so removes it.
    void Close();

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Every block a copy writes goes through this; tests put in one that fills the disk part way.
using CopyBlockWriter = bool (*)(HANDLE hFile, const uint8_t* data, DWORD count);
CopyBlockWriter SetCopyBlockWriter(CopyBlockWriter writer);
