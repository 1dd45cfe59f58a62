// CxDateTime: conversion from OLE Automation dates and the printed texts.
#include "common/misc/CxDateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string DateTimeText(const CxDateTime& dateTime, size_t nLen = 64)
{
    std::string text(nLen, '#');
    dateTime.GetDateTimeText(text.data(), nLen);
    return text.c_str();
}

TEST(CxDateTimeTest, PrintsValidDates)
{
    struct Case {
        double dDate;
        const char* pszText;
    };
    const Case cases[] = {
        {0.0, "12/30/1899 00:00:00"},
        {36526.5, "01/01/2000 12:00:00"},  // 1 January 2000, noon
        {-1.25, "12/29/1899 06:00:00"},    // negative: day back, time forward
        {2.0 + 13.0 / 24 + 5.0 / 1440 + 9.0 / 86400, "01/01/1900 13:05:09"},
        {-657434.0, "01/01/0100 00:00:00"},  // first valid day
        {2958465.0, "12/31/9999 00:00:00"},  // last valid day
    };
    for (const Case& c : cases) {
        CxDateTime dateTime;
        dateTime.SetDate(c.dDate);
        EXPECT_TRUE(dateTime.IsValid()) << c.dDate;
        EXPECT_EQ(DateTimeText(dateTime), c.pszText) << c.dDate;
        EXPECT_EQ(dateTime.GetDate(), c.dDate);
    }
}

TEST(CxDateTimeTest, InvalidDateIsFlaggedAndPrintsZeros)
{
    const double invalid[] = {
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        -657435.0,  // before 1 January 100
        2958466.0,  // after 31 December 9999
        1e300,
    };
    for (double dDate : invalid) {
        CxDateTime dateTime;
        dateTime.SetDate(36526.5);  // a valid value first: nothing of it may stay
        dateTime.SetDate(dDate);
        EXPECT_FALSE(dateTime.IsValid()) << dDate;
        EXPECT_EQ(DateTimeText(dateTime), "00/00/0000 00:00:00") << dDate;
    }
}

TEST(CxDateTimeTest, TextsAreCutToTheBuffer)
{
    CxDateTime dateTime;
    dateTime.SetDate(36526.5);
    char szBuf[16];

    dateTime.GetDateText(szBuf, sizeof szBuf);
    EXPECT_STREQ(szBuf, "01/01/2000");
    dateTime.GetTimeText(szBuf, sizeof szBuf);
    EXPECT_STREQ(szBuf, "12:00:00");

    EXPECT_EQ(DateTimeText(dateTime, 12), "01/01/2000 ");
    EXPECT_EQ(DateTimeText(dateTime, 20), "01/01/2000 12:00:00");
    EXPECT_EQ(DateTimeText(dateTime, 1), "");

    szBuf[0] = 'x';
    dateTime.GetDateTimeText(szBuf, 0);  // no room at all: nothing written
    EXPECT_EQ(szBuf[0], 'x');
}

TEST(CxDateTimeTest, NewObjectHoldsTheCurrentLocalTime)
{
    SYSTEMTIME stBefore{};
    GetLocalTime(&stBefore);
    CxDateTime dateTime;
    double dBefore = 0.0;
    ASSERT_TRUE(SystemTimeToVariantTime(&stBefore, &dBefore));

    EXPECT_TRUE(dateTime.IsValid());
    // The same moment give or take the seconds between the two readings.
    EXPECT_NEAR(dateTime.GetDate(), dBefore, 60.0 / 86400);
}

}  // namespace
