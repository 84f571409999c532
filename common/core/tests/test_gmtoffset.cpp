// The offset from GMT, as the clock's two readings give it, and GMT now.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "common/core/DateTime.h"
#include "common/core/GmtOffset.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

using test::FixedClock;

class GmtOffsetTest : public ::testing::Test {
protected:
    void TearDown() override { GMTOffsetHours = saved_; }
    double Offset(int seconds) {
        const DateTime utc = MakeDateTime(2003, 4, 12, 12, 0, 0);
        InitGMTOffset(FixedClock(utc + std::chrono::seconds{seconds}, utc));
        return GMTOffsetHours;
    }

private:
    double saved_ = GMTOffsetHours;
};

TEST_F(GmtOffsetTest, IsTheExactOffsetToTheMinute) {
    struct Case {
        int seconds;      // local minus GMT as read
        double hours;     // GMTOffsetHours
        const char* gmt;  // GmtNow when the local time is 2003/04/12 12:00:00
    };
    const std::vector<Case> cases = {
        {0, 0.0, "2003/04/12 12:00:00"},
        {-(3 * 3600 + 1800), -3.5, "2003/04/12 15:30:00"},
        {5 * 3600 + 1800, 5.5, "2003/04/12 06:30:00"},
        {5 * 3600 + 45 * 60, 5.75, "2003/04/12 06:15:00"},     // Nepal
        {13 * 3600 + 45 * 60, 13.75, "2003/04/11 22:15:00"},   // Chatham, summer
        {-(9 * 3600 + 30 * 60), -9.5, "2003/04/12 21:30:00"},  // Marquesas
        {-5 * 3600, -5.0, "2003/04/12 17:00:00"},
        {3600 + 1, 1.0, "2003/04/12 11:00:00"},  // a second ticked between the readings
        {3600 - 1, 1.0, "2003/04/12 11:00:00"},
        {5 * 3600 + 45 * 60 + 1, 5.75, "2003/04/12 06:15:00"},
        {180, 0.05, "2003/04/12 11:57:00"},  // three minutes stay three minutes
        {-540, -0.15, "2003/04/12 12:09:00"},
    };
    const DateTime local = MakeDateTime(2003, 4, 12, 12, 0, 0);
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(Offset(c.seconds), c.hours) << c.seconds;
        EXPECT_EQ(FormatStamp(GmtNow(FixedClock(local, local))), c.gmt) << c.seconds;
    }
}

TEST_F(GmtOffsetTest, GmtNowSubtractsTheOffset) {
    const DateTime local = MakeDateTime(2003, 4, 12, 1, 0, 0);
    const FixedClock clock(local, local);
    GMTOffsetHours = -5.0;
    EXPECT_EQ(FormatStamp(GmtNow(clock)), "2003/04/12 06:00:00");
    GMTOffsetHours = 5.5;
    EXPECT_EQ(FormatStamp(GmtNow(clock)), "2003/04/11 19:30:00");
    GMTOffsetHours = 0.1;
    EXPECT_EQ(FormatStamp(GmtNow(clock)), "2003/04/12 00:54:00");
}

}  // namespace
}  // namespace parlux
