#include "RepairJob.h"

#include "../framework/FolderLookup.h"
#include "../framework/PathText.h"
#include "ContentStep.h"
#include "FileCopy.h"
#include "OutputFile.h"
#include "RepairSteps.h"
#include "RepairTexts.h"
#include "SourceFile.h"

#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <process.h>
#include <utility>

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

const StopTest g_stopTest = &Stopped;

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

// A row that ended in an exception: an output it had already put in place goes, and the row
// says it failed. Its working copy and any output still pending went with their owners.
void FailAfterException(IRepairRows& rows, int row, const std::wstring& output)
{
    if (!output.empty())
        ::DeleteFileW(LongPathForm(output).c_str());
    try {
        rows.ShowFailed(row);
    } catch (...) {
        // The row cannot even be shown; the run goes on all the same.
    }
}

// The first half of placing: the output folder made ready and the bytes written into it under a
// temporary name of ours. False when they cannot be written whole or a stop was asked for.
bool WriteOutput(const RepairSettings& settings, const RepairSource& source, RepairBatchState* batch,
    const BlockSource& blocks, uint64_t size, PendingOutput& pending, const StopTest& stopped = g_stopTest)
{
    const std::wstring folder = OutputFolder(settings.locationMode, source.folder, settings.targetDir);
    if (settings.locationMode == LOCATION_SAME)
        CreateFolderPath(folder);
    if (!batch || batch->clearedFolders.insert(folder).second)
        RemoveLeftoverOutputs(folder);
    // A stop asked for while the last block went in still stops the row: nothing is published
    // after the request.
    return pending.Create(folder) && WriteBlocks(pending.Handle(), size, blocks, stopped) && !stopped();
}

// The second half: a copy written whole (`ready`) is put in place under a free name, and the row
// shows the outcome. `placed` is the output's path once it is in place.
void PublishOutput(const RepairSettings& settings, IRepairRows& rows, const RepairSource& source, int row,
    RepairStageTimes* times, PendingOutput& pending, bool ready, const FILETIME& written, const ContentStep& content,
    std::wstring& placed)
{
    OutputChoice output;
    if (ready) {
        StageClock clock(times, &RepairStageTimes::placing);
        bool failed = false;
        // Each name in turn is taken by renaming the copy to it, which fails for a name that is
        // there: a file or folder of that name, even one made a moment ago, is never replaced.
        output = ChooseOutput(source.name, settings.nameMode, settings.locationMode, source.folder, settings.targetDir,
            [&](const std::wstring& path) {
                if (pending.Publish(path, written))
                    return true;
                const DWORD error = pending.LastError();
                const bool taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
                    || (error == ERROR_ACCESS_DENIED && !IsPathFree(path));
                // A failure the name does not explain ends the search.
                failed = !taken;
                return failed;
            });
        if (!failed && !output.path.empty())
            placed = output.path;
    }
    if (placed.empty()) {
        if (Stopped())
            return;
        if (output.nameTooLong) {
            StageClock clock(times, &RepairStageTimes::rows);
            rows.ShowNameTooLong(row);
        } else {
            FailRow(rows, row, times); // every name taken, or the copy failed: nothing stays behind
        }
        return;
    }
    StageClock clock(times, &RepairStageTimes::rows);
    if (content.result == ContentResult::Partial)
        rows.ShowPartial(row, output, content.lost);
    else
        rows.ShowRepaired(row, output);
}

// Writes the repaired or salvaged bytes into the output folder under a free name and shows the
// outcome in the row.
void Place(const RepairSettings& settings, IRepairRows& rows, const RepairSource& source, int row,
    RepairStageTimes* times, const BlockSource& blocks, uint64_t size, const FILETIME& written, RepairBatchState* batch,
    const ContentStep& content, std::wstring& placed)
{
    PendingOutput pending;
    bool ready = false;
    {
        StageClock clock(times, &RepairStageTimes::placing);
        ready = WriteOutput(settings, source, batch, blocks, size, pending);
    }
    PublishOutput(settings, rows, source, row, times, pending, ready, written, content, placed);
}

uint64_t LengthOf(HANDLE hFile)
{
    LARGE_INTEGER length;
    return ::GetFileSizeEx(hFile, &length) && length.QuadPart > 0 ? static_cast<uint64_t>(length.QuadPart) : 0;
}

// The patch's writes to a working file, kept so that a copy of the same source can be given them.
struct PatchWrite {
    uint64_t offset;
    std::vector<uint8_t> bytes;
};

class RecordingTarget : public WritableBytes {
public:
    explicit RecordingTarget(HANDLE hFile)
        : m_file(hFile)
    {
    }
    bool IsValid() const { return m_file.IsValid(); }
    const ByteSource& Bytes() override { return m_file.Bytes(); }
    bool Write(uint64_t offset, const uint8_t* bytes, size_t count) override
    {
        const bool ok = m_file.Write(offset, bytes, count);
        m_recorded += count;
        if (!ok)
            m_bFailed = true; // what the file holds after a failed write is not known
        else if (Complete())
            m_writes.push_back({ offset, std::vector<uint8_t>(bytes, bytes + count) });
        return ok;
    }
    // Whether the writes kept are all that were made: a failed write, or more than a header
    // rebuild ever writes, leaves them incomplete.
    bool Complete() const { return !m_bFailed && m_recorded <= kMaxRecorded; }
    const std::vector<PatchWrite>& Writes() const { return m_writes; }

private:
    static constexpr uint64_t kMaxRecorded = 4u << 20;
    HandleTarget m_file;
    std::vector<PatchWrite> m_writes;
    uint64_t m_recorded = 0;
    bool m_bFailed = false;
};

// A large workbook's output is copied from the source on a thread of its own, through a handle of
// its own, while the row's thread makes the working copy, patches it and judges it: the patch's few
// writes are then made to it too, so it comes out as the working copy would have. Nearly every
// large workbook reads back whole and its output is then put in place as written; for one that
// does not, the early copy is abandoned and the salvaged copy goes out instead.
class EarlyOutput {
public:
    EarlyOutput(const RepairSettings& settings, const RepairSource& source, RepairBatchState* batch, HANDLE hFrom,
        uint64_t size)
        : m_settings(settings)
        , m_source(source)
        , m_batch(batch)
        , m_size(size)
    {
        // Where the system cannot open the source a second time, the output is copied afterwards.
        m_reader = ::ReOpenFile(hFrom, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            FILE_FLAG_SEQUENTIAL_SCAN);
        if (m_reader == INVALID_HANDLE_VALUE)
            return;
        m_thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &EarlyOutput::Run, this, 0, nullptr));
        if (!m_thread)
            CloseReader();
    }
    // Unless it was waited for, it is abandoned: the write stops at its next block and the copy goes.
    ~EarlyOutput()
    {
        m_bAbandoned = true;
        Join();
        CloseReader();
        if (m_thread)
            ::CloseHandle(m_thread);
    }
    EarlyOutput(const EarlyOutput&) = delete;
    EarlyOutput& operator=(const EarlyOutput&) = delete;

    bool Started() const { return m_thread != nullptr; }
    // Waits for the copy: true when it is written whole. What the write threw is thrown here, on
    // the row's own thread, as it would have been had the row written it itself.
    bool Wait()
    {
        Join();
        CloseReader();
        if (m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
        return m_bWritten;
    }
    PendingOutput& Pending() { return m_pending; }
    // Makes the patch's writes to the copy once it is written whole; false when one fails.
    bool Patch(const std::vector<PatchWrite>& writes)
    {
        HandleTarget output(m_pending.Handle());
        for (const PatchWrite& write : writes)
            if (!output.Write(write.offset, write.bytes.data(), write.bytes.size()))
                return false;
        return true;
    }

private:
    static unsigned __stdcall Run(void* param)
    {
        auto* self = static_cast<EarlyOutput*>(param);
        try {
            self->m_bWritten = WriteOutput(self->m_settings, self->m_source, self->m_batch,
                FileBlocks(self->m_reader, self->m_buffer), self->m_size, self->m_pending,
                [self] { return Stopped() || self->m_bAbandoned; });
        } catch (...) {
            self->m_error = std::current_exception();
        }
        return 0;
    }
    // Waits for the copy's thread. Once the copy is abandoned or the run asked to stop, a read or a
    // write of it that blocks (a share that stopped answering) is cancelled, so it never holds the row.
    void Join()
    {
        if (!m_thread || m_bJoined)
            return;
        while (::WaitForSingleObject(m_thread, 20) == WAIT_TIMEOUT)
            if (m_bAbandoned || Stopped())
                ::CancelSynchronousIo(m_thread);
        m_bJoined = true;
    }
    void CloseReader()
    {
        if (m_reader != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_reader);
        m_reader = INVALID_HANDLE_VALUE;
    }

    const RepairSettings& m_settings;
    const RepairSource& m_source;
    RepairBatchState* m_batch;
    uint64_t m_size;
    HANDLE m_reader = INVALID_HANDLE_VALUE;
    PendingOutput m_pending;
    std::vector<uint8_t> m_buffer;
    std::atomic<bool> m_bAbandoned { false };
    bool m_bWritten = false;
    std::exception_ptr m_error;
    HANDLE m_thread = nullptr;
    bool m_bJoined = false;
};

PatchReport PatchWith(const RepairSettings& settings, const RepairBatchState* batch,
    const std::function<PatchReport(const TailBlock&)>& patch)
{
    if (batch && batch->haveTail)
        return patch(batch->tail);
    TailBlock tail {};
    if (!ReadTailBlock(settings.templatePath, tail)) {
        PatchReport report;
        report.result = PatchResult::NoTemplate;
        return report;
    }
    return patch(tail);
}

// A copy the patch made well formed, or could not read, is judged by its workbook.
bool Judgeable(const PatchReport& report)
{
    return report.result == PatchResult::Patched || report.result == PatchResult::NotReadable;
}

// A large copy is judged in its file; one that does
// not read back whole gives what survives of it, written into a second working copy of its own.
ContentStep JudgeOpenCopy(HANDLE hCopy, const PatchReport& report, const std::vector<uint8_t>& ownTail,
    const std::wstring& folder, const RepairSource& source, int nameMode, TemporaryCopy& salvage)
{
    if (!Judgeable(report))
        return ContentStep();
    return JudgeOrSalvageOpenFile(
        hCopy, report.result == PatchResult::Patched, ownTail,
        [&]() { return salvage.Create(folder, source.name, nameMode) ? salvage.Handle() : INVALID_HANDLE_VALUE; },
        g_stopTest);
}

// A row's working files go: closed beside the next rows' work when the batch has a closer.
void ReleaseWorkingCopies(RepairBatchState* batch, TemporaryCopy& held, TemporaryCopy& salvage, RepairStageTimes* times)
{
    StageClock clock(times, &RepairStageTimes::cleanup);
    if (batch) {
        batch->closer.Close(salvage.Release());
        batch->closer.Close(held.Release());
    }
    salvage.Close();
    held.Close();
}

// Whether a judged copy has anything to give.
bool Usable(const ContentStep& content)
{
    return content.result == ContentResult::Whole || content.result == ContentResult::Partial;
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
    RepairBatchState batch;
    {
        StageClock clock(times, &RepairStageTimes::patch);
        batch.haveTail = ReadTailBlock(settings.templatePath, batch.tail);
    }
    BatchImage image;
    for (int row = 0; row < count; row++) {
        if (Stopped())
            return;
        RepairRowOf(settings, rows, row, times, &batch);
    }
    // No working file is left when the run says it is done.
    {
        StageClock clock(times, &RepairStageTimes::cleanup);
        batch.closer.Finish();
    }
    if (!Stopped()) {
        StageClock clock(times, &RepairStageTimes::rows);
        rows.ShowDone();
    }
}

void RepairRowOf(
    const RepairSettings& settings, IRepairRows& rows, int row, RepairStageTimes* times, RepairBatchState* batch)
{
    std::wstring placed; // the output, once in place, so only ours is ever removed
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
        // Without a place for the copy, or a folder for the source, nothing is touched: never the
        // root of a drive.
        if (!HasOutputLocation(settings.locationMode, settings.targetDir) || source.folder.empty()) {
            FailRow(rows, row, times);
            return;
        }
        source.folder = WithBackslash(source.folder);
        SourceFile file;
        FileImage ownImage;
        // The working copy of a workbook up to the in-memory limit.
        FileImage& image = t_pBatchImage ? *t_pBatchImage : ownImage;
        // The working copy of a larger one: created new under a free name in the temporary folder
        // and gone when it closes, however this ends.
        TemporaryCopy held;
        // Its output, copied from the source beside the row's own work.
        std::optional<EarlyOutput> early;
        std::wstring temp;
        bool inMemory = false;
        bool ready = false;
        {
            StageClock clock(times, &RepairStageTimes::workingCopy);
            // Only a file is opened, and only the file opened has its attributes reset.
            if (file.Open(source.folder + source.name)) {
                file.ResetAttributes();
                // Without a temporary folder there is nowhere to work: never the root of the drive.
                temp = TemporaryFolder();
            }
            inMemory = file.Size() <= kInMemoryLimit;
            if (!temp.empty() && inMemory)
                ready = ReadWhole(file, image, g_stopTest);
            else if (!temp.empty() && held.Create(temp, source.name, settings.nameMode)) {
                early.emplace(settings, source, batch, file.Handle(), file.Size());
                ready = held.Fill(file, g_stopTest);
            }
        }
        if (Stopped())
            return;
        if (!ready) {
            FailRow(rows, row, times);
            return;
        }
        PatchReport report;
        RecordingTarget patchWrites(held.Handle());
        ContentStep content;
        // What a large copy keeps when it does not read back whole.
        TemporaryCopy salvage;
        {
            StageClock clock(times, &RepairStageTimes::patch);
            // The copy's own last bytes, which the tail block goes over, are kept for the salvage.
            std::vector<uint8_t> ownTail;
            report = PatchWith(settings, batch, [&](const TailBlock& tail) {
                if (inMemory) {
                    ownTail = TailBytes(MemoryBytes(image.bytes));
                    return PatchImage(image.bytes, tail, g_stopTest);
                }
                ownTail = TailBytes(HandleBytes(held.Handle()));
                if (!patchWrites.IsValid())
                    return PatchReport();
                return PatchBytes(patchWrites, tail, g_stopTest);
            });
            // Only a copy the patch left well formed, with every write it made known, can come out
            // as the early copy: any other is judged, and likely salvaged, first.
            if (report.result != PatchResult::Patched || !patchWrites.Complete())
                early.reset();
            if (inMemory && Judgeable(report))
                content = JudgeOrSalvage(image.bytes, report.result == PatchResult::Patched, ownTail, g_stopTest);
            else if (!inMemory)
                content = JudgeOpenCopy(held.Handle(), report, ownTail, temp, source, settings.nameMode, salvage);
        }
        if (Stopped())
            return;
        if (!Usable(content)) {
            FailRow(rows, row, times);
            return;
        }
        if (early && early->Started() && !salvage.IsOpen()) {
            bool ready = false;
            {
                StageClock clock(times, &RepairStageTimes::placing);
                // The early copy read the source on its own: it too must have read it unchanged.
                ready = early->Wait() && file.Unchanged() && early->Patch(patchWrites.Writes());
            }
            PublishOutput(settings, rows, source, row, times, early->Pending(), ready, file.Written(), content, placed);
            early.reset();
            ReleaseWorkingCopies(batch, held, salvage, times);
            return;
        }
        // A salvaged copy goes out instead of the one written early, which goes.
        early.reset();
        // A workbook read whole is its own working copy: patched, judged and salvaged in memory and
        // written once, to the output. Only a large one has a working file.
        const HANDLE hResult = salvage.IsOpen() ? salvage.Handle() : held.Handle();
        std::vector<uint8_t> buffer;
        Place(settings, rows, source, row, times, inMemory ? ImageBlocks(image) : FileBlocks(hResult, buffer),
            inMemory ? image.bytes.size() : LengthOf(hResult), file.Written(), batch, content, placed);
        ReleaseWorkingCopies(batch, held, salvage, times);
    } catch (...) {
        FailAfterException(rows, row, placed);
    }
}

void RepairWorkingCopy(const RepairSettings& settings, IRepairRows& rows, const std::wstring& workingCopy,
    const RepairSource& source, int row, RepairStageTimes* times)
{
    std::wstring placed;
    TemporaryCopy salvage;
    // The caller's copy, held with no sharing while it is patched and copied.
    HANDLE hCopy = ::CreateFileW(LongPathForm(workingCopy).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    try {
        ContentStep content;
        if (hCopy != INVALID_HANDLE_VALUE && HasOutputLocation(settings.locationMode, settings.targetDir)) {
            StageClock clock(times, &RepairStageTimes::patch);
            std::vector<uint8_t> ownTail;
            const PatchReport report = PatchWith(settings, nullptr, [&](const TailBlock& tail) {
                ownTail = TailBytes(HandleBytes(hCopy));
                return PatchOpenFile(hCopy, tail, g_stopTest);
            });
            content = JudgeOpenCopy(hCopy, report, ownTail, TemporaryFolder(), source, settings.nameMode, salvage);
        }
        if (Usable(content) && !Stopped()) {
            const HANDLE hResult = salvage.IsOpen() ? salvage.Handle() : hCopy;
            FILETIME written = {};
            ::GetFileTime(hCopy, nullptr, nullptr, &written);
            std::vector<uint8_t> buffer;
            Place(settings, rows, source, row, times, FileBlocks(hResult, buffer), LengthOf(hResult), written, nullptr,
                content, placed);
        } else if (!Stopped()) {
            FailRow(rows, row, times);
        }
    } catch (...) {
        FailAfterException(rows, row, placed);
    }
    StageClock clock(times, &RepairStageTimes::cleanup);
    salvage.Close();
    if (hCopy != INVALID_HANDLE_VALUE)
        ::CloseHandle(hCopy);
    ::DeleteFileW(LongPathForm(workingCopy).c_str());
}
