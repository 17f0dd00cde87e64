// Where a repaired copy goes and under which name. Names and folders are wide (UTF-16), and every
// length below counts UTF-16 units, as the file system does.
#pragma once

#include <functional>
#include <string>

// Naming modes
constexpr int NAME_PREFIX = 1; // REP_Book1.xls
constexpr int NAME_SUFFIX = 2; // Book1_REP.xls

// Location modes
constexpr int LOCATION_UNSET = 0; // not yet confirmed
constexpr int LOCATION_SAME = 1; // a "Repaired" folder beside each source
constexpr int LOCATION_CHOSEN = 2; // one folder the user chose

// Numbered names run from 1 to this.
constexpr int kMaxNumberedName = 199;
// The longest name of one file or folder the file systems take.
constexpr size_t kMaxNameLength = 255;

// Splits a full path at its last backslash: the folder before it, the name after it.
// Returns false and leaves both outputs alone when there is no backslash.
bool SplitPath(const std::wstring& path, std::wstring& folder, std::wstring& name);

// Appends a backslash unless the path already ends in one.
std::wstring WithBackslash(const std::wstring& path);

// Drops the backslashes a folder ends in, but for a drive root's (C:\).
std::wstring WithoutBackslash(std::wstring folder);

// "REP_Book1.xls" or "Book1_REP.xls".
std::wstring FirstCandidateName(const std::wstring& name, int nameMode);
// "REP_(3)Book1.xls" or "Book1(3)_REP.xls".
std::wstring NumberedCandidateName(const std::wstring& name, int n, int nameMode);
// True when a name is short enough for the file system.
bool NameFits(const std::wstring& name);

// True for a name the system takes as a device rather than a file (CON, PRN, AUX, NUL, COM0 to
// COM9 and LPT0 to LPT9, with or without an extension, in any case, with trailing blanks).
bool IsDeviceName(const std::wstring& name);

// True when the settings say where copies go: the same location, or a chosen folder that is set.
bool HasOutputLocation(int locationMode, const std::wstring& targetDir);

// The folder a copy goes to, ending in a backslash: the source's "Repaired" folder, or the chosen one.
std::wstring OutputFolder(int locationMode, const std::wstring& sourceDir, const std::wstring& targetDir);

// Creates every folder along the path, outermost first; failures (mostly: it exists) are ignored.
// The creator is called with each path in turn (CreateDirectory by default).
void CreateFolderPath(const std::wstring& path, const std::function<void(const std::wstring&)>& createFolder = nullptr);

// A path is free when nothing of that name exists (neither file nor folder).
bool IsPathFree(const std::wstring& path);

// Full path of the first free output name for a working copy's name, or empty when the first
// candidate and all numbered ones up to 199 are taken, or when every candidate still to try is
// longer than a name may be (`nameTooLong`). Column 3 of the result shows `shownFolder`.
struct OutputChoice {
    std::wstring path; // empty: no free name
    std::wstring name; // the name used
    std::wstring shownFolder; // the folder as the result list shows it
    bool nameTooLong = false; // no name was free that the file system would take
};
OutputChoice ChooseOutput(const std::wstring& name, int nameMode, int locationMode, const std::wstring& sourceDir,
    const std::wstring& targetDir, const std::function<bool(const std::wstring&)>& isFree = IsPathFree);

// Names compared as the file system compares them: ordinal, ignoring case by the platform's
// upper-case table (so "É" matches "é" and "ß" stays apart from "SS").
bool SameFileName(const std::wstring& a, const std::wstring& b);
// A strict order for sorting names the same way; equal names by it are SameFileName.
bool FileNameLess(const std::wstring& a, const std::wstring& b);
// True for a name ending in ".xls" in any case.
bool HasWorkbookExtension(const std::wstring& name);
