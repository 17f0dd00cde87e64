#include "RegistryValues.h"

#include <utility>
#include <vector>

CRegistryKey::~CRegistryKey()
{
    if (m_hKey)
        ::RegCloseKey(m_hKey);
}

CRegistryKey::CRegistryKey(CRegistryKey&& other) noexcept
    : m_hKey(std::exchange(other.m_hKey, nullptr))
{
}

CRegistryKey& CRegistryKey::operator=(CRegistryKey&& other) noexcept
{
    if (this != &other) {
        if (m_hKey)
            ::RegCloseKey(m_hKey);
        m_hKey = std::exchange(other.m_hKey, nullptr);
    }
    return *this;
}

CRegistryKey CRegistryKey::Open(HKEY root, const std::wstring& path)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return CRegistryKey();
    return CRegistryKey(hKey);
}

CRegistryKey CRegistryKey::Create(HKEY root, const std::wstring& path)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(
            root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &hKey, nullptr)
        != ERROR_SUCCESS)
        return CRegistryKey();
    return CRegistryKey(hKey);
}

std::optional<DWORD> CRegistryKey::ReadDword(const wchar_t* name) const
{
    if (!m_hKey)
        return std::nullopt;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS
        || type != REG_DWORD || size != sizeof(value))
        return std::nullopt;
    return value;
}

std::optional<std::wstring> CRegistryKey::ReadString(const wchar_t* name, size_t maxChars) const
{
    if (!m_hKey)
        return std::nullopt;
    // The size is asked first and the text read into room for it: a value may change in between,
    // so a few rounds settle it or the value counts as absent.
    for (int round = 0; round < 3; round++) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(m_hKey, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return std::nullopt;
        // Room for the text, its terminator and one more, in whole characters.
        if (size / sizeof(wchar_t) > maxChars + 1)
            return std::nullopt;
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
        const LONG result
            = ::RegQueryValueExW(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS || type != REG_SZ || got % sizeof(wchar_t) != 0)
            return std::nullopt;
        // A value need not end in a terminator; the buffer's last character always is one.
        std::wstring value(text.data());
        if (value.size() > maxChars)
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

bool CRegistryKey::WriteDword(const wchar_t* name, DWORD value)
{
    return m_hKey
        && ::RegSetValueExW(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value))
        == ERROR_SUCCESS;
}

bool CRegistryKey::WriteString(const wchar_t* name, const std::wstring& value)
{
    const size_t bytes = (value.size() + 1) * sizeof(wchar_t);
    return m_hKey && bytes <= MAXDWORD
        && ::RegSetValueExW(
               m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(bytes))
        == ERROR_SUCCESS;
}
