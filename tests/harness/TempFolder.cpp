#include "TempFolder.h"

#include "framework/PathText.h"
#include "framework/Platform.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring base = temp;
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    for (;;) {
        wchar_t name[64];
        std::swprintf(name, 64, L"\\tessel-test-%lu-%d", ::GetCurrentProcessId(), counter++);
        m_path = base + name;
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            break;
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

std::wstring TempFolder::WriteFile(const std::wstring& name, uint64_t size) const
{
    std::string bytes(static_cast<size_t>(size), '\0');
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = static_cast<char>('A' + i % 26);
    return WriteFile(name, bytes);
}

std::wstring TempFolder::WriteFile(const std::wstring& name, const std::string& bytes) const
{
    std::wstring path = File(name);
    WriteWholeFile(path, bytes);
    return path;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
    return ::CloseHandle(h) && ok;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(LongPathForm(path + L"\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = LongPathForm(path + L"\\" + name);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\" + name);
            } else {
                // Only a read-only file refuses to go; clearing every file's costs a lookup each, and
                // under Wine a slow one for a long name with a comma.
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(hFind, &fd));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryW(LongPathForm(path).c_str());
}

std::string ReadWholeFile(const std::wstring& path)
{
    std::string bytes;
    HANDLE h = ::CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    char block[65536];
    DWORD got = 0;
    while (::ReadFile(h, block, sizeof(block), &got, nullptr) && got > 0)
        bytes.append(block, got);
    ::CloseHandle(h);
    return bytes;
}

std::wstring ProgramFolder()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder = folder.substr(0, folder.find_last_of(L'\\')); // ...\build\tests
    folder = folder.substr(0, folder.find_last_of(L'\\')); // ...\build
    return folder + L"\\bin";
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW(LongPathForm(folder + L"\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(fd.cFileName);
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const int length = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::string Ansi(const std::wstring& path)
{
    std::string ansi;
    for (wchar_t c : path)
        ansi.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return ansi;
}
