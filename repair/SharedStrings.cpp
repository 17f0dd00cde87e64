#include "SharedStrings.h"

#include "BiffFormat.h"

#include <algorithm>
#include <deque>

namespace {

constexpr uint32_t kMaxBody = biff::kMaxBody8;
constexpr uint8_t kWide = 0x01;
constexpr uint8_t kExt = 0x04;
constexpr uint8_t kRich = 0x08;
// What a sector of foreign bytes can take with it: the strings in it and in the one before.
constexpr uint64_t kBackOff = 2 * StreamReader::kZeroBlock;

// Reads through a table's records as one run of bytes, record by record.
class Chain {
public:
    Chain(StreamReader& reader, uint64_t limit)
        : m_reader(reader)
        , m_limit(limit)
    {
    }
    // Starts at `pos` inside the record whose header is at `record`.
    bool Begin(uint64_t record, uint64_t pos, uint16_t type)
    {
        if (!Enter(record, type) || pos < m_pos || pos > m_bodyEnd)
            return false;
        m_pos = pos;
        return true;
    }
    // The next record, which must continue the table.
    bool Next()
    {
        failAt = m_bodyEnd;
        return Enter(m_bodyEnd, biff::kContinue);
    }
    // Whether a CONTINUE record follows the current one.
    bool Continues()
    {
        const uint8_t* head = m_reader.Bytes(m_bodyEnd, biff::kHeaderSize);
        return head && biff::Get16(head) == biff::kContinue;
    }
    uint32_t Avail() const { return static_cast<uint32_t>(m_bodyEnd - m_pos); }
    uint64_t Pos() const { return m_pos; }
    uint64_t Record() const { return m_record; }
    uint64_t BodyEnd() const { return m_bodyEnd; }
    const uint8_t* Peek(uint32_t count) { return count <= Avail() ? m_reader.Bytes(m_pos, count) : nullptr; }
    // Whether [pos, pos + count) lies in a lost sector; notes it.
    bool Zeros(uint64_t pos, uint32_t count)
    {
        if (count == 0 || !m_reader.Bytes(pos, count) || !m_reader.TouchesZeroBlock(pos, count))
            return false;
        zeros = true;
        return true;
    }
    void Skip(uint32_t count) { m_pos += count; }
    uint64_t failAt = 0;
    bool zeros = false; // the last failure was a lost sector, not bytes that make no sense

private:
    bool Enter(uint64_t record, uint16_t type)
    {
        const uint8_t* head = m_reader.Bytes(record, biff::kHeaderSize);
        if (!head || biff::Get16(head) != type)
            return false;
        const uint16_t length = biff::Get16(head + 2);
        if (length > kMaxBody || record + biff::kHeaderSize + length > m_limit
            || !m_reader.Bytes(record, biff::kHeaderSize + length))
            return false;
        // Lost sectors inside a record take only the strings they touch.
        if (m_reader.TouchesZeroBlock(record, biff::kHeaderSize))
            return false;
        m_record = record;
        m_pos = record + biff::kHeaderSize;
        m_bodyEnd = m_pos + length;
        return true;
    }

    StreamReader& m_reader;
    uint64_t m_limit;
    uint64_t m_record = 0;
    uint64_t m_pos = 0;
    uint64_t m_bodyEnd = 0;
};

struct Piece {
    uint64_t pos;
    uint32_t bytes;
    bool wide;
};

struct Parsed {
    uint64_t start = 0;
    uint64_t startRecord = 0;
    uint64_t end = 0;
    uint16_t chars = 0;
    uint8_t flags = 0;
    uint16_t runs = 0;
    uint32_t ext = 0;
    std::vector<Piece> text;
    std::vector<Piece> tail; // formatting runs, then the extended data
};

// Text no writer produces: control characters (other than tab and line breaks) and halves of
// surrogate pairs that stand alone. A few may be genuine; many are foreign bytes.
bool TextLooksForeign(StreamReader& reader, const std::vector<Piece>& text)
{
    constexpr int kTolerated = 3;
    int odd = 0;
    bool pendingHigh = false;
    for (const Piece& piece : text) {
        const uint8_t* bytes = reader.Bytes(piece.pos, piece.bytes);
        if (!bytes)
            return true;
        if (!piece.wide) {
            for (uint32_t i = 0; i < piece.bytes; i++) {
                const uint8_t c = bytes[i];
                odd += c < 0x20 && c != '\t' && c != '\n' && c != '\r';
            }
            continue;
        }
        for (uint32_t i = 0; i + 1 < piece.bytes; i += 2) {
            const uint16_t c = biff::Get16(bytes + i);
            const bool high = c >= 0xD800 && c <= 0xDBFF;
            const bool low = c >= 0xDC00 && c <= 0xDFFF;
            odd += (low && !pendingHigh) || (pendingHigh && !low) || (c < 0x20 && c != '\t' && c != '\n' && c != '\r');
            pendingHigh = high;
        }
    }
    odd += pendingHigh;
    return odd > kTolerated;
}

// Bytes that may cross record boundaries without a marker (formatting runs, extended data).
bool TakeTail(Chain& chain, uint64_t count, uint32_t unit, std::vector<Piece>& tail)
{
    while (count > 0) {
        if (chain.Avail() == 0 && !chain.Next())
            return false;
        uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(count, chain.Avail()));
        take -= take % unit;
        if (take == 0 || chain.Zeros(chain.Pos(), take))
            return false;
        tail.push_back({ chain.Pos(), take, false });
        chain.Skip(take);
        count -= take;
    }
    return true;
}

bool ParseString(Chain& chain, Parsed& s, bool salvage, StreamReader& reader)
{
    s.text.clear();
    s.tail.clear();
    // A string may start a record, never straddle its header.
    if (chain.Avail() == 0 && !chain.Next())
        return false;
    chain.failAt = chain.Pos();
    chain.zeros = false;
    const uint8_t* head = chain.Peek(3);
    if (!head || chain.Zeros(chain.Pos(), 3))
        return false;
    s.start = chain.Pos();
    s.startRecord = chain.Record();
    s.chars = biff::Get16(head);
    s.flags = head[2];
    if (s.flags & ~(kWide | kExt | kRich))
        return false;
    const uint32_t headerSize = 3 + ((s.flags & kRich) ? 2 : 0) + ((s.flags & kExt) ? 4 : 0);
    head = chain.Peek(headerSize);
    if (!head)
        return false;
    s.runs = (s.flags & kRich) ? biff::Get16(head + 3) : 0;
    s.ext = (s.flags & kExt) ? biff::Get32(head + headerSize - 4) : 0;
    chain.Skip(headerSize);
    uint32_t left = s.chars;
    bool wide = s.flags & kWide;
    while (left > 0) {
        if (chain.Avail() == 0) {
            // The characters go on in the next record, which says again how wide they are.
            if (!chain.Next())
                return false;
            const uint8_t* flag = chain.Peek(1);
            if (!flag || (*flag & ~kWide))
                return false;
            wide = *flag & kWide;
            chain.Skip(1);
            continue;
        }
        const uint32_t size = wide ? 2 : 1;
        const uint32_t take = std::min(left, chain.Avail() / size);
        if (take == 0 || chain.Zeros(chain.Pos(), take * size))
            return false;
        s.text.push_back({ chain.Pos(), take * size, wide });
        chain.Skip(take * size);
        left -= take;
        if (left > 0 && chain.Avail() != 0)
            return false;
    }
    if (!TakeTail(chain, uint64_t(s.runs) * 4, 4, s.tail) || !TakeTail(chain, s.ext, 1, s.tail))
        return false;
    s.end = chain.Pos();
    return !salvage || !TextLooksForeign(reader, s.text);
}

struct Buckets {
    uint32_t size = 0;
    std::vector<uint64_t> pos;
    std::vector<uint64_t> record;
};

// The table's index: past the table, before `limit`, every entry inside the table's records.
bool FindBuckets(StreamReader& reader, uint64_t from, uint64_t limit, uint64_t sstPos, Buckets& buckets)
{
    for (uint64_t p = from; p + biff::kHeaderSize <= limit; p++) {
        const uint8_t* head = reader.Bytes(p, biff::kHeaderSize);
        if (!head)
            return false;
        if (biff::Get16(head) != biff::kExtSst)
            continue;
        const uint16_t length = biff::Get16(head + 2);
        if (length < 10 || (length - 2) % 8 != 0 || p + biff::kHeaderSize + length > limit)
            continue;
        const uint8_t* body = reader.Bytes(p + biff::kHeaderSize, length);
        if (!body || reader.TouchesZeroBlock(p + biff::kHeaderSize, length) || biff::Get16(body) == 0)
            continue;
        Buckets found;
        found.size = biff::Get16(body);
        bool sound = true;
        for (uint32_t k = 0; k < (length - 2u) / 8u && sound; k++) {
            const uint64_t ib = biff::Get32(body + 2 + 8 * k);
            const uint32_t offset = biff::Get16(body + 2 + 8 * k + 4);
            sound = ib > sstPos && ib < p && offset >= biff::kHeaderSize && offset <= kMaxBody + biff::kHeaderSize
                && ib - offset >= sstPos && (found.pos.empty() || ib > found.pos.back());
            found.pos.push_back(ib);
            found.record.push_back(ib - offset);
        }
        if (sound) {
            buckets = std::move(found);
            return true;
        }
    }
    return false;
}

void AddSpan(SstSurvey& survey, const StringSpan& span)
{
    if (span.count > 0)
        survey.spans.push_back(span);
}

// Without an index, the strings after a damaged stretch can still be numbered from the table's
// end: read from a place past the damage, they must run exactly to the end of the table's last
// record, and the table says how many strings it holds. The first such place is where a string
// starts; reading from inside one never keeps up with string after string to the very end.
void AnchorAtTheEnd(
    StreamReader& reader, SstSurvey& survey, uint64_t failedRecord, uint64_t failAt, uint32_t kept, uint64_t limit)
{
    struct Rec {
        uint64_t header;
        uint64_t body;
        uint64_t end;
    };
    std::vector<Rec> records;
    for (uint64_t at = failedRecord; at + biff::kHeaderSize <= limit;) {
        const uint8_t* head = reader.Bytes(at, biff::kHeaderSize);
        if (!head || (!records.empty() && biff::Get16(head) != biff::kContinue) || reader.TouchesZeroBlock(at, 4))
            break;
        const uint16_t length = biff::Get16(head + 2);
        if (length > kMaxBody || at + biff::kHeaderSize + length > limit)
            break;
        records.push_back({ at, at + biff::kHeaderSize, at + biff::kHeaderSize + length });
        at += biff::kHeaderSize + length;
    }
    if (records.empty())
        return;
    uint64_t from = failAt + (StreamReader::kZeroBlock - failAt % StreamReader::kZeroBlock) % StreamReader::kZeroBlock;
    while (from < records.back().end && reader.InZeroBlock(from))
        from += StreamReader::kZeroBlock;
    const uint64_t last = std::min<uint64_t>(records.back().end, from + kMaxBody + biff::kHeaderSize);
    // Each place is read until it stops making sense; all of them together read at most a few
    // times the rest of the table, however the bytes are made.
    const uint64_t rest = records.back().end > from ? records.back().end - from : 0;
    uint64_t budget = 4 * rest + (1u << 20);
    Parsed s;
    for (uint64_t q = from; q < last; q++) {
        // The records lie in order: the one holding q is the last that starts at or before it.
        auto rec = std::upper_bound(records.begin(), records.end(), q, [](uint64_t at, const Rec& r) { return at < r.body; });
        if (rec == records.begin())
            continue;
        --rec;
        if (q >= rec->end)
            continue;
        Chain chain(reader, limit);
        const uint8_t* head = reader.Bytes(rec->header, biff::kHeaderSize);
        if (!head || !chain.Begin(rec->header, q, biff::Get16(head)))
            continue;
        uint64_t count = 0;
        while (count <= survey.unique && ParseString(chain, s, true, reader))
            count++;
        // The whole rest of the table, and no more strings than it can hold past those kept.
        if (count == 0 || chain.Pos() != records.back().end || count > survey.unique - kept) {
            const uint64_t read = chain.Pos() > q ? chain.Pos() - q : 1;
            if (read >= budget)
                return;
            budget -= read;
            continue;
        }
        StringSpan span;
        span.first = static_cast<uint32_t>(survey.unique - count);
        span.count = static_cast<uint32_t>(count);
        span.pos = q;
        span.record = rec->header;
        AddSpan(survey, span);
        return;
    }
}

} // namespace

uint32_t SstSurvey::Survived() const
{
    uint32_t count = 0;
    for (const StringSpan& span : spans)
        count += span.count;
    return count;
}

uint32_t SstSurvey::Remap(uint32_t index) const
{
    uint32_t before = 0;
    for (const StringSpan& span : spans) {
        if (index < span.first)
            return kLost;
        if (index < span.first + span.count)
            return before + (index - span.first);
        before += span.count;
    }
    return kLost;
}

SstSurvey SurveySst(StreamReader& reader, uint64_t sstPos, uint64_t limit, bool salvage)
{
    SstSurvey survey;
    Chain chain(reader, limit);
    if (!chain.Begin(sstPos, sstPos + biff::kHeaderSize, biff::kSst))
        return survey;
    const uint8_t* counts = chain.Peek(8);
    if (!counts)
        return survey;
    survey.found = true;
    survey.unique = biff::Get32(counts + 4);
    chain.Skip(8);

    struct Seen {
        uint32_t index;
        uint64_t end;
    };
    std::deque<Seen> recent;
    StringSpan span;
    span.pos = chain.Pos();
    span.record = chain.Record();
    Parsed s;
    uint32_t index = 0;
    bool failed = false;
    for (; index < survey.unique; index++) {
        if (!ParseString(chain, s, salvage, reader)) {
            failed = true;
            break;
        }
        if (index == 0) {
            span.pos = s.start;
            span.record = s.startRecord;
        }
        recent.push_back({ index, s.end });
        while (recent.size() > 1 && recent.front().end + 4 * kBackOff < s.end)
            recent.pop_front();
    }
    if (!failed) {
        span.count = survey.unique;
        AddSpan(survey, span);
        survey.end = chain.BodyEnd();
        survey.whole = chain.Avail() == 0 && !chain.Continues();
        return survey;
    }
    const uint64_t failAt = std::max(chain.failAt, sstPos);
    uint32_t kept = index;
    // A lost sector spoils only the strings it touches; bytes that make no sense may have been
    // read as sound ones for a while before.
    if (!chain.zeros) {
        const uint64_t unitStart = failAt - failAt % StreamReader::kZeroBlock;
        const uint64_t dropFrom = unitStart > sstPos + kBackOff / 2 ? unitStart - kBackOff / 2 : sstPos;
        for (const Seen& seen : recent) {
            if (seen.end > dropFrom) {
                kept = seen.index;
                break;
            }
        }
    }
    span.count = kept;
    AddSpan(survey, span);
    survey.end = failAt;
    if (!salvage)
        return survey;

    // Past the damage, group by group through the index; without one, from the end.
    Buckets buckets;
    if (!FindBuckets(reader, failAt, limit, sstPos, buckets) || buckets.size == 0
        || (uint64_t(survey.unique) + buckets.size - 1) / buckets.size != buckets.pos.size()) {
        AnchorAtTheEnd(reader, survey, chain.Record(), failAt, kept, limit);
        return survey;
    }
    for (size_t b = 0; b < buckets.pos.size(); b++) {
        const uint64_t first = uint64_t(b) * buckets.size;
        if (buckets.pos[b] < failAt || first < kept)
            continue;
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(buckets.size, survey.unique - first));
        Chain group(reader, limit);
        const uint16_t type = buckets.record[b] == sstPos ? biff::kSst : biff::kContinue;
        if (!group.Begin(buckets.record[b], buckets.pos[b], type))
            continue;
        bool sound = true;
        for (uint32_t i = 0; i < count && sound; i++)
            sound = ParseString(group, s, salvage, reader);
        if (!sound)
            continue;
        // It must end where the next group starts, or where the table ends.
        if (b + 1 < buckets.pos.size()) {
            const uint64_t next = buckets.pos[b + 1];
            if (group.Pos() != next && !(group.Avail() == 0 && group.BodyEnd() + biff::kHeaderSize == next))
                continue;
        } else if (group.Avail() != 0 || group.Continues()) {
            continue;
        }
        StringSpan found;
        found.first = static_cast<uint32_t>(first);
        found.count = count;
        found.pos = buckets.pos[b];
        found.record = buckets.record[b];
        AddSpan(survey, found);
    }
    return survey;
}

namespace {

// Lays strings out in an SST record and as many CONTINUE records as they need.
class TableWriter {
public:
    TableWriter(OutStream& out, uint32_t total, uint32_t unique)
        : m_out(out)
        , m_recordPos(out.Position())
    {
        m_body.resize(8);
        biff::Put32(m_body.data(), total);
        biff::Put32(m_body.data() + 4, unique);
    }
    uint32_t Space() const { return kMaxBody - static_cast<uint32_t>(m_body.size()); }
    bool Flush()
    {
        const bool ok = m_out.Record(m_type, m_body);
        m_type = biff::kContinue;
        m_body.clear();
        m_recordPos = m_out.Position();
        return ok;
    }
    // Where the next byte goes: its stream position and its offset in its record.
    uint64_t NextPos() const { return m_recordPos + biff::kHeaderSize + m_body.size(); }
    uint16_t NextOffset() const { return static_cast<uint16_t>(biff::kHeaderSize + m_body.size()); }
    void Add(const uint8_t* bytes, size_t count) { m_body.insert(m_body.end(), bytes, bytes + count); }
    void AddByte(uint8_t value) { m_body.push_back(value); }

private:
    OutStream& m_out;
    uint16_t m_type = biff::kSst;
    std::vector<uint8_t> m_body;
    uint64_t m_recordPos;
};

bool Emit(StreamReader& reader, TableWriter& table, const Parsed& s, std::vector<std::pair<uint64_t, uint16_t>>* bucket)
{
    bool wide = false;
    for (const Piece& piece : s.text)
        wide = wide || piece.wide;
    // Pieces of both widths are written 16-bit wide, so that they may be split anywhere.
    const uint32_t size = wide ? 2 : 1;
    const uint32_t headerSize = 3 + ((s.flags & kRich) ? 2 : 0) + ((s.flags & kExt) ? 4 : 0);
    if (table.Space() < headerSize + (s.chars > 0 ? size : 0) && !table.Flush())
        return false;
    if (bucket)
        bucket->push_back({ table.NextPos(), table.NextOffset() });
    uint8_t header[9];
    biff::Put16(header, s.chars);
    header[2] = static_cast<uint8_t>((s.flags & (kRich | kExt)) | (wide ? kWide : 0));
    uint32_t at = 3;
    if (s.flags & kRich) {
        biff::Put16(header + at, s.runs);
        at += 2;
    }
    if (s.flags & kExt)
        biff::Put32(header + at, s.ext);
    table.Add(header, headerSize);
    std::vector<uint8_t> widened;
    for (const Piece& piece : s.text) {
        const uint8_t* bytes = reader.Bytes(piece.pos, piece.bytes);
        if (!bytes)
            return false;
        uint32_t count = piece.bytes;
        if (wide && !piece.wide) {
            widened.assign(size_t(count) * 2, 0);
            for (uint32_t i = 0; i < count; i++)
                widened[size_t(i) * 2] = bytes[i];
            bytes = widened.data();
            count *= 2;
        }
        while (count > 0) {
            uint32_t take = std::min(count, table.Space() - table.Space() % size);
            if (take == 0) {
                if (!table.Flush())
                    return false;
                table.AddByte(wide ? kWide : 0);
                continue;
            }
            table.Add(bytes, take);
            bytes += take;
            count -= take;
        }
    }
    for (const Piece& piece : s.tail) {
        const uint8_t* bytes = reader.Bytes(piece.pos, piece.bytes);
        if (!bytes)
            return false;
        uint32_t count = piece.bytes;
        while (count > 0) {
            // Formatting runs are never split; they come first and in fours.
            uint32_t take = std::min(count, table.Space() - table.Space() % 4);
            if (take == 0) {
                if (!table.Flush())
                    return false;
                continue;
            }
            table.Add(bytes, take);
            bytes += take;
            count -= take;
        }
    }
    return true;
}

} // namespace

bool WriteSst(StreamReader& reader, const SstSurvey& survey, uint32_t total, OutStream& out)
{
    const uint32_t unique = survey.Survived();
    const uint32_t perBucket = std::max<uint32_t>(8, (unique + 127) / 128);
    TableWriter table(out, total, unique);
    std::vector<std::pair<uint64_t, uint16_t>> buckets;
    uint32_t written = 0;
    Parsed s;
    for (const StringSpan& span : survey.spans) {
        Chain chain(reader, UINT64_MAX);
        const uint8_t* head = reader.Bytes(span.record, biff::kHeaderSize);
        if (!head || !chain.Begin(span.record, span.pos, biff::Get16(head)))
            return false;
        for (uint32_t i = 0; i < span.count; i++, written++) {
            if (!ParseString(chain, s, false, reader))
                return false;
            if (!Emit(reader, table, s, written % perBucket == 0 ? &buckets : nullptr))
                return false;
        }
    }
    if (!table.Flush())
        return false;
    std::vector<uint8_t> index(2 + 8 * buckets.size(), 0);
    biff::Put16(index.data(), static_cast<uint16_t>(perBucket));
    for (size_t k = 0; k < buckets.size(); k++) {
        biff::Put32(index.data() + 2 + 8 * k, static_cast<uint32_t>(buckets[k].first));
        biff::Put16(index.data() + 2 + 8 * k + 4, buckets[k].second);
    }
    return out.Record(biff::kExtSst, index);
}
