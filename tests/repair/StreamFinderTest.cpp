// Finding a workbook stream whatever is left of the compound file's tables, and judging whether
// a workbook reads back whole.
#include "BiffBuilder.h"
#include "TempFolder.h"
#include "repair/ByteSource.h"
#include "repair/CompoundFile.h"
#include "repair/ContentVerdict.h"
#include "repair/RecordWalk.h"
#include "repair/StreamFinder.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        { "a cell in a column past the last, amid a sheet's run of cells",
            [&](std::vector<uint8_t>& s) { s[at(biff::kNumber, 20) + 7] = 1; }, "a cell refers past its tables" },
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


// The walk hands out runs that follow one another and end only where records do, whether the
// quick path took the cells or the whole way did (booleans and labels break the quick runs),
// and around a lost block it drops exactly the records that touch it.
TEST(RecordWalk, RunsEndWhereRecordsDoAndALostBlockTakesOnlyItsRecords)
{
    BiffBuilder b;
    b.Globals({ "Data" }, { "s" });
    b.BeginSheet(0);
    for (uint16_t r = 0; r < 10000; r++) {
        b.Number(r, 0, r);
        b.Text(r, 1, 0);
        if (r % 450 == 0) {
            b.Bool(r, 2, r % 2);
            b.Label(r, 3, std::string(r % 301, 'x'));
        }
    }
    b.EndSheet();
    std::vector<uint8_t> stream = b.Bytes();
    std::vector<uint64_t> bounds;
    for (const auto& record : b.records)
        bounds.push_back(record.first);
    bounds.push_back(stream.size());
    std::sort(bounds.begin(), bounds.end());
    auto isBound = [&](uint64_t at) { return std::binary_search(bounds.begin(), bounds.end(), at); };

    struct Walked {
        std::vector<std::pair<uint64_t, uint64_t>> runs, damage;
    };
    auto walk = [](const std::vector<uint8_t>& bytes) {
        MemoryBytes file(bytes);
        StreamMap map;
        map.Append(0, bytes.size());
        StreamReader reader(file, map);
        RecordWalk w(reader, biff::Version::Biff8);
        Walked out;
        for (RecordWalk::Event e = w.NextRun(); e.kind != RecordWalk::Kind::End; e = w.NextRun())
            (e.kind == RecordWalk::Kind::Run ? out.runs : out.damage).emplace_back(e.from, e.to);
        return out;
    };

    const Walked whole = walk(stream);
    EXPECT_TRUE(whole.damage.empty());
    ASSERT_GT(whole.runs.size(), 3u) << "handed out in pieces";
    EXPECT_EQ(whole.runs.front().first, 0u);
    EXPECT_EQ(whole.runs.back().second, stream.size());
    for (size_t i = 0; i < whole.runs.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(isBound(whole.runs[i].second));
        if (i > 0) {
            EXPECT_EQ(whole.runs[i].first, whole.runs[i - 1].second);
        }
    }

    // A block of zeros deep into the sheet, past several pieces of quick runs.
    const uint64_t lost = (stream.size() * 2 / 3) / 512 * 512;
    std::fill_n(stream.begin() + static_cast<ptrdiff_t>(lost), 512, uint8_t(0));
    const uint64_t firstTouched = *(std::upper_bound(bounds.begin(), bounds.end(), lost) - 1);
    const uint64_t firstAfter = *std::lower_bound(bounds.begin(), bounds.end(), lost + 512);
    const Walked holed = walk(stream);
    ASSERT_EQ(holed.damage.size(), 1u);
    EXPECT_EQ(holed.damage[0], std::make_pair(firstTouched, firstAfter));
    uint64_t at = 0;
    for (const auto& run : holed.runs) {
        EXPECT_TRUE(isBound(run.second));
        if (run.first == firstAfter)
            at = firstAfter;
        EXPECT_EQ(run.first, at) << "nothing skipped but the damage";
        at = run.second;
    }
    EXPECT_EQ(at, stream.size());
}

} // namespace
