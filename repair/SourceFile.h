// A source workbook opened as a copy tool opens it: shared for reading, writing and deleting, so a
// workbook open in another program can still be read, and only when it is a regular file, never a
// folder or a device. A source that changes while it is read is caught, so a copy is always of a
// moment the file really had.
#pragma once

#include "../framework/Platform.h"

#include <cstdint>
#include <string>

class SourceFile {
public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // False, touching nothing, for an empty or device name, a folder, anything that is not a file
    // on a disk, or a file that cannot be opened for reading.
    bool Open(const std::wstring& path);
    // Sets the file's attributes to normal (read-only, hidden, system and archive cleared).
    bool ResetAttributes();
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_handle; }
    uint64_t Size() const { return m_size; }
    const FILETIME& Written() const { return m_written; }
    // True while its size and last write time are still those it had when it was opened.
    bool Unchanged() const;

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    uint64_t m_size = 0;
    FILETIME m_written = {};
};
