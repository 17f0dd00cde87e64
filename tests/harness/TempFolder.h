// A fresh folder under the system's temporary folder, removed with everything in it at the end.
// Paths are wide, as the program's are; names may hold any character.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Full path with no trailing backslash.
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }
    // Writes a file of the given size (a repeating byte pattern) and returns its full path.
    std::wstring WriteFile(const std::wstring& name, uint64_t size) const;
    std::wstring WriteFile(const std::wstring& name, const std::string& bytes) const;

private:
    std::wstring m_path;
};

// The program's folder (build\bin, beside the tests' folder), with no trailing backslash. Tests
// start in it, but a file dialog may move the current directory elsewhere.
std::wstring ProgramFolder();

// Removes a folder and all it holds, at any depth and length.
void RemoveTree(const std::wstring& path);
std::string ReadWholeFile(const std::wstring& path);
// Writes the bytes as the whole file (any path length); false when it cannot be written whole.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// The names of the files (not folders) in a folder, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// A UTF-8 text (as this source is written) as UTF-16, and back; for names in tests.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// An ASCII path for the markup's ANSI texts (the temporary folder's path is ASCII).
std::string Ansi(const std::wstring& path);
