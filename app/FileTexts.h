// How the source list writes a file's size and times.
#pragma once

#include "../framework/Platform.h"

#include <cstdint>
#include <string>

// "10239 B" below ten kilobytes, "10 KB" from there on (whole kilobytes, rounded down).
std::string FormatSizeText(uint64_t size);
// Day-month-year and a 12-hour clock: "06-12-2026 03:45 PM".
std::string FormatTimeText(const SYSTEMTIME& local);
// A file time in local time, formatted as above; empty when it cannot be converted.
std::string FormatFileTimeText(const FILETIME& fileTime);
