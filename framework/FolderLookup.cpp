#include "FolderLookup.h"

std::string LookUpFolder(const std::function<DWORD(DWORD size, char* buffer)>& lookup)
{
    std::string buffer(MAX_PATH, '\0');
    // The folder may change between two calls; a few rounds settle it or the look-up fails.
    for (int round = 0; round < 4; round++) {
        DWORD n = lookup(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            // A folder has no terminator inside it; a look-up that says otherwise is not believed.
            return buffer.find('\0') == std::string::npos ? buffer : std::string();
        }
        buffer.assign(n, '\0');
    }
    return {};
}

std::string CurrentFolder()
{
    return LookUpFolder([](DWORD size, char* buffer) { return ::GetCurrentDirectoryA(size, buffer); });
}
