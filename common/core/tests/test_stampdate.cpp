#include <gtest/gtest.h>

#include "common/core/StampDate.h"

namespace parlux {
namespace {

std::string Parsed(const char* text) { return FormatStamp(ParseStampDate(text)); }

TEST(StampDate, ReadsPageAndHeaderForms) {
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 GMT"), "2003/04/12 13:45:02");
    EXPECT_EQ(Parsed("Sat, 12 Apr 2003 13:45:02 GMT"), "2003/04/12 13:45:02");  // HTTP date
    EXPECT_EQ(Parsed("Fri 30 Nov 2012 10:20:00 GMT"), "2012/11/30 10:20:00");
    EXPECT_EQ(Parsed("Thu 01 Jan 2004 00:00:00 UTC"), "2004/01/01 00:00:00");
    EXPECT_EQ(Parsed("Mon 9 Jun 2003 9:05:03 GMT"), "2003/06/09 09:05:03");  // one-digit day and hour
    EXPECT_EQ(Parsed("x 29 Feb 2004 23:59:59 GMT"), "2004/02/29 23:59:59");  // word 1 is not looked at
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 "), "2003/04/12 13:45:02");   // five blanks, no zone
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 GMT and more words"), "2003/04/12 13:45:02");
    // Every month name, by its number.
    const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 0; m < 12; ++m) {
        const std::string text = std::string("Sun 01 ") + names[m] + " 2006 12:00:00 GMT";
        EXPECT_EQ(SplitDateTime(ParseStampDate(text)).month, m + 1) << text;
    }
}

TEST(StampDate, ShortYearsCountFrom1900FourDigitYearsStand) {
    EXPECT_EQ(Parsed("Sat 12 Apr 103 08:45:02 GMT"), "2003/04/12 08:45:02");
    EXPECT_EQ(Parsed("Fri 31 Dec 99 23:00:00 GMT"), "1999/12/31 23:00:00");
    EXPECT_EQ(Parsed("Sat 01 Jan 0 00:00:00 GMT"), "1900/01/01 00:00:00");
    EXPECT_EQ(Parsed("Mon 31 Dec 999 12:00:00 GMT"), "2899/12/31 12:00:00");   // the last short year
    EXPECT_EQ(Parsed("Wed 01 Jan 1000 12:00:00 GMT"), "1000/01/01 12:00:00");  // the first one that stands
    EXPECT_EQ(Parsed("Fri 31 Dec 1999 23:00:00 GMT"), "1999/12/31 23:00:00");
    EXPECT_EQ(Parsed("Sat 01 Jan 2000 00:00:00 GMT"), "2000/01/01 00:00:00");
}

TEST(StampDate, EstSubtractsFiveHours) {
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 EST"), "2003/04/12 08:45:02");
    EXPECT_EQ(Parsed("Sat 12 Apr 103 08:45:02 EST"), "2003/04/12 03:45:02");
    EXPECT_EQ(Parsed("Sat 01 Mar 2003 02:00:00 EST"), "2003/02/28 21:00:00");  // back over a month end
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 est"), "2003/04/12 13:45:02");  // case-sensitive
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 EDT"), "2003/04/12 13:45:02");
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 GMT-EST"), "2003/04/12 08:45:02");  // the last three characters
    EXPECT_EQ(Parsed("Sat 12 Apr 2003 13:45:02 EST "), "2003/04/12 13:45:02");
}

TEST(StampDate, UnreadableStampsThrow) {
    const char* bad[] = {
        "Sat 12 apr 2003 13:45:02 GMT",  // month names are case-sensitive
        "Sat 12 April 2003 13:45:02 GMT",
        "Sat  5 Apr 2003 10:00:00 GMT",  // two blanks: the day word is empty
        "Sat 12 Apr 2003 13:45:02",      // four blanks only
        "",
        "Sat 1x Apr 2003 13:45:02 GMT",
        "Sat -1 Apr 2003 13:45:02 GMT",
        "Sat 12 Apr 2OO3 13:45:02 GMT",
        "Sat 12 Apr 2003 13:45 GMT",
        "Sat 12 Apr 2003 24:00:00 GMT",
        "Sat 12 Apr 2003 13:60:00 GMT",
        "Sat 12 Apr 2003 13:45:60 GMT",
        "Sat 12 Apr 2003 13:4:02 GMT",
        "Sat 12 Apr 2003 113:45:02 GMT",
        "Sat 12 Apr 2003 13-45-02 GMT",
        "Sat 00 Apr 2003 13:45:02 GMT",
        "Sat 31 Apr 2003 13:45:02 GMT",  // no such day
        "Sat 29 Feb 2003 13:45:02 GMT",  // not a leap year
        "Sat 12 Apr 99999 13:45:02 GMT",
        "Sat 99999999999 Apr 2003 13:45:02 GMT",
        "Sat\t12 Apr 2003 13:45:02 GMT",  // a tab is not a blank
    };
    for (const char* text : bad) EXPECT_THROW(ParseStampDate(text), StampDateError) << text;
}

}  // namespace
}  // namespace parlux
