// Salvaging hand-built workbooks damaged one way at a time: what survives comes back exactly,
// what is lost is left out and said, and nothing comes back that the workbook did not hold.
#include "BiffBuilder.h"
#include "TempFolder.h"
#include "repair/ByteSource.h"
#include "repair/CfbTables.h"
#include "repair/CompoundFile.h"
#include "repair/ContentVerdict.h"
#include "repair/RepairJob.h"
#include "repair/WorkbookSalvage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>

namespace {

constexpr uint32_t kSector = 512;

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// Three sheets: Alpha with numbers, shared strings and formulas; Beta with shared and text
// formulas; Gamma with labels and logical values. The shared strings run through many CONTINUE
// records, some split in the middle of a string.
struct Sample {
    BiffBuilder book;
    uint64_t anchorFormula = 0; // Beta's first shared formula, followed by its SHRFMLA
    uint64_t textFormula = 0; // one of Beta's text formulas
    uint64_t lateShared = 0; // a later formula of that shared range

    explicit Sample(biff::Version v = biff::Version::Biff8)
        : book(v)
    {
        std::vector<std::string> strings;
        for (int i = 0; i < 60; i++)
            strings.push_back("text " + std::to_string(i) + std::string(static_cast<size_t>(i % 7) * 9, 'x'));
        book.Globals({ "Alpha", "Beta", "Gamma" }, v == biff::Version::Biff8 ? strings : std::vector<std::string> {},
            120, 8);
        book.BeginSheet(0);
        for (uint16_t r = 0; r < 120; r++) {
            book.Number(r, 0, r * 1.5, static_cast<uint16_t>(15 + r % 9));
            if (v == biff::Version::Biff8)
                book.Text(r, 1, r % 60);
            else
                book.Label(r, 1, "label " + std::to_string(r));
            book.Formula(r, 2, r + 1.0);
        }
        book.EndSheet();
        book.BeginSheet(1);
        for (uint16_t r = 0; r < 80; r++) {
            book.Number(r, 0, 1000 + r);
            const uint64_t f = book.SharedFormula(r, 1, 2000 + r, 0, 1, r == 0);
            if (r == 0)
                anchorFormula = f;
            if (r == 70)
                lateShared = f;
            const uint64_t t = book.TextFormula(r, 2, "result " + std::to_string(r));
            if (r == 40)
                textFormula = t;
        }
        book.EndSheet();
        book.BeginSheet(2);
        for (uint16_t r = 0; r < 60; r++) {
            book.Label(r, 0, "gamma " + std::to_string(r));
            book.Bool(r, 1, r % 2 == 0);
        }
        book.EndSheet();
    }
    std::string Name() const { return book.Version() == biff::Version::Biff8 ? "Workbook" : "Book"; }
    CfbImage File() const { return BuildWorkbookFile(book.Bytes(), Name()); }
};

std::vector<uint8_t> Bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

struct Salvaged {
    SalvageOutcome outcome;
    std::vector<uint8_t> file;
};

Salvaged Salvage(const std::string& damaged, const std::function<bool()>& cancelled = nullptr)
{
    Salvaged s;
    const std::vector<uint8_t> bytes = Bytes(damaged);
    MemoryBytes source(bytes);
    MemoryTarget target(s.file);
    s.outcome = SalvageWorkbook(source, target, cancelled);
    return s;
}

// The file sector holding a stream position.
uint64_t SectorOf(const CfbImage& image, const std::string& stream, uint64_t pos)
{
    const uint64_t offset = image.StreamByteOffset(stream, pos);
    return offset - offset % kSector;
}

void Fill(std::string& bytes, uint64_t at, uint64_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    for (uint64_t i = 0; i < count; i++)
        bytes[at + i] = static_cast<char>(seed == 0 ? 0 : random());
}

// The cells of the salvaged copy are all the original's, with the same values (a formula may
// come back as its value).
void ExpectNothingMadeUp(const Cells& original, const Cells& got)
{
    for (const auto& [key, value] : got) {
        auto it = original.find(key);
        ASSERT_NE(it, original.end()) << std::get<0>(key) << " " << std::get<1>(key) << "," << std::get<2>(key)
                                      << " was not in the workbook";
        const std::string& want = it->second;
        const std::string plain = want.size() > 1 && want[0] == 'f' ? want.substr(1) : want;
        EXPECT_TRUE(value == want || value == plain)
            << std::get<0>(key) << " " << std::get<1>(key) << "," << std::get<2>(key) << ": " << value << " for "
            << want;
    }
}

class WorkbookSalvage : public ::testing::Test {
protected:
    Sample sample;
    CfbImage image = sample.File();
    Cells original = ReadCells(Bytes(image.bytes));
    std::string name = sample.Name();

    // Where a record kind first stands at or after a stream position.
    uint64_t Find(uint16_t type, uint64_t from = 0, int nth = 0) const
    {
        for (const auto& [pos, t] : sample.book.records) {
            if (t == type && pos >= from && nth-- == 0)
                return pos;
        }
        return 0;
    }
};

TEST_F(WorkbookSalvage, TheUndamagedWorkbookComesBackCellForCell)
{
    ASSERT_EQ(original.size(), 120u * 3 + 80u * 3 + 60u * 2);
    ASSERT_TRUE(JudgeWorkbook(MemoryBytes(Bytes(image.bytes))).whole);
    const Salvaged s = Salvage(image.bytes);
    ASSERT_TRUE(s.outcome.salvaged);
    EXPECT_EQ(ReadCells(s.file), original);
    EXPECT_EQ(s.outcome.cells, original.size());
    EXPECT_EQ(Narrow(s.outcome.lost), "no cells; objects left out");
    EXPECT_TRUE(CompoundFile(MemoryBytes(s.file)).Check().wellFormed);
    EXPECT_TRUE(JudgeWorkbook(MemoryBytes(s.file)).whole) << JudgeWorkbook(MemoryBytes(s.file)).problem;
}

// One sector lost in each sheet and in the shared strings, as zeros or as foreign bytes, where a
// record starts and in the middle of one: only the cells near it are lost, and the account says
// where.
TEST_F(WorkbookSalvage, AHoleTakesOnlyTheCellsNearIt)
{
    struct Case {
        const char* what;
        uint64_t pos; // a stream position inside the lost sector
        uint32_t seed; // 0: zeros
        const char* lost;
        size_t atMostLost;
    };
    const uint64_t alpha = sample.book.sheetStarts[0];
    const uint64_t gamma = sample.book.sheetStarts[2];
    const uint64_t strings = sample.book.stringStarts[30];
    // A sector that starts exactly where a record does.
    uint64_t boundary = 0;
    for (const auto& [pos, type] : sample.book.records) {
        if (pos > alpha + 1000 && pos % kSector == 0) {
            boundary = pos;
            break;
        }
    }
    ASSERT_NE(boundary, 0u);
    const std::vector<Case> cases = {
        // A sector of 14- to 35-byte records: the rows it held, and with foreign bytes the sector
        // before it too.
        { "zeros in Alpha", alpha + 2100, 0, "Alpha rows 30-38", 24 },
        { "foreign bytes in Alpha", alpha + 2100, 7, "Alpha rows 22-38", 48 },
        { "zeros in Gamma", gamma + 600, 0, "Gamma rows 3-20", 36 },
        { "zeros where a record starts", boundary, 0, nullptr, 24 },
        // The strings in the groups of eight the sector touches, each used by two cells.
        { "zeros in the shared strings", strings, 0, "Alpha text of 40 cells", 40 },
        { "foreign bytes in the shared strings", strings, 11, "Alpha text of 80 cells", 80 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = image.bytes;
        Fill(damaged, SectorOf(image, name, c.pos), kSector, c.seed);
        const Salvaged s = Salvage(damaged);
        ASSERT_TRUE(s.outcome.salvaged);
        const Cells got = ReadCells(s.file);
        ExpectNothingMadeUp(original, got);
        EXPECT_GE(got.size() + c.atMostLost, original.size());
        EXPECT_LT(got.size(), original.size());
        if (c.lost) {
            EXPECT_EQ(Narrow(s.outcome.lost), c.lost);
        }
        EXPECT_EQ(SheetNames(s.file), (std::vector<std::string> { "Alpha", "Beta", "Gamma" }));
        EXPECT_FALSE(JudgeWorkbook(MemoryBytes(Bytes(damaged))).whole);
    }
}

// Cut short at several places: everything before the cut (but the record it cuts) comes back;
// sheets past it stay as empty sheets under their names.
TEST_F(WorkbookSalvage, ACutKeepsWhatCameBeforeIt)
{
    struct Case {
        uint64_t cut; // stream bytes kept
        const char* lost;
    };
    const std::vector<Case> cases = {
        { sample.book.sheetStarts[1] + 1500, "Beta from row 16 on, Gamma" },
        { sample.book.sheetStarts[2] + 400, "Gamma from row 11 on" },
        { sample.book.sheetStarts[0] + 3000, "Alpha from row 44 on, Beta, Gamma" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lost);
        // The stream cut in the file (tables first, so the file ends inside the stream).
        const uint64_t fileCut = image.StreamByteOffset(name, c.cut);
        const Salvaged s = Salvage(image.bytes.substr(0, fileCut));
        ASSERT_TRUE(s.outcome.salvaged);
        const Cells got = ReadCells(s.file);
        ExpectNothingMadeUp(original, got);
        EXPECT_EQ(Narrow(s.outcome.lost), c.lost);
        EXPECT_EQ(SheetNames(s.file), (std::vector<std::string> { "Alpha", "Beta", "Gamma" }));
        // Every cell wholly before the cut is back.
        size_t before = 0;
        for (const auto& [pos, type] : sample.book.records) {
            if ((type == biff::kNumber || type == biff::kLabelSst || type == biff::kBoolErr || type == biff::kLabel)
                && pos + 30 < c.cut)
                before++;
        }
        EXPECT_GE(got.size(), before);
    }
}

TEST_F(WorkbookSalvage, ASheetWhoseBeginningIsLostKeepsItsLaterCellsUnderItsName)
{
    std::string damaged = image.bytes;
    Fill(damaged, SectorOf(image, name, sample.book.sheetStarts[1] + 8), kSector, 0);
    const Salvaged s = Salvage(damaged);
    ASSERT_TRUE(s.outcome.salvaged);
    const Cells got = ReadCells(s.file);
    ExpectNothingMadeUp(original, got);
    EXPECT_EQ(got.count({ "Beta", 79, 0 }), 1u);
    EXPECT_EQ(got.at({ "Beta", 79, 0 }), "n:1079");
    EXPECT_EQ(got.count({ "Beta", 0, 0 }), 0u);
    // The sector held Alpha's last rows too.
    EXPECT_EQ(Narrow(s.outcome.lost), "Alpha from row 114 on, Beta row 1");
}

// A formula whose shared formula is lost keeps its last value; one whose text is lost goes; the
// others stay formulas.
TEST_F(WorkbookSalvage, FormulasKeepTheirValueWhereTheirTokensCannotBeRead)
{
    std::string damaged = image.bytes;
    Fill(damaged, SectorOf(image, name, Find(biff::kShrFmla)), kSector, 0);
    Fill(damaged, SectorOf(image, name, Find(biff::kString, sample.textFormula)), kSector, 0);
    const Salvaged s = Salvage(damaged);
    ASSERT_TRUE(s.outcome.salvaged);
    const Cells got = ReadCells(s.file);
    ExpectNothingMadeUp(original, got);
    EXPECT_EQ(got.at({ "Beta", 70, 1 }), "n:2070") << "its shared formula is lost: its value stays";
    EXPECT_EQ(got.at({ "Alpha", 5, 2 }), "fn:6") << "a formula of its own stays a formula";
    EXPECT_EQ(got.count({ "Beta", 40, 2 }), 0u) << "the text of its result is lost";
    EXPECT_EQ(got.at({ "Beta", 60, 2 }), "fs:result 60");
}

// Damage in the globals before any sheet: formats past those that survived become the default,
// formulas keep their values (the tables they refer to may be gone), and no cell is lost.
TEST_F(WorkbookSalvage, LostFormatsFallBackToTheDefault)
{
    std::string damaged = image.bytes;
    Fill(damaged, SectorOf(image, name, Find(biff::kXf, 0, 12)), kSector, 0);
    const Salvaged s = Salvage(damaged);
    ASSERT_TRUE(s.outcome.salvaged);
    const Cells got = ReadCells(s.file);
    ExpectNothingMadeUp(original, got);
    EXPECT_EQ(FormatCount(s.file), 16u);
    EXPECT_EQ(got.at({ "Alpha", 5, 2 }), "n:6");
    EXPECT_EQ(got.at({ "Alpha", 7, 0 }), "n:10.5");
    const std::string lost = Narrow(s.outcome.lost);
    EXPECT_NE(lost.find("cell formats"), std::string::npos) << lost;
}

// A sector of another workbook's stream, which reads as sound records, in place of one of ours.
TEST_F(WorkbookSalvage, ASectorOfAnotherWorkbookBringsNoneOfItsCells)
{
    BiffBuilder other;
    other.Globals({ "Alpha" });
    other.BeginSheet(0);
    for (uint16_t r = 0; r < 200; r++)
        other.Number(r, static_cast<uint16_t>(r % 3), -7.25 - r, 15);
    other.EndSheet();
    const std::vector<uint8_t> foreign = other.Bytes();
    for (uint64_t from : { uint64_t(1024), uint64_t(1536), uint64_t(2048) }) {
        for (uint64_t where : { sample.book.sheetStarts[0] + 1000, sample.book.sheetStarts[0] + 2500 }) {
            std::string damaged = image.bytes;
            const uint64_t at = SectorOf(image, name, where);
            for (uint32_t i = 0; i < kSector; i++)
                damaged[at + i] = static_cast<char>(foreign[from + i]);
            const Salvaged s = Salvage(damaged);
            ASSERT_TRUE(s.outcome.salvaged);
            ExpectNothingMadeUp(original, ReadCells(s.file));
        }
    }
}

TEST_F(WorkbookSalvage, AnOlderFormatBookComesBackInItsFormat)
{
    const Sample old(biff::Version::Biff5);
    const CfbImage file = old.File();
    const Cells cells = ReadCells(Bytes(file.bytes));
    ASSERT_EQ(cells.size(), 120u * 3 + 80u * 3 + 60u * 2);
    const uint64_t cut = file.StreamByteOffset("Book", old.book.sheetStarts[1] + 700);
    const Salvaged s = Salvage(file.bytes.substr(0, cut));
    ASSERT_TRUE(s.outcome.salvaged);
    const Cells got = ReadCells(s.file);
    ExpectNothingMadeUp(cells, got);
    EXPECT_EQ(got.at({ "Alpha", 119, 1 }), "s:label 119");
    EXPECT_EQ(got.at({ "Beta", 3, 2 }), "fs:result 3");
    MemoryBytes copy(s.file);
    const FoundStream found = FindWorkbookStream(copy);
    EXPECT_TRUE(found.found);
    EXPECT_EQ(found.version, biff::Version::Biff5);
    EXPECT_EQ(Narrow(s.outcome.lost), "Beta from row 8 on, Gamma");
}

// Files nothing can be salvaged from: no workbook stream, nothing but a cut-off head, a ciphered
// workbook (its cells cannot be read without the password).
TEST_F(WorkbookSalvage, NothingToSalvageIsSaid)
{
    BiffBuilder locked;
    locked.Globals({ "Alpha" });
    std::vector<uint8_t> bytes = locked.Bytes();
    // FILEPASS right after the globals' beginning, as a writer puts it.
    const std::vector<uint8_t> filePass = { 0x2F, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00 };
    bytes.insert(bytes.begin() + 20, filePass.begin(), filePass.end());
    const std::vector<std::pair<const char*, std::string>> cases = {
        { "no workbook stream", BuildCfb(CfbLayout {}).bytes },
        { "the head of a workbook", image.bytes.substr(0, image.StreamByteOffset(name, sample.book.sheetStarts[0])) },
        { "a ciphered workbook", BuildWorkbookFile(bytes).bytes },
        { "not a compound file", std::string(5000, 'x') },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const Salvaged s = Salvage(c.second);
        EXPECT_FALSE(s.outcome.salvaged);
        EXPECT_EQ(s.outcome.cells, 0u);
    }
}

// Hostile files end in bounded work: every sector a plausible beginning of a workbook, records
// claiming lengths past the end, allocation-table entries that loop, contiguity that wraps.
TEST_F(WorkbookSalvage, HostileFilesEndWithinABudget)
{
    std::mt19937 random(5);
    std::vector<std::pair<const char*, std::string>> cases;
    {
        std::string all(512 * 2001, '\0');
        for (size_t s = 0; s < 2001; s++) {
            const uint8_t bof[] = { 0x09, 0x08, 0x10, 0x00, 0x00, 0x06, 0x05, 0x00 };
            std::memcpy(&all[s * 512], bof, sizeof(bof));
            for (size_t i = 8; i < 512; i++)
                all[s * 512 + i] = static_cast<char>(random() % 4 == 0 ? 0x10 : random());
        }
        cases.push_back({ "every sector a beginning", all });
    }
    {
        std::vector<uint8_t> stream(300000);
        for (size_t i = 0; i < stream.size(); i += 4) {
            // Headers of well-known kinds whose sizes run past the end.
            const uint16_t types[] = { biff::kNumber, biff::kRk, biff::kContinue, biff::kSst };
            const uint16_t type = types[random() % 4];
            stream[i] = static_cast<uint8_t>(type);
            stream[i + 1] = static_cast<uint8_t>(type >> 8);
            stream[i + 2] = 0xFF;
            stream[i + 3] = 0x1F;
        }
        const uint8_t bof[] = { 0x09, 0x08, 0x10, 0x00, 0x00, 0x06, 0x05, 0x00 };
        std::memcpy(stream.data(), bof, sizeof(bof));
        cases.push_back({ "lengths past the end", BuildWorkbookFile(stream).bytes });
    }
    {
        CfbImage looped = sample.File();
        // Every entry of the allocation table names the sector before: chains run backwards into loops.
        for (uint32_t s = 1; s < looped.sectorCount; s++)
            looped.Put32(looped.FatEntryOffset(s), s - 1);
        Fill(looped.bytes, looped.SectorOffset(looped.directorySectors[0]), kSector, 0);
        cases.push_back({ "loops in the table", looped.bytes });
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const Salvaged s = Salvage(c.second);
        EXPECT_LE(s.outcome.work, 16 * c.second.size());
        ExpectNothingMadeUp(original, ReadCells(s.file));
    }
}

// A full disk or a stop request part way: the outcome says so.
TEST_F(WorkbookSalvage, AFailedWriteAndAStopRequestAreReported)
{
    class FullDisk : public WritableBytes {
    public:
        const ByteSource& Bytes() override { return m_source; }
        bool Write(uint64_t offset, const uint8_t* bytes, size_t count) override
        {
            if (offset + count > 20000)
                return false;
            if (offset + count > m_image.size())
                m_image.resize(offset + count);
            std::copy(bytes, bytes + count, m_image.begin() + static_cast<ptrdiff_t>(offset));
            return true;
        }

    private:
        std::vector<uint8_t> m_image;
        MemoryBytes m_source { m_image };
    };
    const std::vector<uint8_t> bytes = Bytes(image.bytes);
    MemoryBytes source(bytes);
    FullDisk full;
    const SalvageOutcome failed = SalvageWorkbook(source, full);
    EXPECT_TRUE(failed.writeFailed);
    EXPECT_FALSE(failed.salvaged);

    int asked = 0;
    const Salvaged stopped = Salvage(image.bytes, [&] { return ++asked > 2; });
    EXPECT_TRUE(stopped.outcome.cancelled);
    EXPECT_FALSE(stopped.outcome.salvaged);
}

// A file's bytes, counting the reads made of them and the bytes they read.
class CountedBytes : public ByteSource {
public:
    explicit CountedBytes(const ByteSource& base)
        : m_base(base)
    {
    }
    uint64_t Length() const override { return m_base.Length(); }
    bool ReadAt(uint64_t offset, uint8_t* buffer, uint32_t size) const override
    {
        m_reads++;
        m_read += size;
        return m_base.ReadAt(offset, buffer, size);
    }
    int Reads() const { return m_reads; }
    uint64_t Read() const { return m_read; }

private:
    const ByteSource& m_base;
    mutable int m_reads = 0;
    mutable uint64_t m_read = 0;
};

// A workbook larger than the window the salvage reads a file through, damaged where the window
// moves on: salvaged from its file into a new file, the copy is byte for byte the one salvaged
// from the same bytes in memory (looked at in place), and the file is read about once, not once
// by the walk and again by the copy behind it.
TEST(WorkbookSalvageFromFile, TheCopyIsTheOneFromMemoryAndEachByteIsReadOnce)
{
    const CfbImage image = BuildWorkbookFile(NumbersWorkbook(3u << 20));
    const uint64_t window = 1u << 20;
    struct Case {
        const char* damage;
        uint64_t streamPos; // where in the stream the damage starts
        uint64_t count; // bytes damaged; 0 cuts the file there
        uint32_t seed; // 0: zeros, else foreign bytes
    };
    const Case cases[] = {
        { "undamaged", 0, 0, 0 },
        { "cut at half", image.bytes.size() / 2, 0, 0 },
        { "a page of zeros across the first window's end", window - 2048, 4096, 0 },
        { "foreign bytes where a later window begins", 2 * window - 300 * 1024, 4096, 7 },
        { "a sector of zeros just behind where the window moves on", window + 700 * 1024, 512, 0 },
    };
    const std::wstring folder = TemporaryFolder();
    ASSERT_FALSE(folder.empty());
    const std::wstring damagedPath = folder + L"salvage-from-file.xls";
    const std::wstring copyPath = folder + L"salvage-from-file-copy.xls";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        std::string damaged = image.bytes;
        const uint64_t at = c.streamPos == 0 ? 0 : SectorOf(image, "Workbook", c.streamPos);
        if (c.count == 0 && c.streamPos != 0)
            damaged.resize(static_cast<size_t>(at));
        else if (c.count != 0)
            Fill(damaged, at, c.count, c.seed);
        const Salvaged fromMemory = Salvage(damaged);
        ASSERT_TRUE(fromMemory.outcome.salvaged);

        ASSERT_TRUE(WriteWholeFile(damagedPath, damaged));
        HANDLE h = ::CreateFileW(copyPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SalvageOutcome fromFile;
        uint64_t read = 0;
        {
            FileBytes file(damagedPath);
            CountedBytes counted(file);
            HandleTarget target(h);
            fromFile = SalvageWorkbook(counted, target);
            read = counted.Read();
        }
        ::CloseHandle(h);
        const std::vector<uint8_t> copy = Bytes(ReadWholeFile(copyPath));
        ::DeleteFileW(copyPath.c_str());
        ::DeleteFileW(damagedPath.c_str());
        EXPECT_EQ(fromFile.cells, fromMemory.outcome.cells);
        EXPECT_EQ(fromFile.lost, fromMemory.outcome.lost);
        EXPECT_TRUE(copy == fromMemory.file) << "the copies differ";
        EXPECT_LE(read, damaged.size() + damaged.size() / 10);
    }
}

// The allocation table is read in batches of the sectors that follow one another in the file: a
// lost table sector inside a batch, or an index naming the sectors out of order, still gives each
// sector its own entries.
TEST(CfbTablesRead, EachTableSectorGivesItsOwnEntriesWhereverItLies)
{
    const CfbImage image = BuildWorkbookFile(NumbersWorkbook(3u << 20));
    ASSERT_GE(image.fatSectors.size(), 20u);
    const uint32_t perSector = image.sectorSize / 4;
    struct Case {
        const char* damage;
        int zeroed; // the table sector that is lost, or -1
        int swapA, swapB; // index entries swapped, or -1
    };
    const Case cases[] = {
        { "undamaged", -1, -1, -1 },
        { "the sixth table sector lost", 5, -1, -1 },
        { "the index names two sectors out of order", -1, 3, 9 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        CfbImage damaged = image;
        if (c.zeroed >= 0)
            Fill(damaged.bytes, damaged.SectorOffset(image.fatSectors[static_cast<size_t>(c.zeroed)]), kSector, 0);
        if (c.swapA >= 0) {
            damaged.Put32(76 + 4 * c.swapA, image.fatSectors[static_cast<size_t>(c.swapB)]);
            damaged.Put32(76 + 4 * c.swapB, image.fatSectors[static_cast<size_t>(c.swapA)]);
        }
        const std::vector<uint8_t> bytes = Bytes(damaged.bytes);
        const MemoryBytes file(bytes);
        const cfb::CfbTables tables(file);
        for (uint32_t sector = 0; sector < image.sectorCount; sector++) {
            int block = static_cast<int>(sector / perSector);
            if (block == c.swapA)
                block = c.swapB;
            else if (block == c.swapB)
                block = c.swapA;
            const uint32_t source = static_cast<uint32_t>(block) * perSector + sector % perSector;
            const uint32_t want = block == c.zeroed ? cfb::kUnknown : image.Get32(image.FatEntryOffset(source));
            ASSERT_EQ(tables.Fat(sector), want) << "sector " << sector;
        }
    }
}

// The structure check reads the allocation table of a large file in a few batches, not a call
// per sector, and finds the same file well formed.
TEST(CfbTablesRead, TheStructureCheckReadsTheTableInBatches)
{
    const CfbImage image = BuildWorkbookFile(NumbersWorkbook(3u << 20));
    const std::vector<uint8_t> bytes = Bytes(image.bytes);
    const MemoryBytes file(bytes);
    CountedBytes counted(file);
    EXPECT_TRUE(CompoundFile(counted).Check().wellFormed) << CompoundFile(counted).Check().problem;
    // The header, the table in batches of 128 sectors, the directory: far fewer reads than the
    // table's sectors.
    EXPECT_LT(counted.Reads(), static_cast<int>(image.fatSectors.size()) / 4);
}

// A target file's length follows its writes, wherever they land, as the system has it.
TEST(HandleTargetWrites, TheLengthAndBytesFollowEveryWrite)
{
    const std::wstring path = TemporaryFolder() + L"handle-target-writes.bin";
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
        FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HandleTarget target(h);
    std::vector<uint8_t> mirror;
    const struct {
        uint64_t offset;
        size_t count;
    } writes[] = { { 0, 10 }, { 100, 5 }, { 50, 10 }, { 4000, 700 }, { 0, 3 } };
    for (const auto& w : writes) {
        std::vector<uint8_t> bytes(w.count);
        for (size_t i = 0; i < w.count; i++)
            bytes[i] = static_cast<uint8_t>(w.offset + i * 7 + 1);
        ASSERT_TRUE(target.Write(w.offset, bytes.data(), bytes.size()));
        if (w.offset + w.count > mirror.size())
            mirror.resize(static_cast<size_t>(w.offset + w.count), 0);
        std::copy(bytes.begin(), bytes.end(), mirror.begin() + static_cast<ptrdiff_t>(w.offset));
        LARGE_INTEGER size;
        ASSERT_TRUE(::GetFileSizeEx(h, &size));
        EXPECT_EQ(target.Bytes().Length(), static_cast<uint64_t>(size.QuadPart));
        std::vector<uint8_t> back(mirror.size());
        ASSERT_TRUE(target.Bytes().ReadAt(0, back.data(), static_cast<uint32_t>(back.size())));
        EXPECT_EQ(back, mirror);
    }
    ::CloseHandle(h);
}

} // namespace
