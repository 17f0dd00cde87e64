// A drive letter of the test's own whose root is a fresh temporary folder, for tests of what the
// program does at "the root of the drive": whatever lands there lands inside the folder, and both
// go at the end.
#pragma once

#include "TempFolder.h"

#include <string>

class TempDrive {
public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    // False when no letter could be mapped; Root() is then empty.
    bool Mapped() const { return m_letter != 0; }
    // "X:\".
    std::wstring Root() const;
    // The same folder by its own path.
    const TempFolder& Folder() const { return m_folder; }

private:
    TempFolder m_folder;
    wchar_t m_letter = 0;
    bool m_wineDrive = false;
};
