// A fresh folder under the system's temporary folder, removed with everything in it at the end.
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
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }
    // Writes a file of the given size (a repeating byte pattern) and returns its full path.
    std::string WriteFile(const std::string& name, uint64_t size) const;
    std::string WriteFile(const std::string& name, const std::string& bytes) const;

private:
    std::string m_path;
};

// The program's folder (build\bin, beside the tests' folder), with no trailing backslash. Tests
// start in it, but a file dialog may move the current directory elsewhere.
std::string ProgramFolder();

// Removes a folder and all it holds.
void RemoveTree(const std::string& path);
std::string ReadWholeFile(const std::string& path);
// The names of the files (not folders) in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
