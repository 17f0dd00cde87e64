// File > Save Report...: the result list of the last run, saved as a CSV file.
#include "../framework/FileDialog.h"
#include "../repair/PathRules.h"
#include "../res/resource.h"
#include "RepairDlg.h"
#include "ResultRows.h"
#include "RunReport.h"
#include "Texts.h"

namespace {

constexpr DWORD kSaveReportFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;

// The rows as the result list shows them: the source's folder and name, the copy's folder (ending
// in a backslash) and name, the status, and what a partly recovered copy lacks.
std::vector<ReportRow> ReportRowsOf(HWND hList)
{
    std::vector<ReportRow> rows;
    const int count = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; row++) {
        ReportRow report;
        report.source
            = WithBackslash(GetRowText(hList, row, RESULT_SOURCE_FOLDER)) + GetRowText(hList, row, RESULT_SOURCE_NAME);
        const std::wstring outputName = GetRowText(hList, row, RESULT_OUTPUT_NAME);
        if (!outputName.empty())
            report.output = WithBackslash(GetRowText(hList, row, RESULT_OUTPUT_FOLDER)) + outputName;
        report.status = GetRowText(hList, row, RESULT_STATUS);
        report.lost = GetRowText(hList, row, RESULT_LOST);
        rows.push_back(std::move(report));
    }
    return rows;
}

} // namespace

void CRepairDlg::OnSaveReport()
{
    // A report is of a whole run: while one goes on, its rows are not yet what they will be.
    if (m_bRunning) {
        ShowMessage(texts::kReportWhileRunning, MB_ICONINFORMATION);
        return;
    }
    const std::vector<ReportRow> rows = ReportRowsOf(m_resultList.m_hWnd);
    if (rows.empty()) {
        ShowMessage(texts::kNoReport, MB_ICONINFORMATION);
        return;
    }
    CFileDialog dialog(
        FALSE, "csv", WidenText(texts::kReportFileName).c_str(), kSaveReportFlags, texts::kReportFilter, m_hWnd);
    dialog.SetTitle(texts::kSaveReportTitle);
    if (!m_strReportFolder.empty())
        dialog.m_ofn.lpstrInitialDir = m_strReportFolder.c_str();
    if (dialog.DoModal() != IDOK)
        return;
    POSITION pos = dialog.GetStartPosition();
    const std::wstring path = pos ? dialog.GetNextPathName(pos) : std::wstring();
    if (path.empty() || !WriteReport(path, rows)) {
        ShowMessage(texts::kReportNotWritten, MB_ICONERROR);
        return;
    }
    std::wstring folder, name;
    if (SplitPath(path, folder, name)) {
        m_strReportFolder = folder.size() == 2 ? folder + L"\\" : folder;
        SaveSettings();
    }
}
