// A repaired copy that no reader ever sees in part under its final name: it is written under a
// temporary name of ours in the output folder, marked for deletion until its last byte is in (so a
// kill, a crash or a log-off mid-write leaves nothing), then renamed to its free name without
// replacing anything.
#pragma once

#include "../framework/Platform.h"

#include <cstdint>
#include <string>

class PendingOutput {
public:
    PendingOutput() = default;
    // Unless it was published, it goes.
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Creates it new in the folder (ending in a backslash).
    bool Create(const std::wstring& folder);
    HANDLE Handle() const { return m_handle; }
    // The temporary name's full path.
    const std::wstring& Path() const { return m_path; }
    // Gives it the write time and puts it under `path`; an existing file of that name is replaced
    // only when asked. False when that fails: it then stays pending, and LastError() says why
    // (ERROR_ALREADY_EXISTS when the name was taken).
    bool Publish(const std::wstring& path, const FILETIME& written, bool replace = false);
    DWORD LastError() const { return m_error; }

private:
    void Discard();

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::wstring m_path;
    DWORD m_error = 0;
};

// "~tessel-<16 hex digits>-<8 hex digits>.tmp": the temporary name of an output, whose second
// number is a check of the first.
std::wstring PendingOutputName(uint64_t token);
bool IsPendingOutputName(const std::wstring& name);

// Removes what killed runs left in the folder (ending in a backslash): only files named as ours
// with a check that holds, which no program has open. Returns how many went.
int RemoveLeftoverOutputs(const std::wstring& folder);
