#include "FileCopy.h"

#include "../framework/PathText.h"

#include <atomic>
#include <memory>
#include <utility>

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
    HANDLE Release() { return std::exchange(m_h, INVALID_HANDLE_VALUE); }
    bool Close()
    {
        bool closed = !ok() || ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE m_h;
};

// Shared as CopyFile shares it, so a workbook open in Excel can still be copied.
HANDLE OpenSource(const std::wstring& path, uint64_t& size, FILETIME& written)
{
    HANDLE h = ::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
        nullptr);
    LARGE_INTEGER length;
    if (h != INVALID_HANDLE_VALUE
        && (!::GetFileSizeEx(h, &length) || length.QuadPart < 0 || !::GetFileTime(h, nullptr, nullptr, &written))) {
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    if (h != INVALID_HANDLE_VALUE)
        size = static_cast<uint64_t>(length.QuadPart);
    return h;
}

bool ReadFully(HANDLE h, uint8_t* data, DWORD count)
{
    DWORD got = 0;
    return ::ReadFile(h, data, count, &got, nullptr) && got == count;
}

// Creates the target and fills it with `size` bytes that `next(data, count)` hands out block by
// block. From the moment the target is opened it is ours (created by us, or emptied by us in place
// of the old one), so on any failure, an exception included, it is removed.
bool WriteTarget(const std::wstring& to, uint64_t size, const FILETIME& written, CopyTarget target,
    const std::function<bool()>& cancelled,
    const std::function<bool(uint64_t offset, DWORD count, const uint8_t*& data)>& next, HANDLE* kept = nullptr)
{
    // A kept copy goes when its last handle closes, whatever happens to the program meanwhile.
    const std::wstring file = LongPathForm(to);
    Handle copy(kept ? ::CreateFileW(file.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr)
                     : ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr,
                         target == CopyTarget::New ? CREATE_NEW : CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!copy.ok())
        return false;
    bool ok = true;
    try {
        const CopyBlockWriter write = g_writer.load();
        for (uint64_t offset = 0; ok && offset < size;) {
            const DWORD count = size - offset < kBlockSize ? static_cast<DWORD>(size - offset) : kBlockSize;
            const uint8_t* data = nullptr;
            ok = !(cancelled && cancelled()) && next(offset, count, data) && write(copy.get(), data, count);
            offset += count;
        }
        // Like CopyFile, the copy keeps the source's last write time; the data is whole without it.
        // A working copy, gone within the second, need not.
        if (ok && !kept)
            ::SetFileTime(copy.get(), nullptr, nullptr, &written);
    } catch (...) {
        copy.Close();
        ::DeleteFileW(file.c_str());
        throw;
    }
    if (kept) {
        // Closing a failed one removes it.
        if (ok)
            *kept = copy.Release();
        return ok;
    }
    ok = copy.Close() && ok;
    if (!ok)
        ::DeleteFileW(file.c_str());
    return ok;
}

} // namespace

CopyBlockWriter SetCopyBlockWriter(CopyBlockWriter writer)
{
    return g_writer.exchange(writer ? writer : &WriteBlock);
}

bool ReadWhole(const std::wstring& path, uint64_t limit, FileImage& image)
{
    uint64_t size = 0;
    Handle source(OpenSource(path, size, image.written));
    if (!source.ok() || size > limit)
        return false;
    try {
        image.bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A buffer much larger than needed is given back rather than kept.
    if (image.bytes.capacity() > 2 * image.bytes.size() + (1u << 20))
        image.bytes.shrink_to_fit();
    for (uint64_t offset = 0; offset < size; offset += kBlockSize) {
        const DWORD count = size - offset < kBlockSize ? static_cast<DWORD>(size - offset) : kBlockSize;
        if (!ReadFully(source.get(), image.bytes.data() + offset, count))
            return false;
    }
    return true;
}

bool WriteWhole(
    const std::wstring& to, const FileImage& image, CopyTarget target, const std::function<bool()>& cancelled)
{
    return WriteTarget(
        to, image.bytes.size(), image.written, target, cancelled, [&](uint64_t offset, DWORD, const uint8_t*& data) {
            data = image.bytes.data() + offset;
            return true;
        });
}

bool CopyWhole(
    const std::wstring& from, const std::wstring& to, CopyTarget target, const std::function<bool()>& cancelled)
{
    uint64_t size = 0;
    FILETIME written;
    Handle source(OpenSource(from, size, written));
    if (!source.ok())
        return false;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockSize]);
    if (!block)
        return false;
    return WriteTarget(to, size, written, target, cancelled, [&](uint64_t, DWORD count, const uint8_t*& data) {
        data = block.get();
        return ReadFully(source.get(), block.get(), count);
    });
}

TemporaryCopy::~TemporaryCopy()
{
    Close();
}

bool TemporaryCopy::Write(const std::wstring& path, const FileImage& image, const std::function<bool()>& cancelled)
{
    Close();
    return WriteTarget(
        path, image.bytes.size(), image.written, CopyTarget::Replace, cancelled,
        [&](uint64_t offset, DWORD, const uint8_t*& data) {
            data = image.bytes.data() + offset;
            return true;
        },
        &m_handle);
}

void TemporaryCopy::Close()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}
