// Where a rebuilt workbook stream goes: appended record by record, with fields written earlier
// filled in later (sheet offsets, sheet bounds, counts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class OutStream {
public:
    virtual bool Write(const uint8_t* bytes, size_t count) = 0;
    virtual bool Patch(uint64_t pos, const uint8_t* bytes, size_t count) = 0;
    virtual uint64_t Position() const = 0;

    // A record: header and body.
    bool Record(uint16_t type, const uint8_t* body, size_t length);
    bool Record(uint16_t type, const std::vector<uint8_t>& body) { return Record(type, body.data(), body.size()); }

protected:
    ~OutStream() = default;
};

// A stream kept in memory, for tests and small tables.
class MemoryOutStream : public OutStream {
public:
    bool Write(const uint8_t* bytes, size_t count) override;
    bool Patch(uint64_t pos, const uint8_t* bytes, size_t count) override;
    uint64_t Position() const override { return m_bytes.size(); }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};
