// Calendar time, file time and OLE Automation dates.
//
// An OLE Automation date is a double counting days since 30 December 1899,
// 00:00. Its whole part is the day and its fraction the time of day; for
// negative dates the fraction is still a positive time of day added to the
// day the whole part names, so -1.25 is 29 December 1899, 06:00. Valid dates
// run from 1 January 100 to 31 December 9999 (-657434.0 to 2958465.99999).
//
// A file time counts 100-nanosecond ticks since 1 January 1601, 00:00 UTC.
// Neither conversion here applies a time-zone shift.
#pragma once

#include "platform/wintypes/WinTypes.h"

// A broken-down calendar time. wDayOfWeek counts from Sunday = 0.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;         // 1 to 12
    WORD wDayOfWeek;     // 0 Sunday to 6 Saturday
    WORD wDay;           // 1 to 31
    WORD wHour;          // 0 to 23
    WORD wMinute;        // 0 to 59
    WORD wSecond;        // 0 to 59
    WORD wMilliseconds;  // 0 to 999
};

// A 64-bit count of 100 ns ticks since 1601-01-01 UTC, split in two halves.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// Converts a calendar time into an OLE Automation date. Milliseconds and
// wDayOfWeek are ignored. Fails (returns 0 and leaves *pvtime alone) when a
// pointer is null, a field is out of its range, the day does not exist in its
// month, or the year is outside 100 to 9999. Returns nonzero on success.
int SystemTimeToVariantTime(const SYSTEMTIME* pst, double* pvtime);

// Converts an OLE Automation date into a calendar time rounded to the nearest
// second (wMilliseconds is 0; wDayOfWeek is filled). Fails (returns 0 and
// leaves *pst alone) for a null pointer, a value that is not finite, or a
// date outside 1 January 100 to 31 December 9999. Returns nonzero on success.
int VariantTimeToSystemTime(double vtime, SYSTEMTIME* pst);

// Splits a file time into a calendar time (UTC, no zone shift). Fails for a
// null pointer or a time whose top bit is set (beyond year 30827).
BOOL FileTimeToSystemTime(const FILETIME* pft, SYSTEMTIME* pst);

// Joins a calendar time (years 1601 to 30827) into a file time. Fails for a
// null pointer or an invalid field. wDayOfWeek is ignored.
BOOL SystemTimeToFileTime(const SYSTEMTIME* pst, FILETIME* pft);

// The current local time of the system, milliseconds included.
void GetLocalTime(SYSTEMTIME* pst);

// The kernel id of the calling thread.
DWORD GetCurrentThreadId();
