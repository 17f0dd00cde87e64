#include "DropBlock.h"

#include <cstring>

HDROP MakeRawDropBlock(DWORD offset, BOOL wide, const std::string& bytes)
{
    HGLOBAL hBlock = ::GlobalAlloc(GHND, sizeof(DROPFILES) + bytes.size());
    if (!hBlock)
        return nullptr;
    auto* data = static_cast<BYTE*>(::GlobalLock(hBlock));
    DROPFILES header = {};
    header.pFiles = offset;
    header.fWide = wide;
    std::memcpy(data, &header, sizeof(header));
    if (!bytes.empty())
        std::memcpy(data + sizeof(DROPFILES), bytes.data(), bytes.size());
    ::GlobalUnlock(hBlock);
    return reinterpret_cast<HDROP>(hBlock);
}

HDROP MakeDropBlock(const std::vector<std::wstring>& paths, POINT pt)
{
    std::string names;
    for (const std::wstring& path : paths)
        names.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
    names.append(sizeof(wchar_t), '\0');
    HDROP hDrop = MakeRawDropBlock(sizeof(DROPFILES), TRUE, names);
    if (hDrop) {
        auto* header = static_cast<DROPFILES*>(::GlobalLock(hDrop));
        header->pt = pt;
        ::GlobalUnlock(hDrop);
    }
    return hDrop;
}
