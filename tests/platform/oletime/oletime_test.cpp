#include "platform/oletime/OleTime.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <limits>

#include "tests/support/TestTime.h"

namespace {

using vwtest::MakeSystemTime;

void ExpectTime(const SYSTEMTIME& st, int y, int mo, int d, int h, int mi, int s, int dow)
{
    EXPECT_EQ(st.wYear, y);
    EXPECT_EQ(st.wMonth, mo);
    EXPECT_EQ(st.wDay, d);
    EXPECT_EQ(st.wHour, h);
    EXPECT_EQ(st.wMinute, mi);
    EXPECT_EQ(st.wSecond, s);
    EXPECT_EQ(st.wDayOfWeek, dow);
    EXPECT_EQ(st.wMilliseconds, 0);
}

struct DateCase {
    SYSTEMTIME time;
    double value;
    int dayOfWeek;
};

// Known OLE dates, both directions. 30 Dec 1899 was a Saturday.
const DateCase kDates[] = {
    {MakeSystemTime(1899, 12, 30), 0.0, 6},
    {MakeSystemTime(1899, 12, 30, 6), 0.25, 6},
    {MakeSystemTime(1899, 12, 29, 6), -1.25, 5},
    {MakeSystemTime(1899, 12, 29), -1.0, 5},
    {MakeSystemTime(1899, 12, 28, 18), -2.75, 4},
    {MakeSystemTime(1900, 1, 1), 2.0, 1},
    {MakeSystemTime(1900, 3, 1), 61.0, 4},
    {MakeSystemTime(2000, 2, 29, 12), 36585.5, 2},
    {MakeSystemTime(100, 1, 1), -657434.0, 5},
    {MakeSystemTime(100, 1, 1, 12), -657434.5, 5},
    {MakeSystemTime(9999, 12, 31, 12), 2958465.5, 5},
};

TEST(OleDate, KnownDatesConvertBothWays)
{
    for (const DateCase& c : kDates) {
        SCOPED_TRACE(c.value);
        double value = 1234.0;
        ASSERT_TRUE(SystemTimeToVariantTime(&c.time, &value));
        EXPECT_DOUBLE_EQ(value, c.value);
        SYSTEMTIME back{};
        ASSERT_TRUE(VariantTimeToSystemTime(c.value, &back));
        ExpectTime(back, c.time.wYear, c.time.wMonth, c.time.wDay, c.time.wHour, c.time.wMinute, c.time.wSecond,
                   c.dayOfWeek);
    }
}

TEST(OleDate, MillisecondsAndDayOfWeekAreIgnored)
{
    SYSTEMTIME st = MakeSystemTime(2024, 5, 17, 8, 30, 15, 999);
    st.wDayOfWeek = 3;  // wrong on purpose
    double value = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &value));
    EXPECT_NEAR(value, 45429.0 + (8 * 3600 + 30 * 60 + 15) / 86400.0, 1e-9);
}

TEST(OleDate, InvalidCalendarTimesFail)
{
    const SYSTEMTIME bad[] = {
        MakeSystemTime(99, 12, 31),        MakeSystemTime(10000, 1, 1),          MakeSystemTime(2000, 0, 1),
        MakeSystemTime(2000, 13, 1),       MakeSystemTime(2000, 1, 0),           MakeSystemTime(2000, 4, 31),
        MakeSystemTime(1900, 2, 29),       MakeSystemTime(2001, 2, 29),          MakeSystemTime(2000, 1, 1, 24),
        MakeSystemTime(2000, 1, 1, 0, 60), MakeSystemTime(2000, 1, 1, 0, 0, 60),
    };
    for (const SYSTEMTIME& st : bad) {
        double value = 42.0;
        EXPECT_FALSE(SystemTimeToVariantTime(&st, &value))
            << st.wYear << "-" << st.wMonth << "-" << st.wDay << " " << st.wHour << ":" << st.wMinute;
        EXPECT_EQ(value, 42.0);
    }
    EXPECT_FALSE(SystemTimeToVariantTime(nullptr, nullptr));
}

TEST(OleDate, ValuesOutsideTheRangeFail)
{
    const double bad[] = {-657435.0,
                          -700000.0,
                          2958466.0,
                          3e6,
                          std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    for (double value : bad) {
        SYSTEMTIME st = MakeSystemTime(1, 2, 3);
        EXPECT_FALSE(VariantTimeToSystemTime(value, &st)) << value;
        EXPECT_EQ(st.wYear, 1);
    }
    SYSTEMTIME st{};
    EXPECT_TRUE(VariantTimeToSystemTime(-657434.99, &st));
    ExpectTime(st, 100, 1, 1, 23, 45, 36, 5);
    EXPECT_TRUE(VariantTimeToSystemTime(2958465.0 + 86399.0 / 86400.0, &st));
    ExpectTime(st, 9999, 12, 31, 23, 59, 59, 5);
}

TEST(OleDate, RoundsToTheNearestSecond)
{
    struct {
        double value;
        int y, mo, d, h, mi, s, dow;
    } const cases[] = {
        {1.0 + 0.4 / 86400.0, 1899, 12, 31, 0, 0, 0, 0},
        {1.0 + 0.6 / 86400.0, 1899, 12, 31, 0, 0, 1, 0},
        // The last half second of a day rounds into the next day, on both
        // sides of day 0.
        {1.9999999, 1900, 1, 1, 0, 0, 0, 1},
        {-1.9999999, 1899, 12, 30, 0, 0, 0, 6},
        // Between -1 and 0 the whole part is day 0: -0.25 reads as 0.25.
        {-0.25, 1899, 12, 30, 6, 0, 0, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        SYSTEMTIME st{};
        ASSERT_TRUE(VariantTimeToSystemTime(c.value, &st));
        ExpectTime(st, c.y, c.mo, c.d, c.h, c.mi, c.s, c.dow);
    }
}

TEST(OleDate, RoundTripsAcrossTheWholeRange)
{
    for (double day = -657434.0; day <= 2958465.0; day += 997.0) {
        for (int seconds : {0, 1, 43199, 86399}) {
            const double value = day < 0 ? day - seconds / 86400.0 : day + seconds / 86400.0;
            SYSTEMTIME st{};
            ASSERT_TRUE(VariantTimeToSystemTime(value, &st)) << value;
            double back = 0;
            ASSERT_TRUE(SystemTimeToVariantTime(&st, &back)) << value;
            ASSERT_NEAR(back, value, 1e-6) << value;
        }
    }
}

TEST(FileTime, KnownTimesConvertBothWays)
{
    struct {
        uint64_t ticks;
        SYSTEMTIME time;
        int dow;
    } const cases[] = {
        {0, MakeSystemTime(1601, 1, 1), 1},
        {116444736000000000ULL, MakeSystemTime(1970, 1, 1), 4},
        {116444736000000000ULL + 10000000ULL * 86399 + 1230000, MakeSystemTime(1970, 1, 1, 23, 59, 59, 123), 4},
        {125911584000000000ULL, MakeSystemTime(2000, 1, 1), 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticks);
        const FILETIME ft{static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
        SYSTEMTIME st{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
        EXPECT_EQ(st.wYear, c.time.wYear);
        EXPECT_EQ(st.wMonth, c.time.wMonth);
        EXPECT_EQ(st.wDay, c.time.wDay);
        EXPECT_EQ(st.wHour, c.time.wHour);
        EXPECT_EQ(st.wSecond, c.time.wSecond);
        EXPECT_EQ(st.wMilliseconds, c.time.wMilliseconds);
        EXPECT_EQ(st.wDayOfWeek, c.dow);
        FILETIME back{};
        ASSERT_TRUE(SystemTimeToFileTime(&c.time, &back));
        EXPECT_EQ(back.dwLowDateTime, ft.dwLowDateTime);
        EXPECT_EQ(back.dwHighDateTime, ft.dwHighDateTime);
    }
}

TEST(FileTime, OutOfRangeFails)
{
    const FILETIME tooLate{0, 0x80000000u};
    SYSTEMTIME st{};
    EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &st));
    FILETIME ft{};
    const SYSTEMTIME bad[] = {MakeSystemTime(1600, 12, 31), MakeSystemTime(2001, 2, 29),
                              MakeSystemTime(2000, 1, 1, 0, 0, 0, 1000)};
    for (const SYSTEMTIME& b : bad)
        EXPECT_FALSE(SystemTimeToFileTime(&b, &ft));
}

TEST(ThreadId, IsTheKernelThreadId)
{
    // gtest runs tests on the main thread, whose id is the process id.
    EXPECT_EQ(GetCurrentThreadId(), static_cast<DWORD>(getpid()));
}

}  // namespace
