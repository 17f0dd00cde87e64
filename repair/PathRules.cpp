#include "PathRules.h"

#include "../framework/Platform.h"

#include <io.h>

namespace {

const char* const kPrefix = "REP_";
const char* const kNumberedPrefixOpen = "REP_(";
const char* const kNumberedClose = ")";
const char* const kSuffix = "_REP";
const char* const kNumberedSuffixOpen = "(";
const char* const kNumberedSuffixClose = ")_REP";
const char* const kRepairedFolder = "Repaired\\";

// The base (before the last dot) and the extension (the last dot and after); a name without a dot
// has neither.
void SplitExtension(const std::string& name, std::string& base, std::string& extension)
{
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        base.clear();
        extension.clear();
        return;
    }
    base = name.substr(0, dot);
    extension = name.substr(dot);
}

} // namespace

bool SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    size_t pos = path.rfind('\\');
    if (pos == std::string::npos)
        return false;
    folder = path.substr(0, pos);
    name = path.substr(pos + 1);
    return true;
}

std::string WithBackslash(const std::string& path)
{
    if (!path.empty() && path.back() == '\\')
        return path;
    return path + '\\';
}

std::string FirstCandidateName(const std::string& name, int nameMode)
{
    if (nameMode == NAME_PREFIX)
        return kPrefix + name;
    std::string base, extension;
    SplitExtension(name, base, extension);
    return base + kSuffix + extension;
}

std::string NumberedCandidateName(const std::string& name, int n, int nameMode)
{
    std::string number = std::to_string(n);
    if (nameMode == NAME_PREFIX)
        return kNumberedPrefixOpen + number + kNumberedClose + name;
    std::string base, extension;
    SplitExtension(name, base, extension);
    return base + kNumberedSuffixOpen + number + kNumberedSuffixClose + extension;
}

std::string OutputFolder(int locationMode, const std::string& sourceDir, const std::string& targetDir)
{
    if (locationMode == LOCATION_SAME)
        return WithBackslash(sourceDir) + kRepairedFolder;
    return WithBackslash(targetDir);
}

void CreateFolderPath(const std::string& path, const std::function<void(const std::string&)>& createFolder)
{
    auto create = [&](const std::string& folder) {
        if (createFolder)
            createFolder(folder);
        else
            ::CreateDirectoryA(folder.c_str(), nullptr);
    };
    for (size_t pos = path.find('\\'); pos != std::string::npos; pos = path.find('\\', pos + 1))
        create(path.substr(0, pos));
    create(path);
}

bool IsPathFree(const std::string& path)
{
    return _access(path.c_str(), 0) != 0;
}

OutputChoice ChooseOutput(const std::string& name, int nameMode, int locationMode, const std::string& sourceDir,
    const std::string& targetDir, const std::function<bool(const std::string&)>& isFree)
{
    const std::string folder = OutputFolder(locationMode, sourceDir, targetDir);
    // The first candidate goes into the chosen folder as the user gave it; numbered ones into the
    // folder with its backslash. Both spell the same place.
    const std::string first = FirstCandidateName(name, nameMode);
    if (locationMode == LOCATION_CHOSEN) {
        std::string path = targetDir + "\\" + first;
        if (!targetDir.empty() && targetDir.back() == '\\')
            path = targetDir + first;
        if (isFree(path))
            return { path, first, targetDir };
    } else if (isFree(folder + first)) {
        return { folder + first, first, folder };
    }
    for (int n = 1; n <= kMaxNumberedName; n++) {
        std::string numbered = NumberedCandidateName(name, n, nameMode);
        if (isFree(folder + numbered))
            return { folder + numbered, numbered, folder };
    }
    return {};
}
