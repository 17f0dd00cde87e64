#include "CopyGate.h"

#include "repair/RepairJob.h"

#include <atomic>

namespace {

CopyGate::Picker g_holdAt;
std::atomic<bool> g_held { false };

// One event for every gate of the program: set while the gate is open.
HANDLE GateEvent()
{
    static const HANDLE hOpen = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    return hOpen;
}

std::wstring PathOf(HANDLE hFile)
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(hFile, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (n >= path.size()) {
        path.assign(n + 1, L'\0');
        n = ::GetFinalPathNameByHandleW(hFile, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    }
    return n && n < path.size() ? path.substr(0, n) : std::wstring();
}

uint64_t OffsetOf(HANDLE hFile)
{
    LARGE_INTEGER zero {}, position {};
    return ::SetFilePointerEx(hFile, zero, &position, FILE_CURRENT) ? static_cast<uint64_t>(position.QuadPart) : 0;
}

bool HoldingWriter(HANDLE hFile, const uint8_t* data, DWORD count)
{
    if (!g_held && (!g_holdAt || g_holdAt(PathOf(hFile), OffsetOf(hFile)))) {
        g_held = true;
        // The worker's own stop request lets it go too: a window that stops the run waits for it.
        while (::WaitForSingleObject(GateEvent(), 10) == WAIT_TIMEOUT && !WorkerStopRequested()) {
        }
    }
    DWORD written = 0;
    return ::WriteFile(hFile, data, count, &written, nullptr) && written == count;
}

CopyBlockWriter Armed(CopyGate::Picker holdAt)
{
    g_holdAt = std::move(holdAt);
    g_held = false;
    ::ResetEvent(GateEvent());
    return &HoldingWriter;
}

} // namespace

CopyGate::CopyGate(Picker holdAt)
    : m_writer(Armed(std::move(holdAt)))
{
}

CopyGate::~CopyGate()
{
    Open();
}

bool CopyGate::Held() const
{
    return g_held;
}

void CopyGate::Open()
{
    ::SetEvent(GateEvent());
}
