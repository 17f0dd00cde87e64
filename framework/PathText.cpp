#include "PathText.h"

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

} // namespace

std::wstring LongPathForm(const std::wstring& path)
{
    if (path.size() < kPlainPathLimit)
        return path;
    if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\") || StartsWith(path, L"\\??\\"))
        return path;
    const bool unc = IsSeparator(path[0]) && IsSeparator(path[1]);
    const bool drive = ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':'
        && IsSeparator(path[2]);
    if (!unc && !drive)
        return path;
    // Resolved as the plain form would be; the buffer is sized from the answer.
    std::wstring full(path.size() + 1, L'\0');
    for (int round = 0; round < 2; round++) {
        const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0)
            return path;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.assign(n, L'\0');
    }
    if (full.size() < 3)
        return path;
    if (IsSeparator(full[0]) && IsSeparator(full[1]))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring WidenText(const char* text)
{
    if (!text || !*text)
        return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n) - 1);
    return wide;
}

std::string NarrowForDisplay(const std::wstring& text)
{
    // A character outside the basic plane (two units) is one character, so one "?".
    std::wstring units;
    units.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        const bool pair = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
        units.push_back(pair ? L'?' : text[i]);
        i += pair;
    }
    if (units.empty())
        return {};
    const int length = static_cast<int>(units.size());
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units.data(), length, nullptr, 0, "?", nullptr);
    if (n <= 0)
        return std::string(units.size(), '?');
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units.data(), length, narrow.data(), n, "?", nullptr);
    return narrow;
}

std::string Utf8Text(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), n, nullptr, nullptr);
    return bytes;
}
