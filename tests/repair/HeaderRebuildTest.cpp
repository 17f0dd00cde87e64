// Rebuilding a lost compound-file header from the file's other sectors: every field comes back
// exactly as the writer wrote it, or the file is left exactly as it was.
#include "repair/HeaderRebuild.h"
#include "CfbWriter.h"
#include "TempFolder.h"
#include "framework/Platform.h"
#include "repair/CompoundFile.h"
#include "repair/RepairSteps.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Damage = std::function<void(std::string&)>;

CfbImage WithBof(CfbImage image, const std::string& stream = "Workbook")
{
    image.PutBof(stream);
    return image;
}

CfbLayout Layout(int version, std::vector<CfbNode> root)
{
    CfbLayout layout;
    layout.version = version;
    layout.root = std::move(root);
    return layout;
}

struct Shape {
    const char* name;
    std::function<CfbImage()> build;
    const char* workbook = "Workbook";
};

// Files with and without mini streams, directories of one and of many sectors, tables first and
// last, an extra table index, both sector sizes.
std::vector<Shape> Shapes()
{
    std::vector<Shape> shapes;
    shapes.push_back({ "one large stream", [] { return BuildWorkbook(20000); } });
    shapes.push_back(
        { "mini stream", [] {
             return BuildCfb(Layout(3, { CfbStream("Workbook", 3000), CfbStream("SummaryInformation", 200) }));
         } });
    shapes.push_back(
        { "directory of many sectors", [] {
             std::vector<CfbNode> root = { CfbStream("Workbook", 10000) };
             for (int i = 0; i < 30; i++)
                 root.push_back(CfbStream(std::string { 'S', static_cast<char>('A' + i) }, i % 2 ? 100 : 5000));
             root.push_back(CfbStorage("_VBA_PROJECT_CUR", { CfbStream("VBA", 700) }));
             return BuildCfb(Layout(3, root));
         } });
    shapes.push_back({ "tables last", [] {
                          CfbLayout layout = Layout(3, { CfbStream("Workbook", 9000), CfbStream("Summary", 300) });
                          layout.order = { CfbPart::Streams, CfbPart::MiniStream, CfbPart::Directory, CfbPart::MiniFat,
                              CfbPart::Fat };
                          return BuildCfb(layout);
                      } });
    shapes.push_back({ "extra table index", [] {
                          CfbLayout layout = Layout(3, { CfbStream("Workbook", 6000), CfbStream("Summary", 300) });
                          layout.minFatSectors = 115;
                          return BuildCfb(layout);
                      } });
    // Table sectors whose marks alone would fit at several places: only one order agrees.
    shapes.push_back({ "a long run of table sectors", [] {
                          CfbLayout layout = Layout(3, { CfbStream("Workbook", 6000) });
                          layout.minFatSectors = 300;
                          return BuildCfb(layout);
                      } });
    shapes.push_back({ "older Book stream", [] { return BuildWorkbook(9000, 3, "Book"); }, "Book" });
    // A widely used writer names the root "R": the root is known by its type and its place.
    shapes.push_back({ "root named R", [] {
                          CfbImage image = BuildWorkbook(20000);
                          const uint64_t root = image.EntryOffset(0u);
                          std::fill_n(image.bytes.begin() + static_cast<ptrdiff_t>(root), 64, '\0');
                          image.bytes[root] = 'R';
                          image.Put16(root + cfb::kNameLength, 4);
                          return image;
                      } });
    shapes.push_back({ "version 4", [] { return BuildWorkbook(20000, 4); } });
    shapes.push_back(
        { "version 4 mini stream", [] {
             return BuildCfb(Layout(4, { CfbStream("Workbook", 3000), CfbStream("SummaryInformation", 200) }));
         } });
    return shapes;
}

void PutPatch(std::string& bytes)
{
    // What the working copy holds when the rebuild starts: the 32-byte header patch.
    bytes.replace(0, kHeaderPatchSize, reinterpret_cast<const char*>(kHeaderPatch.data()), kHeaderPatchSize);
}

void Put32(std::string& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

uint32_t Get32(const std::string& bytes, size_t offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; i--)
        value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}

void Fill(std::string& bytes, size_t from, size_t to, int seed)
{
    std::mt19937 random(seed);
    for (size_t i = from; i < to; i++)
        bytes[i] = seed < 0 ? ' ' : static_cast<char>(random());
}

struct Kind {
    const char* name;
    Damage damage;
};

std::vector<Kind> Kinds()
{
    std::vector<Kind> kinds = {
        { "first 512 bytes zeroed", [](std::string& b) { b.replace(0, 512, 512, '\0'); } },
        { "first 512 bytes random", [](std::string& b) { Fill(b, 0, 512, 7); } },
        { "bytes 44 to 511 spaces", [](std::string& b) { Fill(b, 44, 512, -1); } },
        { "bytes 44 to 511 random", [](std::string& b) { Fill(b, 44, 512, 11); } },
    };
    // Each variable field lost alone.
    const std::pair<const char*, size_t> fields[] = {
        { "table sector count", 44 },
        { "directory start", 48 },
        { "mini stream cut-off", 56 },
        { "mini table start", 60 },
        { "mini table count", 64 },
        { "extra index start", 68 },
        { "extra index count", 72 },
        { "first table sector", 76 },
        { "second table sector", 80 },
    };
    for (const auto& field : fields) {
        size_t at = field.second;
        kinds.push_back({ field.first, [at](std::string& b) { Put32(b, at, Get32(b, at) ^ 0x00A5A5A5); } });
    }
    return kinds;
}

class HeaderRebuild : public ::testing::Test {
protected:
    std::wstring Write(const std::string& bytes) { return m_temp.WriteFile(L"book.xls", bytes); }
    TempFolder m_temp;
};

} // namespace

TEST_F(HeaderRebuild, EveryFieldComesBackAsWritten)
{
    for (const Shape& shape : Shapes()) {
        CfbImage image = WithBof(shape.build(), shape.workbook);
        for (const Kind& kind : Kinds()) {
            SCOPED_TRACE(std::string(shape.name) + ", " + kind.name);
            std::string damaged = image.bytes;
            kind.damage(damaged);
            PutPatch(damaged);
            if (damaged == image.bytes)
                continue; // the patch itself restored it (a v3 file's fixed fields)
            std::wstring path = Write(damaged);
            ASSERT_FALSE(CheckCompoundFile(path).wellFormed) << "the damage should matter";
            EXPECT_TRUE(RebuildHeader(path));
            EXPECT_TRUE(ReadWholeFile(path) == image.bytes);
            EXPECT_TRUE(CheckCompoundFile(path).wellFormed);
        }
    }
}

// Anything the rebuild cannot confirm leaves the file byte for byte as it was.
TEST_F(HeaderRebuild, FailsWithoutGuessing)
{
    auto zeroed = [](CfbImage image) {
        image.bytes.replace(0, 512, 512, '\0');
        PutPatch(image.bytes);
        return image;
    };
    struct Case {
        const char* name;
        std::function<std::string()> make;
    };
    const Case cases[] = {
        { "a table sector overwritten with random bytes",
            [&] {
                CfbImage image = zeroed(WithBof(BuildWorkbook(20000)));
                std::string& b = image.bytes;
                Fill(b, image.SectorOffset(image.fatSectors[0]), image.SectorOffset(image.fatSectors[0]) + 512, 3);
                return b;
            } },
        { "one entry of a table sector names a sector past the end",
            [&] {
                CfbImage image = zeroed(WithBof(BuildWorkbook(20000)));
                Put32(image.bytes, image.FatEntryOffset(image.chains["Workbook"][3]), 0x7FFFFFF0);
                return image.bytes;
            } },
        { "an unmarked table sector damaged",
            [&] {
                CfbLayout layout = Layout(3, { CfbStream("Workbook", 6000) });
                layout.minFatSectors = 115;
                CfbImage image = zeroed(WithBof(BuildCfb(layout)));
                Put32(image.bytes, image.SectorOffset(image.fatSectors[100]) + 8, 0x12345678);
                return image.bytes;
            } },
        { "an extra index sector that lists the tables out of order",
            [&] {
                CfbLayout layout = Layout(3, { CfbStream("Workbook", 6000) });
                layout.minFatSectors = 115;
                CfbImage image = zeroed(WithBof(BuildCfb(layout)));
                uint64_t at = image.SectorOffset(image.difatSectors[0]);
                uint32_t first = image.Get32(at);
                image.Put32(at, image.Get32(at + 4));
                image.Put32(at + 4, first);
                return image.bytes;
            } },
        { "no beginning-of-file record in the workbook", [&] { return zeroed(BuildWorkbook(20000)).bytes; } },
        { "a workbook stream of another name",
            [&] { return zeroed(WithBof(BuildWorkbook(20000, 3, "Workbook2"), "Workbook2")).bytes; } },
        { "no root entry",
            [&] {
                CfbImage image = zeroed(WithBof(BuildWorkbook(20000)));
                image.bytes[image.EntryOffset(0) + cfb::kType] = 1;
                return image.bytes;
            } },
        { "the directory chain loops",
            [&] {
                CfbImage image = zeroed(WithBof(BuildCfb(Layout(3,
                    { CfbStream("Workbook", 9000), CfbStream("A", 4096), CfbStream("B", 4096),
                        CfbStream("C", 4096) }))));
                image.Put32(image.FatEntryOffset(image.directorySectors.back()), image.directorySectors.front());
                return image.bytes;
            } },
        { "the mini table is damaged",
            [&] {
                CfbImage image
                    = zeroed(WithBof(BuildCfb(Layout(3, { CfbStream("Workbook", 3000), CfbStream("Summary", 200) }))));
                image.Put32(image.SectorOffset(image.miniFatSectors[0]), 0x40000000);
                return image.bytes;
            } },
        { "a version 4 file with a damaged table sector",
            [&] {
                CfbImage image = zeroed(WithBof(BuildWorkbook(20000, 4)));
                image.Put32(image.SectorOffset(image.fatSectors[0]) + 4, 0x7FFFFFF0);
                return image.bytes;
            } },
        // Hostile files: every entry a table mark, or nothing but zeros.
        { "every byte 0xFD", [] { return std::string(64 * 512, '\xFD'); } },
        { "every byte zero", [] { return std::string(64 * 512, '\0'); } },
        { "1024 bytes", [] { return std::string(1024, '\x01'); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string damaged = c.make();
        std::wstring path = Write(damaged);
        EXPECT_FALSE(RebuildHeader(path));
        EXPECT_TRUE(ReadWholeFile(path) == damaged);
    }
}

// A rebuildable file that cannot be opened for writing is left alone; a missing one is not created.
TEST_F(HeaderRebuild, UnwritableFileIsNoRebuild)
{
    EXPECT_FALSE(RebuildHeader(m_temp.File(L"absent.xls")));
    EXPECT_EQ(::GetFileAttributesW(m_temp.File(L"absent.xls").c_str()), INVALID_FILE_ATTRIBUTES);

    std::string damaged = WithBof(BuildWorkbook(20000)).bytes;
    damaged.replace(0, 512, 512, '\0');
    std::wstring path = Write(damaged);
    // A read-only attribute would do on Windows, but Wine maps it to the Unix write bits, which
    // root (as the tests run here) ignores: another handle without sharing refuses us on both.
    HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RebuildHeader(path)) << "held by another handle without sharing";
    ::CloseHandle(held);
    EXPECT_TRUE(ReadWholeFile(path) == damaged);
    EXPECT_TRUE(RebuildHeader(path)) << "and rebuilt once it is free";
}

// Through the repair steps, on real workbooks: the header is rebuilt before the tail block, whose
// place at the end holds each writer's directory or table.
TEST_F(HeaderRebuild, RealWorkbooksComeBackThroughTheRepairSteps)
{
    std::wstring templatePath = m_temp.WriteFile(L"VuzuviViduv.dll", std::string(4096, '\xFF'));
    const char* fixtures[] = { "lo_1cell.xls", "lo_3sheets.xls", "lo_50k.xls", "gn_1cell.xls", "gn_3sheets.xls",
        "gn_50k.xls", "xl_1cell.xls", "xl_3sheets.xls", "we_1cell.xls", "we_3sheets.xls" };
    for (const char* name : fixtures) {
        std::string original = ReadWholeFile(L"" TESSEL_SOURCE_DIR L"\\tests\\fixtures\\" + Wide(name));
        ASSERT_GT(original.size(), 4096u) << name;
        for (const Kind& kind : Kinds()) {
            if (std::string(kind.name).find("bytes") == std::string::npos)
                continue; // the fields alone are covered above
            SCOPED_TRACE(std::string(name) + ", " + kind.name);
            std::string damaged = original;
            kind.damage(damaged);
            std::wstring path = Write(damaged);
            PatchReport report = PatchWorkingCopy(path, templatePath);
            EXPECT_EQ(report.result, PatchResult::Patched);
            EXPECT_FALSE(report.tailApplied);
            std::string after = ReadWholeFile(path);
            EXPECT_TRUE(after.substr(32) == original.substr(32)) << "all but the patched fixed fields";
        }
    }
}
