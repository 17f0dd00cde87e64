#include "msgbox/RixBoxTexts.h"

#include <cstdint>

namespace {

struct CaptionEntry {
    int nId;
    const char* pszCaption;
    UINT nResource;
};

constexpr CaptionEntry kCaptions[] = {
    { IDOK, "OK", 9001 },
    { IDCANCEL, "Cancel", 9002 },
    { IDABORT, "Abort", 9005 },
    { IDRETRY, "Retry", 9004 },
    { IDIGNORE, "Ignore", 9003 },
    { IDYES, "Yes", 9007 },
    { IDNO, "No", 9008 },
    { IDHELP, "Help", 9006 },
    { IDTRYAGAIN, "Try again", 9015 },
    { IDCONTINUE, "Continue", 9009 },
    { RIXID_SKIP, "Skip", 9018 },
    { RIXID_SKIPALL, "Skip all", 9019 },
    { RIXID_IGNOREALL, "Ignore all", 9017 },
    { RIXID_YESTOALL, "Yes to all", 9013 },
    { RIXID_NOTOALL, "No to all", 9014 },
    { RIXID_REPORT, "Report", 9016 },
    { RIXID_LESS, "<< More", 9011 },
    { RIXID_MORE, "More >>", 9010 },
    { RIXID_CHECKBOX_CAPTION, "Do not show again", 9012 },
    { RIXID_COUNTDOWN_FORMAT, "%s (%d seconds remaining)", 9020 },
};

const CaptionEntry* FindCaption(int nId)
{
    for (const CaptionEntry& entry : kCaptions)
        if (entry.nId == nId)
            return &entry;
    return nullptr;
}

bool IsResourceId(LPCSTR lpsz)
{
    return reinterpret_cast<uintptr_t>(lpsz) <= 0xFFFF;
}

} // namespace

std::string RixLoadString(HINSTANCE hModule, UINT nId)
{
    char buffer[260] = {};
    const int n = ::LoadStringA(hModule, nId, buffer, sizeof(buffer));
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string RixResolveText(LPCSTR lpszText, HINSTANCE hStringModule, bool bNoStringRes)
{
    if (!lpszText)
        return {};
    if (IsResourceId(lpszText)) {
        // A resource id is never read as text: with string resources off it gives nothing.
        if (bNoStringRes)
            return {};
        return RixLoadString(hStringModule, static_cast<UINT>(reinterpret_cast<uintptr_t>(lpszText)));
    }
    return lpszText;
}

const char* RixDefaultCaption(int nId)
{
    const CaptionEntry* entry = FindCaption(nId);
    return entry ? entry->pszCaption : "";
}

UINT RixCaptionResource(int nId)
{
    const CaptionEntry* entry = FindCaption(nId);
    return entry ? entry->nResource : 0;
}

std::string RixResolveCaption(
    int nId, const RixCaptionMap* pOverrides, HINSTANCE hStringModule, bool bNoStringRes, LPCSTR lpszDefault)
{
    if (pOverrides) {
        auto it = pOverrides->find(nId);
        if (it != pOverrides->end()) {
            std::string text = RixResolveText(it->second, hStringModule, bNoStringRes);
            if (!text.empty())
                return text;
        }
    }
    if (!bNoStringRes) {
        if (const UINT nResource = RixCaptionResource(nId)) {
            std::string text = RixLoadString(hStringModule, nResource);
            if (!text.empty())
                return text;
        }
    }
    std::string text = RixResolveText(lpszDefault, hStringModule, bNoStringRes);
    if (!text.empty())
        return text;
    return RixDefaultCaption(nId);
}

std::string RixFormatCount(std::string_view format, std::string_view text, int nCount)
{
    std::string out;
    bool bTextUsed = false;
    bool bCountUsed = false;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const char next = format[i + 1];
        if (next == '%') {
            out += '%';
            ++i;
        } else if (next == 's' && !bTextUsed) {
            out.append(text);
            bTextUsed = true;
            ++i;
        } else if ((next == 'd' || next == 'i') && !bCountUsed) {
            out += std::to_string(nCount);
            bCountUsed = true;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string RixFormatValueName(std::string_view prefix, int nId)
{
    return std::string(prefix) + std::to_string(nId);
}
