// A command-line run: the workbooks found, repaired by the batch core with a small progress window
// (none with /quiet), a line per workbook on the console, and the exit code.
#include "../framework/PathText.h"
#include "../markup/MarkupEscape.h"
#include "../repair/RepairJob.h"
#include "../repair/RepairTexts.h"
#include "../repair/WorkbookScan.h"
#include "CommandLine.h"
#include "ProgressDlg.h"
#include "RepairDlg.h"
#include "RunReport.h"
#include "Texts.h"

#include <atomic>
#include <initializer_list>
#include <mutex>

namespace {

// The text with each "%s" replaced by the next value.
std::wstring Fill(const char* text, std::initializer_list<std::wstring> values)
{
    std::wstring filled = WidenText(text);
    size_t at = 0;
    for (const std::wstring& value : values) {
        at = filled.find(L"%s", at);
        if (at == std::wstring::npos)
            break;
        filled.replace(at, 2, value);
        at += value.size();
    }
    return filled;
}

// Where the run's text goes: the console the program was started from, or the file or pipe its
// output was sent to. A program of the window subsystem gets no console of its own.
class Output {
public:
    Output()
    {
        m_hOut = Usable(::GetStdHandle(STD_OUTPUT_HANDLE));
        m_hErr = Usable(::GetStdHandle(STD_ERROR_HANDLE));
        if (!m_hOut && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
            m_hConsole = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                nullptr, OPEN_EXISTING, 0, nullptr);
            if (m_hConsole == INVALID_HANDLE_VALUE)
                m_hConsole = nullptr;
            m_hOut = m_hConsole;
            // The prompt was written before this program started: its text starts on a line of its own.
            if (m_hOut)
                Write(m_hOut, L"\r\n");
        }
        if (!m_hErr)
            m_hErr = m_hOut;
    }
    ~Output()
    {
        if (m_hConsole)
            ::CloseHandle(m_hConsole);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool Any() const { return m_hOut != nullptr; }
    void Line(const std::wstring& text) { Write(m_hOut, text); }
    void Error(const std::wstring& text) { Write(m_hErr, text); }

private:
    static HANDLE Usable(HANDLE h)
    {
        return h && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN ? h : nullptr;
    }
    void Write(HANDLE h, const std::wstring& text)
    {
        if (!h || text.empty())
            return;
        // Lines come from the worker and the window thread alike.
        std::lock_guard<std::mutex> lock(m_mutex);
        DWORD mode = 0;
        DWORD written = 0;
        if (::GetConsoleMode(h, &mode)) {
            ::WriteConsoleW(h, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
            return;
        }
        // A file or a pipe gets UTF-8, which keeps every character of a name.
        const std::string bytes = Utf8Text(text);
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    HANDLE m_hOut = nullptr;
    HANDLE m_hErr = nullptr;
    HANDLE m_hConsole = nullptr;
    std::mutex m_mutex;
};

// The text where there is no console to write it to: the program's own message box.
void ShowBox(const std::string& text, DWORD icon)
{
    RixBoxParams params = CRepairDlg::MessageParams();
    RixMessageBox(nullptr, MarkupEscapedText(text).c_str(), texts::kAppTitle, MB_OK | icon, &params);
}

// The rows of a command-line run: the workbooks found, each with its outcome.
class CommandLineRows : public IRepairRows {
public:
    CommandLineRows(const std::vector<FoundWorkbook>& books, Output& out, bool quiet)
        : m_books(books)
        , m_out(out)
        , m_quiet(quiet)
    {
    }
    int RowCount() override
    {
        m_report.assign(m_books.size(), ReportRow());
        for (size_t i = 0; i < m_books.size(); i++)
            m_report[i].source = m_books[i].Path();
        return static_cast<int>(m_books.size());
    }
    RepairSource StartRow(int row) override
    {
        m_current = row;
        return { m_books[row].name, m_books[row].folder };
    }
    void ShowFailed(int row) override { Failed(row, texts::kStatusFailed); }
    void ShowNameTooLong(int row) override { Failed(row, texts::kStatusNameTooLong); }
    void ShowRepaired(int row, const OutputChoice& output) override
    {
        m_repaired++;
        m_report[row].output = output.path;
        m_report[row].status = WidenText(texts::kStatusRepaired);
        if (!m_quiet)
            m_out.Line(Fill(texts::kLineRepaired, { m_books[row].Path(), output.path }));
    }
    void ShowPartial(int row, const OutputChoice& output, const std::wstring& lost) override
    {
        m_partial++;
        m_report[row].output = output.path;
        m_report[row].status = WidenText(texts::kStatusPartial);
        m_report[row].lost = lost;
        // Something was lost: told like a failure, quiet or not.
        m_out.Error(Fill(texts::kLinePartial, { m_books[row].Path(), output.path, lost }));
    }
    void ShowDone() override { m_done = true; }

    // The rows of the report, once the run has ended.
    const std::vector<ReportRow>& Report() const { return m_report; }
    int Current() const { return m_current; }
    int Repaired() const { return m_repaired; }
    int Partial() const { return m_partial; }
    int Failed() const { return m_failed; }
    bool Done() const { return m_done; }

private:
    void Failed(int row, const char* status)
    {
        m_failed++;
        m_report[row].status = WidenText(status);
        // A failure is always told, quiet or not.
        m_out.Error(Fill(texts::kLineFailed, { WidenText(status), m_books[row].Path() }));
    }

    const std::vector<FoundWorkbook>& m_books;
    Output& m_out;
    bool m_quiet;
    std::atomic<int> m_current { -1 };
    std::atomic<int> m_repaired { 0 };
    std::atomic<int> m_partial { 0 };
    std::atomic<int> m_failed { 0 };
    std::atomic<bool> m_done { false };
    std::vector<ReportRow> m_report;
};

// The program's own folder, where the template lies beside it; empty when it cannot be had.
std::wstring ProgramFolderOfModule()
{
    std::wstring path(kMaxLongPath, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size())
        return {};
    path.resize(n);
    std::wstring folder, name;
    return SplitPath(path, folder, name) ? folder : std::wstring();
}

int Repair(const CommandLineRequest& request, Output& out)
{
    std::wstring target;
    if (!request.outFolder.empty()) {
        target = FullPathOf(request.outFolder);
        if (!target.empty())
            CreateFolderPath(WithBackslash(target));
        const DWORD attributes
            = target.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(LongPathForm(target).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            out.Error(Fill(texts::kLineOutFolder, { request.outFolder }));
            return kExitSomeFailed;
        }
    }
    const RepairSettings settings = MakeRepairSettings(
        request.nameMode, target.empty() ? LOCATION_SAME : LOCATION_CHOSEN, target, ProgramFolderOfModule());

    ScanProgress scanProgress;
    WorkbookScan scan;
    std::vector<FoundWorkbook> books;
    CommandLineRows rows(books, out, request.quiet);
    std::atomic<bool> scanned { false };
    ResetWorkerStop();
    auto work = [&] {
        scan = ScanForWorkbooks(request.paths, &scanProgress);
        books = scan.found;
        scanned = true;
        if (!scan.cancelled)
            RunRepairBatch(settings, rows);
    };
    if (request.quiet) {
        work();
    } else {
        CProgressDlg progress(
            nullptr, work,
            [&] {
                if (!scanned) {
                    char text[160];
                    std::snprintf(text, sizeof(text), texts::kScanProgress, scanProgress.found.load(),
                        scanProgress.folders.load());
                    return CProgressDlg::Status { WidenText(text), 0, 0 };
                }
                const int row = rows.Current();
                const int total = static_cast<int>(books.size());
                if (row < 0 || row >= total)
                    return CProgressDlg::Status { L"", 0, static_cast<unsigned long long>(total) };
                return CProgressDlg::Status {
                    Fill(texts::kProgressRepairing,
                        { books[row].name, std::to_wstring(row + 1), std::to_wstring(total) }),
                    static_cast<unsigned long long>(row), static_cast<unsigned long long>(total)
                };
            },
            [&] {
                scanProgress.cancel = true;
                RequestWorkerStop();
            },
            300);
        if (progress.DoModal() == -1)
            work(); // no window or thread to spare: the run goes on without them
    }

    for (const std::wstring& path : scan.notWorkbooks)
        out.Error(Fill(texts::kLineNotWorkbook, { path }));
    for (const std::wstring& path : scan.missing)
        out.Error(Fill(texts::kLineMissing, { path }));
    const int total = static_cast<int>(books.size());
    const int notReached = total - rows.Repaired() - rows.Partial() - rows.Failed();
    if (scan.cancelled || notReached > 0)
        out.Error(Fill(texts::kLineStopped, { std::to_wstring(scan.cancelled ? total : notReached) }));
    else if (total == 0 && scan.notWorkbooks.empty() && scan.missing.empty())
        out.Error(WidenText(texts::kLineNoneFound));
    const int failed = rows.Failed() + static_cast<int>(scan.notWorkbooks.size() + scan.missing.size());
    bool reportWritten = true;
    if (!request.reportPath.empty()) {
        std::vector<ReportRow> report = rows.Report();
        for (const std::wstring& path : scan.notWorkbooks)
            report.push_back({ path, L"", WidenText(texts::kStatusNotWorkbook), L"" });
        for (const std::wstring& path : scan.missing)
            report.push_back({ path, L"", WidenText(texts::kStatusNotFound), L"" });
        const std::wstring reportPath = FullPathOf(request.reportPath);
        if (reportPath.empty() || !WriteReport(reportPath, report)) {
            out.Error(Fill(texts::kLineReport, { request.reportPath }));
            reportWritten = false;
        }
    }
    out.Line(Fill(texts::kLineSummary,
        { std::to_wstring(rows.Repaired()), std::to_wstring(rows.Partial()), std::to_wstring(failed) }));
    // Only a run that gave every workbook back whole ends with 0.
    const bool whole = rows.Repaired() > 0 && rows.Repaired() == total && rows.Partial() == 0 && failed == 0
        && !scan.cancelled && reportWritten;
    return whole ? kExitAllRepaired : kExitSomeFailed;
}

} // namespace

int RunCommandLine(const CommandLineRequest& request)
{
    Output out;
    switch (request.kind) {
    case CommandLineRequest::USAGE:
        if (out.Any())
            out.Line(WidenText(texts::kUsage));
        else
            ShowBox(texts::kUsage, MB_ICONINFORMATION);
        return kExitAllRepaired;
    case CommandLineRequest::WRONG: {
        const std::string text = request.error + "\r\n\r\n" + texts::kUsage;
        if (out.Any())
            out.Error(WidenText(text.c_str()));
        else
            ShowBox(text, MB_ICONERROR);
        return kExitUsage;
    }
    case CommandLineRequest::REPAIR:
        return Repair(request, out);
    default:
        return kExitUsage;
    }
}
