// Stands in for the live-update program in tests: writes the arguments it was started with into
// "liveupdate-args.txt" beside itself (after those of earlier starts), then ends. Its folder may be
// named in any script.
#include "framework/Platform.h"

#include <string>

int main(int argc, char** argv)
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder = folder.substr(0, folder.find_last_of(L'\\'));
    std::string lines;
    for (int i = 1; i < argc; i++)
        lines.append(argv[i]).append("\n");
    HANDLE h = ::CreateFileW((folder + L"\\liveupdate-args.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
        OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(h, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    ::CloseHandle(h);
    return 0;
}
