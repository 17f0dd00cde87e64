// Registry keys for tests that point the shell at programs of their own, and put back afterwards
// exactly what was there.
#pragma once

#include "framework/Platform.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Creates the key when needed; false when it cannot be written.
bool SetDefaultValue(HKEY root, const std::string& key, const std::string& value);
// The key's default text, or nothing when the key or its value is missing.
std::optional<std::string> GetDefaultValue(HKEY root, const std::string& key);

// Everything a key holds, its values and its subkeys all the way down, read when it is made and
// put back when it goes: a key that did not exist is removed with whatever was written under it,
// one that existed gets back its values and subkeys as they were.
class RegistrySnapshot {
public:
    RegistrySnapshot(HKEY root, const std::string& key);
    ~RegistrySnapshot() { Restore(); }
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

    // False when the key could not be put back as it was read.
    bool Restore();
    bool Existed() const { return m_saved.has_value(); }

    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    struct Key {
        std::vector<Value> values;
        std::vector<std::pair<std::wstring, Key>> subkeys;
    };

private:
    HKEY m_root;
    std::wstring m_key;
    bool m_readable = true;
    std::optional<Key> m_saved;
};
