// Walks the records of a workbook stream and steps over what is damaged. Damage comes in whole
// sectors: zeros, foreign bytes, or the end of the bytes. A record that touches a block of zeros
// is dropped; where a record header does not make sense, the sector it lies in is lost, and with
// it every record that reaches into that sector, and the one before it when the walk picks up
// again inside the same sector (then it was the one before that held foreign bytes). The walk
// picks up where several well-known records run one after another. A record is handed out only
// once nothing that follows can take it back.
#pragma once

#include "BiffFormat.h"
#include "RecordRules.h"
#include "StreamMap.h"

#include <cstdint>
#include <functional>
#include <vector>

class RecordWalk {
public:
    struct Record {
        uint64_t pos = 0;
        uint16_t type = 0;
        uint16_t length = 0;
        uint64_t End() const { return pos + biff::kHeaderSize + length; }
    };
    enum class Kind { Record, Run, Damage, End };
    struct Event {
        Kind kind = Kind::End;
        Record record; // Kind::Record
        uint64_t from = 0; // Kind::Run: the records from..to; Kind::Damage: the bytes skipped
        uint64_t to = 0;
        bool cut = false; // the bytes ran out in the middle of a record
    };
    // Records running one after another that mark a sound place.
    static constexpr int kResyncRecords = 3;

    RecordWalk(StreamReader& reader, biff::Version version, const std::function<bool()>& cancelled = nullptr,
        uint64_t start = 0);

    // The next record, or damaged stretch, or the end.
    Event Next();
    // The next records that follow one another, handed out at once (Kind::Run), or a damaged
    // stretch, or the end; a walk of many sound records costs little more than reading them.
    Event NextRun();
    // The body of a record handed out by Next(); valid until the next call of Next() or Body().
    const uint8_t* Body(const Record& record);
    // The record with its header, likewise.
    const uint8_t* Whole(const Record& record)
    {
        return m_reader.Bytes(record.pos, biff::kHeaderSize + record.length);
    }
    // The walk was asked to stop.
    bool Cancelled() const { return m_cancelledSeen; }
    // Bodies after a FILEPASS record are ciphered.
    bool Encrypted() const { return m_encrypted; }
    // Header positions judged so far: the measure of the work done.
    uint64_t Work() const { return m_work; }

private:
    enum class Check { Good, Cut, ZeroHeader, ZeroTouch, Bad };
    Check CheckAt(uint64_t pos, Record& record, biff::Fit* fit);
    void Advance();
    void Failure(Check kind, uint64_t pos);
    uint64_t FindResync(uint64_t from);
    struct Item {
        bool damage = false;
        uint64_t from = 0;
        uint64_t to = 0;
        bool cut = false;
    };
    void Push(const Item& item);
    uint64_t Releasable() const;
    uint64_t LastBoundary(uint64_t from, uint64_t to, uint64_t limit);
    void Note(const Record& record);
    static uint64_t Unit(uint64_t pos) { return pos >> kUnitShift; }
    // What a damaged sector takes with it is judged in 512-byte units of the stream.
    static constexpr int kUnitShift = 9;
    static constexpr uint64_t kUnit = uint64_t(1) << kUnitShift;
    bool CancelledNow();

    StreamReader& m_reader;
    biff::Version m_version;
    std::function<bool()> m_cancelled;
    uint64_t m_pos;
    // Runs of records and damaged stretches not yet handed out, from m_head on.
    std::vector<Item> m_queue;
    size_t m_head = 0;
    // What is left of the run Next() hands out record by record.
    uint64_t m_cursor = 0;
    uint64_t m_cursorEnd = 0;
    bool m_ended = false;
    bool m_endSent = false;
    bool m_cancelledSeen = false;
    uint64_t m_work = 0;
    uint64_t m_nextCancelCheck = 0;
    // A record boundary the quick path passed, from where LastBoundary may start.
    uint64_t m_hint = UINT64_MAX;

    // What the walk has seen, judged as it goes, to know where the workbook ends.
    uint16_t m_lastMainType = 0;
    int m_depth = 0;
    bool m_inGlobals = true;
    bool m_damaged = false;
    bool m_encrypted = false;
    uint32_t m_sheets = 0;
    uint32_t m_sheetEnds = 0;
};
