#include "SourceFile.h"

#include "../framework/PathText.h"
#include "PathRules.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool SizeAndTime(HANDLE h, uint64_t& size, FILETIME& written)
{
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(h, &length) || length.QuadPart < 0 || !::GetFileTime(h, nullptr, nullptr, &written))
        return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

} // namespace

SourceFile::~SourceFile()
{
    if (IsOpen())
        ::CloseHandle(m_handle);
}

bool SourceFile::Open(const std::wstring& path)
{
    // A device is never opened: opening one may already do something (a port, a printer).
    const size_t slash = path.rfind(L'\\');
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.empty() || IsDeviceName(name))
        return false;
    // The attributes are reset through the same handle, so they are only ever reset on the file
    // that was checked; where they cannot be written, the file is still read.
    const std::wstring file = LongPathForm(path);
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE
        && (::GetLastError() == ERROR_ACCESS_DENIED || ::GetLastError() == ERROR_SHARING_VIOLATION))
        h = ::CreateFileW(
            file.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // The attributes alone: the full information also asks for the volume's serial number, which
    // costs a round trip to the system's mount manager on every source.
    FILE_BASIC_INFO basic = {};
    uint64_t size = 0;
    FILETIME written = {};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof(basic))
        || (basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        || !SizeAndTime(h, size, written)) {
        ::CloseHandle(h);
        return false;
    }
    if (IsOpen())
        ::CloseHandle(m_handle);
    m_handle = h;
    m_size = size;
    m_written = written;
    return true;
}

bool SourceFile::ResetAttributes()
{
    // Zero times leave the times as they are.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return IsOpen() && ::SetFileInformationByHandle(m_handle, FileBasicInfo, &basic, sizeof(basic));
}

bool SourceFile::Unchanged() const
{
    uint64_t size = 0;
    FILETIME written = {};
    return IsOpen() && SizeAndTime(m_handle, size, written) && size == m_size
        && ::CompareFileTime(&written, &m_written) == 0;
}
