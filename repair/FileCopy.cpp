#include "FileCopy.h"

#include <atomic>
#include <memory>

namespace {

// Large enough that a typical workbook is one read and one write.
constexpr DWORD kBlockSize = 1u << 20;

bool WriteBlock(HANDLE hFile, const uint8_t* data, DWORD count)
{
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

std::atomic<CopyBlockWriter> g_writer { &WriteBlock };

class Handle {
public:
    explicit Handle(HANDLE h)
        : m_h(h)
    {
    }
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_h; }
    bool ok() const { return m_h != INVALID_HANDLE_VALUE; }
    bool Close()
    {
        bool closed = !ok() || ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE m_h;
};

} // namespace

CopyBlockWriter SetCopyBlockWriter(CopyBlockWriter writer)
{
    return g_writer.exchange(writer ? writer : &WriteBlock);
}

bool CopyWhole(
    const std::string& from, const std::string& to, CopyTarget target, const std::function<bool()>& cancelled)
{
    // Shared as CopyFile shares it, so a workbook open in Excel can still be copied.
    Handle source(::CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    FILETIME written;
    if (!source.ok() || !::GetFileSizeEx(source.get(), &size)
        || !::GetFileTime(source.get(), nullptr, nullptr, &written))
        return false;

    // From here on the target is ours: created by us, or emptied by us in place of the old one.
    Handle copy(
        ::CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, target == CopyTarget::New ? CREATE_NEW : CREATE_ALWAYS,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!copy.ok())
        return false;

    bool ok = true;
    uint64_t left = static_cast<uint64_t>(size.QuadPart);
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[left < kBlockSize ? left + 1 : kBlockSize]);
    ok = block != nullptr;
    const CopyBlockWriter write = g_writer.load();
    while (ok && left > 0) {
        if (cancelled && cancelled()) {
            ok = false;
            break;
        }
        DWORD want = left < kBlockSize ? static_cast<DWORD>(left) : kBlockSize;
        DWORD got = 0;
        ok = ::ReadFile(source.get(), block.get(), want, &got, nullptr) && got == want
            && write(copy.get(), block.get(), got);
        left -= got;
    }
    // Like CopyFile, the copy keeps the source's last write time; the data is whole without it.
    if (ok)
        ::SetFileTime(copy.get(), nullptr, nullptr, &written);
    ok = copy.Close() && ok;
    if (!ok)
        ::DeleteFileA(to.c_str());
    return ok;
}
