// The program's own texts, each kept in one place.
#pragma once

namespace texts {

inline constexpr const char* kAppTitle = "Calvera Tessel for Excel";

// Instruction label
inline constexpr const char* kStepOne = "                1. Add files into list from the add file button from toolbar\r\n"
                                        "                2. Select the Files from list to be repaired.\r\n"
                                        "                3. Click Next Button.";

// The expandable text of the notices about an empty or unticked list.
inline constexpr const char* kInstructionMore = "1. Add files into list from the add file button\r\n"
                                                "    from toolbar\r\n"
                                                "2. Select the Files from list to be repaired.\r\n"
                                                "3. Click Next Button.";

// Messages
inline constexpr const char* kNoItemToRemove = "No item to remove";
inline constexpr const char* kNoItemSelectedForRemove = "No item selected for remove";
inline constexpr const char* kExitQuestion = "Do you really want to exit ?";
inline constexpr const char* kHelpNotFound = " Calvera Tessel for Excel.chm not found";
inline constexpr const char* kLiveUpdateNotFound = "Live Update file not found. Please re-instaill the software.";
inline constexpr const char* kLiveUpdateQuestion =
    "The application will be closed if you want to run Live Update of the software. Continue ?";

// Companion files in the start folder
inline constexpr const char* kHelpFile = "Calvera Tessel for Excel.chm";
inline constexpr const char* kLiveUpdateProgram = "Tessel Live Update.exe";
inline constexpr const char* kLiveUpdateParameter = "<MEBAX>";
inline constexpr const char* kHomePage = "https://calvera-tessel.example/";

// Add Files dialog
inline constexpr const char* kExcelFilter = "Excel File(*.xls)|*.xls|";

// Add Folder and dropped files
inline constexpr const char* kAddFolderTitle
    = "Choose a folder: every Excel workbook (.xls) in it and in its sub-folders is added to the list.";
inline constexpr const char* kScanProgress = "Looking for workbooks: %zu found in %zu folders";

// The instruction line during a run: the repairing text, then "n of N".
inline constexpr const char* kRunCount = " %d of %d";

// The report of a run
inline constexpr const char* kSaveReportTitle = "Save Report";
inline constexpr const char* kReportFilter = "CSV report (*.csv)|*.csv|";
inline constexpr const char* kReportFileName = "Repair report.csv";
inline constexpr const char* kNoReport = "There is no report yet: repair some workbooks first.";
inline constexpr const char* kReportWhileRunning = "The report can be saved when the repair has ended.";
inline constexpr const char* kReportNotWritten = "The report could not be written there. Choose another folder or name.";

// The command line
inline constexpr const char* kUsage
    = "Calvera Tessel for Excel repairs damaged Excel workbooks (.xls) without opening its window.\r\n"
      "\r\n"
      "CalveraTessel.exe /repair <files or folders...> [/out <folder>] [/name prefix|suffix]\r\n"
      "                  [/report <file>] [/quiet]\r\n"
      "\r\n"
      "  /repair   The workbooks to repair. A folder stands for every .xls file in it and in its\r\n"
      "            sub-folders.\r\n"
      "  /out      The folder the repaired copies go to; it is made when missing. Without it, each\r\n"
      "            copy goes to a folder \"Repaired\" beside its workbook.\r\n"
      "  /name     prefix names a copy REP_Book1.xls (the default), suffix Book1_REP.xls.\r\n"
      "  /report   Writes a report of the run: a CSV file with the workbook, its repaired copy and\r\n"
      "            its status on each line, which Excel opens as it is.\r\n"
      "  /quiet    No progress window, and no line per workbook.\r\n"
      "  /?        Shows this text.\r\n"
      "\r\n"
      "The workbooks themselves are never changed. Exit code: 0 when every workbook was repaired,\r\n"
      "1 when one or more could not be, 2 when the command line is wrong.\r\n";
// In the lines below each "%s" takes the next value in turn.
inline constexpr const char* kLineRepaired = "Repaired: %s -> %s\r\n";
inline constexpr const char* kLineFailed = "%s: %s\r\n";
inline constexpr const char* kLineNotWorkbook = "Not an Excel workbook (.xls): %s\r\n";
inline constexpr const char* kLineMissing = "Not found: %s\r\n";
inline constexpr const char* kLineNoneFound = "No Excel workbooks (.xls) were found.\r\n";
inline constexpr const char* kLineStopped = "Stopped before the end: %s workbooks were not repaired.\r\n";
inline constexpr const char* kLineOutFolder = "The output folder cannot be made: %s\r\n";
inline constexpr const char* kLineReport = "The report cannot be written: %s\r\n";
inline constexpr const char* kStatusNotFound = "Not found";
inline constexpr const char* kStatusNotWorkbook = "Not an Excel workbook";
// The summary at the end of a run in the window.
inline constexpr const char* kSummaryHead = "The repair has ended.<br>";
inline constexpr const char* kSummaryRepaired = "<b>%u repaired</b>";
inline constexpr const char* kSummaryPartial = "<b>%u partly recovered</b>";
inline constexpr const char* kSummaryFailed = "<b>%u failed</b>";
inline constexpr const char* kSummaryMore = " and %u more";
inline constexpr const char* kSummaryButtons = "Open folder\nSave report\nClose";
inline constexpr const char* kSummaryButtonsNoFolder = "Save report\nClose";
inline constexpr const char* kSummaryCheckBox = "Do not show this summary again";
inline constexpr const char* kSummaryMemory = "RunSummary";
inline constexpr const char* kLinePartial = "Partly recovered: %s -> %s (lost: %s)\r\n";
inline constexpr const char* kLineSummary = "%s repaired, %s partly recovered, %s failed.\r\n";
inline constexpr const char* kProgressRepairing = "Repairing %s (%s of %s)";

// Tool tips
inline constexpr const char* kTipHomeLink = "Click here to visit software home page";
inline constexpr const char* kTipLiveUpdate = "Updates the software with latest changes from internet";
inline constexpr const char* kTipSettings = "Settings for repaired files name";
inline constexpr const char* kTipAddFiles = "Add files for repair";
inline constexpr const char* kTipRemoveSelected = "Remove selected files from list";
inline constexpr const char* kTipRemoveAll = "Remove All files from list";
inline constexpr const char* kTipNext = "Go to next step";
inline constexpr const char* kTipBack = "Go back to the list of files";

// Source list columns
inline constexpr const char* kSourceColumns[] = {"File Name",        "File Location",    "File Size", "Creation Time",
                                                 "Last Access Time", "Last Writen Time", "file type"};
inline constexpr int kSourceColumnWidths[] = {200, 100, 100, 100, 100, 100, 100};

// Result list columns
inline constexpr const char* kResultColumns[] = {"Source File Name", "Source File Path", "Repaired File Name",
                                                 "Repaired File Path", "Status", "What Was Lost"};
inline constexpr int kResultColumnWidths[] = {150, 200, 150, 200, 200, 250};

} // namespace texts
