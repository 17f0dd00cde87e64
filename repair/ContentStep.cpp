#include "ContentStep.h"

#include "../framework/PathText.h"
#include "ContentVerdict.h"
#include "RepairSteps.h"
#include "WorkbookSalvage.h"

#include <algorithm>
#include <new>

namespace {

// The copy with its own last bytes back in place.
OverlaidBytes Untailed(const ByteSource& patched, const std::vector<uint8_t>& tail)
{
    OverlaidBytes view(patched);
    if (!tail.empty() && patched.Length() >= tail.size())
        view.Lay(patched.Length() - tail.size(), tail.data(), tail.size());
    return view;
}

// Whole, or a stop asked for before the salvage: then nothing more is to be done.
bool Judged(const ByteSource& copy, bool wellFormed, const std::function<bool()>& cancelled, ContentStep& step)
{
    if (wellFormed && JudgeWorkbook(copy, cancelled).whole) {
        step.result = ContentResult::Whole;
        return true;
    }
    if (cancelled && cancelled()) {
        step.result = ContentResult::Stopped;
        return true;
    }
    return false;
}

ContentStep From(const SalvageOutcome& outcome)
{
    ContentStep step;
    if (outcome.cancelled)
        step.result = ContentResult::Stopped;
    else if (outcome.salvaged)
        step.result = ContentResult::Partial;
    step.lost = outcome.lost;
    return step;
}

} // namespace

std::vector<uint8_t> TailBytes(const ByteSource& copy)
{
    const uint64_t length = copy.Length();
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kTailBlockSize, length));
    std::vector<uint8_t> tail(count);
    if (count > 0 && !copy.ReadAt(length - count, tail.data(), count))
        tail.clear();
    return tail;
}

ContentStep JudgeOrSalvage(std::vector<uint8_t>& image, bool wellFormed, const std::vector<uint8_t>& tail,
    const std::function<bool()>& cancelled)
{
    ContentStep step;
    const MemoryBytes patched(image);
    if (Judged(patched, wellFormed, cancelled, step))
        return step;
    // The copy is seldom much larger than the workbook it comes from: room for that from the
    // start, instead of a fresh block (each page of it touched anew) every time it doubles.
    std::vector<uint8_t> salvaged;
    try {
        salvaged.reserve(image.size() + (64u << 10));
    } catch (const std::bad_alloc&) {
        // It grows as it is written instead.
    }
    MemoryTarget target(salvaged);
    const OverlaidBytes source = Untailed(patched, tail);
    step = From(SalvageWorkbook(source, target, cancelled));
    if (step.result == ContentResult::Partial)
        image.swap(salvaged);
    return step;
}

ContentStep JudgeOrSalvageOpenFile(HANDLE hCopy, bool wellFormed, const std::vector<uint8_t>& tail,
    const std::function<HANDLE()>& openSalvage, const std::function<bool()>& cancelled)
{
    ContentStep step;
    const HandleBytes copy(hCopy);
    if (!copy.IsValid() || Judged(copy, wellFormed, cancelled, step))
        return step;
    const HANDLE hSalvage = openSalvage();
    if (hSalvage == INVALID_HANDLE_VALUE)
        return step;
    HandleTarget target(hSalvage);
    const OverlaidBytes source = Untailed(copy, tail);
    return From(SalvageWorkbook(source, target, cancelled));
}
