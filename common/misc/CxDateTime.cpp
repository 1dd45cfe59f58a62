#include "common/misc/CxDateTime.h"

#include <cassert>
#include <cstdio>
#include <cstring>

namespace {

// Each half of the date-time text is made in a buffer of this size.
constexpr size_t kWorkTextSize = 32;

}  // namespace

CxDateTime::CxDateTime() : m_dDate(0.0), m_stTime{}, m_bValid(0)
{
    GetLocalTime(&m_stTime);
    m_bValid = SystemTimeToVariantTime(&m_stTime, &m_dDate) != 0 ? 1 : 0;
}

CxDateTime::~CxDateTime() = default;

void CxDateTime::SetDate(double dDate)
{
    m_dDate = dDate;
    SYSTEMTIME stTime{};
    if (VariantTimeToSystemTime(dDate, &stTime) != 0) {
        m_stTime = stTime;
        m_bValid = 1;
    } else {
        // Not a date we can show: an all-zero calendar time rather than
        // whatever the previous value was.
        m_stTime = SYSTEMTIME{};
        m_bValid = 0;
    }
}

void CxDateTime::GetDateText(char* szBuf, size_t nBufLen) const
{
    assert(szBuf != NULL);
    if (szBuf == nullptr || nBufLen == 0)
        return;
    std::snprintf(szBuf, nBufLen, "%02d/%02d/%04d", m_stTime.wMonth, m_stTime.wDay, m_stTime.wYear);
}

void CxDateTime::GetTimeText(char* szBuf, size_t nBufLen) const
{
    assert(szBuf != NULL);
    if (szBuf == nullptr || nBufLen == 0)
        return;
    std::snprintf(szBuf, nBufLen, "%02d:%02d:%02d", m_stTime.wHour, m_stTime.wMinute, m_stTime.wSecond);
}

void CxDateTime::GetDateTimeText(char* szBuf, size_t nBufLen) const
{
    assert(szBuf != NULL);
    if (szBuf == nullptr || nBufLen == 0)
        return;
    char szDate[kWorkTextSize];
    char szTime[kWorkTextSize];
    GetDateText(szDate, sizeof szDate);
    GetTimeText(szTime, sizeof szTime);
    std::snprintf(szBuf, nBufLen, "%s %s", szDate, szTime);
}
