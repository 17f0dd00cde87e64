#include "msgbox/RixBoxMemory.h"

#include "msgbox/RixBoxTexts.h"

#include <cstdint>

namespace {

constexpr char kBoxKeyName[] = "RixMessageBox";

// The pointer-only text fields; a small integer there is no text.
std::string PointerText(LPCSTR lpsz)
{
    return reinterpret_cast<uintptr_t>(lpsz) > 0xFFFF ? std::string(lpsz) : std::string();
}

std::string KeyPathOf(const RixBoxParams& params)
{
    return RixMemoryKeyPath(PointerText(params.lpszRegCompany), RixProgramFileName());
}

std::string ValueNameOf(const RixBoxParams& params)
{
    return RixFormatValueName(PointerText(params.lpszRegValuePrefix), params.nRegValueId);
}

} // namespace

std::string RixProgramFileName()
{
    char module[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    char full[MAX_PATH] = {};
    char* pName = nullptr;
    const DWORD m = ::GetFullPathNameA(module, MAX_PATH, full, &pName);
    if (m == 0 || m >= MAX_PATH || !pName)
        return {};
    return pName;
}

std::string RixMemoryKeyPath(const std::string& company, const std::string& programName)
{
    std::string path = "Software\\";
    if (!company.empty())
        path += company + "\\";
    return path + programName + "\\" + kBoxKeyName;
}

bool RixUsesMemory(const RixBoxParams& params)
{
    return (params.dwStyle & RIXMB_CHECKBOX) && !PointerText(params.lpszRegValuePrefix).empty();
}

DWORD RixReadRememberedAnswer(const RixBoxParams& params)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, KeyPathOf(params).c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD dwType = 0;
    DWORD dwValue = 0;
    DWORD cbValue = sizeof(dwValue);
    const LONG result = ::RegQueryValueExA(
        hKey, ValueNameOf(params).c_str(), nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue), &cbValue);
    ::RegCloseKey(hKey);
    if (result != ERROR_SUCCESS || dwType != REG_DWORD || cbValue != sizeof(dwValue))
        return 0;
    return dwValue;
}

bool RixRememberAnswer(const RixBoxParams& params, DWORD dwAnswer)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, KeyPathOf(params).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
            nullptr, &hKey, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG result = ::RegSetValueExA(
        hKey, ValueNameOf(params).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwAnswer), sizeof(dwAnswer));
    ::RegCloseKey(hKey);
    return result == ERROR_SUCCESS;
}
