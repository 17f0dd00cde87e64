#include "PathRules.h"

#include "../framework/PathText.h"
#include "../framework/Platform.h"

namespace {

const wchar_t* const kPrefix = L"REP_";
const wchar_t* const kNumberedPrefixOpen = L"REP_(";
const wchar_t* const kNumberedClose = L")";
const wchar_t* const kSuffix = L"_REP";
const wchar_t* const kNumberedSuffixOpen = L"(";
const wchar_t* const kNumberedSuffixClose = L")_REP";
const wchar_t* const kRepairedFolder = L"Repaired\\";
const wchar_t* const kWorkbookExtension = L".xls";

// The base (before the last dot) and the extension (the last dot and after); a name without a dot
// has neither.
void SplitExtension(const std::wstring& name, std::wstring& base, std::wstring& extension)
{
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) {
        base.clear();
        extension.clear();
        return;
    }
    base = name.substr(0, dot);
    extension = name.substr(dot);
}

int CompareNames(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return ::CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE);
}

} // namespace

bool SplitPath(const std::wstring& path, std::wstring& folder, std::wstring& name)
{
    size_t pos = path.rfind(L'\\');
    if (pos == std::wstring::npos)
        return false;
    folder = path.substr(0, pos);
    name = path.substr(pos + 1);
    return true;
}

std::wstring WithBackslash(const std::wstring& path)
{
    if (!path.empty() && path.back() == L'\\')
        return path;
    return path + L'\\';
}

std::wstring WithoutBackslash(std::wstring folder)
{
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

std::wstring FirstCandidateName(const std::wstring& name, int nameMode)
{
    if (nameMode == NAME_PREFIX)
        return kPrefix + name;
    std::wstring base, extension;
    SplitExtension(name, base, extension);
    return base + kSuffix + extension;
}

std::wstring NumberedCandidateName(const std::wstring& name, int n, int nameMode)
{
    std::wstring number = std::to_wstring(n);
    if (nameMode == NAME_PREFIX)
        return kNumberedPrefixOpen + number + kNumberedClose + name;
    std::wstring base, extension;
    SplitExtension(name, base, extension);
    return base + kNumberedSuffixOpen + number + kNumberedSuffixClose + extension;
}

bool NameFits(const std::wstring& name)
{
    return name.size() <= kMaxNameLength;
}

bool IsDeviceName(const std::wstring& name)
{
    // The system looks at the name before its first dot, without trailing blanks.
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    for (const wchar_t* device : { L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$" }) {
        if (base == device)
            return true;
    }
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    // A digit, or a superscript one, two or three.
    const wchar_t last = base[3];
    return (last >= L'0' && last <= L'9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
}

bool HasOutputLocation(int locationMode, const std::wstring& targetDir)
{
    return locationMode == LOCATION_SAME || (locationMode == LOCATION_CHOSEN && !targetDir.empty());
}

std::wstring OutputFolder(int locationMode, const std::wstring& sourceDir, const std::wstring& targetDir)
{
    if (locationMode == LOCATION_SAME)
        return WithBackslash(sourceDir) + kRepairedFolder;
    return WithBackslash(targetDir);
}

void CreateFolderPath(const std::wstring& path, const std::function<void(const std::wstring&)>& createFolder)
{
    auto create = [&](const std::wstring& folder) {
        if (createFolder)
            createFolder(folder);
        else
            ::CreateDirectoryW(LongPathForm(folder).c_str(), nullptr);
    };
    for (size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        create(path.substr(0, pos));
    create(path);
}

bool IsPathFree(const std::wstring& path)
{
    // What the C library's existence test asks of the system, for a path of any length.
    return ::GetFileAttributesW(LongPathForm(path).c_str()) == INVALID_FILE_ATTRIBUTES;
}

OutputChoice ChooseOutput(const std::wstring& name, int nameMode, int locationMode, const std::wstring& sourceDir,
    const std::wstring& targetDir, const std::function<bool(const std::wstring&)>& isFree)
{
    OutputChoice tooLong;
    tooLong.nameTooLong = true;
    const std::wstring folder = OutputFolder(locationMode, sourceDir, targetDir);
    // The first candidate goes into the chosen folder as the user gave it; numbered ones into the
    // folder with its backslash. Both spell the same place. A name the file system would refuse is
    // not tried: creating it fails, and its test could find some other file (a shortened one).
    const std::wstring first = FirstCandidateName(name, nameMode);
    if (!NameFits(first))
        return tooLong;
    if (locationMode == LOCATION_CHOSEN) {
        std::wstring path = targetDir + L"\\" + first;
        if (!targetDir.empty() && targetDir.back() == L'\\')
            path = targetDir + first;
        if (isFree(path))
            return { path, first, targetDir };
    } else if (isFree(folder + first)) {
        return { folder + first, first, folder };
    }
    for (int n = 1; n <= kMaxNumberedName; n++) {
        std::wstring numbered = NumberedCandidateName(name, n, nameMode);
        // Longer numbers make longer names: none after this one fits either.
        if (!NameFits(numbered))
            return tooLong;
        if (isFree(folder + numbered))
            return { folder + numbered, numbered, folder };
    }
    return {};
}

bool SameFileName(const std::wstring& a, const std::wstring& b)
{
    return CompareNames(a.data(), a.size(), b.data(), b.size()) == CSTR_EQUAL;
}

bool FileNameLess(const std::wstring& a, const std::wstring& b)
{
    return CompareNames(a.data(), a.size(), b.data(), b.size()) == CSTR_LESS_THAN;
}

bool HasWorkbookExtension(const std::wstring& name)
{
    const std::wstring extension = kWorkbookExtension;
    return name.size() >= extension.size()
        && CompareNames(
               name.data() + name.size() - extension.size(), extension.size(), extension.data(), extension.size())
        == CSTR_EQUAL;
}
