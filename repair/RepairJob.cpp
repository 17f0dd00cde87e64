#include "RepairJob.h"

#include "../framework/FolderLookup.h"
#include "../framework/PathText.h"
#include "ContentStep.h"
#include "FileCopy.h"
#include "RepairSteps.h"
#include "RepairTexts.h"

#include <atomic>

namespace {

std::atomic<bool> g_bStopRequested { false };

// One buffer for the rows of a batch, so that a batch of workbooks is not one fresh block each. It
// lives in the batch and the thread only points at it: a thread-local object that frees memory is
// destroyed, on this toolchain's emulated thread-local storage, after its storage has been freed,
// which read freed memory at the end of every worker.
thread_local FileImage* t_pBatchImage = nullptr;

class BatchImage {
public:
    BatchImage() { t_pBatchImage = &m_image; }
    ~BatchImage() { t_pBatchImage = nullptr; }
    BatchImage(const BatchImage&) = delete;
    BatchImage& operator=(const BatchImage&) = delete;

private:
    FileImage m_image;
};

bool Stopped()
{
    return g_bStopRequested;
}

double Now()
{
    LARGE_INTEGER count, frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Adds the time of a scope to one stage, when times are kept.
class StageClock {
public:
    StageClock(RepairStageTimes* times, double RepairStageTimes::*stage)
        : m_times(times)
        , m_stage(stage)
        , m_start(times ? Now() : 0)
    {
    }
    ~StageClock()
    {
        if (m_times)
            m_times->*m_stage += Now() - m_start;
    }
    StageClock(const StageClock&) = delete;
    StageClock& operator=(const StageClock&) = delete;

private:
    RepairStageTimes* m_times;
    double RepairStageTimes::*m_stage;
    double m_start;
};

void FailRow(IRepairRows& rows, int row, RepairStageTimes* times)
{
    StageClock clock(times, &RepairStageTimes::rows);
    rows.ShowFailed(row);
}

void Remove(const std::wstring& path, TemporaryCopy* held, RepairStageTimes* times)
{
    StageClock clock(times, &RepairStageTimes::cleanup);
    if (held)
        held->Close();
    else
        ::DeleteFileW(LongPathForm(path).c_str());
}

// A row that ended in an exception: whatever it wrote goes, and the row says so.
void FailAfterException(IRepairRows& rows, int row, const std::wstring& workingCopy, const std::wstring& output)
{
    if (!output.empty())
        ::DeleteFileW(LongPathForm(output).c_str());
    if (!workingCopy.empty())
        ::DeleteFileW(LongPathForm(workingCopy).c_str());
    try {
        rows.ShowFailed(row);
    } catch (...) {
        // The row cannot even be shown; the run goes on all the same.
    }
}

} // namespace

void RequestWorkerStop()
{
    g_bStopRequested = true;
}

bool WorkerStopRequested()
{
    return g_bStopRequested;
}

void ResetWorkerStop()
{
    g_bStopRequested = false;
}

std::wstring TemporaryFolder()
{
    std::wstring folder = LookUpFolder([](DWORD size, wchar_t* buffer) { return ::GetTempPathW(size, buffer); });
    return folder.empty() ? folder : WithBackslash(folder);
}

RepairSettings MakeRepairSettings(
    int nameMode, int locationMode, const std::wstring& targetDir, const std::wstring& startDir)
{
    RepairSettings settings;
    settings.nameMode = nameMode;
    settings.locationMode = locationMode;
    settings.targetDir = targetDir;
    settings.startDir = startDir;
    if (!startDir.empty())
        settings.templatePath = startDir + WidenText(texts::kTemplateFile);
    return settings;
}

void RunRepairBatch(const RepairSettings& settings, IRepairRows& rows, RepairStageTimes* times)
{
    int count = 0;
    {
        StageClock clock(times, &RepairStageTimes::rows);
        count = rows.RowCount();
    }
    // The template is read once for the batch; without it every row fails, as before.
    TailBlock tail {};
    bool haveTail = false;
    {
        StageClock clock(times, &RepairStageTimes::patch);
        haveTail = ReadTailBlock(settings.templatePath, tail);
    }
    BatchImage image;
    for (int row = 0; row < count; row++) {
        if (Stopped())
            return;
        RepairRowOf(settings, rows, row, times, haveTail ? &tail : nullptr);
    }
    if (!Stopped()) {
        StageClock clock(times, &RepairStageTimes::rows);
        rows.ShowDone();
    }
}

void RepairRowOf(
    const RepairSettings& settings, IRepairRows& rows, int row, RepairStageTimes* times, const TailBlock* tail)
{
    std::wstring workingCopy; // set once the copy made it, so only ours is ever removed
    try {
        RepairSource source;
        {
            StageClock clock(times, &RepairStageTimes::rows);
            source = rows.StartRow(row);
        }
        // A copy whose name the file system would refuse is not begun: nothing of the row is
        // touched or written.
        if (!NameFits(FirstCandidateName(source.name, settings.nameMode))) {
            StageClock clock(times, &RepairStageTimes::rows);
            rows.ShowNameTooLong(row);
            return;
        }
        source.folder = WithBackslash(source.folder);
        const std::wstring sourcePath = source.folder + source.name;
        std::wstring path;
        FileImage ownImage;
        FileImage& image = t_pBatchImage ? *t_pBatchImage : ownImage;
        TemporaryCopy held;
        bool inMemory = false;
        {
            StageClock clock(times, &RepairStageTimes::workingCopy);
            ::SetFileAttributesW(LongPathForm(sourcePath).c_str(), FILE_ATTRIBUTE_NORMAL);
            // Without a temporary folder there is nowhere to work: never the root of the drive.
            const std::wstring temp = TemporaryFolder();
            if (Stopped())
                return;
            if (!temp.empty()) {
                path = temp + FirstCandidateName(source.name, settings.nameMode);
                inMemory = ReadWhole(sourcePath, kInMemoryLimit, image);
            }
        }
        ContentStep content;
        if (!path.empty() && inMemory) {
            // Read once: repaired in memory, then written as the working copy and, from the same
            // bytes, to the output.
            PatchReport report;
            {
                StageClock clock(times, &RepairStageTimes::patch);
                const std::vector<uint8_t> ownTail = TailBytes(MemoryBytes(image.bytes));
                report = tail ? PatchImage(image.bytes, *tail) : PatchImage(image.bytes, settings.templatePath);
                // A copy that does not read back whole gives what survives of it.
                if (report.result == PatchResult::Patched || report.result == PatchResult::NotReadable)
                    content = JudgeOrSalvage(image.bytes, report.result == PatchResult::Patched, ownTail, &Stopped);
            }
            if (Stopped())
                return;
            if (content.result != ContentResult::Whole && content.result != ContentResult::Partial) {
                FailRow(rows, row, times);
                return;
            }
            StageClock clock(times, &RepairStageTimes::workingCopy);
            if (held.Write(path, image, &Stopped))
                workingCopy = path;
        } else if (!path.empty()) {
            StageClock clock(times, &RepairStageTimes::workingCopy);
            if (CopyWhole(sourcePath, path, CopyTarget::Replace, &Stopped))
                workingCopy = path;
        }
        if (workingCopy.empty()) {
            if (!Stopped())
                FailRow(rows, row, times);
            return;
        }
        RepairWorkingCopy(settings, rows, workingCopy, source, row, times, inMemory ? &image : nullptr,
            inMemory ? &held : nullptr, content.result == ContentResult::Partial ? &content.lost : nullptr);
    } catch (...) {
        FailAfterException(rows, row, workingCopy, std::wstring());
    }
}

void RepairWorkingCopy(const RepairSettings& settings, IRepairRows& rows, const std::wstring& workingCopy,
    const RepairSource& source, int row, RepairStageTimes* times, const FileImage* repaired, TemporaryCopy* held,
    const std::wstring* lost)
{
    std::wstring written; // the output this row wrote
    // A large copy that does not read back whole is salvaged into a file of its own beside it.
    const std::wstring salvage = workingCopy + L".part";
    std::wstring placed = workingCopy;
    ContentStep content;
    if (lost) {
        content.result = ContentResult::Partial;
        content.lost = *lost;
    }
    try {
        if (!repaired) {
            PatchReport report;
            {
                StageClock clock(times, &RepairStageTimes::patch);
                std::vector<uint8_t> ownTail;
                {
                    const FileBytes before(workingCopy);
                    ownTail = TailBytes(before);
                }
                report = PatchWorkingCopy(workingCopy, settings.templatePath);
                if (report.result == PatchResult::Patched || report.result == PatchResult::NotReadable)
                    content = JudgeOrSalvageFile(
                        workingCopy, report.result == PatchResult::Patched, ownTail, salvage, &Stopped);
            }
            if (Stopped()) {
                ::DeleteFileW(LongPathForm(salvage).c_str());
                Remove(workingCopy, held, times);
                return;
            }
            if (content.result != ContentResult::Whole && content.result != ContentResult::Partial) {
                FailRow(rows, row, times);
                Remove(workingCopy, held, times);
                return;
            }
            if (content.result == ContentResult::Partial)
                placed = salvage;
        }

        OutputChoice output;
        bool copied = false;
        {
            StageClock clock(times, &RepairStageTimes::placing);
            if (settings.locationMode == LOCATION_SAME)
                CreateFolderPath(OutputFolder(LOCATION_SAME, source.folder, settings.targetDir));
            output = ChooseOutput(
                source.name, settings.nameMode, settings.locationMode, source.folder, settings.targetDir);
            // The name was free a moment ago; if it is taken now, it is not ours to replace.
            if (!output.path.empty())
                copied = repaired ? WriteWhole(output.path, *repaired, CopyTarget::New, &Stopped)
                                  : CopyWhole(placed, output.path, CopyTarget::New, &Stopped);
            if (copied)
                written = output.path;
        }
        if (placed != workingCopy)
            ::DeleteFileW(LongPathForm(placed).c_str());
        if (Stopped() && !copied) {
            Remove(workingCopy, held, times);
            return;
        }
        if (copied) {
            StageClock clock(times, &RepairStageTimes::rows);
            if (content.result == ContentResult::Partial)
                rows.ShowPartial(row, output, content.lost);
            else
                rows.ShowRepaired(row, output);
        } else if (output.nameTooLong) {
            StageClock clock(times, &RepairStageTimes::rows);
            rows.ShowNameTooLong(row);
        } else {
            // Every name taken, or the copy failed: nothing half written stays behind.
            FailRow(rows, row, times);
        }
        Remove(workingCopy, held, times);
    } catch (...) {
        if (held)
            held->Close();
        ::DeleteFileW(LongPathForm(salvage).c_str());
        FailAfterException(rows, row, held ? std::wstring() : workingCopy, written);
    }
}
