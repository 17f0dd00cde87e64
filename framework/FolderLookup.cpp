#include "FolderLookup.h"

std::wstring LookUpFolder(const std::function<DWORD(DWORD size, wchar_t* buffer)>& lookup)
{
    std::wstring buffer(MAX_PATH, L'\0');
    // The folder may change between two calls; a few rounds settle it or the look-up fails.
    for (int round = 0; round < 4; round++) {
        DWORD n = lookup(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            // A folder has no terminator inside it; a look-up that says otherwise is not believed.
            return buffer.find(L'\0') == std::wstring::npos ? buffer : std::wstring();
        }
        buffer.assign(n, L'\0');
    }
    return {};
}

std::wstring CurrentFolder()
{
    return LookUpFolder([](DWORD size, wchar_t* buffer) { return ::GetCurrentDirectoryW(size, buffer); });
}
