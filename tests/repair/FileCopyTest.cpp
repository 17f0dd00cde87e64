// Whole-or-nothing copies on real files, and folder look-ups that never fall back to a root.
#include "repair/FileCopy.h"
#include "TempFolder.h"
#include "framework/FolderLookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

FILETIME WriteTime(const std::wstring& path)
{
    FILETIME written = {};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        written = data.ftLastWriteTime;
    return written;
}

} // namespace

TEST(FileCopy, TargetsAreReplacedOrLeftAloneAsAskedAndKeepTheWriteTime)
{
    TempFolder temp;
    const std::wstring source = temp.WriteFile(L"source.xls", 3u << 20); // three blocks and more
    FILETIME old = { 0x12345678, 0x01D00000 };
    HANDLE h = ::CreateFileW(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ::SetFileTime(h, nullptr, nullptr, &old);
    ::CloseHandle(h);

    struct Case {
        CopyTarget target;
        bool taken;
        bool copied;
    };
    for (Case c : { Case { CopyTarget::Replace, false, true }, Case { CopyTarget::Replace, true, true },
             Case { CopyTarget::New, false, true }, Case { CopyTarget::New, true, false } }) {
        for (bool fromMemory : { false, true }) {
            SCOPED_TRACE(testing::Message() << int(c.target) << c.taken << fromMemory);
            const std::wstring target = temp.File(L"target.xls");
            ::DeleteFileW(target.c_str());
            if (c.taken)
                temp.WriteFile(L"target.xls", "the user's");
            bool copied = false;
            if (fromMemory) {
                FileImage image;
                ASSERT_TRUE(ReadWhole(source, 4u << 20, image));
                copied = WriteWhole(target, image, c.target);
            } else {
                copied = CopyWhole(source, target, c.target);
            }
            EXPECT_EQ(copied, c.copied);
            if (c.copied) {
                EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(source));
                const FILETIME kept = WriteTime(target);
                EXPECT_EQ(CompareFileTime(&old, &kept), 0);
            } else {
                EXPECT_EQ(ReadWholeFile(target), "the user's");
            }
        }
    }
}

TEST(FileCopy, FailuresLeaveNoPartOfTheTargetAndTouchNothingBeforeTheSourceOpens)
{
    TempFolder temp;
    const std::wstring source = temp.WriteFile(L"source.xls", (2u << 20) + 5);
    const std::wstring target = temp.File(L"target.xls");

    // A missing source: an existing target stays as it is.
    temp.WriteFile(L"target.xls", "kept");
    EXPECT_FALSE(CopyWhole(temp.File(L"absent.xls"), target, CopyTarget::Replace));
    EXPECT_EQ(ReadWholeFile(target), "kept");
    FileImage image;
    EXPECT_FALSE(ReadWhole(temp.File(L"absent.xls"), 1u << 30, image));
    EXPECT_FALSE(ReadWhole(source, 1u << 20, image)) << "larger than the limit";

    // Cancelled after the first block: what was written goes.
    int asked = 0;
    EXPECT_FALSE(CopyWhole(source, target, CopyTarget::Replace, [&] { return ++asked > 1; }));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);

    // A disk that refuses the second block.
    static int blocks;
    blocks = 0;
    CopyBlockWriter previous = SetCopyBlockWriter([](HANDLE hFile, const uint8_t* data, DWORD count) {
        DWORD written = 0;
        return ++blocks < 2 && ::WriteFile(hFile, data, count, &written, nullptr);
    });
    EXPECT_FALSE(CopyWhole(source, target, CopyTarget::New));
    SetCopyBlockWriter(previous);
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FolderLookUp, BufferSizedFromTheAnswerAndNothingOnFailure)
{
    struct Case {
        const char* what;
        std::vector<std::wstring> answers; // the folder as each call sees it; "" fails
        std::wstring expected;
    };
    const std::wstring longFolder = L"C:\\" + std::wstring(400, L'x') + L"\\";
    const std::wstring longer = longFolder + std::wstring(400, L'y') + L"\\";
    const std::vector<Case> cases = {
        { "fits", { L"C:\\Temp\\" }, L"C:\\Temp\\" },
        { "fails", { L"" }, L"" },
        { "longer than MAX_PATH", { longFolder, longFolder }, longFolder },
        { "grows between calls", { longFolder, longer, longer }, longer },
        { "never settles", { longFolder, longer, longer + L"a", longer + L"ab", longer + L"abc" }, L"" },
        { "fails on the second call", { longFolder, L"" }, L"" },
        { "names in any script", { L"C:\\Пользователи\\\U0001F600\\" }, L"C:\\Пользователи\\\U0001F600\\" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t call = 0;
        std::wstring found = LookUpFolder([&](DWORD size, wchar_t* buffer) -> DWORD {
            const std::wstring& answer = c.answers[std::min(call++, c.answers.size() - 1)];
            if (answer.empty())
                return 0;
            if (answer.size() + 1 > size)
                return static_cast<DWORD>(answer.size() + 1);
            std::wmemcpy(buffer, answer.c_str(), answer.size() + 1);
            return static_cast<DWORD>(answer.size());
        });
        EXPECT_EQ(found, c.expected);
    }
    EXPECT_FALSE(CurrentFolder().empty());
}
