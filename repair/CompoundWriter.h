// Writes a fresh compound file (version 3, 512-byte sectors): one main stream written as it is
// produced, straight into its sectors at the front of the file, then any small streams, the mini
// stream, the directory and the allocation tables, and the header last. Memory stays small
// whatever the main stream's size: only its first 4 KiB are held back (a stream that ends up
// shorter than that must live in the mini stream instead).
#pragma once

#include "ByteSource.h"
#include "OutStream.h"

#include <cstdint>
#include <string>
#include <vector>

class CompoundWriter : public OutStream {
public:
    explicit CompoundWriter(WritableBytes& target);

    bool Write(const uint8_t* bytes, size_t count) override;
    bool Patch(uint64_t pos, const uint8_t* bytes, size_t count) override;
    uint64_t Position() const override { return m_size; }

    // Another stream of the root, written whole when the file is finished.
    void AddStream(const std::string& name, std::vector<uint8_t> bytes);
    // Lays out the rest of the file; `mainName` names the main stream. False when a write failed.
    bool Finish(const std::string& mainName);
    bool Failed() const { return m_failed; }

private:
    bool Flush();
    bool WriteAt(uint64_t offset, const uint8_t* bytes, size_t count);

    WritableBytes& m_target;
    uint64_t m_size = 0;
    std::vector<uint8_t> m_head; // the first bytes, until the stream is known to need sectors
    std::vector<uint8_t> m_pending; // bytes not yet written to the file
    uint64_t m_pendingAt = 0; // stream position of m_pending's first byte
    bool m_inSectors = false;
    bool m_failed = false;
    struct Extra {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Extra> m_extras;
};
