// The registry snapshot the shell tests rely on: whatever a test does under a key, what was there
// comes back exactly, and a key that was not there goes.
#include "Registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kScratch[] = "Software\\TesselTests\\Snapshot";

bool Write(const std::string& key, const char* name, DWORD type, const std::string& data)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr)
        != ERROR_SUCCESS)
        return false;
    const bool ok = ::RegSetValueExA(hKey, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()))
        == ERROR_SUCCESS;
    ::RegCloseKey(hKey);
    return ok;
}

// The value's type and bytes, or "missing".
std::string Read(const std::string& key, const char* name)
{
    DWORD type = 0, size = 0;
    if (::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size)
        != ERROR_SUCCESS)
        return "missing";
    std::string data(size, '\0');
    ::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size);
    data.resize(size);
    return std::to_string(type) + ":" + data;
}

bool Exists(const std::string& key)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(hKey);
    return true;
}

struct Entry {
    std::string key; // under kScratch
    const char* name;
    DWORD type;
    std::string data;
};

} // namespace

TEST(RegistrySnapshot, PutsBackValuesAndSubkeysExactlyWhateverWasChanged)
{
    const std::string root = std::string(kScratch) + "\\existing";
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    const std::vector<Entry> before = {
        { "", nullptr, REG_SZ, std::string("page\0", 5) },
        { "", "count", REG_DWORD, std::string("\x07\x00\x00\x01", 4) },
        { "", "bytes", REG_BINARY, std::string("\0\x01\xff\0", 4) },
        { "", "list", REG_MULTI_SZ, std::string("one\0two\0\0", 9) },
        { "\\shell\\open\\command", nullptr, REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe \"%1\"\0", 25) },
        { "\\untouched", "kept", REG_SZ, std::string("yes\0", 4) },
        { "\\empty", "", REG_NONE, std::string() },
    };
    for (const Entry& entry : before)
        ASSERT_TRUE(Write(root + entry.key, entry.name, entry.type, entry.data));
    {
        RegistrySnapshot snapshot(HKEY_CURRENT_USER, root);
        EXPECT_TRUE(snapshot.Existed());
        // Everything a test might do: change, remove and add values and keys at every depth.
        Write(root, nullptr, REG_SZ, std::string("other\0", 6));
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, root.c_str(), "count");
        Write(root, "added", REG_SZ, std::string("x\0", 2));
        Write(root + "\\shell\\open\\command", nullptr, REG_SZ, std::string("evil\0", 5));
        Write(root + "\\shell\\edit\\command", nullptr, REG_SZ, std::string("new\0", 4));
        ::RegDeleteTreeA(HKEY_CURRENT_USER, (root + "\\empty").c_str());
    }
    for (const Entry& entry : before)
        EXPECT_EQ(Read(root + entry.key, entry.name), std::to_string(entry.type) + ":" + entry.data)
            << entry.key << " " << (entry.name ? entry.name : "(default)");
    EXPECT_TRUE(Exists(root + "\\empty")) << "an empty subkey is a subkey";
    EXPECT_EQ(Read(root, "added"), "missing");
    EXPECT_FALSE(Exists(root + "\\shell\\edit"));
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
}

TEST(RegistrySnapshot, AKeyThatWasNotThereIsRemovedWithAllWrittenUnderIt)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    ASSERT_TRUE(Write(kScratch, "neighbour", REG_SZ, std::string("stays\0", 6)));
    const std::string root = std::string(kScratch) + "\\new";
    {
        RegistrySnapshot snapshot(HKEY_CURRENT_USER, root);
        EXPECT_FALSE(snapshot.Existed());
        ASSERT_TRUE(Write(root + "\\shell\\open\\command", nullptr, REG_SZ, std::string("x\0", 2)));
        ASSERT_TRUE(Write(root, nullptr, REG_SZ, std::string("y\0", 2)));
    }
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(Read(kScratch, "neighbour"), std::to_string(REG_SZ) + ":" + std::string("stays\0", 6))
        << "the parent and its values are not the snapshot's";
    // Restoring twice changes nothing more.
    RegistrySnapshot again(HKEY_CURRENT_USER, root);
    EXPECT_TRUE(again.Restore());
    EXPECT_TRUE(again.Restore());
    EXPECT_FALSE(Exists(root));
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
}
