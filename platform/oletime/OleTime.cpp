#include "platform/oletime/OleTime.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <ctime>

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kTicksPerSecond = 10000000;  // file-time ticks are 100 ns
constexpr int64_t kTicksPerMillisecond = 10000;

// Days from 1970-01-01 to y-m-d in the proleptic Gregorian calendar.
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// The inverse of DaysFromCivil.
constexpr void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

// Day 0 of OLE Automation dates and of file times, counted from 1970-01-01.
constexpr int64_t kOleEpochDays = DaysFromCivil(1899, 12, 30);
constexpr int64_t kFileTimeEpochDays = DaysFromCivil(1601, 1, 1);
static_assert(kOleEpochDays == -25569, "30 Dec 1899 is 25569 days before 1970");

// OLE dates outside this open interval are invalid: 1 Jan 100 is day
// -657434 (its times of day reach down to -657434.99...), 31 Dec 9999 is
// day 2958465.
constexpr double kOleMinExclusive = -657435.0;
constexpr double kOleMaxExclusive = 2958466.0;

bool IsLeapYear(unsigned y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(unsigned y, unsigned m)
{
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

bool IsValidDateAndTime(const SYSTEMTIME& st)
{
    return st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 && st.wDay <= DaysInMonth(st.wYear, st.wMonth) &&
           st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60;
}

// Fills the date fields and the day of the week from a day count relative
// to 1970-01-01. 1970-01-01 was a Thursday (4).
void FillDate(int64_t daysSince1970, SYSTEMTIME* st)
{
    int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(daysSince1970, &y, &m, &d);
    st->wYear = static_cast<WORD>(y);
    st->wMonth = static_cast<WORD>(m);
    st->wDay = static_cast<WORD>(d);
    st->wDayOfWeek = static_cast<WORD>(((daysSince1970 % 7) + 7 + 4) % 7);
}

}  // namespace

int SystemTimeToVariantTime(const SYSTEMTIME* pst, double* pvtime)
{
    if (pst == nullptr || pvtime == nullptr)
        return 0;
    if (pst->wYear < 100 || pst->wYear > 9999 || !IsValidDateAndTime(*pst))
        return 0;
    const int64_t day = DaysFromCivil(pst->wYear, pst->wMonth, pst->wDay) - kOleEpochDays;
    const double fraction =
        static_cast<double>(pst->wHour * 3600 + pst->wMinute * 60 + pst->wSecond) / static_cast<double>(kSecondsPerDay);
    // Before day 0 the time of day still counts forward from the day's start,
    // but the value runs the other way: -1.25 is day -1 at 06:00.
    *pvtime = day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
    return 1;
}

int VariantTimeToSystemTime(double vtime, SYSTEMTIME* pst)
{
    if (pst == nullptr || !std::isfinite(vtime))
        return 0;
    if (!(vtime > kOleMinExclusive && vtime < kOleMaxExclusive))
        return 0;
    const double wholeDays = std::trunc(vtime);
    int64_t day = static_cast<int64_t>(wholeDays);
    const double fraction = std::fabs(vtime - wholeDays);
    int64_t seconds = static_cast<int64_t>(std::floor(fraction * kSecondsPerDay + 0.5));
    if (seconds >= kSecondsPerDay) {
        // Rounded up to the start of the next calendar day.
        seconds -= kSecondsPerDay;
        ++day;
    }
    SYSTEMTIME st{};
    FillDate(day + kOleEpochDays, &st);
    if (st.wYear < 100 || st.wYear > 9999)
        return 0;
    st.wHour = static_cast<WORD>(seconds / 3600);
    st.wMinute = static_cast<WORD>(seconds / 60 % 60);
    st.wSecond = static_cast<WORD>(seconds % 60);
    st.wMilliseconds = 0;
    *pst = st;
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* pft, SYSTEMTIME* pst)
{
    if (pft == nullptr || pst == nullptr)
        return FALSE;
    const uint64_t ticks = (static_cast<uint64_t>(pft->dwHighDateTime) << 32) | pft->dwLowDateTime;
    if (ticks > static_cast<uint64_t>(INT64_MAX))
        return FALSE;
    const int64_t totalSeconds = static_cast<int64_t>(ticks) / kTicksPerSecond;
    const int64_t remainderTicks = static_cast<int64_t>(ticks) % kTicksPerSecond;
    const int64_t days = totalSeconds / kSecondsPerDay;
    const int64_t seconds = totalSeconds % kSecondsPerDay;
    SYSTEMTIME st{};
    FillDate(days + kFileTimeEpochDays, &st);
    st.wHour = static_cast<WORD>(seconds / 3600);
    st.wMinute = static_cast<WORD>(seconds / 60 % 60);
    st.wSecond = static_cast<WORD>(seconds % 60);
    st.wMilliseconds = static_cast<WORD>(remainderTicks / kTicksPerMillisecond);
    *pst = st;
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* pst, FILETIME* pft)
{
    if (pst == nullptr || pft == nullptr)
        return FALSE;
    if (pst->wYear < 1601 || pst->wYear > 30827 || !IsValidDateAndTime(*pst) || pst->wMilliseconds > 999)
        return FALSE;
    const int64_t days = DaysFromCivil(pst->wYear, pst->wMonth, pst->wDay) - kFileTimeEpochDays;
    const int64_t seconds = days * kSecondsPerDay + pst->wHour * 3600 + pst->wMinute * 60 + pst->wSecond;
    const uint64_t ticks = static_cast<uint64_t>(seconds) * kTicksPerSecond +
                           static_cast<uint64_t>(pst->wMilliseconds) * kTicksPerMillisecond;
    if (ticks > static_cast<uint64_t>(INT64_MAX))
        return FALSE;
    pft->dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    pft->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return TRUE;
}

void GetLocalTime(SYSTEMTIME* pst)
{
    if (pst == nullptr)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    pst->wYear = static_cast<WORD>(local.tm_year + 1900);
    pst->wMonth = static_cast<WORD>(local.tm_mon + 1);
    pst->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    pst->wDay = static_cast<WORD>(local.tm_mday);
    pst->wHour = static_cast<WORD>(local.tm_hour);
    pst->wMinute = static_cast<WORD>(local.tm_min);
    // A leap second (tm_sec 60) is shown as the last second of the minute.
    pst->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
    pst->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(syscall(SYS_gettid));
}
