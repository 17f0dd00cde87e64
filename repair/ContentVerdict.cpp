#include "ContentVerdict.h"

#include "RecordRules.h"
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

// The walk over a workbook stream, record by record in place, every record judged as it comes:
// run once per workbook, so kept to a few comparisons for the common cell records.
class Verdict {
public:
    Verdict(const ByteSource& file, const FoundStream& found)
        : m_reader(file, found.map)
        , m_strings(file, found.map)
        , m_v(found.version)
        , m_max(biff::MaxBody(found.version))
        , m_length(found.map.Length())
    {
    }

    ContentVerdict Run(const std::function<bool()>& cancelled);

private:
    bool Record(uint64_t at, const uint8_t* p, uint16_t type, uint16_t length);
    bool Structure(uint64_t at, const uint8_t* body, uint16_t type, uint16_t length);
    bool Fail(const std::string& why)
    {
        m_problem = why;
        return false;
    }

    StreamReader m_reader;
    StreamReader m_strings;
    biff::Version m_v;
    uint32_t m_max;
    uint64_t m_length;
    std::string m_problem;
    std::vector<uint64_t> m_sheetOffsets;
    std::vector<uint64_t> m_sheetStarts;
    uint32_t m_xfCount = 0;
    uint32_t m_stringCount = 0;
    bool m_globals = true;
    bool m_encrypted = false;
    bool m_first = true;
    bool m_done = false;
    int m_depth = 0;
    uint32_t m_sheetsEnded = 0;
    uint16_t m_lastMain = 0;
};

// One record: sound by its kind and fields, no lost sector inside it, and in its place in the
// workbook's structure.
inline bool Verdict::Record(uint64_t at, const uint8_t* p, uint16_t type, uint16_t length)
{
    const uint8_t* body = p + biff::kHeaderSize;
    // The common cells of a sheet, judged here without a call.
    if (!m_globals && m_depth == 1 && !m_encrypted) {
        if ((type == biff::kNumber && length == 14) || (type == biff::kRk && length == 10)) {
            if (biff::Get16(body + 2) >= biff::kColumns || biff::Get16(body + 4) >= m_xfCount)
                return Fail("a cell refers past its tables" + At(at));
            return true;
        }
        if (type == biff::kLabelSst && length == 10) {
            if (biff::Get16(body + 2) >= biff::kColumns || biff::Get16(body + 4) >= m_xfCount
                || biff::Get32(body + 6) >= m_stringCount)
                return Fail("a cell refers past its tables" + At(at));
            return true;
        }
    }
    if (type == 0 && length == 0)
        return Fail("damaged" + At(at));
    if (length > m_max || biff::JudgeRecord(type, body, length, m_v, m_encrypted) == biff::Fit::No)
        return Fail("damaged" + At(at));
    // A lost sector inside a record always takes a record header with it, unless the record is
    // long enough to hold a whole sector.
    const bool tolerant = biff::ZeroTolerant(type) || (type == biff::kContinue && biff::ZeroTolerant(m_lastMain));
    if (type != biff::kContinue)
        m_lastMain = type;
    if (length + biff::kHeaderSize >= StreamReader::kZeroBlock && !tolerant
        && m_reader.TouchesZeroBlock(at, biff::kHeaderSize + length))
        return Fail("damaged" + At(at));
    return Structure(at, body, type, length);
}

bool Verdict::Structure(uint64_t at, const uint8_t* body, uint16_t type, uint16_t length)
{
    if (m_first) {
        if (type != biff::kBof || at != 0 || biff::BofKind(body, length, m_v) != biff::kGlobals)
            return Fail("no globals at the start");
        m_first = false;
        m_depth = 1;
        return true;
    }
    if (type == biff::kBof) {
        if (m_depth == 0) {
            if (m_globals)
                return Fail("a sheet inside the globals" + At(at));
            m_sheetStarts.push_back(at);
        }
        m_depth++;
        return true;
    }
    if (type == biff::kEof) {
        if (m_depth == 0)
            return Fail("an end without a beginning" + At(at));
        if (--m_depth == 0) {
            if (m_globals)
                m_globals = false;
            else if (++m_sheetsEnded == m_sheetOffsets.size())
                m_done = true; // what follows is the writer's padding
        }
        return true;
    }
    if (m_globals && m_depth == 1) {
        switch (type) {
        case biff::kFilePass:
            m_encrypted = true;
            break;
        case biff::kXf:
            m_xfCount++;
            break;
        case biff::kBoundSheet:
            m_sheetOffsets.push_back(biff::Get32(body));
            break;
        case biff::kSst: {
            if (m_v != biff::Version::Biff8 || m_encrypted)
                break;
            const SstSurvey survey = SurveySst(m_strings, at, m_length, false);
            if (!survey.whole)
                return Fail("shared strings not whole" + At(at));
            m_stringCount = survey.unique;
            break;
        }
        default:
            break;
        }
        return true;
    }
    if (m_globals || m_depth != 1 || m_encrypted)
        return true;
    // The cells not judged on the fast way: their formats and strings within their tables.
    switch (type) {
    case biff::kNumber:
    case biff::kRk:
    case biff::kBlank:
    case biff::kBoolErr:
    case biff::kLabel:
    case biff::kRString:
    case biff::kFormula:
        if (biff::Get16(body + 4) >= m_xfCount)
            return Fail("a cell refers past its tables" + At(at));
        return true;
    case biff::kLabelSst:
        if (biff::Get16(body + 4) >= m_xfCount || biff::Get32(body + 6) >= m_stringCount)
            return Fail("a cell refers past its tables" + At(at));
        return true;
    case biff::kMulRk:
    case biff::kMulBlank: {
        const uint32_t step = type == biff::kMulRk ? 6 : 2;
        for (uint32_t x = 4; x + 2 < length; x += step) {
            if (biff::Get16(body + x) >= m_xfCount)
                return Fail("a cell refers past its tables" + At(at));
        }
        return true;
    }
    default:
        return true;
    }
}

ContentVerdict Verdict::Run(const std::function<bool()>& cancelled)
{
    constexpr uint64_t kAskEvery = 4u << 20;
    uint64_t pos = 0;
    uint64_t nextAsk = kAskEvery;
    while (pos < m_length && !m_done) {
        if (cancelled && pos >= nextAsk) {
            nextAsk = pos + kAskEvery;
            if (cancelled())
                return Not("stopped");
        }
        uint64_t available = 0;
        const uint8_t* window = m_reader.Window(pos, available);
        if (!window)
            return Not("unreadable" + At(pos));
        // The records wholly inside the window, in place.
        const uint8_t* p = window;
        const uint8_t* end = window + std::min<uint64_t>(available, kAskEvery);
        while (end - p >= 4 && !m_done) {
            // A sheet's run of common cells, with the tables' sizes in locals: the bytes read
            // through `p` could otherwise be taken for the members, read again for every record.
            if (!m_globals && m_depth == 1 && !m_encrypted) {
                const uint32_t xfCount = m_xfCount, stringCount = m_stringCount;
                const uint8_t* q = p;
                while (end - q >= biff::kHeaderSize + 14) {
                    const uint16_t type = biff::Get16(q);
                    const uint16_t length = biff::Get16(q + 2);
                    const uint8_t* body = q + biff::kHeaderSize;
                    if ((type == biff::kNumber && length == 14) || (type == biff::kRk && length == 10)) {
                        if (biff::Get16(body + 2) >= biff::kColumns || biff::Get16(body + 4) >= xfCount)
                            break;
                    } else if (type == biff::kLabelSst && length == 10) {
                        if (biff::Get16(body + 2) >= biff::kColumns || biff::Get16(body + 4) >= xfCount
                            || biff::Get32(body + 6) >= stringCount)
                            break;
                    } else {
                        break;
                    }
                    q += biff::kHeaderSize + length;
                }
                // Where the run stops, the record there goes the whole way below (and fails there
                // if it is a cell that refers past its tables).
                p = q;
                if (end - p < 4)
                    break;
            }
            const uint16_t type = biff::Get16(p);
            const uint16_t length = biff::Get16(p + 2);
            if (end - p < biff::kHeaderSize + length)
                break;
            if (!Record(pos + static_cast<uint64_t>(p - window), p, type, length))
                return Not(m_problem);
            p += biff::kHeaderSize + length;
        }
        if (p != window) {
            pos += static_cast<uint64_t>(p - window);
            continue;
        }
        // A record across the window's end (or across two runs of the file).
        const uint8_t* head = m_reader.Bytes(pos, biff::kHeaderSize);
        if (!head)
            return Not("cut short" + At(pos));
        const uint16_t type = biff::Get16(head);
        const uint16_t length = biff::Get16(head + 2);
        const uint8_t* record = m_reader.Bytes(pos, biff::kHeaderSize + length);
        if (!record)
            return Not("cut short" + At(pos));
        if (!Record(pos, record, type, length))
            return Not(m_problem);
        pos += biff::kHeaderSize + length;
    }
    if (m_first)
        return Not("empty workbook stream");
    if (m_globals || m_sheetOffsets.empty())
        return Not("the globals do not end");
    if (m_depth != 0 || m_sheetsEnded != m_sheetOffsets.size() || m_sheetStarts.size() != m_sheetOffsets.size())
        return Not("sheets missing or unended");
    std::vector<uint64_t> starts = m_sheetStarts;
    std::sort(starts.begin(), starts.end());
    for (uint64_t offset : m_sheetOffsets) {
        if (!std::binary_search(starts.begin(), starts.end(), offset))
            return Not("a sheet offset lands on no sheet" + At(offset));
    }
    ContentVerdict verdict;
    verdict.whole = true;
    return verdict;
}

} // namespace

ContentVerdict JudgeWorkbook(const ByteSource& file, const FoundStream& found, const std::function<bool()>& cancelled)
{
    if (!found.found || !found.sized || found.guessed)
        return Not("no workbook stream");
    Verdict verdict(file, found);
    return verdict.Run(cancelled);
}

ContentVerdict JudgeWorkbook(const ByteSource& file, const std::function<bool()>& cancelled)
{
    return JudgeWorkbook(file, FindWorkbookStream(file, cancelled), cancelled);
}
