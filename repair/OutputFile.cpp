#include "OutputFile.h"

#include "../framework/PathText.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <vector>

namespace {

const wchar_t kNamePrefix[] = L"~tessel-";
const wchar_t kNameSuffix[] = L".tmp";
constexpr size_t kTokenDigits = 16;
constexpr size_t kCheckDigits = 8;
constexpr size_t kNameLength
    = std::size(kNamePrefix) - 1 + kTokenDigits + 1 + kCheckDigits + std::size(kNameSuffix) - 1;

uint64_t NewToken()
{
    static std::atomic<uint64_t> counter { 0 };
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    uint64_t x = (uint64_t(::GetCurrentProcessId()) << 32) ^ static_cast<uint64_t>(now.QuadPart)
        ^ (++counter * 0x9E3779B97F4A7C15ull);
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A check no name of anyone else's carries by chance: the token hashed with our own key.
uint32_t CheckOf(uint64_t token)
{
    uint32_t hash = 2166136261u;
    auto mix = [&](uint8_t byte) { hash = (hash ^ byte) * 16777619u; };
    for (const char* key = "Calvera Tessel pending copy"; *key; key++)
        mix(static_cast<uint8_t>(*key));
    for (int i = 0; i < 8; i++)
        mix(static_cast<uint8_t>(token >> (8 * i)));
    return hash;
}

bool ParseHex(const wchar_t* text, size_t digits, uint64_t& value)
{
    value = 0;
    for (size_t i = 0; i < digits; i++) {
        const wchar_t c = text[i];
        // Only the digits our names are written with.
        if (c >= '0' && c <= '9')
            value = value * 16 + static_cast<uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + static_cast<uint64_t>(c - 'a' + 10);
        else
            return false;
    }
    return true;
}

bool MarkForDeletion(HANDLE h, bool remove)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition));
}

bool Rename(HANDLE h, const std::wstring& path, bool replace)
{
    const std::wstring target = LongPathForm(path);
    std::vector<uint8_t> block(sizeof(FILE_RENAME_INFO) + (target.size() + 1) * sizeof(WCHAR));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    std::memcpy(info->FileName, target.c_str(), (target.size() + 1) * sizeof(WCHAR));
    info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(WCHAR));
    return ::SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(block.size()));
}

} // namespace

std::wstring PendingOutputName(uint64_t token)
{
    wchar_t name[kNameLength + 1];
    std::swprintf(name, std::size(name), L"%ls%016llx-%08x%ls", kNamePrefix, static_cast<unsigned long long>(token),
        CheckOf(token), kNameSuffix);
    return name;
}

bool IsPendingOutputName(const std::wstring& name)
{
    const size_t prefix = std::size(kNamePrefix) - 1;
    if (name.size() != kNameLength || name.compare(0, prefix, kNamePrefix) != 0 || name[prefix + kTokenDigits] != L'-'
        || name.compare(kNameLength - (std::size(kNameSuffix) - 1), std::wstring::npos, kNameSuffix) != 0)
        return false;
    uint64_t token = 0, check = 0;
    return ParseHex(name.c_str() + prefix, kTokenDigits, token)
        && ParseHex(name.c_str() + prefix + kTokenDigits + 1, kCheckDigits, check) && check == CheckOf(token);
}

PendingOutput::~PendingOutput()
{
    Discard();
}

bool PendingOutput::Create(const std::wstring& folder)
{
    Discard();
    // A name already there is someone else's: never opened, a new token tried instead.
    for (int attempt = 0; attempt < 4; attempt++) {
        const std::wstring path = folder + PendingOutputName(NewToken());
        HANDLE h = ::CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            m_error = ::GetLastError();
            if (m_error == ERROR_FILE_EXISTS || m_error == ERROR_ALREADY_EXISTS)
                continue;
            return false;
        }
        m_handle = h;
        m_path = path;
        // Where the system cannot mark it, a leftover is still one the next run knows as ours.
        MarkForDeletion(h, true);
        return true;
    }
    return false;
}

bool PendingOutput::Publish(const std::wstring& path, const FILETIME& written, bool replace)
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return false;
    // Like a plain copy, it keeps the source's last write time; the data is whole without it.
    ::SetFileTime(m_handle, nullptr, nullptr, &written);
    if (!MarkForDeletion(m_handle, false)) {
        m_error = ::GetLastError();
        return false;
    }
    if (!Rename(m_handle, path, replace)) {
        m_error = ::GetLastError();
        MarkForDeletion(m_handle, true);
        return false;
    }
    // A write the system held back and could not make shows only here: the copy is not whole.
    const bool closed = ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    if (!closed) {
        m_error = ::GetLastError();
        ::DeleteFileW(LongPathForm(path).c_str());
        return false;
    }
    m_path = path;
    return true;
}

void PendingOutput::Discard()
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    // Still under our own new name, so removing it by name removes only what we made.
    const bool marked = MarkForDeletion(m_handle, true);
    ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    if (!marked)
        ::DeleteFileW(LongPathForm(m_path).c_str());
}

int RemoveLeftoverOutputs(const std::wstring& folder)
{
    int removed = 0;
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(LongPathForm(folder + kNamePrefix + L"*" + kNameSuffix).c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsPendingOutputName(fd.cFileName))
            continue;
        // Opened with no sharing: a copy some program (another run of ours) still writes stays.
        HANDLE h = ::CreateFileW(LongPathForm(folder + fd.cFileName).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        BY_HANDLE_FILE_INFORMATION info = {};
        if (::GetFileInformationByHandle(h, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && MarkForDeletion(h, true))
            removed++;
        ::CloseHandle(h);
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    return removed;
}
