// The header patch and the tail block on real files: applied where they help, never where they
// would break a well-formed workbook.
#include "CfbWriter.h"
#include "TempFolder.h"
#include "repair/CompoundFile.h"
#include "repair/RepairSteps.h"

#include <gtest/gtest.h>

namespace {

class RepairSteps : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A recognisable template block, so the tests can see where it went.
        std::string block(4096, '\0');
        for (size_t i = 0; i < block.size(); i++)
            block[i] = static_cast<char>(0x40 + i % 7);
        templatePath = temp.WriteFile(L"VuzuviViduv.dll", block);
        tailBlock = block.substr(0, 512);
    }
    std::string Header() const { return std::string(reinterpret_cast<const char*>(kHeaderPatch.data()), 32); }
    std::string Fixture(const std::string& name) const
    {
        return ReadWholeFile(L"" TESSEL_SOURCE_DIR L"\\tests\\fixtures\\" + Wide(name));
    }

    TempFolder temp;
    std::wstring templatePath;
    std::string tailBlock;
};

} // namespace

TEST_F(RepairSteps, HeaderPatchIsTheFixedFieldsOfACompoundFileHeader)
{
    const std::string expected("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"
                               "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
                               "\x3E\x00\x03\x00\xFE\xFF\x09\x00",
                               32);
    EXPECT_EQ(Header(), expected);
}

TEST_F(RepairSteps, FileOf550BytesGetsBothBlocksAndIsStillNoWorkbook)
{
    std::string junk(550, '\x5A');
    std::wstring path = temp.WriteFile(L"junk.xls", junk);
    PatchReport report = PatchWorkingCopy(path, templatePath);
    EXPECT_TRUE(report.headerApplied);
    EXPECT_TRUE(report.tailApplied);
    EXPECT_EQ(report.result, PatchResult::NotReadable);
    std::string after = ReadWholeFile(path);
    ASSERT_EQ(after.size(), 550u);
    EXPECT_EQ(after.substr(0, 32), Header());
    EXPECT_EQ(after.substr(32, 6), junk.substr(32, 6));
    EXPECT_EQ(after.substr(38), tailBlock);
}

TEST_F(RepairSteps, FileOf549BytesIsTooShort)
{
    std::wstring path = temp.WriteFile(L"short.xls", std::string(549, '\x11'));
    PatchReport report = PatchWorkingCopy(path, templatePath);
    EXPECT_EQ(report.result, PatchResult::TooShort);
    EXPECT_FALSE(report.tailApplied);
    EXPECT_EQ(ReadWholeFile(path).substr(549 - 512), std::string(512, '\x11'));
}

TEST_F(RepairSteps, FileShorterThanTheHeaderGrowsTo32BytesAndIsTooShort)
{
    std::wstring path = temp.WriteFile(L"tiny.xls", std::string(10, 'x'));
    EXPECT_EQ(PatchWorkingCopy(path, templatePath).result, PatchResult::TooShort);
    EXPECT_EQ(ReadWholeFile(path), Header());
}

TEST_F(RepairSteps, MissingOrShortTemplateTouchesNothing)
{
    std::string original = Fixture("lo_1cell.xls");
    std::wstring path = temp.WriteFile(L"book.xls", original);
    EXPECT_EQ(PatchWorkingCopy(path, temp.File(L"absent.dll")).result, PatchResult::NoTemplate);
    std::wstring shortTemplate = temp.WriteFile(L"short.dll", std::string(511, '\x01'));
    EXPECT_EQ(PatchWorkingCopy(path, shortTemplate).result, PatchResult::NoTemplate);
    EXPECT_EQ(ReadWholeFile(path), original);
}

TEST_F(RepairSteps, DamagedHeaderIsMendedAndTheLiveTailIsLeftAlone)
{
    for (const char* name : {"lo_3sheets.xls", "gn_3sheets.xls", "lo_50k.xls", "gn_50k.xls"}) {
        SCOPED_TRACE(name);
        std::string original = Fixture(name);
        std::string damaged = original;
        for (int i = 0; i < 32; i++)
            damaged[i] = '\0';
        std::wstring path = temp.WriteFile(Wide(name), damaged);
        ASSERT_FALSE(CheckCompoundFile(path).wellFormed);
        PatchReport report = PatchWorkingCopy(path, templatePath);
        EXPECT_EQ(report.result, PatchResult::Patched);
        EXPECT_TRUE(report.headerApplied);
        EXPECT_FALSE(report.tailApplied) << "the last sector holds the directory or a FAT sector";
        std::string after = ReadWholeFile(path);
        EXPECT_EQ(after.substr(0, 32), Header());
        EXPECT_EQ(after.substr(32), original.substr(32));
    }
}

TEST_F(RepairSteps, HealthyWorkbookStaysReadable)
{
    std::string original = Fixture("gn_1cell.xls");
    std::wstring path = temp.WriteFile(L"book.xls", original);
    PatchReport report = PatchWorkingCopy(path, templatePath);
    EXPECT_EQ(report.result, PatchResult::Patched);
    EXPECT_FALSE(report.tailApplied);
    EXPECT_TRUE(CheckCompoundFile(path).wellFormed);
    EXPECT_EQ(ReadWholeFile(path).substr(32), original.substr(32));
}

TEST_F(RepairSteps, FreeLastSectorTakesTheTailBlock)
{
    CfbLayout layout;
    layout.root = {CfbStream("Workbook", 9000)};
    layout.order.push_back(CfbPart::FreeSector);
    CfbImage image = BuildCfb(layout);
    std::wstring path = temp.WriteFile(L"free.xls", image.bytes);
    ASSERT_TRUE(CheckCompoundFile(path).wellFormed);
    PatchReport report = PatchWorkingCopy(path, templatePath);
    EXPECT_EQ(report.result, PatchResult::Patched);
    EXPECT_TRUE(report.tailApplied);
    std::string after = ReadWholeFile(path);
    EXPECT_EQ(after.substr(after.size() - 512), tailBlock);
    EXPECT_EQ(after.substr(0, after.size() - 512), image.bytes.substr(0, image.bytes.size() - 512));
}

TEST_F(RepairSteps, Version4WorkbookKeepsItsOwnHeader)
{
    CfbImage image = BuildWorkbook(20000, 4);
    std::wstring path = temp.WriteFile(L"v4.xls", image.bytes);
    ASSERT_TRUE(CheckCompoundFile(path).wellFormed);
    PatchReport report = PatchWorkingCopy(path, templatePath);
    EXPECT_FALSE(report.headerApplied) << "512-byte sectors would break a 4096-byte-sector file";
    EXPECT_EQ(report.result, PatchResult::Patched);
    EXPECT_EQ(ReadWholeFile(path), image.bytes);
}
