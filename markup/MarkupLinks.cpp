// Links: what the mouse does over the last drawing, and opening a link's target.
#include "markup/RixMarkupRenderer.h"

#include "framework/ModuleCursor.h"

#include <shellapi.h>

#include <string>

namespace {

// No command line the platform runs is longer; a value longer than this is no command.
constexpr DWORD kMaxCommandBytes = 32768;
// Reads of a value that keeps growing between the two reads.
constexpr int kMaxReadAttempts = 4;

// A key's default value up to kMaxCommandBytes long; "" when it cannot be read or is longer.
std::string ReadDefaultValue(HKEY root, const std::string& subKey)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return {};
    std::string value;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(hKey, nullptr, nullptr, &type, nullptr, &size);
    // The value may grow between the two reads: ask again with the new size, a few times.
    for (int attempt = 0; attempt < kMaxReadAttempts && (result == ERROR_SUCCESS || result == ERROR_MORE_DATA);
         ++attempt) {
        if (size > kMaxCommandBytes) {
            result = ERROR_MORE_DATA;
            break;
        }
        value.assign(size + 1, '\0');
        size = static_cast<DWORD>(value.size());
        result = ::RegQueryValueExA(hKey, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
        if (result == ERROR_SUCCESS)
            break;
    }
    ::RegCloseKey(hKey);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    value.resize(std::min<size_t>(size, value.size()));
    value.resize(value.find('\0') == std::string::npos ? value.size() : value.find('\0'));
    if (type == REG_EXPAND_SZ) {
        const DWORD needed = ::ExpandEnvironmentStringsA(value.c_str(), nullptr, 0);
        if (needed == 0 || needed > kMaxCommandBytes)
            return {};
        std::string expanded(needed, '\0');
        if (::ExpandEnvironmentStringsA(value.c_str(), expanded.data(), needed) == 0)
            return {};
        expanded.resize(expanded.find('\0'));
        value = expanded;
    }
    return value;
}

} // namespace

void RixMarkupRenderer::RecordHotArea(const RECT& rect)
{
    if (m_Style.nLinkKind == RIXLINK_NONE)
        return;
    m_HotAreas.push_back(HotArea { rect, m_Style.nLinkKind, m_nLinkCounter, m_Style.strLinkText });
}

const HotArea* RixMarkupRenderer::HotAreaAt(POINT point) const
{
    for (const HotArea& area : m_HotAreas) {
        // Right and bottom edges belong to the area too.
        if (point.x >= area.rect.left && point.x <= area.rect.right && point.y >= area.rect.top
            && point.y <= area.rect.bottom)
            return &area;
    }
    return nullptr;
}

void RixMarkupRenderer::SetHoverTarget(HWND hWnd, UINT nMessage, LPARAM lParam)
{
    m_hHoverWnd = hWnd;
    m_nHoverMessage = hWnd ? nMessage : 0;
    m_lHoverParam = hWnd ? lParam : 0;
}

void RixMarkupRenderer::SetMessageLinkTarget(HWND hWnd, UINT nMessage, LPARAM lParam)
{
    m_hLinkWnd = hWnd;
    m_nLinkMessage = hWnd ? nMessage : 0;
    m_lLinkParam = hWnd ? lParam : 0;
}

bool RixMarkupRenderer::OnLinkHover(POINT point)
{
    const HotArea* pArea = HotAreaAt(point);
    // The host answers the notification by drawing again, which makes the hot areas afresh: what is
    // needed of this one is taken first.
    const int nLink = pArea ? pArea->nLinkIndex : -2;
    const bool bTarget = pArea && !pArea->strLinkText.empty();
    pArea = nullptr;
    if (nLink != m_nHoverLink) {
        m_nHoverLink = nLink;
        if (m_hHoverWnd && m_nHoverMessage)
            ::SendMessageA(m_hHoverWnd, m_nHoverMessage, static_cast<WPARAM>(nLink), m_lHoverParam);
    }
    if (bTarget && m_hLinkCursor) {
        ::SetCursor(m_hLinkCursor);
        return true;
    }
    return false;
}

void RixMarkupRenderer::OnLinkClick(POINT point)
{
    const HotArea* pArea = HotAreaAt(point);
    if (!pArea || pArea->strLinkText.empty())
        return;
    // The hot areas belong to the drawing; what the click leads to may draw again.
    const HotArea area = *pArea;
    if (area.nLinkKind == RIXLINK_SHELL)
        ExecuteLink(area.strLinkText.c_str(), SW_SHOW);
    else if (area.nLinkKind == RIXLINK_MESSAGE && m_hLinkWnd && m_nLinkMessage)
        ::SendMessageA(m_hLinkWnd, m_nLinkMessage, reinterpret_cast<WPARAM>(area.strLinkText.c_str()), m_lLinkParam);
}

INT_PTR RixMarkupRenderer::ExecuteLink(const char* pszTarget, int nShowCmd)
{
    SetLinkCursor(nullptr);
    const std::string target = pszTarget ? pszTarget : "";
    const INT_PTR shellResult
        = reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, nShowCmd));
    if (shellResult > 32)
        return shellResult;

    // The shell knows no handler for the target itself: give it to the program that opens web pages.
    const std::string pageClass = ReadDefaultValue(HKEY_CLASSES_ROOT, ".htm");
    if (pageClass.empty())
        return shellResult;
    std::string command = ReadDefaultValue(HKEY_CLASSES_ROOT, pageClass + "\\shell\\open\\command");
    if (command.empty())
        return shellResult;
    // The target goes in as one quoted argument; one that would end its own quotes, or carries a line
    // break, could add arguments of its choosing, and is not run. Nor is one that starts like a
    // switch: quotes do not stop the program from reading "-x" or "/x" as one.
    if (target.empty() || target.find_first_of("\"\r\n") != std::string::npos)
        return shellResult;
    const size_t first = target.find_first_not_of(" \t");
    if (first == std::string::npos || target[first] == '-' || target[first] == '/')
        return shellResult;
    const size_t quoted = command.find("\"%1\"");
    const size_t plain = command.find("%1");
    if (quoted != std::string::npos)
        command.resize(quoted);
    else if (plain != std::string::npos)
        command.resize(plain);
    command += " \"" + target + "\"";
    return static_cast<INT_PTR>(::WinExec(command.c_str(), static_cast<UINT>(nShowCmd)));
}

void RixMarkupRenderer::SetLinkCursor(HCURSOR hCursor)
{
    if (hCursor && hCursor == m_hLinkCursor)
        return;
    if (m_hLinkCursor)
        ::DestroyCursor(m_hLinkCursor);
    m_hLinkCursor = hCursor;
    if (!hCursor)
        LoadHandCursor();
}

void RixMarkupRenderer::LoadHandCursor()
{
    if (!m_hLinkCursor)
        m_hLinkCursor = CopyHelpProgramCursor(kHelpProgramHand);
}
