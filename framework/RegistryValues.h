// One registry key's values, read with their types checked: a value that is missing, of another
// type, or of a size its type cannot have reads as absent, so the caller's default applies.
// Names and texts are wide; the key is closed when the object goes.
#pragma once

#include "Platform.h"

#include <optional>
#include <string>

class CRegistryKey {
public:
    CRegistryKey() = default;
    ~CRegistryKey();
    CRegistryKey(CRegistryKey&& other) noexcept;
    CRegistryKey& operator=(CRegistryKey&& other) noexcept;
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // An existing key for reading; not open when it is missing or cannot be read.
    static CRegistryKey Open(HKEY root, const std::wstring& path);
    // The key for writing, created when missing; not open when it cannot be.
    static CRegistryKey Create(HKEY root, const std::wstring& path);

    bool IsOpen() const { return m_hKey != nullptr; }

    std::optional<DWORD> ReadDword(const wchar_t* name) const;
    // A REG_SZ of at most maxChars characters; a text that ends early at a NUL ends there.
    std::optional<std::wstring> ReadString(const wchar_t* name, size_t maxChars) const;
    bool WriteDword(const wchar_t* name, DWORD value);
    bool WriteString(const wchar_t* name, const std::wstring& value);

private:
    explicit CRegistryKey(HKEY hKey)
        : m_hKey(hKey)
    {
    }
    HKEY m_hKey = nullptr;
};
