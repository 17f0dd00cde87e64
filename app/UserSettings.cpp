#include "UserSettings.h"

#include "../framework/PathText.h"
#include "../framework/RegistryValues.h"
#include "../repair/PathRules.h"

const wchar_t* const kUserSettingsKey = L"Software\\Calvera Tessel for Excel";

namespace {

constexpr const wchar_t* kNameMode = L"NameMode";
constexpr const wchar_t* kLocationMode = L"LocationMode";
constexpr const wchar_t* kTargetFolder = L"TargetFolder";
constexpr const wchar_t* kAddFolder = L"AddFolder";
constexpr const wchar_t* kReportFolder = L"ReportFolder";
constexpr const wchar_t* kShowSummary = L"ShowSummary";

// A folder kept is a full path the long form can carry; anything else is not believed.
std::wstring FolderValue(const CRegistryKey& key, const wchar_t* name)
{
    std::wstring folder = key.ReadString(name, kMaxLongPath - 1).value_or(std::wstring());
    const bool drive = folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\';
    const bool share = folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\';
    return drive || share ? folder : std::wstring();
}

} // namespace

UserSettings LoadUserSettings()
{
    UserSettings settings;
    const CRegistryKey key = CRegistryKey::Open(HKEY_CURRENT_USER, kUserSettingsKey);
    if (!key.IsOpen())
        return settings;
    const DWORD nameMode = key.ReadDword(kNameMode).value_or(NAME_PREFIX);
    if (nameMode == NAME_PREFIX || nameMode == NAME_SUFFIX)
        settings.nameMode = static_cast<int>(nameMode);
    settings.targetDir = FolderValue(key, kTargetFolder);
    const DWORD locationMode = key.ReadDword(kLocationMode).value_or(LOCATION_UNSET);
    // A chosen folder that is not there to be had leaves the location unset, as at a first start.
    if (locationMode == LOCATION_SAME || (locationMode == LOCATION_CHOSEN && !settings.targetDir.empty()))
        settings.locationMode = static_cast<int>(locationMode);
    settings.addFolder = FolderValue(key, kAddFolder);
    settings.reportFolder = FolderValue(key, kReportFolder);
    const std::optional<DWORD> showSummary = key.ReadDword(kShowSummary);
    if (showSummary && *showSummary <= 1)
        settings.showSummary = *showSummary == 1;
    return settings;
}

bool SaveUserSettings(const UserSettings& settings)
{
    CRegistryKey key = CRegistryKey::Create(HKEY_CURRENT_USER, kUserSettingsKey);
    bool written = key.WriteDword(kNameMode, static_cast<DWORD>(settings.nameMode));
    written = key.WriteDword(kLocationMode, static_cast<DWORD>(settings.locationMode)) && written;
    written = key.WriteString(kTargetFolder, settings.targetDir) && written;
    written = key.WriteString(kAddFolder, settings.addFolder) && written;
    written = key.WriteString(kReportFolder, settings.reportFolder) && written;
    written = key.WriteDword(kShowSummary, settings.showSummary ? 1 : 0) && written;
    return written;
}
