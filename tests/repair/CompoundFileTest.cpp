#include "repair/CompoundFile.h"

#include "CfbWriter.h"
#include "TempFolder.h"
#include "framework/Platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using cfb::kEndOfChain;
using cfb::kFreeSect;

class CompoundFileTest : public ::testing::Test {
protected:
    std::wstring Write(const std::string& bytes) { return m_temp.WriteFile(L"book.xls", bytes); }
    std::wstring Write(const CfbImage& image) { return Write(image.bytes); }
    CompoundFileCheck Check(const CfbImage& image) { return CheckCompoundFile(Write(image)); }

    // Not well-formed, and for the reason the test damaged.
    ::testing::AssertionResult Malformed(const CfbImage& image, const std::string& words)
    {
        CompoundFileCheck check = Check(image);
        if (check.wellFormed)
            return ::testing::AssertionFailure() << "taken as well-formed";
        if (check.problem.find(words) == std::string::npos)
            return ::testing::AssertionFailure() << "problem \"" << check.problem << "\" lacks \"" << words << "\"";
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult WellFormed(const CfbImage& image)
    {
        CompoundFileCheck check = Check(image);
        if (!check.wellFormed)
            return ::testing::AssertionFailure() << "rejected: " << check.problem;
        if (!check.problem.empty())
            return ::testing::AssertionFailure() << "well-formed but with problem " << check.problem;
        if (check.sectorSize != image.sectorSize)
            return ::testing::AssertionFailure() << "sector size " << check.sectorSize;
        return ::testing::AssertionSuccess();
    }
    // Whether the last 512 bytes of the file hold no live data.
    bool TailFree(const CfbImage& image)
    {
        uint64_t length = image.bytes.size();
        return RangeHoldsNoLiveData(Write(image), length - 512, 512);
    }

    TempFolder m_temp;
};

CfbLayout Layout(int version, std::vector<CfbNode> root, std::vector<CfbPart> order = {})
{
    CfbLayout layout;
    layout.version = version;
    layout.root = std::move(root);
    if (!order.empty())
        layout.order = std::move(order);
    return layout;
}

// ---- Well-formed files

TEST_F(CompoundFileTest, Version3WorkbookInTheFat)
{
    CfbImage image = BuildWorkbook(20000);
    ASSERT_EQ(image.chains["Workbook"].size(), 40u);
    EXPECT_TRUE(WellFormed(image));
}

TEST_F(CompoundFileTest, Version3WorkbookInTheMiniStream)
{
    CfbImage image = BuildCfb(
        Layout(3, { CfbStream("Workbook", 3000), CfbStream("SummaryInformation", 200), CfbStream("Empty", 0) }));
    ASSERT_FALSE(image.miniStreamSectors.empty());
    EXPECT_TRUE(WellFormed(image));
}

TEST_F(CompoundFileTest, Version4WithStoragesAndBothKindsOfStream)
{
    CfbImage image = BuildCfb(Layout(4,
        { CfbStream("Workbook", 10000), CfbStream("Small", 100),
            CfbStorage("Storage", { CfbStream("Inner", 5000), CfbStream("Tiny", 10) }) }));
    EXPECT_EQ(image.sectorSize, 4096u);
    EXPECT_TRUE(WellFormed(image));
}

TEST_F(CompoundFileTest, StreamsAtTheMiniStreamCutoff)
{
    // 4096 bytes go to the FAT, 4095 to the mini stream.
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 4096), CfbStream("Other", 4095) }));
    ASSERT_EQ(image.chains["Workbook"].size(), 8u);
    ASSERT_EQ(image.chains["Other"].size(), 64u);
    EXPECT_TRUE(WellFormed(image));
}

TEST_F(CompoundFileTest, DirectoryOverSeveralSectorsWithNestedStorages)
{
    std::vector<CfbNode> root = { CfbStream("Workbook", 6000) };
    for (int i = 0; i < 12; i++)
        root.push_back(CfbStream(std::string(1, 'S').append(std::to_string(i)), 100 + i * 700));
    root.push_back(CfbStorage("Outer", { CfbStorage("Inner", { CfbStream("Deep", 9000) }), CfbStream("Near", 70) }));
    CfbImage image = BuildCfb(Layout(3, root));
    ASSERT_GE(image.directorySectors.size(), 4u);
    EXPECT_TRUE(WellFormed(image));
}

TEST_F(CompoundFileTest, BookAndAnyCaseOfTheName)
{
    EXPECT_TRUE(WellFormed(BuildWorkbook(9000, 3, "Book")));
    EXPECT_TRUE(WellFormed(BuildWorkbook(9000, 3, "WORKBOOK")));
    EXPECT_TRUE(WellFormed(BuildWorkbook(300, 3, "book")));
}

TEST_F(CompoundFileTest, FileLengthNotAMultipleOfTheSectorSize)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 20000) });
    layout.trailing = std::string(100, 'x');
    EXPECT_TRUE(WellFormed(BuildCfb(layout)));
}

TEST_F(CompoundFileTest, ChainLongerThanTheSizeIsTolerated)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put64(image.EntryOffset("Workbook") + cfb::kSize, 20000 - 1024);
    EXPECT_TRUE(WellFormed(image));
}

TEST_F(CompoundFileTest, Version3IgnoresTheHighHalfOfAStreamSize)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.EntryOffset("Workbook") + cfb::kSize + 4, 0xDEADBEEF);
    EXPECT_TRUE(WellFormed(image));
    // Version 4 sizes are 64 bits: the same bytes make the stream far longer than its chain.
    CfbImage v4 = BuildWorkbook(20000, 4);
    v4.Put32(v4.EntryOffset("Workbook") + cfb::kSize + 4, 1);
    EXPECT_TRUE(Malformed(v4, "shorter than its size"));
}

TEST_F(CompoundFileTest, Version4MayCountItsDirectorySectors)
{
    CfbImage image = BuildWorkbook(20000, 4);
    EXPECT_EQ(image.Get32(40), 1u);
    EXPECT_TRUE(WellFormed(image));
    image.Put32(40, 7);
    EXPECT_TRUE(WellFormed(image));
}

TEST_F(CompoundFileTest, EmptyStreamMayHaveAnyStart)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 9000), CfbStream("Empty", 0) }));
    image.Put32(image.EntryOffset("Empty") + cfb::kStart, 12345);
    EXPECT_TRUE(WellFormed(image));
}

// ---- Which stream is the workbook

TEST_F(CompoundFileTest, MissingWorkbookStream)
{
    EXPECT_TRUE(Malformed(BuildWorkbook(9000, 3, "Other"), "no Workbook"));
    EXPECT_TRUE(Malformed(BuildWorkbook(9000, 3, "Workbook2"), "no Workbook"));
}

TEST_F(CompoundFileTest, WorkbookOnlyInsideAStorage)
{
    EXPECT_TRUE(Malformed(BuildCfb(Layout(3, { CfbStorage("Sub", { CfbStream("Workbook", 9000) }) })), "no Workbook"));
}

TEST_F(CompoundFileTest, WorkbookThatIsAStorage)
{
    EXPECT_TRUE(Malformed(BuildCfb(Layout(3, { CfbStorage("Workbook", { CfbStream("Data", 9000) }) })), "no Workbook"));
}

// ---- Not compound files at all

TEST_F(CompoundFileTest, EmptyFile)
{
    CompoundFileCheck check = CheckCompoundFile(Write(std::string()));
    EXPECT_FALSE(check.wellFormed);
    EXPECT_NE(check.problem.find("shorter"), std::string::npos) << check.problem;
}

TEST_F(CompoundFileTest, ShorterThanAHeader)
{
    CfbImage image = BuildWorkbook(20000);
    image.bytes.resize(511);
    EXPECT_TRUE(Malformed(image, "shorter"));
}

TEST_F(CompoundFileTest, HeaderAlone)
{
    CfbImage image = BuildWorkbook(20000);
    image.bytes.resize(512);
    EXPECT_TRUE(Malformed(image, "more FAT sectors than the file holds"));
}

TEST_F(CompoundFileTest, TextFile)
{
    std::string text;
    while (text.size() < 4000)
        text += "Name;Amount;Date\r\nWidget;12;2024-01-05\r\n";
    CompoundFileCheck check = CheckCompoundFile(Write(text));
    EXPECT_FALSE(check.wellFormed);
    EXPECT_NE(check.problem.find("signature"), std::string::npos) << check.problem;
    EXPECT_EQ(check.sectorSize, 0u);
}

TEST_F(CompoundFileTest, MissingFile)
{
    CompoundFileCheck check = CheckCompoundFile(m_temp.File(L"absent.xls"));
    EXPECT_FALSE(check.wellFormed);
    EXPECT_FALSE(check.problem.empty());
    EXPECT_FALSE(CheckCompoundFile(m_temp.Path()).wellFormed); // a folder
}

// ---- Header damage

TEST_F(CompoundFileTest, BadSignature)
{
    CfbImage image = BuildWorkbook(20000);
    image.bytes[7] = 0;
    EXPECT_TRUE(Malformed(image, "signature"));
}

TEST_F(CompoundFileTest, ZeroedFirst32Bytes)
{
    CfbImage image = BuildWorkbook(20000);
    image.bytes.replace(0, 32, std::string(32, '\0'));
    EXPECT_TRUE(Malformed(image, "signature"));
}

TEST_F(CompoundFileTest, ByteOrderMark)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put16(28, 0xFEFF);
    EXPECT_TRUE(Malformed(image, "byte order"));
}

TEST_F(CompoundFileTest, UnknownMajorVersion)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put16(26, 5);
    EXPECT_TRUE(Malformed(image, "version 5"));
}

TEST_F(CompoundFileTest, Version3With4096ByteSectors)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put16(30, 12);
    EXPECT_TRUE(Malformed(image, "sector shift 12"));
}

TEST_F(CompoundFileTest, Version4With512ByteSectors)
{
    CfbImage image = BuildWorkbook(20000, 4);
    image.Put16(30, 9);
    EXPECT_TRUE(Malformed(image, "sector shift 9"));
}

TEST_F(CompoundFileTest, MiniSectorShift5)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put16(32, 5);
    EXPECT_TRUE(Malformed(image, "mini sector shift"));
}

TEST_F(CompoundFileTest, MiniStreamCutoff)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(56, 8192);
    EXPECT_TRUE(Malformed(image, "cutoff"));
}

TEST_F(CompoundFileTest, Version3CountingDirectorySectors)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(40, 1);
    EXPECT_TRUE(Malformed(image, "counts directory sectors"));
}

// ---- FAT and DIFAT damage

TEST_F(CompoundFileTest, FatSectorOutsideTheFile)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(76, image.sectorCount);
    EXPECT_TRUE(Malformed(image, "runs out of the file"));
}

TEST_F(CompoundFileTest, FatCountNotMatchingTheListedSectors)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(44, 2);
    EXPECT_TRUE(Malformed(image, "does not match the listed FAT sectors"));
    image.Put32(44, 0);
    EXPECT_TRUE(Malformed(image, "no FAT sectors"));
}

TEST_F(CompoundFileTest, HostileFatCount)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(44, 0x7FFFFFFF);
    EXPECT_TRUE(Malformed(image, "more FAT sectors than the file holds"));
    image = BuildWorkbook(20000);
    image.Put32(72, 0xFFFFFFF0);
    EXPECT_TRUE(Malformed(image, "more DIFAT sectors than the file holds"));
}

TEST_F(CompoundFileTest, FatSectorListedTwice)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 20000) });
    layout.minFatSectors = 2;
    CfbImage image = BuildCfb(layout);
    ASSERT_TRUE(WellFormed(image));
    image.Put32(80, image.Get32(76));
    EXPECT_TRUE(Malformed(image, "listed twice"));
}

TEST_F(CompoundFileTest, FatSectorListedAfterAGap)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 20000) });
    layout.minFatSectors = 3;
    CfbImage image = BuildCfb(layout);
    image.Put32(80, kFreeSect);
    EXPECT_TRUE(Malformed(image, "after a free DIFAT entry"));
}

TEST_F(CompoundFileTest, FatSectorNotMarkedInTheFat)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.FatEntryOffset(image.fatSectors[0]), kFreeSect);
    EXPECT_TRUE(Malformed(image, "not marked as a FAT sector"));
}

TEST_F(CompoundFileTest, SmallFileWithADifat)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 20000) });
    layout.minFatSectors = 120;
    CfbImage image = BuildCfb(layout);
    ASSERT_EQ(image.difatSectors.size(), 1u);
    EXPECT_TRUE(WellFormed(image));
    // The FAT sectors past the header's 109 come only from the DIFAT sector.
    image.Put32(image.SectorOffset(image.difatSectors[0]) + 4 * 5, image.sectorCount + 1);
    EXPECT_TRUE(Malformed(image, "runs out of the file"));
}

TEST_F(CompoundFileTest, DifatSectorListedAsAFatSector)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 20000) });
    layout.minFatSectors = 120;
    CfbImage image = BuildCfb(layout);
    image.Put32(image.SectorOffset(image.difatSectors[0]) + 4 * 10, image.difatSectors[0]);
    EXPECT_TRUE(Malformed(image, "FAT shares sector"));
}

TEST_F(CompoundFileTest, DifatDamage)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 20000) });
    layout.minFatSectors = 240;
    const CfbImage good = BuildCfb(layout);
    ASSERT_EQ(good.difatSectors.size(), 2u);
    ASSERT_TRUE(WellFormed(good));
    const uint64_t firstNext = good.SectorOffset(good.difatSectors[0]) + 127 * 4;

    CfbImage image = good;
    image.Put32(firstNext, good.difatSectors[0]);
    EXPECT_TRUE(Malformed(image, "DIFAT chain loops"));

    image = good;
    image.Put32(68, good.sectorCount + 3);
    EXPECT_TRUE(Malformed(image, "DIFAT chain runs out of the file"));

    image = good;
    image.Put32(image.FatEntryOffset(good.difatSectors[1]), kFreeSect);
    EXPECT_TRUE(Malformed(image, "not marked as a DIFAT sector"));

    image = good;
    image.Put32(72, 1);
    EXPECT_TRUE(Malformed(image, "longer than its count"));

    image = good;
    image.Put32(72, 3);
    EXPECT_TRUE(Malformed(image, "shorter than its count"));

    image = good;
    image.Put32(firstNext, kEndOfChain);
    EXPECT_TRUE(Malformed(image, "shorter than its count"));
}

TEST_F(CompoundFileTest, DifatStartWithoutDifatSectors)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(68, 1);
    EXPECT_TRUE(Malformed(image, "DIFAT start"));
    // Some writers leave FREESECT there instead of ENDOFCHAIN.
    image.Put32(68, kFreeSect);
    EXPECT_TRUE(WellFormed(image));
}

// ---- Chain damage

TEST_F(CompoundFileTest, DirectoryChainLoop)
{
    CfbImage image = BuildCfb(Layout(3,
        { CfbStream("Workbook", 9000), CfbStream("A", 10), CfbStream("B", 10), CfbStream("C", 10),
            CfbStream("D", 10) }));
    ASSERT_EQ(image.directorySectors.size(), 2u);
    image.Put32(image.FatEntryOffset(image.directorySectors[1]), image.directorySectors[0]);
    EXPECT_TRUE(Malformed(image, "directory chain loops"));
}

TEST_F(CompoundFileTest, DirectoryStartingInAFreeSector)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 9000) },
        { CfbPart::Fat, CfbPart::FreeSector, CfbPart::Directory, CfbPart::Streams }));
    ASSERT_TRUE(WellFormed(image));
    image.Put32(48, image.freeSectors[0]);
    EXPECT_TRUE(Malformed(image, "directory chain reaches a free sector"));
}

TEST_F(CompoundFileTest, TwoStreamsSharingASector)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 9000), CfbStream("Other", 9000) }));
    image.Put32(image.EntryOffset("Other") + cfb::kStart, image.chains["Workbook"][0]);
    EXPECT_TRUE(Malformed(image, "shares sector"));
}

TEST_F(CompoundFileTest, StreamRunningIntoTheDirectory)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.FatEntryOffset(image.chains["Workbook"].back()), image.directorySectors[0]);
    EXPECT_TRUE(Malformed(image, "shares sector"));
}

TEST_F(CompoundFileTest, StreamChainShorterThanItsSize)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.FatEntryOffset(image.chains["Workbook"][20]), kEndOfChain);
    EXPECT_TRUE(Malformed(image, "chain shorter than its size"));

    image = BuildWorkbook(20000);
    image.Put64(image.EntryOffset("Workbook") + cfb::kSize, 20000 + 512);
    EXPECT_TRUE(Malformed(image, "chain shorter than its size"));
}

TEST_F(CompoundFileTest, StreamChainRunningOutOfTheFile)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.FatEntryOffset(image.chains["Workbook"].back()), image.sectorCount + 10);
    EXPECT_TRUE(Malformed(image, "runs out of the file"));
}

TEST_F(CompoundFileTest, FileCutInsideTheLastSector)
{
    CfbImage image = BuildWorkbook(20000);
    image.bytes.resize(image.bytes.size() - 100);
    EXPECT_TRUE(Malformed(image, "runs out of the file"));
}

TEST_F(CompoundFileTest, StreamChainHoldingAReservedValue)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.FatEntryOffset(image.chains["Workbook"][3]), cfb::kFatSect);
    EXPECT_TRUE(Malformed(image, "reserved"));
}

// A FAT sector covers 128 sectors; sectors in the file past that may not be named by a chain.
CfbImage FullyCoveredByOneFatSector(uint32_t extraSectors)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 126 * 512) });
    layout.trailing = std::string(extraSectors * 512, 'z');
    return BuildCfb(layout);
}

TEST_F(CompoundFileTest, ChainIntoSectorsTheFatDoesNotCover)
{
    CfbImage image = FullyCoveredByOneFatSector(2);
    ASSERT_EQ(image.sectorCount, 128u);
    ASSERT_EQ(image.fatSectors.size(), 1u);
    ASSERT_TRUE(WellFormed(image));
    image.Put32(image.FatEntryOffset(image.chains["Workbook"].back()), 128);
    EXPECT_TRUE(Malformed(image, "does not cover"));
}

// ---- Mini stream damage

TEST_F(CompoundFileTest, MiniChainOutsideTheMiniStream)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000) }));
    // 47 mini sectors in a 3008-byte mini stream: 47 is the first one outside.
    image.Put32(image.EntryOffset("Workbook") + cfb::kStart, 47);
    EXPECT_TRUE(Malformed(image, "leaves the mini stream"));
    image.Put32(image.EntryOffset("Workbook") + cfb::kStart, 46);
    EXPECT_TRUE(Malformed(image, "mini chain shorter than its size"));
}

TEST_F(CompoundFileTest, MiniChainLoop)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000) }));
    const std::vector<uint32_t>& mini = image.chains["Workbook"];
    image.Put32(image.MiniFatEntryOffset(mini.back()), mini[10]);
    EXPECT_TRUE(Malformed(image, "loops at mini sector 10"));
}

TEST_F(CompoundFileTest, TwoStreamsSharingAMiniSector)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 1000), CfbStream("Other", 1000) }));
    image.Put32(image.EntryOffset("Other") + cfb::kStart, image.chains["Workbook"][0]);
    EXPECT_TRUE(Malformed(image, "shares mini sector"));
}

TEST_F(CompoundFileTest, MiniChainShorterThanItsSize)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000), CfbStream("Other", 1000) }));
    image.Put64(image.EntryOffset("Workbook") + cfb::kSize, 3100);
    EXPECT_TRUE(Malformed(image, "mini chain shorter than its size"));
}

TEST_F(CompoundFileTest, MiniChainEndingInAFreeMiniSector)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000) }));
    image.Put32(image.MiniFatEntryOffset(image.chains["Workbook"][5]), kFreeSect);
    EXPECT_TRUE(Malformed(image, "free mini sector"));
}

TEST_F(CompoundFileTest, SmallStreamWithoutAMiniStream)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put64(image.EntryOffset("Workbook") + cfb::kSize, 100);
    EXPECT_TRUE(Malformed(image, "leaves the mini stream"));
}

TEST_F(CompoundFileTest, MiniStreamLongerThanItsChain)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000) }));
    ASSERT_EQ(image.miniStreamSectors.size(), 6u);
    image.Put64(image.EntryOffset(0u) + cfb::kSize, 6 * 512 + 64);
    EXPECT_TRUE(Malformed(image, "mini stream chain shorter than its size"));
}

TEST_F(CompoundFileTest, MiniFatCountNotMatchingItsChain)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000) }));
    image.Put32(64, 2);
    EXPECT_TRUE(Malformed(image, "mini FAT sector count"));
    image.Put32(64, 0);
    EXPECT_TRUE(Malformed(image, "mini FAT sector count"));
}

// What a damaged header claims never sizes the check's tables beyond a workbook's structures.
TEST_F(CompoundFileTest, ClaimsBeyondAnyWorkbooksStructuresAreRefusedBeforeTheyAreRead)
{
    struct Case {
        const char* name;
        std::function<CfbImage()> make;
        const char* problem;
    };
    const Case cases[] = {
        { "the directory starts in a 5 MiB stream",
            [] {
                CfbImage image = BuildWorkbook(5u << 20);
                image.Put32(48, image.chains["Workbook"][0]);
                return image;
            },
            "directory chain longer than 8192 sectors" },
        { "the mini stream claims 128 MiB",
            [] {
                CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000) }));
                image.Put64(image.EntryOffset(0u) + cfb::kSize, (128u << 20) + 64);
                return image;
            },
            "mini stream larger than 134217728 bytes" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Malformed(c.make(), c.problem));
    }
    // Just within both: a directory of 8192 sectors, a mini stream of 128 MiB, read as usual.
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 3000) }));
    image.Put64(image.EntryOffset(0u) + cfb::kSize, 128u << 20);
    EXPECT_TRUE(Malformed(image, "mini stream chain shorter than its size"));
}

// ---- Directory damage

TEST_F(CompoundFileTest, RootChildOutOfRange)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.EntryOffset(0u) + cfb::kChild, image.entryCount);
    EXPECT_TRUE(Malformed(image, "out of range"));
}

TEST_F(CompoundFileTest, SiblingLinkOutOfRange)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.EntryOffset("Workbook") + cfb::kLeft, 1000);
    EXPECT_TRUE(Malformed(image, "out of range"));
}

TEST_F(CompoundFileTest, LinkToAnUnusedEntry)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.EntryOffset("Workbook") + cfb::kRight, image.entryCount - 1);
    EXPECT_TRUE(Malformed(image, "unused entry"));
}

TEST_F(CompoundFileTest, DirectoryTreeLoops)
{
    CfbImage image = BuildWorkbook(20000);
    image.Put32(image.EntryOffset("Workbook") + cfb::kRight, image.entries["Workbook"]);
    EXPECT_TRUE(Malformed(image, "tree loops"));

    image = BuildWorkbook(20000);
    image.Put32(image.EntryOffset("Workbook") + cfb::kLeft, 0);
    EXPECT_TRUE(Malformed(image, "tree loops"));

    image = BuildCfb(Layout(3, { CfbStream("Workbook", 9000), CfbStorage("Sub", { CfbStream("X", 10) }) }));
    image.Put32(image.EntryOffset("Sub/X") + cfb::kRight, image.entries["Sub"]);
    EXPECT_TRUE(Malformed(image, "tree loops"));
}

TEST_F(CompoundFileTest, EntryReachedFromTwoStorages)
{
    CfbImage image = BuildCfb(Layout(3,
        { CfbStream("Workbook", 9000), CfbStorage("A", { CfbStream("X", 10) }),
            CfbStorage("B", { CfbStream("Y", 10) }) }));
    image.Put32(image.EntryOffset("B") + cfb::kChild, image.entries["A/X"]);
    EXPECT_TRUE(Malformed(image, "tree loops"));
}

TEST_F(CompoundFileTest, FirstEntryNotTheRoot)
{
    CfbImage image = BuildWorkbook(20000);
    image.bytes[image.EntryOffset(0u) + cfb::kType] = 1;
    EXPECT_TRUE(Malformed(image, "not the root"));
}

TEST_F(CompoundFileTest, BadObjectTypes)
{
    CfbImage image = BuildWorkbook(20000);
    image.bytes[image.EntryOffset("Workbook") + cfb::kType] = 3;
    EXPECT_TRUE(Malformed(image, "object type 3"));
    image.bytes[image.EntryOffset("Workbook") + cfb::kType] = 5;
    EXPECT_TRUE(Malformed(image, "object type 5"));
}

TEST_F(CompoundFileTest, BadNameLengths)
{
    for (uint16_t length : { 0, 17, 66 }) {
        CfbImage image = BuildWorkbook(20000);
        image.Put16(image.EntryOffset("Workbook") + cfb::kNameLength, length);
        EXPECT_TRUE(Malformed(image, "name length")) << length;
    }
    CfbImage image = BuildWorkbook(20000);
    image.Put16(image.EntryOffset(0u) + cfb::kNameLength, 70);
    EXPECT_TRUE(Malformed(image, "name length"));
}

TEST_F(CompoundFileTest, StreamWithAChild)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 9000), CfbStream("Other", 10) }));
    image.Put32(image.EntryOffset("Workbook") + cfb::kChild, image.entries["Other"]);
    EXPECT_TRUE(Malformed(image, "has a child"));
}

// ---- Live data

TEST_F(CompoundFileTest, FreeLastSectorHoldsNoLiveData)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    ASSERT_TRUE(WellFormed(image));
    EXPECT_TRUE(TailFree(image));
    std::wstring path = Write(image);
    uint64_t length = image.bytes.size();
    // One byte more reaches the stream's last sector.
    EXPECT_FALSE(RangeHoldsNoLiveData(path, length - 513, 513));
    EXPECT_TRUE(RangeHoldsNoLiveData(path, length - 1, 1));
}

TEST_F(CompoundFileTest, LastSectorInUse)
{
    std::vector<CfbNode> root = { CfbStream("Workbook", 20000), CfbStream("Small", 700) };
    struct Case {
        const char* what;
        std::vector<CfbPart> order;
    } cases[] = {
        { "stream data",
            { CfbPart::Fat, CfbPart::Directory, CfbPart::MiniFat, CfbPart::MiniStream, CfbPart::Streams } },
        { "directory", { CfbPart::Fat, CfbPart::MiniFat, CfbPart::MiniStream, CfbPart::Streams, CfbPart::Directory } },
        { "FAT", { CfbPart::Directory, CfbPart::MiniFat, CfbPart::MiniStream, CfbPart::Streams, CfbPart::Fat } },
        { "mini FAT", { CfbPart::Fat, CfbPart::Directory, CfbPart::MiniStream, CfbPart::Streams, CfbPart::MiniFat } },
        { "mini stream",
            { CfbPart::Fat, CfbPart::Directory, CfbPart::MiniFat, CfbPart::Streams, CfbPart::MiniStream } },
    };
    for (const Case& c : cases) {
        CfbImage image = BuildCfb(Layout(3, root, c.order));
        ASSERT_TRUE(WellFormed(image)) << c.what;
        EXPECT_FALSE(TailFree(image)) << c.what;
    }
}

TEST_F(CompoundFileTest, DifatSectorAtTheEndIsLive)
{
    CfbLayout layout = Layout(
        3, { CfbStream("Workbook", 20000) }, { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::Difat });
    layout.minFatSectors = 120;
    CfbImage image = BuildCfb(layout);
    ASSERT_EQ(image.difatSectors.back(), image.sectorCount - 1);
    ASSERT_TRUE(WellFormed(image));
    EXPECT_FALSE(TailFree(image));
}

TEST_F(CompoundFileTest, HeaderIsLive)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    std::wstring path = Write(image);
    EXPECT_FALSE(RangeHoldsNoLiveData(path, 0, 512));
    EXPECT_FALSE(RangeHoldsNoLiveData(path, 0, 32));
    EXPECT_FALSE(RangeHoldsNoLiveData(path, 511, 1));
}

TEST_F(CompoundFileTest, Version4LastBytes)
{
    CfbImage used = BuildWorkbook(20000, 4);
    ASSERT_TRUE(WellFormed(used));
    EXPECT_FALSE(TailFree(used));

    CfbImage free = BuildCfb(Layout(4, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    ASSERT_TRUE(WellFormed(free));
    EXPECT_TRUE(TailFree(free));
    std::wstring path = Write(free);
    uint64_t length = free.bytes.size();
    EXPECT_TRUE(RangeHoldsNoLiveData(path, length - 4096, 4096));
    EXPECT_FALSE(RangeHoldsNoLiveData(path, length - 4097, 1));
    // The rest of a version 4 header sector is the header's too.
    EXPECT_FALSE(RangeHoldsNoLiveData(path, 1024, 512));
}

TEST_F(CompoundFileTest, PartialTailAfterAUsedSector)
{
    CfbLayout layout = Layout(3, { CfbStream("Workbook", 20000) });
    layout.trailing = std::string(300, 'x');
    CfbImage image = BuildCfb(layout);
    ASSERT_TRUE(WellFormed(image));
    EXPECT_FALSE(TailFree(image)); // 212 of those bytes are the stream's
    std::wstring path = Write(image);
    EXPECT_TRUE(RangeHoldsNoLiveData(path, image.bytes.size() - 300, 300));
}

TEST_F(CompoundFileTest, SectorsPastTheFatAreUnused)
{
    CfbImage image = FullyCoveredByOneFatSector(1);
    ASSERT_TRUE(WellFormed(image));
    EXPECT_TRUE(TailFree(image));
    std::wstring path = Write(image);
    EXPECT_FALSE(RangeHoldsNoLiveData(path, image.bytes.size() - 1024, 512));
    // Past the end of the file there is nothing to lose.
    EXPECT_TRUE(RangeHoldsNoLiveData(path, image.bytes.size(), 4096));
}

TEST_F(CompoundFileTest, OrphanSectorInUseIsLive)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    image.Put32(image.FatEntryOffset(image.freeSectors[0]), kEndOfChain);
    ASSERT_TRUE(WellFormed(image));
    EXPECT_FALSE(TailFree(image));
}

TEST_F(CompoundFileTest, PartialLastSectorCountsByItsFatEntry)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    image.bytes.resize(image.bytes.size() - 200);
    std::wstring path = Write(image);
    uint64_t length = image.bytes.size();
    ASSERT_TRUE(WellFormed(image));
    EXPECT_TRUE(RangeHoldsNoLiveData(path, length - 312, 312));
    // No chain can name a sector cut short, but a FAT that marks it in use still means it.
    image.Put32(image.FatEntryOffset(image.freeSectors[0]), kEndOfChain);
    path = Write(image);
    ASSERT_TRUE(WellFormed(image));
    EXPECT_FALSE(RangeHoldsNoLiveData(path, length - 312, 312));
}

TEST_F(CompoundFileTest, NoAnswerForAFileThatIsNotWellFormed)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    ASSERT_TRUE(TailFree(image));
    image.Put16(32, 5);
    EXPECT_FALSE(TailFree(image));
    EXPECT_FALSE(RangeHoldsNoLiveData(m_temp.File(L"absent.xls"), 1024, 512));
}

TEST_F(CompoundFileTest, RangeWrappingAroundIsRefused)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    std::wstring path = Write(image);
    EXPECT_FALSE(RangeHoldsNoLiveData(path, UINT64_MAX - 10, 512));
}

TEST_F(CompoundFileTest, OneReadGivesBothAnswers)
{
    CfbImage image = BuildCfb(Layout(3, { CfbStream("Workbook", 20000) },
        { CfbPart::Fat, CfbPart::Directory, CfbPart::Streams, CfbPart::FreeSector }));
    CompoundFile file(Write(image));
    EXPECT_TRUE(file.Check().wellFormed);
    EXPECT_EQ(file.Check().sectorSize, 512u);
    uint64_t length = image.bytes.size();
    EXPECT_TRUE(file.RangeHoldsNoLiveData(length - 512, 512));
    EXPECT_FALSE(file.RangeHoldsNoLiveData(length - 1024, 512));
}

// ---- Random damage: whatever the bytes, the answers stay consistent and the reader stays inside
// its tables (a stray read past them would crash the run).

TEST_F(CompoundFileTest, RandomDamageGivesConsistentAnswers)
{
    CfbLayout layout = Layout(3,
        { CfbStream("Workbook", 20000), CfbStream("S", 1000),
            CfbStorage("St", { CfbStream("X", 5000), CfbStream("Y", 10) }) });
    std::vector<CfbImage> bases = { BuildCfb(layout) };
    layout.version = 4;
    bases.push_back(BuildCfb(layout));
    layout.version = 3;
    layout.minFatSectors = 240;
    bases.push_back(BuildCfb(layout));

    std::mt19937 random(20240607);
    const uint32_t values[] = { kFreeSect, kEndOfChain, cfb::kFatSect, cfb::kDifSect, 0, 1, 2, 3, 64, 0x7FFFFFFF };
    int wellFormed = 0;
    for (int round = 0; round < 300; round++) {
        CfbImage image = bases[round % bases.size()];
        for (uint32_t n = 1 + random() % 4; n > 0; n--) {
            uint64_t at = 0;
            switch (random() % 3) {
            case 0:
                at = random() % 512;
                break;
            case 1:
                at = 512 + random() % (image.bytes.size() - 512);
                break;
            default:
                at = image.EntryOffset(random() % image.entryCount) + 64 + random() % 64;
                break;
            }
            at &= ~uint64_t(3);
            image.Put32(at, random() % 2 ? values[random() % 10] : static_cast<uint32_t>(random()));
        }
        if (random() % 10 == 0)
            image.bytes.resize(random() % image.bytes.size());

        CompoundFile file(Write(image));
        const CompoundFileCheck& check = file.Check();
        uint64_t length = image.bytes.size();
        SCOPED_TRACE(round);
        EXPECT_EQ(check.problem.empty(), check.wellFormed) << check.problem;
        EXPECT_FALSE(file.RangeHoldsNoLiveData(0, 512));
        if (check.wellFormed) {
            wellFormed++;
            EXPECT_EQ(check.sectorSize, image.sectorSize);
        } else if (length >= 512) {
            EXPECT_FALSE(file.RangeHoldsNoLiveData(length - 512, 512));
        }
    }
    // Some damage lands where nobody looks; most does not.
    EXPECT_GT(wellFormed, 0);
    EXPECT_LT(wellFormed, 300);
}

// ---- A workbook large enough that its FAT needs a DIFAT

TEST_F(CompoundFileTest, LargeWorkbookWithADifat)
{
    CfbImage image = BuildWorkbook(14000 * 512);
    ASSERT_EQ(image.fatSectors.size(), 111u);
    ASSERT_EQ(image.difatSectors.size(), 1u);
    EXPECT_TRUE(WellFormed(image));
    EXPECT_FALSE(TailFree(image));

    // The last FAT sector is listed only in the DIFAT; its chain links must still be read.
    uint32_t last = image.chains["Workbook"].back();
    ASSERT_GE(last / 128, 109u);
    image.Put32(image.FatEntryOffset(last), kFreeSect);
    EXPECT_TRUE(Malformed(image, "reaches a free sector"));
}

// ---- Workbooks written by LibreOffice and Gnumeric

TEST(CompoundFileFixtures, RealWorkbooksAreWellFormed)
{
#ifdef TESSEL_SOURCE_DIR
    std::wstring folder = std::wstring(L"" TESSEL_SOURCE_DIR) + L"\\tests\\fixtures";
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((folder + L"\\*.xls").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(fd.cFileName);
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
    if (names.empty())
        GTEST_SKIP() << "no .xls files in " << Utf8(folder);
    for (const std::wstring& name : names) {
        CompoundFileCheck check = CheckCompoundFile(folder + L"\\" + name);
        EXPECT_TRUE(check.wellFormed) << Utf8(name) << ": " << check.problem;
        EXPECT_TRUE(check.sectorSize == 512 || check.sectorSize == 4096) << Utf8(name);
    }
#else
    GTEST_SKIP() << "TESSEL_SOURCE_DIR is not defined";
#endif
}

} // namespace
