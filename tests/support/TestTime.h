// Calendar times for test tables, written as the numbers a reader expects.
#pragma once

#include "platform/oletime/OleTime.h"

namespace vwtest {

// The calendar time with these fields and a day of week of 0; nothing is
// checked, so impossible dates can be made on purpose.
inline SYSTEMTIME MakeSystemTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

}  // namespace vwtest
