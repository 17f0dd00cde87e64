// The header patch and the tail block on real files: applied where they help, never where they
// would break a well-formed workbook.
#include "repair/RepairSteps.h"
#include "CfbWriter.h"
#include "TempFolder.h"
#include "repair/CompoundFile.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    for (const char* name : { "lo_3sheets.xls", "gn_3sheets.xls", "lo_50k.xls", "gn_50k.xls" }) {
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
    layout.root = { CfbStream("Workbook", 9000) };
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

namespace {

// Bytes in memory that count what is read of them, and ask for a stop once `stopAt` bytes have
// been read: the request comes from outside, in the middle of whatever reads.
class CountingTarget : public WritableBytes {
public:
    explicit CountingTarget(std::vector<uint8_t>& bytes)
        : m_target(bytes)
        , m_counter(*this)
    {
    }
    const ByteSource& Bytes() override { return m_counter; }
    bool Write(uint64_t offset, const uint8_t* bytes, size_t count) override
    {
        return m_target.Write(offset, bytes, count);
    }
    uint64_t read = 0;
    uint64_t stopAt = UINT64_MAX;
    bool requested = false;
    uint64_t readWhenRequested = 0;

private:
    class Counter : public ByteSource {
    public:
        explicit Counter(CountingTarget& owner)
            : m_owner(owner)
        {
        }
        uint64_t Length() const override { return m_owner.m_target.Bytes().Length(); }
        bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const override
        {
            m_owner.read += size;
            if (!m_owner.requested && m_owner.read >= m_owner.stopAt) {
                m_owner.requested = true;
                m_owner.readWhenRequested = m_owner.read;
            }
            return m_owner.m_target.Bytes().ReadAt(offset, buffer, size);
        }

    private:
        CountingTarget& m_owner;
    };
    MemoryTarget m_target;
    Counter m_counter;
};

} // namespace

// A copy whose header sector is lost sends the patch into the rebuild, which scans all of it:
// asked to stop anywhere on the way, not one byte more is read.
TEST_F(RepairSteps, AStopRequestEndsThePatchOfALargeDamagedCopyWithoutAnotherRead)
{
    CfbImage image = BuildWorkbook(64u << 20);
    image.PutBof("Workbook");
    image.bytes.replace(0, 512, 512, '\0');
    const std::vector<uint8_t> damaged(image.bytes.begin(), image.bytes.end());
    TailBlock tail {};
    std::copy(tailBlock.begin(), tailBlock.end(), tail.begin());

    std::vector<uint8_t> bytes = damaged;
    CountingTarget whole(bytes);
    EXPECT_EQ(PatchBytes(whole, tail).result, PatchResult::Patched);
    ASSERT_GT(whole.read, damaged.size()) << "the rebuild reads the whole copy";

    for (uint64_t stopAt : { uint64_t(0), uint64_t(1) << 20, uint64_t(40) << 20, whole.read - (1u << 20) }) {
        SCOPED_TRACE(stopAt);
        bytes = damaged;
        CountingTarget target(bytes);
        target.stopAt = stopAt;
        PatchReport report = PatchBytes(target, tail, [&] { return target.requested; });
        EXPECT_EQ(report.result, PatchResult::Stopped);
        ASSERT_TRUE(target.requested);
        EXPECT_EQ(target.read, target.readWhenRequested);
    }
}
