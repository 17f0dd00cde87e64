#include "app/FileTexts.h"

#include <gtest/gtest.h>

TEST(SizeText, BytesBelowTenKilobytesAndWholeKilobytesFromThere)
{
    EXPECT_EQ(FormatSizeText(0), "0 B");
    EXPECT_EQ(FormatSizeText(1), "1 B");
    EXPECT_EQ(FormatSizeText(10239), "10239 B");
    EXPECT_EQ(FormatSizeText(10240), "10 KB");
    EXPECT_EQ(FormatSizeText(11263), "10 KB");
    EXPECT_EQ(FormatSizeText(1048576), "1024 KB");
}

TEST(SizeText, SizesBeyondFourGigabytesUseBothHalves)
{
    EXPECT_EQ(FormatSizeText(0x100000000ULL), "4194304 KB");
    EXPECT_EQ(FormatSizeText(0x300000400ULL), "12582913 KB");
}

static SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    return st;
}

TEST(TimeText, DayMonthYearAndTwelveHourClock)
{
    EXPECT_EQ(FormatTimeText(At(2026, 12, 6, 15, 45)), "06-12-2026 03:45 PM");
    EXPECT_EQ(FormatTimeText(At(2026, 1, 31, 9, 5)), "31-01-2026 09:05 AM");
}

TEST(TimeText, MidnightAndNoonAreTwelve)
{
    EXPECT_EQ(FormatTimeText(At(2025, 7, 4, 0, 0)), "04-07-2025 12:00 AM");
    EXPECT_EQ(FormatTimeText(At(2025, 7, 4, 12, 30)), "04-07-2025 12:30 PM");
    EXPECT_EQ(FormatTimeText(At(2025, 7, 4, 23, 59)), "04-07-2025 11:59 PM");
}
