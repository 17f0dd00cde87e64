// Texts of the batch run, the per-file repair and the two setting dialogs, each kept in one place.
#pragma once

namespace texts {

inline constexpr const char* kStepOneUpper
    = "                1. Add files into list from the add file button from upper toolbar\r\n"
      "                2. Select the Files from list to be repaired.\r\n"
      "                3. Click Next Button.";
inline constexpr const char* kNameSettingInstructions
    = "                1. Select the option for Repaires file prefix or suffix \r\n"
      "                3. Click Ok Button to make change effectied or press Cencle to Cancle the action.";
inline constexpr const char* kLocationInstructions = "                \r\nSelect location for recoverd files files ";
inline constexpr const char* kFolderBrowserTitle = "Please select the path to recover the files";
inline constexpr const char* kRepairing = "                File Reparing in progress..";
inline constexpr const char* kNoFileSelected = "No file selected to repair";
inline constexpr const char* kAbortQuestion = "Do you want to abort repair process";
inline constexpr const char* kRepairDone
    = "                \r\nFile Reparing Done press Back Button for repair other files";

// The status column of a result row
inline constexpr const char* kStatusRepaired = "Repaired";
inline constexpr const char* kStatusFailed = "Failed";
// A copy whose name would pass the file systems' 255 characters: nothing is written.
inline constexpr const char* kStatusNameTooLong = "Failed: name too long";
// A copy holding only what survived the damage; the next column says what was lost.
inline constexpr const char* kStatusPartial = "Partly recovered";

// Appended to the start folder
inline constexpr const char* kTemplateFile = "\\VuzuviViduv.dll";

} // namespace texts
