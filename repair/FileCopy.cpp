#include "FileCopy.h"

#include "../framework/PathText.h"
#include "OutputFile.h"
#include "PathRules.h"
#include "SourceFile.h"

#include <atomic>
#include <new>

namespace {

// Large enough that a typical workbook is one read and one write.
constexpr DWORD kBlockSize = 1u << 20;

bool WriteBlock(HANDLE hFile, const uint8_t* data, DWORD count)
{
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

std::atomic<CopyBlockWriter> g_writer { &WriteBlock };

bool SeekToStart(HANDLE hFile)
{
    LARGE_INTEGER start = {};
    return ::SetFilePointerEx(hFile, start, nullptr, FILE_BEGIN);
}

// The folder part of a full path, with its backslash; empty for a bare name.
std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

} // namespace

CopyBlockWriter SetCopyBlockWriter(CopyBlockWriter writer)
{
    return g_writer.exchange(writer ? writer : &WriteBlock);
}

bool WriteBlocks(HANDLE hFile, uint64_t size, const BlockSource& next, const StopTest& stopped)
{
    // A file of several blocks gets its length first, so the system places it at once instead of
    // growing it block by block. Only a hint: where it fails, the writes still decide.
    if (size > kBlockSize) {
        FILE_END_OF_FILE_INFO end = {};
        end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        ::SetFileInformationByHandle(hFile, FileEndOfFileInfo, &end, sizeof(end));
    }
    const CopyBlockWriter write = g_writer.load();
    for (uint64_t offset = 0; offset < size;) {
        const DWORD count = size - offset < kBlockSize ? static_cast<DWORD>(size - offset) : kBlockSize;
        const uint8_t* data = nullptr;
        if ((stopped && stopped()) || !next(offset, count, data) || !write(hFile, data, count))
            return false;
        offset += count;
    }
    return true;
}

BlockSource ImageBlocks(const FileImage& image)
{
    return [&image](uint64_t offset, DWORD, const uint8_t*& data) {
        data = image.bytes.data() + offset;
        return true;
    };
}

BlockSource FileBlocks(HANDLE hFile, std::vector<uint8_t>& buffer)
{
    return [hFile, &buffer](uint64_t offset, DWORD count, const uint8_t*& data) {
        if (offset == 0 && !SeekToStart(hFile))
            return false;
        if (buffer.size() < count) {
            try {
                buffer.resize(count);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        data = buffer.data();
        return CurrentBlockReader()(hFile, buffer.data(), count);
    };
}

bool ReadWhole(SourceFile& source, FileImage& image, const StopTest& stopped)
{
    const uint64_t size = source.Size();
    if (!source.IsOpen() || size > SIZE_MAX || !SeekToStart(source.Handle()))
        return false;
    try {
        image.bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A buffer much larger than needed is given back rather than kept.
    if (image.bytes.capacity() > 2 * image.bytes.size() + (1u << 20))
        image.bytes.shrink_to_fit();
    const CopyBlockReader read = CurrentBlockReader();
    for (uint64_t offset = 0; offset < size; offset += kBlockSize) {
        const DWORD count = size - offset < kBlockSize ? static_cast<DWORD>(size - offset) : kBlockSize;
        if ((stopped && stopped()) || !read(source.Handle(), image.bytes.data() + offset, count))
            return false;
    }
    image.written = source.Written();
    return source.Unchanged();
}

bool ReadWhole(const std::wstring& path, uint64_t limit, FileImage& image)
{
    SourceFile source;
    return source.Open(path) && source.Size() <= limit && ReadWhole(source, image);
}

bool WriteWhole(const std::wstring& to, const FileImage& image, CopyTarget target, const StopTest& stopped)
{
    PendingOutput output;
    return output.Create(FolderOf(to)) && WriteBlocks(output.Handle(), image.bytes.size(), ImageBlocks(image), stopped)
        && output.Publish(to, image.written, target == CopyTarget::Replace);
}

bool CopyWhole(const std::wstring& from, const std::wstring& to, CopyTarget target, const StopTest& stopped)
{
    SourceFile source;
    if (!source.Open(from))
        return false;
    std::vector<uint8_t> buffer;
    PendingOutput output;
    return output.Create(FolderOf(to))
        && WriteBlocks(output.Handle(), source.Size(), FileBlocks(source.Handle(), buffer), stopped)
        && source.Unchanged() && output.Publish(to, source.Written(), target == CopyTarget::Replace);
}

TemporaryCopy::~TemporaryCopy()
{
    Close();
}

bool TemporaryCopy::Create(const std::wstring& folder, const std::wstring& sourceName, int nameMode)
{
    Close();
    for (int n = 0; n <= kMaxNumberedName; n++) {
        const std::wstring path = folder
            + (n == 0 ? FirstCandidateName(sourceName, nameMode) : NumberedCandidateName(sourceName, n, nameMode));
        // Created new or not at all: a file already there, ours or not, is never opened.
        HANDLE h = ::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            m_handle = h;
            m_path = path;
            return true;
        }
        const DWORD error = ::GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
            || ::GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!taken)
            return false;
    }
    return false;
}

bool TemporaryCopy::Fill(SourceFile& source, const StopTest& stopped)
{
    std::vector<uint8_t> buffer;
    if (!IsOpen() || !WriteBlocks(m_handle, source.Size(), FileBlocks(source.Handle(), buffer), stopped)
        || !source.Unchanged()) {
        Close();
        return false;
    }
    return true;
}

HANDLE TemporaryCopy::Release()
{
    const HANDLE handle = m_handle;
    m_handle = INVALID_HANDLE_VALUE;
    m_path.clear();
    return handle;
}

BackgroundCloser::~BackgroundCloser()
{
    Finish();
}

void BackgroundCloser::Finish()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bEnding = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    m_bEnding = false;
}

void BackgroundCloser::Close(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE)
        return;
    try {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_thread.joinable())
            m_thread = std::thread(&BackgroundCloser::Run, this);
        m_handles.push_back(handle);
    } catch (...) {
        ::CloseHandle(handle); // no thread or no room: closed here, as it would have been
        return;
    }
    m_wake.notify_one();
}

void BackgroundCloser::Run()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bEnding || !m_handles.empty(); });
        std::vector<HANDLE> handles;
        handles.swap(m_handles);
        if (handles.empty())
            return; // ending, and nothing left
        lock.unlock();
        for (HANDLE handle : handles)
            ::CloseHandle(handle);
        lock.lock();
    }
}

void TemporaryCopy::Close()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_path.clear();
}
