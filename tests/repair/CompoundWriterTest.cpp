// The fresh compound file a salvage writes, and the shared-string table it writes again.
#include "BiffBuilder.h"
#include "repair/ByteSource.h"
#include "repair/CfbTables.h"
#include "repair/CompoundFile.h"
#include "repair/CompoundWriter.h"
#include "repair/SharedStrings.h"
#include "repair/StreamFinder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::vector<uint8_t> Pattern(size_t size, uint32_t seed)
{
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; i++)
        v[i] = static_cast<uint8_t>((i * 131 + seed) >> 3);
    return v;
}

std::vector<uint8_t> StreamOf(const std::vector<uint8_t>& file, const std::string& name)
{
    MemoryBytes bytes(file);
    cfb::CfbTables tables(bytes);
    const int index = tables.FindRootStream(name);
    if (index < 0)
        return {};
    const cfb::DirectoryEntry& e = tables.Entries()[static_cast<size_t>(index)];
    const StreamMap map = e.size < 4096 ? tables.MiniChain(e.start, e.size) : tables.RegularChain(e.start, e.size);
    std::vector<uint8_t> out(static_cast<size_t>(map.Length()));
    uint64_t at = 0;
    for (const StreamRun& run : map.Runs()) {
        bytes.ReadAt(run.fileOffset, out.data() + at, static_cast<uint32_t>(run.length));
        at += run.length;
    }
    return out;
}

// Sizes on both sides of the mini stream's cutoff and past the 109 table sectors the header
// lists; written in pieces, with fields filled in afterwards both before and after the part
// already in the file. Every file is well-formed and every stream reads back.
TEST(CompoundWriter, WritesWellFormedFilesOfEverySize)
{
    for (size_t size : { size_t(1), size_t(100), size_t(4095), size_t(4096), size_t(70000), size_t(8u << 20) }) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> main = Pattern(size, 3);
        std::vector<uint8_t> file;
        MemoryTarget target(file);
        CompoundWriter writer(target);
        for (size_t at = 0; at < size; at += 777)
            ASSERT_TRUE(writer.Write(main.data() + at, std::min<size_t>(777, size - at)));
        EXPECT_EQ(writer.Position(), size);
        const uint8_t mark[4] = { 0xAB, 0xCD, 0xEF, 0x01 };
        for (size_t at : { size_t(10), size / 2, size - std::min<size_t>(size, 6) }) {
            if (at + 4 > size)
                continue;
            ASSERT_TRUE(writer.Patch(at, mark, 4));
            std::copy(mark, mark + 4, main.begin() + static_cast<ptrdiff_t>(at));
        }
        EXPECT_FALSE(writer.Patch(size, mark, 4)) << "past the end";
        writer.AddStream("\005SummaryInformation", Pattern(300, 9));
        writer.AddStream("Extra", Pattern(5000, 4));
        ASSERT_TRUE(writer.Finish("Workbook"));
        const CompoundFileCheck check = CompoundFile(MemoryBytes(file)).Check();
        EXPECT_TRUE(check.wellFormed) << check.problem;
        EXPECT_EQ(file.size() % 512, 0u);
        EXPECT_EQ(StreamOf(file, "Workbook"), main);
        EXPECT_EQ(StreamOf(file, "\005SummaryInformation"), Pattern(300, 9));
        EXPECT_EQ(StreamOf(file, "Extra"), Pattern(5000, 4));
    }
}

TEST(CompoundWriter, AFailedWriteFailsTheFile)
{
    class Refusing : public WritableBytes {
    public:
        const ByteSource& Bytes() override { return m_none; }
        bool Write(uint64_t, const uint8_t*, size_t) override { return false; }

    private:
        std::vector<uint8_t> m_empty;
        MemoryBytes m_none { m_empty };
    };
    Refusing target;
    CompoundWriter writer(target);
    const std::vector<uint8_t> main = Pattern(2u << 20, 1);
    writer.Write(main.data(), main.size());
    EXPECT_FALSE(writer.Finish("Workbook"));
    EXPECT_TRUE(writer.Failed());
}

// Strings read from a table cut at every place through its CONTINUE records: exactly those whose
// bytes end before the last two sectors before the cut survive, and the table written again
// holds them in order, with an index that points at every eighth.
TEST(SharedStrings, ACutTableKeepsTheStringsBeforeIt)
{
    std::vector<std::string> strings;
    for (int i = 0; i < 200; i++)
        strings.push_back("string number " + std::to_string(i) + std::string(static_cast<size_t>(i % 13) * 5, '-'));
    BiffBuilder b;
    b.Globals({ "S" }, strings, 300);
    b.BeginSheet(0);
    b.EndSheet();
    const std::vector<uint8_t> stream = b.Bytes();
    uint64_t sst = 0;
    for (const auto& [pos, type] : b.records) {
        if (type == biff::kSst)
            sst = pos;
    }
    for (uint64_t cut : { b.stringStarts[3] + 2, b.stringStarts[60], b.stringStarts[121] + 7, b.stringStarts[199] + 3,
             b.sheetStarts[0] }) {
        SCOPED_TRACE(cut);
        std::vector<uint8_t> file = stream;
        std::fill(file.begin() + static_cast<ptrdiff_t>(cut), file.end(), uint8_t(0));
        StreamMap map;
        map.Append(0, cut);
        map.SetCutShort(true);
        MemoryBytes bytes(file);
        StreamReader reader(bytes, map);
        const SstSurvey survey = SurveySst(reader, sst, cut, true);
        // A table whose first record is cut has no strings to give.
        if (cut < sst + 4 + 300) {
            EXPECT_FALSE(survey.found);
            EXPECT_EQ(survey.Survived(), 0u);
            continue;
        }
        ASSERT_TRUE(survey.found);
        EXPECT_EQ(survey.unique, 200u);
        // The strings ending before the sector before the one the cut lies in.
        const uint64_t safe = cut - cut % 512 >= 512 ? cut - cut % 512 - 512 : 0;
        uint32_t expected = 0;
        while (expected < 200
            && (expected + 1 < 200 ? b.stringStarts[expected + 1] : b.sheetStarts[0] - 4 - 20) <= safe)
            expected++;
        if (cut >= b.sheetStarts[0])
            expected = 200;
        EXPECT_EQ(survey.Survived(), expected);
        EXPECT_EQ(survey.whole, expected == 200);
        for (uint32_t i = 0; i < 200; i++)
            EXPECT_EQ(survey.Remap(i), i < expected ? i : SstSurvey::kLost);

        MemoryOutStream out;
        ASSERT_TRUE(WriteSst(reader, survey, 7, out));
        const std::vector<uint8_t>& written = out.Bytes();
        StreamMap whole;
        whole.Append(0, written.size());
        MemoryBytes writtenBytes(written);
        StreamReader again(writtenBytes, whole);
        const SstSurvey reread = SurveySst(again, 0, written.size(), false);
        EXPECT_TRUE(reread.whole);
        EXPECT_EQ(reread.unique, expected);
        EXPECT_EQ(biff::Get32(written.data() + 4), 7u) << "the count of uses";
    }
}

// A hole in the middle of the table: the index picks the reading up again a group of eight
// strings later; without the index, the strings past the hole are numbered from the table's end.
// Either way each string kept is the one its old number named, in the table written again.
TEST(SharedStrings, AHoleTakesOnlyTheStringsNearIt)
{
    std::vector<std::string> strings;
    for (int i = 0; i < 400; i++)
        strings.push_back("value " + std::to_string(i * 7919));
    BiffBuilder b;
    b.Globals({ "S" }, strings, 1000);
    b.BeginSheet(0);
    b.EndSheet();
    uint64_t sst = 0, index = 0;
    for (const auto& [pos, type] : b.records) {
        if (type == biff::kSst)
            sst = pos;
        if (type == biff::kExtSst)
            index = pos;
    }
    const uint64_t hole = b.stringStarts[200] - b.stringStarts[200] % 512;
    struct Case {
        const char* what;
        bool withIndex;
        uint32_t seed; // 0: zeros
        uint32_t atMostLost;
    };
    for (const Case& c : { Case { "zeros, index", true, 0, 56 }, Case { "zeros, no index", false, 0, 56 },
             Case { "foreign bytes, index", true, 9, 112 }, Case { "foreign bytes, no index", false, 9, 112 } }) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = b.Bytes();
        std::mt19937 random(c.seed);
        for (uint64_t i = hole; i < hole + 512; i++)
            file[i] = static_cast<uint8_t>(c.seed ? random() : 0);
        if (!c.withIndex)
            file[index] = 0x55;
        StreamMap map;
        map.Append(0, file.size());
        MemoryBytes bytes(file);
        StreamReader reader(bytes, map);
        const SstSurvey survey = SurveySst(reader, sst, b.sheetStarts[0], true);
        EXPECT_GE(survey.Survived() + c.atMostLost, 400u);
        EXPECT_LT(survey.Survived(), 400u);
        EXPECT_EQ(survey.Remap(0), 0u);
        EXPECT_EQ(survey.Remap(200), SstSurvey::kLost);
        EXPECT_EQ(survey.Remap(399), survey.Survived() - 1) << "the last string is found";
        MemoryOutStream out;
        ASSERT_TRUE(WriteSst(reader, survey, 0, out));
        const std::vector<std::string> written = SstStrings(out.Bytes());
        ASSERT_EQ(written.size(), survey.Survived());
        for (uint32_t i = 0; i < 400; i++) {
            const uint32_t now = survey.Remap(i);
            if (now != SstSurvey::kLost) {
                EXPECT_EQ(written.at(now), strings[i]) << i;
            }
        }
    }
}

} // namespace
