#include "TempDrive.h"

#include "framework/Platform.h"

#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

// Wine's mount manager maps a drive letter to a host folder; this is how its own configuration
// tool defines drives. Wine (8.0) takes DefineDosDevice without error but does not resolve paths
// through the letter, so there the letter is made this way instead.
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
const DWORD kDefineWineDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// A host path for `folder` under Wine, empty elsewhere.
std::string WineHostPath(const std::wstring& folder)
{
    using HostName = char*(CDECL*)(LPCWSTR);
    auto hostName = reinterpret_cast<HostName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!hostName)
        return {};
    char* path = hostName(folder.c_str());
    if (!path)
        return {};
    std::string result = path;
    ::HeapFree(::GetProcessHeap(), 0, path);
    return result;
}

// Maps (or, with an empty host path, removes) a Wine drive letter.
bool DefineWineDrive(wchar_t letter, const std::string& hostPath)
{
    HANDLE hManager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hManager == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> request(sizeof(WineUnixDrive) + (hostPath.empty() ? 0 : hostPath.size() + 1));
    auto* drive = reinterpret_cast<WineUnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = hostPath.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    drive->letter = static_cast<WCHAR>(letter - L'A' + L'a');
    if (!hostPath.empty()) {
        drive->mountPointOffset = sizeof(WineUnixDrive);
        std::memcpy(request.data() + sizeof(WineUnixDrive), hostPath.c_str(), hostPath.size() + 1);
    }
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(hManager, kDefineWineDrive, request.data(), static_cast<DWORD>(request.size()),
        nullptr, 0, &returned, nullptr);
    ::CloseHandle(hManager);
    return ok;
}

std::wstring DeviceName(wchar_t letter)
{
    return std::wstring(1, letter) + L":";
}

// The folder is reachable through the letter: a marker written there is seen through it.
bool ReachesFolder(wchar_t letter, const TempFolder& folder)
{
    folder.WriteFile(L"drive-marker", std::string("marker"));
    const bool seen = ::GetFileAttributesW((DeviceName(letter) + L"\\drive-marker").c_str()) != INVALID_FILE_ATTRIBUTES;
    ::DeleteFileW(folder.File(L"drive-marker").c_str());
    return seen;
}

} // namespace

TempDrive::TempDrive()
{
    const DWORD used = ::GetLogicalDrives();
    wchar_t letter = 0;
    for (wchar_t c = L'Y'; c >= L'D' && !letter; c--)
        if (!(used & (1u << (c - L'A'))))
            letter = c;
    if (!letter)
        return;
    // Windows: the letter substitutes for the folder, as `subst` does.
    if (::DefineDosDeviceW(0, DeviceName(letter).c_str(), m_folder.Path().c_str())) {
        if (ReachesFolder(letter, m_folder)) {
            m_letter = letter;
            return;
        }
        ::DefineDosDeviceW(
            DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, DeviceName(letter).c_str(), m_folder.Path().c_str());
    }
    const std::string hostPath = WineHostPath(m_folder.Path());
    if (!hostPath.empty() && DefineWineDrive(letter, hostPath)) {
        m_wineDrive = true;
        if (ReachesFolder(letter, m_folder)) {
            m_letter = letter;
            return;
        }
        DefineWineDrive(letter, std::string());
        m_wineDrive = false;
    }
}

TempDrive::~TempDrive()
{
    if (!m_letter)
        return;
    // Nobody may stand on the drive while it goes.
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    if (current[0] == m_letter)
        ::SetCurrentDirectoryW(ProgramFolder().c_str());
    if (m_wineDrive)
        DefineWineDrive(m_letter, std::string());
    else
        ::DefineDosDeviceW(
            DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, DeviceName(m_letter).c_str(), m_folder.Path().c_str());
}

std::wstring TempDrive::Root() const
{
    return m_letter ? DeviceName(m_letter) + L"\\" : std::wstring();
}
