// CxDateTime: one point in time, held both as a calendar time and as an OLE
// Automation date (days since 30 December 1899, 00:00, the time of day as the
// fraction), printed as "MM/DD/YYYY" and "HH:MM:SS".
//
// Conversions between the two forms follow the OLE Automation rules of
// platform/oletime: whole seconds (milliseconds ignored), years 100 to 9999.
// IsValid() tells whether the last conversion succeeded. When it failed the
// calendar time is all zeros, so the texts read "00/00/0000" and "00:00:00".
#pragma once

#include <cstddef>

#include "platform/oletime/OleTime.h"
#include "platform/wintypes/WinTypes.h"

class CxDateTime {
public:
    // The current local time of the system.
    CxDateTime();
    virtual ~CxDateTime();

    // Stores dDate and derives the calendar time from it.
    void SetDate(double dDate);

    double GetDate() const { return m_dDate; }
    const SYSTEMTIME& GetSystemTime() const { return m_stTime; }
    bool IsValid() const { return m_bValid != 0; }

    // Each writes zero-terminated text into szBuf, cut to nBufLen - 1
    // characters; nothing is written when nBufLen is 0. szBuf must not be null.
    // Date: "%02d/%02d/%04d" month, day, year.
    void GetDateText(char* szBuf, size_t nBufLen) const;
    // Time: "%02d:%02d:%02d" hour (0-23), minute, second.
    void GetTimeText(char* szBuf, size_t nBufLen) const;
    // Date text and time text joined by one blank.
    void GetDateTimeText(char* szBuf, size_t nBufLen) const;

private:
    double m_dDate;       // OLE Automation date
    SYSTEMTIME m_stTime;  // the same moment as a calendar time
    BYTE m_bValid;        // whether the last conversion succeeded
};
