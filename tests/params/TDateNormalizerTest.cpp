// Mail dates in Japan time.
#include "params/TDateNormalizer.h"

#include <gtest/gtest.h>

namespace {

struct TDateCase {
    const char* name;
    std::string input;
    std::string expected;
};

class NormalizeDate : public testing::TestWithParam<TDateCase> {};

TEST_P(NormalizeDate, GivesJapanTime) {
    EXPECT_EQ(TDateNormalizer::NormalizeDate(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Numeric, NormalizeDate,
    testing::Values(
        TDateCase{"Japan", "Thu, 5 Jun 2003 10:05:09 +0900", "2003/6/5 10:05:09"},
        TDateCase{"Utc", "Thu, 05 Jun 2003 01:05:09 +0000", "2003/6/5 10:05:09"},
        TDateCase{"WestOverMidnight", "5 Jun 2003 20:00:00 -0500", "2003/6/6 10:00:00"},
        TDateCase{"HalfHourZone", "Mon, 1 Mar 2004 00:00:00 +0530", "2004/3/1 03:30:00"},
        TDateCase{"BackOverYearEnd", "1 Jan 2004 03:00:00 +1300", "2003/12/31 23:00:00"},
        TDateCase{"IntoLeapDay", "Sat, 28 Feb 2004 20:00:00 -0500", "2004/2/29 10:00:00"},
        TDateCase{"PastLeapDay", "28 Feb 2003 20:00:00 -0500", "2003/3/1 10:00:00"},
        TDateCase{"MonthNameAnyCase", "5 JUN 2003 10:05:09 +0900", "2003/6/5 10:05:09"},
        TDateCase{"MonthFirst", "Jun 05 2003 01:05:09 +0000", "2003/6/5 10:05:09"},
        TDateCase{"TwoDigitYear", "5 Jun 03 10:05:09 +0900", "2003/6/5 10:05:09"},
        TDateCase{"TimeWithoutSeconds", "5 Jun 2003 10:05 +0900", "2003/6/5 10:05:00"},
        TDateCase{"CommentAfterZone", "Thu, 5 Jun 2003 10:05:09 +0900 (JST)", "2003/6/5 10:05:09"},
        TDateCase{"NoZoneNoConversion", "5 Jun 2003 10:05:09 foo", "2003/6/5 10:05:09"},
        TDateCase{"UnreadableZoneNoConversion", "5 Jun 2003 10:05:09 +9x", "2003/6/5 10:05:09"},
        TDateCase{"ZoneOutOfRange", "5 Jun 2003 10:05:09 +2500", "2003/6/5 10:05:09"},
        // The time of a date without a zone used to be lost (00:00:00).
        TDateCase{"WithoutZoneTimeIsKept", "Wed, 3 May 2007 23:34:45", "2007/5/3 23:34:45"},
        TDateCase{"WeekdayWithoutComma", "Thu 29 Apr 2010 23:34:45 +0900", "2010/4/29 23:34:45"},
        TDateCase{"WeekdayWithoutCommaNoZone", "sat 1 May 2010 01:02", "2010/5/1 01:02:00"}),
    [](const auto& info) { return std::string(info.param.name); });

// Zone names stand for their numeric offsets.
INSTANTIATE_TEST_SUITE_P(
    Named, NormalizeDate,
    testing::Values(TDateCase{"Gmt", "Thu, 05 Jun 2003 01:05:09 GMT", "2003/6/5 10:05:09"},
                    TDateCase{"Ut", "05 Jun 2003 01:05:09 UT", "2003/6/5 10:05:09"},
                    TDateCase{"Z", "05 Jun 2003 01:05:09 Z", "2003/6/5 10:05:09"},
                    TDateCase{"Est", "5 Jun 2003 20:00:00 EST", "2003/6/6 10:00:00"},
                    TDateCase{"Edt", "5 Jun 2003 20:00:00 EDT", "2003/6/6 09:00:00"},
                    TDateCase{"Cst", "5 Jun 2003 20:00:00 CST", "2003/6/6 11:00:00"},
                    TDateCase{"Cdt", "5 Jun 2003 20:00:00 CDT", "2003/6/6 10:00:00"},
                    TDateCase{"Mst", "5 Jun 2003 20:00:00 MST", "2003/6/6 12:00:00"},
                    TDateCase{"Mdt", "5 Jun 2003 20:00:00 MDT", "2003/6/6 11:00:00"},
                    TDateCase{"Pst", "5 Jun 2003 20:00:00 PST", "2003/6/6 13:00:00"},
                    TDateCase{"Pdt", "5 Jun 2003 20:00:00 PDT", "2003/6/6 12:00:00"},
                    TDateCase{"Jst", "5 Jun 2003 20:00:00 JST", "2003/6/5 20:00:00"},
                    TDateCase{"LowerCase", "5 Jun 2003 01:05:09 gmt", "2003/6/5 10:05:09"},
                    TDateCase{"UnknownName", "5 Jun 2003 01:05:09 CET", "2003/6/5 01:05:09"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Unreadable, NormalizeDate,
    testing::Values(
        TDateCase{"Empty", "", ""}, TDateCase{"Words", "not a date", "not a date"},
        TDateCase{"NoBlank", "yesterday", "yesterday"},
        TDateCase{"BadDay", "Thu, 31 Jun 2003 10:00:00 +0900", "Thu, 31 Jun 2003 10:00:00 +0900"},
        TDateCase{"BadTime", "5 Jun 2003 25:00:00 +0900", "5 Jun 2003 25:00:00 +0900"},
        TDateCase{"NoYearSeparator", "5 Jun 2003", "5 Jun 2003"},
        TDateCase{"UnknownMonth", "5 Foo 2003 10:00:00 +0900", "5 Foo 2003 10:00:00 +0900"},
        TDateCase{"MonthFirstSingleDigitDay", "Jun 5 2003 10:00:00 +0900",
                  "Jun 5 2003 10:00:00 +0900"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
