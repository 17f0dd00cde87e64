// A copy held inside one block write, so that what the window does while the worker copies happens
// in a certain order, whatever the file sizes and the machine's speed.
#pragma once

#include "repair/FileCopy.h"

#include <cstdint>
#include <functional>
#include <string>

// Puts a block writer in place for its lifetime, and the previous one back after.
class WriterInPlace {
public:
    explicit WriterInPlace(CopyBlockWriter writer)
        : m_previous(SetCopyBlockWriter(writer))
    {
    }
    ~WriterInPlace() { SetCopyBlockWriter(m_previous); }
    WriterInPlace(const WriterInPlace&) = delete;
    WriterInPlace& operator=(const WriterInPlace&) = delete;

private:
    CopyBlockWriter m_previous;
};

// Holds the first block that `holdAt` picks (by the path of the file it goes to and the offset it
// starts at) until the gate is opened or the run is asked to stop; every other block is written at
// once. Without a picker the very first block is held.
class CopyGate {
public:
    using Picker = std::function<bool(const std::wstring& path, uint64_t offset)>;
    explicit CopyGate(Picker holdAt = nullptr);
    // Opens the gate before the writer goes.
    ~CopyGate();
    CopyGate(const CopyGate&) = delete;
    CopyGate& operator=(const CopyGate&) = delete;

    // True once a block is held (and stays true after it has gone on).
    bool Held() const;
    void Open();

private:
    WriterInPlace m_writer;
};
