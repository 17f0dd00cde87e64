// Where a repaired copy goes and under which name.
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

// Splits a full path at its last backslash: the folder before it, the name after it.
// Returns false and leaves both outputs alone when there is no backslash.
bool SplitPath(const std::string& path, std::string& folder, std::string& name);

// Appends a backslash unless the path already ends in one.
std::string WithBackslash(const std::string& path);

// "REP_Book1.xls" or "Book1_REP.xls".
std::string FirstCandidateName(const std::string& name, int nameMode);
// "REP_(3)Book1.xls" or "Book1(3)_REP.xls".
std::string NumberedCandidateName(const std::string& name, int n, int nameMode);

// The folder a copy goes to, ending in a backslash: the source's "Repaired" folder, or the chosen one.
std::string OutputFolder(int locationMode, const std::string& sourceDir, const std::string& targetDir);

// Creates every folder along the path, outermost first; failures (mostly: it exists) are ignored.
// The creator is called with each path in turn (CreateDirectory by default).
void CreateFolderPath(const std::string& path, const std::function<void(const std::string&)>& createFolder = nullptr);

// A path is free when nothing of that name exists (neither file nor folder).
bool IsPathFree(const std::string& path);

// Full path of the first free output name for a working copy's name, or empty when the first
// candidate and all numbered ones up to 199 are taken. Column 3 of the result shows `shownFolder`.
struct OutputChoice {
    std::string path; // empty: no free name
    std::string name; // the name used
    std::string shownFolder; // the folder as the result list shows it
};
OutputChoice ChooseOutput(const std::string& name, int nameMode, int locationMode, const std::string& sourceDir,
    const std::string& targetDir, const std::function<bool(const std::string&)>& isFree = IsPathFree);
