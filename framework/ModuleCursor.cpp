#include "ModuleCursor.h"

#include "FolderLookup.h"
#include "PathText.h"

HCURSOR CopyModuleCursor(const std::wstring& modulePath, UINT id)
{
    if (modulePath.empty())
        return nullptr;
    HMODULE hModule = ::LoadLibraryExW(
        LongPathForm(modulePath).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!hModule)
        return nullptr;
    HCURSOR hCopy = nullptr;
    if (HCURSOR hCursor = ::LoadCursorA(hModule, MAKEINTRESOURCEA(id)))
        hCopy = static_cast<HCURSOR>(::CopyImage(hCursor, IMAGE_CURSOR, 0, 0, 0));
    // The copy outlives the module, which is needed no longer.
    ::FreeLibrary(hModule);
    return hCopy;
}

HCURSOR CopyHelpProgramCursor(UINT id)
{
    const std::wstring windows
        = LookUpFolder([](DWORD size, wchar_t* buffer) { return ::GetWindowsDirectoryW(buffer, size); });
    return windows.empty() ? nullptr : CopyModuleCursor(windows + L"\\winhlp32.exe", id);
}
