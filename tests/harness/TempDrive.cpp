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
std::string WineHostPath(const std::string& folder)
{
    using HostName = char*(CDECL*)(LPCWSTR);
    auto hostName = reinterpret_cast<HostName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!hostName)
        return {};
    std::wstring wide(folder.begin(), folder.end());
    char* path = hostName(wide.c_str());
    if (!path)
        return {};
    std::string result = path;
    ::HeapFree(::GetProcessHeap(), 0, path);
    return result;
}

// Maps (or, with an empty host path, removes) a Wine drive letter.
bool DefineWineDrive(char letter, const std::string& hostPath)
{
    HANDLE hManager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hManager == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> request(sizeof(WineUnixDrive) + (hostPath.empty() ? 0 : hostPath.size() + 1));
    auto* drive = reinterpret_cast<WineUnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = hostPath.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    drive->letter = static_cast<WCHAR>(letter - 'A' + 'a');
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

std::string DeviceName(char letter)
{
    return std::string(1, letter) + ":";
}

// The folder is reachable through the letter: a marker written there is seen through it.
bool ReachesFolder(char letter, const TempFolder& folder)
{
    folder.WriteFile("drive-marker", std::string("marker"));
    const bool seen = ::GetFileAttributesA((DeviceName(letter) + "\\drive-marker").c_str()) != INVALID_FILE_ATTRIBUTES;
    ::DeleteFileA(folder.File("drive-marker").c_str());
    return seen;
}

} // namespace

TempDrive::TempDrive()
{
    const DWORD used = ::GetLogicalDrives();
    char letter = 0;
    for (char c = 'Y'; c >= 'D' && !letter; c--)
        if (!(used & (1u << (c - 'A'))))
            letter = c;
    if (!letter)
        return;
    // Windows: the letter substitutes for the folder, as `subst` does.
    if (::DefineDosDeviceA(0, DeviceName(letter).c_str(), m_folder.Path().c_str())) {
        if (ReachesFolder(letter, m_folder)) {
            m_letter = letter;
            return;
        }
        ::DefineDosDeviceA(
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
    char current[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, current);
    if (current[0] == m_letter)
        ::SetCurrentDirectoryA(ProgramFolder().c_str());
    if (m_wineDrive)
        DefineWineDrive(m_letter, std::string());
    else
        ::DefineDosDeviceA(
            DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, DeviceName(m_letter).c_str(), m_folder.Path().c_str());
}

std::string TempDrive::Root() const
{
    return m_letter ? DeviceName(m_letter) + "\\" : std::string();
}
