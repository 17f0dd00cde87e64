// Finding a workbook stream whatever is left of the compound file's tables, and judging whether
// a workbook reads back whole.
#include "BiffBuilder.h"
#include "TempFolder.h"
#include "repair/ByteSource.h"
#include "repair/CompoundFile.h"
#include "repair/ContentVerdict.h"
#include "repair/StreamFinder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr uint32_t kSector = 512;

std::vector<uint8_t> Bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::wstring Fixture(const std::string& name)
{
    return L"" TESSEL_SOURCE_DIR L"\\tests\\fixtures\\" + Wide(name);
}

// A workbook of two sheets, big enough for many sectors.
std::vector<uint8_t> Workbook(biff::Version v = biff::Version::Biff8, int rows = 600)
{
    BiffBuilder b(v);
    b.Globals({ "First", "Second" });
    for (int sheet = 0; sheet < 2; sheet++) {
        b.BeginSheet(sheet);
        for (int r = 0; r < rows; r++)
            b.Number(static_cast<uint16_t>(r), 0, r + sheet * 0.5);
        b.EndSheet();
    }
    return b.Bytes();
}

// The stream's bytes as the map lays them out.
std::vector<uint8_t> Read(const std::vector<uint8_t>& file, const StreamMap& map)
{
    std::vector<uint8_t> out(static_cast<size_t>(map.Length()));
    MemoryBytes bytes(file);
    uint64_t at = 0;
    for (const StreamRun& run : map.Runs()) {
        EXPECT_TRUE(bytes.ReadAt(run.fileOffset, out.data() + at, static_cast<uint32_t>(run.length)));
        at += run.length;
    }
    return out;
}

void Zero(CfbImage& image, uint32_t sector)
{
    std::fill_n(image.bytes.begin() + static_cast<ptrdiff_t>(image.SectorOffset(sector)), kSector, '\0');
}

// Every way of finding it: through the directory, past a lost table, past a lost directory, past
// both, a root not called "Root Entry", the older "Book", a small workbook in the mini stream, a
// file cut short. The bytes found are the stream's.
TEST(StreamFinder, FindsTheWorkbookWhateverIsLeftOfTheTables)
{
    const std::vector<uint8_t> stream = Workbook();
    const std::vector<uint8_t> small = Workbook(biff::Version::Biff8, 20);
    ASSERT_LT(small.size(), 4096u);
    struct Case {
        const char* what;
        std::function<CfbImage()> build;
        bool sized;
        bool guessed;
        uint64_t length; // bytes expected to be found
        biff::Version version = biff::Version::Biff8;
        bool cut = false;
    };
    CfbLayout tablesLast;
    tablesLast.order = { CfbPart::Streams, CfbPart::MiniStream, CfbPart::MiniFat, CfbPart::Directory, CfbPart::Fat };
    const std::vector<Case> cases = {
        { "intact", [&] { return BuildWorkbookFile(stream); }, true, false, stream.size() },
        { "first table sector lost",
            [&] {
                CfbImage i = BuildWorkbookFile(stream);
                Zero(i, i.fatSectors[0]);
                return i;
            },
            true, true, stream.size() },
        { "directory lost",
            [&] {
                CfbImage i = BuildWorkbookFile(stream);
                Zero(i, i.directorySectors[0]);
                return i;
            },
            false, false, stream.size() },
        { "table and directory lost",
            [&] {
                CfbImage i = BuildWorkbookFile(stream, "Workbook", {}, &tablesLast);
                Zero(i, i.fatSectors[0]);
                Zero(i, i.directorySectors[0]);
                return i;
            },
            false, true, stream.size() },
        { "root named R",
            [&] {
                CfbImage i = BuildWorkbookFile(stream);
                const uint64_t root = i.EntryOffset(0u);
                std::fill_n(i.bytes.begin() + static_cast<ptrdiff_t>(root), 64, '\0');
                i.bytes[root] = 'R';
                i.Put16(root + cfb::kNameLength, 4);
                return i;
            },
            true, false, stream.size() },
        { "older Book", [&] { return BuildWorkbookFile(Workbook(biff::Version::Biff5), "Book"); }, true, false,
            Workbook(biff::Version::Biff5).size(), biff::Version::Biff5 },
        { "small workbook, directory lost",
            [&] {
                CfbImage i = BuildWorkbookFile(small, "Workbook", { { "\005SummaryInformation", 300 } });
                Zero(i, i.directorySectors[0]);
                return i;
            },
            false, false, small.size() },
        { "cut short, tables last",
            [&] {
                CfbImage i = BuildWorkbookFile(stream, "Workbook", {}, &tablesLast);
                i.bytes.resize(i.bytes.size() / 2);
                return i;
            },
            false, true, 0, biff::Version::Biff8, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CfbImage image = c.build();
        const std::vector<uint8_t> file = Bytes(image.bytes);
        const FoundStream found = FindWorkbookStream(MemoryBytes(file));
        ASSERT_TRUE(found.found);
        EXPECT_EQ(found.sized, c.sized);
        EXPECT_EQ(found.guessed, c.guessed);
        EXPECT_EQ(found.version, c.version);
        EXPECT_EQ(found.map.CutShort(), c.cut);
        const std::vector<uint8_t> bytes = Read(file, found.map);
        const std::vector<uint8_t>& want = c.version == biff::Version::Biff5 ? Workbook(biff::Version::Biff5)
            : c.length == small.size()                                      ? small
                                                                            : stream;
        const uint64_t length = c.cut ? bytes.size() : c.length;
        ASSERT_GE(bytes.size(), length);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length), want.begin()));
    }
}

TEST(ContentVerdict, EveryWritersWorkbookIsWhole)
{
    for (const char* name : { "lo_1cell.xls", "lo_3sheets.xls", "lo_50k.xls", "gn_1cell.xls", "gn_3sheets.xls",
             "gn_50k.xls", "xl_1cell.xls", "xl_3sheets.xls", "we_1cell.xls", "we_3sheets.xls" }) {
        SCOPED_TRACE(name);
        FileBytes file(Fixture(name));
        ASSERT_TRUE(file.IsOpen());
        const ContentVerdict verdict = JudgeWorkbook(file);
        EXPECT_TRUE(verdict.whole) << verdict.problem;
    }
}

// Each fault the check is there for, alone in an otherwise sound workbook.
TEST(ContentVerdict, AWorkbookThatDoesNotReadBackWholeIsSaidSo)
{
    BiffBuilder b;
    b.Globals({ "First", "Second" }, { "one", "two", "three" });
    b.BeginSheet(0);
    for (uint16_t r = 0; r < 300; r++) {
        b.Number(r, 0, r);
        b.Text(r, 1, r % 3);
    }
    b.EndSheet();
    b.BeginSheet(1);
    b.Number(0, 0, 1);
    b.EndSheet();
    const std::vector<uint8_t> stream = b.Bytes();
    ASSERT_TRUE(JudgeWorkbook(MemoryBytes(Bytes(BuildWorkbookFile(stream).bytes))).whole);
    auto at = [&](uint16_t type, int nth = 0) {
        for (const auto& [pos, t] : b.records) {
            if (t == type && nth-- == 0)
                return pos;
        }
        return uint64_t(0);
    };
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* problem;
    };
    const std::vector<Case> cases = {
        { "a sector of zeros inside a sheet",
            [&](std::vector<uint8_t>& s) { std::fill_n(s.begin() + 2048, kSector, uint8_t(0)); }, "damaged at" },
        { "a sheet offset off by one", [&](std::vector<uint8_t>& s) { s[at(biff::kBoundSheet, 1) + 4]++; },
            "a sheet offset lands on no sheet" },
        { "one string more counted than there is", [&](std::vector<uint8_t>& s) { s[at(biff::kSst) + 8]++; },
            "shared strings not whole" },
        { "a cell with a format past the formats",
            [&](std::vector<uint8_t>& s) { s[at(biff::kNumber, 10) + 8] = 60; }, "a cell refers past its tables" },
        { "a cell with a string past the strings",
            [&](std::vector<uint8_t>& s) { s[at(biff::kLabelSst, 10) + 10] = 3; },
            "a cell refers past its tables" },
        { "the last sheet's end missing", [&](std::vector<uint8_t>& s) { s.resize(s.size() - 4); },
            "sheets missing or unended" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> damaged = stream;
        c.damage(damaged);
        const ContentVerdict verdict = JudgeWorkbook(MemoryBytes(Bytes(BuildWorkbookFile(damaged).bytes)));
        EXPECT_FALSE(verdict.whole);
        EXPECT_EQ(verdict.problem.rfind(c.problem, 0), 0u) << verdict.problem;
    }
}

} // namespace
