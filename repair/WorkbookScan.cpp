#include "WorkbookScan.h"

#include "../framework/PathText.h"
#include "PathRules.h"

#include <algorithm>

namespace {

constexpr DWORD kPassedOver = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool Cancelled(const ScanProgress* progress)
{
    return progress && progress->cancel;
}

FoundWorkbook Found(const std::wstring& folder, const std::wstring& name, uint64_t size, const FILETIME& created,
    const FILETIME& accessed, const FILETIME& written)
{
    FoundWorkbook book;
    // The folder as SplitPath gives it for the file's full path: a drive root loses its backslash.
    book.folder = !folder.empty() && folder.back() == L'\\' ? folder.substr(0, folder.size() - 1) : folder;
    book.name = name;
    book.size = size;
    book.created = created;
    book.accessed = accessed;
    book.written = written;
    return book;
}

uint64_t SizeOf(DWORD high, DWORD low)
{
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& fd)
{
    // The basic information and large fetches are what a listing of many files wants; systems
    // without them get the plain call.
    HANDLE hFind = ::FindFirstFileExW(
        pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (hFind == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_INVALID_PARAMETER)
        hFind = ::FindFirstFileW(pattern.c_str(), &fd);
    return hFind;
}

// One folder: its workbooks go to the scan in name order; its sub-folders come back in name order.
std::vector<std::wstring> ScanFolder(const std::wstring& folder, WorkbookScan& scan, ScanProgress* progress)
{
    std::vector<std::wstring> subfolders;
    const std::wstring base = WithBackslash(folder);
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirst(LongPathForm(base + L"*"), fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return subfolders;
    std::vector<FoundWorkbook> books;
    do {
        if (Cancelled(progress))
            break;
        if (IsDotEntry(fd.cFileName) || (fd.dwFileAttributes & kPassedOver))
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                subfolders.push_back(base + fd.cFileName);
        } else if (HasWorkbookExtension(fd.cFileName)) {
            books.push_back(Found(base, fd.cFileName, SizeOf(fd.nFileSizeHigh, fd.nFileSizeLow), fd.ftCreationTime,
                fd.ftLastAccessTime, fd.ftLastWriteTime));
            if (progress)
                ++progress->found;
        }
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    std::sort(books.begin(), books.end(),
        [](const FoundWorkbook& a, const FoundWorkbook& b) { return FileNameLess(a.name, b.name); });
    std::sort(subfolders.begin(), subfolders.end(), FileNameLess);
    for (FoundWorkbook& book : books)
        scan.found.push_back(std::move(book));
    return subfolders;
}

void ScanTree(const std::wstring& root, WorkbookScan& scan, ScanProgress* progress)
{
    // A stack of its own: a tree nested thousands of folders deep must not exhaust the thread's.
    std::vector<std::wstring> pending { root };
    while (!pending.empty() && !Cancelled(progress)) {
        const std::wstring folder = std::move(pending.back());
        pending.pop_back();
        std::vector<std::wstring> subfolders = ScanFolder(folder, scan, progress);
        if (progress)
            ++progress->folders;
        pending.insert(
            pending.end(), std::make_move_iterator(subfolders.rbegin()), std::make_move_iterator(subfolders.rend()));
    }
}

} // namespace

std::wstring FullPathOf(const std::wstring& path)
{
    if (path.empty() || path.find(L'\0') != std::wstring::npos)
        return {};
    std::wstring full(path.size() + MAX_PATH, L'\0');
    for (int round = 0; round < 3; round++) {
        const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0)
            return {};
        if (n < full.size()) {
            full.resize(n);
            return WithoutBackslash(full);
        }
        full.assign(n, L'\0');
    }
    return {};
}

WorkbookScan ScanForWorkbooks(const std::vector<std::wstring>& paths, ScanProgress* progress)
{
    WorkbookScan scan;
    for (const std::wstring& named : paths) {
        if (Cancelled(progress))
            break;
        const std::wstring path = FullPathOf(named);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (path.empty() || !::GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) {
            scan.missing.push_back(named);
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ScanTree(path, scan, progress);
            continue;
        }
        std::wstring folder, name;
        SplitPath(path, folder, name);
        if (!HasWorkbookExtension(name)) {
            scan.notWorkbooks.push_back(path);
            continue;
        }
        scan.found.push_back(Found(folder, name, SizeOf(data.nFileSizeHigh, data.nFileSizeLow), data.ftCreationTime,
            data.ftLastAccessTime, data.ftLastWriteTime));
        if (progress)
            ++progress->found;
    }
    scan.cancelled = Cancelled(progress);
    return scan;
}
