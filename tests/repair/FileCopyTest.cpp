// Whole-or-nothing copies on real files, and folder look-ups that never fall back to a root.
#include "repair/FileCopy.h"
#include "TempFolder.h"
#include "framework/FolderLookup.h"
#include "repair/OutputFile.h"
#include "repair/PathRules.h"
#include "repair/SourceFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <utility>
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

    // Cancelled after the first block: what was written goes, and the file it would have replaced
    // was never touched.
    int asked = 0;
    EXPECT_FALSE(CopyWhole(source, target, CopyTarget::Replace, [&] { return ++asked > 1; }));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ReadWholeFile(target), "kept");
    EXPECT_EQ(FilesIn(temp.Path()), (std::vector<std::wstring> { L"source.xls", L"target.xls" }));
    ::DeleteFileW(target.c_str());

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

TEST(SourceFiles, OnlyARegularFileOpensAndAnotherProgramsWriteHandleDoesNotStopIt)
{
    TempFolder temp;
    const std::wstring book = temp.WriteFile(L"book.xls", 5000);
    ::CreateDirectoryW(temp.File(L"folder.xls").c_str(), nullptr);
    struct Case {
        std::wstring path;
        DWORD heldShare; // another program holds it open for writing with this sharing; ~0: nobody
        bool opens;
    };
    const Case cases[] = {
        { book, ~0u, true },
        { book, FILE_SHARE_READ, true }, // as a spreadsheet program holds what it has open
        { book, FILE_SHARE_READ | FILE_SHARE_WRITE, true },
        { book, 0, false }, // locked against every reader
        { temp.File(L"folder.xls"), ~0u, false },
        { temp.File(L"absent.xls"), ~0u, false },
        { temp.Path() + L"\\", ~0u, false },
        { temp.File(L"NUL"), ~0u, false },
        { temp.File(L"con.xls"), ~0u, false },
        { temp.File(L"COM1.xls"), ~0u, false },
        { temp.File(L"lpt1"), ~0u, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.path) + " held " + std::to_string(c.heldShare));
        HANDLE held = c.heldShare == ~0u ? INVALID_HANDLE_VALUE
                                         : ::CreateFileW(c.path.c_str(), GENERIC_READ | GENERIC_WRITE, c.heldShare,
                                             nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_EQ(held == INVALID_HANDLE_VALUE, c.heldShare == ~0u);
        SourceFile source;
        EXPECT_EQ(source.Open(c.path), c.opens);
        if (c.opens) {
            FileImage image;
            EXPECT_EQ(source.Size(), 5000u);
            ASSERT_TRUE(ReadWhole(source, image));
            EXPECT_EQ(std::string(image.bytes.begin(), image.bytes.end()), ReadWholeFile(book));
        }
        if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
    }
    EXPECT_EQ(FilesIn(temp.Path()), (std::vector<std::wstring> { L"book.xls" })) << "no device name made a file";
}

TEST(SourceFiles, AttributesAreResetOnTheFileThatWasOpened)
{
    TempFolder temp;
    const std::wstring book = temp.WriteFile(L"book.xls", 100);
    ::SetFileAttributesW(book.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SourceFile source;
    ASSERT_TRUE(source.Open(book));
    EXPECT_NE(::GetFileAttributesW(book.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << "opening alone changes nothing";
    EXPECT_TRUE(source.ResetAttributes());
    EXPECT_EQ(
        ::GetFileAttributesW(book.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
        0u);
    EXPECT_EQ(ReadWholeFile(book).size(), 100u);
}

namespace {

// Changes the source through a handle of its own after the first block has been read, as another
// program saving it would.
std::wstring g_changedPath;
int g_change = 0;
bool ChangingReader(HANDLE hFile, uint8_t* data, DWORD count)
{
    DWORD got = 0;
    const bool ok = ::ReadFile(hFile, data, count, &got, nullptr) && got == count;
    if (const int change = std::exchange(g_change, 0)) {
        HANDLE other = ::CreateFileW(g_changedPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER at;
        at.QuadPart = 10;
        DWORD written = 0;
        ::SetFilePointerEx(other, at, nullptr, change == 1 ? FILE_END : FILE_BEGIN);
        ::WriteFile(other, "changed", 7, &written, nullptr);
        ::CloseHandle(other);
    }
    return ok;
}

} // namespace

TEST(SourceFiles, ASourceThatChangesWhileItIsReadGivesNoCopy)
{
    TempFolder temp, work;
    // 1: grows, 2: rewritten in place at the same size, 0: left alone.
    for (int change : { 1, 2, 0 }) {
        for (bool toFile : { false, true }) {
            SCOPED_TRACE(
                testing::Message() << "change " << change << (toFile ? " into a working copy" : " into memory"));
            g_changedPath = temp.WriteFile(L"book.xls", 3u << 20);
            const std::string before = ReadWholeFile(g_changedPath);
            SourceFile source;
            ASSERT_TRUE(source.Open(g_changedPath));
            CopyBlockReader previous = SetCopyBlockReader(&ChangingReader);
            // The change lands after the first block, so the copy would mix two versions.
            ::Sleep(20);
            g_change = change;
            bool copied = false;
            TemporaryCopy copy;
            if (toFile) {
                ASSERT_TRUE(copy.Create(work.Path() + L"\\", L"book.xls", NAME_PREFIX));
                copied = copy.Fill(source);
            } else {
                FileImage image;
                copied = ReadWhole(source, image);
            }
            g_change = 0;
            SetCopyBlockReader(previous);
            EXPECT_EQ(copied, change == 0);
            EXPECT_EQ(copy.IsOpen(), toFile && change == 0);
            EXPECT_EQ(FilesIn(work.Path()).size(), copy.IsOpen() ? 1u : 0u) << "a copy that failed is gone";
            EXPECT_EQ(ReadWholeFile(g_changedPath) == before, change == 0);
        }
    }
}

TEST(WorkingCopies, CreatedNewUnderTheFirstFreeNameAndGoneWhenClosed)
{
    TempFolder temp;
    temp.WriteFile(L"REP_a.xls", "someone's file");
    ::CreateDirectoryW(temp.File(L"REP_(1)a.xls").c_str(), nullptr);
    const std::wstring folder = temp.Path() + L"\\";
    {
        TemporaryCopy first, second;
        ASSERT_TRUE(first.Create(folder, L"a.xls", NAME_PREFIX));
        EXPECT_EQ(first.Path(), temp.File(L"REP_(2)a.xls"));
        ASSERT_TRUE(second.Create(folder, L"a.xls", NAME_PREFIX)) << "the first one's name is taken too";
        EXPECT_EQ(second.Path(), temp.File(L"REP_(3)a.xls"));
        TempFolder sources;
        SourceFile source;
        ASSERT_TRUE(source.Open(sources.WriteFile(L"a.xls", std::string(3000, 'Z'))));
        ASSERT_TRUE(first.Fill(source));
        EXPECT_EQ(ReadWholeFile(temp.File(L"REP_a.xls")), "someone's file");
        EXPECT_EQ(FilesIn(temp.Path()).size(), 3u);
    }
    EXPECT_EQ(FilesIn(temp.Path()), (std::vector<std::wstring> { L"REP_a.xls" })) << "both went when closed";
    EXPECT_EQ(::GetFileAttributesW(temp.File(L"REP_(1)a.xls").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
        static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    // With every name taken there is no working copy, and nothing is opened.
    for (int n = 2; n <= kMaxNumberedName; n++)
        temp.WriteFile(NumberedCandidateName(L"a.xls", n, NAME_PREFIX), "x");
    TemporaryCopy none;
    EXPECT_FALSE(none.Create(folder, L"a.xls", NAME_PREFIX));
    EXPECT_EQ(ReadWholeFile(temp.File(L"REP_(199)a.xls")), "x");
    EXPECT_FALSE(none.Create(temp.File(L"missing") + L"\\", L"a.xls", NAME_PREFIX));
}

// Handed to the closer, working copies go when it finishes, again after that, and when it goes.
TEST(WorkingCopies, HandedToTheCloserTheyAreGoneWhenItFinishesAndWhenItGoes)
{
    TempFolder temp;
    const std::wstring folder = temp.Path() + L"\\";
    {
        BackgroundCloser closer;
        closer.Close(INVALID_HANDLE_VALUE); // nothing to close: ignored
        for (int round = 0; round < 2; round++) {
            for (int i = 0; i < 3; i++) {
                TemporaryCopy copy;
                ASSERT_TRUE(copy.Create(folder, L"b" + std::to_wstring(round * 3 + i) + L".xls", NAME_PREFIX));
                closer.Close(copy.Release());
                EXPECT_FALSE(copy.IsOpen());
                EXPECT_TRUE(copy.Path().empty());
            }
            if (round == 0) {
                closer.Finish();
                EXPECT_TRUE(FilesIn(temp.Path()).empty()) << "every copy handed over is gone";
            }
        }
        // The second round is left to the closer going.
    }
    EXPECT_TRUE(FilesIn(temp.Path()).empty());
}

TEST(PendingOutputs, NothingUnderTheFinalNameUntilItIsWholeAndNothingReplaced)
{
    TempFolder temp;
    const std::wstring folder = temp.Path() + L"\\";
    temp.WriteFile(L"taken.xls", "the user's");
    FileImage image;
    image.bytes.assign(5000, 0x33);
    image.written = { 0x12345678, 0x01D00000 };
    {
        PendingOutput output;
        ASSERT_TRUE(output.Create(folder));
        ASSERT_TRUE(WriteBlocks(output.Handle(), image.bytes.size(), ImageBlocks(image)));
        const std::vector<std::wstring> during = FilesIn(temp.Path());
        ASSERT_EQ(during.size(), 2u);
        EXPECT_EQ(during[0], L"taken.xls");
        EXPECT_TRUE(IsPendingOutputName(during[1])) << Utf8(during[1]);
        EXPECT_FALSE(output.Publish(temp.File(L"taken.xls"), image.written));
        EXPECT_EQ(output.LastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        EXPECT_EQ(ReadWholeFile(temp.File(L"taken.xls")), "the user's");
        ASSERT_TRUE(output.Publish(temp.File(L"free.xls"), image.written));
    }
    EXPECT_EQ(FilesIn(temp.Path()), (std::vector<std::wstring> { L"free.xls", L"taken.xls" }));
    EXPECT_EQ(ReadWholeFile(temp.File(L"free.xls")), std::string(5000, '\x33'));
    const FILETIME kept = WriteTime(temp.File(L"free.xls"));
    EXPECT_EQ(CompareFileTime(&image.written, &kept), 0);
    {
        PendingOutput abandoned;
        ASSERT_TRUE(abandoned.Create(folder));
        ASSERT_TRUE(WriteBlocks(abandoned.Handle(), image.bytes.size(), ImageBlocks(image)));
    }
    EXPECT_EQ(FilesIn(temp.Path()).size(), 2u) << "one never published goes";
}

namespace {

// The length each block found its file at when it was written.
std::vector<int64_t> g_lengthsSeen;
bool LengthWatchingWriter(HANDLE hFile, const uint8_t* data, DWORD count)
{
    LARGE_INTEGER length = {};
    ::GetFileSizeEx(hFile, &length);
    g_lengthsSeen.push_back(length.QuadPart);
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

} // namespace

// A copy of several blocks has its whole length from its first block on and ends exactly as long
// as its bytes; one of a single block is simply written.
TEST(PendingOutputs, ACopyOfSeveralBlocksIsGivenItsLengthFirst)
{
    TempFolder temp;
    for (size_t size : { size_t(5000), size_t(5u << 19) }) {
        SCOPED_TRACE(size);
        FileImage image;
        image.bytes.resize(size);
        for (size_t i = 0; i < size; i++)
            image.bytes[i] = static_cast<uint8_t>(i * 31 + (i >> 12));
        g_lengthsSeen.clear();
        const CopyBlockWriter previous = SetCopyBlockWriter(&LengthWatchingWriter);
        const bool written = WriteWhole(temp.File(L"copy.xls"), image, CopyTarget::Replace);
        SetCopyBlockWriter(previous);
        ASSERT_TRUE(written);
        const int64_t whole = static_cast<int64_t>(size);
        EXPECT_EQ(g_lengthsSeen, size > (1u << 20) ? std::vector<int64_t>(3, whole) : std::vector<int64_t> { 0 });
        EXPECT_TRUE(ReadWholeFile(temp.File(L"copy.xls")) == std::string(image.bytes.begin(), image.bytes.end()));
    }
}

TEST(PendingOutputs, NamesCarryACheckThatOnlyOurOwnHave)
{
    const std::wstring ours = PendingOutputName(0x0123456789ABCDEFull);
    EXPECT_EQ(ours.size(), 37u);
    EXPECT_EQ(ours.compare(0, 25, L"~tessel-0123456789abcdef-"), 0) << Utf8(ours);
    std::wstring wrongCheck = ours;
    wrongCheck[30] = wrongCheck[30] == L'0' ? L'1' : L'0';
    std::wstring upper = ours, otherStart = ours, otherDash = ours, otherSuffix = ours;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    otherStart[0] = L'x';
    otherDash[24] = L'_';
    otherSuffix.replace(33, 4, L".TMP");
    struct Case {
        std::wstring name;
        bool ours;
    };
    const Case cases[] = {
        { ours, true },
        { PendingOutputName(0), true },
        { PendingOutputName(~0ull), true },
        { wrongCheck, false },
        { upper, false },
        { otherSuffix, false },
        { ours + L"x", false },
        { otherStart, false },
        { otherDash, false },
        { L"~tessel-.tmp", false },
        { L"REP_Book1.xls", false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPendingOutputName(c.name), c.ours) << Utf8(c.name);
}

TEST(PendingOutputs, LeftoversRemovedOnlyWhenCertainlyOursAndNotInUse)
{
    TempFolder temp;
    const std::wstring folder = temp.Path() + L"\\";
    const std::wstring left1 = PendingOutputName(1), left2 = PendingOutputName(2), held = PendingOutputName(3);
    std::wstring forged = PendingOutputName(4);
    forged[36 - 4] = forged[36 - 4] == L'a' ? L'b' : L'a';
    temp.WriteFile(left1, 4000);
    temp.WriteFile(left2, "cut short");
    temp.WriteFile(held, "another run still writes this");
    temp.WriteFile(forged, "the user's");
    temp.WriteFile(L"~tessel-notours.tmp", "the user's");
    temp.WriteFile(L"REP_Book1.xls", "the user's");
    ::CreateDirectoryW(temp.File(PendingOutputName(5)).c_str(), nullptr);
    HANDLE holder
        = ::CreateFileW(temp.File(held).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RemoveLeftoverOutputs(folder), 2);
    ::CloseHandle(holder);
    std::vector<std::wstring> expected = { held, forged, L"REP_Book1.xls", L"~tessel-notours.tmp" };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesIn(temp.Path()), expected);
    EXPECT_NE(::GetFileAttributesW(temp.File(PendingOutputName(5)).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RemoveLeftoverOutputs(folder), 1) << "the one held goes once it is let go";
    EXPECT_EQ(RemoveLeftoverOutputs(temp.File(L"absent") + L"\\"), 0);
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
