#include "FileTexts.h"

#include <cstdio>

std::string FormatSizeText(uint64_t size)
{
    char text[64];
    uint64_t kilobytes = size / 1024;
    if (kilobytes >= 10)
        std::snprintf(text, sizeof(text), "%llu KB", static_cast<unsigned long long>(kilobytes));
    else
        std::snprintf(text, sizeof(text), "%llu B", static_cast<unsigned long long>(size));
    return text;
}

std::string FormatTimeText(const SYSTEMTIME& local)
{
    int hour12 = local.wHour % 12;
    if (hour12 == 0)
        hour12 = 12;
    char text[64];
    std::snprintf(text, sizeof(text), "%02u-%02u-%04u %02d:%02u %s", local.wDay, local.wMonth, local.wYear, hour12,
                  local.wMinute, local.wHour < 12 ? "AM" : "PM");
    return text;
}

std::string FormatFileTimeText(const FILETIME& fileTime)
{
    FILETIME localFileTime;
    SYSTEMTIME local;
    if (!::FileTimeToLocalFileTime(&fileTime, &localFileTime) || !::FileTimeToSystemTime(&localFileTime, &local))
        return {};
    return FormatTimeText(local);
}
