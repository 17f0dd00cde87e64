#include "RunSummary.h"

#include "../framework/PathText.h"
#include "../markup/MarkupEscape.h"
#include "../msgbox/RixBoxMemory.h"
#include "../repair/PathRules.h"
#include "../repair/RepairTexts.h"
#include "RepairDlg.h"
#include "RepairRun.h"
#include "ResultRows.h"
#include "Texts.h"

#include <cstdio>
#include <cstring>

namespace {

// The names as one line: the first few, then how many more there are.
std::string NameLine(const std::vector<std::wstring>& names)
{
    std::string line;
    for (size_t i = 0; i < names.size() && i < kSummaryNames; i++) {
        if (i > 0)
            line += ", ";
        line += MarkupEscapedName(names[i]);
    }
    if (names.size() > kSummaryNames) {
        char more[64];
        std::snprintf(more, sizeof(more), texts::kSummaryMore, static_cast<unsigned>(names.size() - kSummaryNames));
        line += more;
    }
    return line;
}

void AddCount(std::string& markup, const char* format, const std::vector<std::wstring>& names)
{
    char count[96];
    std::snprintf(count, sizeof(count), format, static_cast<unsigned>(names.size()));
    markup += "<br>";
    markup += count;
    if (!names.empty())
        markup += ": " + NameLine(names);
}

// The box remembers a ticked "do not show again" under the program's own key; the window reads
// the answer back into its own setting and clears it, so that the box itself never answers in
// the user's place.
RixBoxParams SummaryParams(bool withFolder)
{
    RixBoxParams params = CRepairDlg::MessageParams();
    params.lpszButtonLines = withFolder ? texts::kSummaryButtons : texts::kSummaryButtonsNoFolder;
    params.lpszCheckBoxText = texts::kSummaryCheckBox;
    params.lpszRegCompany = texts::kAppTitle;
    params.lpszRegValuePrefix = texts::kSummaryMemory;
    params.dwStyle = RIXMB_CHECKBOX;
    return params;
}

} // namespace

RunTally TallyResultRows(HWND hList)
{
    RunTally tally;
    const std::wstring repaired = WidenText(texts::kStatusRepaired);
    const std::wstring partial = WidenText(texts::kStatusPartial);
    const std::wstring failed = WidenText(texts::kStatusFailed);
    const int rows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; row++) {
        const std::wstring status = GetRowText(hList, row, RESULT_STATUS);
        const std::wstring name = GetRowText(hList, row, RESULT_SOURCE_NAME);
        if (status == repaired)
            tally.repaired.push_back(name);
        else if (status == partial)
            tally.partial.push_back(name);
        else if (status.compare(0, failed.size(), failed) == 0)
            tally.failed.push_back(name); // "Failed" and the failures that say why
        else
            continue;
        if (tally.outputFolder.empty() && !GetRowText(hList, row, RESULT_OUTPUT_NAME).empty())
            tally.outputFolder = WithoutBackslash(GetRowText(hList, row, RESULT_OUTPUT_FOLDER));
    }
    return tally;
}

std::string RunSummaryMarkup(const RunTally& tally)
{
    std::string markup = texts::kSummaryHead;
    AddCount(markup, texts::kSummaryRepaired, tally.repaired);
    AddCount(markup, texts::kSummaryPartial, tally.partial);
    AddCount(markup, texts::kSummaryFailed, tally.failed);
    return markup;
}

void CRepairDlg::OnRunSummary(WPARAM run)
{
    if (run != m_nRunSerial || m_nStep != 2 || !m_bShowSummary)
        return;
    // The worker ends just after it shows the last row; the report is refused while it runs.
    if (g_pWorker && !g_pWorker->WaitServingMessages(kStopWait))
        return;
    // Back, or another run, may have come while the window waited.
    if (run != m_nRunSerial || m_nStep != 2 || m_bRunning)
        return;
    const RunTally tally = TallyResultRows(m_resultList.m_hWnd);
    const bool withFolder = !tally.outputFolder.empty();
    RixBoxParams params = SummaryParams(withFolder);
    // An answer left from before is not the user's answer to this run.
    if (RixReadRememberedAnswer(params) != 0) {
        RixRememberAnswer(params, 0);
        // One that cannot be cleared would answer for the user without a box: none is shown.
        if (RixReadRememberedAnswer(params) != 0)
            return;
    }
    const std::string text = RunSummaryMarkup(tally);
    // Close is the default button: Enter only closes the box.
    const DWORD closeButton = withFolder ? MB_DEFBUTTON3 : MB_DEFBUTTON2;
    const int answer = RixMessageBox(
        nullptr, text.c_str(), texts::kAppTitle, MB_ICONINFORMATION | RIXMB_CHECKBOX | closeButton, &params);
    if (RixReadRememberedAnswer(params) != 0) {
        RixRememberAnswer(params, 0);
        m_bShowSummary = false;
        SaveSettings();
    }
    const int openFolder = withFolder ? RIXID_CUSTOM1 : -1;
    const int saveReport = withFolder ? RIXID_CUSTOM2 : RIXID_CUSTOM1;
    if (answer == openFolder)
        OpenFolder(tally.outputFolder);
    else if (answer == saveReport)
        OnSaveReport();
}

void CRepairDlg::OpenFolder(const std::wstring& folder)
{
    if (m_openFolder) {
        m_openFolder(folder);
        return;
    }
    const std::wstring arguments = L"\"" + folder + L"\"";
    ::ShellExecuteW(m_hWnd, L"open", L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL);
}
