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
