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
