#include "DropFiles.h"

#include "PathText.h"

#include <cstring>

namespace {

// Locks a block for the life of the object.
class LockedBlock {
public:
    explicit LockedBlock(HGLOBAL hBlock)
        : m_hBlock(hBlock)
        , m_size(hBlock ? ::GlobalSize(hBlock) : 0)
        , m_data(m_size ? static_cast<const BYTE*>(::GlobalLock(hBlock)) : nullptr)
    {
    }
    ~LockedBlock()
    {
        if (m_data)
            ::GlobalUnlock(m_hBlock);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    const BYTE* Data() const { return m_data; }
    size_t Size() const { return m_data ? m_size : 0; }

private:
    HGLOBAL m_hBlock;
    size_t m_size;
    const BYTE* m_data;
};

// Reads NUL-terminated names of one character type from [begin, end) until an empty one.
template <class Char> std::vector<std::basic_string<Char>> NamesIn(const BYTE* begin, const BYTE* end)
{
    std::vector<std::basic_string<Char>> names;
    const size_t count = static_cast<size_t>(end - begin) / sizeof(Char);
    size_t at = 0;
    while (at < count) {
        std::basic_string<Char> name;
        bool ended = false;
        for (; at < count; at++) {
            Char c;
            std::memcpy(&c, begin + at * sizeof(Char), sizeof(Char));
            if (c == 0) {
                ended = true;
                at++;
                break;
            }
            if (name.size() >= kMaxLongPath)
                return names;
            name.push_back(c);
        }
        if (!ended || name.empty())
            break;
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace

bool IsDropBlock(HDROP hDrop)
{
    LockedBlock block(reinterpret_cast<HGLOBAL>(hDrop));
    if (block.Size() < sizeof(DROPFILES))
        return false;
    DROPFILES header;
    std::memcpy(&header, block.Data(), sizeof(header));
    return header.pFiles >= sizeof(DROPFILES) && header.pFiles <= block.Size();
}

std::vector<std::wstring> DroppedPaths(HDROP hDrop)
{
    std::vector<std::wstring> paths;
    if (!IsDropBlock(hDrop))
        return paths;
    LockedBlock block(reinterpret_cast<HGLOBAL>(hDrop));
    DROPFILES header;
    std::memcpy(&header, block.Data(), sizeof(header));
    const BYTE* begin = block.Data() + header.pFiles;
    const BYTE* end = block.Data() + block.Size();
    if (header.fWide)
        return NamesIn<wchar_t>(begin, end);
    // Names of a program that drops ANSI text are in the system's code page.
    for (const std::string& name : NamesIn<char>(begin, end)) {
        std::wstring wide = WidenText(name.c_str());
        if (!wide.empty())
            paths.push_back(std::move(wide));
    }
    return paths;
}
