#include "RecordWalk.h"

#include "RecordRules.h"

#include <algorithm>
#include <array>

namespace {

// Kinds that can be judged strong and so may start a place to pick up again. Not the end of a
// substream: its four bytes (0A 00 00 00) are a common pair of numbers inside other records.
const std::array<bool, 65536>& StrongKinds()
{
    static const std::array<bool, 65536> kinds = [] {
        std::array<bool, 65536> k {};
        for (uint16_t type : { biff::kNumber, biff::kRk, biff::kLabelSst, biff::kBlank, biff::kBoolErr, biff::kMulRk,
                 biff::kMulBlank, biff::kLabel, biff::kFormula, biff::kString, biff::kShrFmla, biff::kArray,
                 biff::kTable, biff::kRow, biff::kDimensions, biff::kDbCell, biff::kXf, biff::kFont, biff::kFormat,
                 biff::kBoundSheet, biff::kWindow1, biff::kWindow2, biff::kCodePage, biff::kBof })
            k[type] = true;
        return k;
    }();
    return kinds;
}

// How often a long walk asks whether it should stop.
constexpr uint64_t kCancelEvery = 1u << 20;
// Zeros that start where a record could and run this far to the end are the writer's padding.
constexpr uint64_t kPaddingLimit = 64 * 1024;

} // namespace

RecordWalk::RecordWalk(
    StreamReader& reader, biff::Version version, const std::function<bool()>& cancelled, uint64_t start)
    : m_reader(reader)
    , m_version(version)
    , m_cancelled(cancelled)
    , m_pos(start)
{
}

bool RecordWalk::CancelledNow()
{
    if (!m_cancelled || m_cancelledSeen)
        return m_cancelledSeen;
    if (m_work < m_nextCancelCheck)
        return false;
    m_nextCancelCheck = m_work + kCancelEvery / 16;
    m_cancelledSeen = m_cancelled();
    return m_cancelledSeen;
}

RecordWalk::Check RecordWalk::CheckAt(uint64_t pos, Record& record, biff::Fit* fit)
{
    m_work++;
    const uint8_t* head = m_reader.Bytes(pos, biff::kHeaderSize);
    // Fewer than a header's bytes left: the end of the bytes, whatever cut them.
    if (!head)
        return Check::Cut;
    const uint16_t type = biff::Get16(head);
    const uint16_t length = biff::Get16(head + 2);
    if (type == 0 && length == 0)
        return Check::ZeroHeader;
    if (!biff::PlausibleType(type) || length > biff::MaxBody(m_version))
        return Check::Bad;
    const uint8_t* bytes = m_reader.Bytes(pos, biff::kHeaderSize + length);
    // A record past the end is cut only where the file is; in a whole stream its size is foreign.
    if (!bytes)
        return m_reader.CutShort() ? Check::Cut : Check::Bad;
    const bool tolerant
        = biff::ZeroTolerant(type) || (type == biff::kContinue && biff::ZeroTolerant(m_lastMainType));
    if (!tolerant && m_reader.TouchesZeroBlock(pos, biff::kHeaderSize + length))
        return Check::ZeroTouch;
    biff::Fit judged = m_encrypted ? biff::Fit::No : biff::QuickCell(type, bytes + biff::kHeaderSize, length);
    if (judged == biff::Fit::No)
        judged = biff::JudgeRecord(type, bytes + biff::kHeaderSize, length, m_version, m_encrypted);
    if (judged == biff::Fit::No)
        return Check::Bad;
    record.pos = pos;
    record.type = type;
    record.length = length;
    if (fit)
        *fit = judged;
    return Check::Good;
}

void RecordWalk::Note(const Record& record)
{
    if (record.type != biff::kContinue)
        m_lastMainType = record.type;
    if (record.type == biff::kBof) {
        const uint8_t* body = m_reader.Bytes(record.pos + biff::kHeaderSize, record.length);
        const uint16_t kind = body ? biff::BofKind(body, record.length, m_version) : 0;
        if (m_depth == 0 && m_inGlobals && kind != biff::kGlobals && record.pos != 0)
            m_inGlobals = false;
        m_depth++;
        return;
    }
    if (record.type == biff::kEof) {
        if (m_depth > 0)
            m_depth--;
        if (m_depth != 0)
            return;
        if (m_inGlobals) {
            m_inGlobals = false;
        } else if (++m_sheetEnds == m_sheets && !m_damaged) {
            // The last sheet's end: what follows is the writer's padding, or another stream.
            m_ended = true;
        }
        return;
    }
    if (m_inGlobals && m_depth == 1 && !m_damaged) {
        if (record.type == biff::kBoundSheet)
            m_sheets++;
        else if (record.type == biff::kFilePass)
            m_encrypted = true;
    }
}

void RecordWalk::Push(const Item& item)
{
    if (m_head > 0 && m_head * 2 >= m_queue.size()) {
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<ptrdiff_t>(m_head));
        m_head = 0;
    }
    m_queue.push_back(item);
}

// Nothing after a record can take it back once the walk is two units past its last byte: the
// records ending at or before this are safe.
uint64_t RecordWalk::Releasable() const
{
    if (m_ended)
        return UINT64_MAX;
    const uint64_t unit = Unit(m_pos);
    return unit >= 2 ? (unit - 1) * kUnit : 0;
}

// The last record boundary of a run [from, to) at or before `limit` (from when none).
uint64_t RecordWalk::LastBoundary(uint64_t from, uint64_t to, uint64_t limit)
{
    // A boundary the walk passed inside the run saves hopping over all that comes before it.
    uint64_t at = m_hint > from && m_hint < to && m_hint <= limit ? m_hint : from;
    while (at < to) {
        const uint8_t* head = m_reader.Bytes(at, biff::kHeaderSize);
        if (!head)
            break;
        const uint64_t end = at + biff::kHeaderSize + biff::Get16(head + 2);
        if (end > limit)
            break;
        at = end;
    }
    return at;
}

void RecordWalk::Advance()
{
    const uint64_t length = m_reader.Length();
    if (m_pos >= length || CancelledNow()) {
        m_ended = true;
        return;
    }
    // The common cells, one after another in the window, judged on a short path; anything else
    // (and anything these do not pass) the whole way.
    constexpr uint64_t kStretch = 64 * 1024;
    uint64_t available = 0;
    const uint8_t* window = m_encrypted ? nullptr : m_reader.Window(m_pos, available);
    if (window) {
        const uint8_t* p = window;
        const uint64_t span = std::min(available, kStretch);
        const uint8_t* end = window + span;
        // A stretch with no block of zeros in it needs no look at each record's blocks.
        const bool zeros = m_reader.TouchesZeroBlock(m_pos, static_cast<uint32_t>(span));
        // The first record starting in each of the last three units passed: one of them is a
        // boundary at or before where the run may be cut, whatever unit the walk stops in.
        uint64_t unit = UINT64_MAX;
        const uint8_t* firsts[3] = { nullptr, nullptr, nullptr };
        while (end - p >= biff::kHeaderSize) {
            const uint64_t here = Unit(m_pos + static_cast<uint64_t>(p - window));
            if (here != unit) {
                unit = here;
                firsts[2] = firsts[1];
                firsts[1] = firsts[0];
                firsts[0] = p;
            }
            const uint16_t type = biff::Get16(p);
            const uint16_t size = biff::Get16(p + 2);
            if (end - p < biff::kHeaderSize + size
                || biff::QuickCell(type, p + biff::kHeaderSize, size) == biff::Fit::No
                || (zeros
                    && m_reader.TouchesZeroBlock(m_pos + static_cast<uint64_t>(p - window), biff::kHeaderSize + size)))
                break;
            p += biff::kHeaderSize + size;
        }
        if (p != window) {
            const uint64_t to = m_pos + static_cast<uint64_t>(p - window);
            for (const uint8_t* first : firsts) {
                if (first && first != p && Unit(m_pos + static_cast<uint64_t>(first - window)) + 2 <= Unit(to)) {
                    m_hint = m_pos + static_cast<uint64_t>(first - window);
                    break;
                }
            }
            if (m_queue.size() > m_head && !m_queue.back().damage && m_queue.back().to == m_pos)
                m_queue.back().to = to;
            else
                Push({ false, m_pos, to, false });
            m_work += static_cast<uint64_t>(p - window) / 14 + 1;
            m_lastMainType = biff::kNumber;
            m_pos = to;
            return;
        }
    }
    Record record;
    const Check check = CheckAt(m_pos, record, nullptr);
    if (check != Check::Good) {
        Failure(check, m_pos);
        return;
    }
    // A record that follows the last one joins its run.
    if (m_queue.size() > m_head && !m_queue.back().damage && m_queue.back().to == m_pos)
        m_queue.back().to = record.End();
    else
        Push({ false, m_pos, record.End(), false });
    m_pos = record.End();
    Note(record);
}

void RecordWalk::Failure(Check kind, uint64_t pos)
{
    const uint64_t length = m_reader.Length();
    m_damaged = true;
    Item damage { true, pos, length, false };
    if (kind == Check::Cut) {
        damage.cut = true;
        Push(damage);
        m_ended = true;
        return;
    }
    if (kind == Check::ZeroHeader && !m_reader.InZeroBlock(pos)) {
        // Zeros from a record's start to the end are padding; anywhere else they are foreign bytes.
        bool padding = length - pos <= kPaddingLimit;
        for (uint64_t at = pos; padding && at < length; at += 4096) {
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(4096, length - at));
            const uint8_t* bytes = m_reader.Bytes(at, count);
            padding = bytes && std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
        }
        if (!padding)
            kind = Check::Bad;
    }
    const uint64_t resume = FindResync(pos + 1);
    // A record that touches zeros goes alone; a senseless header takes its sector with it.
    uint64_t dropFrom = pos;
    if (kind == Check::Bad) {
        const uint64_t unit = Unit(pos);
        dropFrom = unit * kUnit;
        if (resume < length && Unit(resume) == unit && unit > 0)
            dropFrom = (unit - 1) * kUnit;
    }
    while (m_queue.size() > m_head) {
        Item& back = m_queue.back();
        if (back.to <= dropFrom)
            break;
        if (!back.damage && back.from < dropFrom) {
            // Part of the run stays: the records that end before the lost sectors begin.
            const uint64_t kept = LastBoundary(back.from, back.to, dropFrom);
            if (kept > back.from) {
                damage.from = std::min(damage.from, kept);
                back.to = kept;
                break;
            }
        }
        damage.from = std::min(damage.from, back.from);
        m_queue.pop_back();
    }
    damage.to = resume;
    Push(damage);
    if (resume >= length)
        m_ended = true;
    m_pos = resume;
}

uint64_t RecordWalk::FindResync(uint64_t from)
{
    const uint64_t length = m_reader.Length();
    const std::array<bool, 65536>& strong = StrongKinds();
    for (uint64_t q = from; q + biff::kHeaderSize <= length; q++) {
        m_work++;
        if (CancelledNow())
            return length;
        const uint8_t* head = m_reader.Bytes(q, biff::kHeaderSize);
        if (!head)
            return length;
        if (!strong[biff::Get16(head)])
            continue;
        uint64_t at = q;
        int count = 0;
        bool sound = true;
        while (count < kResyncRecords && at < length) {
            Record record;
            biff::Fit fit = biff::Fit::No;
            if (CheckAt(at, record, &fit) != Check::Good || fit != biff::Fit::Strong) {
                sound = false;
                break;
            }
            at = record.End();
            count++;
        }
        if (sound && count > 0)
            return q;
    }
    return length;
}

RecordWalk::Event RecordWalk::NextRun()
{
    // A run Next() had begun goes on first.
    if (m_cursor < m_cursorEnd) {
        Event event;
        event.kind = Kind::Run;
        event.from = m_cursor;
        event.to = m_cursorEnd;
        m_cursor = m_cursorEnd;
        return event;
    }
    // Runs are handed out whole, or in pieces of at least this much while they grow.
    constexpr uint64_t kPiece = 64 * 1024;
    for (;;) {
        if (m_head < m_queue.size()) {
            Item& item = m_queue[m_head];
            const uint64_t limit = Releasable();
            Event event;
            event.from = item.from;
            if (item.to <= limit) {
                event.kind = item.damage ? Kind::Damage : Kind::Run;
                event.to = item.to;
                event.cut = item.cut;
                m_head++;
                return event;
            }
            if (!item.damage && limit > item.from && limit - item.from >= kPiece) {
                const uint64_t cut = LastBoundary(item.from, item.to, limit);
                if (cut > item.from) {
                    event.kind = Kind::Run;
                    event.to = cut;
                    item.from = cut;
                    return event;
                }
            }
        }
        if (m_ended)
            return Event {};
        Advance();
    }
}

RecordWalk::Event RecordWalk::Next()
{
    if (m_cursor >= m_cursorEnd) {
        const Event run = NextRun();
        if (run.kind != Kind::Run)
            return run;
        m_cursor = run.from;
        m_cursorEnd = run.to;
    }
    Event event;
    event.kind = Kind::Record;
    const uint8_t* head = m_reader.Bytes(m_cursor, biff::kHeaderSize);
    event.record.pos = m_cursor;
    event.record.type = head ? biff::Get16(head) : 0;
    event.record.length = head ? biff::Get16(head + 2) : 0;
    m_cursor = event.record.End();
    return event;
}

const uint8_t* RecordWalk::Body(const Record& record)
{
    return m_reader.Bytes(record.pos + biff::kHeaderSize, record.length);
}
