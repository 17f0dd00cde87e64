#include "ContentVerdict.h"

#include "RecordWalk.h"
#include "SharedStrings.h"

#include <algorithm>
#include <vector>

namespace {

ContentVerdict Not(const std::string& why)
{
    ContentVerdict verdict;
    verdict.problem = why;
    return verdict;
}

std::string At(uint64_t pos)
{
    return " at " + std::to_string(pos);
}

// The formats and strings a cell refers to.
bool CellRefersWithin(const RecordWalk::Record& r, const uint8_t* body, uint32_t xfCount, uint32_t strings)
{
    switch (r.type) {
    case biff::kNumber:
    case biff::kRk:
    case biff::kBlank:
    case biff::kBoolErr:
    case biff::kLabel:
    case biff::kRString:
    case biff::kFormula:
        return biff::Get16(body + 4) < xfCount;
    case biff::kLabelSst:
        return biff::Get16(body + 4) < xfCount && biff::Get32(body + 6) < strings;
    case biff::kMulRk:
        for (uint32_t at = 4; at + 2 < r.length; at += 6) {
            if (biff::Get16(body + at) >= xfCount)
                return false;
        }
        return true;
    case biff::kMulBlank:
        for (uint32_t at = 4; at + 2 < r.length; at += 2) {
            if (biff::Get16(body + at) >= xfCount)
                return false;
        }
        return true;
    default:
        return true;
    }
}

} // namespace

ContentVerdict JudgeWorkbook(const ByteSource& file, const FoundStream& found, const std::function<bool()>& cancelled)
{
    if (!found.found || !found.sized || found.guessed)
        return Not("no workbook stream");
    StreamReader reader(file, found.map);
    StreamReader strings(file, found.map);
    RecordWalk walk(reader, found.version, cancelled);

    std::vector<uint64_t> sheetOffsets;
    std::vector<uint64_t> sheetStarts;
    uint32_t xfCount = 0;
    uint32_t stringCount = 0;
    bool globals = true;
    bool encrypted = false;
    int depth = 0;
    uint32_t sheetsEnded = 0;
    bool first = true;
    for (;;) {
        const RecordWalk::Event event = walk.Next();
        if (walk.Cancelled())
            return Not("stopped");
        if (event.kind == RecordWalk::Kind::End)
            break;
        if (event.kind == RecordWalk::Kind::Damage)
            return Not(std::string(event.cut ? "cut short" : "damaged") + At(event.from));
        const RecordWalk::Record& r = event.record;
        const uint8_t* body = walk.Body(r);
        if (!body)
            return Not("unreadable" + At(r.pos));
        if (first) {
            if (r.type != biff::kBof || r.pos != 0 || biff::BofKind(body, r.length, found.version) != biff::kGlobals)
                return Not("no globals at the start");
            first = false;
            depth = 1;
            continue;
        }
        if (r.type == biff::kBof) {
            if (depth == 0) {
                if (globals)
                    return Not("a sheet inside the globals" + At(r.pos));
                sheetStarts.push_back(r.pos);
            }
            depth++;
            continue;
        }
        if (r.type == biff::kEof) {
            if (depth == 0)
                return Not("an end without a beginning" + At(r.pos));
            if (--depth == 0) {
                if (globals)
                    globals = false;
                else
                    sheetsEnded++;
            }
            continue;
        }
        if (globals && depth == 1) {
            switch (r.type) {
            case biff::kFilePass:
                encrypted = true;
                break;
            case biff::kXf:
                xfCount++;
                break;
            case biff::kBoundSheet:
                sheetOffsets.push_back(biff::Get32(body));
                break;
            case biff::kSst: {
                if (found.version != biff::Version::Biff8 || encrypted)
                    break;
                const SstSurvey survey = SurveySst(strings, r.pos, found.map.Length(), false);
                if (!survey.whole)
                    return Not("shared strings not whole" + At(r.pos));
                stringCount = survey.unique;
                break;
            }
            default:
                break;
            }
            continue;
        }
        if (!globals && depth == 1 && !encrypted && !CellRefersWithin(r, body, xfCount, stringCount))
            return Not("a cell refers past its tables" + At(r.pos));
    }
    if (first)
        return Not("empty workbook stream");
    if (globals || sheetOffsets.empty())
        return Not("the globals do not end");
    if (depth != 0 || sheetsEnded != sheetOffsets.size() || sheetStarts.size() != sheetOffsets.size())
        return Not("sheets missing or unended");
    std::vector<uint64_t> starts = sheetStarts;
    std::sort(starts.begin(), starts.end());
    for (uint64_t offset : sheetOffsets) {
        if (!std::binary_search(starts.begin(), starts.end(), offset))
            return Not("a sheet offset lands on no sheet" + At(offset));
    }
    ContentVerdict verdict;
    verdict.whole = true;
    return verdict;
}

ContentVerdict JudgeWorkbook(const ByteSource& file, const std::function<bool()>& cancelled)
{
    return JudgeWorkbook(file, FindWorkbookStream(file, cancelled), cancelled);
}
