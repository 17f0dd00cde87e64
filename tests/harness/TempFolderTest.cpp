// A test's temporary folder goes with everything in it, whatever the files' attributes.
#include "TempFolder.h"
#include "framework/Platform.h"

#include <gtest/gtest.h>

TEST(TempFolderRemoval, FilesOfEveryAttributeAndNestedFoldersGo)
{
    const struct {
        const wchar_t* name;
        DWORD attributes;
    } files[] = {
        { L"plain.xls", FILE_ATTRIBUTE_NORMAL },
        { L"readonly.xls", FILE_ATTRIBUTE_READONLY },
        { L"hidden.xls", FILE_ATTRIBUTE_HIDDEN },
        { L"system.xls", FILE_ATTRIBUTE_SYSTEM },
        { L"all of them, with a comma.xls", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM },
    };
    std::wstring path;
    {
        TempFolder folder;
        path = folder.Path();
        ASSERT_TRUE(::CreateDirectoryW(folder.File(L"inner").c_str(), nullptr));
        for (const std::wstring& at : { folder.Path(), folder.File(L"inner") }) {
            for (const auto& file : files) {
                const std::wstring name = at + L"\\" + file.name;
                ASSERT_TRUE(WriteWholeFile(name, "xls"));
                ASSERT_TRUE(::SetFileAttributesW(name.c_str(), file.attributes));
                const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
                EXPECT_EQ(::GetFileAttributesW(name.c_str()) & kept, file.attributes & kept) << Utf8(name);
            }
        }
        ASSERT_TRUE(::SetFileAttributesW(folder.File(L"inner").c_str(), FILE_ATTRIBUTE_HIDDEN));
    }
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(path) << " is still there";
}
