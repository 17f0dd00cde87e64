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
    , m_unit(std::max<uint64_t>(StreamReader::kZeroBlock, 512))
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
    const biff::Fit judged = biff::JudgeRecord(type, bytes + biff::kHeaderSize, length, m_version, m_encrypted);
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

void RecordWalk::Advance()
{
    const uint64_t length = m_reader.Length();
    if (m_pos >= length || CancelledNow()) {
        m_ended = true;
        return;
    }
    Record record;
    const Check check = CheckAt(m_pos, record, nullptr);
    if (check != Check::Good) {
        Failure(check, m_pos);
        return;
    }
    Event event;
    event.kind = Kind::Record;
    event.record = record;
    m_queue.push_back(event);
    m_pos = record.End();
    Note(record);
}

void RecordWalk::Failure(Check kind, uint64_t pos)
{
    const uint64_t length = m_reader.Length();
    m_damaged = true;
    Event damage;
    damage.kind = Kind::Damage;
    damage.from = pos;
    if (kind == Check::Cut) {
        damage.to = length;
        damage.cut = true;
        m_queue.push_back(damage);
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
        dropFrom = unit * m_unit;
        if (resume < length && Unit(resume) == unit && unit > 0)
            dropFrom = (unit - 1) * m_unit;
    }
    while (!m_queue.empty()) {
        const Event& back = m_queue.back();
        if (back.kind == Kind::Record && back.record.End() > dropFrom) {
            damage.from = std::min(damage.from, back.record.pos);
        } else if (back.kind == Kind::Damage && back.to > dropFrom) {
            damage.from = std::min(damage.from, back.from);
        } else {
            break;
        }
        m_queue.pop_back();
    }
    damage.to = resume;
    m_queue.push_back(damage);
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

bool RecordWalk::Releasable(const Event& event) const
{
    if (m_ended)
        return true;
    const uint64_t last = event.kind == Kind::Record ? event.record.End() - 1 : std::max<uint64_t>(event.to, 1) - 1;
    return Unit(m_pos) >= Unit(last) + 2;
}

RecordWalk::Event RecordWalk::Next()
{
    for (;;) {
        if (!m_queue.empty() && Releasable(m_queue.front())) {
            Event event = m_queue.front();
            m_queue.pop_front();
            return event;
        }
        if (m_ended)
            return Event {};
        Advance();
    }
}

const uint8_t* RecordWalk::Body(const Record& record)
{
    return m_reader.Bytes(record.pos + biff::kHeaderSize, record.length);
}
