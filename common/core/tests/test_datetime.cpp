// Dates: the page stamp, the run log's dates and their parts.
#include <gtest/gtest.h>

#include <vector>

#include "common/core/DateTime.h"

namespace parlux {
namespace {

TEST(DateTime, FormatsAndParts) {
    const DateTime t = MakeDateTime(2003, 4, 12, 13, 45, 2);
    EXPECT_EQ(FormatStamp(t), "2003/04/12 13:45:02");
    EXPECT_EQ(FormatLogDate(t), "#2003-04-12 13:45:02#");
    EXPECT_EQ(FormatLogDate(MakeDateTime(2003, 4, 12)), "#2003-04-12#");
    EXPECT_EQ(FormatLogDate(MakeDateTime(2003, 4, 12, 0, 0, 1)), "#2003-04-12 00:00:01#");
    const DateTimeParts p = SplitDateTime(t);
    EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second}),
              (std::vector<int>{2003, 4, 12, 13, 45, 2}));
    // Fields past their range carry over.
    EXPECT_EQ(MakeDateTime(2003, 13, 1), MakeDateTime(2004, 1, 1));
    EXPECT_EQ(MakeDateTime(2004, 3, 0), MakeDateTime(2004, 2, 29));
    EXPECT_EQ(MakeDateTime(2003, 4, 12, 24, 0, 0), MakeDateTime(2003, 4, 13));
    EXPECT_EQ(FormatStamp(MakeDateTime(1999, 12, 31, 23, 59, 59)), "1999/12/31 23:59:59");
}

TEST(DateTime, ParseLogDateReadsBackWhatWasWritten) {
    DateTime out{};
    for (const DateTime t : {MakeDateTime(2003, 4, 12, 13, 45, 2), MakeDateTime(2004, 2, 29),
                             MakeDateTime(1999, 12, 31, 23, 59, 59), MakeDateTime(2003, 1, 1, 0, 0, 1)}) {
        ASSERT_TRUE(ParseLogDate(FormatLogDate(t), out)) << FormatLogDate(t);
        EXPECT_EQ(out, t);
    }
    ASSERT_TRUE(ParseLogDate("2003-04-12 13:45:02", out));  // without the marks
    EXPECT_EQ(out, MakeDateTime(2003, 4, 12, 13, 45, 2));
    ASSERT_TRUE(ParseLogDate("2003-04-12", out));
    EXPECT_EQ(out, MakeDateTime(2003, 4, 12));

    const DateTime before = out;
    for (const char* bad : {"", "#", "##", "#2003-04-12", "2003-04-12#", "#2003-02-29#", "#2003-04-31#", "#2003-13-01#",
                            "#2003-4-12#", "#2003-04-12 24:00:00#", "#2003-04-12 13:60:00#", "#2003-04-12 13:45#",
                            "#2003-04-12T13:45:02#", "#2003-04-12 13:45:02 #", "alpha", "#abcd-ef-gh#"}) {
        EXPECT_FALSE(ParseLogDate(bad, out)) << bad;
    }
    EXPECT_EQ(out, before);  // untouched on failure
}

}  // namespace
}  // namespace parlux
