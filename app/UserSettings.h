// What the program keeps per user between starts, under HKEY_CURRENT_USER\Software\Calvera Tessel
// for Excel: the naming and location choices, the folders last used, and whether the summary at
// the end of a run is shown. A value that is missing, of the wrong type or out of range gives its
// default; the others still apply.
#pragma once

#include <string>

// The key under HKEY_CURRENT_USER.
extern const wchar_t* const kUserSettingsKey;

struct UserSettings {
    int nameMode = 1; // NAME_PREFIX
    int locationMode = 0; // LOCATION_UNSET; LOCATION_CHOSEN only with a target folder
    std::wstring targetDir;
    std::wstring addFolder; // where Add Files and Add Folder last took workbooks from
    std::wstring reportFolder; // where the last report was saved
    bool showSummary = true;
};

UserSettings LoadUserSettings();
// Writes every value; false when the key cannot be written (nothing else changes).
bool SaveUserSettings(const UserSettings& settings);
