#include "Registry.h"

bool SetDefaultValue(HKEY root, const std::string& key, const std::string& value)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    const bool written = ::RegSetValueExA(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1))
        == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
    return written;
}

std::optional<std::string> GetDefaultValue(HKEY root, const std::string& key)
{
    char value[1024] = {};
    LONG size = sizeof value;
    if (::RegQueryValueA(root, key.c_str(), value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(value);
}

namespace {

using Key = RegistrySnapshot::Key;

class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (h)
            ::RegCloseKey(h);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY h = nullptr;
};

// Reads the key whole; false when any part of it cannot be read.
bool ReadKey(HKEY hKey, Key& key)
{
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, largestData = 0;
    if (::RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
            &longestName, &largestData, nullptr, nullptr)
        != ERROR_SUCCESS)
        return false;
    for (DWORD i = 0; i < values; i++) {
        RegistrySnapshot::Value value;
        std::wstring name(longestName + 1, L'\0');
        value.data.resize(largestData);
        DWORD nameLength = longestName + 1, size = largestData;
        if (::RegEnumValueW(hKey, i, name.data(), &nameLength, nullptr, &value.type, value.data.data(), &size)
            != ERROR_SUCCESS)
            return false;
        value.name.assign(name.data(), nameLength);
        value.data.resize(size);
        key.values.push_back(std::move(value));
    }
    for (DWORD i = 0; i < subkeys; i++) {
        std::wstring name(longestSubkey + 1, L'\0');
        DWORD nameLength = longestSubkey + 1;
        if (::RegEnumKeyExW(hKey, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        name.resize(nameLength);
        OpenKey sub;
        Key saved;
        if (::RegOpenKeyExW(hKey, name.c_str(), 0, KEY_READ, &sub.h) != ERROR_SUCCESS || !ReadKey(sub.h, saved))
            return false;
        key.subkeys.emplace_back(std::move(name), std::move(saved));
    }
    return true;
}

bool WriteKey(HKEY parent, const std::wstring& name, const Key& key)
{
    OpenKey hKey;
    if (::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey.h, nullptr)
        != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (const RegistrySnapshot::Value& value : key.values)
        ok = ::RegSetValueExW(hKey.h, value.name.c_str(), 0, value.type, value.data.data(),
                 static_cast<DWORD>(value.data.size()))
                == ERROR_SUCCESS
            && ok;
    for (const auto& [subName, sub] : key.subkeys)
        ok = WriteKey(hKey.h, subName, sub) && ok;
    return ok;
}

} // namespace

RegistrySnapshot::RegistrySnapshot(HKEY root, const std::string& key)
    : m_root(root)
    , m_key(key.begin(), key.end())
{
    OpenKey hKey;
    const LONG opened = ::RegOpenKeyExW(root, m_key.c_str(), 0, KEY_READ, &hKey.h);
    if (opened == ERROR_FILE_NOT_FOUND)
        return;
    Key saved;
    m_readable = opened == ERROR_SUCCESS && ReadKey(hKey.h, saved);
    if (m_readable)
        m_saved = std::move(saved);
}

bool RegistrySnapshot::Restore()
{
    // What could not be read is left alone rather than lost.
    if (!m_readable)
        return false;
    const LONG deleted = ::RegDeleteTreeW(m_root, m_key.c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND)
        return false;
    return !m_saved || WriteKey(m_root, m_key, *m_saved);
}
